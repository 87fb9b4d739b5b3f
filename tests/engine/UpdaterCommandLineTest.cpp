// Tests of the updater's command line: the built program's exit statuses and exact texts on each stream,
// the paths the options give, the manual page of the options, and folder texts made folder paths.
#include "FixFolderPathSpec.h"
#include "engine/UpdaterTestSupport.h"

using namespace vkit::testing;

namespace {

TEST_F(UpdaterTest, CommandLines) {
    struct Case {
        const char* fArguments; // placeholders of UpdaterTest::Expand
        int fStatus;
        const char* fOut; // the start of standard output
        const char* fErr; // all of standard error
    };
    const char* const kBoth =
        "mismatched value for option --uptodate-app\n\nmismatched value for option --outdated-app\n\n";
    const char* const kOutdated = "mismatched value for option --outdated-app\n\n";
    const char* const kUpToDate = "mismatched value for option --uptodate-app\n\n";
    // With the up-to-date bundle present and the outdated one missing, the alert names the outdated
    // bundle's path as the command line gave it.
    const char* const kAccepted =
        "ZQ Updater: The update failed.\nThe application to update was not found at \"{A}/\".\n";
    const Case cases[] = {
        {"", 1, "", kBoth},
        {"/A.app", 1, "", "not enough arguments from the command line (required <dest> <src>)\n\n"},
        {"/A.app /B.app /C.app", 1, "", "two many arguments from the command line\n"},
        {"--outdated-app /X.app {A} {B}", 1, "", kOutdated},
        {"--uptodate-app /X.app {A} {B}", 1, "", kUpToDate},
        {"--outdated-app /X.app --uptodate-app /Y.app {A} {B}", 1, "",
         "mismatched value for option --outdated-app\n\nmismatched value for option --uptodate-app\n\n"},
        {"--outdated-app {A}", 1, "", kUpToDate},
        {"--uptodate-app {B}", 1, "", kOutdated},
        {"--outdated-app {A} --uptodate-app=", 1, "", kUpToDate},
        {"'' {B}", 1, "", kOutdated},
        {"--bogus {A} {B}", 1, "", "error: unknown option `bogus`\n"},
        {"-x", 1, "", "error: unknown option `x`\n"},
        {"--pid abc {A} {B}", 1, "",
         "invalid value for argument '--pid' got \"abc\" expected a signed integral\n"},
        {"--pid= {A} {B}", 1, "",
         "invalid value for argument '--pid' got empty value expected a signed integral\n"},
        {"--pid", 1, "", "error: missing value for option --pid\n"},
        {"--pid -5 {A} {B}", 1, "",
         "invalid value for argument '--pid' got \"{A}\" expected a signed integral\n"},
        {"--silent=1", 1, "", "error: a value for option `silent` is not required\n"},
        {"--verify-launch=3601 {A} {B}", 1, "",
         "invalid value for option --verify-launch: expected seconds from 0 to 3600\n"},
        {"--verify-launch 3600 {A} {B}", 2, "", kAccepted},
        {"--help=1", 1, "", "error: invalid value for option  `help`\n"},
        {"--version", 0, VKIT_PROJECT_VERSION "\n", ""},
        {"--version /A.app", 0, VKIT_PROJECT_VERSION "\n", ""},
        {"--version --pid abc", 1, "",
         "invalid value for argument '--pid' got \"abc\" expected a signed integral\n"},
        {"--help", 0, "Usage: {updater} [OPTION]... [FILE]...\n\nZQ Updater\n", ""},
        {"-h", 0, "Usage: {updater} [OPTION]... [FILE]...\n\nZQ Updater\n", ""},
        {"-?", 0, "Usage: {updater} [OPTION]... [FILE]...\n\nZQ Updater\n", ""},
        {"{A} {B}", 2, "", kAccepted},
        {"--outdated-app {A} {A} {B}", 2, "", kAccepted},
        {"--outdated-app {F}/Applications/sample.APP {A} {B}", 2, "",
         "ZQ Updater: The update failed.\nThe application to update was not found at "
         "\"{F}/Applications/sample.APP/\".\n"},
        {"--outdated-app={A} --uptodate-app {B}", 2, "", kAccepted},
        {"--pid=-5 --install-path /Elsewhere --caller-log= {A} {B}", 2, "", kAccepted},
        {"--silent -psn_0_123 -ApplePersistenceIgnoreState YES {A} {B}", 2, "", ""},
    };
    Shell("cp -a {F}/templates/2.0 {B}");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fArguments);
        UpdaterRun run = Run(Expand(c.fArguments));
        EXPECT_EQ(run.fStatus, c.fStatus);
        EXPECT_EQ(run.fOut.substr(0, Expand(c.fOut).size()), Expand(c.fOut));
        EXPECT_EQ(run.fErr, Expand(c.fErr));
        if (run.fOut.rfind("Usage:", 0) == 0) {
            EXPECT_NE(run.fOut.find("\n      --pid=VALUE            Wait for the caller's pid\n"),
                      std::string::npos);
            EXPECT_NE(run.fOut.find("\n  -h, --help                 Display the help and exit\n"),
                      std::string::npos);
            EXPECT_EQ(run.fOut.find('\033'), std::string::npos) << "no colour outside a terminal";
        }
    }
}

