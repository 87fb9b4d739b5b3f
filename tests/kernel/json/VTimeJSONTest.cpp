// Tests of the JSON values of times and durations: their written forms, null values and reading back.
#include "JSONTestSupport.h"

#include "text/VDuration.h"
#include "text/VTime.h"

#include <gtest/gtest.h>

#include <string>

using namespace vkit;
using namespace vkit::testing;

namespace {

/// The time read back from a JSON value: its XML text, "null", or "fail" when it cannot be read.
std::string ReadBack(const VJSONValue& inValue) {
    VTime time;
    time.FromUTCTime(1999, 1, 2, 3, 4, 5, 6);
    bool read = time.FromJSONValue(inValue);
    VString text;
    time.GetXMLString(text, eRfc3339UTC);
    return !read ? (time.IsNull() ? "fail" : "fail, kept") : time.IsNull() ? "null" : text.ToUTF8();
}

TEST(VTimeJSONTest, TimesWrittenAndReadBack) {
    // The default form is the UTC text, the date form a JSON date; a date reads back as midnight UTC.
    VTime times[2];
    times[0].FromUTCTime(1969, 12, 31, 23, 59, 58, 1);
    const char* const expected[] = {
        R"("1969-12-31T23:59:58.001Z" 1969-12-31T23:59:58.001Z "1969-12-31" 1969-12-31T00:00:00.000Z)",
        R"("0000-00-00T00:00:00Z" null null null)"};
    for (size_t i = 0; i < std::size(times); ++i) {
        VJSONValue text, date(1.0);
        times[i].GetJSONValue(text, 0);
        times[i].GetJSONValue(date, eJSONValueTimeAsDate);
        VJSONValue parsed = Parsed(JSONOf(text)); // through a written and parsed document
        EXPECT_EQ(JSONOf(text) + " " + ReadBack(parsed) + " " + JSONOf(date) + " " + ReadBack(date),
                  expected[i]);
    }
    const std::pair<const char*, const char*> cases[] = {
        {"2024-05-06T09:08:09+02:00", "2024-05-06T07:08:09.000Z"},
        {"!!2024-05-06T07:08:09.5Z!!", "2024-05-06T07:08:09.500Z"},
        {"07:08:09", "0000-00-00T07:08:09.000Z"},
        {"not a time", "fail"}};
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ReadBack(VJSONValue(VString(text))), expected) << text;
    EXPECT_EQ(ReadBack(VJSONValue::sUndefined), "null");
}

constexpr uint32_t kMilliseconds = eDurationJSONMilliseconds, kClock = eDurationJSONHoursMinutesSeconds;

TEST(VTimeJSONTest, DurationsWrittenAndReadBack) {
    struct Case {
        int64_t fMilliseconds; // -1: a null span
        uint32_t fOptions;
        const char* fExpected;
    };
    const Case cases[] = {{-1999, 0, "-1"}, // seconds, truncated toward zero
                          {-1999, kMilliseconds, "-1999"},
                          {90061999, kClock | kMilliseconds, R"("25:01:01")"},
                          {-3723004, kClock, R"("-1:02:03")"},
                          {-1, kClock, "null"}};
    for (const Case& c : cases) {
        VDuration span(c.fMilliseconds);
        if (c.fMilliseconds == -1)
            span.SetNull();
        VJSONValue value;
        span.GetJSONValue(value, c.fOptions);
        EXPECT_EQ(JSONOf(value), c.fExpected) << c.fMilliseconds << " " << c.fOptions;
    }
    // A number of seconds is read; null and undefined read as a null span; other values fail and leave
    // the span null.
    const std::pair<const char*, const char*> texts[] = {{"-1.2345", "-1235"},      {"null", "ok, null"},
                                                         {"undefined", "ok, null"}, {"\"90\"", "null"},
                                                         {"true", "null"},          {"1e300", "null"}};
    for (const auto& [text, expected] : texts) {
        VDuration span(5);
        bool read = span.FromJSONValue(std::string(text) == "undefined" ? VJSONValue() : Parsed(text));
        std::string outcome = span.IsNull() ? "null" : std::to_string(span.ConvertToMilliseconds());
        EXPECT_EQ(read && span.IsNull() ? "ok, null" : outcome, expected) << text;
    }
}

} // namespace
