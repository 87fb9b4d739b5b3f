// Tests of VString::Format: placeholders filled from the attributes of a bag.
#include "bags/VValueBag.h"
#include "text/VString.h"

#include <gtest/gtest.h>

#include <string>

using namespace vkit;

TEST(VStringFormatTest, PlaceholdersTakeTheBagsAttributes) {
    VValueBag bag;
    bag.SetString("a", VString("A"));
    bag.SetString("b", VString("Bee"));
    bag.SetLong("n", 42);
    bag.SetString("self", VString("{self}"));
    bag.SetString("open", VString("{"));
    bag.SetString("", VString("empty name"));
    bag.SetString("caf\xC3\xA9", VString("coffee"));
    bag.SetString("\xC2\x80", VString("first two-byte"));
    const std::string name64(64, 'k'), name100(100, 'l');
    bag.SetString(StPackedDictionaryKey(name64.c_str()), VString("64"));
    bag.SetString(StPackedDictionaryKey(name100.c_str()), VString("100"));
    bag.SetString("LogFilePath", VString("/var/log/zq/2024-01-02_03-04-05_log_1.txt"));
    struct Row {
        std::string text;
        std::string removing; // with placeholders without attribute removed
        std::string keeping;  // with them kept
    };
    const Row kRows[] = {
        {"More information is available in the log file '{LogFilePath}'",
         "More information is available in the log file '/var/log/zq/2024-01-02_03-04-05_log_1.txt'", ""},
        {"{a}{b}{a}", "ABeeA", ""},
        {"{n}%", "42%", ""},
        {"{{a}} {a}} {b}", "{{a}} {a}} Bee", ""}, // doubled braces are left alone
        {"{a b} { a} {b}", "{a b} { a} Bee", ""}, // braces around a space make no placeholder
        {"{}{a}", "{}A", ""},
        {"x{missing}y", "xy", "x{missing}y"},
        {"{missing}{a}", "A", "{missing}A"},
        {"{A}", "", "{A}"},             // names are exact
        {"{self}{b}", "{self}Bee", ""}, // inserted text is not scanned again
        {"{open}b}", "{b}", ""},
        {"{open}{b}", "{Bee", ""},
        {"{a} {b", "A {b", ""}, // an unclosed brace ends the scan
        {"{", "{", ""},
        {"{caf\xC3\xA9} {cafe}", "coffee ", "coffee {cafe}"},
        {"{\xC2\x80}", "first two-byte", ""},
        {"<{" + name64 + "}{" + name100 + "}>", "<64100>", ""},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.text);
        VString text(row.text.c_str());
        EXPECT_EQ(&text.Format(&bag, true), &text);
        EXPECT_EQ(text.ToUTF8(), row.removing);
        text = row.text.c_str();
        EXPECT_EQ(text.Format(&bag, false).ToUTF8(), row.keeping.empty() ? row.removing : row.keeping);
    }
    // Nothing changes without a bag or with an empty one.
    VValueBag empty;
    for (VValueBag* other : {static_cast<VValueBag*>(nullptr), &empty})
        EXPECT_EQ(VString("{a}").Format(other, true).ToUTF8(), "{a}");
}
