// Tests of the JSON values of durations: seconds, milliseconds, "h:mm:ss", null spans and reading back.
#include "JSONTestSupport.h"

#include "text/VDuration.h"
#include "json/VJSONValue.h"

#include <gtest/gtest.h>

#include <string>

using namespace vkit;
using namespace vkit::testing;

namespace {

VJSONValue ValueOf(const VDuration& inDuration, uint32_t inOptions) {
    VJSONValue value;
    inDuration.GetJSONValue(value, inOptions);
    return value;
}

} // namespace

TEST(VDurationJSONTest, EachOptionWritesItsForm) {
    const VDuration span(3723004); // 1 h 2 min 3.004 s
    VJSONValue seconds = ValueOf(span, 0);
    ASSERT_TRUE(seconds.IsNumber());
    EXPECT_EQ(seconds.GetNumber(), 3723);
    VJSONValue milliseconds = ValueOf(span, eDurationJSONMilliseconds);
    ASSERT_TRUE(milliseconds.IsNumber());
    EXPECT_EQ(milliseconds.GetNumber(), 3723004);
    VJSONValue clock = ValueOf(span, eDurationJSONHoursMinutesSeconds);
    ASSERT_TRUE(clock.IsString());
    EXPECT_EQ(TextOf(clock), "1:02:03");
    EXPECT_EQ(TextOf(ValueOf(span, eDurationJSONHoursMinutesSeconds | eDurationJSONMilliseconds)), "1:02:03");
}

TEST(VDurationJSONTest, ClockFormCountsWholeHoursAndPadsTheRest) {
    EXPECT_EQ(TextOf(ValueOf(VDuration(0), eDurationJSONHoursMinutesSeconds)), "0:00:00");
    EXPECT_EQ(TextOf(ValueOf(VDuration(999), eDurationJSONHoursMinutesSeconds)), "0:00:00");
    EXPECT_EQ(TextOf(ValueOf(VDuration(90000000 + 61000), eDurationJSONHoursMinutesSeconds)), "25:01:01");
    EXPECT_EQ(TextOf(ValueOf(VDuration(-3723004), eDurationJSONHoursMinutesSeconds)), "-1:02:03");
}

TEST(VDurationJSONTest, SecondsAreTruncatedTowardZero) {
    EXPECT_EQ(ValueOf(VDuration(1999), 0).GetNumber(), 1);
    EXPECT_EQ(ValueOf(VDuration(-1999), 0).GetNumber(), -1);
    EXPECT_EQ(ValueOf(VDuration(-1999), eDurationJSONMilliseconds).GetNumber(), -1999);
}

TEST(VDurationJSONTest, NullSpanIsJSONNullInEveryForm) {
    VDuration null;
    null.SetNull();
    for (uint32_t options : {0u, 2u, 4u, 6u})
        EXPECT_TRUE(ValueOf(null, options).IsNull()) << options;
}

TEST(VDurationJSONTest, ReadsANumberOfSeconds) {
    VDuration span(5);
    EXPECT_TRUE(span.FromJSONValue(VJSONValue(90.0)));
    EXPECT_EQ(span.ConvertToMilliseconds(), 90000);
    EXPECT_TRUE(span.FromJSONValue(VJSONValue(-1.2345)));
    EXPECT_EQ(span.ConvertToMilliseconds(), -1235); // rounded to the millisecond
    // Written in seconds and read back: the milliseconds are gone, the rest stays.
    EXPECT_TRUE(span.FromJSONValue(ValueOf(VDuration(3723004), 0)));
    EXPECT_EQ(span, VDuration(3723000));
}

TEST(VDurationJSONTest, NullReadsAsANullSpanAndOtherValuesFail) {
    VDuration span(5);
    EXPECT_TRUE(span.FromJSONValue(VJSONValue::sNull));
    EXPECT_TRUE(span.IsNull());
    span = VDuration(5);
    EXPECT_TRUE(span.FromJSONValue(VJSONValue::sUndefined));
    EXPECT_TRUE(span.IsNull());
    for (const VJSONValue& other :
         {VJSONValue(VString("90")), VJSONValue(VString("1:02:03")), VJSONValue::sTrue}) {
        span = VDuration(5);
        EXPECT_FALSE(span.FromJSONValue(other)) << TextOf(other);
        EXPECT_TRUE(span.IsNull());
    }
    // A number of seconds beyond 64 bits of milliseconds is no span.
    span = VDuration(5);
    EXPECT_FALSE(span.FromJSONValue(VJSONValue(1e300)));
    EXPECT_TRUE(span.IsNull());
}
