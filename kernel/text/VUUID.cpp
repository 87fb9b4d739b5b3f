// VUUID: generation, text forms and conversions of the identifier value.
#include "text/VUUID.h"

#include "text/VString.h"

#include <random>

namespace vkit {

namespace {

int HexDigitValue(UniChar inChar) noexcept {
    if (inChar >= u'0' && inChar <= u'9')
        return inChar - u'0';
    if (inChar >= u'A' && inChar <= u'F')
        return inChar - u'A' + 10;
    if (inChar >= u'a' && inChar <= u'f')
        return inChar - u'a' + 10;
    return -1;
}

} // namespace

VUUID VUUID::Generate() {
    VUUID uuid;
    uuid.Regenerate();
    return uuid;
}

void VUUID::Regenerate() {
    // The system's entropy source; one per thread, so that generation takes no lock.
    thread_local std::random_device tSource;
    for (size_t i = 0; i < fBytes.size(); i += 4) {
        uint32_t random = tSource();
        for (size_t j = 0; j < 4; ++j)
            fBytes[i + j] = static_cast<uint8_t>(random >> (8 * j));
    }
    fBytes[6] = static_cast<uint8_t>((fBytes[6] & 0x0F) | 0x40); // version 4
    fBytes[8] = static_cast<uint8_t>((fBytes[8] & 0x3F) | 0x80); // RFC 4122 variant
    SetNullFlag(false);
}

VUUID* VUUID::Clone() const {
    return new VUUID(*this);
}

void VUUID::SetNull(bool inIsNull) {
    if (inIsNull)
        fBytes.fill(0);
    SetNullFlag(inIsNull);
}

void VUUID::GetString(VString& outText) const {
    outText.Clear();
    if (IsNull())
        return;
    static const char kHex[] = "0123456789ABCDEF";
    char digits[33];
    for (size_t i = 0; i < fBytes.size(); ++i) {
        digits[2 * i] = kHex[fBytes[i] >> 4];
        digits[2 * i + 1] = kHex[fBytes[i] & 0x0F];
    }
    digits[32] = 0;
    outText.AppendCString(digits);
}

bool VUUID::_Parse(const VString& inText, Bytes& outBytes) noexcept {
    size_t digitCount = 0;
    for (VIndex i = 0; i < inText.GetLength(); ++i) {
        UniChar c = inText[i];
        if (c == u'-' || c == u'{' || c == u'}')
            continue;
        int value = HexDigitValue(c);
        if (value < 0 || digitCount == 32)
            return false;
        uint8_t& byte = outBytes[digitCount / 2];
        byte = static_cast<uint8_t>(digitCount % 2 == 0 ? value << 4 : byte | value);
        ++digitCount;
    }
    return digitCount == 32;
}

void VUUID::FromString(const VString& inText) {
    Bytes bytes{};
    if (!inText.IsNull() && _Parse(inText, bytes))
        SetBytes(bytes);
    else
        SetNull(true);
}

bool VUUID::FromXMLString(const VString& inText) {
    Bytes bytes{};
    if (!_Parse(inText, bytes))
        return false;
    SetBytes(bytes);
    return true;
}

void VUUID::GetJSONString(VString& outText) const {
    if (IsNull()) {
        outText.FromCString("null");
        return;
    }
    VString digits;
    GetString(digits);
    outText.FromCString("\"");
    outText.AppendString(digits).AppendUniChar(u'"');
}

void VUUID::FromValue(const VValueSingle& inValue) {
    if (inValue.GetValueKind() == ValueKind::UUID) {
        const VUUID& other = static_cast<const VUUID&>(inValue);
        fBytes = other.fBytes;
        SetNullFlag(other.IsNull());
        return;
    }
    VString text;
    inValue.GetString(text);
    FromString(text);
    if (inValue.IsNull())
        SetNull(true);
}

void VUUID::FromBoolean(bool) {
    SetNull(true);
}

void VUUID::FromLong(int32_t) {
    SetNull(true);
}

void VUUID::FromLong8(int64_t) {
    SetNull(true);
}

void VUUID::FromReal(double) {
    SetNull(true);
}

bool VUUID::EqualToSameKind(const VValueSingle& inOther, bool) const {
    return inOther.GetValueKind() == ValueKind::UUID && static_cast<const VUUID&>(inOther) == *this;
}

} // namespace vkit
