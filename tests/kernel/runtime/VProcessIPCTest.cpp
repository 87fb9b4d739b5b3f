// Tests of the command-line stage: the argument list without "-psn_" arguments, the results of
// DoParseCommandLine and the exit statuses they propose; the termination signals.
#include "TestProcess.h"

#include "runtime/VTaskMgr.h"
#include "support/VTestTempFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

using namespace vkit;
using namespace vkit::testing;

namespace {

/// Points the process-wide argument globals at a list for the scope.
class StCommandLine {
public:
    explicit StCommandLine(std::vector<const char*> inArguments) : fArguments(std::move(inArguments)) {
        fArguments.push_back(nullptr);
        sProcessCommandLineArgc = static_cast<int>(fArguments.size() - 1);
        sProcessCommandLineArgv = const_cast<char**>(fArguments.data());
    }
    ~StCommandLine() {
        sProcessCommandLineArgc = 0;
        sProcessCommandLineArgv = nullptr;
    }

private:
    std::vector<const char*> fArguments;
};

std::vector<std::string> Texts(const std::vector<VString>& inArguments) {
    std::vector<std::string> texts;
    for (const VString& argument : inArguments)
        texts.push_back(argument.ToUTF8());
    return texts;
}

} // namespace

TEST(VProcessIPCTest, ArgumentListDropsOnlyProcessSerialNumbers) {
    const char* argv[] = {"/opt/Tool.app/Contents/MacOS/tool",
                          "-psn_0_123",
                          "-ps",
                          "-psn",
                          "-psn_",
                          "--pid",
                          "812",
                          "x-psn_1",
                          "caf\xC3\xA9"};
    std::vector<VString> arguments = VProcessIPC::BuildArgumentList(9, argv);
    EXPECT_EQ(Texts(arguments), (std::vector<std::string>{"/opt/Tool.app/Contents/MacOS/tool", "-ps", "-psn",
                                                          "--pid", "812", "x-psn_1", "caf\xC3\xA9"}));
    EXPECT_TRUE(VProcessIPC::BuildArgumentList(0, argv).empty());
    EXPECT_TRUE(VProcessIPC::BuildArgumentList(3, nullptr).empty());
}

TEST(VProcessIPCTest, DoParseCommandLineReceivesTheFilteredArguments) {
    StCommandLine commandLine({"/bin/updater", "-psn_0_123", "-ps", "/A.app"});
    TestProcess process;
    ASSERT_TRUE(process.Init());
    EXPECT_EQ(Texts(process.fArguments), (std::vector<std::string>{"/bin/updater", "-ps", "/A.app"}));
    EXPECT_EQ(process.GetProposedExitStatus(), 0);
    EXPECT_EQ(VProcessIPC::Get(), &process);
}

TEST(VProcessIPCTest, HandledCommandLineStopsWithStatusZero) {
    TestProcess process;
    process.fCommandLineResult = VProcessIPC::kCommandLineHandled;
    EXPECT_FALSE(process.Init());
    EXPECT_EQ(process.GetProposedExitStatus(), 0);
    // Stopped, and not retried.
    EXPECT_FALSE(process.Init());
    EXPECT_EQ(process.fCalls, (std::vector<std::string>{"init 80", "parse", "init 80"}));
    // The library itself is up: only the program's own stage said stop.
    EXPECT_NE(VTaskMgr::Get(), nullptr);
}

TEST(VProcessIPCTest, CommandLineErrorsStopWithStatusOne) {
    for (int32_t result : {VProcessIPC::kCommandLineError, 3, -1}) {
        TestProcess process;
        process.fCommandLineResult = result;
        EXPECT_FALSE(process.Init()) << result;
        EXPECT_EQ(process.GetProposedExitStatus(), 1) << result;
    }
}

TEST(VProcessIPCTest, FailedLibraryStopsBeforeTheCommandLineWithStatusOne) {
    TestProcess process;
    process.fSystemSupported = false;
    EXPECT_EQ(process.GetProposedExitStatus(), 1);
    EXPECT_FALSE(process.Init());
    EXPECT_EQ(process.GetProposedExitStatus(), 1);
    EXPECT_EQ(process.fCalls, (std::vector<std::string>{"init 80"}));
}

TEST(VProcessIPCTest, InitFlagsArePassedOn) {
    TestProcess process;
    ASSERT_TRUE(process.Init(VProcess::kInitFlagFiberedTasks));
    EXPECT_TRUE(process.IsFiberedTasks());
    EXPECT_EQ(process.fCalls.front(), "init 2");
}

TEST(VProcessIPCTest, TerminationSignalsMakeTheProcessQuit) {
    const std::pair<int, const char*> cases[] = {
        {SIGTERM, ""}, {SIGINT, "\n (ctrl-c has been received - quit)\n\n"}, {SIGQUIT, ""}};
    for (const auto& [signal, printed] : cases) {
        SCOPED_TRACE(signal);
        VTestTempFolder folder;
        TestProcess process;
        process.fRunMessageLoop = true;
        // Without its handler the signal would end the test program; with it, the message loop ends.
        process.fRunBody = [signal = signal] { ::raise(signal); };
        ASSERT_TRUE(process.Init());
        fflush(stdout);
        int savedStdout = dup(1);
        int file = open((folder / "stdout").c_str(), O_WRONLY | O_CREAT, 0600);
        dup2(file, 1);
        close(file);
        process.Run();
        dup2(savedStdout, 1);
        close(savedStdout);
        EXPECT_EQ(ReadFile(folder / "stdout"), printed);
    }
}
