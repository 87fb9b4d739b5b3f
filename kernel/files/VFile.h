// VFile: a file on disk and its operations: existence, creation, deletion, renaming, moving, copying,
// opening, content, permissions, times and attributes.
#pragma once

#include "files/IFile.h"
#include "files/VFileSystemObject.h"
#include "files/VFolder.h"
#include "platform/posix/files/XPosixFile.h"

#include <cstdint>

namespace vkit {

class VFileDesc;

extern template class VFileSystemObject<IFile, XPosixFile>;

/// A file named by a path (meant to be a file path); see VFileSystemObject for what every file and
/// folder shares, the reporting of errors included. A symbolic link is copied, moved, renamed and
/// deleted as a link; only the content operations and GetSize follow it.
class VFile : public VFileSystemObject<IFile, XPosixFile> {
public:
    using VFileSystemObject::VFileSystemObject;
    /// A file relative to inParent (VFilePath::FromRelativePath, no separator appended); the parent's
    /// file system is kept when the file lies inside its root.
    VFile(const VFolder& inParent, const VString& inRelative, FilePathStyle inStyle);

    // IFileSystemObject.
    VFolder* RetainParentFolder(bool inSandboxed = false) const override {
        return _RetainParentFolder(inSandboxed);
    }
    /// The path is a file path and a regular file or a symbolic link (dangling ones too) is there.
    bool Exists() const override;
    void GetNameWithoutExtension(VString& outName) const override;

    // IFile.
    [[nodiscard]] VError GetContent(VMemoryBuffer& outContent) const override;
    [[nodiscard]] VError GetData(void* outBuffer, size_t inCount, int64_t inPosition = 0,
                                 size_t* outRead = nullptr) const override;
    [[nodiscard]] VError SetContent(const void* inData, size_t inSize) const override;
    [[nodiscard]] VError AppendContent(const void* inData, size_t inSize) const override;
    /// An invalid path answers 604 (pushed twice: as its own error, then as the file's).
    [[nodiscard]] VError Delete() const override;
    bool IsWritable() const override;
    [[nodiscard]] VError GetSize(int64_t* outSize) const override;
    [[nodiscard]] VError CopyTo(const VFile& inDestination, FileCopyOptions inOptions = 0) const override;
    /// With inDestination's file system when the target lies inside its root.
    [[nodiscard]] VError CopyTo(const VFolder& inDestination, VFile** outFile,
                                FileCopyOptions inOptions = 0) const override;

    /// Replaces the file's whole content so that, after a crash, it holds either its former content or
    /// the new one, and the new one is on disk when the call returns (a journal's write): the data go to
    /// a hidden sibling (".<name>.tmp-XXXXXX"), which is flushed (fsync) and renamed over the file; the
    /// folder is then flushed. A file replaced keeps its permission bits, a new one gets 0644 (less the
    /// umask); a symbolic link at the path is replaced, not followed. The folder must exist. On failure
    /// the temporary is removed and the file left as it was (a failed flush of the folder aside, after
    /// which the new content is in place). Pushes 214 (600 for a missing folder) with the step and the
    /// item (the temporary, the file or the folder) where it stopped.
    [[nodiscard]] VError SetContentDurably(const void* inData, size_t inSize) const;
    /// Removes the file (a link itself), nothing there being no error, and flushes its folder so that the
    /// removal is on disk when the call returns. Pushes 604 (600 for a missing folder) with the step.
    [[nodiscard]] VError DeleteDurably() const;

