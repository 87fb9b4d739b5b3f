// Tests of VCommandLineParser: the parse algorithm, its value search, every message of its failures, the
// usage text and the JSON and manual-page descriptions of its declarations.
#include "cmdline/VCommandLineParser.h"

#include "cmdline/VArgOption.h"
#include "cmdline/VUsageFormatter.h"
#include "support/VTestTempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace vkit;
using namespace vkit::testing;

namespace {

/// An argument vector: "prog" followed by the given arguments.
std::vector<VString> Arguments(const std::vector<const char*>& inArguments) {
    std::vector<VString> arguments{VString("prog")};
    for (const char* argument : inArguments)
        arguments.emplace_back(argument);
    return arguments;
}

/// What a program declares, entries of every shape, and the variables they fill.
struct DeclaredOptions {
    int fPid = -1;
    bool fSilent = false, fX = false;
    VString fName{"?"};
    VString fY;
    unsigned int fCount = 0;
    std::vector<VString> fPositional;

    void Declare(VCommandLineParser& ioParser, bool inWithPositional = true) {
        ioParser.AddParagraph(VString("Options of\tthe updater:"));
        ioParser.AddOption(u' ', VString("pid"), &fPid, VString("Wait for\tthe caller's pid"), true);
        ioParser.AddOption(u' ', VString("silent"), &fSilent, VString("No \"message\""), false);
        ioParser.AddOption(u'n', VString("name"), &fName, VString("A name"), true);
        ioParser.AddOption(u'x', VString(), &fX, VString("Flag x"), false);
        ioParser.AddOption(u'y', VString(), &fY, VString("Value y"), true);
        ioParser.AddParagraph(VString("\nMore \"help\":\n"));
        ioParser.AddOption(u'c', VString("count"), &fCount, VString("Count"), true);
        ioParser.AddOption(u' ', VString("secret"), &fPid, VString("Hidden"), true);
        ioParser.GetOptions().GetEntries().back()->SetHidden(true);
        if (inWithPositional)
            ioParser.SetPositionalArguments(&fPositional);
    }
};

std::string S(size_t inCount) {
    return std::string(inCount, ' ');
}

// The usage of the declarations: standard output is a captured file, not a terminal, so no colour; a
// paragraph first, so no empty line after the first; the hidden option left out.
const std::string kUsage = "Usage: prog [OPTION]... [FILE]...\nOptions ofthe updater:\n" + S(6) +
                           "--pid=VALUE" + S(12) + "Wait forthe caller's pid\n" + S(6) + "--silent" + S(15) +
                           "No \"message\"\n" + "  -n, --name=VALUE" + S(11) + "A name\n  -x" + S(20) +
                           "Flag x\n  -y VALUE" + S(14) + "Value y\n\nMore \"help\":\n\n  -c, --count=VALUE" +
                           S(10) + "Count\n  -h, --help" + S(17) + "Display the help and exit\n";

std::string Usage(const VCommandLineParser& inParser) {
    VString text;
    VUsageFormatter(false).BuildUsage(inParser.GetOptions(), VString("prog"), text);
    return text.ToUTF8();
}

/// Parses, answering the result, " <usage>" for the usage of the declarations or " <out>" and what was
/// written on standard output, and " ! " followed by what was written on standard error.
std::string ParseCapturing(VCommandLineParser& ioParser) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    std::string outcome = std::to_string(ioParser.Parse()), err = ::testing::internal::GetCapturedStderr();
    std::string out = ::testing::internal::GetCapturedStdout();
    outcome += out.empty() ? "" : out == kUsage ? " <usage>" : " <out> " + out;
    return err.empty() ? outcome : outcome + " ! " + err;
}

const char* const kInput = "line one\nl\xC3\xA9ne two\n";

