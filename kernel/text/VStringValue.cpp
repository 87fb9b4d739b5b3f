// VString as a value: number reading, text forms, international comparisons, case and trimming.
#include "platform/posix/text/XPosixCNumeric.h"
#include "text/VIntlMgr.h"
#include "text/VString.h"

#include <unicode/ustring.h>

#include <cmath>
#include <cstdio>
#include <limits>

namespace vkit {

namespace {

/// Longest number text read from the stack; longer texts are converted on the heap.
constexpr VIndex kShortNumberLength = 127;

void AppendEscapedJSON(const VString& inText, VString& ioOut) {
    static const char kHex[] = "0123456789abcdef";
    ioOut.AppendUniChar(u'"');
    for (VIndex i = 0; i < inText.GetLength(); ++i) {
        UniChar c = inText[i];
        switch (c) {
        case u'"':
            ioOut.AppendCString("\\\"");
            break;
        case u'\\':
            ioOut.AppendCString("\\\\");
            break;
        case u'\n':
            ioOut.AppendCString("\\n");
            break;
        case u'\r':
            ioOut.AppendCString("\\r");
            break;
        case u'\t':
            ioOut.AppendCString("\\t");
            break;
        case u'\b':
            ioOut.AppendCString("\\b");
            break;
        case u'\f':
            ioOut.AppendCString("\\f");
            break;
        default:
            if (c < 0x20) {
                char escape[7] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15], 0};
                ioOut.AppendCString(escape);
            } else {
                ioOut.AppendUniChar(c);
            }
        }
    }
    ioOut.AppendUniChar(u'"');
}

} // namespace

int64_t VString::GetLong8() const {
    // Digits accumulate, a "-" before any non-zero digit makes the result negative, the decimal
    // separator ends the walk and every other character is skipped: "12 345" is 12345, "3-4" is 34.
    UniChar separator = VIntlMgr::GetDefaultMgr()->GetDecimalSeparator();
    uint64_t value = 0;
    bool negative = false;
    for (VIndex i = 0; i < fLength; ++i) {
        UniChar c = fString[i];
        if (c >= u'0' && c <= u'9')
            value = value * 10 + static_cast<uint64_t>(c - u'0');
        else if (c == u'-' && value == 0)
            negative = true;
        else if (c == separator)
            break;
    }
    return negative ? static_cast<int64_t>(0 - value) : static_cast<int64_t>(value);
}

int32_t VString::GetLong() const {
    int64_t value = GetLong8();
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        return 0;
    return static_cast<int32_t>(value);
}

double VString::GetRealCheckOverflow(bool& outOverflow) const {
    // Numbers are ASCII: the text is read up to its first other character, with no allocation
    // for ordinary lengths.
    char shortText[kShortNumberLength + 1];
    std::string longText;
    char* text = shortText;
    if (fLength > kShortNumberLength) {
        longText.resize(static_cast<size_t>(fLength));
        text = longText.data();
    }
    VIndex length = 0;
    while (length < fLength && fString[length] != 0 && fString[length] < 0x80) {
        text[length] = static_cast<char>(fString[length]);
        ++length;
    }
    text[length] = 0;
    size_t consumed = 0;
    bool rangeError = false;
    double value = XPosixCNumeric::ReadReal(text, consumed, rangeError);
    outOverflow = rangeError && (value == 0 || std::isinf(value));
    return value;
}

double VString::GetReal() const {
    bool overflow = false;
    return GetRealCheckOverflow(overflow);
}

bool VString::GetBoolean() const {
    static const VString sTrue("true");
    return VIntlMgr::GetDefaultMgr()->EqualString(*this, sTrue, false);
}

VString& VString::AppendReal(double inValue) {
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%.14G", inValue);
    return AppendCString(buffer);
}

void VString::FromReal(double inValue) {
    fLength = 0;
    AppendReal(inValue);
}

