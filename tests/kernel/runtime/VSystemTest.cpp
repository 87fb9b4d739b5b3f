// Tests of VSystem: the monotonic clock, the process list, waits for a process's end, local time, the
// alert and opening files.
#include "runtime/VSystem.h"
#include "platform/posix/runtime/XPosixSystem.h"
#include "support/VTestTempFolder.h"
#include "text/VString.h"
#include "text/VTime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace vkit {
namespace {

bool Lists(const std::vector<int32_t>& inPids, int32_t inPid) {
    return std::find(inPids.begin(), inPids.end(), inPid) != inPids.end();
}

TEST(VSystemTest, ClockProcessesAndLocalTime) {
    uint32_t start = VSystem::GetCurrentTime();
    VSystem::Delay(20);
    EXPECT_GE(VSystem::GetCurrentTime() - start, 20U);
    // The list is appended to, and holds this process, its children and init.
    std::vector<int32_t> pids{-7};
    pid_t child = fork();
    if (child == 0) {
        pause();
        _exit(0);
    }
    VSystem::GetProcessList(pids);
    EXPECT_EQ(pids.front(), -7);
    EXPECT_TRUE(Lists(pids, static_cast<int32_t>(getpid())) && Lists(pids, child) && Lists(pids, 1));
    EXPECT_TRUE(VSystem::IsProcessRunning(child));
    kill(child, SIGKILL);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    EXPECT_FALSE(VSystem::IsProcessRunning(child)); // reaped: no such process

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

// The process waited for: 'e' a child that ends by itself a little later, 's' a child that stays, 'z' a
// child that has ended and is not reaped, 'g' a reaped child (no such process), 'i' init (not a child,
// staying), '0' the id 0.
struct ProcessWaitCase {
    const char* fLabel;
    char fProcess;
    int32_t fTimeout;
    EProcessWaitResult fExpected;
};

const ProcessWaitCase kProcessWaitCases[] = {
    {"a child ending meanwhile wakes a wait without limit", 'e', -1, eProcessEnded},
    {"a child that stays", 's', 30, eProcessWaitTimedOut},
    {"an ended child not yet reaped", 'z', 5000, eProcessEnded},
    {"no such process", 'g', 5000, eProcessEnded},
    {"a process that is not a child", 'i', 30, eProcessWaitTimedOut},
    {"no single process", '0', 30, eProcessWaitFailed},
};

TEST(VSystemTest, WaitForProcessEndWakesWhenItEnds) {
    for (const ProcessWaitCase& row : kProcessWaitCases) {
        SCOPED_TRACE(row.fLabel);
        pid_t pid = row.fProcess == 'i' ? 1 : row.fProcess == '0' ? 0 : fork();
        if (pid == 0 && row.fProcess != '0')
            _exit(row.fProcess == 'e' ? usleep(200000) : row.fProcess == 's' ? pause() : 0);
        siginfo_t info{};
        if (row.fProcess == 'g' || row.fProcess == 'z')
            waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | (row.fProcess == 'z' ? WNOWAIT : 0));
        EXPECT_EQ(VSystem::WaitForProcessEnd(pid, row.fTimeout), row.fExpected);
        // The look that replaces the pidfd where there is none agrees, and reaps nothing.
        if (pid > 0) {
            EXPECT_EQ(XPosixSystem::HasEnded(pid), row.fExpected == eProcessEnded);
        }
        if (row.fProcess == 's')
            kill(pid, SIGKILL);
        if (pid > 1) {
            EXPECT_EQ(waitpid(pid, nullptr, 0), row.fProcess == 'g' ? -1 : pid)
                << "left to its owner to reap";
        }
    }
}

/// Stand-in dialog programs, alone on PATH, in a graphical session unless the answer is empty (they would
/// then answer 0, were they run). Each records its name, its arguments and ZENITY_ESC in "arguments",
/// separated by "|", prints "Ignore" (as zenity does for its extra button), and exits with the status in
/// "answer". Only shell built-ins: PATH holds nothing else.
class StandInDialogs {
public:
    StandInDialogs(const std::vector<std::string>& inPrograms, const std::string& inAnswer) {
        std::string script = "#!/bin/sh\ndir=${0%/*}\nprintf '%s|' \"${0##*/}\" \"$@\" > \"$dir/arguments\"\n"
                             "printf '%s' \"$ZENITY_ESC\" >> \"$dir/arguments\"\necho Ignore\n"
                             "read -r answer < \"$dir/answer\"\nexit \"$answer\"\n";
        for (const std::string& program : inPrograms)
            chmod(fFolder.WriteFile(program, script).c_str(), 0755);
        fFolder.WriteFile("answer", (inAnswer.empty() ? "0" : inAnswer) + "\n");
        setenv("PATH", fFolder.Path().c_str(), 1);
        if (!inAnswer.empty())
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
    const char* fStatus; // empty: no graphical session, the text goes to standard error
    ENotificationResponse fResponse;
    const char* fReceived;     // what the dialog received, or what standard error received
    bool fLabelled = false;    // the buttons labelled "Open" and "Close"
    const char* fFailure = ""; // the dialog programs' failures, one a line
};

TEST(VSystemTest, NotificationAsksTheDialogProgramAndReadsTheAnswer) {
    const std::vector<std::string> z{"zenity"}, k{"kdialog"};
    const uint32_t yn = eNotificationButtonsYesNo, ari = eNotificationButtonsAbortRetryIgnore;
    const uint32_t yesFirst = yn | eNotificationAffirmativeFirst, error = yn | eNotificationError;
    const char* yesNo = "zenity|--question|--title=App|--text=Disk full|--no-markup|--ok-label=Yes|"
                        "--cancel-label=No|--default-cancel|8";
    const char* extra =
        "zenity|--question|--title=App|--text=Disk full|--no-markup|--ok-label=Abort|--cancel-label=Retry|"
        "--extra-button=Ignore|--default-cancel|8";
    const char* okCancel = "zenity|--question|--title=App|--text=Disk full|--no-markup|--ok-label=OK|"
                           "--cancel-label=Cancel|--default-cancel|8";
    const char* caution = "zenity|--warning|--title=App|--text=T\n\nDisk full|--no-markup|--ok-label=OK|8";
    const char* labelled = "zenity|--question|--title=App|--text=Disk full|--no-markup|--ok-label=Open|"
                           "--cancel-label=Close|--default-cancel|--icon-name=dialog-error|8";
    const char* kdialogNo = "kdialog|--title|App|--warningyesno|Disk full|--yes-label|Yes|--no-label|No|";
    const char* kdialogYes = "kdialog|--title|App|--yesno|T\n\nDisk full|--yes-label|Yes|--no-label|No|";
    const AlertCase cases[] = {
        {"Yes", {"zenity", "kdialog"}, yn, "", "0", eNotificationYes, yesNo},
        {"No", z, yn, "", "6", eNotificationNo, yesNo},
        {"GTK could not start", z, yn, "", "1", eNotificationNo, yesNo, false, "zenity exited with status 1"},
        {"closed", z, yn, "", "8", eNotificationDismissed, yesNo},
        {"OK with a title, caution", z, eNotificationCaution, "T", "0", eNotificationOK, caution},
        {"extra button", z, ari, "", "8", eNotificationIgnore, extra},
        {"no dialog could show", z, eNotificationButtonsOKCancel, "", "255", eNotificationCancel, okCancel,
         false, "zenity exited with status 255"},
        {"labelled buttons, error level", z, error, "", "6", eNotificationNo, labelled, true},
        {"kdialog", k, yn, "", "0", eNotificationYes, kdialogNo},
        {"kdialog, Yes first", k, yesFirst, "T", "1", eNotificationNo, kdialogYes},
        {"kdialog, extra button", k, ari, "", "2", eNotificationIgnore,
         "kdialog|--title|App|--warningyesnocancel|Disk "
         "full|--yes-label|Abort|--no-label|Retry|--cancel-label|"
         "Ignore|"},
        {"kdialog, labelled buttons, error level", k, error, "", "0", eNotificationYes,
         "kdialog|--title|App|--warningyesno|Disk "
         "full|--yes-label|Open|--no-label|Close|--icon|dialog-error|",
         true},
        {"no session, Yes first", z, yesFirst, "Update failed", "", eNotificationYes,
         "App: Update failed\nDisk full\n"},
        {"no session, default", k, yn | eNotificationCaution, "", "", eNotificationNo, "App: Disk full\n"},
    };
    VSystem::SetApplicationName(VString("App"));
    VNotificationOptions labels;
    labels.fAffirmativeLabel = VString("Open");
    labels.fNegativeLabel = VString("Close");
    for (const AlertCase& row : cases) {
        SCOPED_TRACE(row.fLabel);
        StandInDialogs dialogs(row.fPrograms, row.fStatus);
        ENotificationResponse response = eNotificationDismissed;
        std::vector<VString> failures;
        ::testing::internal::CaptureStderr();
        EXPECT_TRUE(VSystem::DisplayNotification(VString(row.fTitle), VString("Disk full"), row.fFlags,
                                                 &response, row.fLabelled ? &labels : nullptr, &failures));
        std::string standardError = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(response, row.fResponse);
        EXPECT_EQ(*row.fStatus == 0 ? standardError : testing::ReadFile(dialogs.fFolder / "arguments"),
                  row.fReceived);
        std::string failed;
        for (const VString& failure : failures)
            failed += failure.ToUTF8();
        EXPECT_EQ(failed, row.fFailure);
    }
    VSystem::SetApplicationName(VString());
}

TEST(VSystemTest, OpenWithDefaultApplicationStartsXdgOpen) {
    {
        StandInDialogs none({}, ""); // no xdg-open on PATH
        EXPECT_FALSE(VSystem::OpenWithDefaultApplication(VString("/tmp/x")));
    }
    StandInDialogs opener({"xdg-open"}, "0");
    EXPECT_FALSE(VSystem::OpenWithDefaultApplication(VString()));
    EXPECT_TRUE(VSystem::OpenWithDefaultApplication(VString("/tmp/log dir/x_log_1.txt")));
    EXPECT_TRUE(testing::Eventually([&] {
        return testing::ReadFile(opener.fFolder / "arguments") == "xdg-open|/tmp/log dir/x_log_1.txt|";
    }));
}

} // namespace
} // namespace vkit
