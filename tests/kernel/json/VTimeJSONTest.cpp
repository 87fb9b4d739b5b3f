// Tests of the JSON values of times: the text form, the date form, null times and reading them back.
#include "JSONTestSupport.h"

#include "text/VTime.h"
#include "json/VJSONValue.h"

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

/// A time read back from a JSON value, with the reading's result.
std::pair<bool, VTime> ReadBack(const VJSONValue& inValue) {
    VTime time = MakeTime(1999, 1, 2, 3, 4, 5, 6);
    bool read = time.FromJSONValue(inValue);
    return {read, time};
}

} // namespace

TEST(VTimeJSONTest, DefaultFormIsTheUTCTextAndReadsBack) {
    VTime time = MakeTime(2024, 5, 6, 7, 8, 9, 10);
    VJSONValue value;
    time.GetJSONValue(value, 0);
    ASSERT_TRUE(value.IsString());
    EXPECT_EQ(TextOf(value), "2024-05-06T07:08:09.010Z");
    auto [read, back] = ReadBack(value);
    EXPECT_TRUE(read);
    EXPECT_EQ(back, time);
}

TEST(VTimeJSONTest, OptionOneStoresTheDateAndDropsTheTimeOfDay) {
    VJSONValue value;
    MakeTime(2024, 2, 29, 23, 59, 59, 999).GetJSONValue(value, eJSONValueTimeAsDate);
    ASSERT_TRUE(value.IsDate());
    int32_t year = 0, month = 0, day = 0;
    ASSERT_TRUE(value.GetDate(year, month, day));
    EXPECT_EQ(year, 2024);
    EXPECT_EQ(month, 2);
    EXPECT_EQ(day, 29);
    // A date reads back as midnight UTC of that day.
    auto [read, back] = ReadBack(value);
    EXPECT_TRUE(read);
    EXPECT_EQ(back, MakeTime(2024, 2, 29, 0, 0, 0, 0));
}

TEST(VTimeJSONTest, NullTimes) {
    VTime null;
    VJSONValue text;
    null.GetJSONValue(text, 0);
    // The text form of a null time is the zero date, which reads back as a null time.
    EXPECT_EQ(TextOf(text), "0000-00-00T00:00:00Z");
    auto [readText, fromText] = ReadBack(text);
    EXPECT_TRUE(readText);
    EXPECT_TRUE(fromText.IsNull());

    VJSONValue date(1.0);
    null.GetJSONValue(date, eJSONValueTimeAsDate);
    EXPECT_TRUE(date.IsNull());
    for (const VJSONValue& nothing : {VJSONValue::sNull, VJSONValue::sUndefined}) {
        auto [read, back] = ReadBack(nothing);
        EXPECT_TRUE(read);
        EXPECT_TRUE(back.IsNull());
    }
}

TEST(VTimeJSONTest, ReadsTheXMLFormsOfStrings) {
    struct Case {
        const char* fText;
        VTime fExpected;
    };
    const Case cases[] = {
        {"2024-05-06T09:08:09+02:00", MakeTime(2024, 5, 6, 7, 8, 9, 0)},
        {"!!2024-05-06T07:08:09.5Z!!", MakeTime(2024, 5, 6, 7, 8, 9, 500)},
        {"2024-05-06", MakeTime(2024, 5, 6, 0, 0, 0, 0)},
        {"07:08:09", MakeTime(0, 0, 0, 7, 8, 9, 0)},
    };
    for (const Case& c : cases) {
        auto [read, back] = ReadBack(VJSONValue(VString(c.fText)));
        EXPECT_TRUE(read) << c.fText;
        EXPECT_EQ(back, c.fExpected) << c.fText;
    }
    auto [read, back] = ReadBack(VJSONValue(VString("not a time")));
    EXPECT_FALSE(read);
    EXPECT_TRUE(back.IsNull());
}

TEST(VTimeJSONTest, RoundTripThroughAWrittenAndParsedDocument) {
    VTime time = MakeTime(1969, 12, 31, 23, 59, 58, 1);
    VJSONValue value;
    time.GetJSONValue(value, 0);
    ParseOutcome parsed = ParseText(VString(JSONOf(value).c_str()));
    ASSERT_EQ(parsed.fResult, VE_OK);
    auto [read, back] = ReadBack(parsed.fValue);
    EXPECT_TRUE(read);
    EXPECT_EQ(back, time);
}
