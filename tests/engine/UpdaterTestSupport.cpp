// The whole-program tests' fixture: bundles, runs, logs and the trash.
#include "engine/UpdaterTestSupport.h"

#include "files/VFilePath.h"
#include "support/VTestTrees.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace vkit::testing {

namespace {

/// A log line without its sequence number, time and source, and without the empty extra fields " ()".
std::string LogEntry(const std::string& inLine) {
    size_t source = inLine.find(" [");
    size_t level = inLine.find("] ", source);
    if (source == std::string::npos || level == std::string::npos)
        return inLine;
    std::string entry = inLine.substr(level + 2);
    if (size_t dash = entry.find(" - "); dash != std::string::npos)
        entry.erase(dash, 2);
    if (entry.size() >= 3 && entry.compare(entry.size() - 3, 3, " ()") == 0)
        entry.resize(entry.size() - 3);
    return entry;
}

std::vector<std::string> ReadLog(const std::string& inFolder) {
    std::vector<std::string> lines;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(inFolder, error)) {
        std::ifstream in(item.path());
        for (std::string line; std::getline(in, line);)
            lines.push_back(LogEntry(line));
    }
    return lines;
}

} // namespace

std::string UpdaterPath() {
    return VKIT_UPDATER_PATH;
}

std::string UpdaterBundle() {
    return VKIT_UPDATER_BUNDLE;
}

UpdaterTest::UpdaterTest()
    : fUpdater(UpdaterPath()), fOutdated(fFolder / "Applications/Sample.app"),
      fUpToDate(fFolder / "Downloads/Sample.app"), fLogs(fFolder / "Logs") {
    fFolder.MakeFolder("home/.local/share");
    fFolder.MakeFolder("bin");
}

UpdaterTest::~UpdaterTest() {
    for (const std::string& mount : fMounts)
        RunShell("umount '" + mount + "'");
}

bool UpdaterTest::MountSmallFileSystem(const std::string& inPath, int inMegabytes) {
    std::filesystem::create_directories(inPath);
    if (RunShell("mount -t tmpfs -o size=" + std::to_string(inMegabytes) + "m tmpfs '" + inPath +
                 "' 2> /dev/null") != 0)
        return false;
    fMounts.push_back(inPath);
    return true;
}

std::string UpdaterTest::Snapshot(const std::string& inPath, const std::string& inName) const {
    std::string copy = fFolder / ("snapshots/" + inName);
    fFolder.MakeFolder("snapshots");
    RunShell("cp -a '" + inPath + "' '" + copy + "'");
    return copy;
}

std::string UpdaterTest::NativeFolderText(const std::string& inPosixPath) {
    return VFilePath(VString((inPosixPath + "/").c_str()), FilePathStyle::Posix).GetPath().ToUTF8();
}

void UpdaterTest::MakeBundle(const std::string& inPath, const std::string& inVersion) const {
    BuildSampleTree(inPath + "/Contents/Resources");
    fFolder.WriteFile(inPath.substr(fFolder.Path().size() + 1) + "/Contents/Resources/version.txt",
                      inVersion);
    std::ofstream(inPath + "/Contents/Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>CFBundleName</key><string>Sample</string>"
           "<key>CFBundleExecutable</key><string>sample</string>"
           "<key>CFBundleShortVersionString</key><string>"
        << inVersion << "</string></dict></plist>\n";
    std::filesystem::create_directories(inPath + "/Contents/MacOS");
    std::string program = inPath + "/Contents/MacOS/sample";
    std::ofstream(program) << "#!/bin/sh\necho \"" << inVersion << " $*\" >> '" << AppOutput() << "'\n";
    std::filesystem::permissions(program, std::filesystem::perms(0755));
}

void UpdaterTest::WriteProgram(const std::string& inName, const std::string& inScript) const {
    std::string path = fFolder.WriteFile("bin/" + inName, "#!/bin/sh\n" + inScript + "\n");
    std::filesystem::permissions(path, std::filesystem::perms(0755));
}

UpdaterRun UpdaterTest::Run(const std::string& inArguments, const std::string& inEnvironment,
                            const std::string& inPrefix) const {
    std::string out = fFolder / "out.txt";
    std::string err = fFolder / "err.txt";
    std::string status = fFolder / "status.txt";
    std::string home = fFolder / "home";
    // The status is written by the shell, so that a run killed by a signal shows as 128 + the signal;
    // the subshell waits for the program (rather than becoming it) and keeps its report of a kill.
    RunShell("(env -u DISPLAY -u WAYLAND_DISPLAY HOME='" + home + "' XDG_DATA_HOME='" + home +
             "/.local/share' PATH='" + (fFolder / "bin") + ":'\"$PATH\" " + inEnvironment + " " + inPrefix +
             " '" + fUpdater + "' " + inArguments + " < /dev/null > '" + out + "' 2> '" + err +
             "'; exit $?) 2> /dev/null; echo $? > '" + status + "'");
    UpdaterRun run;
    run.fStatus = std::stoi("0" + ReadFile(status));
    run.fOut = ReadFile(out);
    run.fErr = ReadFile(err);
    run.fLog = ReadLog(fLogs);
    return run;
}

std::string UpdaterTest::AppOutputWith(const std::string& inText) const {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string output = ReadFile(AppOutput());
        if (output.find(inText) != std::string::npos)
            return output;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return ReadFile(AppOutput());
}

std::vector<std::string> UpdaterTest::Trash() const {
    return ListNamesWithPrefix(TrashFolder(), "");
}

::testing::AssertionResult HoldsInOrder(const std::vector<std::string>& inLines,
                                        const std::vector<std::string>& inExpected) {
    size_t next = 0;
    for (const std::string& line : inLines)
        if (next < inExpected.size() && line.rfind(inExpected[next], 0) == 0)
            ++next;
    if (next == inExpected.size())
        return ::testing::AssertionSuccess();
    std::string all;
    for (const std::string& line : inLines)
        all += "\n  " + line;
    return ::testing::AssertionFailure() << "missing \"" << inExpected[next] << "\" in order in:" << all;
}

} // namespace vkit::testing
