// VTime: a UTC date and time of day with millisecond resolution, its calendar and its text forms.
#pragma once

#include "text/VValueSingle.h"

#include <cstdint>

namespace vkit {

class VDuration;
class VJSONValue;
class VString;
class VTimeTextScanner;

/// Options of VTime::GetRfc3339String and VTime::GetXMLString, combined with "|".
/// Without eRfc3339UTC and eRfc3339Local the local time is written with its offset from UTC.
enum : uint32_t {
    /// UTC, with the suffix "Z".
    eRfc3339UTC = 1,
    /// Local time without an offset.
    eRfc3339Local = 2,
    /// The time of day only.
    eRfc3339TimeOnly = 4,
    /// The date only.
    eRfc3339DateOnly = 8,
    /// The date written as zeros.
    eRfc3339ZeroDate = 16,
    /// No milliseconds.
    eRfc3339NoMilliseconds = 32
};

/// Options of VTime::GetJSONString, combined with "|".
enum : uint32_t {
    /// The text between double quotes.
    eJSONTimeQuoted = 1,
    /// A time at midnight is written as its date only.
    eJSONTimeDateOnlyAtMidnight = 0x200,
    /// The text between "!!" marks (inside the quotes when both are asked).
    eJSONTimeBangMarks = 0x1000
};

/// Options of VTime::GetJSONValue.
enum : uint32_t {
    /// The time itself, as a JSON date value (its UTC date: a JSON date has no time of day).
    eJSONValueTimeAsDate = 1
};

/// A calendar date (proleptic Gregorian) and a time of day in UTC with millisecond resolution, with
/// the null flag of values. Year, month and day all 0 make the empty date: not null, it may carry a
/// time of day (a time-only value).
///
/// Local time is the zone of the TZ setting (the system's zone when TZ is unset). Operations that
/// read text never push errors: they make the value null and answer false.
class VTime : public VValueSingle {
public:
    /// Milliseconds in a day.
    static constexpr int64_t kMillisecondsPerDay = 86400000;

    /// A null time (all parts 0).
    VTime() noexcept : VValueSingle(true) {}
    /// The time a stamp packs (see FromStamp); not null.
    explicit VTime(uint64_t inStamp) noexcept { FromStamp(inStamp); }

    /// The current UTC time.
    static VTime Now() noexcept;
    /// Sets the value to the current UTC time.
    void FromSystemTime() noexcept;

    // Stamps: year in bits 48 to 63, month in 40 to 47, day in 32 to 39, milliseconds since midnight
    // in 0 to 31.
    /// The stamp of the value; 0 when null.
    uint64_t GetStamp() const noexcept;
    /// Sets the parts a stamp packs, as they are (no check), and clears the null flag.
    void FromStamp(uint64_t inStamp) noexcept;

    // Parts in UTC.
    /// Sets the value from its UTC parts. Year, month and day all 0 take the time parts as they are
    /// (a time-only value); otherwise every part must be valid (year not negative, a day of the
    /// month, hour 0-23, minute and second 0-59, millisecond 0-999), else the value becomes null.
    void FromUTCTime(int16_t inYear, int16_t inMonth, int16_t inDay, int16_t inHour, int16_t inMinute,
                     int16_t inSecond, int16_t inMillisecond) noexcept;
    /// The UTC parts; all 0 when null.
    void GetUTCTime(int16_t& outYear, int16_t& outMonth, int16_t& outDay, int16_t& outHour,
                    int16_t& outMinute, int16_t& outSecond, int16_t& outMillisecond) const noexcept;
    int16_t GetYear() const noexcept { return fYear; }
    int16_t GetMonth() const noexcept { return fMonth; }
    int16_t GetDay() const noexcept { return fDay; }
    int16_t GetHour() const noexcept { return static_cast<int16_t>(fMilliseconds / 3600000); }
    int16_t GetMinute() const noexcept { return static_cast<int16_t>(fMilliseconds / 60000 % 60); }
    int16_t GetSecond() const noexcept { return static_cast<int16_t>(fMilliseconds / 1000 % 60); }
    int16_t GetMillisecond() const noexcept { return static_cast<int16_t>(fMilliseconds % 1000); }
    /// Milliseconds since midnight.
    uint32_t GetTimeOfDay() const noexcept { return fMilliseconds; }
    /// True for the empty date (year, month and day all 0), with or without a time of day.
    bool IsEmptyDate() const noexcept { return fYear == 0 && fMonth == 0 && fDay == 0; }

