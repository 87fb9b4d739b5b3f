// VUpdateEngine: the run sequence, the update stage and the exit status.
#include "VUpdateEngine.h"

#include "UpdaterErrors.h"
#include "UpdaterLog.h"
#include "VInstallPreflight.h"
#include "VInstallRecovery.h"
#include "VInstallTransaction.h"
#include "VUpdateTrust.h"

#include "errors/StErrorContextInstaller.h"
#include "errors/VErrorContext.h"
#include "files/VFolder.h"
#include "logging/VLog4jMsgFileLogger.h"
#include "runtime/VSystem.h"
#include "text/VTime.h"

using vkit::StErrorContextInstaller;
using vkit::VError;
using vkit::VFolder;
using vkit::VString;
using zq::HoldsError;
using zq::PushUpdaterError;

namespace {

/// The current local date and time in the system's medium formats.
void FormatNow(VString& outDate, VString& outTime) {
    vkit::VTime::Now().FormatByOS(outDate, outTime);
}

} // namespace

VUpdateEngine::VUpdateEngine() = default;

int VUpdateEngine::ExitStatusForError(VError inLastError) noexcept {
    if (inLastError == vkit::VE_OK)
        return 0;
    return inLastError == vkit::VE_APPLICATION_INIT_FAILED ? 1 : 2;
}

void VUpdateEngine::DoRun() {
    StErrorContextInstaller runContext(true, true);
    (void)_InitLog(); // judged by the run's context: a folder that cannot be made leaves its error there
    // A log that cannot be opened must not go unnoticed: the failure message is then shown even when
    // silent.
    const bool logFailed = HoldsError(runContext);
    if (logFailed)
        fSilent = false;
    VString date;
    VString time;
    FormatNow(date, time);
    LogInfo("Updater starting - %S - %S", &date, &time);
    // Before anything else changes: what earlier runs left unfinished. Its failures make the run fail
    // but do not stop the update of another bundle.
    if (!logFailed)
        _RecoverInstalls();
    if (!logFailed && !fRecoverOnly)
        _ApplyUpdate();
    DumpErrorStack(runContext.GetContext(), true);
    FormatNow(date, time);
    const char* outcome = fRecoverOnly ? "Recovery" : "Update";
    if (HoldsError(runContext)) {
        LogInfo("%s failed - %S - %S", outcome, &date, &time);
        if (!fSilent)
            _ShowFailureAlert(*runContext.GetContext());
    } else {
        LogInfo("%s successful - %S - %S", outcome, &date, &time);
    }
    // Leaving the silent run's context hands its errors to the process logger while the log is open.
}

void VUpdateEngine::DoQuit() {
    _DeInitLog();
}

void VUpdateEngine::_RecoverInstalls() {
    zq::VInstallRecovery recovery;
    (void)recovery.RecoverAll(); // its errors are on the run's context
    fPendingPlaces = recovery.GetPendingPlaces();
}

