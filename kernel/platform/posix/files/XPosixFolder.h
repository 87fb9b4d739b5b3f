// XPosixFolder: the Linux half of VFolder, making the system calls on one folder.
#pragma once

#include "errors/VErrorCodes.h"
#include "files/VFileOptions.h"
#include "files/VFilePath.h"
#include "platform/posix/files/XPosixFileSystemObject.h"
#include "platform/posix/files/XPosixTreeError.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vkit {

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

/// One inside each VFolder (see XPosixFileSystemObject for the POSIX path and the calls files and
/// folders share). The POSIX path is kept without its trailing "/" ("/" for the root) so that no call
/// follows a final symbolic link unless asked to. Each operation answers 0 or the POSX error of the
/// failing system call.
class XPosixFolder : public XPosixFileSystemObject {
public:
    XPosixFolder() noexcept = default;

    /// Keeps the owner and computes the POSIX path of its path inPath (empty for an invalid path).
    void Init(const IFileSystemObject* inOwner, const VFilePath& inPath);
    /// Takes a POSIX path already known (iteration) instead of computing it.
    void Init(const IFileSystemObject* inOwner, const char* inPosixPath);

    /// The item is a directory; with inFollow a symbolic link to one counts.
    bool Exists(bool inFollow) const noexcept;
    /// One directory with permissions 0755 (less the umask); the parent must exist.
    [[nodiscard]] VError Create() const;
    /// Removes the empty directory (rmdir).
    [[nodiscard]] VError Delete() const;
    /// Renames to inNewPath, never replacing an existing item.
    [[nodiscard]] VError Rename(const VFilePath& inNewPath) const;
    /// Moves to inDestination without replacing an existing item; across file systems, a copy of the
    /// whole tree (complete or absent) then the removal of the source. outCopied tells whether the copy
    /// was made: a removal that fails then leaves the copy complete and the source's remains in place.
    /// Answers the failure with its step and the item at which the copy or the removal stopped.
    [[nodiscard]] XPosixTreeError Move(const VFilePath& inDestination, bool& outCopied) const;
    /// Removes the folder and everything in it, lifting locks and adding owner permissions where
    /// needed, without following any link (XPosixForcedDelete). Answers the failure with its step and
    /// item; outRestoreFailure receives a failure to give the parent back its mode or attributes.
    [[nodiscard]] XPosixTreeError DeleteForced(XPosixTreeError& outRestoreFailure) const;

    /// Copies the whole tree to inDestination in one call, an existing folder there replaced in one step
    /// and never written into (XPosixTreeCopy::CopyReplacing); outInPlace tells whether the copy reached
    /// its place. Answers the failure with its step and item.
    [[nodiscard]] XPosixTreeError CopyTreeReplacing(const VFilePath& inDestination, bool& outInPlace) const;
    /// Swaps this folder and the item at the POSIX path inOther in one step (renameat2 RENAME_EXCHANGE).
    /// outRefused tells whether the failure, if any, says that the file system or the kernel cannot
    /// exchange items (XPosixFileInfo::IsExchangeRefused).
    [[nodiscard]] VError Exchange(const std::string& inOther, bool& outRefused) const;
    /// The device and inode of the item at the path (lstat: a final link itself).
    [[nodiscard]] VError GetIdentity(uint64_t& outDevice, uint64_t& outInode) const;
    /// The disk space the tree takes, in allocated blocks (XPosixTreeSpace). Answers the failure with its
    /// step and item.
    [[nodiscard]] XPosixTreeError MeasureTree(uint64_t& outBytes) const;

    /// Adds write permission for owner, group and others.
    [[nodiscard]] VError MakeWritableByAll() const;

    /// outEmpty receives whether the directory holds no entry at all ("." and ".." aside).
    [[nodiscard]] VError IsEmpty(bool& outEmpty) const;
    /// Lists the folder's entries (XPosixListOptions) in the order the directory gives them, reading
    /// them from a descriptor of the folder itself, entry kinds from the directory without following
    /// links (lstat where the directory does not say).
    [[nodiscard]] VError ListItems(XPosixListOptions inOptions,
                                   std::vector<XPosixFolderItem>& outItems) const;

    /// The POSIX path, with its trailing "/", of a system folder (see XPosixSystemFolder).
    [[nodiscard]] static VError GetSystemFolderPath(ESystemFolderKind inKind, bool inCreate,
                                                    std::string& outPath);
};

} // namespace vkit
