// VUpdaterOptions: the updater's option table and the reconciliation of options with positional arguments.
#include "VUpdaterOptions.h"

#include "cmdline/VCommandLineParser.h"

using vkit::VCommandLineParser;
using vkit::VString;

namespace zq {

namespace {

constexpr vkit::UniChar kNoShortName = u' ';

/// An option not given takes the positional argument; one given must equal it.
bool ReconcileWithPositional(VString& ioOption, const VString& inPositional) {
    if (ioOption.IsEmpty()) {
        ioOption = inPositional;
        return true;
    }
    return ioOption.EqualToString(inPositional, false);
}

} // namespace

void VUpdaterOptions::Declare(VCommandLineParser& ioParser) {
    ioParser.AddParagraph(
        VString("\nZQ Updater\n\t\tUpdates an existing ZQ application residing at <path of app to "
                "update> using \t\tnewer versions tored <path of update>\n\n"));
    fCallerPid = -1;
    ioParser.AddOption(kNoShortName, VString("pid"), &fCallerPid, VString("Wait for the caller's pid"), true);
    fSilent = false;
    ioParser.AddOption(
        kNoShortName, VString("silent"), &fSilent,
        VString("ensure that no message is displayed in case of error. Errors are still logged though"),
        false);
    ioParser.AddOption(
        kNoShortName, VString("install-path"), &fInstallPath,
        VString("indicates where the updated app should be installed instead of <path of app to update>."),
        true);
    ioParser.AddOption(
        kNoShortName, VString("restart-params"), &fRestartParams,
        VString("indicates the full path to the ZQLink \t\tfile that will be passed back to the "
                "restarted application. This does not \t\tapply if the application is started as a "
                "service"),
        true);
    ioParser.AddOption(kNoShortName, VString("caller-log"), &fCallerLog, VString("Restart params"), true);
    ioParser.AddOption(kNoShortName, VString("log-dir"), &fLogDir,
                       VString("specifies a folder for the updater where log file should be written"), true);
    ioParser.AddOption(kNoShortName, VString("client-info"), &fClientInfo,
                       VString("path of the client customization file. Using this \t\toption IMPLIES that "
                               "application is a ZQ-based client, which incurs special processing."),
                       true);
    ioParser.AddOption(kNoShortName, VString("outdated-app"), &fOutdatedApp,
                       VString("Outdated application bundle path"), true);
    ioParser.AddOption(kNoShortName, VString("uptodate-app"), &fUpToDateApp,
                       VString("Up-to-date application bundle path"), true);
    ioParser.SetPositionalArguments(&fPositional);
    fRestartHeadless = false;
    ioParser.AddOption(kNoShortName, VString("restart-headless"), &fRestartHeadless,
                       VString("Restart the application in headless mode."), false);
    fAllowDowngrade = false;
    ioParser.AddOption(kNoShortName, VString("allow-downgrade"), &fAllowDowngrade,
                       VString("Accept a signed up-to-date application whose version is lower than the "
                               "installed one's."),
                       false);
    fVerifyLaunch = 0;
    ioParser.AddOption(kNoShortName, VString("verify-launch"), &fVerifyLaunch,
                       VString("After the restart, watch the application for that many seconds (1 to 3600); "
                               "when it quits in that time with a non-zero status or by a signal, put the "
                               "previous version back, keep the new one beside it under a free "
                               "NAME_failed0001 name, restart the previous one and fail. The outdated bundle "
                               "goes to the trash only once the application passed. 0, the default, does "
                               "not watch."),
                       true);
    fRecover = false;
    ioParser.AddOption(kNoShortName, VString("recover"), &fRecover,
                       VString("Complete or undo the updates that an updater stopped before their end left "
                               "unfinished, update nothing, and exit: 0 when nothing is left to do, 2 when "
                               "something could not be recovered. Takes no application paths; every run "
                               "of the updater does this first."),
                       false);
    ioParser.AddParagraph(VString("\nHelp:\n"));
    ioParser.AddOption(kNoShortName, VString("version"), &fVersion, VString("Print the version and exits"),
                       false);
}

int VUpdaterOptions::Reconcile() {
    if (fVerifyLaunch < 0 || fVerifyLaunch > kMaxVerifyLaunchSeconds)
        return VCommandLineParser::PrintArgumentError(
            VString("invalid value for option --verify-launch: expected seconds from 0 to 3600"));
    if (fRecover) {
        if (fPositional.empty() && fOutdatedApp.IsEmpty() && fUpToDateApp.IsEmpty())
            return 0;
        return VCommandLineParser::PrintArgumentError(VString("--recover takes no application paths\n"));
    }
    if (fPositional.size() == 1)
        return VCommandLineParser::PrintArgumentError(
            VString("not enough arguments from the command line (required <dest> <src>)\n"));
    if (fPositional.size() > 2)
        return VCommandLineParser::PrintArgumentError(VString("two many arguments from the command line"));
    if (fPositional.size() == 2) {
        bool outdatedFailed = !ReconcileWithPositional(fOutdatedApp, fPositional[0]);
        if (outdatedFailed)
            VCommandLineParser::PrintArgumentError(VString("mismatched value for option --outdated-app\n"));
        if (!ReconcileWithPositional(fUpToDateApp, fPositional[1]))
            return VCommandLineParser::PrintArgumentError(
                VString("mismatched value for option --uptodate-app\n"));
        if (outdatedFailed)
            return 1;
    }
    bool upToDateFailed = fUpToDateApp.IsEmpty();
    if (upToDateFailed)
        VCommandLineParser::PrintArgumentError(VString("mismatched value for option --uptodate-app\n"));
    if (fOutdatedApp.IsEmpty())
        return VCommandLineParser::PrintArgumentError(
            VString("mismatched value for option --outdated-app\n"));
    return upToDateFailed ? 1 : 0;
}

} // namespace zq
