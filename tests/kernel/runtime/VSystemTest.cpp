// Tests of VSystem: the monotonic clock, delays, processors, the process list, the alert, opening files.
#include "runtime/VSystem.h"
#include "support/VTestTempFolder.h"
#include "text/VString.h"
#include "text/VTime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace vkit {
namespace {

TEST(VSystemTest, DelayLastsAtLeastItsTimeOnTheMonotonicClock) {
    uint32_t start = VSystem::GetCurrentTime();
    VSystem::Delay(20);
    EXPECT_GE(VSystem::GetCurrentTime() - start, 20U);
    VSystem::Delay(0);
    VSystem::Delay(-1);
}

TEST(VSystemTest, ThereIsAtLeastOneProcessor) {
    EXPECT_GE(VSystem::GetNumberOfLogicalProcessors(), 1U);
}

TEST(VSystemTest, ProcessListHoldsThisProcessAndIsAppended) {
    std::vector<int32_t> pids{-7};
    VSystem::GetProcessList(pids);
    ASSERT_GT(pids.size(), 2U);
    EXPECT_EQ(pids.front(), -7);
    EXPECT_NE(std::find(pids.begin(), pids.end(), static_cast<int32_t>(getpid())), pids.end());
    EXPECT_NE(std::find(pids.begin(), pids.end(), 1), pids.end());
}

TEST(VSystemTest, ProcessIsRunningUntilReaped) {
    EXPECT_TRUE(VSystem::IsProcessRunning(static_cast<int32_t>(getpid())));
    EXPECT_TRUE(VSystem::IsProcessRunning(0));            // the caller's own process group
    EXPECT_FALSE(VSystem::IsProcessRunning(-2147483647)); // no such process group

    int pipeFDs[2];
    ASSERT_EQ(pipe2(pipeFDs, O_CLOEXEC), 0);
    // The child blocks reading a pipe until the test closes its end.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFDs[0], 0);
    const char* argv[] = {"/bin/cat", nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, argv[0], &actions, nullptr, const_cast<char**>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFDs[0]);

    EXPECT_TRUE(VSystem::IsProcessRunning(child));
    std::vector<int32_t> pids;
    VSystem::GetProcessList(pids);
    EXPECT_NE(std::find(pids.begin(), pids.end(), child), pids.end());

    close(pipeFDs[1]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_FALSE(VSystem::IsProcessRunning(child)); // reaped: no such process
}

TEST(VSystemTest, LocalTimeFollowsTheZoneSetting) {
    ::setenv("TZ", "XST-2", 1); // two hours east of UTC, no daylight saving
    VTime utc = VTime::Now(), local, back;
    VSystem::UTCToLocalTime(utc, local);
    VSystem::LocalToUTCTime(local, back);
    EXPECT_TRUE(local.GetMilliseconds() - utc.GetMilliseconds() == 7200000 && back == utc);
    EXPECT_EQ(VSystem::GetGMTOffset(false), 7200);
    VSystem::UTCToLocalTime(VTime(), local);
    EXPECT_TRUE(local.IsNull()) << "null in, null out";
    ::unsetenv("TZ");
}

TEST(VSystemTest, EverySystemVersionIsSatisfied) {
    EXPECT_TRUE(VSystem::IsSystemVersionOrAbove(eOSVersion_10_12));
    EXPECT_TRUE(VSystem::IsSystemVersionOrAbove(eOSVersion_15));
    EXPECT_TRUE(VSystem::IsSystemVersionOrAbove(static_cast<SystemVersion>(5)));
    EXPECT_TRUE(VSystem::IsSystemVersionOrAbove(static_cast<SystemVersion>(40)));
}

TEST(VSystemTest, DefaultResponseIsTheFirstButton) {
    EXPECT_EQ(VSystem::GetDefaultResponse(eNotificationButtonsOK), eNotificationOK);
    EXPECT_EQ(VSystem::GetDefaultResponse(eNotificationButtonsOKCancel), eNotificationCancel);
    EXPECT_EQ(VSystem::GetDefaultResponse(eNotificationButtonsOKCancel | eNotificationAffirmativeFirst),
              eNotificationOK);
    EXPECT_EQ(VSystem::GetDefaultResponse(eNotificationButtonsYesNo), eNotificationNo);
    EXPECT_EQ(VSystem::GetDefaultResponse(eNotificationButtonsYesNo | eNotificationCaution), eNotificationNo);
    EXPECT_EQ(VSystem::GetDefaultResponse(eNotificationButtonsYesNo | eNotificationAffirmativeFirst),
              eNotificationYes);
    EXPECT_EQ(VSystem::GetDefaultResponse(eNotificationButtonsAbortRetryIgnore), eNotificationRetry);
}

/// Sends standard error to a file for the lifetime of the object.
class StderrCapture {
public:
    explicit StderrCapture(const std::string& inPath) {
        fflush(stderr);
        fSaved = dup(2);
        int fd = open(inPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 2);
        close(fd);
    }
    ~StderrCapture() {
        dup2(fSaved, 2);
        close(fSaved);
    }

private:
    int fSaved = -1;
};

TEST(VSystemTest, NotificationIsWrittenToStandardErrorAndAnswersTheDefault) {
    testing::VTestTempFolder folder;
    std::string path = folder / "stderr.txt";
    ENotificationResponse response = eNotificationDismissed;
    {
        StderrCapture capture(path);
        EXPECT_TRUE(VSystem::DisplayNotification(VString("Update failed"), VString("Disk full \xC3\xA9"),
                                                 eNotificationButtonsYesNo, &response));
        EXPECT_TRUE(VSystem::DisplayNotification(VString(), VString("Only a message"), 0));
    }
    EXPECT_EQ(response, eNotificationNo);
    EXPECT_EQ(testing::ReadFile(path), "Update failed: Disk full \xC3\xA9\nOnly a message\n");
}

/// Stand-in dialog programs, alone on PATH, in a graphical session. Each records its name, its arguments
/// and ZENITY_ESC in "arguments", separated by "|", prints "Ignore" (as zenity does for its extra button),
/// waits for a line on "fifo" when it exists, and exits with the status in "answer". Only shell built-ins:
/// PATH holds nothing else.
class StandInDialogs {
public:
    StandInDialogs(const std::vector<std::string>& inPrograms, const std::string& inAnswer) {
        std::string script = "#!/bin/sh\ndir=${0%/*}\nprintf '%s|' \"${0##*/}\" \"$@\" > \"$dir/arguments\"\n"
                             "printf '%s' \"$ZENITY_ESC\" >> \"$dir/arguments\"\necho Ignore\n"
                             "[ -p \"$dir/fifo\" ] && read -r line < \"$dir/fifo\"\n"
                             "read -r answer < \"$dir/answer\"\nexit \"$answer\"\n";
        for (const std::string& program : inPrograms)
            chmod(fFolder.WriteFile(program, script).c_str(), 0755);
        fFolder.WriteFile("answer", inAnswer + "\n");
        setenv("PATH", fFolder.Path().c_str(), 1);
        setenv("DISPLAY", ":99", 1);
    }
    ~StandInDialogs() {
        setenv("PATH", fPath.c_str(), 1);
        unsetenv("DISPLAY");
    }
    testing::VTestTempFolder fFolder;
    std::string fPath = std::getenv("PATH");
};

struct AlertCase {
    const char* fLabel;
    std::vector<std::string> fPrograms;
    uint32_t fFlags;
    const char* fTitle;
    const char* fStatus;
    ENotificationResponse fResponse;
    const char* fArguments; // not checked when empty
};

TEST(VSystemTest, NotificationAsksTheDialogProgramAndReadsTheAnswer) {
    const char* yesNo = "zenity|--question|--text=Disk full|--no-markup|--ok-label=Yes|--cancel-label=No|"
                        "--default-cancel|8";
    const char* ok = "zenity|--warning|--title=T|--text=Disk full|--no-markup|--ok-label=OK|8";
    const char* extra =
        "zenity|--question|--text=Disk full|--no-markup|--ok-label=Abort|--cancel-label=Retry|"
        "--extra-button=Ignore|--default-cancel|8";
    const char* kdialogNo = "kdialog|--warningyesno|Disk full|--yes-label|Yes|--no-label|No|";
    const char* kdialogYes = "kdialog|--title|T|--yesno|Disk full|--yes-label|Yes|--no-label|No|";
    const uint32_t yesFirst = eNotificationButtonsYesNo | eNotificationAffirmativeFirst;
    const AlertCase cases[] = {
        {"Yes", {"zenity", "kdialog"}, eNotificationButtonsYesNo, "", "0", eNotificationYes, yesNo},
        {"No", {"zenity"}, eNotificationButtonsYesNo, "", "1", eNotificationNo, yesNo},
        {"closed", {"zenity"}, eNotificationButtonsYesNo, "", "8", eNotificationDismissed, yesNo},
        {"OK with a title, caution", {"zenity"}, eNotificationCaution, "T", "0", eNotificationOK, ok},
        {"extra button",
         {"zenity"},
         eNotificationButtonsAbortRetryIgnore,
         "",
         "8",
         eNotificationIgnore,
         extra},
        {"no dialog could show",
         {"zenity"},
         eNotificationButtonsOKCancel,
         "",
         "255",
         eNotificationCancel,
         ""},
        {"kdialog", {"kdialog"}, eNotificationButtonsYesNo, "", "0", eNotificationYes, kdialogNo},
        {"kdialog, Yes first", {"kdialog"}, yesFirst, "T", "1", eNotificationNo, kdialogYes},
    };
    for (const AlertCase& row : cases) {
        SCOPED_TRACE(row.fLabel);
        StandInDialogs dialogs(row.fPrograms, row.fStatus);
        ENotificationResponse response = eNotificationOK;
        EXPECT_TRUE(
            VSystem::DisplayNotification(VString(row.fTitle), VString("Disk full"), row.fFlags, &response));
        EXPECT_EQ(response, row.fResponse);
        if (*row.fArguments != 0) {
            EXPECT_EQ(testing::ReadFile(dialogs.fFolder / "arguments"), row.fArguments);
        }
    }
}

TEST(VSystemTest, NotificationWithoutAnswerDoesNotWait) {
    StandInDialogs dialogs({"zenity"}, "0");
    std::string fifo = dialogs.fFolder / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // The dialog waits for a line on the fifo: returning proves the call did not wait for it.
    EXPECT_TRUE(VSystem::DisplayNotification(VString(), VString("Disk full"), eNotificationButtonsOK));
    int writer = -1;
    ASSERT_TRUE(
        testing::Eventually([&] { return (writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK)) >= 0; }));
    EXPECT_EQ(write(writer, "go\n", 3), 3);
    close(writer);
}

TEST(VSystemTest, OpenWithDefaultApplicationStartsXdgOpen) {
    testing::VTestTempFolder folder;
    std::string record = folder / "opened";
    chmod(folder.WriteFile("bin/xdg-open", "#!/bin/sh\nprintf '%s' \"$*\" > " + record + "\n").c_str(), 0755);
    std::string path = std::getenv("PATH");
    setenv("PATH", (folder / "bin").c_str(), 1);
    EXPECT_FALSE(VSystem::OpenWithDefaultApplication(VString()));
    EXPECT_TRUE(VSystem::OpenWithDefaultApplication(VString("/tmp/log dir/x_log_1.txt")));
    EXPECT_TRUE(testing::Eventually([&] { return testing::ReadFile(record) == "/tmp/log dir/x_log_1.txt"; }));
    setenv("PATH", folder.Path().c_str(), 1);
    EXPECT_FALSE(VSystem::OpenWithDefaultApplication(VString("/tmp/x")));
    setenv("PATH", path.c_str(), 1);
}

} // namespace
} // namespace vkit
