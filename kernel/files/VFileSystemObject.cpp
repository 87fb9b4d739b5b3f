// VFileSystemObject: construction, paths, times, permissions and renaming of files and folders.
#include "files/VFileSystemObject.h"

#include "bags/VValueBag.h"
#include "files/IFile.h"
#include "files/IFolder.h"
#include "files/VFileError.h"
#include "files/VFileSystem.h"
#include "files/VFolder.h"
#include "platform/posix/files/XPosixFile.h"
#include "platform/posix/files/XPosixFolder.h"
#include "text/VTime.h"

#include <type_traits>
#include <utility>

namespace vkit {

namespace {

const StPackedDictionaryKey kNewNameKey("newname");

const int64_t kUnixEpoch = VTime::ComputeJulianDay(1970, 1, 1) * VTime::kMillisecondsPerDay;

/// The codes an item pushes when its information cannot be read or changed, or it cannot be renamed.
struct OperationCodes {
    VError fGetAttributes;
    VError fSetAttributes;
    VError fRename;
};

constexpr OperationCodes kFileCodes{VE_FILE_CANNOT_GET_ATTRIBUTES, VE_FILE_CANNOT_SET_ATTRIBUTES,
                                    VE_FILE_CANNOT_RENAME};
constexpr OperationCodes kFolderCodes{VE_FOLDER_CANNOT_GET_ATTRIBUTES, VE_FOLDER_CANNOT_SET_ATTRIBUTES,
                                      VE_FOLDER_CANNOT_RENAME};

/// The codes of the kind of item: a folder's for IFolder, else a file's.
template <class Interface>
constexpr const OperationCodes& kCodes = std::is_same_v<Interface, IFolder> ? kFolderCodes : kFileCodes;

void SetTime(int64_t inUnixMilliseconds, VTime* outTime) {
    if (outTime != nullptr)
        outTime->FromMilliseconds(kUnixEpoch + inUnixMilliseconds);
}

} // namespace

template <class Interface, class Impl>
VFileSystemObject<Interface, Impl>::VFileSystemObject(const VFilePath& inPath, VFileSystem* inFileSystem)
    : fPath(inPath), fFileSystem(RetainRefCountable(inFileSystem)) {
    fImpl.Init(this, fPath);
}

template <class Interface, class Impl>
VFileSystemObject<Interface, Impl>::VFileSystemObject(const VString& inText, FilePathStyle inStyle)
    : fPath(inText, inStyle) {
    fImpl.Init(this, fPath);
}

template <class Interface, class Impl>
VFileSystemObject<Interface, Impl>::VFileSystemObject(const char* inPosixPath, const VFilePath& inPath,
                                                      VFileSystem* inFileSystem)
    : fPath(inPath), fFileSystem(RetainRefCountable(inFileSystem)) {
    fImpl.Init(this, inPosixPath);
}

template <class Interface, class Impl>
VFileSystemObject<Interface, Impl>::VFileSystemObject(VFilePath inPath, const VFolder& inParent)
    : fPath(std::move(inPath)),
      fFileSystem(RetainRefCountable(_FileSystemHolding(inParent.GetFileSystem(), fPath))) {
    fImpl.Init(this, fPath);
}

template <class Interface, class Impl>
VFileSystemObject<Interface, Impl>::~VFileSystemObject() {
    ReleaseRefCountable(&fFileSystem);
}

template <class Interface, class Impl>
VFileSystem* VFileSystemObject<Interface, Impl>::_FileSystemHolding(VFileSystem* inFileSystem,
                                                                    const VFilePath& inPath) {
    return inFileSystem != nullptr && inFileSystem->IsAuthorized(inPath) ? inFileSystem : nullptr;
}

template <class Interface, class Impl>
VFileError* VFileSystemObject<Interface, Impl>::_MakeTargetError(const VFilePath& inTarget, VError inCode,
                                                                 bool inHoldsToo) const {
    const char* reason = nullptr;
    switch (fImpl.RelationTo(inTarget)) {
    case EItemRelation::kApart:
        break;
    case EItemRelation::kSame:
        reason = "the destination is the item itself";
        break;
    case EItemRelation::kTargetInsideSource:
        reason = "the destination lies inside the item";
        break;
    case EItemRelation::kTargetHoldsSource:
        reason = inHoldsToo ? "the destination holds the item" : nullptr;
        break;
    }
    if (reason == nullptr)
        return nullptr;
    VFileError* error = new VFileError(fPath, inCode);
    error->SetReason(reason);
    return error;
}

template <class Interface, class Impl>
VError VFileSystemObject<Interface, Impl>::_Report(VError inResult, VError inOperation) const {
    return VFileError::Report(fPath, inResult, inOperation);
}

template <class Interface, class Impl>
void VFileSystemObject<Interface, Impl>::GetPlatformPath(VString& outText, FilePathStyle inStyle) const {
    outText = fPath.GetPath(inStyle);
}

template <class Interface, class Impl>
void VFileSystemObject<Interface, Impl>::GetPathWithFileSystem(VString& outText) const {
    VString relative;
    if (fFileSystem != nullptr && fPath.GetRelativePosixPath(fFileSystem->GetRoot(), relative)) {
        outText.Clear();
        outText.AppendUniChar(u'/');
        outText.AppendString(fFileSystem->GetName());
        outText.AppendUniChar(u'/');
        outText.AppendString(relative);
        return;
    }
    fPath.GetPosixPath(outText);
}

template <class Interface, class Impl>
VFolder* VFileSystemObject<Interface, Impl>::_RetainParentFolder(bool inSandboxed) const {
    VFilePath parent;
    if (!fPath.GetParent(parent))
        return nullptr;
    VFileSystem* fileSystem = _FileSystemHolding(fFileSystem, parent);
    if (inSandboxed && fFileSystem != nullptr && fileSystem == nullptr)
        return nullptr;
    return new VFolder(parent, fileSystem);
}

template <class Interface, class Impl>
VError VFileSystemObject<Interface, Impl>::GetTimeAttributes(VTime* outLastModification,
                                                             VTime* outCreationTime,
                                                             VTime* outLastAccess) const {
    XPosixItemTimes times;
    VError error = _Report(fImpl.GetTimes(times), kCodes<Interface>.fGetAttributes);
    if (error == VE_OK) {
        SetTime(times.fModification, outLastModification);
        SetTime(times.fCreation, outCreationTime);
        SetTime(times.fAccess, outLastAccess);
    }
    return error;
}

template <class Interface, class Impl>
bool VFileSystemObject<Interface, Impl>::_ToUnixMilliseconds(const VTime* inTime, int64_t& outMilliseconds) {
    if (inTime == nullptr || inTime->IsNull())
        return false;
    outMilliseconds = inTime->GetMilliseconds() - kUnixEpoch;
    return true;
}

template <class Interface, class Impl>
VError VFileSystemObject<Interface, Impl>::MAC_GetPermissions(uint16_t* outMode) const {
    uint16_t mode = 0;
    VError error = _Report(fImpl.GetPermissions(mode), kCodes<Interface>.fGetAttributes);
    if (outMode != nullptr)
        *outMode = error == VE_OK ? mode : 0;
    return error;
}

template <class Interface, class Impl>
VError VFileSystemObject<Interface, Impl>::MAC_SetPermissions(uint16_t inMode) const {
    return _Report(fImpl.SetPermissions(inMode), kCodes<Interface>.fSetAttributes);
}

template <class Interface, class Impl>
VError VFileSystemObject<Interface, Impl>::GetVolumeInfo(VVolumeInfo& outInfo) const {
    return _Report(fImpl.GetVolumeInfo(outInfo), kCodes<Interface>.fGetAttributes);
}

template <class Interface, class Impl>
VError VFileSystemObject<Interface, Impl>::GetRenameAccess(ERenameAccess& outAccess) const {
    return _Report(fImpl.GetRenameAccess(outAccess), kCodes<Interface>.fGetAttributes);
}

template <class Interface, class Impl>
VError VFileSystemObject<Interface, Impl>::_Rename(const VString& inNewName, VFilePath& outNewPath) const {
    const VError operation = kCodes<Interface>.fRename;
    auto addName = [&](VFileError& ioError) { ioError.GetBag().SetString(kNewNameKey, inNewName); };
    outNewPath = fPath;
    if (!outNewPath.SetName(inNewName)) {
        VFileError* error = new VFileError(fPath, operation);
        addName(*error);
        return error->Push(operation);
    }
    return VFileError::Report(fPath, fImpl.Rename(outNewPath), operation, addName);
}

template class VFileSystemObject<IFile, XPosixFile>;
template class VFileSystemObject<IFolder, XPosixFolder>;

} // namespace vkit
