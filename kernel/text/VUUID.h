// VUUID: the 128-bit universally unique identifier value.
#pragma once

#include "text/VValueSingle.h"

#include <array>
#include <cstdint>

namespace vkit {

/// A 128-bit identifier with a null flag. Its plain and XML forms are 32 upper-case hexadecimal
/// digits ("0123456789ABCDEF0123456789ABCDEF"), an empty text when null; its JSON form is that text
/// quoted, or null. Reading accepts upper or lower case and ignores "-", "{" and "}".
class VUUID : public VValueSingle {
public:
    using Bytes = std::array<uint8_t, 16>;

    /// A null identifier (all bytes 0).
    VUUID() noexcept : VValueSingle(true) {}
    explicit VUUID(const Bytes& inBytes) noexcept : fBytes(inBytes) {}

    /// A new random identifier (version 4).
    static VUUID Generate();
    /// Replaces the value by a new random identifier and clears the null flag.
    void Regenerate();

    const Bytes& GetBytes() const noexcept { return fBytes; }
    /// Sets the bytes and clears the null flag.
    void SetBytes(const Bytes& inBytes) noexcept {
        fBytes = inBytes;
        SetNullFlag(false);
    }

    ValueKind GetValueKind() const override { return ValueKind::UUID; }
    VUUID* Clone() const override;
    /// Setting the null flag also clears the bytes.
    void SetNull(bool inIsNull = true) override;

    /// The 32 hexadecimal digits; an empty text when null.
    void GetString(VString& outText) const override;
    /// Reads 32 hexadecimal digits; any other text (an empty one included) makes the value null.
    void FromString(const VString& inText) override;
    /// As FromString, but fails (value unchanged) when the text is not an identifier.
    bool FromXMLString(const VString& inText) override;
    /// The digits between double quotes, or null.
    void GetJSONString(VString& outText) const override;
    /// Copies another identifier, or reads the other value's text form.
    void FromValue(const VValueSingle& inValue) override;

    /// True when not null.
    bool GetBoolean() const override { return !IsNull(); }
    /// Identifiers are not numbers: 0.
    int32_t GetLong() const override { return 0; }
    int64_t GetLong8() const override { return 0; }
    double GetReal() const override { return 0; }

    /// Numbers do not convert to identifiers: these make the value null.
    void FromBoolean(bool inValue) override;
    void FromLong(int32_t inValue) override;
    void FromLong8(int64_t inValue) override;
    void FromReal(double inValue) override;

    /// Same kind, same null flag and same bytes.
    bool EqualToSameKind(const VValueSingle& inOther, bool inDiacritical) const override;

    bool operator==(const VUUID& inOther) const noexcept {
        return IsNull() == inOther.IsNull() && fBytes == inOther.fBytes;
    }

private:
    /// Reads the hexadecimal form into outBytes; false when the text is not one.
    static bool _Parse(const VString& inText, Bytes& outBytes) noexcept;

    Bytes fBytes{};
};

} // namespace vkit
