// Tests of VCommandLineParser: the parse algorithm, its value search and every message of its failures.
#include "cmdline/VCommandLineParser.h"

#include "CommandLineTestSupport.h"
#include "support/VTestTempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using vkit::UniChar;
using vkit::VCommandLineParser;
using vkit::VString;
using vkit::testing::Arguments;
using vkit::testing::CapturedParse;
using vkit::testing::ParseCapturing;
using vkit::testing::UTF8;

namespace {

/// A parser with the shapes of options a program declares: a long value option, a flag, a short-and-long
/// value option, two short letters, and optionally the positional receiver.
class ParserTest : public ::testing::Test {
protected:
    CapturedParse Parse(std::initializer_list<const char*> inArguments, bool inWithPositional = true) {
        fArguments = Arguments(inArguments);
        fPid = -1;
        fSilent = false;
        fName.Clear();
        fX = false;
        fY.Clear();
        fPositional.clear();
        fParser = std::make_unique<VCommandLineParser>(fArguments);
        fParser->AddOption(u' ', VString("pid"), &fPid, VString("Wait for the caller's pid"), true);
        fParser->AddOption(u' ', VString("silent"), &fSilent, VString("No message"), false);
        fParser->AddOption(u'n', VString("name"), &fName, VString("A name"), true);
        fParser->AddOption(u'x', VString(), &fX, VString("Flag x"), false);
        fParser->AddOption(u'y', VString(), &fY, VString("Value y"), true);
        if (inWithPositional)
            fParser->SetPositionalArguments(&fPositional);
        return ParseCapturing(*fParser);
    }

    std::vector<std::string> Positional() const {
        std::vector<std::string> texts;
        for (const VString& value : fPositional)
            texts.push_back(UTF8(value));
        return texts;
    }

