// VFolder: a folder on disk and its operations: existence, creation, deletion, renaming, moving, copying.
#pragma once

#include "files/IFolder.h"
#include "files/VFileOptions.h"
#include "platform/posix/XPosixFolder.h"
#include "text/VObject.h"

#include <cstdint>
#include <vector>

namespace vkit {

class VFile;

/// A folder named by a path (meant to be a folder path, ending with ":"), with an optional named file
/// system it belongs to (retained). The POSIX path is computed once at construction, so the object names
/// the same disk location for its whole life: renaming or moving gives a new object.
///
/// Operations answer 0 or an error code. A failure of the system is pushed on the task's error context
/// as the system error (POSX, its text the system's message) followed by a VFileError naming the folder
/// ("name", "path" and the operation's own parameters), whose code is the library's translation of the
/// system error when it has one (ENOENT gives 600, EACCES 5), else the operation's code; when the
/// context filters that code only the file error is pushed. Symbolic links inside a tree are never
/// followed by recursive deletion, copying or trashing: they are removed or copied as links.
class VFolder : public VObject, public IFolder {
public:
    /// The folder of inPath, as it is.
    explicit VFolder(const VFilePath& inPath, VFileSystem* inFileSystem = nullptr);
    /// The folder of a full path text (VFilePath::FromFullPath).
    VFolder(const VString& inText, FilePathStyle inStyle);
    /// A folder relative to inParent; a separator is appended to inRelative when missing. The parent's
    /// file system is kept when the result is the root of it or lies inside it.
    VFolder(const VFolder& inParent, const VString& inRelative, FilePathStyle inStyle);
    /// A folder whose POSIX path is already known (iteration).
    VFolder(const char* inPosixPath, const VFilePath& inPath, VFileSystem* inFileSystem);
    VFolder(const VFolder&) = delete;
    VFolder& operator=(const VFolder&) = delete;
    ~VFolder() override;

    // IFileSystemObject.
    const VFilePath& GetPath() const noexcept override { return fPath; }
    VFileSystem* GetFileSystem() const noexcept override { return fFileSystem; }
    void GetPlatformPath(VString& outText, FilePathStyle inStyle) const override;
    void GetPathWithFileSystem(VString& outText) const override;
    VFolder* RetainParentFolder(bool inSandboxed = false) const override;
    /// The path is a folder path and a directory is there (a symbolic link to one counts).
    bool Exists() const override;
    void GetNameWithoutExtension(VString& outName) const override;
    /// Times of the folder (links followed); pushes 654 on failure.
    VError GetTimeAttributes(VTime* outLastModification = nullptr, VTime* outCreationTime = nullptr,
                             VTime* outLastAccess = nullptr) const override;

    // IFolder.
    VFolder* RetainRelativeFolder(const VString& inRelativePath, FilePathStyle inStyle) const override;
    IFile* _RetainRelativeIFile(const VString& inRelativePath, FilePathStyle inStyle) const override;

    /// True when the folder does not exist or holds no entry at all, invisible ones included.
    bool IsEmpty() const;

    /// Creates the folder (permissions 0755); 0 when it already exists. The parent must exist. Pushes 652.
    VError Create() const;
    /// Creates every missing folder of the path from the top down; with inMakeWritableByAll, the
    /// folders it creates are made writable by all. Pushes 652 (655 for the permissions).
    VError CreateRecursive(bool inMakeWritableByAll = false) const;
    /// Adds write permission for owner, group and others. Pushes 655.
    VError MakeWritableByAll() const;

