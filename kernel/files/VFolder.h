// VFolder: a folder on disk and its operations: existence, creation, deletion, renaming, moving, copying.
#pragma once

#include "files/IFolder.h"
#include "files/VFileOptions.h"
#include "files/VFileSystemObject.h"
#include "platform/posix/files/XPosixFolder.h"

#include <cstdint>
#include <vector>

namespace vkit {

class VFile;

extern template class VFileSystemObject<IFolder, XPosixFolder>;

/// A folder named by a path (meant to be a folder path, ending with ":"); see VFileSystemObject for what
/// every file and folder shares, the reporting of errors included. Symbolic links inside a tree are
/// never followed by recursive deletion, copying or trashing: they are removed or copied as links.
class VFolder : public VFileSystemObject<IFolder, XPosixFolder> {
public:
    using VFileSystemObject::VFileSystemObject;
    /// A folder relative to inParent; a separator is appended to inRelative when missing. The parent's
    /// file system is kept when the result is the root of it or lies inside it.
    VFolder(const VFolder& inParent, const VString& inRelative, FilePathStyle inStyle);

    // IFileSystemObject.
    VFolder* RetainParentFolder(bool inSandboxed = false) const override {
        return _RetainParentFolder(inSandboxed);
    }
    /// The path is a folder path and a directory is there (a symbolic link to one counts).
    bool Exists() const override;
    void GetNameWithoutExtension(VString& outName) const override;

    // IFolder.
    VFolder* RetainRelativeFolder(const VString& inRelativePath, FilePathStyle inStyle) const override;
    IFile* _RetainRelativeIFile(const VString& inRelativePath, FilePathStyle inStyle) const override;
    [[nodiscard]] VError GetElements(std::vector<VRefPtr<IFileSystemObject>>& outElements,
                                     FileIteratorOptions inOptions) const override;
    [[nodiscard]] VError Iterate(const ItemVisitor& inVisitor, FileIteratorOptions inOptions) const override;

    /// True when the folder does not exist or holds no entry at all, invisible ones included.
    bool IsEmpty() const;

    /// Creates the folder (permissions 0755); 0 when it already exists. The parent must exist. Pushes 652.
    [[nodiscard]] VError Create() const;
    /// Creates every missing folder of the path from the top down; with inMakeWritableByAll, the
    /// folders it creates are made writable by all. Pushes 652 (655 for the permissions).
    [[nodiscard]] VError CreateRecursive(bool inMakeWritableByAll = false) const;
    /// Adds write permission for owner, group and others. Pushes 655.
    [[nodiscard]] VError MakeWritableByAll() const;

    /// Removes the folder: when empty (or missing: then the removal fails) directly; otherwise with
    /// inRecursive after DeleteContents(true), else 651 is pushed twice (as its own error, then as the
    /// folder's file error). Pushes 653 for a system failure.
    [[nodiscard]] VError Delete(bool inRecursive) const;
    /// Removes the folder's files and, with inRecursive, its sub-folders with their content, sub-folders
    /// first, yielding to other tasks after each; stops at the first error and answers it (653 from a
    /// folder, 604 from a file, or their translations).
    [[nodiscard]] VError DeleteContents(bool inRecursive) const;
    /// Removes the folder and everything in it, lifting immutable attributes and adding owner permissions
    /// where the process may; the parent's mode and attributes are given back. Pushes 653 naming the
    /// item where it stopped, and 655 when the parent cannot be restored (without changing the result).
    [[nodiscard]] VError DeleteForced() const;
    /// Moves the folder to the user's trash ($XDG_DATA_HOME/Trash with its ".trashinfo"); 0 when it does
    /// not exist. Pushes 661.
    [[nodiscard]] VError MoveToTrash() const;

    /// Renames the folder in place, never replacing an existing item. On success outFolder (when given)
    /// receives a new folder for the new path, else null. Pushes 657 with "newname" (a name holding ":"
    /// is refused the same way, after 614).
    [[nodiscard]] VError Rename(const VString& inNewName, VFolder** outFolder) const;
    /// Moves the folder into inDestinationParent under its own name (or inNewName when not empty),
    /// never replacing an existing item; a destination that is the folder, lies inside it or holds it
    /// is refused first. Across file systems the tree is copied whole (or not at all, the source then
    /// untouched), then the source is removed; should that removal stop part-way, the complete copy is
    /// kept and the error names the item where it stopped ("item"). outFolder as for Rename (null on
    /// any failure). Pushes 657 with "destination".
    [[nodiscard]] VError Move(const VFolder& inDestinationParent, VFolder** outFolder) const;
    [[nodiscard]] VError Move(const VFolder& inDestinationParent, const VString& inNewName,
                              VFolder** outFolder) const;

