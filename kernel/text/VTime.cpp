// VTime: parts, stamps, day numbering, local time, arithmetic and conversions of the time value.
#include "text/VTime.h"

#include "platform/posix/text/XPosixTime.h"
#include "text/VDuration.h"
#include "text/VString.h"

#include <cmath>
#include <limits>

namespace vkit {

namespace {

/// Days from March 1 to the first of each month (index 1 to 12), months counted from March.
constexpr int32_t kDaysBeforeMonthFromMarch[13] = {0, 306, 337, 0, 31, 61, 92, 122, 153, 184, 214, 245, 275};
constexpr int32_t kDaysInMonth[13] = {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
/// Added to the day count from March 1 of year 0 to give the day number.
constexpr int64_t kDayNumberBase = 1721118;
/// The day number of 1970-01-01.
constexpr int64_t kUnixEpochDay = 2440587;
constexpr int32_t kMaxYear = std::numeric_limits<int16_t>::max();

int64_t FloorDivide(int64_t inValue, int64_t inDivisor) noexcept {
    int64_t quotient = inValue / inDivisor;
    return (inValue % inDivisor != 0 && (inValue < 0) != (inDivisor < 0)) ? quotient - 1 : quotient;
}

int64_t FloorModulo(int64_t inValue, int64_t inDivisor) noexcept {
    return inValue - FloorDivide(inValue, inDivisor) * inDivisor;
}

bool TimePartsAreValid(int32_t inHour, int32_t inMinute, int32_t inSecond, int32_t inMillisecond) noexcept {
    return inHour >= 0 && inHour <= 23 && inMinute >= 0 && inMinute <= 59 && inSecond >= 0 &&
           inSecond <= 59 && inMillisecond >= 0 && inMillisecond <= 999;
}

uint32_t TimeOfDay(int32_t inHour, int32_t inMinute, int32_t inSecond, int32_t inMillisecond) noexcept {
    return static_cast<uint32_t>(inHour * 3600000 + inMinute * 60000 + inSecond * 1000 + inMillisecond);
}

} // namespace

VTime VTime::Now() noexcept {
    VTime now;
    now.FromSystemTime();
    return now;
}

void VTime::FromSystemTime() noexcept {
    int64_t seconds = 0;
    int32_t milliseconds = 0;
    XPosixTime::GetSystemUTCTime(seconds, milliseconds);
    _FromUnixSeconds(seconds, milliseconds);
}

uint64_t VTime::GetStamp() const noexcept {
    if (IsNull())
        return 0;
    return (static_cast<uint64_t>(static_cast<uint16_t>(fYear)) << 48) |
           (static_cast<uint64_t>(fMonth) << 40) | (static_cast<uint64_t>(fDay) << 32) | fMilliseconds;
}

void VTime::FromStamp(uint64_t inStamp) noexcept {
    fYear = static_cast<int16_t>(static_cast<uint16_t>(inStamp >> 48));
    fMonth = static_cast<uint8_t>(inStamp >> 40);
    fDay = static_cast<uint8_t>(inStamp >> 32);
    fMilliseconds = static_cast<uint32_t>(inStamp);
    SetNullFlag(false);
}

void VTime::_Set(int32_t inYear, int32_t inMonth, int32_t inDay, uint32_t inMilliseconds) noexcept {
    fYear = static_cast<int16_t>(inYear);
    fMonth = static_cast<uint8_t>(inMonth);
    fDay = static_cast<uint8_t>(inDay);
    fMilliseconds = inMilliseconds;
    SetNullFlag(false);
}

void VTime::SetNull(bool inIsNull) {
    if (inIsNull) {
        fYear = 0;
        fMonth = 0;
        fDay = 0;
        fMilliseconds = 0;
    }
    SetNullFlag(inIsNull);
}

void VTime::FromUTCTime(int16_t inYear, int16_t inMonth, int16_t inDay, int16_t inHour, int16_t inMinute,
                        int16_t inSecond, int16_t inMillisecond) noexcept {
    if (inYear == 0 && inMonth == 0 && inDay == 0) {
        // A time-only value keeps its parts as given, as long as the sum fits the field.
        int64_t time =
            int64_t{inHour} * 3600000 + int64_t{inMinute} * 60000 + int64_t{inSecond} * 1000 + inMillisecond;
        if (time < 0 || time > std::numeric_limits<uint32_t>::max())
            SetNull();
        else
            _Set(0, 0, 0, static_cast<uint32_t>(time));
        return;
    }
    if (!CheckDate(inYear, inMonth, inDay) || !TimePartsAreValid(inHour, inMinute, inSecond, inMillisecond)) {
        SetNull();
        return;
    }
    _Set(inYear, inMonth, inDay, TimeOfDay(inHour, inMinute, inSecond, inMillisecond));
}

void VTime::GetUTCTime(int16_t& outYear, int16_t& outMonth, int16_t& outDay, int16_t& outHour,
                       int16_t& outMinute, int16_t& outSecond, int16_t& outMillisecond) const noexcept {
    outYear = fYear;
    outMonth = fMonth;
    outDay = fDay;
    outHour = GetHour();
    outMinute = GetMinute();
    outSecond = GetSecond();
    outMillisecond = GetMillisecond();
}

bool VTime::_GetLocalParts(int16_t outParts[7], int32_t& outOffset) const noexcept {
    GetUTCTime(outParts[0], outParts[1], outParts[2], outParts[3], outParts[4], outParts[5], outParts[6]);
    outOffset = 0;
    if (IsNull() || IsEmptyDate())
        return true;
    int64_t seconds = (GetJulianDay() - kUnixEpochDay) * 86400 + fMilliseconds / 1000;
    XPosixTime::Parts local;
    int32_t offset = 0;
    if (!XPosixTime::UTCToLocal(seconds, local, offset))
        return false;
    outParts[0] = static_cast<int16_t>(local.fYear);
    outParts[1] = static_cast<int16_t>(local.fMonth);
    outParts[2] = static_cast<int16_t>(local.fDay);
    outParts[3] = static_cast<int16_t>(local.fHour);
    outParts[4] = static_cast<int16_t>(local.fMinute);
    outParts[5] = static_cast<int16_t>(local.fSecond);
    outOffset = offset;
    return true;
}

void VTime::FromLocalTime(int16_t inYear, int16_t inMonth, int16_t inDay, int16_t inHour, int16_t inMinute,
                          int16_t inSecond, int16_t inMillisecond) noexcept {
    if (inYear == 0 && inMonth == 0 && inDay == 0) {
        FromUTCTime(inYear, inMonth, inDay, inHour, inMinute, inSecond, inMillisecond);
        return;
    }
    if (!CheckDate(inYear, inMonth, inDay) || !TimePartsAreValid(inHour, inMinute, inSecond, inMillisecond)) {
        SetNull();
        return;
    }
    XPosixTime::Parts local;
    local.fYear = inYear;
    local.fMonth = inMonth;
    local.fDay = inDay;
    local.fHour = inHour;
    local.fMinute = inMinute;
    local.fSecond = inSecond;
    int64_t seconds = 0;
    if (!XPosixTime::LocalToUTC(local, seconds)) {
        SetNull();
        return;
    }
    _FromUnixSeconds(seconds, inMillisecond);
}

void VTime::GetLocalTime(int16_t& outYear, int16_t& outMonth, int16_t& outDay, int16_t& outHour,
                         int16_t& outMinute, int16_t& outSecond, int16_t& outMillisecond) const noexcept {
    int16_t parts[7];
    int32_t offset = 0;
    _GetLocalParts(parts, offset);
    outYear = parts[0];
    outMonth = parts[1];
    outDay = parts[2];
    outHour = parts[3];
    outMinute = parts[4];
    outSecond = parts[5];
    outMillisecond = parts[6];
}

namespace {

int16_t LocalPart(const VTime& inTime, int inIndex) noexcept {
    int16_t parts[7];
    inTime.GetLocalTime(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]);
    return parts[inIndex];
}

} // namespace

int16_t VTime::GetLocalYear() const noexcept {
    return LocalPart(*this, 0);
}
int16_t VTime::GetLocalMonth() const noexcept {
    return LocalPart(*this, 1);
}
int16_t VTime::GetLocalDay() const noexcept {
    return LocalPart(*this, 2);
}
int16_t VTime::GetLocalHour() const noexcept {
    return LocalPart(*this, 3);
}
int16_t VTime::GetLocalMinute() const noexcept {
    return LocalPart(*this, 4);
}
int16_t VTime::GetLocalSecond() const noexcept {
    return LocalPart(*this, 5);
}
int16_t VTime::GetLocalMillisecond() const noexcept {
    return LocalPart(*this, 6);
}

void VTime::_SetLocalPart(int inIndex, int16_t inValue) noexcept {
    int16_t parts[7];
    GetLocalTime(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]);
    parts[inIndex] = inValue;
    FromLocalTime(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]);
}

