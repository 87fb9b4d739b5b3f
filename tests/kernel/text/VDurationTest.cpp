// Tests of VDuration: parts, arithmetic limits, and the ISO 8601, seconds, clock and JSON text forms.
#include "text/VDuration.h"
#include "text/VReal.h"
#include "text/VString.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <string>

using vkit::VDuration;
using vkit::VString;

namespace vkit {
// Shows spans in failure messages as their milliseconds.
void PrintTo(const VDuration& inSpan, std::ostream* outStream) {
    if (inSpan.IsNull())
        *outStream << "null";
    else
        *outStream << inSpan.ConvertToMilliseconds() << " ms";
}
} // namespace vkit

namespace {

std::string ISO(int64_t inMilliseconds) {
    VString text;
    VDuration(inMilliseconds).GetXMLString(text, vkit::eDurationISO8601);
    return text.ToUTF8();
}

VDuration FromText(const char* inText) {
    VDuration span(-1);
    span.FromString(VString(inText));
    return span;
}

VDuration FromXML(const char* inText, bool* outResult = nullptr) {
    VDuration span(-1);
    bool result = span.FromXMLString(VString(inText));
    if (outResult != nullptr)
        *outResult = result;
    return span;
}

VDuration Null() {
    VDuration span;
    span.SetNull();
    return span;
}

} // namespace

TEST(VDurationTest, ISO8601Forms) {
    EXPECT_EQ(ISO(3723000), "PT1H2M3S");
    // The seconds and the milliseconds are summed in single precision: 1 + 0.001f.
    EXPECT_EQ(ISO(90061001), "P1DT1H1M1.00100004673004S");
    EXPECT_EQ(ISO(86400000), "P1DT0H0M0S");
    EXPECT_EQ(ISO(0), "PT0H0M0S");
    EXPECT_EQ(ISO(500), "PT0H0M0.50000000000000S");
    EXPECT_EQ(ISO(-3723000), "-PT1H2M3S");
    VString text;
    Null().GetXMLString(text, vkit::eDurationISO8601);
    EXPECT_TRUE(text.IsEmpty());
}

TEST(VDurationTest, WholeSecondsFormTruncates) {
    VString text;
    VDuration(3723999).GetXMLString(text, 0);
    EXPECT_EQ(text.ToUTF8(), "3723");
    VDuration(-1999).GetXMLString(text, 0);
    EXPECT_EQ(text.ToUTF8(), "-1");
}

TEST(VDurationTest, ReadingTheISO8601Form) {
    EXPECT_EQ(FromXML("PT1H2M3S").ConvertToMilliseconds(), 3723000);
    EXPECT_EQ(FromXML("P1DT1H1M1.00100004673004S").ConvertToMilliseconds(), 90061001);
    EXPECT_EQ(FromXML("-PT1H2M3S").ConvertToMilliseconds(), -3723000);
    EXPECT_EQ(FromXML("P2W").ConvertToMilliseconds(), 14 * 86400000LL);
    EXPECT_EQ(FromXML("PT1M").ConvertToMilliseconds(), 60000);
    EXPECT_EQ(FromXML("PT1.5H").ConvertToMilliseconds(), 5400000);
    EXPECT_EQ(FromXML("P3D").ConvertToMilliseconds(), 3 * 86400000LL);
    // Years and months have no fixed length; order and repetition matter.
    for (const char* bad :
         {"P1Y", "P1M", "P", "PT", "P1DT", "PT1S1M", "PT1H1H", "P1D1W", "PT1HX", "P1", "PTnanS", "Q1D"}) {
        bool result = true;
        EXPECT_TRUE(FromXML(bad, &result).IsNull()) << bad;
        EXPECT_FALSE(result) << bad;
    }
}

TEST(VDurationTest, ReadingSecondsAndEmptyXMLText) {
    EXPECT_EQ(FromXML("90").ConvertToMilliseconds(), 90000);
    EXPECT_EQ(FromXML("-1.5").ConvertToMilliseconds(), -1500);
    bool result = false;
    EXPECT_TRUE(FromXML("", &result).IsNull());
    EXPECT_TRUE(result);
    EXPECT_TRUE(FromXML("90s", &result).IsNull());
    EXPECT_FALSE(result);
    EXPECT_TRUE(FromXML("1e30", &result).IsNull());
    EXPECT_FALSE(result);
}

