// The whole-program tests' fixture: bundles, runs, logs and placeholders.
#include "engine/UpdaterTestSupport.h"

#include "support/VTestTrees.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vkit::testing {

namespace {

/// A log line without its sequence number, time and source, and without the empty extra fields " ()".
std::string LogEntry(const std::string& inLine) {
    size_t level = inLine.find("] ");
    std::string entry = level == std::string::npos ? inLine : inLine.substr(level + 2);
    if (size_t dash = entry.find(" - "); dash != std::string::npos)
        entry.erase(dash, 2);
    if (entry.size() >= 3 && entry.compare(entry.size() - 3, 3, " ()") == 0)
        entry.resize(entry.size() - 3);
    return entry;
}

void MakeBundle(const std::string& inPath, const std::string& inVersion, const std::string& inOutput) {
    RunShell("mkdir -p '" + inPath + "/Contents/MacOS'");
    BuildSampleTree(inPath + "/Contents/Resources");
    std::ofstream(inPath + "/Contents/Resources/version.txt") << inVersion;
    std::ofstream(inPath + "/Contents/Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>CFBundleExecutable</key><string>sample</string></dict></plist>\n";
    // The arguments as they came, byte for byte.
    std::ofstream(inPath + "/Contents/MacOS/sample")
        << "#!/bin/sh\nprintf '%s\\n' \"" << inVersion << " $*\" >> '" << inOutput << "'\n";
    RunShell("chmod 755 '" + inPath + "/Contents/MacOS/sample'");
}

} // namespace

UpdaterTest::UpdaterTest()
    : fOutdated(fFolder / "Applications/Sample.app"), fUpToDate(fFolder / "Downloads/Sample.app"),
      fUpdater(VKIT_UPDATER_PATH) {
    Shell("mkdir -p {F}/home/.local/share {F}/bin {F}/Applications {F}/Downloads {F}/templates");
    MakeBundle(fFolder / "templates/1.0", "1.0", fFolder / "app-output.txt");
    MakeBundle(fFolder / "templates/2.0", "2.0", fFolder / "app-output.txt");
}

UpdaterTest::~UpdaterTest() {
    Shell("umount {F}/Applications 2> /dev/null; chattr -i {F}/Applications 2> /dev/null");
}

std::string UpdaterTest::Expand(const std::string& inText) const {
    std::string log;
    if (std::vector<std::string> logs = Names("Logs"); !logs.empty())
        log = fFolder / ("Logs/" + logs[0]);
    const std::pair<std::string, std::string> values[] = {
        {"{F}", fFolder.Path()},
        {"{L}", fFolder / "Logs"},
        {"{A}", fOutdated},
        {"{B}", fUpToDate},
        {"{open}", fUpdater.substr(0, fUpdater.rfind('/')) + "/zq-open"},
        {"{log}", log},
        {"{bundle}", VKIT_UPDATER_BUNDLE},
        {"{updater}", fUpdater},
    };
    std::string text = inText;
    for (const auto& [name, value] : values)
        for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + value.size()))
            text.replace(at, name.size(), value);
    return text;
}

int UpdaterTest::Shell(const std::string& inCommand) const {
    return RunShell(Expand(inCommand));
}

UpdaterRun UpdaterTest::Run(const std::string& inArguments, const std::string& inEnvironment,
                            const std::string& inPrefix) const {
    // The status is written by the shell, so that a run killed by a signal shows as 128 + the signal;
    // the subshell waits for the program (rather than becoming it) and keeps its report of a kill.
    Shell("(env -u DISPLAY -u WAYLAND_DISPLAY HOME={F}/home XDG_DATA_HOME={F}/home/.local/share "
          "XDG_STATE_HOME={F}/home/.local/state "
          "PATH={F}/bin:\"$PATH\" " +
          inEnvironment + " " + inPrefix + " '" + fUpdater + "' " + inArguments +
          " < /dev/null > {F}/out.txt 2> {F}/err.txt; exit $?) 2> /dev/null; echo $? > {F}/status.txt");
    UpdaterRun run;
    run.fStatus = std::stoi("0" + ReadFile(fFolder / "status.txt"));
    run.fOut = ReadFile(fFolder / "out.txt");
    run.fErr = ReadFile(fFolder / "err.txt");
    for (const std::string& name : Names("Logs")) {
        std::ifstream in(fFolder / ("Logs/" + name));
        for (std::string line; std::getline(in, line);) {
            run.fRawLog += line + "\n";
            run.fLog.push_back(LogEntry(line));
        }
    }
    return run;
}

std::string UpdaterTest::AppOutputWith(const std::string& inText) const {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (ReadFile(fFolder / "app-output.txt").find(inText) != std::string::npos)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return ReadFile(fFolder / "app-output.txt");
}

std::string EndAdopted(bool inZombiesAllowed) {
    EXPECT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    std::string left;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        // "pid (name) state ppid ...", the name possibly holding spaces and parentheses.
        std::string stat = ReadFile(entry.path() / "stat");
        size_t open = stat.find('('), close = stat.rfind(')');
        if (close == std::string::npos || close + 4 > stat.size() || std::atoi(&stat[close + 4]) != getpid())
            continue;
        std::string name = stat.substr(open + 1, close - open - 1);
        std::error_code error; // a zombie has no descriptors to list
        auto descriptors = std::distance(std::filesystem::directory_iterator(entry.path() / "fd", error), {});
        if (name == "zq-open" || (stat[close + 2] == 'Z' && !inZombiesAllowed) || descriptors > 3)
            left += name + " " + stat[close + 2] + " with " + std::to_string(descriptors) + " descriptors; ";
        kill(std::atoi(stat.c_str()), SIGKILL);
        waitpid(std::atoi(stat.c_str()), nullptr, 0);
    }
    return left;
}

std::string ShellQuoted(const std::string& inText) {
    std::string quoted = "'";
    for (char c : inText)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::vector<std::string> UpdaterTest::Names(const std::string& inFolder) const {
    return ListNamesWithPrefix(fFolder / inFolder, "");
}

::testing::AssertionResult HoldsInOrder(const std::vector<std::string>& inLines,
                                        const std::string& inExpected) {
    std::vector<std::string> expected;
    for (size_t start = 0, end = 0; start < inExpected.size(); start = end + 1) {
        end = std::min(inExpected.find('\n', start), inExpected.size());
        expected.push_back(inExpected.substr(start, end - start));
    }
    size_t next = 0;
    for (const std::string& line : inLines)
        if (next < expected.size() && line.rfind(expected[next], 0) == 0)
            ++next;
    if (next == expected.size())
        return ::testing::AssertionSuccess();
    std::string all;
    for (const std::string& line : inLines)
        all += "\n  " + line;
    return ::testing::AssertionFailure() << "missing \"" << expected[next] << "\" in order in:" << all;
}

} // namespace vkit::testing
