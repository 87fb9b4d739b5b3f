// Tests of VProcessLauncher: splitting, lookup, environment, statuses, both streams, time-out, leaks.
#include "process/VProcessLauncher.h"

#include "errors/StErrorContextInstaller.h"
#include "errors/VErrorContext.h"
#include "files/VFilePath.h"
#include "files/VMemoryBuffer.h"
#include "kernel/errors/ErrorsTestEnvironment.h"
#include "support/VTestTempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vkit {
namespace {

[[maybe_unused]] ::testing::Environment* const sEnvironment =
    ::testing::AddGlobalTestEnvironment(new testing::ErrorsTestEnvironment);

struct Outcome {
    int32_t fResult = -99;
    int32_t fStatus = -99;
    std::string fOutput;
    std::string fError;
};

Outcome Execute(const std::string& inCommandLine, const VEnvironmentVariables* inEnvironment = nullptr,
                const VFilePath* inFolder = nullptr, const std::string& inInput = "") {
    VMemoryBuffer input, output, error;
    input.AddData(inInput.data(), inInput.size());
    Outcome outcome;
    outcome.fResult = VProcessLauncher::ExecuteCommandLine(VString(inCommandLine), 0, &input, &output, &error,
                                                           inEnvironment, inFolder, &outcome.fStatus);
    outcome.fOutput.assign(static_cast<const char*>(output.GetDataPtr()), output.GetDataSize());
    outcome.fError.assign(static_cast<const char*>(error.GetDataPtr()), error.GetDataSize());
    return outcome;
}

/// The state letter of a process ('Z' for a zombie), 0 when there is none.
char StateOf(int inPid) {
    std::string stat = testing::ReadFile("/proc/" + std::to_string(inPid) + "/stat");
    size_t end = stat.rfind(')');
    return end == std::string::npos || end + 2 >= stat.size() ? 0 : stat[end + 2];
}

bool IsGone(int inPid) {
    return StateOf(inPid) == 0 || StateOf(inPid) == 'Z';
}

long CountEntries(const char* inFolder) {
    return std::distance(std::filesystem::directory_iterator(inFolder), {});
}

/// The pid a child wrote to a file.
int ReadPid(const std::string& inPath) {
    EXPECT_TRUE(
        testing::Eventually([&] { return testing::ReadFile(inPath).find('\n') != std::string::npos; }));
    return std::atoi(testing::ReadFile(inPath).c_str());
}

struct SplitCase {
    const char* fLabel;
    const char* fLine;
    std::vector<std::string> fWords;
};

TEST(VProcessLauncherTest, SplitCommandLine) {
    const SplitCase cases[] = {
        {"single quotes", "open -a 'Some App' --args 'a b'", {"open", "-a", "Some App", "--args", "a b"}},
        {"double quotes", "open -a \"/A B.app\" --args", {"open", "-a", "/A B.app", "--args"}},
        {"backslash-space", "a\\ b c", {"a b", "c"}},
        {"backslash-quote", "\"say \\\"hi\\\"\" 'it\\'s'", {"say \"hi\"", "it's"}},
        {"spaces around", "  a   b  ", {"a", "b"}},
        {"UTF-8", "caf\xC3\xA9 '\xC3\xA9t\xC3\xA9 x'", {"caf\xC3\xA9", "\xC3\xA9t\xC3\xA9 x"}},
        {"unmatched quote", "echo 'a  b", {"echo", "a  b"}},
        {"empty quoted word", "a '' b", {"a", "", "b"}},
        {"only spaces", "   ", {}},
        {"bytes outside UTF-8 kept", "a\xFF \"\xC3(\\\\\"", {"a\xFF", "\xC3(\\"}},
        {"what a path may hold",
         "\"Ann\\\"s\" \"a\\\\b\" '$x' \"'q'\" -d",
         {"Ann\"s", "a\\b", "$x", "'q'", "-d"}},
    };
    auto split = [](const std::string& inLine) {
        VString line;
        line.AppendUTF8KeepingBytes(inLine.data(), inLine.size());
        std::vector<std::string> words;
        for (const VString& word : VProcessLauncher::SplitCommandLine(line))
            word.AppendToUTF8KeepingBytes(words.emplace_back());
        return words;
    };
    for (const SplitCase& row : cases) {
        SCOPED_TRACE(row.fLabel);
        EXPECT_EQ(split(row.fLine), row.fWords);
        // Each word quoted comes back whole.
        std::string quoted;
        for (const std::string& word : row.fWords) {
            VString text;
            text.AppendUTF8KeepingBytes(word.data(), word.size());
            VProcessLauncher::QuoteArgument(text).AppendToUTF8KeepingBytes(quoted += " ");
        }
        EXPECT_EQ(split(quoted), row.fWords);
    }
}

struct RunCase {
    const char* fLabel;
    std::string fCommandLine;
    const VEnvironmentVariables* fEnvironment;
    std::string fFolder;
    std::string fInput;
    int32_t fResult;
    int32_t fStatus;
    std::string fOutput;
    size_t fErrorSize;
};

TEST(VProcessLauncherTest, ExecuteCommandLine) {
    testing::VTestTempFolder folder;
    ASSERT_EQ(chmod(folder.WriteFile("bin/zq-test-tool", "#!/bin/sh\nprintf '%s|' \"$@\"\n").c_str(), 0755),
              0);
    std::string path = std::getenv("PATH");
    setenv("PATH", (folder / "bin:" + path).c_str(), 1);
    setenv("ZQ_MARK", "yes", 1);
    int leaked = open("/dev/null", O_RDONLY); // inheritable: ls lists its own folder descriptor as 3
    VEnvironmentVariables one{{VString("ZQ_ONLY"), VString("1")}}, none;
    std::string cwd = folder.Path() + "/", big(300000, 'x'), zeros(200000, '\0');
    std::string streams = "/bin/sh -c 'head -c 300000 /dev/zero >&2; head -c 200000 /dev/zero'";
    const RunCase cases[] = {
        {"exit code", "/bin/sh -c 'exit 3'", nullptr, "", "", 0, 3, "", 0},
        {"killed by SIGKILL", "/bin/sh -c 'kill -9 $$'", nullptr, "", "", 0, -127, "", 0},
        {"found through PATH", "zq-test-tool a 'b c'", nullptr, "", "", 0, 0, "a|b c|", 0},
        {"not found", "zq-no-such-tool", nullptr, "", "", ENOENT, -99, "", 0},
        {"program is a folder", folder.Path(), nullptr, "", "", EACCES, -99, "", 0},
        {"empty command line", "  ", nullptr, "", "", EINVAL, -99, "", 0},
        {"working directory", "/bin/pwd", nullptr, cwd, "", 0, 0, folder.Path() + "\n", 0},
        {"missing working directory", "/bin/pwd", nullptr, cwd + "missing/", "", ENOENT, -99, "", 0},
        {"unmatched quote", "/bin/echo 'a  b", nullptr, "", "", 0, 0, "a  b\n", 0},
        {"one variable alone", "/usr/bin/env", &one, "", "", 0, 0, "ZQ_ONLY=1\n", 0},
        {"empty map inherits", "/bin/sh -c 'echo $ZQ_MARK'", &none, "", "", 0, 0, "yes\n", 0},
        {"only 0 to 2 inherited", "/bin/ls /proc/self/fd", nullptr, "", "", 0, 0, "0\n1\n2\n3\n", 0},
        {"input larger than a pipe", "/bin/cat", nullptr, "", big, 0, 0, big, 0},
        {"both streams past 64 KB", streams, nullptr, "", "", 0, 0, zeros, 300000},
    };
    for (const RunCase& row : cases) {
        SCOPED_TRACE(row.fLabel);
        VFilePath directory(VString(row.fFolder), FilePathStyle::Posix);
        Outcome outcome = Execute(row.fCommandLine, row.fEnvironment,
                                  row.fFolder.empty() ? nullptr : &directory, row.fInput);
        EXPECT_EQ(outcome.fResult, row.fResult);
        EXPECT_EQ(outcome.fStatus, row.fStatus);
        EXPECT_TRUE(outcome.fOutput == row.fOutput)
            << outcome.fOutput.substr(0, 80) << outcome.fOutput.size();
        EXPECT_EQ(outcome.fError.size(), row.fErrorSize);
    }
    // Standard output alone asked for: it is read all the same.
    VMemoryBuffer output;
    int32_t status = -99;
    EXPECT_EQ(VProcessLauncher::ExecuteCommandLine(VString("/bin/echo one"), 0, nullptr, &output, nullptr,
                                                   nullptr, nullptr, &status),
              0);
    EXPECT_EQ(std::string(static_cast<const char*>(output.GetDataPtr()), output.GetDataSize()), "one\n");
    close(leaked);
    setenv("PATH", path.c_str(), 1);
}

TEST(VProcessLauncherTest, NoWaitReturnsAtOnceAndALaterStartReapsTheChild) {
    testing::VTestTempFolder folder;
    // The child runs until the test lets it go (or its folder goes, should the test stop early): the
    // call returning proves that it did not wait.
    std::string command = "/bin/sh -c 'echo $$ > " + folder / "pid" + "; until [ -e " + folder / "go" +
                          " ] || [ ! -d " + folder.Path() + " ]; do sleep 0.01; done'";
    long descriptors = CountEntries("/proc/self/fd");
    ASSERT_EQ(VProcessLauncher::ExecuteCommandLine(VString(command), VProcessLauncher::kDoNotWait, nullptr,
                                                   nullptr, nullptr, nullptr, nullptr, nullptr),
              0);
    EXPECT_EQ(CountEntries("/proc/self/fd"), descriptors); // none kept for the child left running
    int pid = ReadPid(folder / "pid");
    EXPECT_FALSE(IsGone(pid));
    folder.WriteFile("go", "");
    ASSERT_TRUE(testing::Eventually([&] { return StateOf(pid) == 'Z'; }));
    EXPECT_EQ(Execute("/bin/true").fResult, 0);
    EXPECT_EQ(StateOf(pid), 0);
}

TEST(VProcessLauncherTest, TimeOutOrShutdownWithKillEndsTheWholeProcessGroup) {
    // A child whose own child shares its group; after a time-out, Shutdown pushes the time-out error.
    for (int32_t timeOut : {200, 0}) {
        SCOPED_TRACE(timeOut);
        testing::VTestTempFolder folder;
        VProcessLauncher launcher;
        launcher.CreateArgumentsFromFullCommandLine(
            VString("/bin/sh -c 'sleep 1000 & echo $! > " + folder / "pid" + "; wait'"));
        launcher.SetWaitClosingChildProcess(timeOut);
        launcher.EnableProcessTreeKill();
        ASSERT_EQ(launcher.Start(), 0);
        int grandchild = ReadPid(folder / "pid");
        StErrorContextInstaller context;
        EXPECT_EQ(launcher.Shutdown(timeOut == 0, timeOut == 0), 0);
        EXPECT_EQ(context.GetLastError(), timeOut == 0 ? VE_OK : VE_PROCESS_WAIT_TIMED_OUT);
        if (timeOut != 0) {
            VString text;
            context.GetContext()->GetLast()->GetErrorDescription(text);
            EXPECT_NE(text.ToUTF8().find("('/bin/sh') did not end within 200 ms and was killed with its "
                                         "process group"),
                      std::string::npos)
                << text.ToUTF8();
        }
        EXPECT_EQ(launcher.GetExitStatus(), -127); // SIGKILL, or SIGTERM
        EXPECT_TRUE(testing::Eventually([&] { return IsGone(grandchild); }));
    }
}

TEST(VProcessLauncherTest, ShutdownDrainsBothStreamsWhileItWaits) {
    // A child writing more than a pipe holds ends only if the wait keeps reading the stream it writes.
    for (const char* redirect : {"", " >&2"}) {
        SCOPED_TRACE(redirect);
        VProcessLauncher launcher;
        launcher.CreateArgumentsFromFullCommandLine(
            VString(std::string("/bin/sh -c 'head -c 300000 /dev/zero") + redirect + "'"));
        launcher.SetWaitClosingChildProcess(20000);
        ASSERT_EQ(launcher.Start(), 0);
        StErrorContextInstaller context;
        EXPECT_EQ(launcher.Shutdown(false, false), 0);
        EXPECT_EQ(context.GetLastError(), VE_OK);
        EXPECT_EQ(launcher.GetExitStatus(), 0);
    }
}

TEST(VProcessLauncherTest, ReadFromChildAndShutdownHandsEveryChunkToItsHandler) {
    VProcessLauncher launcher;
    launcher.CreateArgumentsFromFullCommandLine(
        VString("/bin/sh -c 'read line; echo $line $0; echo err >&2; exit 4'"));
    launcher.AddArgument(VString("x y"), true);
    ASSERT_EQ(launcher.Start(), 0);
    // Nothing yet, whatever the size asked for: the child waits for its input.
    static char buffer[65536];
    EXPECT_EQ(launcher.ReadFromChild(buffer, sizeof(buffer)), 0);
    EXPECT_EQ(launcher.WriteToChild("out\n", 4, true), 0);
    std::string texts[2];
    EXPECT_EQ(launcher.ReadFromChildAndShutdown(
                  [&](const char* inData, size_t inSize) { texts[0].append(inData, inSize); },
                  [&](const char* inData, size_t inSize) { texts[1].append(inData, inSize); }),
              0);
    EXPECT_EQ(texts[0] + texts[1], "out \"x y\"\nerr\n");
    EXPECT_EQ(launcher.GetExitStatus(), 4);
}

TEST(VProcessLauncherTest, AThousandStartsLeaveNothingBehind) {
    long descriptors = CountEntries("/proc/self/fd");
    long threads = CountEntries("/proc/self/task");
    for (int round = 0; round < 1000; ++round) {
        const char* command = round % 100 == 1 ? "/no/such/program" : round % 100 == 2 ? "/tmp" : "/bin/true";
        ASSERT_EQ(Execute(command).fResult, round % 100 == 1   ? ENOENT
                                            : round % 100 == 2 ? EACCES
                                                               : 0)
            << round;
    }
    EXPECT_EQ(CountEntries("/proc/self/fd"), descriptors);
    EXPECT_EQ(CountEntries("/proc/self/task"), threads);
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1); // no child at all, zombie or not
    EXPECT_EQ(errno, ECHILD);
    EXPECT_FALSE(VProcessLauncher::KillProcess(0)); // never this process's own group
}

} // namespace
} // namespace vkit
