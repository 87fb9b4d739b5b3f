// VDuration: a signed span of time in milliseconds, with its ISO 8601 and other text forms.
#pragma once

#include "text/VValueSingle.h"

#include <cstdint>

namespace vkit {

class VJSONValue;
class VString;

/// Options of VDuration::GetXMLString.
enum : uint32_t {
    /// The ISO 8601 form ("PT1H2M3S"); without it, whole seconds.
    eDurationISO8601 = 1
};

/// Options of VDuration::GetJSONValue; without them the value is a number of whole seconds.
enum : uint32_t {
    /// A number of milliseconds.
    eDurationJSONMilliseconds = 2,
    /// A string "h:mm:ss" (hours not padded, milliseconds dropped); takes precedence over
    /// eDurationJSONMilliseconds.
    eDurationJSONHoursMinutesSeconds = 4
};

/// A signed count of milliseconds with the null flag of values. Arithmetic on a null span leaves it
/// null; operations that read text never push errors: they make the value null and answer false.
class VDuration : public VValueSingle {
public:
    /// 0 milliseconds, not null.
    VDuration() noexcept = default;
    explicit VDuration(int64_t inMilliseconds) noexcept : fMilliseconds(inMilliseconds) {}

    /// Each sets the span from a count of its unit and clears the null flag; a count whose span does
    /// not fit in 64 bits of milliseconds makes the value null.
    void FromNbMilliseconds(int64_t inMilliseconds) noexcept;
    void FromNbSeconds(int64_t inSeconds) noexcept { _FromScaled(inSeconds, 1000); }
    void FromNbMinutes(int64_t inMinutes) noexcept { _FromScaled(inMinutes, 60000); }
    void FromNbHours(int64_t inHours) noexcept { _FromScaled(inHours, 3600000); }
    void FromNbDays(int64_t inDays) noexcept { _FromScaled(inDays, 86400000); }
    /// The span in a unit, truncated toward zero (0 when null).
    int64_t ConvertToMilliseconds() const noexcept { return fMilliseconds; }
    int64_t ConvertToSeconds() const noexcept { return fMilliseconds / 1000; }
    int64_t ConvertToMinutes() const noexcept { return fMilliseconds / 60000; }
    int64_t ConvertToHours() const noexcept { return fMilliseconds / 3600000; }

    /// Splits into days, hours, minutes, seconds and milliseconds, each carrying the span's sign;
    /// each is -1 when null.
    void GetDuration(int32_t& outDays, int32_t& outHours, int32_t& outMinutes, int32_t& outSeconds,
                     int32_t& outMilliseconds) const noexcept;
    /// Sets the span from the same five parts (any values, summed) and clears the null flag.
    void SetDuration(int32_t inDays, int32_t inHours, int32_t inMinutes, int32_t inSeconds,
                     int32_t inMilliseconds) noexcept;

    // Arithmetic: a null span stays null; a result beyond 64 bits of milliseconds is null.
    void AddDays(int64_t inDays) noexcept { _AddScaled(inDays, 86400000); }
    void AddHours(int64_t inHours) noexcept { _AddScaled(inHours, 3600000); }
    void AddMinutes(int64_t inMinutes) noexcept { _AddScaled(inMinutes, 60000); }
    void AddSeconds(int64_t inSeconds) noexcept { _AddScaled(inSeconds, 1000); }
    void AddMilliseconds(int64_t inMilliseconds) noexcept { _AddScaled(inMilliseconds, 1); }
    /// Adds (subtracts) another span; a null one makes this one null.
    void Add(const VDuration& inDuration) noexcept;
    void Substract(const VDuration& inDuration) noexcept;
    /// Multiplies the span by a factor.
    void Multiply(int64_t inFactor) noexcept;
    /// Divides the span, truncating toward zero; null for a divisor of 0.
    void Divide(int64_t inDivisor) noexcept;
    /// Keeps the remainder of the span divided by inDivisor (the sign of the span); null for 0.
    void Remainder(int64_t inDivisor) noexcept;

