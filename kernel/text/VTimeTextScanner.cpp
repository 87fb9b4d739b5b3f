// VTimeTextScanner: sscanf-like reading of date, time and duration texts.
#include "text/VTimeTextScanner.h"

#include "platform/posix/text/XPosixCNumeric.h"
#include "text/VString.h"

#include <cstdarg>
#include <limits>

namespace vkit {

namespace {

bool IsSpace(char inChar) noexcept {
    return inChar == ' ' || (inChar >= '\t' && inChar <= '\r');
}

bool IsDigit(char inChar) noexcept {
    return inChar >= '0' && inChar <= '9';
}

} // namespace

VTimeTextScanner::VTimeTextScanner(const VString& inText) {
    VIndex length = inText.GetLength();
    if (length > kMaxLength) {
        fValid = false;
        length = 0;
    }
    const UniChar* chars = inText.GetCPointer();
    for (VIndex i = 0; i < length; ++i)
        fText[i] = chars[i] < 0x80 && chars[i] != 0 ? static_cast<char>(chars[i]) : '?';
    fText[length] = 0;
    fLength = length;
}

int32_t VTimeTextScanner::Find(char inChar, int32_t inStart) const noexcept {
    for (int32_t i = inStart < 1 ? 0 : inStart - 1; i < fLength; ++i)
        if (fText[i] == inChar)
            return i + 1;
    return 0;
}

void VTimeTextScanner::SetPosition(int32_t inPosition) noexcept {
    fPosition = inPosition < 1 ? 0 : (inPosition - 1 > fLength ? fLength : inPosition - 1);
}

void VTimeTextScanner::SkipSpaces() noexcept {
    while (fPosition < fLength && IsSpace(fText[fPosition]))
        ++fPosition;
}

bool VTimeTextScanner::ReadInteger(int32_t& outValue, int32_t inWidth) noexcept {
    SkipSpaces();
    int32_t limit = inWidth > 0 && fLength - fPosition > inWidth ? fPosition + inWidth : fLength;
    int32_t at = fPosition;
    bool negative = false;
    if (at < limit && (fText[at] == '-' || fText[at] == '+'))
        negative = fText[at++] == '-';
    if (at >= limit || !IsDigit(fText[at]))
        return false;
    int64_t value = 0;
    constexpr int64_t kSaturated = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; at < limit && IsDigit(fText[at]); ++at)
        if (value < kSaturated)
            value = value * 10 + (fText[at] - '0');
    if (value > std::numeric_limits<int32_t>::max())
        value = negative ? kSaturated : std::numeric_limits<int32_t>::max();
    outValue = static_cast<int32_t>(negative ? -value : value);
    fPosition = at;
    return true;
}

bool VTimeTextScanner::ReadReal(double& outValue) noexcept {
    SkipSpaces();
    size_t consumed = 0;
    bool rangeError = false;
    double value = XPosixCNumeric::ReadReal(fText + fPosition, consumed, rangeError);
    if (consumed == 0)
        return false;
    outValue = value;
    fPosition += static_cast<int32_t>(consumed);
    return true;
}

bool VTimeTextScanner::ReadChar(char inChar) noexcept {
    SkipSpaces();
    if (fPosition >= fLength || fText[fPosition] != inChar)
        return false;
    ++fPosition;
    return true;
}

bool VTimeTextScanner::ReadWord(char* outWord, int32_t inCapacity) noexcept {
    SkipSpaces();
    int32_t count = 0;
    for (; fPosition < fLength; ++fPosition) {
        char c = fText[fPosition];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        else if (c < 'a' || c > 'z')
            break;
        if (count < inCapacity - 1)
            outWord[count] = c;
        ++count;
    }
    if (inCapacity > 0)
        outWord[count < inCapacity - 1 ? count : inCapacity - 1] = 0;
    return count > 0;
}

int VTimeTextScanner::Scan(const char* inFormat, ...) noexcept {
    va_list args;
    va_start(args, inFormat);
    int stored = 0;
    for (const char* f = inFormat; *f != 0; ++f) {
        if (*f != '%') {
            bool matched =
                IsSpace(*f) ? (SkipSpaces(), true) : (fPosition < fLength && fText[fPosition] == *f);
            if (!matched)
                break;
            if (!IsSpace(*f))
                ++fPosition;
            continue;
        }
        int32_t width = 0;
        for (++f; IsDigit(*f); ++f)
            width = width * 10 + (*f - '0');
        bool read = false;
        if (*f == 'd') {
            read = ReadInteger(*va_arg(args, int32_t*), width);
        } else if (f[0] == 'l' && f[1] == 'f') {
            ++f;
            read = ReadReal(*va_arg(args, double*));
        }
        if (!read)
            break;
        ++stored;
    }
    va_end(args);
    return stored;
}

} // namespace vkit
