// Tests of VTime: calendar, parts, arithmetic, local time under set zones and every text form.
#include "text/VTime.h"
#include "support/StCommaNumericLocale.h"
#include "support/StTextSettings.h"
#include "text/VDuration.h"
#include "text/VLong8.h"
#include "text/VString.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <ostream>
#include <string>
#include <vector>

using namespace vkit;
using namespace vkit::testing;

namespace {

VTime UTC(int inYear, int inMonth, int inDay, int inHour = 0, int inMinute = 0, int inSecond = 0,
          int inMillisecond = 0) {
    VTime time;
    time.FromUTCTime(static_cast<int16_t>(inYear), static_cast<int16_t>(inMonth), static_cast<int16_t>(inDay),
                     static_cast<int16_t>(inHour), static_cast<int16_t>(inMinute),
                     static_cast<int16_t>(inSecond), static_cast<int16_t>(inMillisecond));
    return time;
}

/// The UTC form with milliseconds, or "null".
std::string Show(const VTime& inTime) {
    VString text;
    inTime.GetRfc3339String(text, eRfc3339UTC);
    return inTime.IsNull() ? std::string("null") : text.ToUTF8();
}

enum Form { kRfc3339, kXML, kJSON, kRfc822, kLocalText, kSimple, kDefault };

/// A text form of a time; kXML and kJSON with options 0 are the forms without options.
std::string Write(const VTime& inTime, Form inForm, uint32_t inOptions) {
    VString text("left over");
    inForm == kRfc3339                  ? inTime.GetRfc3339String(text, inOptions)
    : inOptions != 0 && inForm == kXML  ? inTime.GetXMLString(text, inOptions)
    : inForm == kXML                    ? inTime.GetXMLString(text)
    : inOptions != 0 && inForm == kJSON ? inTime.GetJSONString(text, inOptions)
    : inForm == kJSON                   ? inTime.GetJSONString(text)
    : inForm == kRfc822                 ? inTime.GetRfc822String(text)
    : inForm == kLocalText              ? inTime.GetStringLocalTime(text)
                                        : inTime.GetString(text);
    return text.ToUTF8();
}

/// Reads a text into a time that is not null beforehand, so that a failed read shows.
VTime Read(Form inForm, const std::string& inText, bool* outResult = nullptr) {
    VTime time = UTC(1999, 9, 9);
    VString text(inText.c_str());
    bool result = inForm == kRfc3339  ? time.FromRfc3339String(text)
                  : inForm == kXML    ? time.FromXMLString(text)
                  : inForm == kJSON   ? time.FromJSONString(text)
                  : inForm == kRfc822 ? time.FromRfc822String(text)
                                      : (time.FromString(text), !time.IsNull());
    if (outResult != nullptr)
        *outResult = result;
    return time;
}

/// A time from its RFC 3339 text.
VTime T(const char* inText) {
    return Read(kRfc3339, inText);
}

const char* const kSummer = "2024-05-06T07:08:09.010Z";
const char* const kWinter = "2024-01-15T23:30:00Z";
constexpr uint32_t kUTC = eRfc3339UTC, kLocal = eRfc3339Local, kTime = eRfc3339TimeOnly,
                   kDate = eRfc3339DateOnly, kZero = eRfc3339ZeroDate, kNoMs = eRfc3339NoMilliseconds;

} // namespace

namespace vkit {
void PrintTo(const VTime& inTime, std::ostream* outStream) {
    *outStream << Show(inTime);
}
} // namespace vkit

