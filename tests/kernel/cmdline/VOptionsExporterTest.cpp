// Tests of the JSON description and the manual-page section of a parser's declarations.
#include "cmdline/VOptionsExporter.h"

#include "CommandLineTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vkit;
using namespace vkit::testing;

namespace {

std::string JSON(const VCommandLineParser& inParser) {
    VString text("previous text");
    inParser.ExportAsJSON(text);
    return text.ToUTF8();
}

TEST(VOptionsExporterTest, JSONDescription) {
    std::vector<VString> none = Arguments({});
    EXPECT_EQ(JSON(VCommandLineParser(none)),
              "{\n\t\"arguments\": {\n\t\t\"count\": 1,\n\t\t\"values\": [\n\t\t\t\"prog\"\n\t\t]\n\t},\n"
              "\t\"options\": {\n\t\t\"count\": 0,\n\t\t\"values\": [\n\t\t]\n\t}\n}\n");

    // Every declared entry, the hidden one included; texts escaped as JSON string content.
    std::vector<VString> arguments = Arguments({"a \"b\"", "c\\d\te\x7F\b\f\r\x01\x1F/\xC3\xA9"});
    VCommandLineParser parser(arguments);
    VString name;
    bool flag = false;
    parser.AddParagraph(VString("P\t"));
    parser.AddOption(u'n', VString("name"), &name, VString("A \"name\""), true);
    parser.AddOption(u'x', VString(), &flag, VString("X"), false);
    parser.GetOptions().GetEntries().back()->SetHidden(true);
    const std::string expected = "{\n\t\"arguments\": {\n\t\t\"count\": 3,\n\t\t\"values\": "
                                 "[\n\t\t\t\"prog\",\n\t\t\t\"a \\\"b\\\"\",\n"
                                 "\t\t\t\"c\\\\d\\te\\u007F\\b\\f\\r\\u0001\\u001F/"
                                 "\xC3\xA9\"\n\t\t]\n\t},\n\t\"options\": {\n\t\t\"count\": 3,\n"
                                 "\t\t\"values\": [\n\t\t\t{\n\t\t\t\t\"paragraph\": "
                                 "\"P\\t\"\n\t\t\t},\n\t\t\t{\n\t\t\t\t\"shortName\": \"n\",\n"
                                 "\t\t\t\t\"longName\": \"name\",\n\t\t\t\t\"requiresValue\": "
                                 "true,\n\t\t\t\t\"description\": \"A \\\"name\\\"\"\n"
                                 "\t\t\t},\n\t\t\t{\n\t\t\t\t\"shortName\": \"x\",\n\t\t\t\t\"description\": "
                                 "\"X\"\n\t\t\t}\n\t\t]\n\t}\n}\n";
    EXPECT_EQ(JSON(parser), expected);
    ::testing::internal::CaptureStderr();
    parser.PrintAllArguments(true);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), expected + "\n");
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