    /// CopyTo under the folder's own name.
    [[nodiscard]] VError CopyTo(const VFolder& inDestinationParent, VFolder** outFolder,
                                FileCopyOptions inOptions = 0) const;
    /// Copies the folder's tree into inDestinationParent under inName. A destination that is the source,
    /// lies inside it or holds it (judged on the path texts, names compared exactly, and on the items
    /// with links resolved) is refused with 660 ("destination"), nothing changed. Without kCopyOverwrite
    /// the copy goes item by item (CopyContentsTo) into the target, created when missing.
    ///
    /// With kCopyOverwrite the tree is copied in one call and nothing is ever written into an existing
    /// target: the copy is built in a hidden sibling of the target, flushed to disk, then put in its
    /// place in one step (onto a missing target a rename that replaces nothing; onto an existing folder
    /// an exchange, after which the former folder is removed; where the file system cannot exchange, the
    /// former folder is renamed aside and the copy renamed in, the target missing in between but never
    /// partial); XPosixTreeCopy gives the details. The target is therefore as it was or complete, also
    /// when the process is killed. kCopyContinueOnError and kCopySkipInvisible do not apply to it. A
    /// failure pushes the system error, then 660 (or its translation: 600 for a missing item) with
    /// "destination" and the step and item where it stopped, and leaves the target as it was; only a
    /// failure once the copy is in place (the flush of the parent, the removal of the former folder)
    /// leaves the complete copy there, the error saying so.
    ///
    /// outFolder (when given) receives the target folder.
    [[nodiscard]] VError CopyTo(const VFolder& inDestinationParent, const VString& inName,
                                VFolder** outFolder, FileCopyOptions inOptions) const;
    /// Swaps this folder and the item inOther in one step (renameat2 with RENAME_EXCHANGE): each then
    /// bears the other's name, and at no moment is either name missing. Both must exist, on one file
    /// system. Where the file system or the kernel cannot exchange items (EINVAL, ENOSYS; an exchange of
    /// a folder with an item inside it answers EINVAL too), the answer is 662: with outRefused given, it
    /// is set and nothing is pushed, so that the caller can fall back on renames; without it, 662 is
    /// pushed as any failure. Other failures push 657 (600 for a missing item) with "destination"
    /// (inOther's path) and the step.
    [[nodiscard]] VError Exchange(const VFolder& inOther, bool* outRefused = nullptr) const;

    /// The identity of the folder itself (a symbolic link at its path: the link, not its target), taken
    /// without opening it: it follows the folder through renames and exchanges. outIdentity is null on
    /// failure. Pushes 654 (600 when nothing is at the path).
    [[nodiscard]] VError GetIdentity(VItemIdentity& outIdentity) const;

    /// The disk space the folder's tree takes as allocated blocks, not apparent sizes: st_blocks of 512
    /// bytes summed over the folder and every item in it, folders and links included, links never
    /// followed, an item with several hard links counted once, in one walk. outBytes is 0 on failure.
    /// Pushes 654 (600 for a missing folder) with the step and item where the walk stopped.
    [[nodiscard]] VError GetAllocatedSize(uint64_t& outBytes) const;

    /// Copies the folder's content into inDestination (created when missing, then given the source's
    /// permissions and times): sub-folders first, depth first, then files; links as links; invisible
    /// items left out with kCopySkipInvisible. Stops at the first failing item unless
    /// kCopyContinueOnError; answers the first error. A destination that is the source or lies inside
    /// it is refused with 660.
    [[nodiscard]] VError CopyContentsTo(const VFolder& inDestination, FileCopyOptions inOptions) const;

    /// A new folder for a system folder kind (XPosixSystemFolder gives the Linux locations); with
    /// inCreate it is made when missing. Null for kind 3 and kinds above 14, and on failure (a folder
    /// error pushed: 652 when the creation failed, else 654).
    static VFolder* RetainSystemFolder(ESystemFolderKind inKind, bool inCreate);

    /// Tests only: called by CopyContentsTo between listing the source and copying its items, so that a
    /// test can make an item vanish in between. Null (the default) for none.
    using ListingHook = void (*)(const VFolder& inSource);
    static void SetListingHookForTests(ListingHook inHook) noexcept;

private:
    /// Refuses (only the file error pushed, with "destination") a destination that is this folder or
    /// lies inside it by its path text, or with inOnItems on the items (holding it too with inHoldsToo);
    /// 0 otherwise.
    [[nodiscard]] VError _CheckDestination(const VFilePath& inDestination, VError inOperation, bool inOnItems,
                                           bool inHoldsToo) const;
    [[nodiscard]] VError _CopyItems(const std::vector<XPosixFolderItem>& inItems,
                                    const VFolder& inDestination, FileCopyOptions inOptions) const;
    [[nodiscard]] VError _CopyAttributesTo(const VFolder& inDestination) const;
    [[nodiscard]] VError _CopyInOneCall(const VFolder& inTarget) const;
};

} // namespace vkit