TEST(VTimeTest, CalendarAndParts) {
    // Year, month, day, day number, week day (0 for Sunday).
    const int64_t kDays[][5] = {
        {2000, 1, 1, 2451544, 6},  {1970, 1, 1, 2440587, 4},    {2024, 5, 6, 2460436, 1},
        {2024, 2, 29, 2460369, 4}, {2024, 3, 1, 2460370, 5},    {2023, 2, 28, 2460003, 2},
        {1900, 2, 28, 2415078, 3}, {1900, 3, 1, 2415079, 4},    {0, 1, 1, 1721059, 6},
        {0, 3, 1, 1721119, 3},     {32767, 12, 31, 13689324, 0}};
    for (const int64_t* d : kDays) {
        VTime day;
        day.FromJulianDay(d[3]);
        EXPECT_EQ(Show(day), Show(UTC(int(d[0]), int(d[1]), int(d[2]))));
        EXPECT_EQ(VTime::ComputeJulianDay(int(d[0]), int(d[1]), int(d[2])), d[3]);
        EXPECT_EQ(VTime::ComputeWeekDay(int(d[0]), int(d[1]), int(d[2])), d[4]) << d[3];
    }
    EXPECT_EQ(VTime::ComputeWeekDay(2024, 13, 1) + UTC(0, 0, 0, 12).GetWeekDay(), -2);
    VTime time;
    time.FromJulianDay(VTime::ComputeJulianDay(0, 1, 1) - 1);
    EXPECT_TRUE(time.IsNull());
    time.FromJulianDay(VTime::ComputeJulianDay(32768, 1, 1));
    EXPECT_TRUE(time.IsNull());
    // Year, month, day, hour, minute, second, millisecond, and whether they make a time. The empty
    // date keeps its time of day as given.
    const int kParts[][8] = {
        {2000, 2, 29, 0, 0, 0, 0, 1}, {1900, 2, 29, 0, 0, 0, 0, 0},   {2024, 2, 29, 0, 0, 0, 0, 1},
        {2023, 2, 29, 0, 0, 0, 0, 0}, {2024, 4, 31, 0, 0, 0, 0, 0},   {2024, 12, 31, 0, 0, 0, 0, 1},
        {2024, 0, 1, 0, 0, 0, 0, 0},  {2024, 13, 1, 0, 0, 0, 0, 0},   {2024, 1, 0, 0, 0, 0, 0, 0},
        {-1, 1, 1, 0, 0, 0, 0, 0},    {2024, 5, 6, 24, 0, 0, 0, 0},   {2024, 5, 6, 23, 60, 0, 0, 0},
        {2024, 5, 6, 0, 0, 60, 0, 0}, {2024, 5, 6, 0, 0, 0, 1000, 0}, {2024, 5, 6, -1, 0, 0, 0, 0},
        {2024, 5, 6, 0, -1, 0, 0, 0}, {2024, 5, 6, 0, 0, -1, 0, 0},   {2024, 5, 6, 0, 0, 0, -1, 0},
        {0, 0, 0, 30, 0, 0, 0, 1},    {0, 0, 0, -1, 0, 0, 0, 0},      {2024, 5, 6, 23, 59, 59, 999, 1}};
    for (const int* p : kParts) {
        SCOPED_TRACE(::testing::PrintToString(std::vector<int>(p, p + 8)));
        EXPECT_EQ(!UTC(p[0], p[1], p[2], p[3], p[4], p[5], p[6]).IsNull(), p[7] == 1);
        EXPECT_TRUE((p[3] | p[4] | p[5] | p[6]) != 0 || VTime::CheckDate(p[0], p[1], p[2]) == (p[7] == 1));
    }
    EXPECT_EQ(UTC(0, 0, 0, 30).GetTimeOfDay() + UTC(0, 0, 0, 12).GetMilliseconds(), 108000000);
    VTime sample = T(kSummer);
    uint64_t timeOfDay = 7 * 3600000 + 8 * 60000 + 9 * 1000 + 10;
    uint64_t stamp = (uint64_t{2024} << 48) | (uint64_t{5} << 40) | (uint64_t{6} << 32) | timeOfDay;
    EXPECT_TRUE(sample.GetStamp() == stamp && VTime(stamp) == sample && VTime().GetStamp() == 0);
    EXPECT_EQ(sample.GetMilliseconds(), 2460436 * VTime::kMillisecondsPerDay + int64_t(timeOfDay));
    for (int64_t milliseconds : {int64_t{-1}, int64_t{0}, int64_t{1000}, sample.GetMilliseconds()}) {
        time.FromMilliseconds(milliseconds);
        EXPECT_EQ(time.GetMilliseconds(), milliseconds == 1000 ? -1 : milliseconds) << milliseconds;
    }
}