    // Parts in local time. The empty date is not converted: its time of day is taken as it is.
    /// Sets the value from local parts, checked as FromUTCTime checks them; the value becomes null
    /// when they are invalid or the system cannot convert them.
    void FromLocalTime(int16_t inYear, int16_t inMonth, int16_t inDay, int16_t inHour, int16_t inMinute,
                       int16_t inSecond, int16_t inMillisecond) noexcept;
    /// The local parts; all 0 when null.
    void GetLocalTime(int16_t& outYear, int16_t& outMonth, int16_t& outDay, int16_t& outHour,
                      int16_t& outMinute, int16_t& outSecond, int16_t& outMillisecond) const noexcept;
    int16_t GetLocalYear() const noexcept;
    int16_t GetLocalMonth() const noexcept;
    int16_t GetLocalDay() const noexcept;
    int16_t GetLocalHour() const noexcept;
    int16_t GetLocalMinute() const noexcept;
    int16_t GetLocalSecond() const noexcept;
    int16_t GetLocalMillisecond() const noexcept;
    /// Each changes one local part and keeps the others (through FromLocalTime: an invalid result
    /// makes the value null).
    void SetLocalYear(int16_t inYear) noexcept;
    void SetLocalMonth(int16_t inMonth) noexcept;
    void SetLocalDay(int16_t inDay) noexcept;
    void SetLocalHour(int16_t inHour) noexcept;
    void SetLocalMinute(int16_t inMinute) noexcept;
    void SetLocalSecond(int16_t inSecond) noexcept;
    void SetLocalMillisecond(int16_t inMillisecond) noexcept;

    /// Seconds east of UTC of the local zone now (with or without the daylight-saving hour), cached
    /// until the next quarter hour or a change of TZ.
    static int32_t GetGMTOffset(bool inWithDaylightSaving) noexcept;

    // Calendar.
    /// True for years divisible by 4 and not by 100, or divisible by 400.
    static bool IsLeapYear(int32_t inYear) noexcept;
    /// Days of a month (1 to 12) of a year; 0 for another month.
    static int32_t GetDaysInMonth(int32_t inYear, int32_t inMonth) noexcept;
    /// True for a year not negative, a month 1 to 12 and a day of that month.
    static bool CheckDate(int32_t inYear, int32_t inMonth, int32_t inDay) noexcept;
    /// The day number of a date, months counted from March (2000-01-01 is 2451544); 0 for a month
    /// outside 1 to 12. Days beyond the month's length count on into the next months.
    static int64_t ComputeJulianDay(int32_t inYear, int32_t inMonth, int32_t inDay) noexcept;
    /// 0 (Sunday) to 6 (Saturday); -1 for a month outside 1 to 12.
    static int32_t ComputeWeekDay(int32_t inYear, int32_t inMonth, int32_t inDay) noexcept;
    /// The day number of the value's date (0 for the empty date or a null value).
    int64_t GetJulianDay() const noexcept { return ComputeJulianDay(fYear, fMonth, fDay); }
    /// The week day of the value's date, 0 (Sunday) to 6 (Saturday); -1 for the empty date.
    int32_t GetWeekDay() const noexcept { return ComputeWeekDay(fYear, fMonth, fDay); }
    /// Sets the date of a day number at midnight; null when its year is negative or beyond 32767.
    void FromJulianDay(int64_t inDay) noexcept;

    /// Day number x 86 400 000 + milliseconds since midnight; 0 for the empty date (whatever its time
    /// of day) and -1 when null.
    int64_t GetMilliseconds() const noexcept;
    /// The inverse of GetMilliseconds: 0 gives the empty date at midnight; a negative count, or one
    /// whose year is negative or beyond 32767, makes the value null.
    void FromMilliseconds(int64_t inMilliseconds) noexcept;

