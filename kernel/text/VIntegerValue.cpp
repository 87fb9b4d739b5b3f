// VIntegerValue: text forms and conversions of the integer values.
#include "text/VIntegerValue.h"

#include "text/VString.h"

#include <cmath>
#include <limits>

namespace vkit {

namespace {

template <class T>
T NarrowOrZero(int64_t inValue) noexcept {
    if (inValue < std::numeric_limits<T>::min() || inValue > std::numeric_limits<T>::max())
        return 0;
    return static_cast<T>(inValue);
}

template <class T>
T RealToInteger(double inValue) noexcept {
    // Bounds as doubles: min() and max() + 1 are powers of two, exact in a double.
    constexpr double kLow = static_cast<double>(std::numeric_limits<T>::min());
    constexpr double kHighExclusive = -kLow;
    double whole = std::trunc(inValue);
    if (std::isnan(whole) || whole < kLow || whole >= kHighExclusive)
        return 0;
    return static_cast<T>(whole);
}

/// Strict decimal reading of an XML attribute: spaces, an optional "-", digits, spaces.
bool ReadDecimal(const VString& inText, int64_t& outValue) noexcept {
    const UniChar* p = inText.GetCPointer();
    const UniChar* end = p + inText.GetLength();
    while (p < end && *p == u' ')
        ++p;
    bool negative = p < end && *p == u'-';
    if (negative)
        ++p;
    if (p == end || *p < u'0' || *p > u'9')
        return false;
    uint64_t magnitude = 0;
    constexpr uint64_t kLimit = uint64_t{1} << 63; // magnitude of the smallest int64_t
    for (; p < end && *p >= u'0' && *p <= u'9'; ++p) {
        uint64_t digit = static_cast<uint64_t>(*p - u'0');
        if (magnitude > (kLimit - digit) / 10)
            return false;
        magnitude = magnitude * 10 + digit;
    }
    while (p < end && *p == u' ')
        ++p;
    if (p != end || (!negative && magnitude == kLimit))
        return false;
    outValue = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

} // namespace

template <class T, ValueKind K>
void VIntegerValue<T, K>::SetNull(bool inIsNull) {
    if (inIsNull)
        fValue = 0;
    SetNullFlag(inIsNull);
}

template <class T, ValueKind K>
void VIntegerValue<T, K>::GetString(VString& outText) const {
    if (IsNull())
        outText.Clear();
    else
        outText.FromLong8(fValue);
}

template <class T, ValueKind K>
void VIntegerValue<T, K>::FromString(const VString& inText) {
    fValue = NarrowOrZero<T>(inText.GetLong8());
    SetNullFlag(inText.IsNull());
}

template <class T, ValueKind K>
bool VIntegerValue<T, K>::FromXMLString(const VString& inText) {
    int64_t value = 0;
    if (!ReadDecimal(inText, value) || value < std::numeric_limits<T>::min() ||
        value > std::numeric_limits<T>::max())
        return false;
    Set(static_cast<T>(value));
    return true;
}

template <class T, ValueKind K>
void VIntegerValue<T, K>::GetJSONString(VString& outText) const {
    if (IsNull())
        outText.FromCString("null");
    else
        outText.FromLong8(fValue);
}

template <class T, ValueKind K>
void VIntegerValue<T, K>::FromValue(const VValueSingle& inValue) {
    fValue = NarrowOrZero<T>(inValue.GetLong8());
    SetNullFlag(inValue.IsNull());
}

template <class T, ValueKind K>
int32_t VIntegerValue<T, K>::GetLong() const {
    return NarrowOrZero<int32_t>(fValue);
}

template <class T, ValueKind K>
void VIntegerValue<T, K>::FromLong(int32_t inValue) {
    Set(NarrowOrZero<T>(inValue));
}

template <class T, ValueKind K>
void VIntegerValue<T, K>::FromLong8(int64_t inValue) {
    Set(NarrowOrZero<T>(inValue));
}

template <class T, ValueKind K>
void VIntegerValue<T, K>::FromReal(double inValue) {
    Set(RealToInteger<T>(inValue));
}

template <class T, ValueKind K>
bool VIntegerValue<T, K>::EqualToSameKind(const VValueSingle& inOther, bool) const {
    if (inOther.GetValueKind() != K || inOther.IsNull() != IsNull())
        return false;
    return static_cast<const VIntegerValue&>(inOther).fValue == fValue;
}

template class VIntegerValue<int8_t, ValueKind::Byte>;
template class VIntegerValue<int16_t, ValueKind::Word>;
template class VIntegerValue<int32_t, ValueKind::Long>;
template class VIntegerValue<int64_t, ValueKind::Long8>;

} // namespace vkit
