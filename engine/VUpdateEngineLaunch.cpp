// VUpdateEngine's restart of the installed application through the opener of the updater's bundle.
#include "UpdaterErrors.h"
#include "UpdaterLog.h"
#include "VUpdateEngine.h"

#include "files/VMemoryBuffer.h"
#include "process/VProcessLauncher.h"

using vkit::VFilePath;
using vkit::VProcessLauncher;
using vkit::VString;

namespace {

/// Appends a space and the path's POSIX text in double quotes, quoted by the rules the launcher splits
/// the command line with, so that every byte of the path reaches the opener as it is.
void AppendQuotedPath(VString& ioCommandLine, const VFilePath& inPath) {
    ioCommandLine.AppendUniChar(u' ');
    ioCommandLine.AppendString(VProcessLauncher::QuoteArgument(inPath.GetPath(vkit::FilePathStyle::Posix)));
}

/// The opener's standard error as text, its last line feeds left out.
VString ErrorText(const vkit::VMemoryBuffer& inErrorOutput) {
    VString text;
    text.AppendUTF8(static_cast<const char*>(inErrorOutput.GetDataPtr()), inErrorOutput.GetDataSize());
    while (!text.IsEmpty() && text[text.GetLength() - 1] == u'\n')
        text.Truncate(text.GetLength() - 1);
    return text;
}

} // namespace

VString VUpdateEngine::_BuildRestartCommandLine(const VFilePath& inInstallPath) const {
    // The opener lies next to the updater's executable and takes the arguments of the system's "open".
    VFilePath opener = GetExecutableFolderPath();
    opener.ToSubFile(VString("zq-open"));
    VString commandLine = VProcessLauncher::QuoteArgument(opener.GetPath(vkit::FilePathStyle::Posix));
    commandLine.AppendCString(" -a");
    AppendQuotedPath(commandLine, inInstallPath);
    if (!fRestartParamsPath.GetPath().IsEmpty()) {
        commandLine.AppendCString(" --args");
        AppendQuotedPath(commandLine, fRestartParamsPath);
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
    // Its output is read to the end; its standard output is dropped.
    vkit::VMemoryBuffer output;
    vkit::VMemoryBuffer errorOutput;
    int32_t exitStatus = 0;
    int32_t error =
        VProcessLauncher::ExecuteCommandLine(commandLine, 0, nullptr, &output, &errorOutput, nullptr, nullptr,
                                             &exitStatus, nullptr, nullptr, true, false);
    if (error != 0) {
        LogError("Failed to restart updated application (returned error %d - exit status %d)", error,
                 exitStatus);
        zq::PushUpdaterError(zq::VE_UPZQ_RESTART_FAILED);
        return false;
    }
    // A non-zero status of the opener is only reported: the application may still have started. What
    // the opener said about it goes to the log, where the user looks for why it did not.
    LogInfo("Updated application restarted, returned %d", exitStatus);
    if (VString said = ErrorText(errorOutput); exitStatus != 0 && !said.IsEmpty())
        LogInfo("%S", &said);
    return true;
}