void VTime::SetLocalYear(int16_t inYear) noexcept {
    _SetLocalPart(0, inYear);
}
void VTime::SetLocalMonth(int16_t inMonth) noexcept {
    _SetLocalPart(1, inMonth);
}
void VTime::SetLocalDay(int16_t inDay) noexcept {
    _SetLocalPart(2, inDay);
}
void VTime::SetLocalHour(int16_t inHour) noexcept {
    _SetLocalPart(3, inHour);
}
void VTime::SetLocalMinute(int16_t inMinute) noexcept {
    _SetLocalPart(4, inMinute);
}
void VTime::SetLocalSecond(int16_t inSecond) noexcept {
    _SetLocalPart(5, inSecond);
}
void VTime::SetLocalMillisecond(int16_t inMillisecond) noexcept {
    _SetLocalPart(6, inMillisecond);
}

int32_t VTime::GetGMTOffset(bool inWithDaylightSaving) noexcept {
    return XPosixTime::GetGMTOffset(inWithDaylightSaving);
}

bool VTime::IsLeapYear(int32_t inYear) noexcept {
    return (inYear % 4 == 0 && inYear % 100 != 0) || inYear % 400 == 0;
}

int32_t VTime::GetDaysInMonth(int32_t inYear, int32_t inMonth) noexcept {
    if (inMonth < 1 || inMonth > 12)
        return 0;
    return inMonth == 2 && !IsLeapYear(inYear) ? 28 : kDaysInMonth[inMonth];
}

