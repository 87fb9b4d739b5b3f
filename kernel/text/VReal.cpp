// VReal: text forms and conversions of the floating-point value.
#include "text/VReal.h"

#include "platform/posix/text/XPosixCNumeric.h"
#include "text/VString.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace vkit {

namespace {

/// Whole numbers below this magnitude are exact in a double and written as integers.
constexpr double kExactIntegerLimit = 9007199254740992.0; // 2^53

/// Longest text FromXMLString reads, in bytes.
constexpr size_t kMaxXMLRealBytes = 254;

template <class T>
T RealToInteger(double inValue) noexcept {
    constexpr double kLow = static_cast<double>(std::numeric_limits<T>::min());
    double whole = std::trunc(inValue);
    if (std::isnan(whole) || whole < kLow || whole >= -kLow)
        return 0;
    return static_cast<T>(whole);
}

} // namespace

VReal* VReal::Clone() const {
    return new VReal(*this);
}

void VReal::SetNull(bool inIsNull) {
    if (inIsNull)
        fValue = 0;
    SetNullFlag(inIsNull);
}

void VReal::GetString(VString& outText) const {
    if (IsNull())
        outText.Clear();
    else
        outText.FromReal(fValue);
}

void VReal::FromString(const VString& inText) {
    fValue = inText.GetReal();
    SetNullFlag(inText.IsNull());
}

void VReal::_FormatFinite(double inValue, VString& outText) {
    if (std::trunc(inValue) == inValue && std::fabs(inValue) < kExactIntegerLimit) {
        outText.FromLong8(static_cast<int64_t>(inValue));
        return;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%.14G", inValue);
    // The C library wrote the current locale's decimal point; these forms always use ".".
    const char* point = std::localeconv()->decimal_point;
    size_t pointLength = point != nullptr ? std::strlen(point) : 0;
    if (pointLength > 0 && std::strcmp(point, ".") != 0) {
        if (char* found = std::strstr(buffer, point)) {
            *found = '.';
            std::memmove(found + 1, found + pointLength, std::strlen(found + pointLength) + 1);
        }
    }
    outText.FromCString(buffer);
}

void VReal::GetXMLString(VString& outText) const {
    if (IsNull())
        outText.Clear();
    else if (std::isnan(fValue))
        outText.FromCString("NaN");
    else if (std::isinf(fValue))
        outText.FromCString(fValue > 0 ? "INF" : "-INF");
    else
        _FormatFinite(fValue, outText);
}

bool VReal::FromXMLString(const VString& inText) {
    std::string text = inText.ToUTF8();
    if (text.empty() || text.size() > kMaxXMLRealBytes)
        return false;
    for (char& c : text)
        if (c == ',')
            c = '.';
    size_t consumed = 0;
    bool rangeError = false;
    double value = XPosixCNumeric::ReadReal(text.c_str(), consumed, rangeError);
    if (consumed != text.size())
        return false;
    Set(value);
    return true;
}

void VReal::GetJSONString(VString& outText) const {
    if (IsNull() || !std::isfinite(fValue))
        outText.FromCString("null");
    else
        _FormatFinite(fValue, outText);
}

void VReal::FromValue(const VValueSingle& inValue) {
    fValue = inValue.GetReal();
    SetNullFlag(inValue.IsNull());
}

int32_t VReal::GetLong() const {
    return RealToInteger<int32_t>(fValue);
}

int64_t VReal::GetLong8() const {
    return RealToInteger<int64_t>(fValue);
}

bool VReal::EqualToSameKind(const VValueSingle& inOther, bool) const {
    if (inOther.GetValueKind() != ValueKind::Real || inOther.IsNull() != IsNull())
        return false;
    return static_cast<const VReal&>(inOther).fValue == fValue;
}

} // namespace vkit
