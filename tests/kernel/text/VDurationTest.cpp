// Tests of VDuration: arithmetic limits, parts, and the ISO 8601, seconds, clock and JSON text forms.
#include "text/VDuration.h"
#include "text/VReal.h"
#include "text/VString.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

using vkit::VDuration;
using vkit::VString;

namespace {

VDuration Span(int64_t inMilliseconds, bool inNull = false) {
    VDuration span(inMilliseconds);
    span.SetNull(inNull);
    return span;
}

/// The milliseconds of a span, or "null".
std::string Show(const VDuration& inSpan) {
    return inSpan.IsNull() ? "null" : std::to_string(inSpan.ConvertToMilliseconds());
}

} // namespace

TEST(VDurationTest, TextForms) {
    struct Row {
        VDuration span;
        const char* iso;     // GetXMLString, in the ISO 8601 form
        const char* seconds; // GetXMLString without options
    };
    // The seconds and the milliseconds are summed in single precision: 1 + 0.001f.
    const Row kRows[] = {
        {Span(3723000), "PT1H2M3S", "3723"},
        {Span(90061001), "P1DT1H1M1.00100004673004S", "90061"},
        {Span(86400000), "P1DT0H0M0S", "86400"},
        {Span(500), "PT0H0M0.50000000000000S", "0"},
        {Span(-3723999), "-PT1H2M3.99900007247925S", "-3723"},
        {Span(INT64_MIN), "-P106751991167DT7H12M55.80799865722656S", "-9223372036854775"},
        {Span(0, true), "", ""},
    };
    for (const Row& row : kRows) {
        VString iso("left over"), xml("left over"), seconds("left over"), plain("left over"), json;
        row.span.GetXMLString(iso, vkit::eDurationISO8601);
        row.span.GetXMLString(xml);
        row.span.GetXMLString(seconds, 0);
        row.span.GetString(plain);
        row.span.GetJSONString(json);
        std::string number = row.span.IsNull() ? "" : Show(row.span);
        EXPECT_EQ(iso.ToUTF8() + "|" + xml.ToUTF8() + "|" + seconds.ToUTF8() + "|" + plain.ToUTF8() + "|" +
                      json.ToUTF8(),
                  std::string(row.iso) + "|" + row.iso + "|" + row.seconds + "|" + number + "|" +
                      (number.empty() ? "null" : number));
    }
}

TEST(VDurationTest, TextReadings) {
    enum Form { kXML, kPlain, kJSON };
    struct Row {
        Form form;
        const char* text;
        const char* expected; // Show of the span read
    };
    // Plain text is whole seconds, or hours, minutes, seconds and milliseconds between colons.
    const Row kRows[] = {
        {kXML, "-PT1H2M3S", "-3723000"},  {kXML, " +PT1.5S", "1500"},
        {kXML, "P1W1DT1H", "694800000"},  {kXML, "", "null"},
        {kXML, "\t-1.5\r\n", "-1500"},    {kXML, "PT1.5H", "5400000"},
        {kPlain, "1:02:03", "3723000"},   {kPlain, "1:30", "90000"},
        {kPlain, "1:2:3:4:9", "3723004"}, {kPlain, "::5", "5000"},
        {kPlain, "1:2:3:4", "3723004"},   {kJSON, "7 ", "7"},
        {kJSON, "1.5e3", "1500"},         {kJSON, "null", "null"},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.text);
        VDuration span(-1);
        bool result = true;
        if (row.form == kXML)
            result = span.FromXMLString(VString(row.text));
        else if (row.form == kJSON)
            result = span.FromJSONString(VString(row.text));
        else
            span.FromString(VString(row.text));
        EXPECT_TRUE(result);
        EXPECT_EQ(Show(span), row.expected);
    }
    // Years and months have no fixed length; the units come in order, each once.
    const std::string longText = std::string(254, ' ') + "7";
    for (const char* text : {"P1Y", "P1M", "P", "PT", "P1DT", "PT1S1M", "PT1H1H", "P1D1W", "PT1HX", "P1",
                             "PTinfS", "Q1D", "90s", "1e30"}) {
        VDuration span(-1);
        EXPECT_FALSE(span.FromXMLString(VString(text)) || !span.IsNull()) << text;
    }
    for (std::string text :
         {std::string("\"1500\""), std::string("15x"), std::string("1e19"), " " + longText}) {
        VDuration span(-1);
        EXPECT_FALSE(span.FromJSONString(VString(text.c_str())) || !span.IsNull()) << text;
    }
    VDuration span;
    EXPECT_TRUE(span.FromJSONString(VString(longText.c_str())) && Show(span) == "7");
    VString nullText;
    nullText.SetNull();
    for (VString text : {VString("9223372036854775807"), VString("2562047788016:0:0"), nullText}) {
        span = Span(5);
        span.FromString(text);
        EXPECT_TRUE(span.IsNull()) << text.ToUTF8();
    }
    // Every millisecond of a second reads back through the single-precision seconds.
    for (int64_t milliseconds = 59000; milliseconds < 60000; ++milliseconds) {
        Span(milliseconds).GetXMLString(nullText);
        ASSERT_TRUE(span.FromXMLString(nullText) && span.ConvertToMilliseconds() == milliseconds)
            << nullText.ToUTF8();
    }
}

