// Tests of the usage text: the option columns, paragraphs, line breaking, the built-in help and colour.
#include "cmdline/VUsageFormatter.h"

#include "CommandLineTestSupport.h"
#include "cmdline/VCommandLineParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using vkit::VCommandLineParser;
using vkit::VString;
using vkit::VUsageFormatter;
using vkit::testing::Arguments;
using vkit::testing::CapturedParse;
using vkit::testing::ParseCapturing;
using vkit::testing::UTF8;

namespace {

std::string Spaces(size_t inCount) {
    return std::string(inCount, ' ');
}

std::string OptionText(char16_t inShortName, const char* inLongName, const char* inDescription,
                       bool inRequiresValue, bool inColour = false) {
    VString text;
    VUsageFormatter(inColour).AppendOption(inShortName, VString(inLongName), VString(inDescription),
                                           inRequiresValue, text);
    return UTF8(text);
}

std::string Usage(const VCommandLineParser& inParser, bool inColour = false) {
    VString text;
    VUsageFormatter(inColour).BuildUsage(inParser.GetOptions(), VString("prog"), text);
    return UTF8(text);
}

std::string Broken(const std::string& inText, int inLimit, int inIndent) {
    VString text;
    VUsageFormatter::BreakLines(VString(inText.c_str()), inLimit, inIndent, text);
    return UTF8(text);
}

TEST(VUsageFormatterTest, OptionColumns) {
    // Names start at column 2; descriptions at column 24 after a lone short name, else at column 29.
    EXPECT_EQ(OptionText(u' ', "pid", "Wait for the caller's pid", true),
              Spaces(6) + "--pid=VALUE" + Spaces(12) + "Wait for the caller's pid\n");
    EXPECT_EQ(OptionText(u'v', "verbose", "Talk", false), "  -v, --verbose" + Spaces(14) + "Talk\n");
    EXPECT_EQ(OptionText(u'p', "pid", "Pid", true), "  -p, --pid=VALUE" + Spaces(12) + "Pid\n");
    EXPECT_EQ(OptionText(u'n', "", "Count", true), "  -n VALUE" + Spaces(14) + "Count\n");
    EXPECT_EQ(OptionText(u'q', "", "Quiet", false), "  -q" + Spaces(20) + "Quiet\n");
    EXPECT_EQ(OptionText(0, "zero", "Z", false), Spaces(6) + "--zero" + Spaces(17) + "Z\n");
}

TEST(VUsageFormatterTest, LongNamesPushTheDescriptionToTheNextLine) {
    // With a value, 14 characters still fit; 15 push the description below, indented by 29 spaces.
    EXPECT_EQ(OptionText(u' ', "abcdefghijklmn", "D", true), Spaces(6) + "--abcdefghijklmn=VALUE D\n");
    EXPECT_EQ(OptionText(u' ', "abcdefghijklmno", "D", true),
              Spaces(6) + "--abcdefghijklmno=VALUE\n" + Spaces(29) + "D\n");
    // Flags: 20 characters fit, 21 do not.
    EXPECT_EQ(OptionText(u' ', "abcdefghijklmnopqrst", "D", false), Spaces(6) + "--abcdefghijklmnopqrst D\n");
    EXPECT_EQ(OptionText(u' ', "abcdefghijklmnopqrstu", "D", false),
              Spaces(6) + "--abcdefghijklmnopqrstu\n" + Spaces(29) + "D\n");
}

TEST(VUsageFormatterTest, DescriptionsOfFiftyCharactersStayWhole) {
    std::string fifty = std::string(45, 'a') + " bb.c";
    ASSERT_EQ(fifty.size(), 50u);
    EXPECT_EQ(OptionText(u'q', "", fifty.c_str(), false), "  -q" + Spaces(20) + fifty + "\n");
}

TEST(VUsageFormatterTest, LongDescriptionBrokenAtAFullStopThatDisappears) {
    std::string description = std::string(44, 'x') + "." + std::string(10, 'y') + " z";
    ASSERT_GE(description.size(), 51u);
    EXPECT_EQ(OptionText(u'q', "", description.c_str(), false),
              "  -q" + Spaces(20) + std::string(44, 'x') + "\n" + Spaces(29) + std::string(10, 'y') + " z\n");
}

TEST(VUsageFormatterTest, LongDescriptionBrokenAtTheLastSpaceWithinTheLimit) {
    std::string description = "Wait for the process of the calling application to end before the swap";
    EXPECT_EQ(OptionText(u' ', "pid", description.c_str(), true),
              Spaces(6) + "--pid=VALUE" + Spaces(12) + "Wait for the process of the calling application\n" +
                  Spaces(29) + "to end before the swap\n");
}

TEST(VUsageFormatterTest, LineBreaking) {
    // No break character: the whole text.
    EXPECT_EQ(Broken(std::string(60, 'x'), 49, 2), std::string(60, 'x') + "\n");
    // A word longer than the limit ends at the first break character after it.
    EXPECT_EQ(Broken(std::string(60, 'x') + " y", 49, 2), std::string(60, 'x') + "\n  y\n");
    // A line feed within the limit ends the line; its indentation follows.
    EXPECT_EQ(Broken("ab\ncd", 49, 3), "ab\n   cd\n");
    // Carriage returns and tabs are break characters, dropped where a line ends.
    EXPECT_EQ(Broken(std::string(8, 'a') + "\r" + std::string(8, 'b') + "\t" + "c", 10, 1),
              std::string(8, 'a') + "\n " + std::string(8, 'b') + "\tc\n");
    // A line ending at the last character leaves an empty, indented last line.
    EXPECT_EQ(Broken("ab\n", 49, 2), "ab\n  \n");
}

TEST(VUsageFormatterTest, UsageTextOfAParser) {
    std::vector<VString> arguments = Arguments({"a"});
    VCommandLineParser parser(arguments);
    int pid = -1;
    bool verbose = false;
    int hidden = 0;
    std::vector<VString> positional;
    parser.AddParagraph(VString("Intro\ttext"));
    parser.AddOption(u' ', VString("pid"), &pid, VString("Wait for\tthe caller's pid"), true);
    parser.AddOption(u' ', VString("secret"), &hidden, VString("Hidden"), true);
    parser.GetOptions().GetEntries().back()->SetHidden(true);
    parser.AddParagraph(VString());
    parser.AddOption(u'v', VString("verbose"), &verbose, VString("Talk"), false);
    parser.SetPositionalArguments(&positional);
    EXPECT_EQ(Usage(parser), "Usage: prog [OPTION]... [FILE]...\n"
                             "Introtext\n" +
                                 Spaces(6) + "--pid=VALUE" + Spaces(12) + "Wait forthe caller's pid\n" +
                                 "  -v, --verbose" + Spaces(14) + "Talk\n" + "  -h, --help" + Spaces(17) +
                                 "Display the help and exit\n");
}

TEST(VUsageFormatterTest, EmptyLineAfterTheUsageLineOnlyBeforeAnOption) {
    std::vector<VString> arguments = Arguments({"a"});
    VCommandLineParser parser(arguments);
    bool verbose = false;
    parser.AddOption(u' ', VString("verbose"), &verbose, VString("Talk"), false);
    EXPECT_EQ(Usage(parser).rfind("Usage: prog [OPTION]...\n\n" + Spaces(6) + "--verbose", 0), 0u);

    std::vector<VString> none = Arguments({});
    VCommandLineParser empty(none);
    EXPECT_EQ(Usage(empty),
              "Usage: prog [OPTION]...\n\n  -h, --help" + Spaces(17) + "Display the help and exit\n");
}

TEST(VUsageFormatterTest, BuiltInHelpEntryFollowsTheDeclaredNames) {
    std::vector<VString> arguments = Arguments({"a"});
    VCommandLineParser parser(arguments);
    bool host = false;
    parser.AddOption(u'h', VString("host"), &host, VString("Host"), false);
    std::string usage = Usage(parser);
    EXPECT_NE(usage.find("\n" + Spaces(6) + "--help" + Spaces(17) + "Display the help and exit\n"),
              std::string::npos)
        << usage;

    bool help = false;
    parser.AddOption(u' ', VString("help"), &help, VString("Own help"), false);
    EXPECT_EQ(Usage(parser).find("Display the help and exit"), std::string::npos);
}

TEST(VUsageFormatterTest, Paragraphs) {
    std::vector<VString> arguments = Arguments({"a"});
    VCommandLineParser parser(arguments);
    std::string seventyNine = std::string(71, 'p') + " ends.ok";
    std::string eighty = std::string(75, 'q') + " rr.s";
    ASSERT_EQ(seventyNine.size(), 79u);
    ASSERT_EQ(eighty.size(), 80u);
    VString text;
    VUsageFormatter formatter(false);
    formatter.AppendParagraph(VString(seventyNine.c_str()), text);
    EXPECT_EQ(UTF8(text), seventyNine + "\n");
    text.Clear();
    formatter.AppendParagraph(VString(eighty.c_str()), text);
    EXPECT_EQ(UTF8(text), eighty + "\n\n");
    text.Clear();
    formatter.AppendParagraph(VString((std::string(75, 'q') + " r." + std::string(5, 's') + " t").c_str()),
                              text);
    EXPECT_EQ(UTF8(text), std::string(75, 'q') + " r\nsssss t\n\n");
    text.Clear();
    formatter.AppendParagraph(VString(), text);
    EXPECT_EQ(UTF8(text), "");
}

TEST(VUsageFormatterTest, ColourSequencesAroundNamesAndParagraphs) {
    EXPECT_EQ(OptionText(u' ', "pid", "Pid", true, true),
              "\033[0;32m" + Spaces(6) + "--pid=VALUE" + Spaces(12) + "\033[0mPid\n");
    VString text;
    VUsageFormatter(true).AppendParagraph(VString("Help:"), text);
    EXPECT_EQ(UTF8(text), "\033[0;33mHelp:\033[0m\n");
}

TEST(VUsageFormatterTest, NoEscapeSequencesWithoutATerminal) {
    std::vector<VString> arguments = Arguments({"--help"});
    VCommandLineParser parser(arguments);
    int pid = 0;
    parser.AddParagraph(VString("Paragraph"));
    parser.AddOption(u'p', VString("pid"), &pid, VString("Pid"), true);
    CapturedParse parsed = ParseCapturing(parser); // standard output is a captured file, not a terminal
    ASSERT_EQ(parsed.fResult, VCommandLineParser::kParseHelpShown);
    EXPECT_EQ(parsed.fOut, "Usage: prog [OPTION]...\nParagraph\n  -p, --pid=VALUE" + Spaces(12) +
                               "Pid\n  -h, --help" + Spaces(17) + "Display the help and exit\n");
    EXPECT_EQ(parsed.fOut.find('\033'), std::string::npos);
}

} // namespace
