// VUpdateEngine: the run sequence, the update stage and the exit status.
#include "VUpdateEngine.h"

#include "errors/StErrorContextInstaller.h"
#include "errors/VErrorContext.h"

using vkit::StErrorContextInstaller;
using vkit::VError;

VUpdateEngine::VUpdateEngine() = default;

VUpdateEngine::~VUpdateEngine() {
    // The localization store, when one was made, is released here once the localization layer lands;
    // the paths and the base object go with the members.
}

bool VUpdateEngine::Init(uint32_t inFlags) {
    if (!VProcessIPC::Init(inFlags))
        return false;
    _InitLocalizationManager();
    return true;
}

int VUpdateEngine::ExitStatusForError(VError inLastError) noexcept {
    if (inLastError == vkit::VE_OK)
        return 0;
    return inLastError == vkit::VE_APPLICATION_INIT_FAILED ? 1 : 2;
}

bool VUpdateEngine::_HoldsError(const StErrorContextInstaller& inContext) noexcept {
    const vkit::VErrorContext* context = inContext.GetContext();
    return context != nullptr && !context->IsEmpty();
}

void VUpdateEngine::DoRun() {
    StErrorContextInstaller runContext(true, true);
    _InitLog();
    // A log that cannot be opened must not go unnoticed: the failure message is then shown even when
    // silent.
    if (_HoldsError(runContext))
        fSilent = false;
    // "Updater starting - %S - %S" with the date and time is logged here once the logger and the time
    // values land.
    if (!_HoldsError(runContext))
        _ApplyUpdate();
    // The run's errors are dumped to the log here, last first, once the log lands. Then, with the date and
    // time: on an error "Update failed - %S - %S" and, unless fSilent, the failure message; otherwise
    // "Update successful - %S - %S".
}

void VUpdateEngine::DoQuit() {
    _DeInitLog();
}

void VUpdateEngine::_InitLog() {
    // Opens the log file writer in fLogFolderPath and makes it a listener of the process logger, once the
    // log file writer lands; UPZQ 101 when it fails.
}

void VUpdateEngine::_DeInitLog() {
    // Flushes the process logger, then stops and deletes fLogFileLogger, once the logger lands.
}

void VUpdateEngine::_InitLocalizationManager() {
    // Creates the localization store from the bundle's Resources and registers it for "UPZQ", once the
    // localization layer lands.
}

void VUpdateEngine::_ApplyUpdate() {
    StErrorContextInstaller stageContext(true, true);
    // The stage's steps take their places here as their layers land, each only while stageContext holds
    // no error:
    //  - the outdated bundle folder must exist (else UPZQ 3, "path"), and independently the up-to-date one
    //    (else UPZQ 2, "path"): they come with the command line that fills the two paths, since until then
    //    every run would end here;
    //  - the client customization of the up-to-date bundle when fClientInfoPath is a file path;
    //  - with fReportToCaller, the progress line "waitquit" -1, then standard input, output and error
    //    closed;
    //  - the wait for fCallerPid (UPZQ 1 on failure);
    //  - the swap of the bundles (UPZQ 100 on failure), the restart of fInstallPath, the set-aside bundle
    //    moved to the trash.
}
