// VIntegerValue: the shared implementation of the integer values VByte, VWord, VLong and VLong8.
#pragma once

#include "text/VValueSingle.h"

#include <cstdint>

namespace vkit {

/// A signed integer value of native type T. Its plain, XML and JSON forms are the decimal form with a
/// leading "-" for negative values ("null" in JSON for a null value, an empty text otherwise).
/// A conversion to a type that cannot hold the value (GetLong of a large VLong8, FromReal of 1e30)
/// gives 0, as VString::GetLong does.
template <class T, ValueKind K>
class VIntegerValue : public VValueSingle {
public:
    using NativeType = T;

    /// Holds 0 and is not null.
    VIntegerValue() noexcept = default;
    explicit VIntegerValue(T inValue) noexcept : fValue(inValue) {}

    /// The native value (0 when null).
    T Get() const noexcept { return fValue; }
    /// Sets the native value and clears the null flag.
    void Set(T inValue) noexcept {
        fValue = inValue;
        SetNullFlag(false);
    }

    ValueKind GetValueKind() const override { return K; }
    /// Setting the null flag also sets the value to 0.
    void SetNull(bool inIsNull = true) override;

    /// The decimal form; an empty text when null.
    void GetString(VString& outText) const override;
    /// Reads the text with VString::GetLong8 (0 when the result does not fit in T); takes over the
    /// text's null flag.
    void FromString(const VString& inText) override;
    /// Reads an optional "-" and decimal digits, spaces allowed around them. Fails (value unchanged)
    /// on any other text or when the number does not fit in T.
    bool FromXMLString(const VString& inText) override;
    /// The decimal form, or null.
    void GetJSONString(VString& outText) const override;
    /// Takes the other value's GetLong8 (0 when it does not fit) and its null flag.
    void FromValue(const VValueSingle& inValue) override;

    bool GetBoolean() const override { return fValue != 0; }
    int32_t GetLong() const override;
    int64_t GetLong8() const override { return fValue; }
    double GetReal() const override { return static_cast<double>(fValue); }

    void FromBoolean(bool inValue) override { Set(inValue ? 1 : 0); }
    void FromLong(int32_t inValue) override;
    void FromLong8(int64_t inValue) override;
    /// Truncates toward zero; 0 for a NaN or a value out of T's range.
    void FromReal(double inValue) override;

    /// Same kind, same null flag and, when not null, same number.
    bool EqualToSameKind(const VValueSingle& inOther, bool inDiacritical) const override;

protected:
    T fValue = 0;
};

} // namespace vkit
