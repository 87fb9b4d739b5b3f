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
/// The leak checker of sanitized builds cannot run under a tracer.
const char* const kUnderTracer = "ASAN_OPTIONS=detect_leaks=0";
const char* const kReset =
    "rm -rf {L} {F}/Applications/* {F}/home/.local/share/Trash && cp -a {F}/templates/1.0 {A}";

class UpdaterSlowTest : public UpdaterTest {
protected:
    void SetUp() override {
        if (RunShell("strace -V > /dev/null 2>&1") != 0)
            GTEST_SKIP() << "strace is missing";
        Shell("cp -a {F}/templates/2.0 {B}");
    }
};

TEST_F(UpdaterSlowTest, RefusedRenamesAreRetriedFiveTimes) {
    struct Case {
        const char* fLabel;
        const char* fRefusals;
        long fRetryErrors;
        const char* fPlace; // the template the outdated bundle's place then holds
    };
    const Case cases[] = {
        {"refused five times: nothing moves", "1..5", 4, "1.0"},
        {"refused twice, then accepted: installed, not restarted", "1..2", 2, "2.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fLabel);
        Shell(kReset);
        UpdaterRun run = Run("--log-dir {L} {A} {B}", kUnderTracer,
                             std::string("strace -f -qq -o /dev/null -e trace=renameat2 "
                                         "-e inject=renameat2:error=EBUSY:when=") +
                                 c.fRefusals);
        EXPECT_EQ(run.fStatus, 2);
        std::string retried = Expand("ERROR The application \"{A}/\" could not be set aside as");
        EXPECT_EQ(std::count_if(run.fLog.begin(), run.fLog.end(),
                                [&](const std::string& line) { return line.rfind(retried, 0) == 0; }),
                  c.fRetryErrors);
        EXPECT_TRUE(
            HoldsInOrder(run.fLog, "ERROR Up-to-date application install failed\nINFO Update failed"));
        EXPECT_EQ(CompareTrees(fFolder / ("templates/" + std::string(c.fPlace)), fOutdated), "");
        EXPECT_EQ(Names("Applications").size(), c.fPlace[0] == '2' ? 2u : 1u); // the set-aside bundle stays
        EXPECT_EQ(ReadFile(fFolder / "app-output.txt"), "");
    }
}

TEST_F(UpdaterSlowTest, WaitsForTheCallerAtMostOneMinute) {
    // A pid that no process has: one look, then the settling delay.
    Shell("sh -c 'echo $$' > {F}/gone.txt; sleep 100 > /dev/null 2>&1 & echo $! > {F}/alive.txt");
    std::string gone = ReadFile(fFolder / "gone.txt");
    std::string alive = ReadFile(fFolder / "alive.txt");
    gone = gone.substr(0, gone.find('\n'));
    alive = alive.substr(0, alive.find('\n'));
    Shell(kReset);
    UpdaterRun run = Run("--pid " + gone + " --log-dir {L} {A} {B}");
    EXPECT_EQ(run.fStatus, 0);
    EXPECT_TRUE(HoldsInOrder(run.fLog, "INFO Waiting for process " + gone + " to quit\nINFO Process " + gone +
                                           " has quit. Proceeding.\nINFO Update successful"));
    // A process that stays: the update gives up after 60 s and moves nothing.
    Shell(kReset);
    run = Run("--pid " + alive + " --log-dir {L} {A} {B}");
    Shell("kill " + alive);
    EXPECT_EQ(run.fStatus, 2);
    EXPECT_TRUE(HoldsInOrder(run.fLog, "ERROR Process " + alive +
                                           " still exists after maximum wait time. Giving up.\n"
                                           "ERROR External process wait failed\nINFO Update failed"));
    const std::string waitFailed = "ERROR The application to update did not quit in time";
    EXPECT_EQ(std::count_if(run.fLog.begin(), run.fLog.end(),
                            [&](const std::string& line) { return line.rfind(waitFailed, 0) == 0; }),
              2);
    EXPECT_EQ(CompareTrees(fFolder / "templates/1.0", fOutdated), "");
    EXPECT_EQ(Names("Applications").size(), 1u);
}

TEST_F(UpdaterSlowTest, KilledAtAnyPointTheApplicationIsWholeSomewhere) {
    // How many such calls the busiest thread makes in a whole run; a run is then killed when a thread
    // reaches its n-th call, for n spread over that count (strace counts each thread's calls apart).
    Shell(kReset);
    Run("--log-dir {L} {A} {B}", kUnderTracer, "strace -f -qq -o {F}/trace.txt -e trace=" + kChangingCalls);
    std::map<std::string, int> callsByThread;
    std::istringstream lines(ReadFile(fFolder / "trace.txt"));
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
        Shell(kReset);
        UpdaterRun run =
            Run("--log-dir {L} {A} {B}", kUnderTracer,
                "strace -f -qq -o /dev/null -e trace=" + kChangingCalls + " -e inject=" + kChangingCalls +
                    ":signal=SIGKILL:when=" + std::to_string(call));
        EXPECT_TRUE(run.fStatus == 137 || run.fStatus == 0) << run.fStatus << run.fErr;
        // Whole at its place, old or new; or, its place empty, whole under its set-aside name.
        if (ItemExists(fOutdated))
            EXPECT_TRUE(CompareTrees(fFolder / "templates/1.0", fOutdated).empty() ||
                        CompareTrees(fFolder / "templates/2.0", fOutdated).empty());
        else
            EXPECT_EQ(CompareTrees(fFolder / "templates/1.0", fFolder / "Applications/Sample_old0001.app"),
                      "");
    }
}

} // namespace
