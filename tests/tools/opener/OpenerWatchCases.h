// The opener's watch cases, shared by its tests and the engine's launch check tests: stand-in
// applications, what the opener reports for each and the errors of the engine's check, and the check
// that nothing is left behind.
#pragma once

#include "kernel/runtime/TestProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace vkit::testing {

/// The watch's length; the killed application ends after half of it.
constexpr int kWatchSeconds = 2;

struct WatchCase {
    const char* fLabel;
    const char* fBody;   // the application's shell script, after it wrote its pid; null: not executable
    const char* fReport; // what follows "started <pid>", "" when the opener cannot start it
    uint32_t fErrors[2]; // the engine's UPZQ error for the new version and for the previous one (0: none)
};

inline const WatchCase kWatchCases[] = {
    {"keeps running", "exec sleep 60", " running\n", {0, 0}},
    {"exits 0 at once", "exit 0", " exited 0\n", {0, 0}},
    {"exits 3 at once", "exit 3", " exited 3\n", {240, 244}},
    {"SIGSEGV at half time", "ulimit -c 0; sleep 1; kill -SEGV $$", " killed 11 SEGV\n", {241, 245}},
    {"cannot start", nullptr, "", {242, 246}},
};

/// Makes the row's bundle in inFolder, its application writing its pid to "<label>.pid" first (atoi of
/// an empty text: 0), and
/// answers its path. The test process adopts the orphans of what it starts, so that whatever the opener
/// leaves behind becomes its child, for ExpectNothingLeft to find.
inline std::string MakeWatchBundle(const VTestTempFolder& inFolder, const WatchCase& inCase) {
    EXPECT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    std::string app = std::string(inCase.fLabel) + ".app";
    MakeSampleBundle(inFolder, app, MakeInfoPlist({{"CFBundleExecutable", "app"}}));
    std::string script = "#!/bin/sh\necho $$ > '" + inFolder / inCase.fLabel + ".pid'\n";
    chmod(
        inFolder.WriteFile(app + "/Contents/MacOS/app", script + (inCase.fBody ? inCase.fBody : "")).c_str(),
        inCase.fBody != nullptr ? 0755 : 0644);
    return inFolder / app;
}

/// After the opener ended, this process has no child at all: an application that ended was reaped by the
/// opener (else its zombie would have been handed here), and nothing else was left behind; only an
/// application still running was handed here, and is ended.
inline void ExpectNothingLeft(const WatchCase& inCase, int inPid) {
    if (std::string(inCase.fReport) == " running\n") {
        EXPECT_EQ(kill(inPid, SIGKILL), 0);
        EXPECT_EQ(waitpid(inPid, nullptr, 0), inPid);
    }
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a process or a zombie is left";
}

} // namespace vkit::testing