TEST(VDurationTest, PlainTextAndClockForms) {
    EXPECT_EQ(FromText("1:02:03").ConvertToMilliseconds(), 3723000);
    EXPECT_EQ(FromText("90").ConvertToMilliseconds(), 90000);
    EXPECT_EQ(FromText("1:30").ConvertToMilliseconds(), 90000);
    EXPECT_EQ(FromText("1:02:03:004").ConvertToMilliseconds(), 3723004);
    EXPECT_EQ(FromText("1:02:03:004:99").ConvertToMilliseconds(), 3723004);
    EXPECT_EQ(FromText("::5").ConvertToMilliseconds(), 5000);
    VString nullText;
    nullText.SetNull();
    VDuration span(5);
    span.FromString(nullText);
    EXPECT_TRUE(span.IsNull());
    VString text;
    VDuration(3723004).GetString(text);
    EXPECT_EQ(text.ToUTF8(), "3723004");
    Null().GetString(text);
    EXPECT_TRUE(text.IsEmpty());
}

TEST(VDurationTest, JSONForm) {
    VString text;
    VDuration(-1500).GetJSONString(text);
    EXPECT_EQ(text.ToUTF8(), "-1500");
    Null().GetJSONString(text);
    EXPECT_EQ(text.ToUTF8(), "null");
    VDuration span;
    EXPECT_TRUE(span.FromJSONString(VString("1500")));
    EXPECT_EQ(span.ConvertToMilliseconds(), 1500);
    EXPECT_TRUE(span.FromJSONString(VString("1.5e3")));
    EXPECT_EQ(span.ConvertToMilliseconds(), 1500);
    EXPECT_TRUE(span.FromJSONString(VString("null")));
    EXPECT_TRUE(span.IsNull());
    EXPECT_FALSE(span.FromJSONString(VString("\"1500\"")));
    EXPECT_TRUE(span.IsNull());
}

TEST(VDurationTest, PartsCarryTheSignAndNullGivesMinusOne) {
    int32_t days = 0, hours = 0, minutes = 0, seconds = 0, milliseconds = 0;
    VDuration(90061001).GetDuration(days, hours, minutes, seconds, milliseconds);
    EXPECT_EQ(days, 1);
    EXPECT_EQ(hours, 1);
    EXPECT_EQ(minutes, 1);
    EXPECT_EQ(seconds, 1);
    EXPECT_EQ(milliseconds, 1);
    VDuration(-1500).GetDuration(days, hours, minutes, seconds, milliseconds);
    EXPECT_EQ(seconds, -1);
    EXPECT_EQ(milliseconds, -500);
    Null().GetDuration(days, hours, minutes, seconds, milliseconds);
    EXPECT_EQ(days, -1);
    EXPECT_EQ(hours, -1);
    EXPECT_EQ(minutes, -1);
    EXPECT_EQ(seconds, -1);
    EXPECT_EQ(milliseconds, -1);
    VDuration span = Null();
    span.SetDuration(1, 1, 1, 1, 1);
    EXPECT_FALSE(span.IsNull());
    EXPECT_EQ(span.ConvertToMilliseconds(), 90061001);
    span.SetDuration(0, 0, 0, 0, -1);
    EXPECT_EQ(span.ConvertToMilliseconds(), -1);
}

TEST(VDurationTest, UnitsAndConversions) {
    VDuration span;
    span.FromNbDays(2);
    EXPECT_EQ(span.ConvertToHours(), 48);
    span.FromNbHours(1);
    EXPECT_EQ(span.ConvertToMinutes(), 60);
    span.FromNbMinutes(1);
    EXPECT_EQ(span.ConvertToSeconds(), 60);
    span.FromNbSeconds(-3);
    EXPECT_EQ(span.ConvertToMilliseconds(), -3000);
    EXPECT_EQ(VDuration(-1999).ConvertToSeconds(), -1); // toward zero
    span.FromNbDays(std::numeric_limits<int64_t>::max() / 1000);
    EXPECT_TRUE(span.IsNull());
}

