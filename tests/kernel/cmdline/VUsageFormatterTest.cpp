// Tests of the usage text: the option columns, paragraphs, line breaking, the built-in help and colour.
#include "cmdline/VUsageFormatter.h"

#include "CommandLineTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vkit;
using namespace vkit::testing;

namespace {

std::string S(size_t inCount) {
    return std::string(inCount, ' ');
}

std::string Usage(const VCommandLineParser& inParser) {
    VString text;
    VUsageFormatter(false).BuildUsage(inParser.GetOptions(), VString("prog"), text);
    return text.ToUTF8();
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
    const std::string seventyNine = std::string(71, 'p') + " ends.ok",
                      eighty = std::string(75, 'q') + " rr.s";
    const Case cases[] = {
        {u'v', "verbose", "Talk", false, "  -v, --verbose" + S(14) + "Talk\n"},
        {0, "zero", "Z", false, S(6) + "--zero" + S(17) + "Z\n"},
        {u' ', "abcdefghijklmn", "D", true, S(6) + "--abcdefghijklmn=VALUE D\n"},
        {u' ', "abcdefghijklmno", "D", true, S(6) + "--abcdefghijklmno=VALUE\n" + S(29) + "D\n"},
        {u' ', "abcdefghijklmnopqrst", "D", false, S(6) + "--abcdefghijklmnopqrst D\n"},
        {u' ', "abcdefghijklmnopqrstu", "D", false, S(6) + "--abcdefghijklmnopqrstu\n" + S(29) + "D\n"},
        {u'q', "", fifty, false, "  -q" + S(20) + fifty + "\n"},
        {u'q', "", x44 + ".yyyyyyyyyy z", false, "  -q" + S(20) + x44 + "\n" + S(29) + "yyyyyyyyyy z\n"},
        {u'q', "", "Wait for the process of the calling application to end", false,
         "  -q" + S(20) + "Wait for the process of the calling application\n" + S(29) + "to end\n"},
        {u'q', "", x60, false, "  -q" + S(20) + x60 + "\n"},
        {u'q', "", x60 + " y", false, "  -q" + S(20) + x60 + "\n" + S(29) + "y\n"},
        {u'q', "", "ab\n" + x50, false, "  -q" + S(20) + "ab\n" + S(29) + x50 + "\n"},
        {u'q', "", x50 + "\n", false, "  -q" + S(20) + x50 + "\n" + S(29) + "\n"},
        {u'q', "", x44 + "\rbbbbbbbbbbb\tc", false, "  -q" + S(20) + x44 + "\n" + S(29) + "bbbbbbbbbbb\tc\n"},
        {u' ', "", seventyNine, false, seventyNine + "\n"},
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

TEST(VUsageFormatterTest, UsageTextOfAParser) {
    // Standard output is a captured file, not a terminal: no colour. A paragraph first: no empty line.
    std::vector<VString> arguments = Arguments({"--help"});
    VCommandLineParser parser(arguments);
    DeclaredOptions declared;
    declared.Declare(parser);
    CapturedParse parsed = ParseCapturing(parser);
    EXPECT_EQ(parsed.fResult, VCommandLineParser::kParseHelpShown);
    EXPECT_EQ(parsed.fOut, "Usage: prog [OPTION]... [FILE]...\nOptions ofthe updater:\n" + S(6) +
                               "--pid=VALUE" + S(12) + "Wait forthe caller's pid\n" + S(6) + "--silent" +
                               S(15) + "No \"message\"\n" + "  -n, --name=VALUE" + S(11) + "A name\n  -x" +
                               S(20) + "Flag x\n  -y VALUE" + S(14) +
                               "Value y\n\nMore \"help\":\n\n  -c, --count=VALUE" + S(10) +
                               "Count\n  -h, --help" + S(17) + "Display the help and exit\n");

    // An option first: an empty line. The built-in help entry follows the declared names.
    VCommandLineParser declaring(arguments);
    bool host = false;
    declaring.AddOption(u'h', VString("host"), &host, VString("Host"), false);
    EXPECT_EQ(Usage(declaring), "Usage: prog [OPTION]...\n\n  -h, --host" + S(17) + "Host\n" + S(6) +
                                    "--help" + S(17) + "Display the help and exit\n");
    declaring.AddOption(u' ', VString("help"), &host, VString("Own help"), false);
    EXPECT_EQ(Usage(declaring).find("Display the help and exit"), std::string::npos);
}

} // namespace