    // Arithmetic. A null value stays null. Adding to the empty date counts it as 0, its time of day
    // ignored.
    /// Adds to the year and changes nothing else (the empty date is left as it is). Null when the
    /// year leaves 0 to 32767.
    void AddYears(int32_t inYears) noexcept;
    /// Moves the month, carrying whole years; the day is kept even beyond the new month's length (the
    /// empty date is left as it is). Null when the year leaves 0 to 32767.
    void AddMonths(int32_t inMonths) noexcept;
    void AddDays(int64_t inDays) noexcept;
    void AddHours(int64_t inHours) noexcept;
    void AddMinutes(int64_t inMinutes) noexcept;
    void AddSeconds(int64_t inSeconds) noexcept;
    /// Adds through absolute milliseconds (see FromMilliseconds); a null or too large result is null.
    void AddMilliseconds(int64_t inMilliseconds) noexcept;
    /// Adds a span; a null span makes the value null.
    void Add(const VDuration& inDuration) noexcept;
    /// Subtracts a span; a null span makes the value null.
    void Substract(const VDuration& inDuration) noexcept;
    /// This time minus inTime, in milliseconds; null when either is null.
    void Substract(const VTime& inTime, VDuration& outDuration) const noexcept;

    // Comparisons: a null time is before every other; then by date, then by time of day.
    /// -1, 0 or 1.
    int CompareTo(const VTime& inOther) const noexcept;
    bool operator==(const VTime& inOther) const noexcept { return CompareTo(inOther) == 0; }
    bool operator!=(const VTime& inOther) const noexcept { return CompareTo(inOther) != 0; }
    bool operator<(const VTime& inOther) const noexcept { return CompareTo(inOther) < 0; }
    bool operator<=(const VTime& inOther) const noexcept { return CompareTo(inOther) <= 0; }
    bool operator>(const VTime& inOther) const noexcept { return CompareTo(inOther) > 0; }
    bool operator>=(const VTime& inOther) const noexcept { return CompareTo(inOther) >= 0; }

    // Text forms.
    /// The RFC 3339 form chosen by the eRfc3339 options; a null time gives "0000-00-00T00:00:00Z"
    /// whatever the options. The empty date is written without zone conversion (offset "+00:00").
    void GetRfc3339String(VString& outText, uint32_t inOptions) const;
    /// Reads an RFC 3339 date and time ("2024-05-06T07:08:09.5Z", with "Z", an offset, or none for
    /// local time), a time only ("12:30:00", no zone applied), a date only ("2024-05-06"), or a whole
    /// number of seconds since midnight. False, the value null, when the pieces of the form cannot be
    /// read, a time part is out of range or the result cannot be represented. An invalid date, or a
    /// date and time whose parts are all 0, gives a null value and succeeds.
    bool FromRfc3339String(const VString& inText);
    /// GetRfc3339String with the given options.
    void GetXMLString(VString& outText, uint32_t inOptions) const;
    /// The UTC form with milliseconds ("2024-05-06T07:08:09.010Z").
    void GetXMLString(VString& outText) const override;
    /// A text between "!!" marks is read without them as RFC 3339; another text holding "!" is read
    /// with FromString; the rest with FromRfc3339String. False, the value null, on unreadable text.
    bool FromXMLString(const VString& inText) override;
    /// The UTC form with milliseconds, or its date only at midnight with
    /// eJSONTimeDateOnlyAtMidnight; quoted and marked as the eJSONTime options ask.
    void GetJSONString(VString& outText, uint32_t inOptions) const;
    /// The JSON literal: the UTC form with milliseconds in double quotes, or null.
    void GetJSONString(VString& outText) const override;
    /// Reads a text written by GetJSONString (surrounding double quotes removed) with FromXMLString;
    /// the literal null gives a null time. False, the value null, on unreadable text.
    bool FromJSONString(const VString& inText);
    /// Stores the time in outValue: a JSON date with eJSONValueTimeAsDate (null for a null time),
    /// otherwise the string GetJSONString writes with no options ("0000-00-00T00:00:00Z" for a null
    /// time). Defined with the JSON library, which links it.
    void GetJSONValue(VJSONValue& outValue, uint32_t inOptions) const;
    /// Reads the value's text (a JSON date as "YYYY-MM-DD") with FromXMLString; JSON null or
    /// undefined gives a null time and true. False, the value null, on unreadable text.
    bool FromJSONValue(const VJSONValue& inValue);
    /// "Www, DD Mon YYYY hh:mm:ss GMT" in UTC with English names; an empty text when null.
    void GetRfc822String(VString& outText) const;
    /// Reads that form: the week day is optional, month names in any case, two-digit years are
    /// 1950-2049, the seconds optional; the zone "GMT", "UT", "UTC", "Z", a North American zone name
    /// or "+hhmm"/"-hhmm" (none means GMT). False, the value null, on any other text.
    bool FromRfc822String(const VString& inText);
    /// "%04d-%02d-%02d %02d:%02d:%02d:%03d" in local time; an empty text when null.
    void GetStringLocalTime(VString& outText) const;
    /// The local time in the medium date and time formats of the current international manager's
    /// locale (ICU); the empty date shows its time of day alone. An empty text when null or when the
    /// formats cannot be opened.
    void FormatByOS(VString& outText) const;
    /// The local date and the local time of day, each in its medium format of the current international
    /// manager's locale; both empty when null or when the formats cannot be opened.
    void FormatByOS(VString& outDate, VString& outTime) const;