    /// Removes the folder: when empty (or missing: then the removal fails) directly; otherwise with
    /// inRecursive after DeleteContents(true), else 651 is pushed twice (as its own error, then as the
    /// folder's file error). Pushes 653 for a system failure.
    VError Delete(bool inRecursive) const;
    /// Removes the folder's files and, with inRecursive, its sub-folders with their content, sub-folders
    /// first, yielding to other tasks after each; stops at the first error and answers it (653 from a
    /// folder, 604 from a file, or their translations).
    VError DeleteContents(bool inRecursive) const;
    /// Removes the folder and everything in it, lifting immutable attributes and adding owner permissions
    /// where the process may; the parent's mode and attributes are given back. Pushes 653 naming the
    /// item where it stopped, and 655 when the parent cannot be restored (without changing the result).
    VError DeleteForced() const;
    /// Moves the folder to the user's trash ($XDG_DATA_HOME/Trash with its ".trashinfo"); 0 when it does
    /// not exist. Pushes 661.
    VError MoveToTrash() const;

    /// Renames the folder in place, never replacing an existing item. On success outFolder (when given)
    /// receives a new folder for the new path, else null. Pushes 657 with "newname" (a name holding ":"
    /// is refused the same way, after 614).
    VError Rename(const VString& inNewName, VFolder** outFolder) const;
    /// Moves the folder into inDestinationParent under its own name (or inNewName when not empty),
    /// never replacing an existing item; across file systems by copy and removal. outFolder as for
    /// Rename. Pushes 657 with "destination".
    VError Move(const VFolder& inDestinationParent, VFolder** outFolder) const;
    VError Move(const VFolder& inDestinationParent, const VString& inNewName, VFolder** outFolder) const;

    /// CopyTo under the folder's own name.
    VError CopyTo(const VFolder& inDestinationParent, VFolder** outFolder,
                  FileCopyOptions inOptions = 0) const;
    /// Copies the folder's tree into inDestinationParent under inName. A destination that is the source
    /// or lies inside it is refused with 660 ("destination"), nothing copied. With kCopyOverwrite an
    /// existing target is deleted first and the tree copied in one call, leaving the target complete or
    /// absent; should that fail, the copy goes on item by item (CopyContentsTo). outFolder (when given)
    /// receives the target folder.
    VError CopyTo(const VFolder& inDestinationParent, const VString& inName, VFolder** outFolder,
                  FileCopyOptions inOptions) const;
    /// Copies the folder's content into inDestination (created when missing, then given the source's
    /// permissions and times): sub-folders first, depth first, then files; links as links; invisible
    /// items left out with kCopySkipInvisible. Stops at the first failing item unless
    /// kCopyContinueOnError; answers the first error. A destination that is the source or lies inside
    /// it is refused with 660.
    VError CopyContentsTo(const VFolder& inDestination, FileCopyOptions inOptions) const;

    /// The permission bits (mode & 0777) of the folder itself. Pushes 654.
    VError MAC_GetPermissions(uint16_t* outMode) const;
    /// Sets mode & 0777 on the folder itself. Pushes 655.
    VError MAC_SetPermissions(uint16_t inMode) const;

    /// A new folder for a system folder kind (XPosixSystemFolder gives the Linux locations); with
    /// inCreate it is made when missing. Null for kind 3 and kinds above 13, and on failure (a folder
    /// error pushed: 652 when the creation failed, else 654).
    static VFolder* RetainSystemFolder(ESystemFolderKind inKind, bool inCreate);

    /// The platform part (the POSIX path for iterators and platform code).
    const XPosixFolder& GetImpl() const noexcept { return fImpl; }

    /// Tests only: called by CopyContentsTo between listing the source and copying its items, so that a
    /// test can make an item vanish in between. Null (the default) for none.
    using ListingHook = void (*)(const VFolder& inSource);
    static void SetListingHookForTests(ListingHook inHook) noexcept;

private:
    VError _Report(VError inResult, VError inOperation) const;
    VError _CheckCopyDestination(const VFolder& inDestination) const;
    VError _CopyItems(const std::vector<XPosixFolderItem>& inItems, const VFolder& inDestination,
                      FileCopyOptions inOptions) const;
    VError _CopyAttributesTo(const VFolder& inDestination) const;
    VError _CopyInOneCall(const VFolder& inTarget, bool& outDone) const;

    XPosixFolder fImpl;
    VFilePath fPath;
    VFileSystem* fFileSystem = nullptr;
};

} // namespace vkit
