// VUpdateEngine's restart of the installed application through the opener of the updater's bundle.
#include "UpdaterErrors.h"
#include "UpdaterLog.h"
#include "VUpdateEngine.h"

#include "files/VMemoryBuffer.h"
#include "process/VProcessLauncher.h"

using vkit::VFilePath;
using vkit::VString;

namespace {

/// Appends a space and the text in double quotes.
void AppendQuoted(VString& ioCommandLine, const VString& inText) {
    ioCommandLine.AppendCString(" \"");
    ioCommandLine.AppendString(inText);
    ioCommandLine.AppendUniChar(u'"');
}

} // namespace

VString VUpdateEngine::_BuildRestartCommandLine(const VFilePath& inInstallPath) const {
    // The opener lies next to the updater's executable and takes the arguments of the system's "open".
    VFilePath opener = GetExecutableFolderPath();
    opener.ToSubFile(VString("zq-open"));
    VString commandLine("\"");
    commandLine.AppendString(opener.GetPath(vkit::FilePathStyle::Posix));
    commandLine.AppendCString("\" -a");
    AppendQuoted(commandLine, inInstallPath.GetPath(vkit::FilePathStyle::Posix));
    if (!fRestartParamsPath.GetPath().IsEmpty()) {
        commandLine.AppendCString(" --args");
        AppendQuoted(commandLine, fRestartParamsPath.GetPath(vkit::FilePathStyle::Posix));
        if (fRestartHeadless)
            commandLine.AppendCString(" --headless");
    } else if (fRestartHeadless) {
        commandLine.AppendCString(" --args --headless");
    }
    return commandLine;
}

bool VUpdateEngine::_LaunchApplication(const VFilePath& inInstallPath) const {
    VString commandLine = _BuildRestartCommandLine(inInstallPath);
    LogInfo("Restarting installed application (%S)...", &commandLine);
    // The opener returns once the application is started: the wait is for it, not for the application.
    // Its output is read to the end and dropped.
    vkit::VMemoryBuffer output;
    vkit::VMemoryBuffer errorOutput;
    int32_t exitStatus = 0;
    int32_t error =
        vkit::VProcessLauncher::ExecuteCommandLine(commandLine, 0, nullptr, &output, &errorOutput, nullptr,
                                                   nullptr, &exitStatus, nullptr, nullptr, true, false);
    if (error != 0) {
        LogError("Failed to restart updated application (returned error %d - exit status %d)", error,
                 exitStatus);
        zq::PushUpdaterError(zq::VE_UPZQ_RESTART_FAILED);
        return false;
    }
    // A non-zero status of the opener is only reported: the application may still have started.
    LogInfo("Updated application restarted, returned %d", exitStatus);
    return true;
}