bool VTime::CheckDate(int32_t inYear, int32_t inMonth, int32_t inDay) noexcept {
    return inYear >= 0 && inDay >= 1 && inDay <= GetDaysInMonth(inYear, inMonth);
}

int64_t VTime::ComputeJulianDay(int32_t inYear, int32_t inMonth, int32_t inDay) noexcept {
    if (inMonth < 1 || inMonth > 12)
        return 0;
    int64_t y = inMonth < 3 ? int64_t{inYear} - 1 : inYear;
    return FloorDivide(y, 400) + FloorDivide(y, 4) - FloorDivide(y, 100) + 365 * y +
           kDaysBeforeMonthFromMarch[inMonth] + inDay + kDayNumberBase;
}

int32_t VTime::ComputeWeekDay(int32_t inYear, int32_t inMonth, int32_t inDay) noexcept {
    if (inMonth < 1 || inMonth > 12)
        return -1;
    return static_cast<int32_t>(FloorModulo(ComputeJulianDay(inYear, inMonth, inDay) + 2, 7));
}

void VTime::FromJulianDay(int64_t inDay) noexcept {
    // Days since March 1 of year 0, split into 400-year eras of 146 097 days.
    int64_t days = inDay - kDayNumberBase - 1;
    int64_t era = FloorDivide(days, 146097);
    int64_t dayOfEra = days - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    int64_t day = dayOfYear - (153 * monthFromMarch + 2) / 5 + 1;
    int64_t month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
    int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    if (year < 0 || year > kMaxYear) {
        SetNull();
        return;
    }
    _Set(static_cast<int32_t>(year), static_cast<int32_t>(month), static_cast<int32_t>(day), 0);
}

int64_t VTime::GetMilliseconds() const noexcept {
    if (IsNull())
        return -1;
    if (IsEmptyDate())
        return 0;
    return GetJulianDay() * kMillisecondsPerDay + fMilliseconds;
}

void VTime::FromMilliseconds(int64_t inMilliseconds) noexcept {
    if (inMilliseconds < 0) {
        SetNull();
        return;
    }
    if (inMilliseconds == 0) {
        _Set(0, 0, 0, 0);
        return;
    }
    FromJulianDay(inMilliseconds / kMillisecondsPerDay);
    if (!IsNull())
        fMilliseconds = static_cast<uint32_t>(inMilliseconds % kMillisecondsPerDay);
}

void VTime::_FromUnixSeconds(int64_t inSeconds, int32_t inMilliseconds) noexcept {
    int64_t day = FloorDivide(inSeconds, 86400) + kUnixEpochDay;
    int64_t timeOfDay = FloorModulo(inSeconds, 86400) * 1000 + inMilliseconds;
    if (day < 0 || day > std::numeric_limits<int64_t>::max() / kMillisecondsPerDay - 1)
        SetNull();
    else
        FromMilliseconds(day * kMillisecondsPerDay + timeOfDay);
}

void VTime::AddYears(int32_t inYears) noexcept {
    if (IsNull() || IsEmptyDate())
        return;
    int64_t year = int64_t{fYear} + inYears;
    if (year < 0 || year > kMaxYear)
        SetNull();
    else
        fYear = static_cast<int16_t>(year);
}

