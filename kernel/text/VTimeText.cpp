// VTime: the RFC 3339, XML, JSON, simple, local, RFC 822 and locale text forms of the time value.
#include "text/VIntlMgr.h"
#include "text/VString.h"
#include "text/VTime.h"
#include "text/VTimeTextScanner.h"

#include <unicode/ucal.h>
#include <unicode/udat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace vkit {

namespace {

constexpr const char* kNullRfc3339 = "0000-00-00T00:00:00Z";
constexpr const char* kWeekDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
/// Years read from RFC 3339 text stay below this.
constexpr int32_t kRfc3339YearLimit = 22001;

/// The parts as written: year, month, day, hour, minute, second, millisecond.
struct WrittenParts {
    int y, mo, d, h, mi, s, ms;
};

/// Appends a number as "%0Nd" writes it: at least inWidth digits, zero-padded, after a "-" for a
/// negative value. Writing the digits directly is several times faster than snprintf.
void AppendPadded(char*& ioCursor, long inValue, int inWidth) {
    char digits[24];
    int count = 0;
    unsigned long magnitude =
        inValue < 0 ? 0UL - static_cast<unsigned long>(inValue) : static_cast<unsigned long>(inValue);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (inValue < 0) {
        *ioCursor++ = '-';
        --inWidth;
    }
    for (int pad = inWidth - count; pad > 0; --pad)
        *ioCursor++ = '0';
    while (count > 0)
        *ioCursor++ = digits[--count];
}

void AppendDate(char*& ioCursor, const WrittenParts& inParts) {
    AppendPadded(ioCursor, inParts.y, 4);
    *ioCursor++ = '-';
    AppendPadded(ioCursor, inParts.mo, 2);
    *ioCursor++ = '-';
    AppendPadded(ioCursor, inParts.d, 2);
}

void AppendTime(char*& ioCursor, const WrittenParts& inParts) {
    AppendPadded(ioCursor, inParts.h, 2);
    *ioCursor++ = ':';
    AppendPadded(ioCursor, inParts.mi, 2);
    *ioCursor++ = ':';
    AppendPadded(ioCursor, inParts.s, 2);
}

/// Writes the RFC 3339 forms, 0-terminated, into a buffer of at least 64 bytes. inZone is 'Z' for
/// UTC, 0 for local time without offset, and '+' or '-' before the offset. The forms are those of
/// the formats "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ" (and without the milliseconds or the "Z"),
/// "%04d-%02d-%02dT%02d:%02d:%02d+%02ld:%02ld" (never milliseconds), the time alone
/// "%02d:%02d:%02d" with the same zone suffixes, and the date alone "%04d-%02d-%02d" followed only
/// by an offset.
void WriteRfc3339(char* outBuffer, uint32_t inOptions, const WrittenParts& inParts, char inZone,
                  long inOffsetHours, long inOffsetMinutes) {
    char* cursor = outBuffer;
    bool withOffset = inZone == '+' || inZone == '-';
    bool timeOnly = (inOptions & eRfc3339TimeOnly) != 0;
    bool dateOnly = !timeOnly && (inOptions & eRfc3339DateOnly) != 0;
    if (!timeOnly)
        AppendDate(cursor, inParts);
    if (!timeOnly && !dateOnly)
        *cursor++ = 'T';
    if (!dateOnly)
        AppendTime(cursor, inParts);
    if (!timeOnly && !dateOnly && !withOffset && !(inOptions & eRfc3339NoMilliseconds)) {
        *cursor++ = '.';
        AppendPadded(cursor, inParts.ms, 3);
    }
    if (withOffset) {
        *cursor++ = inZone;
        AppendPadded(cursor, inOffsetHours, 2);
        *cursor++ = ':';
        AppendPadded(cursor, inOffsetMinutes, 2);
    } else if (inZone == 'Z' && !dateOnly) {
        *cursor++ = 'Z';
    }
    *cursor = 0;
}

/// Milliseconds of a count of seconds read as a real, truncated; a tolerance far below a
/// millisecond absorbs the binary error of texts like "09.010".
int64_t TruncatedMilliseconds(double inSeconds) {
    return static_cast<int64_t>(std::floor(inSeconds * 1000.0 + 1e-6));
}

} // namespace

