// VFileSystemObject: what VFile and VFolder share: the path, the file system, the platform part, times,
// permissions and renaming.
#pragma once

#include "errors/VErrorCodes.h"
#include "files/VFileOptions.h"
#include "files/VFilePath.h"
#include "text/VObject.h"

#include <cstdint>

namespace vkit {

class VFileError;
class VFileSystem;
class VFolder;
class VTime;

/// The base of VFile (Interface IFile, Impl XPosixFile) and VFolder (IFolder, XPosixFolder): an item
/// named by a path, with an optional named file system it belongs to (retained), and its platform part
/// owned by value, paired at compile time. The POSIX path is computed once at construction, so the
/// object names the same disk location for its whole life: renaming or moving gives a new object.
///
/// Operations answer 0 or an error code. A failure of the system is pushed on the task's error context
/// as the system error (POSX, its text the system's message) followed by a VFileError naming the item
/// ("name", "path" and the operation's own parameters), whose code is the library's translation of the
/// system error when it has one (ENOENT gives 600, EACCES 5), else the operation's code; when the
/// context filters that code only the file error is pushed.
template <class Interface, class Impl>
class VFileSystemObject : public VObject, public Interface {
public:
    /// The item of inPath, as it is.
    explicit VFileSystemObject(const VFilePath& inPath, VFileSystem* inFileSystem = nullptr);
    /// The item of a full path text (VFilePath::FromFullPath).
    VFileSystemObject(const VString& inText, FilePathStyle inStyle);
    /// An item whose POSIX path is already known (iteration).
    VFileSystemObject(const char* inPosixPath, const VFilePath& inPath, VFileSystem* inFileSystem);
    VFileSystemObject(const VFileSystemObject&) = delete;
    VFileSystemObject& operator=(const VFileSystemObject&) = delete;

    // IFileSystemObject.
    const VFilePath& GetPath() const noexcept override { return fPath; }
    VFileSystem* GetFileSystem() const noexcept override { return fFileSystem; }
    void GetPlatformPath(VString& outText, FilePathStyle inStyle) const override;
    void GetPathWithFileSystem(VString& outText) const override;
    /// Times of the item (links followed). Pushes 608 for a file, 654 for a folder.
    [[nodiscard]] VError GetTimeAttributes(VTime* outLastModification = nullptr,
                                           VTime* outCreationTime = nullptr,
                                           VTime* outLastAccess = nullptr) const override;

    /// The permission bits (mode & 0777) of the item itself; 0 on failure. Pushes 608 for a file, 654
    /// for a folder.
    [[nodiscard]] VError MAC_GetPermissions(uint16_t* outMode) const;
    /// Sets mode & 0777 on the item itself. Pushes 609 for a file, 655 for a folder.
    [[nodiscard]] VError MAC_SetPermissions(uint16_t inMode) const;

    /// What the file system holding the item (links followed) tells of itself: the bytes this user may
    /// still take (statvfs: f_bavail blocks of f_frsize bytes, without the blocks kept for the
    /// administrator), its size, and whether it is mounted read-only (ST_RDONLY). outInfo is cleared on
    /// failure. Pushes 608 for a file, 654 for a folder (600 when the item is missing).
    [[nodiscard]] VError GetVolumeInfo(VVolumeInfo& outInfo) const;
    /// What stops this process from renaming the item (a link itself, not its target) inside its folder,
    /// asked without trying: the folder not writable and searchable for this user (faccessat with
    /// AT_EACCESS: the effective ids a rename is checked against, access lists and capabilities
    /// included), the sticky bit on the folder (this user owns neither the item nor the folder and lacks
    /// CAP_FOWNER), an immutable or append-only item or folder, a read-only file system; else
    /// ERenameAccess::kAllowed. A refusal is an answer, not an error: only a failure to look up the item
    /// or its folder pushes 608 for a file, 654 for a folder (600 when either is missing).
    [[nodiscard]] VError GetRenameAccess(ERenameAccess& outAccess) const;

    /// The platform part (the POSIX path for iterators and platform code).
    const Impl& GetImpl() const noexcept { return fImpl; }

protected:
    /// An item inside inParent: the parent's file system is kept when inPath is its root or lies inside it.
    VFileSystemObject(VFilePath inPath, const VFolder& inParent);
    ~VFileSystemObject() override;

    /// VFileError::Report on the item's path.
    [[nodiscard]] VError _Report(VError inResult, VError inOperation) const;
    /// A new folder for the parent, or null when the path has none; with inSandboxed and a file system,
    /// null when the parent lies outside the file system's root.
    VFolder* _RetainParentFolder(bool inSandboxed) const;
    /// Renames the item in place, never replacing an existing item; outNewPath receives the new path.
    /// Pushes 601 for a file, 657 for a folder, with "newname" (a refused name after its own error).
    [[nodiscard]] VError _Rename(const VString& inNewName, VFilePath& outNewPath) const;

    /// When the item at inTarget is this item, lies inside it, or holds it (only with inHoldsToo), judged
    /// on the items themselves with links resolved: a new file error inCode for this item whose
    /// description gives the reason, for the caller to complete and push. Null otherwise.
    VFileError* _MakeTargetError(const VFilePath& inTarget, VError inCode, bool inHoldsToo) const;

    /// inFileSystem when inPath is its root or lies inside it, else null.
    static VFileSystem* _FileSystemHolding(VFileSystem* inFileSystem, const VFilePath& inPath);
    /// Milliseconds since 1970-01-01 00:00 UTC of a time; false for a null time.
    static bool _ToUnixMilliseconds(const VTime* inTime, int64_t& outMilliseconds);

    Impl fImpl;
    VFilePath fPath;
    VFileSystem* fFileSystem = nullptr;
};

} // namespace vkit
