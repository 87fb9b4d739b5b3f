// Option flags and kinds taken by the file and folder operations (copy, open, attributes, system folders),
// and the answers of the queries on volumes and rename rights.
#pragma once

#include <cstdint>

namespace vkit {

/// Flags of the copy, move and create operations (other bits have no effect).
using FileCopyOptions = uint32_t;
/// An existing destination is removed first; VFile::Create replaces an existing file.
constexpr FileCopyOptions kCopyOverwrite = 4;
/// A folder-tree copy goes on after a failing item and reports the first error at the end.
constexpr FileCopyOptions kCopyContinueOnError = 8;
/// A folder-tree copy leaves out invisible items (names beginning with ".").
constexpr FileCopyOptions kCopySkipInvisible = 16;

/// Flags of the folder iterations (VFileIterator, VFolderIterator, IFolder::Iterate).
using FileIteratorOptions = uint32_t;
/// Report folders.
constexpr FileIteratorOptions kIterateFolders = 2;
/// Report regular files and symbolic links (links that are not followed count as files).
constexpr FileIteratorOptions kIterateFiles = 4;
/// Also report invisible items (names beginning with ".").
constexpr FileIteratorOptions kIterateInvisible = 8;
/// Follow symbolic links and report their targets; dangling links are skipped.
constexpr FileIteratorOptions kIterateResolveLinks = 16;

/// How VFile::Open opens a file. The locks are advisory (flock) and taken without waiting: a lock held
/// elsewhere makes the open fail at once with EACCES.
enum FileAccess : int32_t {
    /// Read only, no lock.
    eFileAccessRead = 0,
    /// Read and write with an exclusive lock.
    eFileAccessReadWrite = 1,
    /// Read and write with a shared lock.
    eFileAccessShared = 2,
    /// As eFileAccessReadWrite, falling back to eFileAccessRead when that fails.
    eFileAccessBest = 3,
};

/// Flags of VFile::Open.
using FileOpenOptions = uint32_t;
/// The resource fork; no Linux file has one, so such an open fails with ENOTSUP.
constexpr FileOpenOptions kOpenResourceFork = 1;
/// A missing file is created with permissions 0644.
constexpr FileOpenOptions kOpenCreate = 2;
/// The file is emptied.
constexpr FileOpenOptions kOpenTruncate = 4;
/// The system is told the file will be read in order (read-ahead).
constexpr FileOpenOptions kOpenReadAhead = 8;
/// The system is told not to keep the file's data in its cache.
constexpr FileOpenOptions kOpenNoCache = 32;
constexpr FileOpenOptions kOpenNoCacheAlternate = 64;
/// A final symbolic link is followed; without it opening a link fails (ELOOP).
constexpr FileOpenOptions kOpenFollowLinks = 128;

/// Attribute bits of VFile::GetFileAttributes and SetFileAttributes.
using FileAttributes = uint32_t;
/// The item is locked: the immutable attribute is set.
constexpr FileAttributes kFileAttributeLocked = 1;
/// The item is invisible: its name begins with ".". Read only on Linux.
constexpr FileAttributes kFileAttributeInvisible = 2;

/// The folders VFolder::RetainSystemFolder knows.
enum ESystemFolderKind : int32_t {
    eFolderExecutable = 0,
    eFolderUserDocuments = 1,
    eFolderTemporary = 2,
    eFolderApplicationSupport = 4,
    eFolderUserApplicationSupport = 5,
    eFolderApplicationSupport2 = 6,
    eFolderUserApplicationSupport2 = 7,
    eFolderUserDesktop = 8,
    eFolderApplications = 9,
    eFolderCaches = 10,
    eFolderUserCaches = 11,
    eFolderUserLibrary = 12,
    eFolderUserHome = 13,
    /// The user's folder for state kept between runs (logs, journals, history): $XDG_STATE_HOME, else
    /// ~/.local/state; created with permissions 0700.
    eFolderUserState = 14,
};

/// What the file system holding an item tells of itself (VFileSystemObject::GetVolumeInfo).
struct VVolumeInfo {
    /// The bytes this user may still take: the free blocks less those kept for the administrator.
    uint64_t fAvailableBytes = 0;
    /// The size of the file system.
    uint64_t fTotalBytes = 0;
    /// The file system is mounted read-only.
    bool fReadOnly = false;
};

/// What names one item on the system for as long as it exists, whatever its name: the file system's
/// device and the item's inode (VFolder::GetIdentity). Renames, exchanges and moves inside one file
/// system keep it. Zero for none.
struct VItemIdentity {
    uint64_t fDevice = 0;
    uint64_t fInode = 0;

    bool IsNull() const noexcept { return fDevice == 0 && fInode == 0; }
    bool operator==(const VItemIdentity&) const noexcept = default;
};

/// Whether this process may rename an item inside its folder (VFileSystemObject::GetRenameAccess), and
/// what stops it.
enum class ERenameAccess : int32_t {
    kAllowed = 0,
    /// The folder is not writable and searchable for this user.
    kFolderNotWritable = 1,
    /// The folder has the sticky bit, and this user owns neither the item nor the folder and lacks the
    /// right to act as any owner (CAP_FOWNER).
    kStickyFolder = 2,
    /// The item or its folder is immutable or append-only.
    kLocked = 3,
    /// The file system is mounted read-only.
    kReadOnlyFileSystem = 4,
};

} // namespace vkit