/// Parses the arguments with the declarations of every shape, reading standard input for "-" when
/// asked. Answers the outcome of the parse with the variables that changed and the positional arguments
/// ("+a") after the result.
std::string Outcome(const std::vector<const char*>& inArguments, bool inWithPositional, bool inInput) {
    std::vector<VString> arguments = Arguments(inArguments);
    VCommandLineParser parser(arguments);
    DeclaredOptions o;
    o.Declare(parser, inWithPositional);
    parser.SetReadsStandardInput(inInput);
    std::string parsed = ParseCapturing(parser);
    auto text = [](const VString& inValue) { return inValue == kInput ? "<in>" : inValue.ToUTF8(); };
    std::string outcome = parsed.substr(0, 1);
    outcome += (o.fPid != -1 ? " pid=" + std::to_string(o.fPid) : "") + (o.fSilent ? " silent" : "");
    outcome += (o.fName == "?" ? "" : " name=" + text(o.fName)) + (o.fX ? " x" : "");
    outcome +=
        (o.fY.IsEmpty() ? "" : " y=" + text(o.fY)) + (o.fCount ? " count=" + std::to_string(o.fCount) : "");
    for (const VString& value : o.fPositional)
        outcome += " +" + text(value);
    return outcome + parsed.substr(1);
}

