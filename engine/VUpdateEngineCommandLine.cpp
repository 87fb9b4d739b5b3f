// VUpdateEngine's command-line stage: the updater's options parsed, checked and stored in the engine.
#include "FixFolderPathSpec.h"
#include "VUpdateEngine.h"
#include "VUpdaterOptions.h"

#include "cmdline/VCommandLineParser.h"

using vkit::FilePathStyle;
using vkit::VCommandLineParser;
using zq::VUpdaterOptions;

int32_t VUpdateEngine::DoParseCommandLine(VCommandLineParser& ioParser) {
    VUpdaterOptions options;
    options.Declare(ioParser);
    int result = ioParser.Parse();
    if (options.fVersion && result == VCommandLineParser::kParseSuccess) {
        VCommandLineParser::Print(GetProductVersion());
        return kCommandLineHandled;
    }
    if (result != VCommandLineParser::kParseSuccess)
        return result;
    if (options.Reconcile() != 0)
        return kCommandLineError;

    // The fields change only once the whole command line was accepted.
    fCallerPid = options.fCallerPid;
    fSilent = options.fSilent;
    fRestartHeadless = options.fRestartHeadless;
    fAllowDowngrade = options.fAllowDowngrade;
    fVerifyLaunchSeconds = options.fVerifyLaunch;
    fRecoverOnly = options.fRecover;
    FixFolderPathSpec(options.fOutdatedApp, FilePathStyle::Posix, fOutdatedAppPath);
    FixFolderPathSpec(options.fUpToDateApp, FilePathStyle::Posix, fUpToDateAppPath);
    fInstallPath = fOutdatedAppPath; // --install-path is accepted and not used
    fRestartParamsPath.FromFullPath(options.fRestartParams, FilePathStyle::Posix);
    if (!options.fCallerLog.IsEmpty())
        fReportToCaller = true; // progress goes to standard output; the value itself is not used
    FixFolderPathSpec(options.fLogDir, FilePathStyle::Posix, fLogFolderPath);
    if (!options.fClientInfo.IsEmpty())
        fClientInfoPath.FromFullPath(options.fClientInfo, FilePathStyle::Posix);
    return kCommandLineContinue;
}
