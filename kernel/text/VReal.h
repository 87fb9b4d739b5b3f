// VReal: the 64-bit floating-point value.
#pragma once

#include "text/VValueSingle.h"

namespace vkit {

/// A 64-bit IEEE double with a null flag.
/// Plain form: "%.14G" in the C library's current locale. XML form: whole numbers of magnitude below
/// 2^53 as integers, "NaN", "INF", "-INF", else "%.14G" with "." as decimal point. JSON form: the
/// same numbers, and null for a NaN, an infinity or a null value.
class VReal : public VValueSingle {
public:
    /// Holds 0 and is not null.
    VReal() noexcept = default;
    explicit VReal(double inValue) noexcept : fValue(inValue) {}

    /// The native value (0 when null).
    double Get() const noexcept { return fValue; }
    /// Sets the value and clears the null flag.
    void Set(double inValue) noexcept {
        fValue = inValue;
        SetNullFlag(false);
    }

    ValueKind GetValueKind() const override { return ValueKind::Real; }
    VReal* Clone() const override;
    /// Setting the null flag also sets the value to 0.
    void SetNull(bool inIsNull = true) override;

    /// "%.14G" in the current C locale (VString::FromReal); an empty text when null.
    void GetString(VString& outText) const override;
    /// Takes the text's GetReal and its null flag.
    void FromString(const VString& inText) override;
    /// The XML attribute form; an empty text when null.
    void GetXMLString(VString& outText) const override;
    /// Replaces every "," by "." and reads the text as a real; succeeds and sets the value only when
    /// the whole text (at most 254 bytes) is one number. Otherwise the value is unchanged.
    bool FromXMLString(const VString& inText) override;
    /// A JSON number, or null.
    void GetJSONString(VString& outText) const override;
    /// Takes the other value's GetReal and its null flag.
    void FromValue(const VValueSingle& inValue) override;

    bool GetBoolean() const override { return fValue != 0; }
    /// Truncated toward zero; 0 for a NaN or a value out of range.
    int32_t GetLong() const override;
    int64_t GetLong8() const override;
    double GetReal() const override { return fValue; }

    void FromBoolean(bool inValue) override { Set(inValue ? 1 : 0); }
    void FromLong(int32_t inValue) override { Set(inValue); }
    void FromLong8(int64_t inValue) override { Set(static_cast<double>(inValue)); }
    void FromReal(double inValue) override { Set(inValue); }

    /// Same kind, same null flag and, when not null, equal numbers (a NaN equals no number).
    bool EqualToSameKind(const VValueSingle& inOther, bool inDiacritical) const override;

private:
    /// The number form shared by XML and JSON for finite values.
    static void _FormatFinite(double inValue, VString& outText);

    double fValue = 0;
};

} // namespace vkit