void VTime::GetRfc3339String(VString& outText, uint32_t inOptions) const {
    if (IsNull()) {
        outText.FromCString(kNullRfc3339);
        return;
    }
    int16_t parts[7];
    int32_t offset = 0;
    char zone = 'Z';
    if (inOptions & eRfc3339UTC) {
        GetUTCTime(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]);
    } else {
        _GetLocalParts(parts, offset);
        zone = (inOptions & eRfc3339Local) ? 0 : (offset >= 0 ? '+' : '-');
    }
    WrittenParts written{parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]};
    if (inOptions & eRfc3339ZeroDate)
        written.y = written.mo = written.d = 0;
    long magnitude = std::labs(static_cast<long>(offset));
    char buffer[64];
    WriteRfc3339(buffer, inOptions, written, zone, magnitude / 3600, magnitude % 3600 / 60);
    outText.FromCString(buffer);
}

bool VTime::FromRfc3339String(const VString& inText) {
    VTimeTextScanner scanner(inText);
    if (!scanner.IsValid() || !_ReadRfc3339(scanner)) {
        SetNull();
        return false;
    }
    return true;
}

bool VTime::_ReadRfc3339(VTimeTextScanner& ioScanner) {
    enum class Form { DateAndTime, TimeOnly, Seconds, DateOnly };
    int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0;
    double seconds = 0;
    int32_t firstColon = ioScanner.Find(':');
    Form form = Form::DateOnly;
    int wanted = 3;
    int read = 0;
    if (ioScanner.At(11) == 'T') {
        form = Form::DateAndTime;
        wanted = 6;
        read = ioScanner.Scan("%4d-%2d-%2dT%2d:%2d:%lf", &year, &month, &day, &hour, &minute, &seconds);
    } else if (firstColon >= 3 && firstColon <= 5) {
        form = Form::TimeOnly;
        read = ioScanner.Scan("%d:%2d:%lf", &hour, &minute, &seconds);
    } else if (ioScanner.Find('-') != 5) {
        form = Form::Seconds;
        wanted = 1;
        int32_t wholeSeconds = 0;
        read = ioScanner.Scan("%d", &wholeSeconds);
        seconds = wholeSeconds;
    } else {
        read = ioScanner.Scan("%4d-%2d-%2d", &year, &month, &day);
    }
    if (read != wanted)
        return false;

    bool hasDate = form == Form::DateAndTime || form == Form::DateOnly;
    bool isEmptyDate = year == 0 && month == 0 && day == 0;
    if (hasDate && !isEmptyDate && (year >= kRfc3339YearLimit || !CheckDate(year, month, day))) {
        year = month = day = hour = minute = 0;
        seconds = 0;
        isEmptyDate = true;
    }
    if (hasDate && isEmptyDate && hour == 0 && minute == 0 && seconds == 0) {
        SetNull();
        return true;
    }

    bool timeValid = form == Form::Seconds ? seconds >= 0 && seconds < 86400
                                           : hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 &&
                                                 seconds >= 0 && seconds < 60;
    if (!timeValid)
        return false;
    int64_t secondsMilliseconds = TruncatedMilliseconds(seconds);
    int64_t timeOfDay = int64_t{hour} * 3600000 + int64_t{minute} * 60000 + secondsMilliseconds;
    if (isEmptyDate) {
        // A time of day alone: no zone applies.
        _Set(0, 0, 0, static_cast<uint32_t>(timeOfDay));
        return true;
    }

    int64_t offsetSeconds = 0;
    bool isLocal = false;
    int32_t length = ioScanner.GetLength();
    if (length >= 11 && ioScanner.Find('Z') == 0) {
        int32_t plus = ioScanner.Find('+', 11);
        int32_t minus = ioScanner.Find('-', 11);
        int32_t sign = plus != 0 && (minus == 0 || plus < minus) ? plus : minus;
        if (sign != 0) {
            int32_t offsetHours = 0, offsetMinutes = 0;
            ioScanner.SetPosition(sign + 1);
            ioScanner.Scan("%2d:%2d", &offsetHours, &offsetMinutes);
            offsetSeconds = int64_t{offsetHours} * 3600 + int64_t{offsetMinutes} * 60;
            if (ioScanner.At(sign) == '-')
                offsetSeconds = -offsetSeconds;
        } else {
            isLocal = true;
        }
    }

    if (isLocal) {
        FromLocalTime(static_cast<int16_t>(year), static_cast<int16_t>(month), static_cast<int16_t>(day),
                      static_cast<int16_t>(hour), static_cast<int16_t>(minute),
                      static_cast<int16_t>(secondsMilliseconds / 1000),
                      static_cast<int16_t>(secondsMilliseconds % 1000));
    } else {
        _Set(year, month, day, static_cast<uint32_t>(timeOfDay));
        if (offsetSeconds != 0)
            AddMilliseconds(-offsetSeconds * 1000);
    }
    return !IsNull();
}

