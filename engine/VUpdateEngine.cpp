// VUpdateEngine: the run sequence, the update stage and the exit status.
#include "VUpdateEngine.h"

#include "UpdaterErrors.h"
#include "UpdaterLog.h"

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
    if (HoldsError(runContext))
        fSilent = false;
    VString date;
    VString time;
    FormatNow(date, time);
    LogInfo("Updater starting - %S - %S", &date, &time);
    if (!HoldsError(runContext))
        _ApplyUpdate();
    DumpErrorStack(runContext.GetContext(), true);
    FormatNow(date, time);
    if (HoldsError(runContext)) {
        LogInfo("Update failed - %S - %S", &date, &time);
        if (!fSilent)
            _ShowFailureAlert(*runContext.GetContext());
    } else {
        LogInfo("Update successful - %S - %S", &date, &time);
    }
    // Leaving the silent run's context hands its errors to the process logger while the log is open.
}

void VUpdateEngine::DoQuit() {
    _DeInitLog();
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
    // The customization lands in the up-to-date bundle before anything is moved.
    if (fClientInfoPath.IsValid() && fClientInfoPath.IsFile()) {
        (void)_FinishClientCustomization(); // judged by the stage's context
        if (HoldsError(stageContext))
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
        return;
    }
    _InstallAndRestart(outdated, upToDate, stageContext);
}

void VUpdateEngine::_InstallAndRestart(const VFolder& inOutdated, const VFolder& inUpToDate,
                                       const StErrorContextInstaller& inStageContext) {
    LogInfo("Proceeding with up-to-date application install...");
    VFolder install(fInstallPath);
    vkit::VRefPtr<VFolder> setAside = vkit::AdoptRef(_SwapApplications(inOutdated, inUpToDate, install));
    if (HoldsError(inStageContext)) {
        // Whatever the swap set aside stays on disk, next to the installed bundle.
        LogError("Up-to-date application install failed");
        PushUpdaterError(zq::VE_UPZQ_INSTALL_FAILED);
        return;
    }
    LogInfo("Proceeding with up-to-date application restart...");
    (void)_LaunchApplication(fInstallPath); // judged by the stage's context
    if (HoldsError(inStageContext)) {
        LogError("Up-to-date application restart failed");
        return;
    }
    LogInfo("Up-to-date application restarted");
    if (setAside) {
        // A set-aside bundle the trash refuses is deleted; either failure makes the run fail.
        if (setAside->MoveToTrash() != vkit::VE_OK)
            (void)setAside->DeleteForced();
    }
}
