// VUpdateEngine's swap: the outdated bundle set aside under a free name, the up-to-date bundle copied
// into its place, and the rollback when the copy cannot be completed.
#include "UpdaterErrors.h"
#include "UpdaterLog.h"
#include "VUpdateEngine.h"

#include "errors/VErrorThrow.h"
#include "files/VFileOptions.h"
#include "files/VFolder.h"
#include "runtime/VTask.h"

using vkit::VError;
using vkit::VFilePath;
using vkit::VFolder;
using vkit::VString;
using zq::MakeUpdaterError;
using zq::PushUpdaterError;

namespace {

constexpr int kRenameAttempts = 5;
constexpr int32_t kRenameRetryDelay = 3000; // ms: time for a bundle still busy after its application quit
constexpr int kLastTempFolderNumber = 9999;

/// Renames inOutdated to the name of inSetAsidePath, retrying a refused rename: after each failure but
/// the last, UPZQ 11 is prepared, the task waits, renames again and then records it, whatever the new
/// attempt gave. Answers the folder under its new name, or null after the last refusal.
VFolder* RenameAside(const VFolder& inOutdated, const VFilePath& inSetAsidePath) {
    VString newName;
    inSetAsidePath.GetName(newName);
    VFolder* setAside = nullptr;
    VError error = inOutdated.Rename(newName, &setAside);
    for (int attempt = 1; error != vkit::VE_OK && attempt < kRenameAttempts; ++attempt) {
        vkit::VErrorBase* retried =
            MakeUpdaterError(zq::VE_UPZQ_RENAME_RETRIED,
                             {{zq::kSrcPathKey, inOutdated.GetPath()}, {zq::kDstPathKey, inSetAsidePath}});
        vkit::VTask::Sleep(kRenameRetryDelay);
        error = inOutdated.Rename(newName, &setAside);
        vkit::_PushRetainedError(retried);
    }
    return error == vkit::VE_OK ? setAside : nullptr;
}

/// Copies inUpToDate into the parent of inInstall (created when missing) under inInstall's name,
/// replacing what is there. False, with UPZQ 12 or UPZQ 13 pushed after the operation's own errors,
/// when it cannot.
bool CopyIntoPlace(const VFolder& inUpToDate, const VFolder& inInstall) {
    vkit::VRefPtr<VFolder> parent = vkit::AdoptRef(inInstall.RetainParentFolder());
    if (!parent) {
        PushUpdaterError(zq::VE_UPZQ_INSTALL_PARENT_FAILED, {{zq::kPathKey, inInstall.GetPath()}});
        return false;
    }
    if (!parent->Exists() && parent->CreateRecursive() != vkit::VE_OK) {
        PushUpdaterError(zq::VE_UPZQ_INSTALL_PARENT_FAILED, {{zq::kPathKey, parent->GetPath()}});
        return false;
    }
    VString name;
    inInstall.GetPath().GetName(name);
    if (inUpToDate.CopyTo(*parent, name, nullptr, vkit::kCopyOverwrite) != vkit::VE_OK) {
        PushUpdaterError(zq::VE_UPZQ_COPY_FAILED,
                         {{zq::kFromKey, inUpToDate.GetPath()}, {zq::kToKey, inInstall.GetPath()}});
        return false;
    }
    return true;
}

/// Undoes a swap whose copy failed: whatever lies at the install place goes, and the set-aside folder
/// gets the outdated bundle's name back (once, without retry). Each step's failure stays on the context
/// and the next step still runs.
void RollBack(const VFolder& inOutdated, const VFolder& inInstall, const VFolder& inSetAside) {
    LogInfo("Rolling back up-to-date application install");
    if (inInstall.Exists())
        (void)inInstall.Delete(true); // its failure is on the context; the rename back is tried anyway
    VString formerName;
    inOutdated.GetPath().GetName(formerName);
    (void)inSetAside.Rename(formerName, nullptr); // its failure is on the context and in the log
}

} // namespace

bool VUpdateEngine::_ComputeTempFolderPath(const VFilePath& inSource, VFilePath& outPath,
                                           const VString* inSuffix) {
    VString baseName;
    inSource.GetFolderName(baseName, false);
    bool taken = true;
    for (int number = 1; taken && number <= kLastTempFolderNumber; ++number) {
        outPath = inSource;
        VString name(baseName);
        if (inSuffix != nullptr && !inSuffix->IsEmpty())
            name.AppendPrintf("_%S%04d", inSuffix, number);
        else
            name.AppendPrintf("%04d", number);
        outPath.SetFolderName(name, false);
        taken = VFolder(outPath).Exists();
    }
    return !taken;
}

VFolder* VUpdateEngine::_SwapApplications(const VFolder& inOutdated, const VFolder& inUpToDate,
                                          const VFolder& inInstall) {
    if (inOutdated.IsSameFolder(&inUpToDate) || inUpToDate.GetPath().IsChildOf(inOutdated.GetPath())) {
        PushUpdaterError(zq::VE_UPZQ_SAME_OR_NESTED_APPS, {{zq::kPathKey, inOutdated.GetPath()}});
        return nullptr;
    }
    VFilePath setAsidePath;
    VString suffix("old");
    // A taken last candidate is not tested here: the rename onto it fails instead.
    (void)_ComputeTempFolderPath(inOutdated.GetPath(), setAsidePath, &suffix);
    VFolder* setAside = RenameAside(inOutdated, setAsidePath);
    if (setAside == nullptr)
        return nullptr;
    // From here the log says where each bundle is, whatever happens next.
    VString setAsideText = setAside->GetPath().GetPath(vkit::FilePathStyle::Posix);
    LogInfo("Outdated application set aside as %S", &setAsideText);
    if (CopyIntoPlace(inUpToDate, inInstall)) {
        VString installText = inInstall.GetPath().GetPath(vkit::FilePathStyle::Posix);
        LogInfo("Up-to-date application copied to %S", &installText);
        return setAside;
    }
    RollBack(inOutdated, inInstall, *setAside);
    setAside->Release();
    return nullptr;
}
