// Tests of the JSON writer: numbers, escapes, quoting, pretty printing, cycles and the cut.
#include "JSONTestSupport.h"

#include "support/StCommaNumericLocale.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

using namespace vkit;
using namespace vkit::testing;

namespace {

constexpr uint32_t kQuote = VJSONWriter::kQuoteStrings;

std::string NumberText(double inNumber) {
    std::u16string text;
    VJSONWriter::AppendNumber(inNumber, text);
    return VString(static_cast<const UniChar*>(text.data()), static_cast<VIndex>(text.size())).ToUTF8();
}

TEST(VJSONWriterTest, NumbersAsIntegersOrFourteenSignificantDigits) {
    const std::pair<double, const char*> cases[] = {
        {0.1, "0.1"},
        {1e300, "1E+300"},
        {-0.0, "0"},
        {1.0 / 3, "0.33333333333333"},
        {2111111111111111.5, "2.1111111111111E+15"}, // fourteen digits: reads back as an integer
        {-9007199254740991.0, "-9007199254740991"},  // the run of exact integers ends at 2^53 - 1
        {9007199254740992.0, "9.007199254741E+15"},
        {std::numeric_limits<double>::quiet_NaN(), "null"}};
    for (const auto& [number, text] : cases)
        EXPECT_EQ(NumberText(number), text);

    StCommaNumericLocale locale;
    if (!locale.IsActive())
        GTEST_SKIP() << "localedef could not build a locale with a decimal comma";
    EXPECT_EQ(NumberText(1.5e-7), "1.5E-07");
    // Reading does not follow the locale either.
    EXPECT_EQ(JSONOf(Parsed("[2.5, 1e-400]")), "[2.5,0]");
    EXPECT_EQ(VJSONValue(VString("12.5")).GetNumber(), 12.5);
}

TEST(VJSONWriterTest, EscapesQuotesLayoutAndCut) {
    const UniChar text[] = {8, 9, 10, 12, 13, u'"', u'\\', 1, 0x1F, 127, u'/', 0xE9, u'&', u'\'', 0};
    EXPECT_EQ(JSONOf(VJSONValue(VString(text, 14))),
              "\"\\b\\t\\n\\f\\r\\\"\\\\\\u0001\\u001F\\u007F/\xC3\xA9&'\"");
    EXPECT_EQ(JSONOf(VJSONValue(VString("a&b'c")), kQuote | VJSONWriter::kEscapeAmpersandApostrophe),
              "\"a\\u0026b\\u0027c\"");
    VJSONValue value = Parsed(R"({"name":"va\"lue","list":["x",1,true,null]})");
    EXPECT_EQ(JSONOf(value, 0), R"({name:va\"lue,list:[x,1,true,null]})");
    VJSONValue date;
    date.SetDate(987, 1, 2);
    EXPECT_EQ(JSONOf(date) + JSONOf(date, 0), "\"0987-01-02\"0987-01-02");
    value = Parsed(R"({"a":1,"b":[true,{"c":null},[]],"d":{}})");
    EXPECT_EQ(JSONOf(value, kQuote | VJSONWriter::kPretty),
              "{\n\t\"a\": 1,\n\t\"b\": [\n\t\ttrue,\n\t\t{\n\t\t\t\"c\": "
              "null\n\t\t},\n\t\t[]\n\t],\n\t\"d\": {}\n}");
    // Long texts cut after 512 characters.
    VJSONValue array = Parsed("[]");
    array.GetArray()->Resize(1000);
    std::string full = JSONOf(array);
    EXPECT_EQ(JSONOf(array, kQuote | VJSONWriter::kCutAt512), full.substr(0, 512) + "...");
    EXPECT_EQ(JSONOf(VJSONValue(VString(std::string(600, 'x').c_str())), VJSONWriter::kCutAt512),
              std::string(512, 'x') + "...");
}

TEST(VJSONWriterTest, CyclesFailOrAreWrittenAsCircular) {
    VJSONValue array = Parsed(R"([1,{"k":[]}])");
    VJSONValue inner = array.GetArray()->GetAt(1);
    inner.GetProperty("k").GetArray()->Push(array);
    {
        StErrorContextInstaller errors(false);
        VString text("previous");
        EXPECT_EQ(array.Stringify(text, kQuote), VE_JSON_CIRCULAR_REFERENCE);
        EXPECT_EQ(text.ToUTF8() + ErrorsOf(*errors.GetContext()), " 900");
    }
    EXPECT_EQ(JSONOf(array, kQuote | VJSONWriter::kCircularAsText), R"([1,{"k":["[circular]"]}])");
    // The same container twice, not inside itself, is no cycle.
    VJSONValue twice = Parsed(R"([{"x":1}])");
    twice.GetArray()->Push(twice.GetArray()->GetAt(0));
    EXPECT_EQ(JSONOf(twice), R"([{"x":1},{"x":1}])");
    inner.GetProperty("k").GetArray()->Resize(0); // breaks the cycle so that the values can be freed
}

} // namespace
