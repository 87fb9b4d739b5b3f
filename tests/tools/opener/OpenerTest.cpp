// Tests of zq-open: a bundle's executable started detached with the arguments given, and its failures.
#include "files/VMemoryBuffer.h"
#include "kernel/runtime/TestProcess.h"
#include "process/VProcessLauncher.h"
#include "support/VTestTempFolder.h"
#include "tools/opener/OpenerWatchCases.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace vkit {
namespace {

struct Opened {
    int32_t fStatus = -99;
    std::string fOutput;
    std::string fError;
};

/// Runs the opener (or inProgram) with the arguments.
Opened Open(const std::vector<std::string>& inArguments, const char* inProgram = VKIT_OPENER_PATH) {
    std::vector<VString> arguments(inArguments.begin(), inArguments.end());
    VMemoryBuffer output, error;
    Opened opened;
    EXPECT_EQ(VProcessLauncher::ExecuteCommandLine(VString(inProgram), 0, nullptr, &output, &error, nullptr,
                                                   nullptr, &opened.fStatus, nullptr, &arguments),
              0);
    opened.fOutput.assign(static_cast<const char*>(output.GetDataPtr()), output.GetDataSize());
    opened.fError.assign(static_cast<const char*>(error.GetDataPtr()), error.GetDataSize());
    return opened;
}

/// A bundle whose Info.plist holds one key; its Contents/MacOS/ folder is empty.
std::string MakeBundle(const testing::VTestTempFolder& inFolder, const std::string& inName, const char* inKey,
                       const char* inValue) {
    return testing::MakeSampleBundle(inFolder, inName, testing::MakeInfoPlist({{inKey, inValue}}));
}

TEST(OpenerTest, StartsTheExecutableDetachedAndReturnsBeforeItEnds) {
    testing::VTestTempFolder folder;
    // The application records how it was started, then runs as long as the test's folder exists.
    std::string script =
        "#!/bin/sh\nroot=" + folder.Path() +
        "\n{ printf '%s\\n' \"$0\" \"$@\"; readlink /proc/$$/fd/0; pwd\n"
        "  read -r p c s pp pg sid rest < /proc/$$/stat; [ \"$sid\" = \"$$\" ] && echo leader\n"
        "} > \"$root/record.tmp\" && mv \"$root/record.tmp\" \"$root/record\"\n"
        "while [ -d \"$root\" ]; do sleep 0.01; done\n";
    std::string bundle = MakeBundle(folder, "Sample App.app", "CFBundleExecutable", "sample");
    chmod(folder.WriteFile("Sample App.app/Contents/MacOS/sample", script).c_str(), 0755);
    Opened opened = Open({"-a", bundle + "/", "--args", "/tmp/link file", "--headless"});
    EXPECT_EQ(opened.fStatus, 0) << opened.fError;
    ASSERT_TRUE(testing::Eventually([&] { return !testing::ReadFile(folder / "record").empty(); }));
    EXPECT_EQ(testing::ReadFile(folder / "record"),
              bundle + "/Contents/MacOS/sample\n/tmp/link file\n--headless\n/dev/null\n/\nleader\n");
}

struct FailureCase {
    const char* fLabel;
    std::vector<std::string> fArguments;
    const char* fMessage;
};

TEST(OpenerTest, FailuresSayWhatIsWrongAndExitWithOne) {
    testing::VTestTempFolder folder;
    std::string bare = testing::MakeSampleBundle(folder, "Bare.app", "");
    std::string plain = MakeBundle(folder, "Plain.app", "CFBundleExecutable", "app");
    folder.WriteFile("Plain.app/Contents/MacOS/app", "#!/bin/sh\n"); // not executable
    std::string dir = MakeBundle(folder, "Dir.app", "CFBundleExecutable", "dir");
    folder.MakeFolder("Dir.app/Contents/MacOS/dir");
    const FailureCase cases[] = {
        {"no arguments", {}, "usage: zq-open -a <application bundle> [--args"},
        {"unknown option", {"-a", bare, "--headless"}, "usage: "},
        {"missing bundle", {"-a", folder / "Missing.app"}, "no application bundle at '"},
        {"missing Info.plist", {"-a", bare}, "Bare.app/Contents/Info.plist': No such file or directory"},
        {"no executable key",
         {"-a", MakeBundle(folder, "NoKey.app", "CFBundleName", "X")},
         "names no executable"},
        {"missing executable",
         {"-a", MakeBundle(folder, "G.app", "CFBundleExecutable", "g")},
         "g': No such file"},
        {"not executable", {"-a", plain}, "Plain.app/Contents/MacOS/app': Permission denied"},
        {"executable is a folder", {"-a", dir}, "Dir.app/Contents/MacOS/dir': Permission denied"},
        {"watch of a negative time", {"--watch", "-1", "-a", bare}, "usage: zq-open --watch <seconds"},
    };
    for (const FailureCase& row : cases) {
        SCOPED_TRACE(row.fLabel);
        Opened opened = Open(row.fArguments);
        EXPECT_EQ(opened.fStatus, 1);
        EXPECT_NE(opened.fError.find(row.fMessage), std::string::npos) << opened.fError;
    }
}

TEST(OpenerTest, WatchReportsTheApplicationsFateAndLeavesNothingBehind) {
    testing::VTestTempFolder folder;
    for (const testing::WatchCase& row : testing::kWatchCases) {
        SCOPED_TRACE(row.fLabel);
        std::string bundle = testing::MakeWatchBundle(folder, row);
        // Through a caller that ignores SIGCHLD and hands that on: the opener still reaps the application.
        Opened opened = Open({"-c", "trap '' CHLD; exec \"$0\" \"$@\"", VKIT_OPENER_PATH, "--watch",
                              std::to_string(testing::kWatchSeconds), "-a", bundle},
                             "/bin/bash"); // dash will not ignore SIGCHLD
        int pid = std::atoi(testing::ReadFile(folder / row.fLabel + ".pid").c_str());
        EXPECT_EQ(opened.fOutput, *row.fReport ? "started " + std::to_string(pid) + row.fReport : "");
        EXPECT_EQ(opened.fStatus, *row.fReport ? 0 : 1) << opened.fError;
        testing::ExpectNothingLeft(row, pid);
    }
}

} // namespace
} // namespace vkit
