// VDuration: arithmetic, conversions and the ISO 8601, seconds and milliseconds text forms of spans.
#include "text/VDuration.h"

#include "text/VString.h"
#include "text/VTimeTextScanner.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>

namespace vkit {

namespace {

constexpr int64_t kMillisecondsPerDay = 86400000;
/// 2^63: the first double beyond int64_t.
constexpr double kInt64Limit = 9223372036854775808.0;

/// Rounds a real count of milliseconds; false when it is not a number or does not fit in 64 bits.
bool RoundMilliseconds(double inMilliseconds, int64_t& outMilliseconds) {
    double rounded = std::round(inMilliseconds);
    if (!(std::fabs(rounded) < kInt64Limit))
        return false;
    outMilliseconds = static_cast<int64_t>(rounded);
    return true;
}

/// Reads "P[nW][nD][T[nH][nM][nS]]" after the sign into a count of milliseconds. Units must come in
/// that order, each at most once, with at least one of them and one after a "T".
bool ReadISO8601(VTimeTextScanner& ioScanner, double& outMilliseconds) {
    struct Unit {
        char fDesignator;
        bool fInTime;
        double fMilliseconds;
    };
    static constexpr Unit kUnits[] = {{'W', false, 7.0 * kMillisecondsPerDay},
                                      {'D', false, kMillisecondsPerDay},
                                      {'H', true, 3600000.0},
                                      {'M', true, 60000.0},
                                      {'S', true, 1000.0}};
    if (!ioScanner.ReadChar('P'))
        return false;
    bool inTime = false;
    bool componentSinceT = false;
    size_t nextUnit = 0;
    double total = 0;
    while (!ioScanner.AtEnd()) {
        if (!inTime && ioScanner.ReadChar('T')) {
            inTime = true;
            continue;
        }
        double value = 0;
        if (!ioScanner.ReadReal(value) || !std::isfinite(value) || ioScanner.AtEnd())
            return false;
        char designator = ioScanner.At(ioScanner.GetPosition());
        size_t unit = nextUnit;
        while (unit < std::size(kUnits) &&
               !(kUnits[unit].fDesignator == designator && kUnits[unit].fInTime == inTime))
            ++unit;
        if (unit == std::size(kUnits))
            return false; // unknown, repeated, out of order, or years and months
        ioScanner.SetPosition(ioScanner.GetPosition() + 1);
        total += value * kUnits[unit].fMilliseconds;
        nextUnit = unit + 1;
        componentSinceT = inTime;
    }
    outMilliseconds = total;
    return nextUnit != 0 && (!inTime || componentSinceT);
}

} // namespace

void VDuration::FromNbMilliseconds(int64_t inMilliseconds) noexcept {
    fMilliseconds = inMilliseconds;
    SetNullFlag(false);
}

void VDuration::_FromScaled(int64_t inCount, int64_t inUnit) noexcept {
    int64_t product = 0;
    if (__builtin_mul_overflow(inCount, inUnit, &product))
        SetNull();
    else
        FromNbMilliseconds(product);
}

void VDuration::_AddScaled(int64_t inCount, int64_t inUnit) noexcept {
    int64_t product = 0;
    int64_t sum = 0;
    if (IsNull())
        return;
    if (__builtin_mul_overflow(inCount, inUnit, &product) ||
        __builtin_add_overflow(fMilliseconds, product, &sum))
        SetNull();
    else
        fMilliseconds = sum;
}

void VDuration::SetNull(bool inIsNull) {
    if (inIsNull)
        fMilliseconds = 0;
    SetNullFlag(inIsNull);
}

void VDuration::GetDuration(int32_t& outDays, int32_t& outHours, int32_t& outMinutes, int32_t& outSeconds,
                            int32_t& outMilliseconds) const noexcept {
    if (IsNull()) {
        outDays = outHours = outMinutes = outSeconds = outMilliseconds = -1;
        return;
    }
    int64_t days = fMilliseconds / kMillisecondsPerDay;
    outDays = days > INT32_MAX ? INT32_MAX : (days < INT32_MIN ? INT32_MIN : static_cast<int32_t>(days));
    int64_t rest = fMilliseconds % kMillisecondsPerDay;
    outHours = static_cast<int32_t>(rest / 3600000);
    outMinutes = static_cast<int32_t>(rest / 60000 % 60);
    outSeconds = static_cast<int32_t>(rest / 1000 % 60);
    outMilliseconds = static_cast<int32_t>(rest % 1000);
}

void VDuration::SetDuration(int32_t inDays, int32_t inHours, int32_t inMinutes, int32_t inSeconds,
                            int32_t inMilliseconds) noexcept {
    // 32-bit parts times their units cannot overflow 64 bits, nor can their sum.
    FromNbMilliseconds(int64_t{inDays} * kMillisecondsPerDay + int64_t{inHours} * 3600000 +
                       int64_t{inMinutes} * 60000 + int64_t{inSeconds} * 1000 + inMilliseconds);
}

void VDuration::Add(const VDuration& inDuration) noexcept {
    if (inDuration.IsNull())
        SetNull();
    else
        AddMilliseconds(inDuration.fMilliseconds);
}

void VDuration::Substract(const VDuration& inDuration) noexcept {
    if (inDuration.IsNull())
        SetNull();
    else if (!IsNull() && __builtin_sub_overflow(fMilliseconds, inDuration.fMilliseconds, &fMilliseconds))
        SetNull();
}

void VDuration::Multiply(int64_t inFactor) noexcept {
    if (!IsNull() && __builtin_mul_overflow(fMilliseconds, inFactor, &fMilliseconds))
        SetNull();
}

void VDuration::Divide(int64_t inDivisor) noexcept {
    if (IsNull())
        return;
    if (inDivisor == 0 || (inDivisor == -1 && fMilliseconds == INT64_MIN))
        SetNull();
    else
        fMilliseconds /= inDivisor;
}

void VDuration::Remainder(int64_t inDivisor) noexcept {
    if (IsNull())
        return;
    if (inDivisor == 0)
        SetNull();
    else
        fMilliseconds = inDivisor == -1 ? 0 : fMilliseconds % inDivisor;
}

int VDuration::CompareTo(const VDuration& inOther) const noexcept {
    if (IsNull() || inOther.IsNull())
        return IsNull() == inOther.IsNull() ? 0 : (IsNull() ? -1 : 1);
    return fMilliseconds < inOther.fMilliseconds ? -1 : (fMilliseconds > inOther.fMilliseconds ? 1 : 0);
}

void VDuration::GetXMLString(VString& outText, uint32_t inOptions) const {
    if (IsNull()) {
        outText.Clear();
        return;
    }
    char buffer[128];
    if (!(inOptions & eDurationISO8601)) {
        std::snprintf(buffer, sizeof(buffer), "%" PRId64, fMilliseconds / 1000);
        outText.FromCString(buffer);
        return;
    }
    uint64_t magnitude =
        fMilliseconds < 0 ? 0 - static_cast<uint64_t>(fMilliseconds) : static_cast<uint64_t>(fMilliseconds);
    uint64_t days = magnitude / kMillisecondsPerDay;
    uint64_t rest = magnitude % kMillisecondsPerDay;
    int hours = static_cast<int>(rest / 3600000);
    int minutes = static_cast<int>(rest / 60000 % 60);
    int seconds = static_cast<int>(rest / 1000 % 60);
    int milliseconds = static_cast<int>(rest % 1000);
    const char* sign = fMilliseconds < 0 ? "-" : "";
    // The seconds and their fraction are summed in single precision: the form others read and write.
    double fractional = static_cast<float>(seconds) + static_cast<float>(milliseconds) / 1000.0f;
    if (days == 0 && milliseconds == 0)
        std::snprintf(buffer, sizeof(buffer), "%sPT%dH%dM%dS", sign, hours, minutes, seconds);
    else if (days == 0)
        std::snprintf(buffer, sizeof(buffer), "%sPT%dH%dM%.14fS", sign, hours, minutes, fractional);
    else if (milliseconds == 0)
        std::snprintf(buffer, sizeof(buffer), "%sP%" PRIu64 "DT%dH%dM%dS", sign, days, hours, minutes,
                      seconds);
    else
        std::snprintf(buffer, sizeof(buffer), "%sP%" PRIu64 "DT%dH%dM%.14fS", sign, days, hours, minutes,
                      fractional);
    outText.FromCString(buffer);
}

void VDuration::GetXMLString(VString& outText) const {
    GetXMLString(outText, eDurationISO8601);
}

bool VDuration::FromXMLString(const VString& inText) {
    if (inText.IsEmpty()) {
        SetNull();
        return true;
    }
    VTimeTextScanner scanner(inText);
    scanner.SkipSpaces();
    bool negative = scanner.ReadChar('-');
    if (!negative)
        scanner.ReadChar('+');
    int32_t signEnd = scanner.GetPosition();
    double milliseconds = 0;
    bool read = false;
    if (scanner.IsValid() && scanner.At(signEnd) == 'P') {
        read = ReadISO8601(scanner, milliseconds);
    } else if (scanner.IsValid()) {
        scanner.SetPosition(1);
        double seconds = 0;
        read = scanner.ReadReal(seconds) && std::isfinite(seconds);
        scanner.SkipSpaces();
        read = read && scanner.AtEnd();
        milliseconds = seconds * 1000.0;
        negative = false;
    }
    int64_t rounded = 0;
    if (!read || !RoundMilliseconds(negative ? -milliseconds : milliseconds, rounded)) {
        SetNull();
        return false;
    }
    FromNbMilliseconds(rounded);
    return true;
}

void VDuration::GetString(VString& outText) const {
    if (IsNull())
        outText.Clear();
    else
        outText.FromLong8(fMilliseconds);
}

void VDuration::FromString(const VString& inText) {
    if (inText.IsNull()) {
        SetNull();
        return;
    }
    if (inText.FindUniChar(u':') == 0) {
        FromNbSeconds(inText.GetLong8());
        return;
    }
    int64_t parts[4] = {0, 0, 0, 0};
    int count = 0;
    VIndex start = 1;
    VString part;
    for (;;) {
        VIndex colon = inText.FindUniChar(u':', start);
        VIndex end = colon != 0 ? colon : inText.GetLength() + 1;
        if (count < 4) {
            inText.GetSubString(start, end - start, part);
            parts[count] = part.GetLong8();
        }
        ++count;
        if (colon == 0)
            break;
        start = colon + 1;
    }
    static constexpr int64_t kHMSm[4] = {3600000, 60000, 1000, 1};
    static constexpr int64_t kHMS[3] = {3600000, 60000, 1000};
    static constexpr int64_t kMS[2] = {60000, 1000};
    const int64_t* units = count >= 4 ? kHMSm : (count == 3 ? kHMS : kMS);
    int used = count >= 4 ? 4 : count;
    int64_t total = 0;
    for (int i = 0; i < used; ++i) {
        int64_t product = 0;
        if (__builtin_mul_overflow(parts[i], units[i], &product) ||
            __builtin_add_overflow(total, product, &total)) {
            SetNull();
            return;
        }
    }
    FromNbMilliseconds(total);
}

void VDuration::GetJSONString(VString& outText) const {
    if (IsNull())
        outText.FromCString("null");
    else
        outText.FromLong8(fMilliseconds);
}

bool VDuration::FromJSONString(const VString& inText) {
    if (inText == "null") {
        SetNull();
        return true;
    }
    VTimeTextScanner scanner(inText);
    double milliseconds = 0;
    bool read = scanner.IsValid() && scanner.ReadReal(milliseconds);
    scanner.SkipSpaces();
    int64_t rounded = 0;
    if (!read || !scanner.AtEnd() || !RoundMilliseconds(milliseconds, rounded)) {
        SetNull();
        return false;
    }
    FromNbMilliseconds(rounded);
    return true;
}

void VDuration::FromValue(const VValueSingle& inValue) {
    FromNbMilliseconds(inValue.GetLong8());
    if (inValue.IsNull())
        SetNull();
}

int32_t VDuration::GetLong() const {
    bool fits = fMilliseconds >= INT32_MIN && fMilliseconds <= INT32_MAX;
    return fits ? static_cast<int32_t>(fMilliseconds) : 0;
}

void VDuration::FromReal(double inValue) {
    int64_t rounded = 0;
    if (RoundMilliseconds(inValue, rounded))
        FromNbMilliseconds(rounded);
    else
        SetNull();
}

bool VDuration::EqualToSameKind(const VValueSingle& inOther, bool) const {
    if (inOther.GetValueKind() != ValueKind::Duration)
        return false;
    const VDuration& other = static_cast<const VDuration&>(inOther);
    return IsNull() == other.IsNull() && fMilliseconds == other.fMilliseconds;
}

} // namespace vkit
