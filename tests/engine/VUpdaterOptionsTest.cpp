// Tests of the updater's option table: declaration order and texts, its manual page, the reconciliation of
// options with positional arguments, and folder texts made folder paths.
#include "VUpdaterOptions.h"
#include "FixFolderPathSpec.h"

#include "cmdline/VCommandLineParser.h"
#include "support/VTestTempFolder.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

using vkit::FilePathStyle;
using vkit::VCommandLineParser;
using vkit::VFilePath;
using vkit::VString;

namespace {

/// Options parsed from "updater" followed by the arguments; outErr receives standard error.
int ParseAndReconcile(std::initializer_list<const char*> inArguments, VUpdaterOptions& outOptions,
                      std::string& outErr) {
    std::vector<VString> arguments{VString("updater")};
    for (const char* argument : inArguments)
        arguments.emplace_back(argument);
    VCommandLineParser parser(arguments);
    outOptions.Declare(parser);
    ::testing::internal::CaptureStderr();
    int result = parser.Parse();
    if (result == 0)
        result = outOptions.Reconcile();
    outErr = ::testing::internal::GetCapturedStderr();
    return result;
}

std::string Posix(const VFilePath& inPath) {
    VString text;
    inPath.GetPosixPath(text);
    return text.ToUTF8();
}

TEST(VUpdaterOptionsTest, ManPageOfTheUpdaterOptions) {
    std::vector<VString> arguments{VString("updater"), VString()};
    VCommandLineParser parser(arguments);
    VUpdaterOptions options;
    options.Declare(parser);
    VString page;
    parser.ExportAsManPage(page);
    EXPECT_EQ(
        page.ToUTF8(),
        ".SH OPTIONS\n"
        ".TP\n.BR \\-\\-pid=\\fIVALUE\\fR\nWait for the caller's pid\n"
        ".TP\n.BR \\-\\-silent\nensure that no message is displayed in case of error. Errors are still "
        "logged "
        "though\n"
        ".TP\n.BR \\-\\-install-path=\\fIVALUE\\fR\nindicates where the updated app should be installed "
        "instead of <path of app to update>.\n"
        ".TP\n.BR \\-\\-restart-params=\\fIVALUE\\fR\nindicates the full path to the ZQLink file that will "
        "be "
        "passed back to the restarted application. This does not apply if the application is started as a "
        "service\n"
        ".TP\n.BR \\-\\-caller-log=\\fIVALUE\\fR\nRestart params\n"
        ".TP\n.BR \\-\\-log-dir=\\fIVALUE\\fR\nspecifies a folder for the updater where log file should be "
        "written\n"
        ".TP\n.BR \\-\\-client-info=\\fIVALUE\\fR\npath of the client customization file. Using this option "
        "IMPLIES that application is a ZQ-based client, which incurs special processing.\n"
        ".TP\n.BR \\-\\-outdated-app=\\fIVALUE\\fR\nOutdated application bundle path\n"
        ".TP\n.BR \\-\\-uptodate-app=\\fIVALUE\\fR\nUp-to-date application bundle path\n"
        ".TP\n.BR \\-\\-restart-headless\nRestart the application in headless mode.\n"
        ".SS \"Help:\"\n"
        ".TP\n.BR \\-\\-version\nPrint the version and exits\n");
}

TEST(VUpdaterOptionsTest, GeneratedManualPageHoldsTheOptionsSection) {
    std::string page = vkit::testing::ReadFile(VKIT_UPDATER_MANPAGE);
    EXPECT_EQ(page.rfind(".TH UPDATER 1 ", 0), 0u) << page;
    EXPECT_NE(page.find("\n.SH OPTIONS\n.TP\n.BR \\-\\-pid=\\fIVALUE\\fR\n"), std::string::npos);
    EXPECT_NE(page.find("\n.SS \"Help:\"\n.TP\n.BR \\-\\-version\nPrint the version and exits\n"),
              std::string::npos);
}

TEST(VUpdaterOptionsTest, EntriesInHelpOrderWithoutShortNames) {
    std::vector<VString> arguments{VString("updater"), VString()};
    VCommandLineParser parser(arguments);
    VUpdaterOptions options;
    options.Declare(parser);
    std::vector<std::string> names;
    for (const auto& entry : parser.GetOptions().GetEntries()) {
        EXPECT_FALSE(entry->HasShortName());
        names.push_back(entry->IsOption() ? entry->GetLongName().ToUTF8() : "(paragraph)");
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"(paragraph)", "pid", "silent", "install-path", "restart-params",
                                        "caller-log", "log-dir", "client-info", "outdated-app",
                                        "uptodate-app", "restart-headless", "(paragraph)", "version"}));
    EXPECT_NE(parser.GetOptions().GetPositionalReceiver(), nullptr);
}