void VTime::GetXMLString(VString& outText, uint32_t inOptions) const {
    GetRfc3339String(outText, inOptions);
}

void VTime::GetXMLString(VString& outText) const {
    GetRfc3339String(outText, eRfc3339UTC);
}

bool VTime::FromXMLString(const VString& inText) {
    static const VString kMarks("!!");
    if (inText.BeginsWithRaw(kMarks)) {
        VString inner;
        if (inText.GetLength() > 4)
            inText.GetSubString(3, inText.GetLength() - 4, inner);
        return FromRfc3339String(inner);
    }
    if (inText.FindUniChar(u'!') != 0) {
        FromString(inText);
        return !IsNull();
    }
    return FromRfc3339String(inText);
}

void VTime::GetJSONString(VString& outText, uint32_t inOptions) const {
    uint32_t form = eRfc3339UTC;
    if ((inOptions & eJSONTimeDateOnlyAtMidnight) && !IsNull() && fMilliseconds == 0)
        form |= eRfc3339DateOnly;
    VStr31 text;
    GetRfc3339String(text, form);
    outText.Clear();
    if (inOptions & eJSONTimeQuoted)
        outText.AppendUniChar(u'"');
    if (inOptions & eJSONTimeBangMarks)
        outText.AppendCString("!!");
    outText.AppendString(text);
    if (inOptions & eJSONTimeBangMarks)
        outText.AppendCString("!!");
    if (inOptions & eJSONTimeQuoted)
        outText.AppendUniChar(u'"');
}

void VTime::GetJSONString(VString& outText) const {
    if (IsNull())
        outText.FromCString("null");
    else
        GetJSONString(outText, eJSONTimeQuoted);
}

bool VTime::FromJSONString(const VString& inText) {
    if (inText == "null") {
        SetNull();
        return true;
    }
    VIndex length = inText.GetLength();
    if (length >= 2 && inText[0] == u'"' && inText[length - 1] == u'"') {
        VString inner;
        inText.GetSubString(2, length - 2, inner);
        return FromXMLString(inner);
    }
    return FromXMLString(inText);
}

void VTime::GetRfc822String(VString& outText) const {
    if (IsNull()) {
        outText.Clear();
        return;
    }
    int32_t weekDay = GetWeekDay();
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%s, %02d %s %04d %02d:%02d:%02d GMT",
                  weekDay >= 0 ? kWeekDayNames[weekDay] : "Sun", fDay,
                  fMonth >= 1 && fMonth <= 12 ? kMonthNames[fMonth - 1] : "Jan", fYear, GetHour(),
                  GetMinute(), GetSecond());
    outText.FromCString(buffer);
}

