// Tests of the JSON writer: numbers, escapes, quoting, pretty printing, cycles, the cut, round trips.
#include "JSONTestSupport.h"

#include "errors/StErrorContextInstaller.h"
#include "support/StCommaNumericLocale.h"
#include "json/VJSONArray.h"
#include "json/VJSONErrorCodes.h"
#include "json/VJSONObject.h"
#include "json/VJSONWriter.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

using namespace vkit;
using namespace vkit::testing;

namespace {

std::string NumberText(double inNumber) {
    std::u16string text;
    VJSONWriter::AppendNumber(inNumber, text);
    return VString(static_cast<const UniChar*>(text.data()), static_cast<VIndex>(text.size())).ToUTF8();
}

VJSONValue ParseOK(const std::string& inText) {
    ParseOutcome outcome = Parse(inText);
    EXPECT_EQ(outcome.fResult, VE_OK) << inText;
    return outcome.fValue;
}

} // namespace

TEST(VJSONWriterTest, NumbersAsIntegersOrFourteenSignificantDigits) {
    EXPECT_EQ(NumberText(3.0), "3");
    EXPECT_EQ(NumberText(0.1), "0.1");
    EXPECT_EQ(NumberText(1e300), "1E+300");
    EXPECT_EQ(NumberText(-2.5), "-2.5");
    EXPECT_EQ(NumberText(-0.0), "0");
    EXPECT_EQ(NumberText(1.0 / 3), "0.33333333333333");
    EXPECT_EQ(NumberText(1e-7), "1E-07");
    EXPECT_EQ(NumberText(123456789012345678.0), "1.2345678901235E+17");
    // Fourteen digits: a large number with a fraction reads back as an integer.
    EXPECT_EQ(NumberText(2111111111111111.5), "2.1111111111111E+15");
    // The run of exact integers ends at 2^53 - 1.
    EXPECT_EQ(NumberText(9007199254740991.0), "9007199254740991");
    EXPECT_EQ(NumberText(-9007199254740991.0), "-9007199254740991");
    EXPECT_EQ(NumberText(9007199254740992.0), "9.007199254741E+15");
    EXPECT_EQ(NumberText(std::numeric_limits<double>::infinity()), "null");
    EXPECT_EQ(NumberText(-std::numeric_limits<double>::infinity()), "null");
    EXPECT_EQ(NumberText(std::numeric_limits<double>::quiet_NaN()), "null");
}

TEST(VJSONWriterTest, NumbersUseAPointUnderACommaLocale) {
    StCommaNumericLocale locale;
    if (!locale.IsActive())
        GTEST_SKIP() << "localedef could not build a locale with a decimal comma";
    EXPECT_EQ(NumberText(2.5), "2.5");
    EXPECT_EQ(NumberText(1.5e-7), "1.5E-07");
    // Reading does not follow the locale either.
    EXPECT_EQ(ParseOK("[2.5, 1e-400]").GetArray()->GetAt(0).GetNumber(), 2.5);
    EXPECT_EQ(VJSONValue(VString("12.5")).GetNumber(), 12.5);
}

TEST(VJSONWriterTest, EscapesControlsQuotesAndBackslashes) {
    const UniChar text[] = {8, 9, 10, 12, 13, u'"', u'\\', 1, 0x1F, 127, u'/', 0xE9, u'&', u'\'', 0};
    VJSONValue value(VString(text, 14));
    EXPECT_EQ(JSONOf(value), "\"\\b\\t\\n\\f\\r\\\"\\\\\\u0001\\u001F\\u007F/\xC3\xA9&'\"");
    EXPECT_EQ(JSONOf(VJSONValue(VString("a&b'c")),
                     VJSONWriter::kQuoteStrings | VJSONWriter::kEscapeAmpersandApostrophe),
              "\"a\\u0026b\\u0027c\"");
}

TEST(VJSONWriterTest, QuotesOnlyWithTheOption) {
    VJSONValue value = ParseOK("{\"name\":\"va\\\"lue\",\"list\":[\"x\",1,true,null]}");
    EXPECT_EQ(JSONOf(value, 0), "{name:va\\\"lue,list:[x,1,true,null]}");
    EXPECT_EQ(JSONOf(value), "{\"name\":\"va\\\"lue\",\"list\":[\"x\",1,true,null]}");
    EXPECT_EQ(JSONOf(VJSONValue()), "null");
}