    // Comparisons: a null span comes before every other.
    /// -1, 0 or 1.
    int CompareTo(const VDuration& inOther) const noexcept;
    bool operator==(const VDuration& inOther) const noexcept { return CompareTo(inOther) == 0; }
    bool operator!=(const VDuration& inOther) const noexcept { return CompareTo(inOther) != 0; }
    bool operator<(const VDuration& inOther) const noexcept { return CompareTo(inOther) < 0; }
    bool operator<=(const VDuration& inOther) const noexcept { return CompareTo(inOther) <= 0; }
    bool operator>(const VDuration& inOther) const noexcept { return CompareTo(inOther) > 0; }
    bool operator>=(const VDuration& inOther) const noexcept { return CompareTo(inOther) >= 0; }

    // Text forms.
    /// With eDurationISO8601: "PT%dH%dM%dS", or "P%dDT%dH%dM%dS" with whole days; with milliseconds
    /// the seconds are their single-precision sum printed "%.14f". A negative span is written "-"
    /// followed by the form of its magnitude. Without the option: whole seconds, truncated. An empty
    /// text when null.
    void GetXMLString(VString& outText, uint32_t inOptions) const;
    /// The ISO 8601 form.
    void GetXMLString(VString& outText) const override;
    /// Reads the ISO 8601 form ("[-]P[nW][nD][T[nH][nM][n[.f]S]]", fractions allowed; years and
    /// months, which have no fixed length, are refused) or a number of seconds, rounded to the
    /// millisecond. An empty text gives a null span. False, the value null, on any other text.
    bool FromXMLString(const VString& inText) override;
    /// The count of milliseconds in decimal; an empty text when null.
    void GetString(VString& outText) const override;
    /// A text without ":" is a whole number of seconds (read as VString::GetLong8 reads it); with
    /// ":", four or more parts are hours, minutes, seconds and milliseconds, three are hours, minutes
    /// and seconds, two are minutes and seconds. Takes over the text's null flag.
    void FromString(const VString& inText) override;
    /// The count of milliseconds in decimal, or null.
    void GetJSONString(VString& outText) const override;
    /// Reads a count of milliseconds (a real is rounded) or the literal null. False, the value null,
    /// on any other text.
    bool FromJSONString(const VString& inText);
    /// Stores the span in outValue as the eDurationJSON options ask: whole seconds (truncated toward
    /// zero) by default; a negative span's string is "-" and the form of its magnitude; a null span
    /// gives JSON null. Defined with the JSON library, which links it.
    void GetJSONValue(VJSONValue& outValue, uint32_t inOptions) const;
    /// Reads a JSON number of seconds (rounded to the millisecond); JSON null or undefined gives a
    /// null span and true. False, the value null, for any other value.
    bool FromJSONValue(const VJSONValue& inValue);

    // VValueSingle.
    ValueKind GetValueKind() const override { return ValueKind::Duration; }
    VDuration* Clone() const override { return new VDuration(*this); }
    /// Setting the null flag also sets the span to 0.
    void SetNull(bool inIsNull = true) override;
    /// Takes the other value's GetLong8 as milliseconds, and its null flag.
    void FromValue(const VValueSingle& inValue) override;

    /// Conversions in milliseconds (GetLong: 0 when it does not fit in 32 bits).
    bool GetBoolean() const override { return fMilliseconds != 0; }
    int32_t GetLong() const override;
    int64_t GetLong8() const override { return fMilliseconds; }
    double GetReal() const override { return static_cast<double>(fMilliseconds); }
    void FromBoolean(bool inValue) override { FromNbMilliseconds(inValue ? 1 : 0); }
    void FromLong(int32_t inValue) override { FromNbMilliseconds(inValue); }
    void FromLong8(int64_t inValue) override { FromNbMilliseconds(inValue); }
    /// Rounded to the nearest millisecond; a NaN or a value beyond 64 bits gives a null span.
    void FromReal(double inValue) override;

    /// Same kind, same null flag and, when not null, same span.
    bool EqualToSameKind(const VValueSingle& inOther, bool inDiacritical) const override;

private:
    void _FromScaled(int64_t inCount, int64_t inUnit) noexcept;
    void _AddScaled(int64_t inCount, int64_t inUnit) noexcept;

    int64_t fMilliseconds = 0;
};

} // namespace vkit
