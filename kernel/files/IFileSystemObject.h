// IFileSystemObject: the interface of files and folders: a path, an optional file system, existence, times.
#pragma once

#include "errors/VErrorCodes.h"
#include "files/VFilePath.h"
#include "text/IRefCountable.h"

namespace vkit {

class IFolder;
class VFileSystem;
class VTime;

/// A file or folder on disk, reference counted (created with one reference).
class IFileSystemObject : public IRefCountable {
public:
    /// The item's path.
    virtual const VFilePath& GetPath() const noexcept = 0;
    /// The named file system the item belongs to, or null (not retained).
    virtual VFileSystem* GetFileSystem() const noexcept = 0;
    /// The path's text in a style (GetPath(style) of the path).
    virtual void GetPlatformPath(VString& outText, FilePathStyle inStyle) const = 0;
    /// With a file system whose root holds the item: "/<file system name>/<POSIX path relative to the
    /// root>"; otherwise the full POSIX path.
    virtual void GetPathWithFileSystem(VString& outText) const = 0;
    /// A new folder object for the parent (the caller releases it), or null when the path has none. With
    /// inSandboxed and a file system, null when the parent lies outside the file system's root.
    virtual IFolder* RetainParentFolder(bool inSandboxed = false) const = 0;
    /// Whether the item exists on disk as the kind of the object (file or folder).
    virtual bool Exists() const = 0;
    /// The name without its extension.
    virtual void GetNameWithoutExtension(VString& outName) const = 0;
    /// The modification, creation (birth) and last-access times in UTC; each output may be null.
    /// Answers 0, or the file or folder error pushed (608 for a file, 654 for a folder).
    [[nodiscard]] virtual VError GetTimeAttributes(VTime* outLastModification = nullptr,
                                                   VTime* outCreationTime = nullptr,
                                                   VTime* outLastAccess = nullptr) const = 0;

    /// The last component with its extension (VFilePath::GetName).
    void GetName(VString& outName) const { GetPath().GetName(outName); }
    /// The extension of the last component (VFilePath::GetExtension).
    void GetExtension(VString& outExtension) const { GetPath().GetExtension(outExtension); }
    /// VFilePath::MatchExtension of the path.
    bool MatchExtension(const VString& inExtension, bool inDiacritical = false) const {
        return GetPath().MatchExtension(inExtension, inDiacritical);
    }

protected:
    ~IFileSystemObject() override = default;
};

} // namespace vkit
