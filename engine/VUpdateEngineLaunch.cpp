// VUpdateEngine's restart of the installed application through the opener of the updater's bundle,
// watched when asked, and the revert of an update whose application failed to start.
#include "UpdaterErrors.h"
#include "UpdaterLog.h"
#include "VInstallTransaction.h"
#include "VLaunchVerification.h"
#include "VUpdateEngine.h"

#include "files/VMemoryBuffer.h"

using vkit::VError;
using vkit::VFilePath;
using vkit::VString;

VFilePath VUpdateEngine::_GetOpenerPath() const {
    VFilePath opener = GetExecutableFolderPath();
    opener.ToSubFile(VString("zq-open"));
    return opener;
}

VString VUpdateEngine::_BuildRestartCommandLine(const VFilePath& inInstallPath) const {
    // The opener lies next to the updater's executable and takes the arguments of the system's "open".
    return zq::BuildLaunchCommandLine(
        {_GetOpenerPath(), inInstallPath, fRestartParamsPath, fRestartHeadless, 0});
}

bool VUpdateEngine::_LaunchApplication(const VFilePath& inInstallPath) const {
    VString commandLine = _BuildRestartCommandLine(inInstallPath);
    LogInfo("Restarting installed application (%S)...", &commandLine);
    // The opener returns once the application is started: the wait is for it, not for the application.
    // Its output is read to the end; its standard output is dropped.
    vkit::VMemoryBuffer output;
    vkit::VMemoryBuffer errorOutput;
    int32_t exitStatus = 0;
    int32_t error = zq::RunOpener(commandLine, output, errorOutput, exitStatus);
    if (error != 0) {
        LogError("Failed to restart updated application (returned error %d - exit status %d)", error,
                 exitStatus);
        zq::PushUpdaterError(zq::VE_UPZQ_RESTART_FAILED);
        return false;
    }
    // A non-zero status of the opener is only reported: the application may still have started. What
    // the opener said about it goes to the log, where the user looks for why it did not.
    LogInfo("Updated application restarted, returned %d", exitStatus);
    if (VString said = zq::OutputText(errorOutput); exitStatus != 0 && !said.IsEmpty())
        LogInfo("%S", &said);
    return true;
}

void VUpdateEngine::_RestartVerified(zq::VInstallTransaction& ioTransaction) {
    using EOutcome = zq::VLaunchVerdict::EOutcome;
    if (ioTransaction.BeginVerification() != vkit::VE_OK) {
        // Without the journal a revert could not be recovered: the application is restarted unwatched and
        // the outdated bundle kept.
        (void)_LaunchApplication(fInstallPath); // judged by the stage's context
        ioTransaction.Finish(false);
        return;
    }
    const zq::VLaunchRequest request{_GetOpenerPath(), fInstallPath, fRestartParamsPath, fRestartHeadless,
                                     fVerifyLaunchSeconds};
    const zq::VLaunchVerdict verdict = zq::VerifyLaunch(request);
    if (verdict.Passed()) {
        LogInfo("Up-to-date application restarted");
        ioTransaction.Finish(true);
        return;
    }
    const zq::VInstallRecord& record = ioTransaction.GetRecord();
    if (verdict.fOutcome == EOutcome::kOpenerFailed) {
        // Nothing is known of the application: it stays, and so does the way back.
        LogError("Up-to-date application restart could not be checked");
        zq::PushLaunchError(zq::VE_UPZQ_LAUNCH_UNCHECKED, verdict, fInstallPath, record.fSetAside);
        ioTransaction.Finish(false);
        return;
    }
    _PutBackAndRestart(ioTransaction, request, verdict);
}

void VUpdateEngine::_PutBackAndRestart(zq::VInstallTransaction& ioTransaction,
                                       const zq::VLaunchRequest& inRequest,
                                       const zq::VLaunchVerdict& inVerdict) {
    const zq::VInstallRecord& record = ioTransaction.GetRecord();
    LogError("Up-to-date application failed to start");
    bool putBack = false;
    const VError reverted = ioTransaction.Revert(putBack);
    // Where each bundle is now, as found on disk (both stay complete whatever failed).
    VFilePath failedAt = zq::LocateBundle(record, record.fUpToDateIdentity);
    if (!failedAt.IsValid())
        failedAt = putBack ? record.fFailed : fInstallPath;
    if (!putBack) {
        VFilePath outdatedAt = zq::LocateBundle(record, record.fOutdatedIdentity);
        zq::PushLaunchError(zq::VE_UPZQ_ROLLBACK_FAILED, inVerdict, failedAt,
                            outdatedAt.IsValid() ? outdatedAt : record.fSetAside);
        return;
    }
    if (reverted != vkit::VE_OK)
        zq::PushLaunchError(zq::VE_UPZQ_FAILED_NOT_SET_ASIDE, inVerdict, failedAt, record.fFailed);
    LogInfo("Proceeding with outdated application restart...");
    const zq::VLaunchVerdict previous = zq::VerifyLaunch(inRequest);
    zq::PushLaunchError(zq::LaunchErrorFor(inVerdict, false), inVerdict, fInstallPath, failedAt);
    if (!previous.Passed())
        zq::PushLaunchError(zq::LaunchErrorFor(previous, true), previous, fInstallPath, failedAt);
}