TEST(UpdaterManPageTest, OptionsInTheirOrderWithTheirTexts) {
    std::string page = ReadFile(VKIT_UPDATER_MANPAGE);
    EXPECT_EQ(page.rfind(".TH UPDATER 1 ", 0), 0u) << page;
    // Every option of the table in its order, a value marked as such, dashes escaped, the help group last.
    const char* const parts[] = {
        ".SH OPTIONS\n.TP\n.BR \\-\\-pid=\\fIVALUE\\fR\nWait for the caller's pid\n.TP\n.BR \\-\\-silent\n",
        "\n.BR \\-\\-install-path=\\fIVALUE\\fR\n",
        "\n.BR \\-\\-restart-params=",
        "\n.BR \\-\\-caller-log=",
        "\n.BR \\-\\-log-dir=",
        "\n.BR \\-\\-client-info=",
        "\n.BR \\-\\-outdated-app=",
        "\n.BR \\-\\-uptodate-app=",
        "\n.BR \\-\\-restart-headless\n",
        "\n.BR \\-\\-allow-downgrade\n",
        "\n.BR \\-\\-verify-launch=\\fIVALUE\\fR\nAfter the restart, watch the application",
        "\n.BR \\-\\-recover\nComplete or undo the updates",
        "\n.SS \"Help:\"\n.TP\n.BR \\-\\-version\nPrint the version and exits\n.SH EXIT STATUS\n0 when the "
        "update",
    };
    size_t at = 0;
    for (const char* part : parts) {
        at = page.find(part, at);
        ASSERT_NE(at, std::string::npos) << part << "\n" << page;
    }
}

} // namespace

namespace {

TEST(FixFolderPathSpecTest, FolderTextsBecomeFolderPaths) {
    const std::pair<const char*, const char*> cases[] = {
        {"/tmp/A.app", "/tmp/A.app/"}, {"/tmp/A.app/", "/tmp/A.app/"}, {"/", "/"}, {"", ""}};
    for (const auto& [text, posix] : cases) {
        SCOPED_TRACE(text);
        // The path held before is replaced, an empty text clearing it.
        vkit::VFilePath path(vkit::VString("/previous/"), vkit::FilePathStyle::Posix);
        FixFolderPathSpec(vkit::VString(text), vkit::FilePathStyle::Native, path);
        vkit::VString result;
        path.GetPosixPath(result);
        EXPECT_EQ(result.ToUTF8(), posix);
        EXPECT_EQ(path.IsValid(), *posix != 0);
    }
}

} // namespace