TEST(VTimeTest, ArithmeticAndComparisons) {
    using Op = void (*)(VTime&, int64_t);
    const Op kYears = [](VTime& t, int64_t n) { t.AddYears(static_cast<int32_t>(n)); };
    const Op kMonths = [](VTime& t, int64_t n) { t.AddMonths(static_cast<int32_t>(n)); };
    const Op kDays = [](VTime& t, int64_t n) { t.AddDays(n); };
    const Op kHours = [](VTime& t, int64_t n) { t.AddHours(n); };
    const Op kMinutes = [](VTime& t, int64_t n) { t.AddMinutes(n); };
    const Op kSeconds = [](VTime& t, int64_t n) { t.AddSeconds(n); };
    const Op kMilliseconds = [](VTime& t, int64_t n) { t.AddMilliseconds(n); };
    const Op kAdd = [](VTime& t, int64_t n) { t.Add(VDuration(n)); };
    const Op kSubstract = [](VTime& t, int64_t n) { t.Substract(VDuration(n)); };
    struct Row {
        const char* start;
        Op op;
        int64_t amount;
        const char* expected;
    };
    const Row kRows[] = {
        {"2023-12-31T23:59:59.999Z", kMilliseconds, 1, "2024-01-01T00:00:00.000Z"},
        {"2024-02-28T12:00:00Z", kDays, 1, "2024-02-29T12:00:00.000Z"},
        {"2024-02-29T12:00:00Z", kHours, 12, "2024-03-01T00:00:00.000Z"},
        {"2024-03-01", kMinutes, -1, "2024-02-29T23:59:00.000Z"},
        {"2024-02-29T23:59:00Z", kSeconds, -86400 * 366, "2023-02-28T23:59:00.000Z"},
        {"2023-02-28", kAdd, 1500, "2023-02-28T00:00:01.500Z"},
        {"2023-02-28", kSubstract, 1500, "2023-02-27T23:59:58.500Z"},
        {"2023-02-28", kSubstract, INT64_MIN, "null"},
        {"2023-02-28", kDays, INT64_MAX / 2, "null"},
        {"null", kDays, 1, "null"},
        {"12:00:00", kMilliseconds, 0, "0000-00-00T00:00:00.000Z"}, // the empty date counts as 0
        {"12:00:00", kHours, 1, "null"},                            // before the first day numbered
        {"2024-02-29T01:02:03.004Z", kYears, 1, "2025-02-29T01:02:03.004Z"},
        {"2024-02-29", kYears, 40000, "null"},
        {"2024-01-31T10:00:00Z", kMonths, 1, "2024-02-31T10:00:00.000Z"}, // the day is kept
        {"2024-01-15", kMonths, -1, "2023-12-15T00:00:00.000Z"},
        {"2023-12-15", kMonths, 13, "2025-01-15T00:00:00.000Z"},
        {"0000-01-01", kMonths, -1, "null"},
        {"01:00:00", kMonths, 1, "0000-00-00T01:00:00.000Z"},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(::testing::Message() << row.start << " " << row.amount << " " << row.expected);
        VTime time = T(row.start);
        row.op(time, row.amount);
        EXPECT_EQ(Show(time), row.expected);
    }
    VDuration span;
    span.SetNull();
    VTime time = T(kSummer), other = T(kSummer);
    time.Add(span);
    other.Substract(span);
    EXPECT_TRUE(time.IsNull() && other.IsNull());
    T("2024-03-01").Substract(T("2024-02-28T12:00:00Z"), span);
    EXPECT_EQ(span.ConvertToMilliseconds(), 36 * 3600000);
    T("2024-03-01").Substract(VTime(), span);
    EXPECT_TRUE(span.IsNull());
    // Comparisons: null first, then by date and time of day.
    const char* const kAscending[] = {"null",
                                      "00:00:00",
                                      "23:00:00",
                                      "0001-01-01",
                                      "2024-05-06T23:00:00Z",
                                      "2024-05-07",
                                      "2024-06-01T01:00:00.001Z",
                                      "2024-06-01T01:00:00.002Z"};
    for (size_t i = 0; i < std::size(kAscending); ++i) {
        for (size_t j = 0; j < std::size(kAscending); ++j) {
            EXPECT_EQ(T(kAscending[i]).CompareTo(T(kAscending[j])), i < j ? -1 : (i > j ? 1 : 0)) << i << j;
            EXPECT_EQ(T(kAscending[i]).EqualToSameKind(T(kAscending[j]), true), i == j) << i << j;
        }
    }
    EXPECT_FALSE(T(kSummer).EqualToSameKind(VString(kSummer), true));
}