    std::vector<VString> fArguments;
    std::unique_ptr<VCommandLineParser> fParser;
    int fPid = -1;
    bool fSilent = false;
    VString fName;
    bool fX = false;
    VString fY;
    std::vector<VString> fPositional;
};

using Strings = std::vector<std::string>;

TEST(VCommandLineParserTest, OnlyTheProgramPathDeclaresNoOptionAndSucceeds) {
    std::vector<VString> arguments = Arguments({});
    VCommandLineParser parser(arguments);
    int pid = -1;
    std::vector<VString> positional;
    parser.AddOption(u'p', VString("pid"), &pid, VString("pid"), true);
    parser.SetPositionalArguments(&positional);
    parser.AddParagraph(VString("Paragraphs are still declared"));
    EXPECT_EQ(parser.GetOptions().GetEntries().size(), 1u);
    EXPECT_FALSE(parser.GetOptions().GetEntries()[0]->IsOption());
    EXPECT_EQ(parser.GetOptions().GetPositionalReceiver(), nullptr);
    EXPECT_EQ(parser.Parse(), VCommandLineParser::kParseSuccess);
}

TEST_F(ParserTest, OptionReachableByLetterLongNameAndEquals) {
    EXPECT_EQ(Parse({"-n", "a"}).fResult, 0);
    EXPECT_EQ(UTF8(fName), "a");
    EXPECT_EQ(Parse({"--name", "b"}).fResult, 0);
    EXPECT_EQ(UTF8(fName), "b");
    EXPECT_EQ(Parse({"--name=c=d"}).fResult, 0);
    EXPECT_EQ(UTF8(fName), "c=d");
    EXPECT_EQ(Parse({"--name="}).fResult, 0);
    EXPECT_TRUE(fName.IsEmpty());
}

TEST_F(ParserTest, DoubleDashMakesEveryLaterArgumentPositional) {
    CapturedParse parsed = Parse({"--silent", "--", "--pid", "7", "-x", "--", "-"});
    EXPECT_EQ(parsed.fResult, 0) << parsed.fErr;
    EXPECT_TRUE(fSilent);
    EXPECT_EQ(fPid, -1);
    EXPECT_FALSE(fX);
    EXPECT_EQ(Positional(), (Strings{"--pid", "7", "-x", "--", "-"}));
}

TEST_F(ParserTest, ValueSearchWalksOverOptionsThatAreParsedLater) {
    EXPECT_EQ(Parse({"--pid", "--silent", "42", "a"}).fResult, 0);
    EXPECT_EQ(fPid, 42);
    EXPECT_TRUE(fSilent);
    EXPECT_EQ(Positional(), (Strings{"a"}));
}

TEST_F(ParserTest, SeveralValueOptionsTakeTheFollowingValuesInOrder) {
    EXPECT_EQ(Parse({"--pid", "--name", "5", "joe", "rest"}).fResult, 0);
    EXPECT_EQ(fPid, 5);
    EXPECT_EQ(UTF8(fName), "joe");
    EXPECT_EQ(Positional(), (Strings{"rest"}));
}

TEST_F(ParserTest, OptionBetweenValueOptionAndWalkedDoubleDashIsIgnored) {
    // The search for --pid's value walks over --silent and "--": "--" ends the options, 42 is the value,
    // and --silent, met later under the end-of-options flag, is a consumed positional argument.
    CapturedParse parsed = Parse({"--pid", "--silent", "--", "42", "x"});
    EXPECT_EQ(parsed.fResult, 0) << parsed.fErr;
    EXPECT_EQ(fPid, 42);
    EXPECT_FALSE(fSilent);
    EXPECT_EQ(Positional(), (Strings{"x"}));
}

TEST_F(ParserTest, WalkedDoubleDashGivesTheNextArgumentWhateverItLooksLike) {
    EXPECT_EQ(Parse({"--name", "--", "-x", "p"}).fResult, 0);
    EXPECT_EQ(UTF8(fName), "-x");
    EXPECT_FALSE(fX);
    EXPECT_EQ(Positional(), (Strings{"p"}));
}

TEST_F(ParserTest, WalkedDoubleDashAtTheEndLeavesNoValue) {
    CapturedParse parsed = Parse({"--name", "--"});
    EXPECT_EQ(parsed.fResult, 1);
    EXPECT_EQ(parsed.fErr, "error: missing value for option -n, --name\n");
}

TEST_F(ParserTest, BundledLettersTakeValuesInTurn) {
    // x is a flag, y and n take values: y takes the first later non-option argument, n the next one.
    CapturedParse parsed = Parse({"-xyn", "--silent", "vy", "vn", "p"});
    EXPECT_EQ(parsed.fResult, 0) << parsed.fErr;
    EXPECT_TRUE(fX);
    EXPECT_EQ(UTF8(fY), "vy");
    EXPECT_EQ(UTF8(fName), "vn");
    EXPECT_TRUE(fSilent);
    EXPECT_EQ(Positional(), (Strings{"p"}));
}

TEST_F(ParserTest, BundleStopsAtTheFirstLetterWithoutValue) {
    CapturedParse parsed = Parse({"-xy"});
    EXPECT_EQ(parsed.fResult, 1);
    EXPECT_TRUE(fX);
    EXPECT_EQ(parsed.fErr, "error: missing value for option -y\n");
}

TEST_F(ParserTest, SystemArgumentsAreIgnoredWithTheirValue) {
    CapturedParse parsed =
        Parse({"-ApplePersistenceIgnoreState", "YES", "a", "-NSDocumentRevisionsDebugMode", "NO", "b"});
    EXPECT_EQ(parsed.fResult, 0) << parsed.fErr;
    EXPECT_EQ(Positional(), (Strings{"a", "b"}));
    EXPECT_EQ(Parse({"a", "-NSDocumentRevisionsDebugMode"}).fResult, 0);
    EXPECT_EQ(Positional(), (Strings{"a"}));
}

TEST_F(ParserTest, SystemArgumentsAreNotReadAsBundledLetters) {
    // Read letter by letter, "-ApplePersistenceIgnoreState" would stop at the unknown letter A.
    CapturedParse parsed = Parse({"-ApplePersistenceIgnoreState", "YES"}, false);
    EXPECT_EQ(parsed.fResult, 0) << parsed.fErr;
}

TEST_F(ParserTest, LongHelpPrintsTheUsageUnlessDeclared) {
    CapturedParse parsed = Parse({"--help"});
    EXPECT_EQ(parsed.fResult, VCommandLineParser::kParseHelpShown);
    EXPECT_EQ(parsed.fOut.rfind("Usage: prog [OPTION]... [FILE]...\n", 0), 0u) << parsed.fOut;
    EXPECT_TRUE(parsed.fErr.empty());
}

TEST_F(ParserTest, HelpWithAValueIsAnError) {
    CapturedParse parsed = Parse({"--help=1"});
    EXPECT_EQ(parsed.fResult, 1);
    EXPECT_EQ(parsed.fErr, "error: invalid value for option  `help`\n");
    EXPECT_TRUE(parsed.fOut.empty());
}

TEST_F(ParserTest, LettersHAndQuestionMarkPrintTheUsageAndStopTheBundle) {
    EXPECT_EQ(Parse({"-h"}).fResult, 2);
    EXPECT_EQ(Parse({"-?"}).fResult, 2);
    // The letters after h are not looked at, even unknown ones; those before it are handled.
    CapturedParse parsed = Parse({"-xh!"});
    EXPECT_EQ(parsed.fResult, 2);
    EXPECT_TRUE(parsed.fErr.empty());
    EXPECT_TRUE(fX);
}

TEST(VCommandLineParserTest, DeclaredHelpNamesAreOrdinaryOptions) {
    std::vector<VString> arguments = Arguments({"-h", "--help", "-?"});
    VCommandLineParser parser(arguments);
    bool shortH = false;
    bool longHelp = false;
    bool question = false;
    parser.AddOption(u'h', VString(), &shortH, VString("h"), false);
    parser.AddOption(u' ', VString("help"), &longHelp, VString("help"), false);
    parser.AddOption(u'?', VString(), &question, VString("?"), false);
    CapturedParse parsed = ParseCapturing(parser);
    EXPECT_EQ(parsed.fResult, 0);
    EXPECT_TRUE(parsed.fOut.empty());
    EXPECT_TRUE(shortH && longHelp && question);
}

TEST_F(ParserTest, FailureMessages) {
    struct Case {
        std::initializer_list<const char*> fArguments;
        bool fWithPositional;
        const char* fMessage;
    };
    const Case cases[] = {
        {{"--nope"}, true, "error: unknown option `nope`\n"},
        {{"--nope=1"}, true, "error: unknown option `nope`\n"},
        {{"--=1"}, true, "error: unknown option ``\n"},
        {{"-q"}, true, "error: unknown option `q`\n"},
        {{"-x-"}, true, "error: unknown option `-`\n"},
        {{"file"}, false, "error: unknown option `file`\n"},
        {{""}, false, "error: unknown option ``\n"},
        {{"--silent=1"}, true, "error: a value for option `silent` is not required\n"},
        {{"--silent="}, true, "error: a value for option `silent` is not required\n"},
        {{"--pid"}, true, "error: missing value for option --pid\n"},
        {{"-n"}, true, "error: missing value for option -n, --name\n"},
        {{"--pid", "-x"}, true, "error: missing value for option --pid\n"},
        {{"-"}, true, "error: missing short option `-`\n"},
        {{"--pid", "abc"},
         true,
         "invalid value for argument '--pid' got \"abc\" expected a signed integral\n"},
        {{"--pid="}, true, "invalid value for argument '--pid' got empty value expected a signed integral\n"},
    };
    for (const Case& c : cases) {
        CapturedParse parsed = Parse(c.fArguments, c.fWithPositional);
        EXPECT_EQ(parsed.fResult, 1) << c.fMessage;
        EXPECT_EQ(parsed.fErr, c.fMessage);
        EXPECT_TRUE(parsed.fOut.empty());
    }
}

TEST_F(ParserTest, ParseStopsAtTheFirstFailureKeepingEarlierValues) {
    CapturedParse parsed = Parse({"--pid", "3", "--nope", "--silent", "--name", "late"});
    EXPECT_EQ(parsed.fResult, 1);
    EXPECT_EQ(parsed.fErr, "error: unknown option `nope`\n"); // one line only
    EXPECT_EQ(fPid, 3);
    EXPECT_FALSE(fSilent);
    EXPECT_TRUE(fName.IsEmpty());
}

TEST_F(ParserTest, NegativeValueOnlyThroughEquals) {
    EXPECT_EQ(Parse({"--pid=-5"}).fResult, 0);
    EXPECT_EQ(fPid, -5);
    // Written as two arguments, "-5" is taken for short options, not for the value.
    CapturedParse parsed = Parse({"--pid", "-5"});
    EXPECT_EQ(parsed.fResult, 1);
    EXPECT_EQ(parsed.fErr, "error: missing value for option --pid\n");
}

TEST(VCommandLineParserTest, FlagsOfEveryKindWhenGivenWithoutValue) {
    std::vector<VString> arguments = Arguments({"-a", "-b", "-c", "-d"});
    VCommandLineParser parser(arguments);
    int number = 7;
    VString text("old");
    std::vector<VString> list{VString("a"), VString("b")};
    unsigned long long big = 9;
    parser.AddOption(u'a', VString(), &number, VString(), false);
    parser.AddOption(u'b', VString(), &text, VString(), false);
    parser.AddOption(u'c', VString(), &list, VString(), false);
    parser.AddOption(u'd', VString(), &big, VString(), false);
    ASSERT_EQ(parser.Parse(), 0);
    EXPECT_EQ(number, 1);
    EXPECT_EQ(UTF8(text), "1");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list[0].IsEmpty());
    EXPECT_EQ(big, 1u);
}