TEST(VDurationTest, Arithmetic) {
    using Op = void (*)(VDuration&, int64_t);
    const Op kUnits = [](VDuration& d, int64_t n) {
        d.AddDays(n), d.AddHours(n), d.AddMinutes(n), d.AddSeconds(n), d.AddMilliseconds(n);
    };
    const Op kSeconds = [](VDuration& d, int64_t n) { d.FromNbSeconds(n); };
    const Op kMultiply = [](VDuration& d, int64_t n) { d.Multiply(n); };
    const Op kAll = [](VDuration& d, int64_t n) {
        d.Multiply(n), d.Divide(n), d.Remainder(n), d.Substract(Span(n));
    };
    const Op kDivide = [](VDuration& d, int64_t n) { d.Divide(n); };
    const Op kRemainder = [](VDuration& d, int64_t n) { d.Remainder(n); };
    const Op kAdd = [](VDuration& d, int64_t n) { d.Add(Span(n, n == INT64_MIN)); };
    const Op kSubstract = [](VDuration& d, int64_t n) { d.Substract(Span(n, n == INT64_MIN)); };
    const Op kReal = [](VDuration& d, int64_t n) { d.FromReal(n == INT64_MAX ? 1e300 : n / 10.0); };
    struct Row {
        VDuration start;
        Op op;
        int64_t amount; // for kAdd and kSubstract, INT64_MIN stands for a null span
        const char* expected;
    };
    // A null span stays null; a result beyond 64 bits is null.
    const int64_t kMax = INT64_MAX, kMin = INT64_MIN;
    const Row kRows[] = {
        {Span(1000), kUnits, 1, "90062001"},
        {Span(0), kUnits, kMax / 1000, "null"},
        {Span(0, true), kUnits, 1, "null"},
        {Span(0, true), kSeconds, -3, "-3000"},
        {Span(0), kSeconds, kMax / 100, "null"},
        {Span(7), kMultiply, -3, "-21"},
        {Span(kMax / 2 + 1), kMultiply, 2, "null"},
        {Span(0, true), kAll, 2, "null"},
        {Span(-21), kRemainder, 4, "-1"},
        {Span(kMin), kRemainder, -1, "0"},
        {Span(5), kRemainder, 0, "null"},

        {Span(-21), kDivide, 4, "-5"},
        {Span(5), kDivide, -1, "-5"},
        {Span(5), kDivide, 0, "null"},
        {Span(kMin), kDivide, -1, "null"},

        {Span(5), kAdd, -7, "-2"},
        {Span(kMax), kAdd, 1, "null"},
        {Span(5), kAdd, kMin, "null"},
        {Span(5), kSubstract, -7, "12"},
        {Span(kMin), kSubstract, 1, "null"},
        {Span(5), kSubstract, kMin, "null"},

        {Span(0), kReal, 25, "3"},

        {Span(0), kReal, kMax, "null"},
    };
    for (const Row& row : kRows) {
        VDuration span = row.start;
        row.op(span, row.amount);
        EXPECT_EQ(Show(span), row.expected) << Show(row.start) << " " << row.amount;
    }
    VDuration span;
    EXPECT_EQ(Span(INT32_MIN).GetLong() + int64_t{Span(INT32_MAX).GetLong()} +
                  Span(int64_t{1} << 40).GetLong(),
              -1);
    span.FromValue(vkit::VReal(2.9));
    EXPECT_EQ(Show(span), "2");
    vkit::VReal nullReal;
    nullReal.SetNull();
    span.FromValue(nullReal);
    EXPECT_TRUE(span.IsNull());
    // Parts carry the sign; a null span gives -1 for each.
    const int64_t kParts[][6] = {
        {90061001, 1, 1, 1, 1, 1}, {-1500, 0, 0, 0, -1, -500}, {kMax, INT32_MAX, 7, 12, 55, 807}};
    for (const int64_t* row : kParts) {
        int32_t p[5];
        Span(row[0]).GetDuration(p[0], p[1], p[2], p[3], p[4]);
        EXPECT_TRUE(std::equal(p, p + 5, row + 1)) << row[0];
        span.SetNull();
        span.SetDuration(p[0], p[1], p[2], p[3], p[4]);
        EXPECT_TRUE(row[0] == kMax || Show(span) == std::to_string(row[0])) << row[0];
    }
    int32_t p[5];
    Span(0, true).GetDuration(p[0], p[1], p[2], p[3], p[4]);
    EXPECT_TRUE(std::all_of(p, p + 5, [](int32_t inPart) { return inPart == -1; }));
}

TEST(VDurationTest, ComparisonsPutNullFirst) {
    const VDuration kAscending[] = {Span(0, true), Span(INT64_MIN), Span(-1), Span(0), Span(INT64_MAX)};
    for (size_t i = 0; i < std::size(kAscending); ++i) {
        for (size_t j = 0; j < std::size(kAscending); ++j) {
            EXPECT_EQ(kAscending[i].CompareTo(kAscending[j]), i < j ? -1 : (i > j ? 1 : 0)) << i << " " << j;
            EXPECT_EQ(kAscending[i].EqualToSameKind(kAscending[j], true), i == j) << i << " " << j;
        }
    }
    EXPECT_FALSE(Span(5).EqualToSameKind(vkit::VReal(5), true));
}
