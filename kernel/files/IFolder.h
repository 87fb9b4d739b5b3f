// IFolder: the interface of folders: relative items and the same-folder test.
#pragma once

#include "files/IFileSystemObject.h"
#include "files/VFileOptions.h"

#include <functional>
#include <vector>

namespace vkit {

class IFile;

/// A folder on disk.
class IFolder : public IFileSystemObject {
public:
    /// What Iterate calls for each item: a file (IFile) or a folder (IFolder; its path is a folder
    /// path). An answer other than 0 ends the iteration.
    using ItemVisitor = std::function<VError(IFileSystemObject& inItem)>;

    /// A new folder object for a path relative to this folder (the caller releases it).
    virtual IFolder* RetainRelativeFolder(const VString& inRelativePath, FilePathStyle inStyle) const = 0;
    /// Appends to outElements a new object for each item Iterate would visit, in its order. Answers as
    /// Iterate does; after a failure outElements holds the items listed before it.
    [[nodiscard]] virtual VError GetElements(std::vector<VRefPtr<IFileSystemObject>>& outElements,
                                             FileIteratorOptions inOptions) const = 0;
    /// Calls inVisitor for each item inOptions asks for (kIterateFolders, kIterateFiles,
    /// kIterateInvisible, kIterateResolveLinks, as the folder and file iterators take them): the
    /// sub-folders first, then the files, each kind in the order the directory gives them. Answers 0,
    /// the first answer of inVisitor that is not 0, or the folder error pushed when the folder cannot
    /// be listed (654, or 600 for a missing folder).
    [[nodiscard]] virtual VError Iterate(const ItemVisitor& inVisitor,
                                         FileIteratorOptions inOptions) const = 0;
    /// A new file object for a path relative to this folder (the caller releases it).
    virtual IFile* _RetainRelativeIFile(const VString& inRelativePath, FilePathStyle inStyle) const = 0;

    /// True when both paths are equal, names compared exactly (see VFilePath::IsChildOf); false for a
    /// null folder.
    bool IsSameFolder(const IFolder* inOther) const;

protected:
    ~IFolder() override = default;
};

} // namespace vkit
