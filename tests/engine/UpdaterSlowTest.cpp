// Whole-program tests that take seconds: refused renames retried 3 s apart, and runs killed at many
// points, after which the user's application must still be whole somewhere.
#include "engine/UpdaterTestSupport.h"

#include "support/VTestTrees.h"

#include <algorithm>
#include <map>
#include <sstream>

using namespace vkit::testing;

namespace {

/// The system calls that change the disk, where a run is killed in turn.
const std::string kChangingCalls = "mkdir,mkdirat,rename,renameat,renameat2,unlink,unlinkat,rmdir,openat,"
                                   "copy_file_range,write,fchmod,fchmodat,fchownat,utimensat,symlinkat,"
                                   "linkat,fallocate,ftruncate,syncfs,fsync,ioctl";

class UpdaterSlowTest : public UpdaterTest {
protected:
    void SetUp() override {
        if (RunShell("strace -V > /dev/null 2>&1") != 0)
            GTEST_SKIP() << "strace is missing";
        MakeBundle(fOutdated, "1.0");
        MakeBundle(fUpToDate, "2.0");
        fOldBundle = Snapshot(fOutdated, "A");
        fNewBundle = Snapshot(fUpToDate, "B");
    }

    std::string Arguments() const {
        return "--log-dir '" + fLogs + "' '" + fOutdated + "' '" + fUpToDate + "'";
    }

    std::string fOldBundle;
    std::string fNewBundle;
};

TEST_F(UpdaterSlowTest, RefusedRenamesAreRetriedFiveTimes) {
    struct Case {
        const char* fLabel;
        const char* fRefusals;
        int fRetryErrors;
        bool fInstalled;
    };
    const Case cases[] = {
        {"refused five times: nothing moves", "1..5", 4, false},
        {"refused twice, then accepted: installed, not restarted", "1..2", 2, true},
    };
    const std::string retried =
        "ERROR The application \"" + NativeFolderText(fOutdated) + "\" could not be set aside";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fLabel);
        RunShell("rm -rf '" + fLogs + "' '" + fOutdated + "' '" +
                 (fFolder / "Applications/Sample_old0001.app") + "' && cp -a '" + fOldBundle + "' '" +
                 fOutdated + "'");
        UpdaterRun run =
            Run(Arguments(), "",
                std::string(
                    "strace -f -qq -o /dev/null -e trace=renameat2 -e inject=renameat2:error=EBUSY:when=") +
                    c.fRefusals);
        EXPECT_EQ(run.fStatus, 2);
        EXPECT_EQ(std::count_if(run.fLog.begin(), run.fLog.end(),
                                [&](const std::string& line) { return line.rfind(retried, 0) == 0; }),
                  c.fRetryErrors);
        EXPECT_TRUE(
            HoldsInOrder(run.fLog, {"ERROR Up-to-date application install failed", "INFO Update failed - "}));
        EXPECT_EQ(CompareTrees(c.fInstalled ? fNewBundle : fOldBundle, fOutdated), "");
        EXPECT_EQ(ItemExists(fFolder / "Applications/Sample_old0001.app"), c.fInstalled);
        EXPECT_TRUE(Trash().empty());
        EXPECT_EQ(ReadFile(AppOutput()), "");
    }
}

TEST_F(UpdaterSlowTest, KilledAtAnyPointTheApplicationIsWholeSomewhere) {
    // How many such calls the busiest thread makes in a whole run; a run is then killed when a thread
    // reaches its n-th call, for n spread over that count (strace counts each thread's calls apart).
    std::string trace = fFolder / "trace.txt";
    Run(Arguments(), "", "strace -f -qq -o '" + trace + "' -e trace=" + kChangingCalls);
    std::map<std::string, int> callsByThread;
    std::istringstream lines(ReadFile(trace));
    for (std::string line; std::getline(lines, line);)
        ++callsByThread[line.substr(0, line.find(' '))];
    int calls = 0;
    for (const auto& [thread, count] : callsByThread)
        calls = std::max(calls, count);
    ASSERT_GT(calls, 50);
    const int kPoints = 40;
    for (int point = 1; point <= kPoints; ++point) {
        int call = point * calls / kPoints;
        SCOPED_TRACE("killed at call " + std::to_string(call) + " of " + std::to_string(calls));
        RunShell("rm -rf '" + fFolder / "Applications" + "' '" + TrashFolder() + "' '" + fLogs +
                 "' && mkdir '" + fFolder / "Applications" + "' && cp -a '" + fOldBundle + "' '" + fOutdated +
                 "'");
        UpdaterRun run =
            Run(Arguments(), "",
                "strace -f -qq -o /dev/null -e trace=" + kChangingCalls + " -e inject=" + kChangingCalls +
                    ":signal=SIGKILL:when=" + std::to_string(call));
        // Whole at its place, old or new; or, its place empty, whole under its set-aside name.
        std::string setAside = fFolder / "Applications/Sample_old0001.app";
        if (ItemExists(fOutdated)) {
            bool whole =
                CompareTrees(fOldBundle, fOutdated).empty() || CompareTrees(fNewBundle, fOutdated).empty();
            EXPECT_TRUE(whole) << CompareTrees(fNewBundle, fOutdated);
        } else {
            EXPECT_EQ(CompareTrees(fOldBundle, setAside), "");
        }
        EXPECT_TRUE(run.fStatus == 137 || run.fStatus == 0) << run.fStatus << run.fErr;
    }
}

} // namespace