TEST(VCommandLineParserTest, ListOptionCollectsEveryValue) {
    std::vector<VString> arguments = Arguments({"-I", "a", "--include=b", "-I", "c"});
    VCommandLineParser parser(arguments);
    std::vector<VString> includes;
    parser.AddOption(u'I', VString("include"), &includes, VString(), true);
    ASSERT_EQ(parser.Parse(), 0);
    ASSERT_EQ(includes.size(), 3u);
    EXPECT_EQ(UTF8(includes[2]), "c");
}

TEST(VCommandLineParserTest, NameDeclaredTwiceReachesTheLaterOptionAndKeepsBothEntries) {
    std::vector<VString> arguments = Arguments({"--level", "4", "-l", "5"});
    VCommandLineParser parser(arguments);
    int first = 0;
    int second = 0;
    parser.AddOption(u'l', VString("level"), &first, VString(), true);
    parser.AddOption(u'l', VString("level"), &second, VString(), true);
    ASSERT_EQ(parser.Parse(), 0);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 5);
    EXPECT_EQ(parser.GetOptions().GetEntries().size(), 2u);
}

TEST(VCommandLineParserTest, FlagLeavesTheNextArgumentPositional) {
    std::vector<VString> arguments = Arguments({"--verbose", "yes"});
    VCommandLineParser parser(arguments);
    bool verbose = false;
    std::vector<VString> positional;
    parser.AddOption(u' ', VString("verbose"), &verbose, VString(), false);
    parser.SetPositionalArguments(&positional);
    ASSERT_EQ(parser.Parse(), 0);
    EXPECT_TRUE(verbose);
    ASSERT_EQ(positional.size(), 1u);
}

