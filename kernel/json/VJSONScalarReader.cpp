// VJSONScalarReader: number words by the JSON grammar, string escapes and the date forms of strings.
#include "json/VJSONScalarReader.h"

#include "platform/posix/text/XPosixCNumeric.h"
#include "text/VTime.h"
#include "json/VJSONValue.h"

#include <charconv>
#include <cstdint>

namespace vkit {

namespace {

constexpr UniChar kUnicodeMinus = 0x2212;

bool IsDigit(UniChar inChar) noexcept {
    return inChar >= u'0' && inChar <= u'9';
}

size_t SkipDigits(std::u16string_view inWord, size_t inFrom) noexcept {
    while (inFrom < inWord.size() && IsDigit(inWord[inFrom]))
        ++inFrom;
    return inFrom;
}

/// Whether the whole word follows the number grammar; outIntegerDigits counts the digits before any
/// fraction and outInteger tells that there is neither fraction nor exponent.
bool MatchNumber(std::u16string_view inWord, size_t& outIntegerDigits, bool& outInteger) noexcept {
    size_t length = inWord.size();
    size_t i = (length > 0 && inWord[0] == u'-') ? 1 : 0;
    size_t digitsStart = i;
    i = (i < length && inWord[i] == u'0') ? i + 1 : SkipDigits(inWord, i);
    outIntegerDigits = i - digitsStart;
    outInteger = true;
    if (outIntegerDigits == 0)
        return false;
    if (i < length && inWord[i] == u'.') {
        outInteger = false;
        size_t fractionEnd = SkipDigits(inWord, i + 1);
        if (fractionEnd == i + 1)
            return false;
        i = fractionEnd;
    }
    if (i < length && (inWord[i] == u'e' || inWord[i] == u'E')) {
        outInteger = false;
        ++i;
        if (i < length && (inWord[i] == u'+' || inWord[i] == u'-' || inWord[i] == kUnicodeMinus))
            ++i;
        size_t exponentEnd = SkipDigits(inWord, i);
        if (exponentEnd == i)
            return false;
        i = exponentEnd;
    }
    return i == length;
}

/// "YYYY-MM-DD" at the start of the text, followed by nothing or by "T" with inAllowTime.
bool HasDateShape(std::u16string_view inText, bool inAllowTime) noexcept {
    if (inText.size() < 10 || (inText.size() > 10 && (!inAllowTime || inText[10] != u'T')))
        return false;
    for (size_t i = 0; i < 10; ++i) {
        bool separator = i == 4 || i == 7;
        if (separator ? inText[i] != u'-' : !IsDigit(inText[i]))
            return false;
    }
    return true;
}

int32_t DigitsValue(std::u16string_view inText, size_t inFrom, size_t inCount) noexcept {
    int32_t value = 0;
    for (size_t i = inFrom; i < inFrom + inCount; ++i)
        value = value * 10 + (inText[i] - u'0');
    return value;
}

/// Sets the value to the date of a time read from text; false for a null time or one without a date.
bool SetDateOfTime(const VTime& inTime, VJSONValue& outValue) {
    if (inTime.IsNull() || inTime.IsEmptyDate())
        return false;
    outValue.SetTime(inTime);
    return true;
}

} // namespace

bool VJSONScalarReader::ReadNumber(std::u16string_view inWord, double& outNumber) {
    size_t integerDigits = 0;
    bool integer = false;
    if (!MatchNumber(inWord, integerDigits, integer))
        return false;
    // Integers of up to 15 digits are exact in a double: no conversion routine needed.
    if (integer && integerDigits <= 15) {
        bool negative = inWord[0] == u'-';
        int64_t value = 0;
        for (size_t i = negative ? 1 : 0; i < inWord.size(); ++i)
            value = value * 10 + (inWord[i] - u'0');
        outNumber = negative ? -static_cast<double>(value) : static_cast<double>(value);
        return true;
    }
    // The word is ASCII but for a Unicode minus, read as "-".
    std::string ascii(inWord.size(), '\0');
    for (size_t i = 0; i < inWord.size(); ++i)
        ascii[i] = inWord[i] == kUnicodeMinus ? '-' : static_cast<char>(inWord[i]);
    double value = 0;
    auto [end, status] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (status == std::errc::result_out_of_range) {
        // Overflow and underflow: the C library gives the infinity or the zero the text stands for.
        size_t consumed = 0;
        bool rangeError = false;
        value = XPosixCNumeric::ReadReal(ascii.c_str(), consumed, rangeError);
    }
    outNumber = value;
    return true;
}

const UniChar* VJSONScalarReader::AppendEscape(const UniChar* inAfterBackslash, const UniChar* inEnd,
                                               std::u16string& ioText) {
    const UniChar* p = inAfterBackslash;
    UniChar escaped = *p++;
    switch (escaped) {
    case u'b':
        ioText.push_back(8);
        break;
    case u'f':
        ioText.push_back(12);
        break;
    case u'n':
        ioText.push_back(10);
        break;
    case u'r':
        ioText.push_back(13);
        break;
    case u't':
        ioText.push_back(9);
        break;
    case u'u':
        if (inEnd - p >= 4 && HexDigit(p[0]) >= 0 && HexDigit(p[1]) >= 0 && HexDigit(p[2]) >= 0 &&
            HexDigit(p[3]) >= 0) {
            ioText.push_back(static_cast<UniChar>((HexDigit(p[0]) << 12) | (HexDigit(p[1]) << 8) |
                                                  (HexDigit(p[2]) << 4) | HexDigit(p[3])));
            p += 4;
        } else {
            // Not a code unit: like any other escaped character, the "u" itself.
            ioText.push_back(u'u');
        }
        break;
    default:
        ioText.push_back(escaped);
        break;
    }
    return p;
}

bool VJSONScalarReader::ReadDate(std::u16string_view inText, bool inNonAmbiguous, bool inISO,
                                 VJSONValue& outValue) {
    if (inNonAmbiguous) {
        // The date-only form: no time of day, so no time zone to be ambiguous about.
        if (HasDateShape(inText, false)) {
            int32_t year = DigitsValue(inText, 0, 4);
            int32_t month = DigitsValue(inText, 5, 2);
            int32_t day = DigitsValue(inText, 8, 2);
            if (VTime::CheckDate(year, month, day)) {
                outValue.SetDate(year, month, day);
                return true;
            }
        }
    } else if (inText.size() >= 4 && inText.substr(0, 2) == u"!!" &&
               inText.substr(inText.size() - 2) == u"!!") {
        VTime time;
        if (time.FromXMLString(VString(inText.data(), static_cast<VIndex>(inText.size()))) &&
            SetDateOfTime(time, outValue))
            return true;
    }
    if (inISO && HasDateShape(inText, true)) {
        VTime time;
        if (time.FromRfc3339String(VString(inText.data(), static_cast<VIndex>(inText.size()))) &&
            SetDateOfTime(time, outValue))
            return true;
    }
    return false;
}

} // namespace vkit