TEST(VTimeTest, TextForms) {
    struct Row {
        const char* zone;
        const char* time;
        Form form;
        uint32_t options;
        const char* expected;
    };
    const Row kRows[] = {
        {kZoneParis, kSummer, kRfc3339, kUTC, "2024-05-06T07:08:09.010Z"},
        {kZoneParis, kSummer, kRfc3339, kUTC | kNoMs, "2024-05-06T07:08:09Z"},
        {kZoneParis, kSummer, kRfc3339, kUTC | kDate, "2024-05-06"},
        {kZoneParis, kSummer, kRfc3339, kUTC | kTime, "07:08:09Z"},
        {kZoneParis, kSummer, kRfc3339, kUTC | kZero, "0000-00-00T07:08:09.010Z"},
        {kZoneParis, kSummer, kRfc3339, kLocal, "2024-05-06T09:08:09.010"},
        {kZoneParis, kSummer, kRfc3339, kLocal | kTime, "09:08:09"},
        {kZoneParis, kSummer, kRfc3339, 0, "2024-05-06T09:08:09+02:00"},
        {kZoneParis, kSummer, kRfc3339, kTime, "09:08:09+02:00"},
        {kZoneParis, kSummer, kRfc3339, kDate, "2024-05-06+02:00"},
        {kZoneParis, kWinter, kRfc3339, 0, "2024-01-16T00:30:00+01:00"},
        {kZoneNewYork, kSummer, kRfc3339, 0, "2024-05-06T03:08:09-04:00"},
        {kZoneKolkata, kSummer, kRfc3339, 0, "2024-05-06T12:38:09+05:30"},
        {kZoneStJohns, kWinter, kRfc3339, 0, "2024-01-15T20:00:00-03:30"},
        {kZoneUTC, kSummer, kRfc3339, 0, "2024-05-06T07:08:09+00:00"},
        {kZoneNewYork, "12:30:00", kRfc3339, 0, "0000-00-00T12:30:00+00:00"}, // a time alone is not converted
        {kZoneParis, kSummer, kXML, 0, "2024-05-06T07:08:09.010Z"},
        {kZoneParis, "null", kXML, 0, "0000-00-00T00:00:00Z"},
        {kZoneParis, kSummer, kJSON, 0, "\"2024-05-06T07:08:09.010Z\""},
        {kZoneParis, "null", kJSON, 0, "null"},
        {kZoneParis, kSummer, kJSON, eJSONTimeQuoted | eJSONTimeBangMarks,
         "\"!!2024-05-06T07:08:09.010Z!!\""},
        {kZoneParis, "2024-05-06", kJSON, eJSONTimeBangMarks | eJSONTimeDateOnlyAtMidnight, "!!2024-05-06!!"},
        {kZoneParis, kSummer, kJSON, eJSONTimeDateOnlyAtMidnight, "2024-05-06T07:08:09.010Z"},
        {kZoneParis, kSummer, kRfc822, 0, "Mon, 06 May 2024 07:08:09 GMT"},
        {kZoneParis, "null", kRfc822, 0, ""},
        {kZoneParis, kSummer, kLocalText, 0, "2024-05-06 09:08:09:010"},
        {kZoneParis, "null", kLocalText, 0, ""},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(::testing::Message()
                     << row.zone << " " << row.time << " " << row.form << " " << row.options);
        StTimeZone zone(row.zone);
        EXPECT_EQ(Write(T(row.time), row.form, row.options), row.expected);
    }
    for (uint32_t options = 0; options < 64; ++options)
        EXPECT_EQ(Write(VTime(), kRfc3339, options), "0000-00-00T00:00:00Z") << options;
}

