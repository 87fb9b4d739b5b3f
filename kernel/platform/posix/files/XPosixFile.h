// XPosixFile: the Linux half of VFile, making the system calls on one file.
#pragma once

#include "errors/VErrorCodes.h"
#include "files/VFileOptions.h"
#include "platform/posix/files/XPosixFileSystemObject.h"
#include "platform/posix/files/XPosixTreeError.h"

#include <cstddef>
#include <cstdint>

namespace vkit {

class VFilePath;

/// One inside each VFile (see XPosixFileSystemObject for the POSIX path and the calls files and folders
/// share). Each operation answers 0 or the POSX error of the failing system call.
class XPosixFile : public XPosixFileSystemObject {
public:
    XPosixFile() noexcept = default;

    /// Keeps the owner and computes the POSIX path of its path inPath (empty for an invalid path).
    void Init(const IFileSystemObject* inOwner, const VFilePath& inPath);
    /// Takes a POSIX path already known (iteration) instead of computing it.
    void Init(const IFileSystemObject* inOwner, const char* inPosixPath);

    /// The item itself is a regular file or a symbolic link (dangling ones included).
    bool Exists() const noexcept;
    /// Creates an empty file with permissions 0644: exclusively, or replacing an existing one (unlinked
    /// first) with kCopyOverwrite.
    [[nodiscard]] VError Create(FileCopyOptions inOptions) const;
    /// Unlinks the file (a link itself, not its target). Nothing there, or a directory there (no file),
    /// is no error: 0 then, in one system call.
    [[nodiscard]] VError Delete() const;
    /// Renames to inNewPath, never replacing an existing item.
    [[nodiscard]] VError Rename(const VFilePath& inNewPath) const;
    /// The plain rename of a move inside one folder (replaces an existing file).
    [[nodiscard]] VError RenameReplacing(const VFilePath& inNewPath) const;
    /// Moves to inDestination: rename (replacing only with kCopyOverwrite), across file systems a copy
    /// then the unlink of the source.
    [[nodiscard]] VError Move(const VFilePath& inDestination, FileCopyOptions inOptions) const;
    /// Copies the file or link to inDestination (a file path) with XPosixFileCopier. With kCopyOverwrite
    /// an existing target is unlinked once the source is open (a failure to unlink is ignored), so that a
    /// missing source leaves it in place; EEXIST otherwise.
    [[nodiscard]] VError CopyTo(const VFilePath& inDestination, FileCopyOptions inOptions) const;

    /// Replaces the whole content durably (XPosixDurableFile::Replace). Answers the failure with its step
    /// and path.
    [[nodiscard]] XPosixTreeError ReplaceContentDurably(const void* inData, size_t inSize) const;
    /// Removes the file and flushes its folder (XPosixDurableFile::Remove).
    [[nodiscard]] XPosixTreeError DeleteDurably() const;

    /// Adds read and write for owner, group and others (0666).
    [[nodiscard]] VError MakeWritableByAll() const;
    [[nodiscard]] VError GetSize(int64_t& outSize) const;
    [[nodiscard]] VError SetAttributes(FileAttributes inAttributes) const;
    /// Whether the process may write the file (access W_OK: false for a missing, immutable or read-only
    /// file, or one on a read-only file system).
    bool IsWritable() const noexcept;

    /// Opens a close-on-exec descriptor (FileAccess and FileOpenOptions). Locks are flock locks taken
    /// without waiting; a lock held elsewhere answers EACCES. Truncation happens after the lock is held.
    [[nodiscard]] VError Open(FileAccess inAccess, FileOpenOptions inOptions, int& outFd) const;

private:
    [[nodiscard]] VError _OpenOnce(FileAccess inAccess, FileOpenOptions inOptions, int& outFd) const;
};

} // namespace vkit
