// Tests of VTime: calendar, parts, local time under set zones, arithmetic and every text form.
#include "text/VTime.h"
#include "support/StCommaNumericLocale.h"
#include "text/VDuration.h"
#include "text/VIntlMgr.h"
#include "text/VLong8.h"
#include "text/VString.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <random>
#include <string>

using vkit::VDuration;
using vkit::VString;
using vkit::VTime;

namespace {

VTime UTC(int inYear, int inMonth, int inDay, int inHour = 0, int inMinute = 0, int inSecond = 0,
          int inMillisecond = 0) {
    VTime time;
    time.FromUTCTime(static_cast<int16_t>(inYear), static_cast<int16_t>(inMonth), static_cast<int16_t>(inDay),
                     static_cast<int16_t>(inHour), static_cast<int16_t>(inMinute),
                     static_cast<int16_t>(inSecond), static_cast<int16_t>(inMillisecond));
    return time;
}

std::string Rfc(const VTime& inTime, uint32_t inOptions) {
    VString text;
    inTime.GetRfc3339String(text, inOptions);
    return text.ToUTF8();
}

/// The UTC form with milliseconds, for readable comparisons.
std::string Show(const VTime& inTime) {
    return inTime.IsNull() ? std::string("null") : Rfc(inTime, vkit::eRfc3339UTC);
}

} // namespace

namespace vkit {
// Shows times in failure messages in their UTC form.
void PrintTo(const VTime& inTime, std::ostream* outStream) {
    *outStream << Show(inTime);
}
} // namespace vkit