namespace {

/// Seconds east of UTC of an RFC 822 zone word; false for an unknown word.
bool ZoneWordOffset(const char* inWord, int32_t& outOffset) {
    struct Zone {
        const char* fName;
        int32_t fHours;
    };
    static constexpr Zone kZones[] = {{"gmt", 0},  {"ut", 0},   {"utc", 0},  {"z", 0},
                                      {"est", -5}, {"edt", -4}, {"cst", -6}, {"cdt", -5},
                                      {"mst", -7}, {"mdt", -6}, {"pst", -8}, {"pdt", -7}};
    for (const Zone& zone : kZones) {
        if (std::strcmp(zone.fName, inWord) == 0) {
            outOffset = zone.fHours * 3600;
            return true;
        }
    }
    return false;
}

/// Reads the zone at the end of an RFC 822 date; nothing means GMT.
bool ReadRfc822Zone(VTimeTextScanner& ioScanner, int32_t& outOffset) {
    outOffset = 0;
    ioScanner.SkipSpaces();
    if (ioScanner.AtEnd())
        return true;
    char sign = ioScanner.At(ioScanner.GetPosition());
    if (sign == '+' || sign == '-') {
        int32_t value = 0;
        int32_t start = ioScanner.GetPosition();
        if (!ioScanner.ReadInteger(value) || ioScanner.GetPosition() - start != 5)
            return false;
        int32_t magnitude = std::abs(value);
        if (magnitude % 100 > 59)
            return false;
        outOffset = (magnitude / 100 * 3600 + magnitude % 100 * 60) * (value < 0 ? -1 : 1);
    } else {
        char word[8];
        if (!ioScanner.ReadWord(word, sizeof(word)) || !ZoneWordOffset(word, outOffset))
            return false;
    }
    ioScanner.SkipSpaces();
    return ioScanner.AtEnd();
}

int32_t MonthOfName(const char* inWord) {
    static constexpr const char* kLowerMonthNames[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    for (int32_t i = 0; i < 12; ++i)
        if (std::strncmp(inWord, kLowerMonthNames[i], 3) == 0)
            return i + 1;
    return 0;
}

/// Reads "[Www,] DD Mon YYYY": the week day is skipped, two-digit years are 1950 to 2049.
bool ReadRfc822Date(VTimeTextScanner& ioScanner, int32_t& outDay, int32_t& outMonth, int32_t& outYear) {
    char word[16];
    int32_t start = ioScanner.GetPosition();
    if (!(ioScanner.ReadWord(word, sizeof(word)) && ioScanner.ReadChar(',')))
        ioScanner.SetPosition(start);
    if (!ioScanner.ReadInteger(outDay) || !ioScanner.ReadWord(word, sizeof(word)))
        return false;
    outMonth = MonthOfName(word);
    ioScanner.SkipSpaces();
    int32_t yearStart = ioScanner.GetPosition();
    if (outMonth == 0 || !ioScanner.ReadInteger(outYear))
        return false;
    if (ioScanner.GetPosition() - yearStart == 2)
        outYear += outYear < 50 ? 2000 : 1900;
    return true;
}

} // namespace

bool VTime::FromRfc822String(const VString& inText) {
    VTimeTextScanner scanner(inText);
    int32_t day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0, offset = 0;
    bool read = scanner.IsValid() && ReadRfc822Date(scanner, day, month, year) &&
                scanner.Scan(" %d:%d", &hour, &minute) == 2 &&
                (!scanner.ReadChar(':') || scanner.ReadInteger(second)) && ReadRfc822Zone(scanner, offset);
    if (!read || year > INT16_MAX || day > INT16_MAX || hour > INT16_MAX || minute > INT16_MAX ||
        second > INT16_MAX) {
        SetNull();
        return false;
    }
    FromUTCTime(static_cast<int16_t>(year), static_cast<int16_t>(month), static_cast<int16_t>(day),
                static_cast<int16_t>(hour), static_cast<int16_t>(minute), static_cast<int16_t>(second), 0);
    if (!IsNull() && offset != 0)
        AddSeconds(-offset);
    return !IsNull();
}

void VTime::GetStringLocalTime(VString& outText) const {
    if (IsNull()) {
        outText.Clear();
        return;
    }
    int16_t parts[7];
    int32_t offset = 0;
    _GetLocalParts(parts, offset);
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%04d-%02d-%02d %02d:%02d:%02d:%03d", parts[0], parts[1], parts[2],
                  parts[3], parts[4], parts[5], parts[6]);
    outText.FromCString(buffer);
}

namespace {

/// What a medium formatter shows: the date and the time, the time alone or the date alone.
enum class MediumParts { kDateAndTime, kTime, kDate };

/// The medium date and time formatters of a locale, kept per thread for the last locale used: opening
/// one costs far more than formatting. They format in UTC the local parts they are given, so that the
/// zone is the one the library's own conversion chose (TZ), and follow the Gregorian calendar into the
/// past.
class MediumDateFormat {
public:
    ~MediumDateFormat() { _Close(); }

