// Whole-program tests of the updater's command line: exit statuses and the exact texts on each stream.
#include "support/VTestTempFolder.h"

#include <gtest/gtest.h>

#include <string>

using vkit::testing::ReadFile;
using vkit::testing::RunShell;
using vkit::testing::VTestTempFolder;

namespace {

const std::string kUpdater = VKIT_UPDATER_PATH;

/// One run of the built updater: its exit status and what it wrote on each stream.
struct UpdaterRun {
    int fStatus;
    std::string fOut;
    std::string fErr;
};

class UpdaterCommandLineTest : public ::testing::Test {
protected:
    /// Runs the updater with the arguments (shell words) and standard input from /dev/null.
    UpdaterRun Run(const std::string& inArguments) {
        std::string out = fFolder / "out.txt";
        std::string err = fFolder / "err.txt";
        int status =
            RunShell("'" + kUpdater + "' " + inArguments + " < /dev/null > '" + out + "' 2> '" + err + "'");
        return {status, ReadFile(out), ReadFile(err)};
    }

    /// Two bundle paths that do not exist: the command line is accepted, the update itself cannot happen.
    std::string Bundles() const { return "'" + (fFolder / "A.app") + "' '" + (fFolder / "B.app") + "'"; }

    /// A command line that was accepted went on to the update, which failed for the missing bundles
    /// (status 2), and, silent, wrote nothing on standard error.
    static void ExpectAccepted(const UpdaterRun& inRun) {
        EXPECT_EQ(inRun.fStatus, 2) << inRun.fErr;
        EXPECT_EQ(inRun.fErr, "");
    }

