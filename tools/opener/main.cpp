// zq-open: starts the executable of an application bundle, detached, and returns at once; the updater
// restarts the application it updated with it: zq-open -a <bundle> [--args <arguments>...]. With
// --watch SECONDS first, it waits up to that long for the application and reports its fate in one line.
#include "platform/posix/application/XPosixPlistReader.h"
#include "platform/posix/errors/XPosixErrorText.h"
#include "platform/posix/files/XPosixFileInfo.h"
#include "platform/posix/runtime/XPosixSystem.h"
#include "platform/posix/shared/XPosixSpawn.h"
#include "runtime/VBundle.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace vkit;

namespace {

/// The longest watch: a day.
constexpr double kMaxWatchSeconds = 86400;

int Fail(const std::string& inMessage, int inStatus = 1) {
    std::fprintf(stderr, "zq-open: %s\n", inMessage.c_str());
    return inStatus;
}

/// Seconds as a decimal number from 0 to a day ("2", "0.5"), in milliseconds; -1 for anything else.
int WatchMilliseconds(const char* inText) {
    double seconds = -1;
    const char* end = inText + std::strlen(inText);
    auto [stop, error] = std::from_chars(inText, end, seconds, std::chars_format::fixed);
    if (error != std::errc() || stop != end || !(seconds >= 0 && seconds <= kMaxWatchSeconds))
        return -1;
    return static_cast<int>(std::lround(seconds * 1000));
}

/// Writes the text on standard output at once, so that the caller has it while the opener waits: 0, or
/// 2 with a message when it cannot.
int Report(const std::string& inText) {
    if (std::fputs(inText.c_str(), stdout) >= 0 && std::fflush(stdout) == 0)
        return 0;
    int error = errno;
    return Fail("cannot write the report: " + XPosixErrorText::GetSystemMessage(error), 2);
}

/// The watch: "started <pid>" at once, then, when the fate is known, " running", " exited <status>" or
/// " killed <signal> <name>" and the line's end. A caller that finds no line end knows the opener was
/// stopped while it watched. 0 once reported, 2 when the report or the wait failed.
int Watch(int inPid, int inMilliseconds) {
    if (int failed = Report("started " + std::to_string(inPid)))
        return failed;
    XPosixSystem::ChildEnd end;
    EProcessWaitResult result = XPosixSystem::WaitForChildEnd(inPid, inMilliseconds, end);
    if (result == eProcessWaitFailed) {
        int error = errno;
        return Fail("cannot wait for process " + std::to_string(inPid) + ": " +
                        XPosixErrorText::GetSystemMessage(error),
                    2);
    }
    if (result == eProcessWaitTimedOut)
        return Report(" running\n");
    if (end.fSignal == 0)
        return Report(" exited " + std::to_string(end.fExitCode) + "\n");
    return Report(" killed " + std::to_string(end.fSignal) + " " + end.fSignalName + "\n");
}

/// The "CFBundleExecutable" value, when it is a plain file name (the executable stays in Contents/MacOS).
std::string ExecutableName(const XPosixPlistReader::Entries& inEntries) {
    for (const auto& [key, name] : inEntries) {
        if (key == VBundle::kExecutableKey) {
            bool plain = !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
            return plain ? name : std::string();
        }
    }
    return std::string();
}

/// Opens the bundle of "-a <bundle> [--args <arguments>...]" (argv[1] on), watching the application for
/// inWatch milliseconds when not negative; inUsage is the text for a wrong command line.
int Open(int argc, char** argv, int inWatch, const char* inUsage) {
    if (argc < 3 || std::strcmp(argv[1], "-a") != 0 || (argc > 3 && std::strcmp(argv[3], "--args") != 0))
        return Fail(inUsage);
    std::string bundle = argv[2];
    while (bundle.size() > 1 && bundle.back() == '/')
        bundle.pop_back();
    if (!XPosixFileInfo::IsDirectory(bundle, true))
        return Fail("no application bundle at '" + bundle + "'");
    std::string infoPath = bundle + "/Contents/Info.plist";
    XPosixPlistReader::Entries entries;
    XPosixPlistReader::Failure failure;
    if (!XPosixPlistReader::ReadFile(infoPath, entries, failure))
        return Fail("cannot read '" + infoPath + "': " + failure.fMessage);
    std::string name = ExecutableName(entries);
    if (name.empty())
        return Fail("'" + infoPath + "' names no executable (" + VBundle::kExecutableKey + ")");

    // The application gets its own session, away from the updater's terminal and process group, the
    // root as working directory (no folder of the update stays busy) and no stream of the updater.
    std::string executable = bundle + "/Contents/MacOS/" + name;
    std::vector<char*> arguments{executable.data()};
    arguments.insert(arguments.end(), argv + (argc > 4 ? 4 : argc), argv + argc);
    arguments.push_back(nullptr);
    XPosixSpawn::Request request;
    request.fProgram = executable.c_str();
    request.fArguments = arguments.data();
    request.fWorkingDirectory = "/";
    request.fStandard[0] = request.fStandard[1] = request.fStandard[2] = XPosixSpawn::kNullDevice;
    request.fNewSession = true;
    // The watcher reaps the application itself, whatever disposition of SIGCHLD its caller handed on.
    if (inWatch >= 0)
        XPosixSystem::KeepChildrenForReaping();
    int pid = 0;
    if (int error = XPosixSpawn::Start(request, pid))
        return Fail("cannot start '" + executable + "': " + XPosixErrorText::GetSystemMessage(error));
    // Unwatched, or still running at the end of the watch, the application outlives the opener: the
    // system hands it to the process that adopts orphans, which reaps it.
    return inWatch >= 0 ? Watch(pid, inWatch) : 0;
}

} // namespace

int main(int argc, char** argv) {
    // Without --watch, the command line is read exactly as it always was.
    if (argc < 2 || std::strcmp(argv[1], "--watch") != 0)
        return Open(argc, argv, -1, "usage: zq-open -a <application bundle> [--args <arguments>...]");
    const char* usage =
        "usage: zq-open --watch <seconds, 0 to 86400> -a <application bundle> [--args <arguments>...]";
    int watch = argc > 2 ? WatchMilliseconds(argv[2]) : -1;
    return watch < 0 ? Fail(usage) : Open(argc - 2, argv + 2, watch, usage);
}