TEST(VJSONWriterTest, PrettyPrintingIndentsWithTabs) {
    VJSONValue value = ParseOK("{\"a\":1,\"b\":[true,{\"c\":null},[]],\"d\":{}}");
    EXPECT_EQ(JSONOf(value, VJSONWriter::kQuoteStrings | VJSONWriter::kPretty), "{\n"
                                                                                "\t\"a\": 1,\n"
                                                                                "\t\"b\": [\n"
                                                                                "\t\ttrue,\n"
                                                                                "\t\t{\n"
                                                                                "\t\t\t\"c\": null\n"
                                                                                "\t\t},\n"
                                                                                "\t\t[]\n"
                                                                                "\t],\n"
                                                                                "\t\"d\": {}\n"
                                                                                "}");
}

TEST(VJSONWriterTest, DatesAreWrittenAsDateTexts) {
    VJSONValue date;
    date.SetDate(987, 1, 2);
    EXPECT_EQ(JSONOf(date), "\"0987-01-02\"");
    EXPECT_EQ(JSONOf(date, 0), "0987-01-02");
}

TEST(VJSONWriterTest, CyclesFailOrAreWrittenAsCircular) {
    VJSONValue array = ParseOK("[1,{\"k\":[]}]");
    VJSONValue inner = array.GetArray()->GetAt(1);
    inner.GetProperty("k").GetArray()->Push(array);
    {
        StErrorContextInstaller errors(false);
        VString text("previous");
        EXPECT_EQ(array.Stringify(text, VJSONWriter::kQuoteStrings), VE_JSON_CIRCULAR_REFERENCE);
        EXPECT_TRUE(text.IsEmpty());
        EXPECT_EQ(errors.GetLastError(), VE_JSON_CIRCULAR_REFERENCE);
    }
    EXPECT_EQ(JSONOf(array, VJSONWriter::kQuoteStrings | VJSONWriter::kCircularAsText),
              "[1,{\"k\":[\"[circular]\"]}]");
    // The same container twice, not inside itself, is no cycle.
    VJSONValue leaf = ParseOK("{\"x\":1}");
    VJSONValue twice = ParseOK("[]");
    twice.GetArray()->Push(leaf);
    twice.GetArray()->Push(leaf);
    EXPECT_EQ(JSONOf(twice), "[{\"x\":1},{\"x\":1}]");
    inner.GetProperty("k").GetArray()->Resize(0); // breaks the cycle so that the values can be freed
}

TEST(VJSONWriterTest, CutAfter512Characters) {
    VJSONValue array = ParseOK("[]");
    for (int i = 0; i < 1000; ++i)
        array.GetArray()->Push(VJSONValue(123456.0));
    std::string full = JSONOf(array);
    std::string cut = JSONOf(array, VJSONWriter::kQuoteStrings | VJSONWriter::kCutAt512);
    EXPECT_EQ(cut, full.substr(0, 512) + "...");

    VJSONValue longText(VString(std::string(600, 'x').c_str()));
    EXPECT_EQ(JSONOf(longText, VJSONWriter::kCutAt512), std::string(512, 'x') + "...");
    EXPECT_EQ(JSONOf(VJSONValue(VString(std::string(512, 'y').c_str())), VJSONWriter::kCutAt512),
              std::string(512, 'y'));
}

TEST(VJSONWriterTest, WrittenTextParsesBackToTheSameText) {
    const char* documents[] = {
        "{\"a\":[1,2.5,-3e-7,\"x\\u0001y\",true,false,null],\"b\":{\"c\":{}},\"\":\"\"}",
        "[\"\\\\\\\"\\b\\f\\n\\r\\t\",1E+300,[[[]]],{\"\\u00e9\":\"\\u2028\"}]",
        "\"plain\"",
        "-0.000123456789012345",
    };
    for (const char* document : documents) {
        for (uint32_t options :
             {VJSONWriter::kQuoteStrings, VJSONWriter::kQuoteStrings | VJSONWriter::kPretty}) {
            std::string written = JSONOf(ParseOK(document), options);
            ParseOutcome again = Parse(written, VJSONImporter::kStrict);
            ASSERT_EQ(again.fResult, VE_OK) << written;
            EXPECT_EQ(JSONOf(again.fValue, options), written);
        }
    }
}