    VTestTempFolder fFolder;
};

TEST_F(UpdaterCommandLineTest, NoArgumentNamesBothMissingBundles) {
    UpdaterRun run = Run("");
    EXPECT_EQ(run.fStatus, 1);
    EXPECT_EQ(run.fErr, "mismatched value for option --uptodate-app\n\n"
                        "mismatched value for option --outdated-app\n\n");
    EXPECT_EQ(run.fOut, "");
}

TEST_F(UpdaterCommandLineTest, OneOrThreePositionalArguments) {
    UpdaterRun one = Run("/A.app");
    EXPECT_EQ(one.fStatus, 1);
    EXPECT_EQ(one.fErr, "not enough arguments from the command line (required <dest> <src>)\n\n");
    UpdaterRun three = Run("/A.app /B.app /C.app");
    EXPECT_EQ(three.fStatus, 1);
    EXPECT_EQ(three.fErr, "two many arguments from the command line\n");
}

TEST_F(UpdaterCommandLineTest, BundleOptionsMustMatchThePositionalArguments) {
    UpdaterRun outdated = Run("--outdated-app /X.app /A.app /B.app");
    EXPECT_EQ(outdated.fStatus, 1);
    EXPECT_EQ(outdated.fErr, "mismatched value for option --outdated-app\n\n");
    UpdaterRun upToDate = Run("--uptodate-app /X.app /A.app /B.app");
    EXPECT_EQ(upToDate.fStatus, 1);
    EXPECT_EQ(upToDate.fErr, "mismatched value for option --uptodate-app\n\n");
    UpdaterRun both = Run("--outdated-app /X.app --uptodate-app /Y.app /A.app /B.app");
    EXPECT_EQ(both.fStatus, 1);
    EXPECT_EQ(both.fErr, "mismatched value for option --outdated-app\n\n"
                         "mismatched value for option --uptodate-app\n\n");
    UpdaterRun onlyOne = Run("--outdated-app /A.app");
    EXPECT_EQ(onlyOne.fStatus, 1);
    EXPECT_EQ(onlyOne.fErr, "mismatched value for option --uptodate-app\n\n");
}

TEST_F(UpdaterCommandLineTest, BundleOptionsEqualToThePositionalArgumentsAreAccepted) {
    std::string a = fFolder / "A.app";
    ExpectAccepted(Run("--silent --outdated-app '" + a + "' " + Bundles()));
    // Compared ignoring case, as the international settings compare texts.
    std::string upper = fFolder / "a.APP";
    ExpectAccepted(Run("--silent --outdated-app '" + upper + "' " + Bundles()));
    ExpectAccepted(Run("--silent --outdated-app='" + a + "' --uptodate-app '" + (fFolder / "B.app") + "'"));
}

TEST_F(UpdaterCommandLineTest, VersionIsOneLineAndExitsZero) {
    UpdaterRun run = Run("--version");
    EXPECT_EQ(run.fStatus, 0);
    EXPECT_EQ(run.fOut, std::string(VKIT_PROJECT_VERSION) + "\n");
    EXPECT_EQ(run.fErr, "");
    // Checks of the bundles are not made.
    EXPECT_EQ(Run("--version /A.app").fStatus, 0);
    // A parse error wins.
    EXPECT_EQ(Run("--version --pid abc").fStatus, 1);
}

TEST_F(UpdaterCommandLineTest, HelpPrintsTheUsageWithoutColourAndExitsZero) {
    for (const char* option : {"--help", "-h", "-?"}) {
        UpdaterRun run = Run(option);
        EXPECT_EQ(run.fStatus, 0) << option;
        EXPECT_EQ(run.fOut.rfind("Usage: " + kUpdater + " [OPTION]... [FILE]...\n\nZQ Updater\n", 0), 0u)
            << run.fOut;
        EXPECT_NE(run.fOut.find("\n      --pid=VALUE            Wait for the caller's pid\n"),
                  std::string::npos);
        EXPECT_NE(run.fOut.find("\n  -h, --help                 Display the help and exit\n"),
                  std::string::npos);
        EXPECT_EQ(run.fOut.find('\033'), std::string::npos);
        EXPECT_EQ(run.fErr, "");
    }
}

TEST_F(UpdaterCommandLineTest, ParseErrors) {
    struct Case {
        const char* fArguments;
        const char* fMessage;
    };
    const Case cases[] = {
        {"--bogus /A.app /B.app", "error: unknown option `bogus`\n"},
        {"-x", "error: unknown option `x`\n"},
        {"--pid abc /A.app /B.app",
         "invalid value for argument '--pid' got \"abc\" expected a signed integral\n"},
        {"--pid= /A.app /B.app",
         "invalid value for argument '--pid' got empty value expected a signed integral\n"},
        {"--pid", "error: missing value for option --pid\n"},
        {"--pid -5 /A.app /B.app",
         "invalid value for argument '--pid' got \"/A.app\" expected a signed integral\n"},
        {"--silent=1", "error: a value for option `silent` is not required\n"},
        {"--help=1", "error: invalid value for option  `help`\n"},
    };
    for (const Case& c : cases) {
        UpdaterRun run = Run(c.fArguments);
        EXPECT_EQ(run.fStatus, 1) << c.fArguments;
        EXPECT_EQ(run.fErr, c.fMessage) << c.fArguments;
        EXPECT_EQ(run.fOut, "") << c.fArguments;
    }
}

TEST_F(UpdaterCommandLineTest, NegativePidJoinedWithEqualsIsAccepted) {
    ExpectAccepted(Run("--silent --pid=-5 " + Bundles()));
}

TEST_F(UpdaterCommandLineTest, InstallPathIsAcceptedAndIgnored) {
    ExpectAccepted(Run("--silent --install-path /Elsewhere " + Bundles()));
}

TEST_F(UpdaterCommandLineTest, CallerLogEmptyOrNot) {
    UpdaterRun empty = Run("--silent --caller-log= " + Bundles());
    ExpectAccepted(empty);
    EXPECT_EQ(empty.fOut.find("waitquit"), std::string::npos);
    ExpectAccepted(Run("--silent --caller-log 1 " + Bundles()));
}

TEST_F(UpdaterCommandLineTest, SystemArgumentsAreIgnored) {
    ExpectAccepted(Run("-psn_0_123 -ApplePersistenceIgnoreState YES --silent " + Bundles()));
}

} // namespace
