// Tests of the JSON values of times: the text form, the date form, null times and reading them back.
#include "JSONTestSupport.h"

#include "text/VTime.h"

#include <gtest/gtest.h>

using namespace vkit;
using namespace vkit::testing;

namespace {

VTime MakeTime(int16_t inYear, int16_t inMonth, int16_t inDay, int16_t inHour, int16_t inMinute,
               int16_t inSecond, int16_t inMillisecond) {
    VTime time;
    time.FromUTCTime(inYear, inMonth, inDay, inHour, inMinute, inSecond, inMillisecond);
    return time;
}

/// The time read back from a JSON value: its XML text, "null", or "fail" when it cannot be read.
std::string ReadBack(const VJSONValue& inValue) {
    VTime time = MakeTime(1999, 1, 2, 3, 4, 5, 6);
    bool read = time.FromJSONValue(inValue);
    VString text;
    time.GetXMLString(text, eRfc3339UTC);
    return !read ? (time.IsNull() ? "fail" : "fail, kept") : time.IsNull() ? "null" : text.ToUTF8();
}

TEST(VTimeJSONTest, WrittenAndReadBack) {
    // The default form is the UTC text, the date form a JSON date; a date reads back as midnight UTC.
    const VTime times[] = {MakeTime(2024, 5, 6, 7, 8, 9, 10), MakeTime(2024, 2, 29, 23, 59, 59, 999),
                           MakeTime(1969, 12, 31, 23, 59, 58, 1), VTime()};
    const char* const expected[] = {
        R"("2024-05-06T07:08:09.010Z" 2024-05-06T07:08:09.010Z "2024-05-06" 2024-05-06T00:00:00.000Z)",
        R"("2024-02-29T23:59:59.999Z" 2024-02-29T23:59:59.999Z "2024-02-29" 2024-02-29T00:00:00.000Z)",
        R"("1969-12-31T23:59:58.001Z" 1969-12-31T23:59:58.001Z "1969-12-31" 1969-12-31T00:00:00.000Z)",
        R"("0000-00-00T00:00:00Z" null null null)",
    };
    for (size_t i = 0; i < std::size(times); ++i) {
        VJSONValue text, date(1.0);
        times[i].GetJSONValue(text, 0);
        times[i].GetJSONValue(date, eJSONValueTimeAsDate);
        VJSONValue parsed = Parsed(JSONOf(text)); // through a written and parsed document
        EXPECT_EQ(JSONOf(text) + " " + ReadBack(parsed) + " " + JSONOf(date) + " " + ReadBack(date),
                  expected[i]);
    }
}

TEST(VTimeJSONTest, ReadsTheXMLFormsOfStrings) {
    const std::pair<const char*, const char*> cases[] = {
        {"2024-05-06T09:08:09+02:00", "2024-05-06T07:08:09.000Z"},
        {"!!2024-05-06T07:08:09.5Z!!", "2024-05-06T07:08:09.500Z"},
        {"2024-05-06", "2024-05-06T00:00:00.000Z"},
        {"07:08:09", "0000-00-00T07:08:09.000Z"},
        {"not a time", "fail"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ReadBack(VJSONValue(VString(text))), expected) << text;
    EXPECT_EQ(ReadBack(VJSONValue::sNull) + ReadBack(VJSONValue::sUndefined), "nullnull");
}

} // namespace