TEST(VTimeTest, TextReadings) {
    struct Row {
        const char* zone;
        Form form;
        const char* text;
        const char* expected; // Show of the time read, which succeeds
    };
    const Row kRows[] = {
        {kZoneUTC, kRfc3339, "2024-05-06T07:08:09.5Z", "2024-05-06T07:08:09.500Z"},
        {kZoneNewYork, kRfc3339, "2024-05-06T07:08:09+02:00", "2024-05-06T05:08:09.000Z"},
        {kZoneNewYork, kRfc3339, "2024-05-06T07:08:09.250-05:30", "2024-05-06T12:38:09.250Z"},
        {kZoneParis, kRfc3339, "2024-05-06T09:08:09.010", "2024-05-06T07:08:09.010Z"}, // local time
        {kZoneNewYork, kRfc3339, "2024-05-06", "2024-05-06T00:00:00.000Z"},
        {kZoneNewYork, kRfc3339, "2024-05-06+02:00", "2024-05-05T22:00:00.000Z"},
        {kZoneNewYork, kRfc3339, "2024-05-06-05:00", "2024-05-06T05:00:00.000Z"},
        {kZoneParis, kRfc3339, "12:30:00+05:00", "0000-00-00T12:30:00.000Z"}, // no zone for a time alone
        {kZoneParis, kRfc3339, "0000-00-00T07:08:09.010Z", "0000-00-00T07:08:09.010Z"},
        {kZoneParis, kRfc3339, "45000", "0000-00-00T12:30:00.000Z"}, // seconds since midnight
        {kZoneUTC, kRfc3339, "0000-00-00T00:00:00Z", "null"},        // zero parts and bad dates: null
        {kZoneUTC, kRfc3339, "2023-02-29T10:00:00Z", "null"},
        {kZoneUTC, kRfc3339, "2024-13-01", "null"},
        {kZoneUTC, kXML, "!!2024-05-06T07:08:09.010Z!!", "2024-05-06T07:08:09.010Z"},
        {kZoneUTC, kXML, "!06!05!2024", "2024-05-06T00:00:00.000Z"}, // another "!": the simple form
        {kZoneUTC, kJSON, "\"!!2024-05-06T07:08:09.010Z!!\"", "2024-05-06T07:08:09.010Z"},
        {kZoneUTC, kJSON, "2024-05-06T07:08:09Z", "2024-05-06T07:08:09.000Z"},
        {kZoneUTC, kJSON, "null", "null"},
        {kZoneUTC, kSimple, "2024-05-06 07:08:09:010", "2024-05-06T07:08:09.010Z"},
        {kZoneUTC, kSimple, "!06/05/2024 12:00", "2024-05-06T00:00:00.000Z"}, // day first, no time
        {kZoneUTC, kSimple, "!6!5!2024!", "2024-05-06T00:00:00.000Z"},
        {kZoneUTC, kSimple, "2024-05-06!07:08", "2024-05-06T00:00:00.000Z"}, // a later "!" stops
        {kZoneUTC, kSimple, "2024 5 6 7 8 9 10 11", "2024-05-06T07:08:09.010Z"},
        {kZoneUTC, kRfc822, "Mon, 06 May 2024 07:08:09 GMT", "2024-05-06T07:08:09.000Z"},
        {kZoneUTC, kRfc822, "06 MAY 2024 07:08:09 +0200", "2024-05-06T05:08:09.000Z"},
        {kZoneUTC, kRfc822, "Tue, 31 dec 99 23:59 EST", "2000-01-01T04:59:00.000Z"},
        {kZoneUTC, kRfc822, "1 Jan 49 00:00 UT", "2049-01-01T00:00:00.000Z"},
        {kZoneUTC, kRfc822, "1 Jan 50 00:00 UT", "1950-01-01T00:00:00.000Z"},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(::testing::Message() << row.zone << " " << row.form << " " << row.text);
        StTimeZone zone(row.zone);
        bool result = false;
        EXPECT_EQ(Show(Read(row.form, row.text, &result)), row.expected);
        EXPECT_TRUE(result);
    }
    // Texts of each form that are refused, leaving a null time; also texts longer than the buffer.
    const std::pair<Form, std::vector<std::string>> kRefused[] = {
        {kRfc3339,
         {"2024-05-06T07:08Z", "12:30", "2024-05", "", "2024-05-06Tab:cd:efZ", "2024-05-06T24:00:00Z",
          "2024-05-06T23:59:60Z", "86400", "123:30:00",
          "2024-05-06T07:08:09.5" + std::string(300, '0') + "Z"}},
        {kXML, {"!!"}},
        {kJSON, {"\""}},
        {kSimple, {"2024-13-06", "99999-01-01", "no digits"}},
        {kRfc822,
         {"Mon, 06 Foo 2024 07:08:09 GMT", "Mon, 06 May 2024", "Mon, 06 May 2024 07:08:09 XYZ",
          "Mon, 06 May 2024 07:08:09 +02", "Mon, 31 Apr 2024 07:08:09 GMT"}},
    };
    for (const auto& [form, texts] : kRefused) {
        for (const std::string& text : texts) {
            bool result = true;
            EXPECT_EQ(Show(Read(form, text, &result)), "null") << text;
            EXPECT_FALSE(result) << text;
        }
    }
    VString nullText;
    nullText.SetNull();
    VTime time = T(kSummer);
    time.FromString(nullText);
    EXPECT_TRUE(time.IsNull());
    StCommaNumericLocale comma;
    ASSERT_TRUE(comma.IsActive()) << "localedef could not build a locale with a decimal comma";
    EXPECT_EQ(Show(T("2024-05-06T07:08:09.5Z")), "2024-05-06T07:08:09.500Z");
}

