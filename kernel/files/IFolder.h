// IFolder: the interface of folders: relative items and the same-folder test.
#pragma once

#include "files/IFileSystemObject.h"

namespace vkit {

class IFile;

/// A folder on disk.
class IFolder : public IFileSystemObject {
public:
    /// A new folder object for a path relative to this folder (the caller releases it).
    virtual IFolder* RetainRelativeFolder(const VString& inRelativePath, FilePathStyle inStyle) const = 0;
    /// A new file object for a path relative to this folder (the caller releases it).
    virtual IFile* _RetainRelativeIFile(const VString& inRelativePath, FilePathStyle inStyle) const = 0;

    /// True when both paths are equal, names compared exactly (see VFilePath::IsChildOf); false for a
    /// null folder.
    bool IsSameFolder(const IFolder* inOther) const;

protected:
    ~IFolder() override = default;
};

} // namespace vkit
