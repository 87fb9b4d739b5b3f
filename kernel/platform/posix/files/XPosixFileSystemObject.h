// XPosixFileSystemObject: the Linux half files and folders share: the POSIX path and the calls on it.
#pragma once

#include "errors/VErrorCodes.h"
#include "files/VFileOptions.h"
#include "platform/posix/files/XPosixFileInfo.h"
#include "platform/posix/files/XPosixItemRelation.h"

#include <cstdint>
#include <string>

namespace vkit {

class IFileSystemObject;
class VFilePath;

/// The base of XPosixFile and XPosixFolder: a pointer back to the owner and its POSIX path, computed
/// once when the owner's path is set and used for every later call. Each operation answers 0 or the
/// POSX error of the failing system call.
class XPosixFileSystemObject {
public:
    XPosixFileSystemObject(const XPosixFileSystemObject&) = delete;
    XPosixFileSystemObject& operator=(const XPosixFileSystemObject&) = delete;

    /// The owner's POSIX path (empty for an invalid path).
    const std::string& GetPosixPath() const noexcept { return fPosixPath; }

    /// Moves the item to the user's trash ($XDG_DATA_HOME/Trash with its ".trashinfo"); outMessage
    /// receives the trash's own text of a failure.
    [[nodiscard]] VError MoveToTrash(std::string& outMessage) const;
    /// The permission bits (mode & 0777) of the item itself.
    [[nodiscard]] VError GetPermissions(uint16_t& outMode) const;
    /// Sets mode & 0777 on the item itself.
    [[nodiscard]] VError SetPermissions(uint16_t inMode) const;
    /// The times of the item, links followed.
    [[nodiscard]] VError GetTimes(XPosixItemTimes& outTimes) const;
    /// Sets the modification and access times; a null one is left alone.
    [[nodiscard]] VError SetTimes(const int64_t* inModification, const int64_t* inAccess) const;
    /// The locked and invisible attributes of the item, links followed.
    [[nodiscard]] VError GetAttributes(FileAttributes& outAttributes) const;
    /// What the file system holding the item tells of itself (statvfs, links followed).
    [[nodiscard]] VError GetVolumeInfo(VVolumeInfo& outInfo) const;
    /// What stops this process from renaming the item inside its folder (XPosixRenameAccess).
    [[nodiscard]] VError GetRenameAccess(ERenameAccess& outAccess) const;
    /// How the item at inTarget stands to this item, judged on the items (XPosixItemRelation).
    EItemRelation RelationTo(const VFilePath& inTarget) const;

protected:
    XPosixFileSystemObject() noexcept = default;
    ~XPosixFileSystemObject() = default;

    /// Keeps the owner and its POSIX path.
    void _Init(const IFileSystemObject* inOwner, std::string inPosixPath) noexcept;

private:
    const IFileSystemObject* fOwner = nullptr;
    std::string fPosixPath;
};

} // namespace vkit