TEST(VTimeTest, LocalTimeAndItsFormats) {
    StTimeZone paris(kZoneParis);
    const int16_t kLocal[][7] = {{2024, 5, 6, 9, 8, 9, 10},
                                 {2024, 1, 6, 9, 8, 9, 10},
                                 {0, 0, 0, 9, 8, 9, 10},
                                 {2024, 2, 30, 0, 0, 0, 0},
                                 {2024, 2, 1, 24, 0, 0, 0}};
    const char* const kUTCForms[] = {"2024-05-06T07:08:09.010Z", "2024-01-06T08:08:09.010Z",
                                     "0000-00-00T09:08:09.010Z", "null", "null"};
    for (int i = 0; i < 5; ++i) {
        const int16_t* p = kLocal[i];
        VTime time;
        time.FromLocalTime(p[0], p[1], p[2], p[3], p[4], p[5], p[6]);
        EXPECT_EQ(Show(time), kUTCForms[i]);
        int16_t back[7];
        time.GetLocalTime(back[0], back[1], back[2], back[3], back[4], back[5], back[6]);
        EXPECT_TRUE(time.IsNull() || std::equal(back, back + 7, p)) << kUTCForms[i];
    }
    // The last night of March: 00:59:59 UTC is 01:59:59 local, one second later 03:00:00.
    EXPECT_EQ(T("2024-03-31T00:59:59Z").GetLocalHour() * 10 + T("2024-03-31T01:00:00Z").GetLocalHour(), 13);
    {
        StIntlMgr french("fr_FR");
        EXPECT_EQ(Write(T("2024-05-06T07:08:09Z"), kDefault, 0).find("6 mai 2024"), 0u);
        StIntlMgr english("en_US");
        VString date, time;
        T("2024-05-06T07:08:09Z").FormatByOS(date, time);
        EXPECT_EQ(date.ToUTF8() + "|" + time.ToUTF8().substr(0, 7), "May 6, 2024|9:08:09");
        // Gregorian throughout; the time of day alone for the empty date; nothing for a null time.
        EXPECT_EQ(Write(T("12:30:00"), kDefault, 0).find("12:30:00"), 0u);
        EXPECT_EQ(Write(VTime(), kDefault, 0), "");
    }
    {
        // The second whose number is -1 is a time like any other.
        StTimeZone utc(kZoneUTC);
        VTime time;
        time.FromLocalTime(1969, 12, 31, 23, 59, 59, 0);
        EXPECT_EQ(Show(time), "1969-12-31T23:59:59.000Z");
    }
    StTimeZone newYork(kZoneNewYork);
    VTime time = T("2024-05-06T03:08:09.010Z"); // 23:08:09.010 on May 5 in New York
    EXPECT_EQ(time.GetLocalMonth() * 100 + time.GetLocalDay(), 505);
    EXPECT_EQ(time.GetLocalMinute() * 100 + time.GetLocalSecond(), 809);
    time.SetLocalHour(10);
    EXPECT_EQ(Show(time), "2024-05-05T14:08:09.010Z");
    time.SetLocalMonth(1); // winter: five hours behind
    time.SetLocalYear(2023);
    time.SetLocalDay(31);
    time.SetLocalMinute(59);
    time.SetLocalSecond(1);
    time.SetLocalMillisecond(999);
    EXPECT_EQ(Show(time), "2023-01-31T15:59:01.999Z");
    time.SetLocalMonth(2);
    EXPECT_TRUE(time.IsNull());
}