void VTime::AddMonths(int32_t inMonths) noexcept {
    if (IsNull() || IsEmptyDate())
        return;
    int64_t months = int64_t{fYear} * 12 + (fMonth - 1) + inMonths;
    int64_t year = FloorDivide(months, 12);
    if (year < 0 || year > kMaxYear) {
        SetNull();
        return;
    }
    fYear = static_cast<int16_t>(year);
    fMonth = static_cast<uint8_t>(FloorModulo(months, 12) + 1);
}

void VTime::AddMilliseconds(int64_t inMilliseconds) noexcept {
    if (IsNull())
        return;
    int64_t total = 0;
    if (__builtin_add_overflow(GetMilliseconds(), inMilliseconds, &total))
        SetNull();
    else
        FromMilliseconds(total);
}

namespace {

/// inCount x inUnit, or a value that makes any time null when the product overflows.
int64_t Scaled(int64_t inCount, int64_t inUnit) noexcept {
    int64_t product = 0;
    if (__builtin_mul_overflow(inCount, inUnit, &product))
        return std::numeric_limits<int64_t>::min();
    return product;
}

} // namespace

void VTime::AddDays(int64_t inDays) noexcept {
    AddMilliseconds(Scaled(inDays, kMillisecondsPerDay));
}

void VTime::AddHours(int64_t inHours) noexcept {
    AddMilliseconds(Scaled(inHours, 3600000));
}

void VTime::AddMinutes(int64_t inMinutes) noexcept {
    AddMilliseconds(Scaled(inMinutes, 60000));
}

void VTime::AddSeconds(int64_t inSeconds) noexcept {
    AddMilliseconds(Scaled(inSeconds, 1000));
}

void VTime::Add(const VDuration& inDuration) noexcept {
    if (inDuration.IsNull())
        SetNull();
    else
        AddMilliseconds(inDuration.ConvertToMilliseconds());
}

void VTime::Substract(const VDuration& inDuration) noexcept {
    if (inDuration.IsNull())
        SetNull();
    else if (inDuration.ConvertToMilliseconds() == std::numeric_limits<int64_t>::min())
        SetNull();
    else
        AddMilliseconds(-inDuration.ConvertToMilliseconds());
}

void VTime::Substract(const VTime& inTime, VDuration& outDuration) const noexcept {
    if (IsNull() || inTime.IsNull())
        outDuration.SetNull();
    else
        outDuration.FromNbMilliseconds(GetMilliseconds() - inTime.GetMilliseconds());
}

int VTime::CompareTo(const VTime& inOther) const noexcept {
    if (IsNull() || inOther.IsNull())
        return IsNull() == inOther.IsNull() ? 0 : (IsNull() ? -1 : 1);
    if (fYear != inOther.fYear)
        return fYear < inOther.fYear ? -1 : 1;
    if (fMonth != inOther.fMonth)
        return fMonth < inOther.fMonth ? -1 : 1;
    if (fDay != inOther.fDay)
        return fDay < inOther.fDay ? -1 : 1;
    if (fMilliseconds != inOther.fMilliseconds)
        return fMilliseconds < inOther.fMilliseconds ? -1 : 1;
    return 0;
}

void VTime::FromValue(const VValueSingle& inValue) {
    switch (inValue.GetValueKind()) {
    case ValueKind::Time:
        *this = static_cast<const VTime&>(inValue);
        return;
    case ValueKind::String:
        FromXMLString(static_cast<const VString&>(inValue));
        break;
    default:
        FromMilliseconds(inValue.GetLong8());
        break;
    }
    if (inValue.IsNull())
        SetNull();
}

int32_t VTime::GetLong() const {
    int64_t milliseconds = GetMilliseconds();
    bool fits = milliseconds >= std::numeric_limits<int32_t>::min() &&
                milliseconds <= std::numeric_limits<int32_t>::max();
    return fits ? static_cast<int32_t>(milliseconds) : 0;
}

void VTime::FromReal(double inValue) {
    // 2^63 is the first double beyond int64_t.
    if (std::isnan(inValue) || std::fabs(inValue) >= 9223372036854775808.0)
        SetNull();
    else
        FromMilliseconds(static_cast<int64_t>(inValue));
}

bool VTime::EqualToSameKind(const VValueSingle& inOther, bool) const {
    if (inOther.GetValueKind() != ValueKind::Time)
        return false;
    const VTime& other = static_cast<const VTime&>(inOther);
    return IsNull() == other.IsNull() && GetStamp() == other.GetStamp();
}

} // namespace vkit
