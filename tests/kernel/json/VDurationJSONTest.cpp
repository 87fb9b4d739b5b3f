// Tests of the JSON values of durations: seconds, milliseconds, "h:mm:ss", null spans and reading back.
#include "JSONTestSupport.h"

#include "text/VDuration.h"

#include <gtest/gtest.h>

#include <string>

using namespace vkit;
using namespace vkit::testing;

namespace {

constexpr uint32_t kMilliseconds = eDurationJSONMilliseconds, kClock = eDurationJSONHoursMinutesSeconds;

TEST(VDurationJSONTest, WrittenForms) {
    struct Case {
        int64_t fMilliseconds; // -1: a null span
        uint32_t fOptions;
        const char* fExpected;
    };
    const Case cases[] = {
        {3723004, 0, "3723"}, // seconds, truncated toward zero
        {3723004, kMilliseconds, "3723004"},
        {3723004, kClock, R"("1:02:03")"},
        {3723004, kClock | kMilliseconds, R"("1:02:03")"},
        {0, kClock, R"("0:00:00")"},
        {999, kClock, R"("0:00:00")"},
        {90061000, kClock, R"("25:01:01")"},
        {-3723004, kClock, R"("-1:02:03")"},
        {1999, 0, "1"},
        {-1999, 0, "-1"},
        {-1999, kMilliseconds, "-1999"},
        {-1, 0, "null"},
        {-1, kMilliseconds, "null"},
        {-1, kClock, "null"},
    };
    for (const Case& c : cases) {
        VDuration span(c.fMilliseconds);
        if (c.fMilliseconds == -1)
            span.SetNull();
        VJSONValue value;
        span.GetJSONValue(value, c.fOptions);
        EXPECT_EQ(JSONOf(value), c.fExpected) << c.fMilliseconds << " " << c.fOptions;
    }
}

TEST(VDurationJSONTest, ReadsANumberOfSeconds) {
    // Null and undefined read as a null span; values other than numbers fail and leave the span null.
    const std::pair<const char*, const char*> cases[] = {
        {"90", "90000"},         {"-1.2345", "-1235"},      {"3723", "3723000"},
        {"null", "ok, null"},    {"undefined", "ok, null"}, {"\"90\"", "null"},
        {"\"1:02:03\"", "null"}, {"true", "null"},          {"1e300", "null"},
    };
    for (const auto& [text, expected] : cases) {
        VDuration span(5);
        bool read = span.FromJSONValue(std::string(text) == "undefined" ? VJSONValue() : Parsed(text));
        std::string outcome = span.IsNull() ? "null" : std::to_string(span.ConvertToMilliseconds());
        EXPECT_EQ(read ? (span.IsNull() ? "ok, null" : outcome) : outcome, expected) << text;
    }
}

} // namespace