    /// Creates an empty file (permissions 0644); an existing file makes it fail (EEXIST) unless
    /// kCopyOverwrite, which replaces it. Pushes 607 with "options".
    [[nodiscard]] VError Create(FileCopyOptions inOptions = 0) const;
    /// Moves the file to the user's trash. Pushes 604.
    [[nodiscard]] VError MoveToTrash() const;
    /// Renames the file in place, never replacing an existing item. On success outFile (when given)
    /// receives a new file for the new path, else null. Pushes 601 with "newname".
    [[nodiscard]] VError Rename(const VString& inNewName, VFile** outFile) const;
    /// Moves the file to inDestination (a folder path: under the file's own name). Inside one folder
    /// a plain rename, which replaces an existing file; elsewhere a move that replaces only with
    /// kCopyOverwrite, across file systems by copy and removal. A target that is the file itself (its
    /// path, a hard link, a link to it, a path through a linked parent) is refused, nothing changed.
    /// outFile as for Rename. Pushes 606 with "destination" and "options".
    [[nodiscard]] VError Move(const VFilePath& inDestination, VFile** outFile,
                              FileCopyOptions inOptions = 0) const;
    [[nodiscard]] VError Move(const VFolder& inDestination, VFile** outFile,
                              FileCopyOptions inOptions = 0) const;
    [[nodiscard]] VError Move(const VFile& inDestination, FileCopyOptions inOptions = 0) const;
    /// Copies the file or link to inDestination (a folder path: under the file's own name), keeping
    /// permission bits and times; an existing target is replaced with kCopyOverwrite, else the copy
    /// fails. An invalid source or destination path answers 605, and so does, with kCopyOverwrite, a
    /// target that is the file itself (judged on the items: the same path, a hard link, a link either
    /// way, a path through a linked parent), before anything is removed. outFile as for Rename. Pushes
    /// 605 with "destination" and "options".
    [[nodiscard]] VError CopyTo(const VFilePath& inDestination, VFile** outFile,
                                FileCopyOptions inOptions = 0) const;
    /// Copies inSource onto this file.
    [[nodiscard]] VError CopyFrom(const VFile& inSource, FileCopyOptions inOptions = 0) const;

    /// Opens the file. eFileAccessReadWrite and eFileAccessShared take an exclusive or shared lock
    /// without waiting (a lock held elsewhere fails at once with EACCES, translated to 5). On success
    /// *outDesc receives the descriptor, which the caller deletes. Pushes 602 with "access" and "options".
    [[nodiscard]] VError Open(FileAccess inAccess, VFileDesc** outDesc, FileOpenOptions inOptions = 0) const;

    /// Sets the modification and access times (a null one is left alone; the creation time cannot be
    /// set on Linux and is ignored). Pushes 609.
    [[nodiscard]] VError SetTimeAttributes(const VTime* inLastModification = nullptr,
                                           const VTime* inCreationTime = nullptr,
                                           const VTime* inLastAccess = nullptr) const;
    /// kFileAttributeLocked (immutable) and kFileAttributeInvisible (name beginning with "."). Pushes 608.
    [[nodiscard]] VError GetFileAttributes(FileAttributes* outAttributes) const;
    /// Locks or unlocks the file (kFileAttributeLocked); invisibility is the name's and is not changed.
    /// Pushes 609.
    [[nodiscard]] VError SetFileAttributes(FileAttributes inAttributes) const;
    /// Adds read and write for owner, group and others. Pushes 609.
    [[nodiscard]] VError MAC_MakeWritableByAll() const;

private:
    [[nodiscard]] VError _ReportWithDestination(VError inResult, VError inOperation,
                                                const VFilePath& inDestination,
                                                FileCopyOptions inOptions) const;
    /// Refuses an invalid source or destination path (the code pushed as its own error first), and a
    /// target inTarget that is this file itself or holds it (only the file error pushed); 0 otherwise.
    [[nodiscard]] VError _CheckDestination(const VFilePath& inTarget, VError inOperation,
                                           const VFilePath& inDestination, FileCopyOptions inOptions) const;
    [[nodiscard]] VError _Move(const VFilePath& inDestination, VFileSystem* inFileSystem, VFile** outFile,
                               FileCopyOptions inOptions) const;
    [[nodiscard]] VError _OpenAndWrite(const void* inData, size_t inSize, bool inAppend) const;
};

} // namespace vkit
