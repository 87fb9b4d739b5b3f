// VLaunchVerification: the opener's watch command, its report read into a verdict, the check's errors.
#include "VLaunchVerification.h"

#include "UpdaterErrors.h"
#include "UpdaterLog.h"

#include "bags/StPackedDictionaryKey.h"
#include "bags/VValueBag.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorThrow.h"
#include "files/VFileError.h"
#include "files/VMemoryBuffer.h"
#include "process/VProcessLauncher.h"

#include <charconv>
#include <string>
#include <string_view>

using vkit::VFilePath;
using vkit::VProcessLauncher;
using vkit::VString;
using EOutcome = zq::VLaunchVerdict::EOutcome;

namespace zq {

namespace {

const vkit::StPackedDictionaryKey kOtherPathKey("otherPath");
const vkit::StPackedDictionaryKey kSecondsKey("seconds");
const vkit::StPackedDictionaryKey kStatusKey("status");
const vkit::StPackedDictionaryKey kSignalKey("signal");
const vkit::StPackedDictionaryKey kMessageKey("message");

void AppendQuoted(VString& ioCommandLine, const VString& inArgument) {
    ioCommandLine.AppendUniChar(u' ');
    ioCommandLine.AppendString(VProcessLauncher::QuoteArgument(inArgument));
}

/// Takes the decimal number at the start of ioText (after one space when inSpaced); false when none.
bool TakeNumber(std::string_view& ioText, int32_t& outValue, bool inSpaced = true) {
    if (inSpaced && (ioText.empty() || ioText.front() != ' '))
        return false;
    ioText.remove_prefix(inSpaced ? 1 : 0);
    auto [end, error] = std::from_chars(ioText.data(), ioText.data() + ioText.size(), outValue);
    if (error != std::errc() || end == ioText.data())
        return false;
    ioText.remove_prefix(static_cast<size_t>(end - ioText.data()));
    return true;
}

/// Reads the report "started <pid>[ running| exited <status>| killed <signal> <name>]\n" into the
/// verdict: true when it is whole; fPid is set as soon as the start is.
bool ReadReport(std::string_view inReport, VLaunchVerdict& ioVerdict) {
    constexpr std::string_view kStarted = "started ";
    if (inReport.substr(0, kStarted.size()) != kStarted)
        return false;
    inReport.remove_prefix(kStarted.size());
    if (!TakeNumber(inReport, ioVerdict.fPid, false) || ioVerdict.fPid <= 0) {
        ioVerdict.fPid = 0;
        return false;
    }
    if (inReport == " running\n") {
        ioVerdict.fOutcome = EOutcome::kRunning;
        return true;
    }
    for (auto [word, outcome] :
         {std::pair{std::string_view(" exited"), EOutcome::kExited}, {" killed", EOutcome::kKilled}}) {
        std::string_view rest = inReport;
        if (rest.substr(0, word.size()) != word)
            continue;
        rest.remove_prefix(word.size());
        if (!TakeNumber(rest, ioVerdict.fValue) || rest.empty() || rest.back() != '\n')
            return false;
        rest.remove_suffix(1);
        if (outcome == EOutcome::kKilled) {
            std::string name(rest.size() > 1 && rest.front() == ' ' ? rest.substr(1) : std::string_view());
            if (name.empty())
                ioVerdict.fSignal.FromLong(ioVerdict.fValue);
            else
                ioVerdict.fSignal.Printf("SIG%s (%d)", name.c_str(), ioVerdict.fValue);
        } else if (!rest.empty()) {
            return false;
        }
        ioVerdict.fOutcome = outcome;
        return true;
    }
    return false;
}

/// The verdict when the opener gave no whole report: it could not start the application (its status 1,
/// nothing started), or it failed.
void JudgeOpenerFailure(int32_t inExitStatus, const VString& inSaid, const VString& inReport,
                        VLaunchVerdict& ioVerdict) {
    if (ioVerdict.fPid == 0 && inReport.IsEmpty() && inExitStatus == 1) {
        ioVerdict.fOutcome = EOutcome::kNotStarted;
        ioVerdict.fMessage = inSaid;
        return;
    }
    ioVerdict.fOutcome = EOutcome::kOpenerFailed;
    if (inExitStatus == -127)
        ioVerdict.fMessage = VString("the opener was ended by a signal");
    else
        ioVerdict.fMessage.Printf("the opener ended with the exit status %d", inExitStatus);
    if (inReport.IsEmpty()) {
        ioVerdict.fMessage.AppendCString(" without a report");
    } else {
        ioVerdict.fMessage.AppendCString(" after the report \"");
        ioVerdict.fMessage.AppendString(inReport);
        ioVerdict.fMessage.AppendCString("\"");
    }
    if (!inSaid.IsEmpty()) {
        ioVerdict.fMessage.AppendCString(": ");
        ioVerdict.fMessage.AppendString(inSaid);
    }
}

void LogVerdict(const VLaunchVerdict& inVerdict) {
    switch (inVerdict.fOutcome) {
    case EOutcome::kRunning:
        LogInfo("Application started (pid %d), still running after %d s", inVerdict.fPid, inVerdict.fSeconds);
        break;
    case EOutcome::kExited:
        LogInfo("Application started (pid %d), quit within %d s with exit status %d", inVerdict.fPid,
                inVerdict.fSeconds, inVerdict.fValue);
        break;
    case EOutcome::kKilled:
        LogInfo("Application started (pid %d), ended within %d s by signal %S", inVerdict.fPid,
                inVerdict.fSeconds, &inVerdict.fSignal);
        break;
    case EOutcome::kNotStarted:
        LogError("Application not started: %S", &inVerdict.fMessage);
        break;
    case EOutcome::kOpenerFailed:
        LogError("Application launch not checked: %S", &inVerdict.fMessage);
        break;
    }
}

} // namespace

int32_t RunOpener(const VString& inCommandLine, vkit::VMemoryBuffer& outOutput,
                  vkit::VMemoryBuffer& outErrorOutput, int32_t& outExitStatus) {
    outExitStatus = 0;
    return VProcessLauncher::ExecuteCommandLine(inCommandLine, 0, nullptr, &outOutput, &outErrorOutput,
                                                nullptr, nullptr, &outExitStatus, nullptr, nullptr, true,
                                                false);
}

VString OutputText(const vkit::VMemoryBuffer& inBuffer) {
    std::string_view bytes(static_cast<const char*>(inBuffer.GetDataPtr()), inBuffer.GetDataSize());
    while (!bytes.empty() && bytes.back() == '\n')
        bytes.remove_suffix(1);
    VString text;
    text.AppendUTF8(bytes.data(), bytes.size());
    return text;
}

VString BuildLaunchCommandLine(const VLaunchRequest& inRequest) {
    VString commandLine =
        VProcessLauncher::QuoteArgument(inRequest.fOpener.GetPath(vkit::FilePathStyle::Posix));
    if (inRequest.fSeconds > 0) {
        commandLine.AppendCString(" --watch ");
        commandLine.AppendLong(inRequest.fSeconds);
    }
    commandLine.AppendCString(" -a");
    AppendQuoted(commandLine, inRequest.fBundle.GetPath(vkit::FilePathStyle::Posix));
    if (!inRequest.fRestartParams.GetPath().IsEmpty()) {
        commandLine.AppendCString(" --args");
        AppendQuoted(commandLine, inRequest.fRestartParams.GetPath(vkit::FilePathStyle::Posix));
        if (inRequest.fHeadless)
            commandLine.AppendCString(" --headless");
    } else if (inRequest.fHeadless) {
        commandLine.AppendCString(" --args --headless");
    }
    return commandLine;
}

VLaunchVerdict VerifyLaunch(const VLaunchRequest& inRequest) {
    VLaunchVerdict verdict;
    verdict.fSeconds = inRequest.fSeconds;
    VString commandLine = BuildLaunchCommandLine(inRequest);
    LogInfo("Launching application, watched for %d s (%S)...", inRequest.fSeconds, &commandLine);
    // The opener ends once it knows the application's fate, at most the watch's time after the start;
    // the application itself has none of its streams.
    vkit::VMemoryBuffer output;
    vkit::VMemoryBuffer errorOutput;
    int32_t exitStatus = 0;
    int32_t error = RunOpener(commandLine, output, errorOutput, exitStatus);
    std::string_view report(static_cast<const char*>(output.GetDataPtr()), output.GetDataSize());
    if (error != 0) {
        verdict.fMessage.Printf("the opener could not be run (error %d)", error);
        LogVerdict(verdict);
        return verdict;
    }
    if (!ReadReport(report, verdict))
        JudgeOpenerFailure(exitStatus, OutputText(errorOutput), OutputText(output), verdict);
    LogVerdict(verdict);
    return verdict;
}

vkit::VError LaunchErrorFor(const VLaunchVerdict& inVerdict, bool inPrevious) noexcept {
    if (inVerdict.Passed())
        return vkit::VE_OK;
    switch (inVerdict.fOutcome) {
    case EOutcome::kExited:
        return inPrevious ? VE_UPZQ_PREVIOUS_EXITED : VE_UPZQ_LAUNCH_EXITED;
    case EOutcome::kKilled:
        return inPrevious ? VE_UPZQ_PREVIOUS_KILLED : VE_UPZQ_LAUNCH_KILLED;
    case EOutcome::kNotStarted:
        return inPrevious ? VE_UPZQ_PREVIOUS_NOT_STARTED : VE_UPZQ_LAUNCH_NOT_STARTED;
    default:
        return inPrevious ? VE_UPZQ_PREVIOUS_NOT_STARTED : VE_UPZQ_LAUNCH_UNCHECKED;
    }
}

void PushLaunchError(vkit::VError inCode, const VLaunchVerdict& inVerdict, const VFilePath& inPath,
                     const VFilePath& inOtherPath) {
    vkit::VErrorBase* error = MakeUpdaterError(inCode, {{kPathKey, inPath}, {kOtherPathKey, inOtherPath}});
    vkit::VValueBag& bag = error->GetBag();
    VString number;
    number.FromLong(inVerdict.fSeconds);
    bag.SetString(kSecondsKey, number);
    number.FromLong(inVerdict.fValue);
    bag.SetString(kStatusKey, number);
    bag.SetString(kSignalKey, inVerdict.fSignal);
    bag.SetString(kMessageKey, inVerdict.fMessage);
    vkit::_PushRetainedError(error);
}

} // namespace zq
