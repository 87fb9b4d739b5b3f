// Whole-program tests that take seconds: refused renames retried 3 s apart, and runs killed at many
// points, after which the application's place holds a whole bundle and the next start settles the rest.
#include "engine/UpdaterTestSupport.h"

#include "support/VTestTrees.h"

#include <algorithm>
#include <chrono>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

using namespace vkit::testing;

namespace {

/// The system calls that change the disk, where a run is killed in turn.
const std::string kChangingCalls = "mkdir,mkdirat,rename,renameat,renameat2,unlink,unlinkat,rmdir,openat,"
                                   "copy_file_range,write,fchmod,fchmodat,fchownat,utimensat,symlinkat,"
                                   "linkat,fallocate,ftruncate,syncfs,fsync,ioctl";
/// The leak checker of sanitized builds cannot run under a tracer.
const char* const kUnderTracer = "ASAN_OPTIONS=detect_leaks=0";
/// Under the sanitizers a run under the tracer is several times slower: kills there take every third
/// point, enough to run each kind of kill and recovery under the checks; the plain build takes them all.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr size_t kKillStride = 3;
#else
constexpr size_t kKillStride = 1;
#endif
const char* const kReset =
    "rm -rf {L} {F}/Applications {F}/home/.local/share/Trash {F}/home/.local/state && mkdir "
    "{F}/Applications && cp -a {F}/templates/1.0 {A}";

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
    // The staged copy's own rename is the first renameat2: the refusals start at the exchange.
    const Case cases[] = {
        {"refused five times: nothing moves", "2..6", 4, "1.0"},
        {"refused twice, then accepted: installed, not restarted", "2..3", 2, "2.0"},
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

TEST_F(UpdaterSlowTest, TheUpToDateBundleVanishingWhileStagedLeavesEverythingAsItWas) {
    // Each copying thread stalls 2 s at its first data copy; meanwhile the up-to-date bundle goes.
    Shell(std::string(kReset) +
          " && (for i in $(seq 300); do ls -a {F}/Applications | grep -q copy- && break; "
          "sleep 0.01; done; rm -rf {B}) > /dev/null 2>&1 &");
    UpdaterRun run = Run("--caller-log 1 --log-dir {L} {A} {B}", kUnderTracer,
                         "strace -f -qq -o /dev/null -e trace=copy_file_range "
                         "-e inject=copy_file_range:delay_enter=2000000:when=1");
    EXPECT_EQ(run.fStatus, 2);
    EXPECT_EQ(run.fOut, "");
    EXPECT_TRUE(
        HoldsInOrder(run.fLog, Expand("ERROR Up-to-date application install failed\n"
                                      "ERROR The up-to-date application could not be installed.\n"
                                      "ERROR The up-to-date application \"{B}/\" could not be copied to "
                                      "\"{A}/\".\nERROR No such file or directory")));
    EXPECT_EQ(run.fErr.rfind(
                  "ZQ Updater: The update failed.\nThe up-to-date application could not be installed.", 0),
              0u);
    EXPECT_EQ(CompareTrees(fFolder / "templates/1.0", fOutdated), "");
    EXPECT_EQ(Names("Applications"), std::vector<std::string>{"Sample.app"});
    EXPECT_EQ(Names("home/.local/state/zq-updater"), std::vector<std::string>{});
}

/// A point where a run is killed: strace counts each system call's uses by each thread apart, so that
/// "when=n" on one call stops the first thread that makes it the n-th time.
struct KillPoint {
    std::string fCall;
    int fUse;
};

/// Every point of a trace written by strace -f: the main thread's calls in their order, then the uses
/// that only another thread reaches. outStaged receives the index of the main thread's call that
/// wrote the journal's first record after the staged copy (the one announcing the exchange).
std::vector<KillPoint> KillPoints(const std::string& inTrace, size_t* outStaged = nullptr) {
    std::vector<KillPoint> points;
    // Thread, call: whether each use changes something (an open for reading changes nothing).
    std::map<std::string, std::map<std::string, std::vector<bool>>> usesByThread;
    std::string mainThread;
    std::istringstream lines(inTrace);
    for (std::string line; std::getline(lines, line);) {
        std::string thread = line.substr(0, line.find(' '));
        std::string call = line.substr(std::min(line.find_first_not_of(' ', thread.size()), line.size()));
        if (call.empty() || !std::isalpha(static_cast<unsigned char>(call[0])))
            continue; // a resumed call, a signal, an exit
        call = call.substr(0, call.find('('));
        mainThread = mainThread.empty() ? thread : mainThread;
        const bool changing =
            call != "openat" || std::regex_search(line, std::regex("O_WRONLY|O_RDWR|O_CREAT"));
        std::vector<bool>& uses = usesByThread[thread][call];
        uses.push_back(changing);
        if (thread == mainThread && changing)
            points.push_back({call, static_cast<int>(uses.size())});
        if (outStaged != nullptr && *outStaged == 0 &&
            line.find("\\\"state\\\": \\\"excha\"") != std::string::npos) // strace shows 32 bytes
            *outStaged = points.size() - 1;
    }
    for (const auto& [thread, calls] : usesByThread)
        for (const auto& [call, uses] : calls)
            for (size_t use = usesByThread[mainThread][call].size() + 1; use <= uses.size(); ++use)
                if (uses[use - 1] && std::none_of(points.begin(), points.end(), [&](const KillPoint& p) {
                        return p.fCall == call && p.fUse == static_cast<int>(use);
                    }))
                    points.push_back({call, static_cast<int>(use)});
    return points;
}

/// Runs killed at chosen points, then recovered: what the place holds, checked after each.
class UpdaterKillTest : public UpdaterSlowTest {
protected:
    /// "old" or "new" when the place holds that bundle whole, "" when it is empty, else "other".
    std::string AtPlace() const {
        if (!ItemExists(fOutdated))
            return "";
        if (CompareTrees(fFolder / "templates/1.0", fOutdated).empty())
            return "old";
        return CompareTrees(fFolder / "templates/2.0", fOutdated).empty() ? "new" : "other";
    }
    /// The state the journal left behind records, or "" without one.
    std::string JournalState() const {
        std::smatch state;
        for (const std::string& name : Names(kJournals)) {
            std::string text = ReadFile(fFolder / (std::string(kJournals) + "/" + name));
            if (std::regex_search(text, state, std::regex("\"state\": \"([a-z-]+)\"")))
                return state[1];
        }
        return "";
    }
    UpdaterRun Recover(const std::string& inPrefix) const {
        Shell("rm -rf {L}");
        return Run("--recover --silent --log-dir {L}", kUnderTracer, inPrefix);
    }
    /// A killed run: the place holds the old or the new bundle whole; only between the two renames of
    /// a file system that cannot exchange is it empty, both bundles then whole under their other names.
    void ExpectWholeAfterKill(const UpdaterRun& inRun, bool inTwoRenames) const {
        EXPECT_TRUE(inRun.fStatus == 137 || inRun.fStatus == 0) << inRun.fStatus << inRun.fErr;
        std::string place = AtPlace();
        if (!place.empty()) {
            EXPECT_TRUE(place == "old" || place == "new") << place;
            return;
        }
        EXPECT_TRUE(inTwoRenames);
        // Recorded before the first rename, or before the second.
        const std::string state = JournalState();
        EXPECT_TRUE(state == "moving-aside" || state == "moving-in") << state;
        std::vector<std::string> staged = ListNamesWithPrefix(fFolder / "Applications", ".Sample.app.zq-");
        ASSERT_EQ(staged.size(), 1u);
        EXPECT_EQ(CompareTrees(fFolder / "templates/2.0", fFolder / ("Applications/" + staged[0])), "");
        EXPECT_EQ(CompareTrees(fFolder / "templates/1.0", fFolder / "Applications/Sample_old0001.app"), "");
    }
    /// After a recovery: one whole bundle at the place and nothing beside it, no journal, and the
    /// outdated bundle in the trash exactly when the up-to-date one is installed.
    void ExpectRecovered(const UpdaterRun& inRun) const {
        EXPECT_EQ(inRun.fStatus, 0) << inRun.fRawLog;
        std::string place = AtPlace();
        EXPECT_TRUE(place == "old" || place == "new") << place;
        EXPECT_EQ(Names("Applications"), std::vector<std::string>{"Sample.app"});
        EXPECT_EQ(Names(kJournals), std::vector<std::string>{});
        std::vector<std::string> trashed = Names(kTrash);
        EXPECT_EQ(trashed.size(), place == "new" ? 1u : 0u) << inRun.fRawLog;
        if (trashed.size() == 1) {
            EXPECT_EQ(
                CompareTrees(fFolder / "templates/1.0", fFolder / (std::string(kTrash) + "/" + trashed[0])),
                "");
        }
    }
    /// The recovery of what inKill leaves, killed in turn at each of its own changing calls, then
    /// recovered again: the place never loses its bundle. inCalls are strace's options for the
    /// recoveries (the calls traced, the refusals injected).
    void KillTheRecovery(const std::string& inKill, const std::string& inCalls) {
        const std::string tracer = "strace -f -qq -o /dev/null" + inCalls;
        Shell(kReset);
        Run(kRun, kUnderTracer, inKill);
        Recover("strace -f -qq -o {F}/trace.txt" + inCalls);
        const std::vector<KillPoint> points = KillPoints(ReadFile(fFolder / "trace.txt"));
        for (size_t at = 0; at < points.size(); at += kKillStride) {
            const KillPoint& point = points[at];
            if (point.fCall == "renameat2" && inCalls.find("renameat2:error") != std::string::npos)
                continue; // refused by the tracer, never made
            SCOPED_TRACE("recovery killed at " + point.fCall + " #" + std::to_string(point.fUse));
            Shell(kReset);
            Run(kRun, kUnderTracer, inKill);
            const std::string before = AtPlace();
            Recover(tracer + " -e inject=" + point.fCall +
                    ":signal=SIGKILL:when=" + std::to_string(point.fUse));
            std::string place = AtPlace();
            EXPECT_TRUE(place == "old" || place == "new" || (place.empty() && before.empty())) << place;
            ExpectRecovered(Recover(tracer));
        }
    }

    static constexpr const char* kRun = "--log-dir {L} {A} {B}";
    static constexpr const char* kWatch = "--verify-launch 1 --log-dir {L} {A} {B}";
    static constexpr const char* kJournals = "home/.local/state/zq-updater";
    static constexpr const char* kTrash = "home/.local/share/Trash/files";
};

TEST_F(UpdaterKillTest, KilledAtAnyPointTheApplicationIsWholeAndTheNextStartSettlesIt) {
    struct Mode {
        const char* fLabel;
        std::string fKillCalls;
        const char* fRefuseExchange;
    };
    const Mode modes[] = {
        {"one exchange", kChangingCalls, ""},
        // Every renameat2 refused as by a file system that cannot exchange: the library's no-replace
        // renames fall back on rename, the swap on two renames. Kills land on the calls around them.
        {"two renames",
         kChangingCalls.substr(0, kChangingCalls.find(",renameat2")) +
             kChangingCalls.substr(kChangingCalls.find(",renameat2") + 10),
         " -e inject=renameat2:error=EINVAL"},
    };
    for (const Mode& mode : modes) {
        SCOPED_TRACE(mode.fLabel);
        const bool twoRenames = *mode.fRefuseExchange != 0;
        // The tracer of every run of this mode.
        const std::string calls =
            " -e trace=" + mode.fKillCalls + (twoRenames ? ",renameat2" : "") + mode.fRefuseExchange;
        const std::string tracer = "strace -f -qq -o /dev/null" + calls;
        Shell(kReset);
        Run(kRun, kUnderTracer, "strace -f -qq -o {F}/trace.txt" + calls);
        size_t staged = 0;
        std::vector<KillPoint> points = KillPoints(ReadFile(fFolder / "trace.txt"), &staged);
        ASSERT_GT(points.size(), 50u);
        ASSERT_GT(staged, 0u);
        // The copy is the same in both modes: the second starts where the journal announces the exchange.
        if (twoRenames)
            points.erase(points.begin(), points.begin() + static_cast<std::ptrdiff_t>(staged));
        // Each situation a kill leaves gets its recovery killed at every call once.
        std::set<std::string> recoveriesKilled;
        for (size_t at = 0; at < points.size(); at += kKillStride) {
            const KillPoint& point = points[at];
            if (twoRenames && point.fCall == "renameat2")
                continue; // refused by the tracer, never made
            SCOPED_TRACE("killed at " + point.fCall + " #" + std::to_string(point.fUse));
            const std::string kill =
                tracer + " -e inject=" + point.fCall + ":signal=SIGKILL:when=" + std::to_string(point.fUse);
            Shell(kReset);
            ExpectWholeAfterKill(Run(kRun, kUnderTracer, kill), twoRenames);
            const std::string state = JournalState();
            if (!state.empty() && recoveriesKilled.insert(state + AtPlace()).second)
                KillTheRecovery(kill, calls);
            ExpectRecovered(Recover(tracer));
        }
    }
    // Kills that fall between system calls: 40 points spread over a whole run's time.
    Shell(kReset);
    const auto start = std::chrono::steady_clock::now();
    Run(kRun);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (int point = 1; point <= 40; point += static_cast<int>(kKillStride)) {
        std::string after = std::to_string(seconds * point / 41);
        SCOPED_TRACE("killed after " + after + " s");
        Shell(kReset);
        ExpectWholeAfterKill(Run(kRun, "", "timeout -s KILL " + after), false);
        ExpectRecovered(Recover(""));
    }
}

TEST_F(UpdaterKillTest, AWatchedRestartStoppedOrRefusedLeavesOneWholeBundleAndTheNextStartSettlesIt) {
    // The new version runs what {F}/new.sh says; the updater is the parent of the opener, its parent.
    Shell("echo '. {F}/new.sh' >> {F}/templates/2.0/Contents/MacOS/sample && rm -rf {B} && cp -a "
          "{F}/templates/2.0 {B}");
    const std::string killUpdater = "kill -KILL $(sed -n 's/^PPid:\\t//p' /proc/$PPID/status); exit 0";
    // The tracer stops or refuses the renameat2 calls that name one path: on the set-aside name, the
    // exchange back is the second (after the set-aside rename); on the failed name, the first.
    const std::string back = "-P {F}/Applications/Sample_old0001.app -e inject=renameat2:";
    const std::string failed = "-P {F}/Applications/Sample_failed0001.app -e inject=renameat2:";
    struct Case {
        const char* fLabel;
        std::string fNewVersion; // what the new version does
        std::string fInjected;   // what the tracer does, "" for no tracer
        int fStatus;
        const char* fState; // the state the journal is left in, "" for none
        const char* fErr;   // the alert's text after its first line, for a run that ended
    };
    const Case cases[] = {
        {"stopped while it watches", killUpdater, "", 137, "verifying", ""},
        {"stopped as it puts the previous version back", "exit 3", back + "signal=SIGKILL:when=2", 137,
         "reverting", ""},
        {"stopped as it renames the failed version", "exit 3", failed + "signal=SIGKILL:when=1", 137,
         "reverting", ""},
        {"the previous version cannot be put back", "exit 3", back + "error=EBUSY:when=2", 2, "reverting",
         "The new version of the application at \"{A}/\" did not start, and the previous version, set aside "
         "at \"{F}/Applications/Sample_old0001.app/\", could not be put back: both are left complete where "
         "they are."},
        {"a file system that cannot exchange: two renames", "exit 3", back + "error=EINVAL:when=2", 2, "",
         "The new version of the application quit within 1 s of its start, with the exit status 3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fLabel);
        fFolder.WriteFile("new.sh", c.fNewVersion);
        Shell(kReset);
        UpdaterRun run =
            Run(kWatch, kUnderTracer,
                c.fInjected.empty() ? "" : "strace -f -qq -o /dev/null -e trace=renameat2 " + c.fInjected);
        EXPECT_EQ(run.fStatus, c.fStatus) << run.fRawLog;
        EXPECT_EQ(JournalState(), c.fState);
        const std::string alert =
            *c.fErr != 0 ? Expand("ZQ Updater: The update failed.\n" + std::string(c.fErr)) : "";
        EXPECT_EQ(run.fErr.substr(0, alert.size()), alert);
        // A whole bundle at the place; then the next start completes what was begun.
        EXPECT_TRUE(AtPlace() == "new" || AtPlace() == "old") << AtPlace();
        UpdaterRun recovered = Recover("");
        EXPECT_EQ(recovered.fStatus, 0) << recovered.fRawLog;
        const bool kept = std::string(c.fState) == "verifying";
        const std::string aside = kept ? "Sample_old0001.app" : "Sample_failed0001.app";
        EXPECT_EQ(AtPlace(), kept ? "new" : "old");
        EXPECT_EQ(Names("Applications"), (std::vector<std::string>{"Sample.app", aside}));
        EXPECT_EQ(CompareTrees(fFolder / (kept ? "templates/1.0" : "templates/2.0"),
                               fFolder / ("Applications/" + aside)),
                  "");
        EXPECT_TRUE(!kept || HoldsInOrder(recovered.fLog, Expand("INFO Outdated application kept at "
                                                                 "{F}/Applications/Sample_old0001.app/")));
        EXPECT_EQ(Names(kJournals), std::vector<std::string>{});
        EXPECT_EQ(Names(kTrash), std::vector<std::string>{});
    }
}

} // namespace
