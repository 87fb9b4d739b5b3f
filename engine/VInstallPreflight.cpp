// The install's preflight: read-only file system, rename rights and free space, each its own refusal.
#include "VInstallPreflight.h"

#include "UpdaterErrors.h"
#include "UpdaterLog.h"
#include "VUpdateEngine.h"

#include "bags/VValueBag.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorThrow.h"
#include "files/VFileOptions.h"
#include "files/VFilePath.h"
#include "files/VFolder.h"

#include <algorithm>
#include <cstdio>

using vkit::VError;
using vkit::VFilePath;
using vkit::VString;

namespace zq {

namespace {

constexpr uint64_t kMinimumMargin = 16ull << 20; // bytes
constexpr uint64_t kMarginDivisor = 20;          // 5 %

const vkit::StPackedDictionaryKey kNeededKey("needed");
const vkit::StPackedDictionaryKey kFreeKey("free");

/// "319.4 MB" (1 MB = 10^6 bytes, as file managers count).
VString Megabytes(uint64_t inBytes) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.1f MB", static_cast<double>(inBytes) / 1e6);
    return VString(text);
}

VError RefuseAccess(vkit::ERenameAccess inAccess, const VFilePath& inInstalled) {
    VError code = VE_UPZQ_FOLDER_NOT_WRITABLE;
    if (inAccess == vkit::ERenameAccess::kStickyFolder)
        code = VE_UPZQ_STICKY_FOLDER;
    else if (inAccess == vkit::ERenameAccess::kLocked)
        code = VE_UPZQ_PLACE_LOCKED;
    VFilePath folder(inInstalled);
    folder.ToParent();
    PushUpdaterError(code, {{kPathKey, inInstalled}, {kFolderKey, folder}});
    return code;
}

} // namespace

VError CheckInstallPlace(const VFilePath& inInstalled, const VFilePath& inUpToDate) {
    vkit::VFolder installed(inInstalled);
    vkit::VVolumeInfo volume;
    vkit::ERenameAccess access = vkit::ERenameAccess::kAllowed;
    if (VError error = installed.GetVolumeInfo(volume); error != vkit::VE_OK)
        return error;
    if (VError error = installed.GetRenameAccess(access); error != vkit::VE_OK)
        return error;
    if (volume.fReadOnly || access == vkit::ERenameAccess::kReadOnlyFileSystem) {
        PushUpdaterError(VE_UPZQ_READ_ONLY_FILE_SYSTEM, {{kPathKey, inInstalled}});
        return VE_UPZQ_READ_ONLY_FILE_SYSTEM;
    }
    if (access != vkit::ERenameAccess::kAllowed)
        return RefuseAccess(access, inInstalled);
    uint64_t size = 0;
    if (VError error = vkit::VFolder(inUpToDate).GetAllocatedSize(size); error != vkit::VE_OK)
        return error;
    const uint64_t needed = size + std::max(size / kMarginDivisor, kMinimumMargin);
    VString neededText = Megabytes(needed);
    VString freeText = Megabytes(volume.fAvailableBytes);
    VString installedText = inInstalled.GetPath(vkit::FilePathStyle::Posix);
    LogInfo("Install place %S checked: %S needed, %S free", &installedText, &neededText, &freeText);
    if (volume.fAvailableBytes < needed) {
        vkit::VErrorBase* error = MakeUpdaterError(VE_UPZQ_NOT_ENOUGH_SPACE, {{kPathKey, inInstalled}});
        error->GetBag().SetString(kNeededKey, neededText);
        error->GetBag().SetString(kFreeKey, freeText);
        vkit::_PushRetainedError(error);
        return VE_UPZQ_NOT_ENOUGH_SPACE;
    }
    return vkit::VE_OK;
}

} // namespace zq