    UDateFormat* For(const std::string& inLocale, MediumParts inParts) {
        if (fLocale != inLocale) {
            _Close();
            fLocale = inLocale;
        }
        UDateFormat*& format = fFormats[static_cast<int>(inParts)];
        if (format == nullptr)
            format = _Open(inLocale, inParts);
        return format;
    }

private:
    static UDateFormat* _Open(const std::string& inLocale, MediumParts inParts) {
        UErrorCode status = U_ZERO_ERROR;
        UDateFormat* format = udat_open(inParts == MediumParts::kDate ? UDAT_NONE : UDAT_MEDIUM,
                                        inParts == MediumParts::kTime ? UDAT_NONE : UDAT_MEDIUM,
                                        inLocale.c_str(), u"UTC", -1, nullptr, 0, &status);
        if (U_FAILURE(status))
            return nullptr;
        UCalendar* calendar = ucal_clone(udat_getCalendar(format), &status);
        if (U_SUCCESS(status)) {
            // A change date well before year 0 makes the calendar Gregorian throughout.
            ucal_setGregorianChange(calendar, -1e14, &status);
            udat_setCalendar(format, calendar);
            ucal_close(calendar);
        }
        return format;
    }

    void _Close() {
        for (UDateFormat*& format : fFormats) {
            if (format != nullptr)
                udat_close(format);
            format = nullptr;
        }
    }

    UDateFormat* fFormats[3] = {nullptr, nullptr, nullptr};
    std::string fLocale;
};

thread_local MediumDateFormat tMediumDateFormat;

/// The day number of 1970-01-01.
constexpr int64_t kUnixEpochDay = 2440587;

} // namespace

void VTime::_FormatMedium(int inParts, VString& outText) const {
    outText.Clear();
    if (IsNull())
        return;
    int16_t parts[7];
    int32_t offset = 0;
    _GetLocalParts(parts, offset);
    UDateFormat* format = tMediumDateFormat.For(VIntlMgr::GetDefaultMgr()->GetLocaleName().ToUTF8(),
                                                static_cast<MediumParts>(inParts));
    if (format == nullptr)
        return;
    int64_t day = static_cast<MediumParts>(inParts) == MediumParts::kTime
                      ? kUnixEpochDay
                      : ComputeJulianDay(parts[0], parts[1], parts[2]);
    double date =
        static_cast<double>((day - kUnixEpochDay) * kMillisecondsPerDay + int64_t{parts[3]} * 3600000 +
                            int64_t{parts[4]} * 60000 + int64_t{parts[5]} * 1000 + parts[6]);
    UChar buffer[128];
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = udat_format(format, date, buffer, 128, nullptr, &status);
    if (U_SUCCESS(status) && length <= 128)
        outText.FromUniChars(buffer, length);
}

void VTime::FormatByOS(VString& outText) const {
    // The empty date shows its time of day alone.
    _FormatMedium(static_cast<int>(IsEmptyDate() ? MediumParts::kTime : MediumParts::kDateAndTime), outText);
}

void VTime::FormatByOS(VString& outDate, VString& outTime) const {
    _FormatMedium(static_cast<int>(MediumParts::kDate), outDate);
    _FormatMedium(static_cast<int>(MediumParts::kTime), outTime);
}

void VTime::GetString(VString& outText) const {
    FormatByOS(outText);
}

void VTime::FromString(const VString& inText) {
    if (inText.IsNull()) {
        SetNull();
        return;
    }
    int64_t groups[7] = {0, 0, 0, 0, 0, 0, 0};
    int count = 0;
    bool dayFirst = false;
    bool inGroup = false;
    for (VIndex i = 0; i < inText.GetLength(); ++i) {
        UniChar c = inText[i];
        if (c >= u'0' && c <= u'9') {
            if (!inGroup && count == 7)
                break;
            if (!inGroup)
                ++count;
            inGroup = true;
            int64_t& group = groups[count - 1];
            if (group <= INT16_MAX) // beyond, the group is invalid whatever follows
                group = group * 10 + (c - u'0');
            continue;
        }
        inGroup = false;
        if (c == u'!') {
            if (count == 0)
                dayFirst = true;
            else if (!dayFirst)
                break;
        }
    }
    if (count == 0) {
        SetNull();
        return;
    }
    auto part = [&groups](int inIndex) {
        return static_cast<int16_t>(groups[inIndex] > INT16_MAX ? -1 : groups[inIndex]);
    };
    if (dayFirst)
        FromUTCTime(part(2), part(1), part(0), 0, 0, 0, 0);
    else
        FromUTCTime(part(0), part(1), part(2), part(3), part(4), part(5), part(6));
}

} // namespace vkit