TEST(VDurationTest, ArithmeticLimitsAndNull) {
    VDuration span(1000);
    span.AddSeconds(1);
    span.AddMinutes(1);
    span.AddHours(1);
    span.AddDays(1);
    EXPECT_EQ(span.ConvertToMilliseconds(), 86400000 + 3600000 + 60000 + 2000);
    span = VDuration(7);
    span.Multiply(-3);
    EXPECT_EQ(span.ConvertToMilliseconds(), -21);
    span.Remainder(4);
    EXPECT_EQ(span.ConvertToMilliseconds(), -1);
    span = VDuration(-21);
    span.Divide(4);
    EXPECT_EQ(span.ConvertToMilliseconds(), -5);
    span.Divide(0);
    EXPECT_TRUE(span.IsNull());
    span = VDuration(5);
    span.Remainder(0);
    EXPECT_TRUE(span.IsNull());
    span = VDuration(std::numeric_limits<int64_t>::min());
    span.Divide(-1);
    EXPECT_TRUE(span.IsNull());
    span = VDuration(std::numeric_limits<int64_t>::max());
    span.AddMilliseconds(1);
    EXPECT_TRUE(span.IsNull());
    span = VDuration(std::numeric_limits<int64_t>::max() / 2 + 1);
    span.Multiply(2);
    EXPECT_TRUE(span.IsNull());
    span = VDuration(std::numeric_limits<int64_t>::min());
    span.Substract(VDuration(1));
    EXPECT_TRUE(span.IsNull());
    span = VDuration(5);
    span.Add(Null());
    EXPECT_TRUE(span.IsNull());
    span.AddSeconds(5); // a null span stays null
    EXPECT_TRUE(span.IsNull());
}

TEST(VDurationTest, ComparisonsAndValueConversions) {
    EXPECT_LT(Null(), VDuration(std::numeric_limits<int64_t>::min()));
    EXPECT_LT(VDuration(-1), VDuration(0));
    EXPECT_EQ(Null(), Null());
    EXPECT_NE(VDuration(0), Null());
    EXPECT_TRUE(VDuration(5).EqualToSameKind(VDuration(5), true));
    EXPECT_FALSE(VDuration(5).EqualToSameKind(Null(), true));
    VDuration span;
    span.FromValue(vkit::VReal(2.9));
    EXPECT_EQ(span.ConvertToMilliseconds(), 2);
    span.FromReal(2.5);
    EXPECT_EQ(span.ConvertToMilliseconds(), 3);
    span.FromReal(1e300);
    EXPECT_TRUE(span.IsNull());
    EXPECT_EQ(VDuration(int64_t{1} << 40).GetLong(), 0);
}

TEST(VDurationTest, RoundTripOfRandomSpans) {
    std::mt19937_64 engine(20240506);
    // Spans up to about 300 years either way, and small ones where rounding shows most.
    std::uniform_int_distribution<int64_t> large(-10'000'000'000'000LL, 10'000'000'000'000LL);
    std::uniform_int_distribution<int64_t> small(-100'000, 100'000);
    VString text;
    VDuration back;
    for (int i = 0; i < 20000; ++i) {
        VDuration span(i % 2 == 0 ? large(engine) : small(engine));
        span.GetXMLString(text);
        ASSERT_TRUE(back.FromXMLString(text)) << text.ToUTF8();
        ASSERT_EQ(back, span) << text.ToUTF8();
        span.GetJSONString(text);
        ASSERT_TRUE(back.FromJSONString(text)) << text.ToUTF8();
        ASSERT_EQ(back, span) << text.ToUTF8();
        span.GetXMLString(text, 0);
        ASSERT_TRUE(back.FromXMLString(text)) << text.ToUTF8();
        ASSERT_EQ(back.ConvertToMilliseconds(), span.ConvertToSeconds() * 1000) << text.ToUTF8();
        int32_t d, h, m, s, ms;
        span.GetDuration(d, h, m, s, ms);
        back.SetDuration(d, h, m, s, ms);
        ASSERT_EQ(back, span);
    }
    // Every millisecond of a second through the single-precision seconds.
    for (int64_t ms = 0; ms < 1000; ++ms) {
        VDuration span(59000 + ms);
        span.GetXMLString(text);
        ASSERT_TRUE(back.FromXMLString(text)) << text.ToUTF8();
        ASSERT_EQ(back, span) << text.ToUTF8();
    }
}