TEST(VCommandLineParserTest, ClearForgetsEveryDeclaration) {
    std::vector<VString> arguments = Arguments({"--pid", "1"});
    VCommandLineParser parser(arguments);
    int pid = 0;
    std::vector<VString> positional;
    parser.AddOption(u'p', VString("pid"), &pid, VString(), true);
    parser.AddParagraph(VString("text"));
    parser.SetPositionalArguments(&positional);
    parser.Clear();
    EXPECT_TRUE(parser.GetOptions().GetEntries().empty());
    EXPECT_EQ(parser.GetOptions().GetPositionalReceiver(), nullptr);
    CapturedParse parsed = ParseCapturing(parser);
    EXPECT_EQ(parsed.fErr, "error: unknown option `pid`\n");
    EXPECT_EQ(pid, 0);
}

TEST(VCommandLineParserTest, SecondPositionalReceiverReplacesTheFirst) {
    std::vector<VString> arguments = Arguments({"a"});
    VCommandLineParser parser(arguments);
    std::vector<VString> first;
    std::vector<VString> second;
    parser.SetPositionalArguments(&first);
    parser.SetPositionalArguments(&second);
    ASSERT_EQ(parser.Parse(), 0);
    EXPECT_TRUE(first.empty());
    EXPECT_EQ(second.size(), 1u);
}

TEST(VCommandLineParserTest, DisabledParagraphsDeclareNothing) {
    std::vector<VString> arguments = Arguments({"a"});
    VCommandLineParser parser(arguments);
    parser.SetParagraphsEnabled(false);
    parser.AddParagraph(VString("text"));
    EXPECT_TRUE(parser.GetOptions().GetEntries().empty());
}

TEST(VCommandLineParserTest, ValidateLongOptionName) {
    EXPECT_TRUE(VCommandLineParser::ValidateLongOptionName(VString()));
    EXPECT_TRUE(VCommandLineParser::ValidateLongOptionName(VString("outdated-app")));
    EXPECT_TRUE(VCommandLineParser::ValidateLongOptionName(VString("v2")));
    EXPECT_FALSE(VCommandLineParser::ValidateLongOptionName(VString("v")));
    EXPECT_FALSE(VCommandLineParser::ValidateLongOptionName(VString("-app")));
    EXPECT_FALSE(VCommandLineParser::ValidateLongOptionName(VString("app-")));
    EXPECT_FALSE(VCommandLineParser::ValidateLongOptionName(VString("Pid")));
    EXPECT_FALSE(VCommandLineParser::ValidateLongOptionName(VString("log_dir")));
    EXPECT_FALSE(VCommandLineParser::ValidateLongOptionName(VString("pid=")));
    EXPECT_FALSE(VCommandLineParser::ValidateLongOptionName(VString("é-e")));
}