void VUpdateEngine::_ApplyUpdate() {
    StErrorContextInstaller stageContext(true, true);
    VFolder outdated(fOutdatedAppPath);
    VFolder upToDate(fUpToDateAppPath);
    // Both checks always run, so that the log names every missing bundle.
    if (!outdated.Exists())
        PushUpdaterError(zq::VE_UPZQ_OUTDATED_APP_MISSING, {{zq::kPathKey, fOutdatedAppPath}});
    if (!upToDate.Exists())
        PushUpdaterError(zq::VE_UPZQ_UP_TO_DATE_APP_MISSING, {{zq::kPathKey, fUpToDateAppPath}});
    if (HoldsError(stageContext))
        return;
    if (outdated.IsSameFolder(&upToDate) || fUpToDateAppPath.IsChildOf(fOutdatedAppPath)) {
        PushUpdaterError(zq::VE_UPZQ_SAME_OR_NESTED_APPS, {{zq::kPathKey, fOutdatedAppPath}});
        LogError("Up-to-date application install failed");
        PushUpdaterError(zq::VE_UPZQ_INSTALL_FAILED);
        return;
    }
    for (const vkit::VFilePath& pending : fPendingPlaces) {
        if (pending.GetPath() == fOutdatedAppPath.GetPath()) {
            PushUpdaterError(zq::VE_UPZQ_UPDATE_PENDING, {{zq::kPathKey, fOutdatedAppPath}});
            return;
        }
    }
    // An unsigned update gets the customization in the up-to-date bundle before anything else; a signed
    // one gets it in the staged copy once the copy passed the signature check, and the bundle given stays
    // as it was signed.
    const bool customize = fClientInfoPath.IsValid() && fClientInfoPath.IsFile();
    const bool signedUpdate = zq::DeclaresSigningKey(fOutdatedAppPath);
    if (customize && !signedUpdate) {
        (void)_FinishClientCustomization(fUpToDateAppPath); // judged by the stage's context
        if (HoldsError(stageContext))
            return;
    }
    // What would stop the install is found before anything changes and before the caller quits.
    if (zq::CheckInstallPlace(fOutdatedAppPath, fUpToDateAppPath) != vkit::VE_OK)
        return;
    zq::VInstallTransaction transaction(fOutdatedAppPath, fUpToDateAppPath);
    if (transaction.Stage() != vkit::VE_OK) {
        LogError("Up-to-date application install failed");
        PushUpdaterError(zq::VE_UPZQ_INSTALL_FAILED);
        return;
    }
    // What is checked is what will be installed: the staged copy, flushed.
    (void)zq::CheckUpdateTrust(fOutdatedAppPath, transaction.GetStagedPath(), fUpToDateAppPath,
                               fAllowDowngrade); // judged by the stage's context
    if (!HoldsError(stageContext) && customize && signedUpdate)
        (void)_FinishClientCustomization(transaction.GetStagedPath()); // judged by the stage's context
    if (HoldsError(stageContext)) {
        transaction.Abandon();
        return;
    }
    if (fReportToCaller) {
        _LogProgressToCaller("waitquit", -1);
        // The caller reads the updater's output: it sees the line, then the end of the stream.
        vkit::VSystem::CloseStandardStreams();
        fReportToCaller = false;
    }
    LogInfo("Waiting for external process to quit");
    (void)_WaitForPidToQuit(); // judged by the stage's context
    if (HoldsError(stageContext)) {
        LogError("External process wait failed");
        PushUpdaterError(zq::VE_UPZQ_WAIT_FAILED);
        transaction.Abandon();
        return;
    }
    _InstallAndRestart(transaction, stageContext);
}

void VUpdateEngine::_InstallAndRestart(zq::VInstallTransaction& ioTransaction,
                                       const StErrorContextInstaller& inStageContext) {
    LogInfo("Proceeding with up-to-date application install...");
    if (ioTransaction.Install() != vkit::VE_OK) {
        LogError("Up-to-date application install failed");
        PushUpdaterError(zq::VE_UPZQ_INSTALL_FAILED);
        return;
    }
    if (HoldsError(inStageContext)) {
        // Installed after refusals: the run has failed, the set-aside bundle stays beside the new one.
        LogError("Up-to-date application install failed");
        PushUpdaterError(zq::VE_UPZQ_INSTALL_FAILED);
        ioTransaction.Finish(false);
        return;
    }
    LogInfo("Proceeding with up-to-date application restart...");
    if (fVerifyLaunchSeconds > 0) {
        _RestartVerified(ioTransaction); // judged by the stage's context
        return;
    }
    (void)_LaunchApplication(fInstallPath); // judged by the stage's context
    if (HoldsError(inStageContext)) {
        LogError("Up-to-date application restart failed");
        ioTransaction.Finish(false);
        return;
    }
    LogInfo("Up-to-date application restarted");
    ioTransaction.Finish(true);
}
