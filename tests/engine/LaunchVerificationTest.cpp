// Tests of the engine's launch check: the opener's watch cases read into verdicts and errors, an opener
// stopped during its watch, and the texts of the check's errors.
#include "VLaunchVerification.h"
#include "tools/opener/OpenerWatchCases.h"

#include <regex>
#include <vector>

namespace vkit::testing {
namespace {

TEST(LaunchVerificationTest, TheOpenersReportBecomesTheVerdictAndItsErrors) {
    VTestTempFolder folder;
    // The watch cases, then an opener stopped while it watched: the start is known, the fate is not.
    std::string stopped = folder.WriteFile("stopped", "#!/bin/sh\nprintf 'started 42'\nkill -KILL $$\n");
    chmod(stopped.c_str(), 0755);
    std::vector<WatchCase> rows(std::begin(kWatchCases), std::end(kWatchCases));
    rows.push_back({"opener stopped", "exit 0", "", {247, 246}});
    for (const WatchCase& row : rows) {
        SCOPED_TRACE(row.fLabel);
        bool stopping = &row == &rows.back();
        zq::VLaunchVerdict verdict = zq::VerifyLaunch({PosixPath(stopping ? stopped : VKIT_OPENER_PATH),
                                                       PosixPath(MakeWatchBundle(folder, row) + "/"),
                                                       VFilePath(), false, kWatchSeconds});
        int pid = stopping ? 42 : std::atoi(ReadFile(folder / row.fLabel + ".pid").c_str());
        EXPECT_EQ(verdict.fPid, pid) << verdict.fMessage.ToUTF8();
        EXPECT_EQ(verdict.fSignal.ToUTF8(), row.fErrors[0] == 241 ? "SIGSEGV (11)" : "");
        for (int previous : {0, 1})
            EXPECT_EQ(zq::LaunchErrorFor(verdict, previous == 1),
                      row.fErrors[previous] ? MakeVError(zq::kComponentUpdater, row.fErrors[previous])
                                            : VE_OK);
        ExpectNothingLeft(row, pid);
    }
}

TEST(LaunchVerificationTest, EveryErrorHasAnEnglishAndAFrenchTextWithTheParametersGiven) {
    const std::regex unknown("\\{(?!(path|otherPath|seconds|status|signal|message)\\})"); // PushLaunchError's
    for (const char* language : {"en", "fr"}) {
        std::string text =
            ReadFile(std::string(VKIT_ENGINE_RESOURCES) + "/" + language + ".lproj/Updater.xlf");
        for (int code = 240; code <= 248; ++code) {
            SCOPED_TRACE(std::string(language) + " " + std::to_string(code));
            size_t start = text.find("resname=\"ERR_UPZQ_" + std::to_string(code) + "\"");
            ASSERT_NE(start, std::string::npos);
            std::string target = text.substr(start, text.find("</trans-unit>", start) - start);
            target = target.substr(target.find("<target>"));
            EXPECT_NE(target.find("{path}"), std::string::npos) << target;
            EXPECT_FALSE(std::regex_search(target, unknown)) << target;
        }
    }
}

} // namespace
} // namespace vkit::testing