void VString::GetXMLString(VString& outText) const {
    outText.Clear();
    outText.EnsureSize(fLength);
    for (VIndex i = 0; i < fLength; ++i) {
        switch (UniChar c = fString[i]) {
        case u'&':
            outText.AppendCString("&amp;");
            break;
        case u'<':
            outText.AppendCString("&lt;");
            break;
        case u'>':
            outText.AppendCString("&gt;");
            break;
        case u'"':
            outText.AppendCString("&quot;");
            break;
        case u'\'':
            outText.AppendCString("&apos;");
            break;
        default:
            outText.AppendUniChar(c);
        }
    }
}

bool VString::FromXMLString(const VString& inText) {
    *this = inText;
    static const struct {
        const char* fEntity;
        UniChar fChar;
    } kEntities[] = {{"&lt;", u'<'}, {"&gt;", u'>'}, {"&quot;", u'"'}, {"&apos;", u'\''}, {"&amp;", u'&'}};
    for (const auto& entity : kEntities)
        ExchangeAll(VString(entity.fEntity), VString(entity.fChar));
    return true;
}

void VString::GetJSONString(VString& outText) const {
    outText.Clear();
    if (IsNull()) {
        outText.AppendCString("null");
        return;
    }
    AppendEscapedJSON(*this, outText);
}

void VString::FromValue(const VValueSingle& inValue) {
    if (&inValue == this)
        return;
    inValue.GetString(*this);
    SetNullFlag(inValue.IsNull());
}

bool VString::EqualToSameKind(const VValueSingle& inOther, bool inDiacritical) const {
    if (inOther.GetValueKind() != ValueKind::String)
        return false;
    const VString& other = static_cast<const VString&>(inOther);
    return inDiacritical ? *this == other : EqualToString(other, false);
}

bool VString::EqualToString(const VString& inOther, bool inDiacritical) const {
    return VIntlMgr::GetDefaultMgr()->EqualString(*this, inOther, inDiacritical);
}

int VString::CompareToString(const VString& inOther, bool inDiacritical) const {
    return VIntlMgr::GetDefaultMgr()->CompareString(*this, inOther, inDiacritical);
}

bool VString::BeginsWith(const VString& inPrefix, bool inDiacritical) const {
    return VIntlMgr::GetDefaultMgr()->BeginsWith(*this, inPrefix, inDiacritical);
}

bool VString::EndsWith(const VString& inSuffix, bool inDiacritical) const {
    return VIntlMgr::GetDefaultMgr()->EndsWith(*this, inSuffix, inDiacritical);
}

VIndex VString::Find(const VString& inFind, VIndex inStart, bool inDiacritical) const {
    return VIntlMgr::GetDefaultMgr()->FindString(*this, inFind, inStart, inDiacritical);
}

void VString::ToUpperCase() {
    UErrorCode status = U_ZERO_ERROR;
    VString result;
    int32_t length = u_strToUpper(nullptr, 0, fString, fLength, "", &status);
    status = U_ZERO_ERROR;
    if (result.EnsureSize(length)) {
        u_strToUpper(result.GetCPointerForWrite(), length + 1, fString, fLength, "", &status);
        if (U_SUCCESS(status)) {
            result.Validate(length);
            *this = std::move(result);
        }
    }
}

void VString::ToLowerCase() {
    UErrorCode status = U_ZERO_ERROR;
    VString result;
    int32_t length = u_strToLower(nullptr, 0, fString, fLength, "", &status);
    status = U_ZERO_ERROR;
    if (result.EnsureSize(length)) {
        u_strToLower(result.GetCPointerForWrite(), length + 1, fString, fLength, "", &status);
        if (U_SUCCESS(status)) {
            result.Validate(length);
            *this = std::move(result);
        }
    }
}

void VString::TrimLeadingSpaces() {
    VIndex start = 0;
    while (start < fLength && VIntlMgr::IsSpace(fString[start]))
        ++start;
    if (start > 0)
        Remove(1, start);
}

void VString::TrimTrailingSpaces() {
    VIndex end = fLength;
    while (end > 0 && VIntlMgr::IsSpace(fString[end - 1]))
        --end;
    Truncate(end);
}

void VString::TrimSpaces() {
    TrimTrailingSpaces();
    TrimLeadingSpaces();
}

} // namespace vkit
