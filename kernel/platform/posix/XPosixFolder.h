// XPosixFolder: the Linux half of VFolder, holding the folder's POSIX path and making its system calls.
#pragma once

#include "errors/VErrorCodes.h"
#include "files/VFileOptions.h"
#include "files/VFilePath.h"
#include "platform/posix/XPosixFileInfo.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vkit {

class VFolder;

/// One item of a folder listing: its POSIX path, its path and whether it is a folder (a symbolic link
/// is never one: links are listed as files and not followed).
struct XPosixFolderItem {
    std::string fPosixPath;
    VFilePath fPath;
    bool fIsFolder = false;
};

/// Flags of XPosixFolder::ListItems.
using XPosixListOptions = uint32_t;
constexpr XPosixListOptions kListFolders = 1;
constexpr XPosixListOptions kListFiles = 2;
/// Also names beginning with ".".
constexpr XPosixListOptions kListInvisible = 4;
/// FIFOs, sockets and devices as files (else they are never listed).
constexpr XPosixListOptions kListSpecialFiles = 8;
/// When the folder itself is a symbolic link, list its target (else the listing fails with ELOOP).
constexpr XPosixListOptions kListFollowFolderLink = 16;

/// One inside each VFolder. The POSIX path is computed once, without its trailing "/" so that no call
/// follows a final symbolic link unless asked to. Each operation answers 0 or the POSX error of the
/// failing system call.
class XPosixFolder {
public:
    XPosixFolder() noexcept = default;
    XPosixFolder(const XPosixFolder&) = delete;
    XPosixFolder& operator=(const XPosixFolder&) = delete;

    void Init(const VFolder* inOwner);
    /// Takes a POSIX path already known (iteration) instead of computing it.
    void Init(const VFolder* inOwner, const char* inPosixPath);

    /// The POSIX path without a trailing "/" ("/" for the root).
    const std::string& GetPosixPath() const noexcept { return fPosixPath; }

    /// The item is a directory; with inFollow a symbolic link to one counts.
    bool Exists(bool inFollow) const noexcept;
    /// One directory with permissions 0755 (less the umask); the parent must exist.
    VError Create() const;
    /// Removes the empty directory (rmdir).
    VError Delete() const;
    /// Renames to inNewPath, never replacing an existing item.
    VError Rename(const VFilePath& inNewPath) const;
    /// Moves to inDestination without replacing an existing item; across file systems, a copy of the
    /// tree then the removal of the source.
    VError Move(const VFilePath& inDestination) const;
    VError MoveToTrash() const;
    /// Removes the folder and everything in it, lifting locks and adding owner permissions where
    /// needed, without following any link (XPosixForcedDelete). outFailedPath receives the item at which
    /// the walk stopped; outRestoreError a failure to give the parent back its mode or attributes.
    VError DeleteForced(std::string& outFailedPath, VError& outRestoreError) const;
    /// Copies the whole tree to inDestination, which must not exist, in one call: the destination is
    /// then either complete or absent (XPosixTreeCopy). outFailedPath receives the item that failed.
    VError CopyTree(const VFilePath& inDestination, std::string& outFailedPath) const;

    VError GetPermissions(uint16_t& outMode) const;
    VError SetPermissions(uint16_t inMode) const;
    VError MakeWritableByAll() const;
    VError GetTimes(XPosixItemTimes& outTimes) const;
    VError SetTimes(const int64_t* inModification, const int64_t* inAccess) const;
    VError GetAttributes(FileAttributes& outAttributes) const;

    /// outEmpty receives whether the directory holds no entry at all ("." and ".." aside).
    VError IsEmpty(bool& outEmpty) const;
    /// Lists the folder's entries (XPosixListOptions) in the order the directory gives them, reading
    /// them from a descriptor of the folder itself, entry kinds from the directory without following
    /// links (lstat where the directory does not say).
    VError ListItems(XPosixListOptions inOptions, std::vector<XPosixFolderItem>& outItems) const;

    /// The POSIX path, with its trailing "/", of a system folder (see XPosixSystemFolder).
    static VError GetSystemFolderPath(ESystemFolderKind inKind, bool inCreate, std::string& outPath);

private:
    const VFolder* fOwner = nullptr;
    std::string fPosixPath;
};

} // namespace vkit
