// VBoolean: the boolean value.
#pragma once

#include "text/VValueSingle.h"

namespace vkit {

/// A boolean value (one byte, 0 or 1) with a null flag. Its plain and XML forms are "true" and
/// "false" (an empty text when null), its JSON form true, false or null.
class VBoolean : public VValueSingle {
public:
    /// Holds false and is not null.
    VBoolean() noexcept = default;
    explicit VBoolean(bool inValue) noexcept : fValue(inValue ? 1 : 0) {}

    /// The native value (false when null).
    bool Get() const noexcept { return fValue != 0; }
    /// Sets the value and clears the null flag.
    void Set(bool inValue) noexcept {
        fValue = inValue ? 1 : 0;
        SetNullFlag(false);
    }

    ValueKind GetValueKind() const override { return ValueKind::Boolean; }
    VBoolean* Clone() const override;
    /// Setting the null flag also sets the value to false.
    void SetNull(bool inIsNull = true) override;

    /// "true" or "false" (also for the XML form); an empty text when null.
    void GetString(VString& outText) const override;
    /// True exactly when the text equals "true" under the international comparison
    /// (VString::GetBoolean); takes over the text's null flag.
    void FromString(const VString& inText) override;
    /// Reads "true" or "1" as true and "false" or "0" as false; fails (value unchanged) otherwise.
    bool FromXMLString(const VString& inText) override;
    /// true, false or null.
    void GetJSONString(VString& outText) const override;
    /// Takes the other value's GetBoolean and its null flag.
    void FromValue(const VValueSingle& inValue) override;

    bool GetBoolean() const override { return fValue != 0; }
    int32_t GetLong() const override { return fValue; }
    int64_t GetLong8() const override { return fValue; }
    double GetReal() const override { return fValue; }

    void FromBoolean(bool inValue) override { Set(inValue); }
    /// Any number other than 0 is true.
    void FromLong(int32_t inValue) override { Set(inValue != 0); }
    void FromLong8(int64_t inValue) override { Set(inValue != 0); }
    void FromReal(double inValue) override { Set(inValue != 0); }

    /// Same kind, same null flag and, when not null, same value.
    bool EqualToSameKind(const VValueSingle& inOther, bool inDiacritical) const override;

private:
    uint8_t fValue = 0;
};

} // namespace vkit
