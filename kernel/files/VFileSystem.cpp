// VFileSystem: creation with its name check, the root, and the quota counters.
#include "files/VFileSystem.h"

#include "bags/VValueBag.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorThrow.h"
#include "files/IFolder.h"

namespace vkit {

VFileSystem* VFileSystem::Create(const VString& inName, IFolder* inRoot, uint32_t inOptions, uint64_t inQuota,
                                 uint64_t inUsed, VError* outError) {
    if (inName.IsEmpty() || inName.FindUniChar(u'/') > 0 || inRoot == nullptr) {
        VErrorBase* error = new VErrorBase(VE_FS_INVALID_NAME);
        error->GetBag().SetString("name", inName);
        _PushRetainedError(error);
        if (outError != nullptr)
            *outError = VE_FS_INVALID_NAME;
        return nullptr;
    }
    if (outError != nullptr)
        *outError = VE_OK;
    return new VFileSystem(inName, inRoot, inOptions, inQuota, inUsed);
}

VFileSystem::VFileSystem(const VString& inName, IFolder* inRoot, uint32_t inOptions, uint64_t inQuota,
                         uint64_t inUsed)
    : fName(inName), fRoot(RetainRefCountable(inRoot)), fOptions(inOptions), fQuota(inQuota),
      fAvailable(inQuota > inUsed ? inQuota - inUsed : 0) {}

VFileSystem::~VFileSystem() {
    ReleaseRefCountable(&fRoot);
}

const VFilePath& VFileSystem::GetRoot() const noexcept {
    return fRoot->GetPath();
}

IFolder* VFileSystem::RetainRootFolder() const noexcept {
    return RetainRefCountable(fRoot);
}

bool VFileSystem::IsAuthorized(const VFilePath& inPath) const {
    return inPath.IsSameOrChildOf(GetRoot());
}

VError VFileSystem::Request(uint64_t inSize) {
    if (!IsWritable())
        return VE_FS_NOT_WRITABLE;
    if (fQuota == 0)
        return VE_OK;
    if (fAvailable < inSize)
        return VE_FS_QUOTA_EXCEEDED;
    fAvailable -= inSize;
    return VE_OK;
}

VError VFileSystem::Relinquish(uint64_t inSize) {
    if (!IsWritable())
        return VE_FS_NOT_WRITABLE;
    if (fQuota != 0)
        fAvailable += inSize;
    return VE_OK;
}

} // namespace vkit