TEST(VCommandLineParserTest, Table) {
    struct Case {
        std::vector<const char*> fArguments;
        std::string fOutcome;
        bool fWithPositional = true;
        char fInput = 0; // standard input read for "-": 'f' from a file, 'd' from a folder, which fails
    };
    const std::string cut(90, '7'),
        count = "1 ! invalid value for argument '-c, --count' got \"" + cut.substr(10),
        tail = " expected an unsigned integral\n";
    const Case cases[] = {
        {{"--name", "b"}, "0 name=b"},
        {{"--name=c=d"}, "0 name=c=d"},
        {{"--name="}, "0 name="},
        {{"--silent", "--", "--pid", "7", "-x", "--", "-"}, "0 silent +--pid +7 +-x +-- +-"},
        // The value search walks over options, which are handled later at their own index.
        {{"--pid", "--silent", "42", "a"}, "0 pid=42 silent +a"},
        // A "--" met by the search ends the options: --silent is then a consumed positional argument.
        {{"--pid", "--silent", "--", "42", "x"}, "0 pid=42 +x"},
        {{"--name", "--"}, "1 ! error: missing value for option -n, --name\n"},
        // Bundled letters: x is a flag, y and n take the following non-option arguments in turn.
        {{"-xyn", "--silent", "vy", "vn", "p"}, "0 silent name=vn x y=vy +p"},
        {{"-xy"}, "1 x ! error: missing value for option -y\n"},
        {{"-ApplePersistenceIgnoreState", "YES", "a", "-NSDocumentRevisionsDebugMode", "NO", "b"}, "0 +a +b"},
        // Standard input is read once, as UTF-8, for every "-" value; "-" is an ordinary value unless asked.
        {{"--name=-", "--", "-"}, "0 name=- +-"},
        {{"--name=-", "--", "-"}, "0 name=<in> +<in>", true, 'f'},
        {{"--", "-"}, "1 ! error: failed to read from stdin for option ``\n", true, 'd'},
        {{"--help"}, "2 <usage>"},
        {{"-?"}, "2 <usage>"},
        {{"-xh!"}, "2 x <usage>"}, // the letters after h are not looked at
        {{"--help=1"}, "1 ! error: invalid value for option  `help`\n"},
        {{"--nope"}, "1 ! error: unknown option `nope`\n"},
        {{"-x-"}, "1 x ! error: unknown option `-`\n"},
        {{"file"}, "1 ! error: unknown option `file`\n", false},
        {{"--silent=1"}, "1 ! error: a value for option `silent` is not required\n"},
        {{"--pid"}, "1 ! error: missing value for option --pid\n"},
        {{"--pid", "-5"}, "1 ! error: missing value for option --pid\n"},
        {{"-"}, "1 ! error: missing short option `-`\n"},
        {{"--pid", "abc"}, "1 ! invalid value for argument '--pid' got \"abc\" expected a signed integral\n"},
        {{"--pid="}, "1 ! invalid value for argument '--pid' got empty value expected a signed integral\n"},
        // A rejected value is shown up to 80 characters.
        {{"-c", cut.c_str() + 10}, count + "\"" + tail},
        {{"-c", cut.c_str()}, count + "...\"" + tail},
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
    // Help names declared by the program are its own options, and the built-in help entry keeps the names
    // left, after the declared ones; a name declared twice reaches the later declaration.
    std::vector<VString> arguments = Arguments({"-h", "--help", "-?", "--level", "4", "-l", "5"});
    VCommandLineParser parser(arguments);
    bool flags[3] = {};
    int level[2] = {};
    parser.AddOption(u'h', VString("host"), &flags[0], VString("Host"), false);
    EXPECT_EQ(Usage(parser), "Usage: prog [OPTION]...\n\n  -h, --host" + S(17) + "Host\n" + S(6) + "--help" +
                                 S(17) + "Display the help and exit\n");
    parser.AddOption(u' ', VString("help"), &flags[1], VString("Own help"), false);
    parser.AddOption(u'?', VString(), &flags[2], VString("Ask"), false);
    parser.AddOption(u'l', VString("level"), &level[0], VString(), true);
    parser.AddOption(u'l', VString("level"), &level[1], VString(), true);
    EXPECT_EQ(Usage(parser).find("Display the help and exit"), std::string::npos);
    EXPECT_EQ(ParseCapturing(parser), "0");
    EXPECT_EQ(std::to_string(flags[0] && flags[1] && flags[2]) + std::to_string(level[0] * 10 + level[1]),
              "15");

    // An option without names is shown as anonymous in the message of a rejected value.
    Private::CommandLineParser::VArgOption<bool> option(u' ', VString(), &flags[0], VString(), true);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(option.AppendArgument(parser, VString("maybe")), 1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "invalid value for argument '<anonymous>' got \"maybe\" expected 0, 1, true or false\n");
}

TEST(VCommandLineParserTest, ValidateNames) {
    std::string valid;
    for (const char* name :
         {"", "outdated-app", "v2", "zq-log", "v", "-app", "app-", "Pid", "log_dir", "pid=", "é-e"})
        valid += VCommandLineParser::ValidateLongOptionName(VString(name)) ? '1' : '0';
    for (UniChar c : std::u16string_view(u"aZ09 \0-?=\t\u00e9", 11))
        valid += VCommandLineParser::ValidateShortOptionName(c) ? '1' : '0';
    EXPECT_EQ(valid, "1111000000011111100000");
}

TEST(VUsageFormatterTest, EntriesOfTheUsageText) {
    // Names start at column 2; descriptions at column 24 after a lone short name, else at column 29, or on
    // the next line when the name reaches it. Descriptions over 50 characters and paragraphs over 79 are
    // broken at the last space, full stop, carriage return, line feed or tab within 49 or 79 characters,
    // which disappears; a line feed always ends the line. An entry without names is a paragraph.
    struct Case {
        UniChar fShort;
        const char* fLong;
        std::string fText;
        bool fValue;
        std::string fExpected;
        bool fColour = false;
    };
    const std::string x44(44, 'x'), x50(50, 'x'), x60(60, 'x'), fifty = std::string(45, 'a') + " bb.c";
    const std::string eighty = std::string(75, 'q') + " rr.s";
    const Case cases[] = {
        {u'v', "verbose", "Talk", false, "  -v, --verbose" + S(14) + "Talk\n"},
        {u' ', "abcdefghijklmn", "D", true, S(6) + "--abcdefghijklmn=VALUE D\n"},
        {u' ', "abcdefghijklmno", "D", true, S(6) + "--abcdefghijklmno=VALUE\n" + S(29) + "D\n"},
        {u'q', "", fifty, false, "  -q" + S(20) + fifty + "\n"},
        {u'q', "", x44 + ".yyyyyyyyyy z", false, "  -q" + S(20) + x44 + "\n" + S(29) + "yyyyyyyyyy z\n"},
        {u'q', "", x60 + " y", false, "  -q" + S(20) + x60 + "\n" + S(29) + "y\n"},
        {u'q', "", "ab\n" + x50, false, "  -q" + S(20) + "ab\n" + S(29) + x50 + "\n"},
        {u'q', "", x50 + "\n", false, "  -q" + S(20) + x50 + "\n" + S(29) + "\n"},
        {u'q', "", x44 + "\rbbbbbbbbbbb\tc", false, "  -q" + S(20) + x44 + "\n" + S(29) + "bbbbbbbbbbb\tc\n"},
        {u' ', "", eighty, false, eighty + "\n\n"},
        {u' ', "", std::string(75, 'q') + " r.sssss t", false, std::string(75, 'q') + " r\nsssss t\n\n"},
        {u' ', "", "", false, ""},
        {u' ', "pid", "Pid", true, "\033[0;32m" + S(6) + "--pid=VALUE" + S(12) + "\033[0mPid\n", true},
        {u' ', "", "Help:", false, "\033[0;33mHelp:\033[0m\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fExpected);
        VString text;
        VUsageFormatter formatter(c.fColour);
        if (c.fShort == u' ' && c.fLong[0] == 0)
            formatter.AppendParagraph(VString(c.fText.c_str()), text);
        else
            formatter.AppendOption(c.fShort, VString(c.fLong), VString(c.fText.c_str()), c.fValue, text);
        EXPECT_EQ(text.ToUTF8(), c.fExpected);
    }
}

TEST(VOptionsExporterTest, JSONDescription) {
    // Every declared entry, the hidden one included; texts escaped as JSON string content.
    std::vector<VString> arguments = Arguments({"a \"b\"", "c\\d\te\x7F\b\f\r\x01\x1F/\xC3\xA9"});
    VCommandLineParser parser(arguments);
    VString name;
    bool flag = false;
    parser.AddParagraph(VString("P\t"));
    parser.AddOption(u'n', VString("name"), &name, VString("A \"name\""), true);
    parser.AddOption(u'x', VString(), &flag, VString("X"), false);
    parser.GetOptions().GetEntries().back()->SetHidden(true);
    VString json("previous text");
    parser.ExportAsJSON(json);
    EXPECT_EQ(json.ToUTF8(),
              "{\n\t\"arguments\": {\n\t\t\"count\": 3,\n\t\t\"values\": [\n\t\t\t\"prog\","
              "\n\t\t\t\"a \\\"b\\\"\",\n\t\t\t\"c\\\\d\\te\\u007F\\b\\f\\r\\u0001\\u001F/\xC3\xA9\"\n\t\t]"
              "\n\t},\n\t\"options\": {\n\t\t\"count\": 3,\n\t\t\"values\": [\n\t\t\t{\n\t\t\t\t\"paragraph"
              "\": \"P\\t\"\n\t\t\t},\n\t\t\t{\n\t\t\t\t\"shortName\": \"n\",\n\t\t\t\t\"longName\": \"name"
              "\",\n\t\t\t\t\"requiresValue\": true,\n\t\t\t\t\"description\": \"A \\\"name\\\"\"\n\t\t\t},"
              "\n\t\t\t{\n\t\t\t\t\"shortName\": \"x\",\n\t\t\t\t\"description\": \"X\"\n\t\t\t}\n\t\t]\n\t"
              "}\n}\n");
}

TEST(VOptionsExporterTest, ManPageSection) {
    // The paragraph before any option is left out, and so is the hidden option.
    std::vector<VString> arguments = Arguments({"a"});
    VCommandLineParser parser(arguments);
    DeclaredOptions declared;
    declared.Declare(parser);
    VString page("PAGE\n");
    parser.ExportAsManPage(page);
    EXPECT_EQ(page.ToUTF8(), "PAGE\n.SH OPTIONS\n.TP\n.BR \\-\\-pid=\\fIVALUE\\fR\nWait forthe caller's pid\n"
                             ".TP\n.BR \\-\\-silent\nNo \"message\"\n"
                             ".TP\n.BR \\-n \", \" \\-\\-name=\\fIVALUE\\fR\nA name\n"
                             ".TP\n.BR \\-x\nFlag x\n.TP\n.BR \\-y \\fIVALUE\\fR\nValue y\n"
                             ".SS \"More \\\"help\\\":\"\n"
                             ".TP\n.BR \\-c \", \" \\-\\-count=\\fIVALUE\\fR\nCount\n");
}

} // namespace