namespace {

VTime Read(const char* inText, bool* outResult = nullptr) {
    VTime time = UTC(1999, 9, 9); // not null, so that a failed read shows
    bool result = time.FromRfc3339String(VString(inText));
    if (outResult != nullptr)
        *outResult = result;
    return time;
}

/// Sets TZ for the life of the object (the zone's name when the system has its data, else an
/// equivalent POSIX rule) and restores the previous setting afterwards.
class ScopedTimeZone {
public:
    ScopedTimeZone(const char* inName, const char* inPosixRule) {
        if (const char* old = std::getenv("TZ"))
            fOld = old;
        bool hasData = std::filesystem::exists(std::string("/usr/share/zoneinfo/") + inName);
        ::setenv("TZ", hasData ? inName : inPosixRule, 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (fOld)
            ::setenv("TZ", fOld->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> fOld;
};

ScopedTimeZone Paris() {
    return ScopedTimeZone("Europe/Paris", "CET-1CEST,M3.5.0,M10.5.0/3");
}
ScopedTimeZone NewYork() {
    return ScopedTimeZone("America/New_York", "EST5EDT,M3.2.0,M11.1.0");
}
ScopedTimeZone Kolkata() {
    return ScopedTimeZone("Asia/Kolkata", "IST-5:30");
}
ScopedTimeZone StJohns() {
    return ScopedTimeZone("America/St_Johns", "NST3:30NDT,M3.2.0,M11.1.0");
}
ScopedTimeZone Universal() {
    return ScopedTimeZone("UTC", "UTC0");
}

/// Installs an international manager for a locale on this thread for the life of the object.
class ScopedIntlMgr {
public:
    explicit ScopedIntlMgr(const char* inLocale) : fMgr(vkit::VIntlMgr::Create(VString(inLocale))) {
        vkit::VIntlMgr::SetCurrentMgr(fMgr);
    }
    ~ScopedIntlMgr() {
        vkit::VIntlMgr::SetCurrentMgr(nullptr);
        if (fMgr != nullptr)
            fMgr->Release();
    }

private:
    vkit::VIntlMgr* fMgr;
};

} // namespace

// Calendar.

TEST(VTimeTest, DayNumbersAndWeekDays) {
    EXPECT_EQ(VTime::ComputeWeekDay(2000, 1, 1), 6); // Saturday
    EXPECT_EQ(VTime::ComputeJulianDay(2000, 1, 1), 2451544);
    EXPECT_EQ(VTime::ComputeJulianDay(1970, 1, 1), 2440587);
    EXPECT_EQ(VTime::ComputeWeekDay(1970, 1, 1), 4); // Thursday
    EXPECT_EQ(VTime::ComputeWeekDay(2024, 5, 6), 1); // Monday
    // January and February count with the year before: March 1 follows February 29 directly.
    EXPECT_EQ(VTime::ComputeJulianDay(2024, 3, 1) - VTime::ComputeJulianDay(2024, 2, 29), 1);
    EXPECT_EQ(VTime::ComputeJulianDay(2023, 3, 1) - VTime::ComputeJulianDay(2023, 2, 28), 1);
    EXPECT_EQ(VTime::ComputeJulianDay(2001, 1, 1) - VTime::ComputeJulianDay(2000, 1, 1), 366);
    EXPECT_EQ(VTime::ComputeJulianDay(1901, 1, 1) - VTime::ComputeJulianDay(1900, 1, 1), 365);
    EXPECT_EQ(UTC(2000, 1, 1).GetWeekDay(), 6);
    EXPECT_EQ(VTime::ComputeWeekDay(2024, 13, 1), -1);
}

TEST(VTimeTest, FromJulianDayInvertsEveryDayOfTheRange) {
    VTime time;
    int64_t first = VTime::ComputeJulianDay(0, 1, 1);
    int64_t last = VTime::ComputeJulianDay(32767, 12, 31);
    // 2000-01-01 is 2451544; 32 000 years of 365.2425 days later comes 32000-01-01.
    EXPECT_EQ(VTime::ComputeJulianDay(32000, 1, 1) - 2451544,
              30000 * 365 + 30000 / 4 - 30000 / 100 + 30000 / 400);
    int64_t expected = first;
    // Walk the calendar by hand and check every day number both ways.
    // Fourteen 400-year cycles, then the end of the range.
    for (int year = 0; year <= 32767; year = year == 5600 ? 32000 : year + 1) {
        if (year == 32000)
            expected = VTime::ComputeJulianDay(32000, 1, 1);
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= VTime::GetDaysInMonth(year, month); ++day, ++expected) {
                ASSERT_EQ(VTime::ComputeJulianDay(year, month, day), expected)
                    << year << "-" << month << "-" << day;
                if (day == 1 || expected % 97 == 0) {
                    time.FromJulianDay(expected);
                    ASSERT_FALSE(time.IsNull());
                    ASSERT_EQ(time.GetYear(), year);
                    ASSERT_EQ(time.GetMonth(), month);
                    ASSERT_EQ(time.GetDay(), day);
                    ASSERT_EQ(time.GetTimeOfDay(), 0u);
                }
            }
        }
    }
    EXPECT_EQ(expected - 1, last);
    time.FromJulianDay(first - 1);
    EXPECT_TRUE(time.IsNull());
    time.FromJulianDay(last + 1);
    EXPECT_TRUE(time.IsNull());
}

TEST(VTimeTest, LeapYearsAndDateChecks) {
    EXPECT_FALSE(VTime::IsLeapYear(1900));
    EXPECT_TRUE(VTime::IsLeapYear(2000));
    EXPECT_TRUE(VTime::IsLeapYear(2024));
    EXPECT_FALSE(VTime::IsLeapYear(2023));
    EXPECT_FALSE(VTime::CheckDate(1900, 2, 29));
    EXPECT_TRUE(VTime::CheckDate(2000, 2, 29));
    EXPECT_FALSE(VTime::CheckDate(2024, 4, 31));
    EXPECT_FALSE(VTime::CheckDate(2024, 0, 1));
    EXPECT_FALSE(VTime::CheckDate(2024, 1, 0));
    EXPECT_FALSE(VTime::CheckDate(-1, 1, 1));
    EXPECT_TRUE(UTC(1900, 2, 29).IsNull());
    EXPECT_FALSE(UTC(2000, 2, 29).IsNull());
}

// Parts and stamps.

TEST(VTimeTest, InvalidPartsMakeTheValueNull) {
    EXPECT_TRUE(UTC(2024, 5, 6, 24).IsNull());
    EXPECT_TRUE(UTC(2024, 5, 6, 23, 60).IsNull());
    EXPECT_TRUE(UTC(2024, 5, 6, 23, 59, 60).IsNull());
    EXPECT_TRUE(UTC(2024, 5, 6, 23, 59, 59, 1000).IsNull());
    EXPECT_TRUE(UTC(2024, 5, 6, -1).IsNull());
    EXPECT_TRUE(UTC(-5, 5, 6).IsNull());
    EXPECT_FALSE(UTC(2024, 5, 6, 23, 59, 59, 999).IsNull());
}

TEST(VTimeTest, EmptyDateCarriesTheTimePartsAsGiven) {
    VTime time = UTC(0, 0, 0, 12, 30);
    EXPECT_FALSE(time.IsNull());
    EXPECT_TRUE(time.IsEmptyDate());
    EXPECT_EQ(time.GetTimeOfDay(), 45000000u);
    EXPECT_EQ(time.GetMilliseconds(), 0); // the empty date counts as 0 whatever its time
    EXPECT_EQ(time.GetWeekDay(), -1);
    EXPECT_TRUE(UTC(0, 0, 0, -1).IsNull());
}

TEST(VTimeTest, StampPacksTheParts) {
    VTime time = UTC(2024, 5, 6, 7, 8, 9, 10);
    uint64_t timeOfDay = 7 * 3600000 + 8 * 60000 + 9 * 1000 + 10;
    uint64_t stamp = (uint64_t{2024} << 48) | (uint64_t{5} << 40) | (uint64_t{6} << 32) | timeOfDay;
    EXPECT_EQ(time.GetStamp(), stamp);
    VTime back(stamp);
    EXPECT_EQ(back, time);
    EXPECT_EQ(VTime().GetStamp(), 0u);
}

TEST(VTimeTest, AbsoluteMilliseconds) {
    VTime time = UTC(2000, 1, 1, 0, 0, 1, 5);
    EXPECT_EQ(time.GetMilliseconds(), 2451544 * VTime::kMillisecondsPerDay + 1005);
    VTime back;
    back.FromMilliseconds(time.GetMilliseconds());
    EXPECT_EQ(back, time);
    EXPECT_EQ(VTime().GetMilliseconds(), -1);
    back.FromMilliseconds(0);
    EXPECT_FALSE(back.IsNull());
    EXPECT_TRUE(back.IsEmptyDate());
    EXPECT_EQ(back.GetTimeOfDay(), 0u);
    back.FromMilliseconds(-1);
    EXPECT_TRUE(back.IsNull());
    // Before year 0 of the numbering.
    back.FromMilliseconds(1000);
    EXPECT_TRUE(back.IsNull());
}

// Arithmetic.

TEST(VTimeTest, AddMonthsCarriesYearsAndKeepsTheDay) {
    VTime time = UTC(2024, 1, 31, 10);
    time.AddMonths(1);
    // The day is not adjusted: February 31 stays as it is.
    EXPECT_EQ(time.GetYear(), 2024);
    EXPECT_EQ(time.GetMonth(), 2);
    EXPECT_EQ(time.GetDay(), 31);
    EXPECT_EQ(time.GetHour(), 10);
    time = UTC(2024, 1, 15);
    time.AddMonths(-1);
    EXPECT_EQ(Show(time), "2023-12-15T00:00:00.000Z");
    time.AddMonths(13);
    EXPECT_EQ(Show(time), "2025-01-15T00:00:00.000Z");
    time.AddMonths(-25);
    EXPECT_EQ(Show(time), "2022-12-15T00:00:00.000Z");
    time = UTC(0, 1, 1);
    time.AddMonths(-1);
    EXPECT_TRUE(time.IsNull());
}

TEST(VTimeTest, AddYearsChangesOnlyTheYear) {
    VTime time = UTC(2024, 2, 29, 1, 2, 3, 4);
    time.AddYears(1);
    EXPECT_EQ(time.GetYear(), 2025);
    EXPECT_EQ(time.GetMonth(), 2);
    EXPECT_EQ(time.GetDay(), 29);
    EXPECT_EQ(time.GetMillisecond(), 4);
    time.AddYears(40000);
    EXPECT_TRUE(time.IsNull());
}

TEST(VTimeTest, AddingWorksOnAbsoluteMilliseconds) {
    VTime time = UTC(2023, 12, 31, 23, 59, 59, 999);
    time.AddMilliseconds(1);
    EXPECT_EQ(Show(time), "2024-01-01T00:00:00.000Z");
    time = UTC(2024, 2, 28, 12);
    time.AddDays(1);
    EXPECT_EQ(Show(time), "2024-02-29T12:00:00.000Z");
    time.AddHours(12);
    EXPECT_EQ(Show(time), "2024-03-01T00:00:00.000Z");
    time.AddMinutes(-1);
    EXPECT_EQ(Show(time), "2024-02-29T23:59:00.000Z");
    time.AddSeconds(-86400 * 366);
    EXPECT_EQ(Show(time), "2023-02-28T23:59:00.000Z");
    time.Add(VDuration(1500));
    EXPECT_EQ(Show(time), "2023-02-28T23:59:01.500Z");
    time.Substract(VDuration(1500));
    EXPECT_EQ(Show(time), "2023-02-28T23:59:00.000Z");
    time.AddDays(INT64_MAX / 2);
    EXPECT_TRUE(time.IsNull());
    time.AddDays(1);
    EXPECT_TRUE(time.IsNull()); // a null time stays null
}

TEST(VTimeTest, AddingToTheEmptyDateIgnoresItsTimeOfDay) {
    VTime time = UTC(0, 0, 0, 12);
    time.AddMilliseconds(0);
    EXPECT_TRUE(time.IsEmptyDate());
    EXPECT_EQ(time.GetTimeOfDay(), 0u);
    time = UTC(0, 0, 0, 12);
    time.AddHours(1); // day 0 of the numbering lies before year 0
    EXPECT_TRUE(time.IsNull());
}

TEST(VTimeTest, SubstractingTimesGivesADuration) {
    VDuration span;
    UTC(2024, 3, 1).Substract(UTC(2024, 2, 28, 12), span);
    EXPECT_EQ(span.ConvertToMilliseconds(), 36 * 3600000);
    UTC(2024, 2, 28, 12).Substract(UTC(2024, 3, 1), span);
    EXPECT_EQ(span.ConvertToMilliseconds(), -36 * 3600000);
    UTC(2024, 3, 1).Substract(VTime(), span);
    EXPECT_TRUE(span.IsNull());
    VTime time = UTC(2024, 3, 1);
    VDuration nullSpan;
    nullSpan.SetNull();
    time.Add(nullSpan);
    EXPECT_TRUE(time.IsNull());
}

TEST(VTimeTest, ComparisonsOrderNullFirstThenByDateAndTime) {
    EXPECT_LT(VTime(), UTC(0, 0, 0));
    EXPECT_LT(UTC(0, 0, 0, 23), UTC(1, 1, 1));
    EXPECT_LT(UTC(2024, 5, 6, 23), UTC(2024, 5, 7));
    EXPECT_LT(UTC(2024, 5, 6, 1, 0, 0, 1), UTC(2024, 5, 6, 1, 0, 0, 2));
    EXPECT_EQ(VTime(), VTime());
    EXPECT_GT(UTC(2025, 1, 1), UTC(2024, 12, 31, 23, 59, 59, 999));
    EXPECT_TRUE(UTC(2024, 5, 6).EqualToSameKind(UTC(2024, 5, 6), true));
    EXPECT_FALSE(UTC(2024, 5, 6).EqualToSameKind(UTC(2024, 5, 7), true));
    EXPECT_FALSE(UTC(2024, 5, 6).EqualToSameKind(VString("2024-05-06"), true));
}

// RFC 3339 writing.

TEST(VTimeTest, Rfc3339UTCForms) {
    VTime time = UTC(2024, 5, 6, 7, 8, 9, 10);
    using namespace vkit;
    EXPECT_EQ(Rfc(time, eRfc3339UTC), "2024-05-06T07:08:09.010Z");
    EXPECT_EQ(Rfc(time, eRfc3339UTC | eRfc3339NoMilliseconds), "2024-05-06T07:08:09Z");
    EXPECT_EQ(Rfc(time, eRfc3339UTC | eRfc3339DateOnly), "2024-05-06");
    EXPECT_EQ(Rfc(time, eRfc3339UTC | eRfc3339TimeOnly), "07:08:09Z");
    EXPECT_EQ(Rfc(time, eRfc3339UTC | eRfc3339ZeroDate), "0000-00-00T07:08:09.010Z");
    EXPECT_EQ(Rfc(time, eRfc3339UTC | eRfc3339ZeroDate | eRfc3339DateOnly), "0000-00-00");
    // UTC wins over local.
    EXPECT_EQ(Rfc(time, eRfc3339UTC | eRfc3339Local), "2024-05-06T07:08:09.010Z");
}

TEST(VTimeTest, Rfc3339NullTimeWhateverTheOptions) {
    for (uint32_t options = 0; options < 64; ++options)
        EXPECT_EQ(Rfc(VTime(), options), "0000-00-00T00:00:00Z") << options;
}

TEST(VTimeTest, Rfc3339LocalForms) {
    using namespace vkit;
    VTime summer = UTC(2024, 5, 6, 7, 8, 9, 10);
    VTime winter = UTC(2024, 1, 15, 23, 30);
    {
        auto zone = Paris();
        EXPECT_EQ(Rfc(summer, eRfc3339Local), "2024-05-06T09:08:09.010");
        EXPECT_EQ(Rfc(summer, eRfc3339Local | eRfc3339NoMilliseconds), "2024-05-06T09:08:09");
        EXPECT_EQ(Rfc(summer, eRfc3339Local | eRfc3339TimeOnly), "09:08:09");
        EXPECT_EQ(Rfc(summer, eRfc3339Local | eRfc3339DateOnly), "2024-05-06");
        EXPECT_EQ(Rfc(summer, 0), "2024-05-06T09:08:09+02:00"); // never milliseconds
        EXPECT_EQ(Rfc(summer, eRfc3339TimeOnly), "09:08:09+02:00");
        EXPECT_EQ(Rfc(summer, eRfc3339DateOnly), "2024-05-06+02:00");
        EXPECT_EQ(Rfc(summer, eRfc3339ZeroDate), "0000-00-00T09:08:09+02:00");
        // The offset is the one in effect at that time, and the local date may be the next day.
        EXPECT_EQ(Rfc(winter, 0), "2024-01-16T00:30:00+01:00");
        EXPECT_EQ(Rfc(winter, eRfc3339DateOnly), "2024-01-16+01:00");
    }
    {
        auto zone = NewYork();
        EXPECT_EQ(Rfc(summer, 0), "2024-05-06T03:08:09-04:00");
        EXPECT_EQ(Rfc(winter, 0), "2024-01-15T18:30:00-05:00");
        EXPECT_EQ(Rfc(winter, eRfc3339Local), "2024-01-15T18:30:00.000");
    }
    {
        // Offsets that are not whole hours, on both sides of UTC.
        auto zone = Kolkata();
        EXPECT_EQ(Rfc(summer, 0), "2024-05-06T12:38:09+05:30");
    }
    {
        auto zone = StJohns();
        EXPECT_EQ(Rfc(winter, 0), "2024-01-15T20:00:00-03:30");
    }
}

namespace {

/// The RFC 3339 text of local or UTC parts by the formats of the form table, through snprintf.
std::string Rfc3339ByFormats(uint32_t inOptions, int y, int mo, int d, int h, int mi, int s, int ms,
                             long inOffset) {
    char buffer[255];
    if (inOptions & vkit::eRfc3339ZeroDate)
        y = mo = d = 0;
    char sign = inOffset >= 0 ? '+' : '-';
    long hours = std::labs(inOffset) / 3600, minutes = std::labs(inOffset) % 3600 / 60;
    bool utc = inOptions & 1, local = !utc && (inOptions & 2);
    if (inOptions & 4) {
        if (utc)
            std::snprintf(buffer, sizeof(buffer), "%02d:%02d:%02dZ", h, mi, s);
        else if (local)
            std::snprintf(buffer, sizeof(buffer), "%02d:%02d:%02d", h, mi, s);
        else
            std::snprintf(buffer, sizeof(buffer), "%02d:%02d:%02d%c%02ld:%02ld", h, mi, s, sign, hours,
                          minutes);
    } else if (inOptions & 8) {
        if (utc || local)
            std::snprintf(buffer, sizeof(buffer), "%04d-%02d-%02d", y, mo, d);
        else
            std::snprintf(buffer, sizeof(buffer), "%04d-%02d-%02d%c%02ld:%02ld", y, mo, d, sign, hours,
                          minutes);
    } else if (!utc && !local) {
        std::snprintf(buffer, sizeof(buffer), "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld", y, mo, d, h, mi,
                      s, sign, hours, minutes);
    } else if (inOptions & 32) {
        std::snprintf(buffer, sizeof(buffer),
                      utc ? "%04d-%02d-%02dT%02d:%02d:%02dZ" : "%04d-%02d-%02dT%02d:%02d:%02d", y, mo, d, h,
                      mi, s);
    } else {
        std::snprintf(buffer, sizeof(buffer),
                      utc ? "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ" : "%04d-%02d-%02dT%02d:%02d:%02d.%03d", y,
                      mo, d, h, mi, s, ms);
    }
    return buffer;
}

} // namespace

TEST(VTimeTest, Rfc3339EveryOptionCombinationMatchesTheFormats) {
    auto zone = StJohns();
    std::mt19937 engine(7);
    for (int i = 0; i < 200; ++i) {
        int year = std::uniform_int_distribution<int>(1950, 12000)(engine);
        int month = std::uniform_int_distribution<int>(1, 12)(engine);
        int day = std::uniform_int_distribution<int>(1, VTime::GetDaysInMonth(year, month))(engine);
        int ms = std::uniform_int_distribution<int>(0, 86399999)(engine);
        VTime time = UTC(year, month, day, ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
        int16_t u[7], l[7];
        time.GetUTCTime(u[0], u[1], u[2], u[3], u[4], u[5], u[6]);
        time.GetLocalTime(l[0], l[1], l[2], l[3], l[4], l[5], l[6]);
        // The offset in effect: local minus UTC parts, in seconds.
        VTime localAsUTC = UTC(l[0], l[1], l[2], l[3], l[4], l[5], l[6]);
        long offset = static_cast<long>((localAsUTC.GetMilliseconds() - time.GetMilliseconds()) / 1000);
        for (uint32_t options = 0; options < 64; ++options) {
            const int16_t* p = (options & vkit::eRfc3339UTC) ? u : l;
            ASSERT_EQ(Rfc(time, options),
                      Rfc3339ByFormats(options, p[0], p[1], p[2], p[3], p[4], p[5], p[6], offset))
                << Show(time) << " options " << options;
        }
    }
}

TEST(VTimeTest, Rfc3339LocalFormsOfATimeOnlyValueApplyNoZone) {
    auto zone = NewYork();
    VTime time = UTC(0, 0, 0, 12, 30);
    EXPECT_EQ(Rfc(time, 0), "0000-00-00T12:30:00+00:00");
    EXPECT_EQ(Rfc(time, vkit::eRfc3339Local | vkit::eRfc3339TimeOnly), "12:30:00");
    EXPECT_EQ(Rfc(time, vkit::eRfc3339UTC), "0000-00-00T12:30:00.000Z");
}

// RFC 3339 reading.

TEST(VTimeTest, Rfc3339ReadsFractionsAsTruncatedMilliseconds) {
    EXPECT_EQ(Show(Read("2024-05-06T07:08:09.5Z")), "2024-05-06T07:08:09.500Z");
    EXPECT_EQ(Read("2024-05-06T07:08:09.5Z").GetMillisecond(), 500);
    // 9.010 is not exact in binary; it still gives 10 milliseconds.
    EXPECT_EQ(Show(Read("2024-05-06T07:08:09.010Z")), "2024-05-06T07:08:09.010Z");
    EXPECT_EQ(Show(Read("2024-05-06T07:08:09.9999Z")), "2024-05-06T07:08:09.999Z");
    EXPECT_EQ(Show(Read("2024-05-06T07:08:09.123456789Z")), "2024-05-06T07:08:09.123Z");
}

TEST(VTimeTest, Rfc3339ReadsUnderACommaLocale) {
    vkit::testing::StCommaNumericLocale comma;
    if (!comma.IsActive())
        GTEST_SKIP() << "localedef could not build a comma locale";
    EXPECT_EQ(Show(Read("2024-05-06T07:08:09.5Z")), "2024-05-06T07:08:09.500Z");
}

TEST(VTimeTest, Rfc3339TimeOnlyAndSecondsForms) {
    VTime time = Read("12:30:00");
    EXPECT_FALSE(time.IsNull());
    EXPECT_TRUE(time.IsEmptyDate());
    EXPECT_EQ(time.GetTimeOfDay(), 45000000u);
    {
        // No zone applies to a time alone, even with an offset or under another zone.
        auto zone = Paris();
        EXPECT_EQ(Read("12:30:00+05:00").GetTimeOfDay(), 45000000u);
        EXPECT_EQ(Read("07:08:09.25Z").GetTimeOfDay(), 25689250u);
    }
    bool result = true;
    EXPECT_TRUE(Read("123:30:00", &result).IsNull());
    EXPECT_FALSE(result);
    // One integer: seconds since midnight.
    time = Read("45000");
    EXPECT_TRUE(time.IsEmptyDate());
    EXPECT_EQ(time.GetTimeOfDay(), 45000000u);
    EXPECT_TRUE(Read("86400", &result).IsNull());
    EXPECT_FALSE(result);
}

TEST(VTimeTest, Rfc3339DateOnlyIsMidnightUTC) {
    auto zone = NewYork();
    EXPECT_EQ(Show(Read("2024-05-06")), "2024-05-06T00:00:00.000Z");
    // A date with an offset is midnight there.
    EXPECT_EQ(Show(Read("2024-05-06+02:00")), "2024-05-05T22:00:00.000Z");
    EXPECT_EQ(Show(Read("2024-05-06-05:00")), "2024-05-06T05:00:00.000Z");
}

TEST(VTimeTest, Rfc3339Offsets) {
    EXPECT_EQ(Show(Read("2024-05-06T07:08:09+02:00")), "2024-05-06T05:08:09.000Z");
    EXPECT_EQ(Show(Read("2024-05-06T07:08:09.250-05:30")), "2024-05-06T12:38:09.250Z");
    EXPECT_EQ(Show(Read("2024-01-01T01:00:00+02:00")), "2023-12-31T23:00:00.000Z");
    EXPECT_EQ(Show(Read("2024-05-06T07:08:09+00:00")), "2024-05-06T07:08:09.000Z");
}

TEST(VTimeTest, Rfc3339WithoutZoneIsLocalTime) {
    {
        auto zone = Paris();
        EXPECT_EQ(Show(Read("2024-05-06T09:08:09.010")), "2024-05-06T07:08:09.010Z");
        EXPECT_EQ(Show(Read("2024-01-16T00:30:00")), "2024-01-15T23:30:00.000Z");
    }
    {
        auto zone = NewYork();
        EXPECT_EQ(Show(Read("2024-05-06T09:08:09")), "2024-05-06T13:08:09.000Z");
    }
}

TEST(VTimeTest, Rfc3339InvalidDatesAndZeroPartsGiveNullAndSucceed) {
    bool result = false;
    EXPECT_TRUE(Read("0000-00-00T00:00:00Z", &result).IsNull());
    EXPECT_TRUE(result);
    EXPECT_TRUE(Read("2023-02-29T10:00:00Z", &result).IsNull());
    EXPECT_TRUE(result);
    EXPECT_TRUE(Read("2024-13-01", &result).IsNull());
    EXPECT_TRUE(result);
    // The empty date with a time is a time-only value.
    VTime time = Read("0000-00-00T07:08:09.010Z", &result);
    EXPECT_TRUE(result);
    EXPECT_TRUE(time.IsEmptyDate());
    EXPECT_EQ(time.GetTimeOfDay(), 25689010u);
}

TEST(VTimeTest, Rfc3339MissingPiecesFail) {
    for (const char* text :
         {"2024-05-06T07:08Z", "2024-05-06T07", "12:30", "2024-05", "", "noon", "2024-05-06Tab:cd:efZ",
          "2024-05-06T24:00:00Z", "2024-05-06T23:60:00Z", "2024-05-06T23:59:60Z"}) {
        bool result = true;
        EXPECT_TRUE(Read(text, &result).IsNull()) << text;
        EXPECT_FALSE(result) << text;
    }
    // A text longer than the form's buffer is refused whole.
    std::string longText = "2024-05-06T07:08:09.5" + std::string(300, '0') + "Z";
    bool result = true;
    EXPECT_TRUE(Read(longText.c_str(), &result).IsNull());
    EXPECT_FALSE(result);
}

// The other text forms.

TEST(VTimeTest, JSONForms) {
    using namespace vkit;
    VTime time = UTC(2024, 5, 6, 7, 8, 9, 10);
    VTime midnight = UTC(2024, 5, 6);
    VString text;
    time.GetJSONString(text, 0);
    EXPECT_EQ(text.ToUTF8(), "2024-05-06T07:08:09.010Z");
    time.GetJSONString(text, eJSONTimeQuoted);
    EXPECT_EQ(text.ToUTF8(), "\"2024-05-06T07:08:09.010Z\"");
    time.GetJSONString(text, eJSONTimeQuoted | eJSONTimeBangMarks);
    EXPECT_EQ(text.ToUTF8(), "\"!!2024-05-06T07:08:09.010Z!!\"");
    time.GetJSONString(text, eJSONTimeBangMarks);
    EXPECT_EQ(text.ToUTF8(), "!!2024-05-06T07:08:09.010Z!!");
    time.GetJSONString(text, eJSONTimeDateOnlyAtMidnight);
    EXPECT_EQ(text.ToUTF8(), "2024-05-06T07:08:09.010Z");
    midnight.GetJSONString(text, eJSONTimeDateOnlyAtMidnight | eJSONTimeQuoted);
    EXPECT_EQ(text.ToUTF8(), "\"2024-05-06\"");
    midnight.GetJSONString(text, 0);
    EXPECT_EQ(text.ToUTF8(), "2024-05-06T00:00:00.000Z");
    time.GetJSONString(text);
    EXPECT_EQ(text.ToUTF8(), "\"2024-05-06T07:08:09.010Z\"");
    VTime().GetJSONString(text);
    EXPECT_EQ(text.ToUTF8(), "null");
    VTime back;
    EXPECT_TRUE(back.FromJSONString(VString("\"!!2024-05-06T07:08:09.010Z!!\"")));
    EXPECT_EQ(back, time);
    EXPECT_TRUE(back.FromJSONString(VString("null")));
    EXPECT_TRUE(back.IsNull());
}

TEST(VTimeTest, XMLFormAndItsMarks) {
    VTime time = UTC(2024, 5, 6, 7, 8, 9, 10);
    VString text;
    time.GetXMLString(text);
    EXPECT_EQ(text.ToUTF8(), "2024-05-06T07:08:09.010Z");
    VTime back;
    EXPECT_TRUE(back.FromXMLString(text));
    EXPECT_EQ(back, time);
    EXPECT_TRUE(back.FromXMLString(VString("!!2024-05-06T07:08:09.010Z!!")));
    EXPECT_EQ(back, time);
    // Another text with "!" is the simple form, day first.
    EXPECT_TRUE(back.FromXMLString(VString("!06!05!2024")));
    EXPECT_EQ(Show(back), "2024-05-06T00:00:00.000Z");
    EXPECT_FALSE(back.FromXMLString(VString("!!")));
    EXPECT_TRUE(back.IsNull());
    // A null time writes a text that reads back as null.
    VTime().GetXMLString(text);
    EXPECT_TRUE(back.FromXMLString(text));
    EXPECT_TRUE(back.IsNull());
}

TEST(VTimeTest, SimpleTextGroupsOfDigits) {
    VTime time;
    time.FromString(VString("2024-05-06 07:08:09:010"));
    EXPECT_EQ(Show(time), "2024-05-06T07:08:09.010Z");
    time.FromString(VString("2024/5/6"));
    EXPECT_EQ(Show(time), "2024-05-06T00:00:00.000Z");
    // Day first after a leading "!", the time then 0 and more marks allowed.
    time.FromString(VString("!06/05/2024 12:00"));
    EXPECT_EQ(Show(time), "2024-05-06T00:00:00.000Z");
    time.FromString(VString("!6!5!2024!"));
    EXPECT_EQ(Show(time), "2024-05-06T00:00:00.000Z");
    // A "!" after a group stops the reading.
    time.FromString(VString("2024-05-06!07:08"));
    EXPECT_EQ(Show(time), "2024-05-06T00:00:00.000Z");
    // Seven groups at most.
    time.FromString(VString("2024 5 6 7 8 9 10 11"));
    EXPECT_EQ(Show(time), "2024-05-06T07:08:09.010Z");
    time.FromString(VString("2024-13-06"));
    EXPECT_TRUE(time.IsNull());
    time.FromString(VString("99999-01-01"));
    EXPECT_TRUE(time.IsNull());
    time = UTC(2024, 1, 1);
    time.FromString(VString("no digits"));
    EXPECT_TRUE(time.IsNull());
    VString nullText;
    nullText.SetNull();
    time = UTC(2024, 1, 1);
    time.FromString(nullText);
    EXPECT_TRUE(time.IsNull());
}

TEST(VTimeTest, Rfc822Form) {
    VTime time = UTC(2024, 5, 6, 7, 8, 9, 10);
    VString text;
    time.GetRfc822String(text);
    EXPECT_EQ(text.ToUTF8(), "Mon, 06 May 2024 07:08:09 GMT");
    UTC(2000, 1, 1).GetRfc822String(text);
    EXPECT_EQ(text.ToUTF8(), "Sat, 01 Jan 2000 00:00:00 GMT");
    VTime back;
    EXPECT_TRUE(back.FromRfc822String(VString("Mon, 06 May 2024 07:08:09 GMT")));
    EXPECT_EQ(Show(back), "2024-05-06T07:08:09.000Z");
    EXPECT_TRUE(back.FromRfc822String(VString("06 MAY 2024 07:08:09 +0200")));
    EXPECT_EQ(Show(back), "2024-05-06T05:08:09.000Z");
    EXPECT_TRUE(back.FromRfc822String(VString("Tue, 31 dec 99 23:59 EST")));
    EXPECT_EQ(Show(back), "2000-01-01T04:59:00.000Z");
    for (const char* bad :
         {"Mon, 06 Foo 2024 07:08:09 GMT", "Mon, 06 May 2024", "Mon, 06 May 2024 07:08:09 XYZ",
          "Mon, 31 Apr 2024 07:08:09 GMT", "Mon, 06 May 2024 07:08:09 +02"}) {
        back = UTC(2024, 1, 1);
        EXPECT_FALSE(back.FromRfc822String(VString(bad))) << bad;
        EXPECT_TRUE(back.IsNull()) << bad;
    }
    VTime().GetRfc822String(text);
    EXPECT_TRUE(text.IsEmpty());
}

TEST(VTimeTest, LocalTextForm) {
    auto zone = Paris();
    VString text;
    UTC(2024, 5, 6, 7, 8, 9, 10).GetStringLocalTime(text);
    EXPECT_EQ(text.ToUTF8(), "2024-05-06 09:08:09:010");
    VTime().GetStringLocalTime(text);
    EXPECT_TRUE(text.IsEmpty());
}

TEST(VTimeTest, FormatByOSUsesTheLocaleAndLocalTime) {
    auto zone = Paris();
    VString text;
    {
        ScopedIntlMgr english("en_US");
        UTC(2024, 5, 6, 7, 8, 9).FormatByOS(text);
        std::string shown = text.ToUTF8();
        EXPECT_NE(shown.find("May"), std::string::npos) << shown;
        EXPECT_NE(shown.find("2024"), std::string::npos) << shown;
        EXPECT_NE(shown.find("9:08:09"), std::string::npos) << shown;
        // Dates before the Julian calendar's end are still Gregorian: March 1, not February 19.
        UTC(1500, 3, 1, 12).FormatByOS(text);
        shown = text.ToUTF8();
        EXPECT_NE(shown.find("Mar 1, 1500"), std::string::npos) << shown;
        UTC(2024, 5, 6, 7, 8, 9).GetString(text);
        EXPECT_NE(text.ToUTF8().find("May"), std::string::npos);
    }
    {
        ScopedIntlMgr french("fr_FR");
        UTC(2024, 5, 6, 7, 8, 9).FormatByOS(text);
        std::string shown = text.ToUTF8();
        EXPECT_NE(shown.find("mai"), std::string::npos) << shown;
        EXPECT_NE(shown.find("09:08:09"), std::string::npos) << shown;
    }
    {
        ScopedIntlMgr english("en_US");
        UTC(0, 0, 0, 12, 30).FormatByOS(text);
        std::string shown = text.ToUTF8();
        EXPECT_NE(shown.find("12:30:00"), std::string::npos) << shown;
        EXPECT_EQ(shown.find("1970"), std::string::npos) << shown;
    }
    VTime().FormatByOS(text);
    EXPECT_TRUE(text.IsEmpty());
}

// Local time.

TEST(VTimeTest, LocalPartsFollowTheZoneAndItsDaylightSaving) {
    auto zone = Paris();
    VTime time;
    time.FromLocalTime(2024, 5, 6, 9, 8, 9, 10);
    EXPECT_EQ(Show(time), "2024-05-06T07:08:09.010Z");
    time.FromLocalTime(2024, 1, 6, 9, 8, 9, 10);
    EXPECT_EQ(Show(time), "2024-01-06T08:08:09.010Z");
    int16_t parts[7];
    UTC(2024, 12, 31, 23, 30, 1, 2)
        .GetLocalTime(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]);
    EXPECT_EQ(parts[0], 2025);
    EXPECT_EQ(parts[1], 1);
    EXPECT_EQ(parts[2], 1);
    EXPECT_EQ(parts[3], 0);
    EXPECT_EQ(parts[4], 30);
    EXPECT_EQ(parts[5], 1);
    EXPECT_EQ(parts[6], 2);
    // The last night of March: 01:59:59 UTC is 03:59:59 local, one second earlier 02:59:59 UTC+1.
    EXPECT_EQ(UTC(2024, 3, 31, 0, 59, 59).GetLocalHour(), 1);
    EXPECT_EQ(UTC(2024, 3, 31, 1, 0, 0).GetLocalHour(), 3);
    time.FromLocalTime(2024, 2, 30, 0, 0, 0, 0);
    EXPECT_TRUE(time.IsNull());
}

TEST(VTimeTest, SettingOneLocalPartKeepsTheOthers) {
    auto zone = NewYork();
    VTime time = UTC(2024, 5, 6, 3, 8, 9, 10); // 23:08:09.010 on May 5 in New York
    EXPECT_EQ(time.GetLocalDay(), 5);
    time.SetLocalHour(10);
    EXPECT_EQ(Show(time), "2024-05-05T14:08:09.010Z");
    time.SetLocalMonth(1); // winter: five hours behind
    EXPECT_EQ(Show(time), "2024-01-05T15:08:09.010Z");
    time.SetLocalMillisecond(999);
    EXPECT_EQ(time.GetLocalMillisecond(), 999);
    time.SetLocalDay(31);
    time.SetLocalMonth(2);
    EXPECT_TRUE(time.IsNull());
}

TEST(VTimeTest, GMTOffsetFollowsTheZoneSetting) {
    {
        auto zone = Kolkata();
        EXPECT_EQ(VTime::GetGMTOffset(true), 19800);
        EXPECT_EQ(VTime::GetGMTOffset(false), 19800);
    }
    {
        // The cached offset is dropped when TZ changes.
        auto zone = NewYork();
        EXPECT_EQ(VTime::GetGMTOffset(false), -18000);
        int32_t withDaylight = VTime::GetGMTOffset(true);
        EXPECT_TRUE(withDaylight == -18000 || withDaylight == -14400) << withDaylight;
    }
    {
        auto zone = Universal();
        EXPECT_EQ(VTime::GetGMTOffset(true), 0);
    }
}

TEST(VTimeTest, NowIsAValidDate) {
    VTime now = VTime::Now();
    EXPECT_FALSE(now.IsNull());
    EXPECT_TRUE(VTime::CheckDate(now.GetYear(), now.GetMonth(), now.GetDay()));
    EXPECT_LT(now.GetTimeOfDay(), 86400000u);
}

// Conversions as a value.

TEST(VTimeTest, ValueConversions) {
    VTime time = UTC(2024, 5, 6, 7, 8, 9, 10);
    VTime copy;
    copy.FromValue(time);
    EXPECT_EQ(copy, time);
    copy.FromValue(VString("2024-05-06T07:08:09.010Z"));
    EXPECT_EQ(copy, time);
    copy.FromValue(vkit::VLong8(time.GetMilliseconds()));
    EXPECT_EQ(copy, time);
    vkit::VLong8 nullNumber;
    nullNumber.SetNull();
    copy.FromValue(nullNumber);
    EXPECT_TRUE(copy.IsNull());
    EXPECT_EQ(time.GetLong8(), time.GetMilliseconds());
    EXPECT_EQ(time.GetLong(), 0); // does not fit
    copy.FromReal(static_cast<double>(time.GetMilliseconds()));
    EXPECT_EQ(copy, time);
    std::unique_ptr<VTime> clone(time.Clone());
    EXPECT_EQ(*clone, time);
    time.SetNull();
    EXPECT_EQ(time.GetStamp(), 0u);
}

// Round trips.

namespace {

/// Random valid times with every part used, from a fixed seed.
class RandomTimes {
public:
    RandomTimes(int inFirstYear, int inLastYear) : fYears(inFirstYear, inLastYear) {}
    VTime Next() {
        int year = fYears(fEngine);
        int month = std::uniform_int_distribution<int>(1, 12)(fEngine);
        int day = std::uniform_int_distribution<int>(1, VTime::GetDaysInMonth(year, month))(fEngine);
        int millisecondOfDay = std::uniform_int_distribution<int>(0, 86399999)(fEngine);
        return UTC(year, month, day, millisecondOfDay / 3600000, millisecondOfDay / 60000 % 60,
                   millisecondOfDay / 1000 % 60, millisecondOfDay % 1000);
    }

private:
    std::mt19937 fEngine{20240506};
    std::uniform_int_distribution<int> fYears;
};

VTime WithoutMilliseconds(const VTime& inTime) {
    VTime copy = inTime;
    copy.AddMilliseconds(-copy.GetMillisecond());
    return copy;
}

VTime DateOnly(const VTime& inTime) {
    return UTC(inTime.GetYear(), inTime.GetMonth(), inTime.GetDay());
}

} // namespace

TEST(VTimeTest, RoundTripOfRandomTimesThroughEveryForm) {
    using namespace vkit;
    RandomTimes random(1, 9999);
    VString text;
    VTime back;
    for (int i = 0; i < 3000; ++i) {
        VTime time = random.Next();
        ASSERT_FALSE(time.IsNull());
        std::string shown = Show(time);

        time.GetRfc3339String(text, eRfc3339UTC);
        ASSERT_TRUE(back.FromRfc3339String(text)) << shown;
        ASSERT_EQ(back, time) << shown;
        time.GetRfc3339String(text, eRfc3339UTC | eRfc3339NoMilliseconds);
        ASSERT_TRUE(back.FromRfc3339String(text)) << shown;
        ASSERT_EQ(back, WithoutMilliseconds(time)) << shown;
        time.GetRfc3339String(text, eRfc3339UTC | eRfc3339DateOnly);
        ASSERT_TRUE(back.FromRfc3339String(text)) << shown;
        ASSERT_EQ(back, DateOnly(time)) << shown;

        time.GetXMLString(text);
        ASSERT_TRUE(back.FromXMLString(text)) << shown;
        ASSERT_EQ(back, time) << shown;
        for (uint32_t options : {0u, 1u, 0x1000u, 0x1001u, 0x201u}) {
            time.GetJSONString(text, options);
            ASSERT_TRUE(back.FromJSONString(text)) << shown << " " << options;
            ASSERT_EQ(back, time) << shown << " " << options;
        }
        DateOnly(time).GetJSONString(text, eJSONTimeDateOnlyAtMidnight | eJSONTimeQuoted);
        ASSERT_TRUE(back.FromJSONString(text)) << shown;
        ASSERT_EQ(back, DateOnly(time)) << shown;

        time.GetRfc822String(text);
        ASSERT_TRUE(back.FromRfc822String(text)) << shown << " " << text.ToUTF8();
        ASSERT_EQ(back, WithoutMilliseconds(time)) << shown;

        back.FromStamp(time.GetStamp());
        ASSERT_EQ(back, time) << shown;
        back.FromMilliseconds(time.GetMilliseconds());
        ASSERT_EQ(back, time) << shown;
        back.FromJulianDay(time.GetJulianDay());
        ASSERT_EQ(back, DateOnly(time)) << shown;
    }
}

TEST(VTimeTest, RoundTripOfRandomTimesThroughTheLocalForms) {
    using namespace vkit;
    VString text;
    VTime back;
    {
        // The offset form names the offset, so it reads back in any zone, across daylight saving.
        auto zone = Paris();
        RandomTimes random(1950, 2100);
        for (int i = 0; i < 2000; ++i) {
            VTime time = random.Next();
            time.GetRfc3339String(text, 0);
            ASSERT_TRUE(back.FromRfc3339String(text)) << text.ToUTF8();
            ASSERT_EQ(back, WithoutMilliseconds(time)) << Show(time) << " " << text.ToUTF8();
        }
    }
    {
        // Local text without an offset is ambiguous where clocks go back; a zone without daylight
        // saving reads it back exactly, and the simple form reads the local text form.
        auto zone = Kolkata();
        RandomTimes random(1960, 2100);
        for (int i = 0; i < 2000; ++i) {
            VTime time = random.Next();
            time.GetRfc3339String(text, eRfc3339Local);
            ASSERT_TRUE(back.FromRfc3339String(text)) << text.ToUTF8();
            ASSERT_EQ(back, time) << Show(time) << " " << text.ToUTF8();
            int16_t p[7];
            time.GetLocalTime(p[0], p[1], p[2], p[3], p[4], p[5], p[6]);
            back.FromLocalTime(p[0], p[1], p[2], p[3], p[4], p[5], p[6]);
            ASSERT_EQ(back, time) << Show(time);
        }
    }
    {
        auto zone = Universal();
        RandomTimes random(1, 9999);
        for (int i = 0; i < 2000; ++i) {
            VTime time = random.Next();
            time.GetStringLocalTime(text);
            back.FromString(text);
            ASSERT_EQ(back, time) << Show(time) << " " << text.ToUTF8();
        }
    }
}
