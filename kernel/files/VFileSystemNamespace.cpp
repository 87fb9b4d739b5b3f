// VFileSystemNamespace: the locked map of named roots, and the lookups of "/name/relative" texts.
#include "files/VFileSystemNamespace.h"

#include "files/IFile.h"
#include "files/IFolder.h"
#include "files/VFile.h"
#include "files/VFileSystem.h"
#include "files/VFolder.h"
#include "runtime/StLocker.h"

namespace vkit {

namespace {

bool EndsWithSlash(const VString& inText) {
    std::u16string_view text = inText.View();
    return !text.empty() && text.back() == u'/';
}

bool IsDotStep(std::u16string_view inComponent) {
    return inComponent == u"." || inComponent == u"..";
}

/// The last component of a relative POSIX text is "." or "..": a step, which the path rules only read as
/// one when a "/" follows it.
bool EndsWithDotStep(std::u16string_view inText) {
    size_t slash = inText.rfind(u'/');
    return IsDotStep(slash == std::u16string_view::npos ? inText : inText.substr(slash + 1));
}

/// A "." or ".." component left in a resolved text would let the system step out of the root.
bool HoldsDotStep(std::u16string_view inText) {
    for (size_t start = 0; start <= inText.size();) {
        size_t slash = inText.find(u'/', start);
        size_t end = slash == std::u16string_view::npos ? inText.size() : slash;
        if (IsDotStep(inText.substr(start, end - start)))
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace

VFileSystemNamespace::VFileSystemNamespace(VFileSystemNamespace* inParent)
    : fParent(RetainRefCountable(inParent)) {}

VFileSystemNamespace::~VFileSystemNamespace() {
    fMap.clear();
    ReleaseRefCountable(&fParent);
}

void VFileSystemNamespace::RegisterFileSystem(VFileSystem* inFileSystem) {
    if (inFileSystem == nullptr)
        return;
    VRefPtr<VFileSystem> replaced;
    {
        StLocker lock(fLock);
        VRefPtr<VFileSystem>& slot = fMap[inFileSystem->GetName()];
        replaced = std::move(slot);
        slot = VRefPtr<VFileSystem>(inFileSystem);
    }
    // The replaced file system is released outside the lock: its root folder goes with it.
}

VError VFileSystemNamespace::RegisterFileSystem(const VString& inName, IFolder* inRoot, uint32_t inOptions) {
    VError error = VE_OK;
    VRefPtr<VFileSystem> fileSystem = AdoptRef(VFileSystem::Create(inName, inRoot, inOptions, 0, 0, &error));
    RegisterFileSystem(fileSystem.Get());
    return error;
}

void VFileSystemNamespace::UnregisterFileSystem(const VString& inName) {
    VRefPtr<VFileSystem> removed;
    StLocker lock(fLock);
    if (auto found = fMap.find(inName); found != fMap.end()) {
        removed = std::move(found->second);
        fMap.erase(found);
    }
}

VFileSystem* VFileSystemNamespace::RetainFileSystem(const VString& inName,
                                                    FileSystemLookupFlags inFlags) const {
    VFileSystem* result = nullptr;
    {
        StLocker lock(fLock);
        if (auto found = fMap.find(inName); found != fMap.end())
            result = found->second.Retain();
    }
    if (result == nullptr && (inFlags & kLookupInParents) != 0 && fParent != nullptr)
        result = fParent->RetainFileSystem(inName, inFlags);
    if (result != nullptr && (inFlags & kLookupRestricted) != 0 &&
        (result->GetOptions() & VFileSystem::kOptionHidden) != 0)
        ReleaseRefCountable(&result);
    return result;
}

IFolder* VFileSystemNamespace::RetainFileSystemRootFolder(const VString& inName,
                                                          FileSystemLookupFlags inFlags) const {
    VRefPtr<VFileSystem> fileSystem = AdoptRef(RetainFileSystem(inName, inFlags));
    return fileSystem ? fileSystem->RetainRootFolder() : nullptr;
}

void VFileSystemNamespace::RetainMapOfFileSystems(Map& outMap) const {
    StLocker lock(fLock);
    outMap = fMap;
}

bool VFileSystemNamespace::ParsePathWithFileSystem(const VString& inText, VFileSystem** outFileSystem,
                                                   VString& outRelative,
                                                   FileSystemLookupFlags inFlags) const {
    *outFileSystem = nullptr;
    std::u16string_view text = inText.View();
    size_t second = text.size() > 1 && text[0] == u'/' ? text.find(u'/', 1) : std::u16string_view::npos;
    if (second == std::u16string_view::npos)
        return false;
    VString name(text.data() + 1, static_cast<VIndex>(second - 1));
    VRefPtr<VFileSystem> fileSystem = AdoptRef(RetainFileSystem(name, inFlags));
    if (!fileSystem)
        return false;
    // Resolving the "../" steps against the root and asking the way back from it tells whether the
    // text stays inside.
    VString rest(text.data() + second + 1, static_cast<VIndex>(text.size() - second - 1));
    if (EndsWithDotStep(rest.View()))
        rest.AppendUniChar(u'/');
    VFilePath resolved(fileSystem->GetRoot(), rest, FilePathStyle::Posix, true);
    if (!resolved.GetRelativePosixPath(fileSystem->GetRoot(), outRelative) ||
        HoldsDotStep(outRelative.View())) {
        outRelative.Clear();
        return false;
    }
    *outFileSystem = fileSystem.Forget();
    return true;
}

bool VFileSystemNamespace::_ResolveInRoot(const VString& inText, FileSystemLookupFlags inFlags, bool inFolder,
                                          VFilePath& outPath, VRefPtr<VFileSystem>& outFileSystem) const {
    VFileSystem* fileSystem = nullptr;
    VString relative;
    if (!ParsePathWithFileSystem(inText, &fileSystem, relative, inFlags))
        return false;
    outFileSystem.Adopt(fileSystem);
    bool namesFolder = relative.IsEmpty() || EndsWithSlash(relative);
    if (namesFolder != inFolder)
        return false;
    outPath.FromRelativePath(fileSystem->GetRoot(), relative, FilePathStyle::Posix, true);
    return outPath.IsValid();
}

IFile* VFileSystemNamespace::RetainFile(const VString& inText, const IFolder* inBase,
                                        FileSystemLookupFlags inFlags, bool inAllowFullPath) const {
    if (inText.IsEmpty())
        return nullptr;
    if (inText.View().front() == u'/') {
        VFilePath path;
        VRefPtr<VFileSystem> fileSystem;
        if (_ResolveInRoot(inText, inFlags, false, path, fileSystem))
            return new VFile(path, fileSystem.Get());
        if (inBase != nullptr || !inAllowFullPath)
            return nullptr;
    } else if (inBase != nullptr) {
        return inBase->_RetainRelativeIFile(inText, FilePathStyle::Posix);
    } else if (!inAllowFullPath) {
        return nullptr;
    }
    VFilePath path(inText, FilePathStyle::Posix);
    return path.IsFile() ? new VFile(path) : nullptr;
}

IFolder* VFileSystemNamespace::RetainFolder(const VString& inText, const IFolder* inBase,
                                            FileSystemLookupFlags inFlags, bool inAllowFullPath) const {
    if (inText.IsEmpty())
        return nullptr;
    VString text(inText);
    if (text.View().front() == u'/') {
        if (!EndsWithSlash(text))
            text.AppendUniChar(u'/');
        VFilePath path;
        VRefPtr<VFileSystem> fileSystem;
        if (_ResolveInRoot(text, inFlags, true, path, fileSystem))
            return new VFolder(path, fileSystem.Get());
        if (inBase != nullptr || !inAllowFullPath)
            return nullptr;
    } else if (inBase != nullptr) {
        return inBase->RetainRelativeFolder(text, FilePathStyle::Posix);
    } else if (!inAllowFullPath) {
        return nullptr;
    }
    VFilePath path(text, FilePathStyle::Posix);
    return path.IsFolder() ? new VFolder(path) : nullptr;
}

} // namespace vkit
