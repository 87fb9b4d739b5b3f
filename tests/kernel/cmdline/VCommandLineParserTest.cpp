// Tests of VCommandLineParser: the parse algorithm, its value search and every message of its failures.
#include "cmdline/VCommandLineParser.h"

#include "CommandLineTestSupport.h"
#include "cmdline/VArgOption.h"
#include "support/VTestTempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace vkit;
using namespace vkit::testing;

namespace {

const char* const kInput = "line one\nl\xC3\xA9ne two\n";

/// Parses the arguments with the declarations of every shape, reading standard input for "-" when
/// asked. Answers the result, the variables that changed, the positional arguments ("+a"), " <usage>"
/// when the usage was printed, and " ! " followed by what was written on standard error.
std::string Outcome(const std::vector<const char*>& inArguments, bool inWithPositional, bool inInput) {
    std::vector<VString> arguments = Arguments(inArguments);
    VCommandLineParser parser(arguments);
    DeclaredOptions o;
    o.Declare(parser, inWithPositional);
    parser.SetReadsStandardInput(inInput);
    CapturedParse parsed = ParseCapturing(parser);
    auto text = [](const VString& inValue) { return inValue == kInput ? "<in>" : inValue.ToUTF8(); };
    std::string outcome = std::to_string(parsed.fResult);
    outcome += (o.fPid != -1 ? " pid=" + std::to_string(o.fPid) : "") + (o.fSilent ? " silent" : "");
    outcome += (o.fName == "?" ? "" : " name=" + text(o.fName)) + (o.fX ? " x" : "");
    outcome +=
        (o.fY.IsEmpty() ? "" : " y=" + text(o.fY)) + (o.fCount ? " count=" + std::to_string(o.fCount) : "");
    for (const VString& value : o.fPositional)
        outcome += " +" + text(value);
    if (!parsed.fOut.empty())
        outcome += parsed.fOut.rfind("Usage: prog [OPTION]... [FILE]...\n", 0) == 0 ? " <usage>" : " <out>";
    return parsed.fErr.empty() ? outcome : outcome + " ! " + parsed.fErr;
}

TEST(VCommandLineParserTest, Table) {
    struct Case {
        std::vector<const char*> fArguments;
        std::string fOutcome;
        bool fWithPositional = true;
        char fInput = 0; // standard input read for "-": 'f' from a file, 'd' from a folder, which fails
    };
    const std::string cut(90, '7'), count = "invalid value for argument '-c, --count' got ";
    const Case cases[] = {
        {{"--name", "b"}, "0 name=b"},
        {{"--name=c=d"}, "0 name=c=d"},
        {{"--name="}, "0 name="},
        {{"--silent", "yes"}, "0 silent +yes"},
        {{"--silent", "--", "--pid", "7", "-x", "--", "-"}, "0 silent +--pid +7 +-x +-- +-"},
        // The value search walks over options, which are handled later at their own index.
        {{"--pid", "--silent", "42", "a"}, "0 pid=42 silent +a"},
        {{"--pid", "--name", "5", "joe", "rest"}, "0 pid=5 name=joe +rest"},
        // A "--" met by the search ends the options: --silent is then a consumed positional argument.
        {{"--pid", "--silent", "--", "42", "x"}, "0 pid=42 +x"},
        {{"--name", "--", "-x", "p"}, "0 name=-x +p"},
        {{"--name", "--"}, "1 ! error: missing value for option -n, --name\n"},
        // Bundled letters: x is a flag, y and n take the following non-option arguments in turn.
        {{"-xyn", "--silent", "vy", "vn", "p"}, "0 silent name=vn x y=vy +p"},
        {{"-xy"}, "1 x ! error: missing value for option -y\n"},
        {{"-ApplePersistenceIgnoreState", "YES", "a", "-NSDocumentRevisionsDebugMode", "NO", "b"}, "0 +a +b"},
        {{"a", "-NSDocumentRevisionsDebugMode"}, "0 +a"},
        // Standard input is read once, as UTF-8, for every "-" value; "-" is an ordinary value unless asked.
        {{"--name=-", "--", "-"}, "0 name=- +-"},
        {{"--name=-", "--", "-"}, "0 name=<in> +<in>", true, 'f'},
        {{"-y", "--", "-"}, "1 ! error: failed to read from stdin for option `y`\n", true, 'd'},
        {{"--", "-"}, "1 ! error: failed to read from stdin for option ``\n", true, 'd'},
        {{"--help"}, "2 <usage>"},
        {{"-?"}, "2 <usage>"},
        {{"-xh!"}, "2 x <usage>"}, // the letters after h are not looked at
        {{"--help=1"}, "1 ! error: invalid value for option  `help`\n"},
        {{"--nope"}, "1 ! error: unknown option `nope`\n"},
        {{"--nope=1"}, "1 ! error: unknown option `nope`\n"},
        {{"-x-"}, "1 x ! error: unknown option `-`\n"},
        {{"file"}, "1 ! error: unknown option `file`\n", false},
        {{"--silent=1"}, "1 ! error: a value for option `silent` is not required\n"},
        {{"--pid"}, "1 ! error: missing value for option --pid\n"},
        {{"--pid", "-5"}, "1 ! error: missing value for option --pid\n"},
        {{"-n"}, "1 ! error: missing value for option -n, --name\n"},
        {{"-"}, "1 ! error: missing short option `-`\n"},
        {{"--pid", "abc"}, "1 ! invalid value for argument '--pid' got \"abc\" expected a signed integral\n"},
        {{"--pid="}, "1 ! invalid value for argument '--pid' got empty value expected a signed integral\n"},
        // A rejected value is shown up to 80 characters.
        {{"-c", cut.c_str() + 10},
         "1 ! " + count + "\"" + cut.substr(10) + "\" expected an unsigned integral\n"},
        {{"-c", cut.c_str()},
         "1 ! " + count + "\"" + cut.substr(10) + "...\" expected an unsigned integral\n"},
        {{"--pid", "3", "--nope", "--silent", "--name", "late"}, "1 pid=3 ! error: unknown option `nope`\n"},
    };
    VTestTempFolder folder;
    const std::string input = folder.WriteFile("in.txt", kInput), unreadable = folder.MakeFolder("folder");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fOutcome);
        if (c.fInput != 0 &&
            std::freopen((c.fInput == 'f' ? input : unreadable).c_str(), "r", stdin) == nullptr)
            FAIL() << "cannot redirect standard input";
        EXPECT_EQ(Outcome(c.fArguments, c.fWithPositional, c.fInput != 0), c.fOutcome);
    }
    std::freopen("/dev/null", "r", stdin);
}