TEST(VUpdaterOptionsTest, DeclarationResetsTheDefaults) {
    std::vector<VString> arguments{VString("updater"), VString()};
    VCommandLineParser parser(arguments);
    VUpdaterOptions options;
    options.fCallerPid = 5;
    options.fSilent = true;
    options.fRestartHeadless = true;
    options.Declare(parser);
    EXPECT_EQ(options.fCallerPid, -1);
    EXPECT_FALSE(options.fSilent);
    EXPECT_FALSE(options.fRestartHeadless);
}

TEST(VUpdaterOptionsTest, PositionalArgumentsFillTheBundlePaths) {
    VUpdaterOptions options;
    std::string err;
    ASSERT_EQ(ParseAndReconcile({"/A.app", "/B.app", "--pid", "123", "--restart-headless"}, options, err), 0)
        << err;
    EXPECT_EQ(options.fOutdatedApp.ToUTF8(), "/A.app");
    EXPECT_EQ(options.fUpToDateApp.ToUTF8(), "/B.app");
    EXPECT_EQ(options.fCallerPid, 123);
    EXPECT_TRUE(options.fRestartHeadless);
    EXPECT_EQ(err, "");
}

TEST(VUpdaterOptionsTest, OptionsWithoutPositionalArguments) {
    VUpdaterOptions options;
    std::string err;
    ASSERT_EQ(ParseAndReconcile({"--uptodate-app=/B.app", "--outdated-app", "/A.app"}, options, err), 0)
        << err;
    EXPECT_EQ(options.fOutdatedApp.ToUTF8(), "/A.app");
    EXPECT_EQ(options.fUpToDateApp.ToUTF8(), "/B.app");
}

TEST(VUpdaterOptionsTest, OptionEqualToItsPositionalArgumentIgnoringCase) {
    VUpdaterOptions options;
    std::string err;
    EXPECT_EQ(ParseAndReconcile({"--outdated-app", "/a.APP", "/A.app", "/B.app"}, options, err), 0) << err;
    EXPECT_EQ(options.fOutdatedApp.ToUTF8(), "/a.APP") << "the option's own text is kept";
}

TEST(VUpdaterOptionsTest, ReconciliationMessages) {
    struct Case {
        std::initializer_list<const char*> fArguments;
        const char* fErr;
    };
    const Case cases[] = {
        {{}, "mismatched value for option --uptodate-app\n\nmismatched value for option --outdated-app\n\n"},
        {{"/A.app"}, "not enough arguments from the command line (required <dest> <src>)\n\n"},
        {{"/A.app", "/B.app", "/C.app"}, "two many arguments from the command line\n"},
        {{"--outdated-app", "/X.app", "/A.app", "/B.app"}, "mismatched value for option --outdated-app\n\n"},
        {{"--uptodate-app", "/X.app", "/A.app", "/B.app"}, "mismatched value for option --uptodate-app\n\n"},
        {{"--uptodate-app", "/B.app"}, "mismatched value for option --outdated-app\n\n"},
        {{"--outdated-app", "/A.app", "--uptodate-app="}, "mismatched value for option --uptodate-app\n\n"},
        {{"", "/B.app"}, "mismatched value for option --outdated-app\n\n"},
    };
    for (const Case& c : cases) {
        VUpdaterOptions options;
        std::string err;
        EXPECT_EQ(ParseAndReconcile(c.fArguments, options, err), 1) << c.fErr;
        EXPECT_EQ(err, c.fErr);
    }
}

TEST(VUpdaterOptionsTest, FixFolderPathSpecMakesFolderPaths) {
    VFilePath path(VString("/old/"), FilePathStyle::Posix);
    FixFolderPathSpec(VString("/Applications/A.app"), FilePathStyle::Native, path);
    EXPECT_TRUE(path.IsFolder());
    EXPECT_EQ(Posix(path), "/Applications/A.app/");
    FixFolderPathSpec(VString("/Applications/B.app/"), FilePathStyle::Posix, path);
    EXPECT_EQ(Posix(path), "/Applications/B.app/");
    FixFolderPathSpec(VString(), FilePathStyle::Posix, path);
    EXPECT_FALSE(path.IsValid());
    EXPECT_TRUE(path.GetPath().IsEmpty());
}

} // namespace
