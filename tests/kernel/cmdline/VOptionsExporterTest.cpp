// Tests of the JSON description and the manual-page section of a parser's declarations.
#include "cmdline/VOptionsExporter.h"

#include "CommandLineTestSupport.h"
#include "cmdline/VCommandLineParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using vkit::VCommandLineParser;
using vkit::VOptionsExporter;
using vkit::VString;
using vkit::testing::Arguments;
using vkit::testing::UTF8;

namespace {

std::string JSON(const VCommandLineParser& inParser) {
    VString text("previous text");
    inParser.ExportAsJSON(text);
    return UTF8(text);
}

TEST(VOptionsExporterTest, JSONOfAParserWithoutOptions) {
    std::vector<VString> arguments = Arguments({});
    VCommandLineParser parser(arguments);
    EXPECT_EQ(JSON(parser), "{\n"
                            "\t\"arguments\": {\n"
                            "\t\t\"count\": 1,\n"
                            "\t\t\"values\": [\n"
                            "\t\t\t\"prog\"\n"
                            "\t\t]\n"
                            "\t},\n"
                            "\t\"options\": {\n"
                            "\t\t\"count\": 0,\n"
                            "\t\t\"values\": [\n"
                            "\t\t]\n"
                            "\t}\n"
                            "}\n");
}

TEST(VOptionsExporterTest, JSONOfEveryKindOfEntry) {
    std::vector<VString> arguments = Arguments({"a \"b\"", "c\\d\te\x7F"});
    VCommandLineParser parser(arguments);
    int pid = 0;
    bool quiet = false;
    int hidden = 0;
    parser.AddParagraph(VString("Intro\n"));
    parser.AddOption(u'p', VString("pid"), &pid, VString("The \"pid\""), true);
    parser.AddOption(u'q', VString(), &quiet, VString("Quiet"), false);
    parser.AddOption(u' ', VString("secret"), &hidden, VString("Hidden"), true);
    parser.GetOptions().GetEntries().back()->SetHidden(true);
    EXPECT_EQ(JSON(parser), "{\n"
                            "\t\"arguments\": {\n"
                            "\t\t\"count\": 3,\n"
                            "\t\t\"values\": [\n"
                            "\t\t\t\"prog\",\n"
                            "\t\t\t\"a \\\"b\\\"\",\n"
                            "\t\t\t\"c\\\\d\\te\\u007F\"\n"
                            "\t\t]\n"
                            "\t},\n"
                            "\t\"options\": {\n"
                            "\t\t\"count\": 4,\n"
                            "\t\t\"values\": [\n"
                            "\t\t\t{\n"
                            "\t\t\t\t\"paragraph\": \"Intro\\n\"\n"
                            "\t\t\t},\n"
                            "\t\t\t{\n"
                            "\t\t\t\t\"shortName\": \"p\",\n"
                            "\t\t\t\t\"longName\": \"pid\",\n"
                            "\t\t\t\t\"requiresValue\": true,\n"
                            "\t\t\t\t\"description\": \"The \\\"pid\\\"\"\n"
                            "\t\t\t},\n"
                            "\t\t\t{\n"
                            "\t\t\t\t\"shortName\": \"q\",\n"
                            "\t\t\t\t\"description\": \"Quiet\"\n"
                            "\t\t\t},\n"
                            "\t\t\t{\n"
                            "\t\t\t\t\"longName\": \"secret\",\n"
                            "\t\t\t\t\"requiresValue\": true,\n"
                            "\t\t\t\t\"description\": \"Hidden\"\n"
                            "\t\t\t}\n"
                            "\t\t]\n"
                            "\t}\n"
                            "}\n");
}

TEST(VOptionsExporterTest, JSONStringContentEscapes) {
    VString text;
    const char16_t raw[] = {u'"', u'\\', u'\b', u'\f', u'\n',     u'\r', u'\t',
                            1,    0x1F,  0x7F,  u'/',  u'\u00e9', 0};
    VOptionsExporter::AppendJSONStringContent(VString(raw), text);
    EXPECT_EQ(UTF8(text), "\\\"\\\\\\b\\f\\n\\r\\t\\u0001\\u001F\\u007F/\xC3\xA9");
}

TEST(VOptionsExporterTest, PrintAllArgumentsEndsWithALineFeedOnTheChosenStream) {
    std::vector<VString> arguments = Arguments({});
    VCommandLineParser parser(arguments);
    VString json;
    parser.ExportAsJSON(json);
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    parser.PrintAllArguments(true);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), UTF8(json) + "\n");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST(VOptionsExporterTest, ManPageSection) {
    std::vector<VString> arguments = Arguments({"a"});
    VCommandLineParser parser(arguments);
    int pid = 0;
    int count = 0;
    bool quiet = false;
    bool verbose = false;
    int hidden = 0;
    parser.AddParagraph(VString("Skipped before any option"));
    parser.AddOption(u'p', VString("pid"), &pid, VString("The\tpid\nof the caller"), true);
    parser.AddOption(u'n', VString(), &count, VString("Count"), true);
    parser.AddOption(u'q', VString(), &quiet, VString("Quiet"), false);
    parser.AddOption(u' ', VString("secret"), &hidden, VString("Hidden"), true);
    parser.GetOptions().GetEntries().back()->SetHidden(true);
    parser.AddParagraph(VString("\nMore \"help\":\n"));
    parser.AddOption(u' ', VString("verbose"), &verbose, VString("Talk"), false);
    VString page("PAGE\n");
    parser.ExportAsManPage(page);
    EXPECT_EQ(UTF8(page), "PAGE\n"
                          ".SH OPTIONS\n"
                          ".TP\n"
                          ".BR \\-p \", \" \\-\\-pid=\\fIVALUE\\fR\n"
                          "Thepidof the caller\n"
                          ".TP\n"
                          ".BR \\-n \\fIVALUE\\fR\n"
                          "Count\n"
                          ".TP\n"
                          ".BR \\-q\n"
                          "Quiet\n"
                          ".SS \"More \\\"help\\\":\"\n"
                          ".TP\n"
                          ".BR \\-\\-verbose\n"
                          "Talk\n");
}

} // namespace