TEST(VCommandLineParserTest, Declarations) {
    // Only the program's path: nothing is declared but paragraphs, and the parse succeeds.
    std::vector<VString> none = Arguments({});
    VCommandLineParser empty(none);
    DeclaredOptions declared;
    declared.Declare(empty);
    EXPECT_EQ(empty.GetOptions().GetEntries().size(), 2u);
    EXPECT_EQ(empty.GetOptions().GetPositionalReceiver(), nullptr);
    EXPECT_EQ(empty.Parse(), VCommandLineParser::kParseSuccess);

    // Help names declared by the program are ordinary options; a name declared twice reaches the later
    // declaration, and both stay declared.
    std::vector<VString> arguments = Arguments({"-h", "--help", "-?", "--level", "4", "-l", "5"});
    VCommandLineParser parser(arguments);
    bool help[3] = {};
    int level[2] = {};
    parser.AddOption(u'h', VString(), &help[0], VString(), false);
    parser.AddOption(u' ', VString("help"), &help[1], VString(), false);
    parser.AddOption(u'?', VString(), &help[2], VString(), false);
    parser.AddOption(u'l', VString("level"), &level[0], VString(), true);
    parser.AddOption(u'l', VString("level"), &level[1], VString(), true);
    CapturedParse parsed = ParseCapturing(parser);
    EXPECT_EQ(std::to_string(parsed.fResult) + parsed.fOut + parsed.fErr, "0");
    EXPECT_TRUE(help[0] && help[1] && help[2]);
    EXPECT_EQ(std::to_string(level[0]) + " " + std::to_string(level[1]), "0 5");
    EXPECT_EQ(parser.GetOptions().GetEntries().size(), 5u);

    parser.SetPositionalArguments(&declared.fPositional);
    parser.Clear();
    parser.SetParagraphsEnabled(false);
    parser.AddParagraph(VString("text"));
    EXPECT_TRUE(parser.GetOptions().GetEntries().empty());
    EXPECT_EQ(ParseCapturing(parser).fOut,
              "Usage: prog [OPTION]...\n\n  -h, --help                 Display the help and exit\n");
}

TEST(VCommandLineParserTest, ValidateNames) {
    for (const char* name : {"", "outdated-app", "v2", "zq-log"})
        EXPECT_TRUE(VCommandLineParser::ValidateLongOptionName(VString(name))) << name;
    for (const char* name : {"v", "-app", "app-", "Pid", "log_dir", "pid=", "é-e"})
        EXPECT_FALSE(VCommandLineParser::ValidateLongOptionName(VString(name))) << name;
    for (UniChar c : std::u16string_view(u"aZ09 \0", 6))
        EXPECT_TRUE(VCommandLineParser::ValidateShortOptionName(c)) << static_cast<int>(c);
    for (UniChar c : std::u16string_view(u"-?=\t\u00e9"))
        EXPECT_FALSE(VCommandLineParser::ValidateShortOptionName(c)) << static_cast<int>(c);
}

TEST(VCommandLineParserTest, PrintAndAnonymousValues) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    VCommandLineParser::Print(VString("version 1.0 é"));
    EXPECT_EQ(VCommandLineParser::PrintArgumentError(VString("bad")), 1);
    std::vector<VString> arguments = Arguments({});
    VCommandLineParser parser(arguments);
    bool flag = false;
    EXPECT_EQ(Private::CommandLineParser::VArgOption<bool>(u' ', VString(), &flag, VString(), true)
                  .AppendArgument(parser, VString("maybe")),
              1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "bad\ninvalid value for argument '<anonymous>' got \"maybe\" expected 0, 1, true or false\n");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "version 1.0 \xC3\xA9\n");
}

} // namespace