TEST(VTimeTest, ZoneChangesAreSeenWithoutTzset) {
    VTime winter = T("2024-01-15T12:00:00Z");
    StTimeZone unset(nullptr);
    {
        StTimeZone zone(kZoneKolkata);
        EXPECT_EQ(VTime::GetGMTOffset(true) + VTime::GetGMTOffset(false), 2 * 19800);
        EXPECT_EQ(winter.GetLocalHour(), 17);
    }
    {
        StTimeZone zone(kZoneNewYork);
        EXPECT_EQ(VTime::GetGMTOffset(false), -18000); // with daylight saving, it depends on today
        EXPECT_EQ(winter.GetLocalHour(), 7);
    }
    // Without TZ again: the system's zone, as the C library sees it once told to look.
    int16_t hour = winter.GetLocalHour();
    int32_t offset = VTime::GetGMTOffset(true);
    ::tzset();
    std::time_t seconds = 1705320000;
    std::tm local{};
    EXPECT_EQ(hour, ::localtime_r(&seconds, &local)->tm_hour);
    seconds = std::time(nullptr);
    EXPECT_EQ(offset, ::localtime_r(&seconds, &local)->tm_gmtoff);
}

TEST(VTimeTest, NowAndValueConversions) {
    EXPECT_NEAR(VTime::Now().GetMilliseconds() / 1000 - int64_t{2440587} * 86400, std::time(nullptr), 60);
    VTime sample = T(kSummer);
    VLong8 nullNumber;
    nullNumber.SetNull();
    VTime copy;
    copy.FromValue(sample);
    EXPECT_EQ(copy, sample);
    copy.FromValue(VString(kSummer));
    EXPECT_EQ(copy, sample);
    copy.FromValue(VLong8(sample.GetMilliseconds()));
    EXPECT_EQ(copy, sample);
    copy.FromValue(nullNumber);
    EXPECT_TRUE(copy.IsNull());
    copy.FromReal(1e19);
    EXPECT_TRUE(copy.IsNull());
    EXPECT_EQ(sample.GetLong() + VTime().GetLong(), -1); // does not fit, and a null time's -1
}