    // VValueSingle.
    ValueKind GetValueKind() const override { return ValueKind::Time; }
    VTime* Clone() const override { return new VTime(*this); }
    /// Setting the null flag also clears the parts; clearing it leaves them as they are.
    void SetNull(bool inIsNull = true) override;
    /// FormatByOS.
    void GetString(VString& outText) const override;
    /// Reads up to seven groups of decimal digits separated by any other characters as year, month,
    /// day, hour, minute, second and millisecond, set through FromUTCTime. A "!" before the first
    /// group takes the first three as day, month and year, with the time at 0; a "!" after a group
    /// when none came before stops the reading. A text without digits, or a null text, gives a null
    /// time.
    void FromString(const VString& inText) override;
    /// Another time is copied; a string is read with FromXMLString; any other value gives the time of
    /// its GetLong8 as absolute milliseconds. The null flag is the other value's.
    void FromValue(const VValueSingle& inValue) override;

    /// Conversions through GetMilliseconds (GetLong: 0 when it does not fit in 32 bits).
    bool GetBoolean() const override { return !IsNull() && GetStamp() != 0; }
    int32_t GetLong() const override;
    int64_t GetLong8() const override { return GetMilliseconds(); }
    double GetReal() const override { return static_cast<double>(GetMilliseconds()); }
    /// Set the absolute milliseconds (FromMilliseconds); FromBoolean sets 0 or 1 of them.
    void FromBoolean(bool inValue) override { FromMilliseconds(inValue ? 1 : 0); }
    void FromLong(int32_t inValue) override { FromMilliseconds(inValue); }
    void FromLong8(int64_t inValue) override { FromMilliseconds(inValue); }
    /// Truncated toward zero; a NaN or a value beyond 64 bits gives a null time.
    void FromReal(double inValue) override;

    /// Same kind, same null flag and, when not null, same parts.
    bool EqualToSameKind(const VValueSingle& inOther, bool inDiacritical) const override;

private:
    /// Local parts and the offset from UTC then in effect, in seconds; the empty date as it is, with
    /// offset 0. False (the UTC parts returned, offset 0) when the system cannot convert the time.
    bool _GetLocalParts(int16_t outParts[7], int32_t& outOffset) const noexcept;
    /// The local time in a medium format showing the date and time (0), the time (1) or the date (2).
    void _FormatMedium(int inParts, VString& outText) const;
    /// Sets the value from seconds since 1970-01-01 UTC and milliseconds.
    void _FromUnixSeconds(int64_t inSeconds, int32_t inMilliseconds) noexcept;
    /// Sets the date and time of day as they are and clears the null flag.
    void _Set(int32_t inYear, int32_t inMonth, int32_t inDay, uint32_t inMilliseconds) noexcept;
    void _SetLocalPart(int inIndex, int16_t inValue) noexcept;
    /// Reads the RFC 3339 forms once the text is known to fit the scanner.
    bool _ReadRfc3339(VTimeTextScanner& ioScanner);

    int16_t fYear = 0;
    uint8_t fMonth = 0;
    uint8_t fDay = 0;
    uint32_t fMilliseconds = 0;
};

} // namespace vkit