TEST(VCommandLineParserTest, ValidateShortOptionName) {
    for (UniChar c : std::u16string_view(u"aZ09 "))
        EXPECT_TRUE(VCommandLineParser::ValidateShortOptionName(c)) << static_cast<int>(c);
    EXPECT_TRUE(VCommandLineParser::ValidateShortOptionName(0));
    for (UniChar c : std::u16string_view(u"-?=\t\u00e9"))
        EXPECT_FALSE(VCommandLineParser::ValidateShortOptionName(c)) << static_cast<int>(c);
}

TEST(VCommandLineParserTest, PrintWritesALineOnEachStream) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    VCommandLineParser::Print(VString("version 1.0 é"));
    EXPECT_EQ(VCommandLineParser::PrintArgumentError(VString("bad")), 1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "bad\n");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "version 1.0 \xC3\xA9\n");
}

/// Standard input redirected to a file or folder for one test, then back to /dev/null.
class StandardInputTest : public ::testing::Test {
protected:
    void RedirectStandardInput(const std::string& inPath) {
        ASSERT_NE(std::freopen(inPath.c_str(), "r", stdin), nullptr) << inPath;
    }
    void TearDown() override { std::freopen("/dev/null", "r", stdin); }

    vkit::testing::VTestTempFolder fFolder;
};

TEST_F(StandardInputTest, DashValuesShareStandardInputReadOnce) {
    RedirectStandardInput(fFolder.WriteFile("input.txt", "line one\nl\xC3\xA9ne two\n"));
    std::vector<VString> arguments = Arguments({"--first=-", "--second=-", "--", "-"});
    VCommandLineParser parser(arguments);
    VString first;
    VString second;
    std::vector<VString> positional;
    parser.AddOption(u' ', VString("first"), &first, VString(), true);
    parser.AddOption(u' ', VString("second"), &second, VString(), true);
    parser.SetPositionalArguments(&positional);
    parser.SetReadsStandardInput(true);
    CapturedParse parsed = ParseCapturing(parser);
    ASSERT_EQ(parsed.fResult, 0) << parsed.fErr;
    EXPECT_EQ(UTF8(first), "line one\nl\xC3\xA9ne two\n");
    EXPECT_EQ(UTF8(second), UTF8(first));
    ASSERT_EQ(positional.size(), 1u);
    EXPECT_EQ(UTF8(positional[0]), UTF8(first));
}

TEST_F(StandardInputTest, DashIsAnOrdinaryValueUnlessAsked) {
    RedirectStandardInput(fFolder.WriteFile("input.txt", "ignored"));
    std::vector<VString> arguments = Arguments({"--first=-"});
    VCommandLineParser parser(arguments);
    VString first;
    parser.AddOption(u' ', VString("first"), &first, VString(), true);
    ASSERT_EQ(parser.Parse(), 0);
    EXPECT_EQ(UTF8(first), "-");
}

TEST_F(StandardInputTest, UnreadableStandardInputNamesTheOption) {
    // Reading a folder fails (EISDIR) for root too.
    RedirectStandardInput(fFolder.MakeFolder("folder"));
    std::vector<VString> arguments = Arguments({"-f", "--", "-"});
    VCommandLineParser parser(arguments);
    VString first;
    parser.AddOption(u'f', VString("first"), &first, VString(), true);
    parser.SetReadsStandardInput(true);
    CapturedParse parsed = ParseCapturing(parser);
    EXPECT_EQ(parsed.fResult, 1);
    EXPECT_EQ(parsed.fErr, "error: failed to read from stdin for option `f`\n");

    std::vector<VString> positionalArguments = Arguments({"--", "-"});
    VCommandLineParser positionalParser(positionalArguments);
    std::vector<VString> positional;
    positionalParser.SetPositionalArguments(&positional);
    positionalParser.SetReadsStandardInput(true);
    parsed = ParseCapturing(positionalParser);
    EXPECT_EQ(parsed.fErr, "error: failed to read from stdin for option ``\n");
}

} // namespace
