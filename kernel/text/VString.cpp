// VString: storage, construction, UTF-8 conversion, editing and exact comparisons.
#include "text/VString.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace vkit {

namespace {

constexpr UniChar kReplacementChar = 0xFFFD;

size_t CStringLength(const char* inCString) {
    return inCString == nullptr ? 0 : std::strlen(inCString);
}

/// Range of the second byte of a sequence led by inLead: narrower than 80..BF after E0 (overlong),
/// ED (surrogates), F0 (overlong) and F4 (above U+10FFFF).
void SecondByteRange(unsigned char inLead, unsigned char& outLow, unsigned char& outHigh) {
    outLow = inLead == 0xE0 ? 0xA0 : (inLead == 0xF0 ? 0x90 : 0x80);
    outHigh = inLead == 0xED ? 0x9F : (inLead == 0xF4 ? 0x8F : 0xBF);
}

/// The lone surrogates that stand for the bytes 0x80 to 0xFF outside well-formed UTF-8.
constexpr UniChar kKeptByteBase = 0xDC00;
constexpr UniChar kFirstKeptByte = 0xDC80;
constexpr UniChar kLastKeptByte = 0xDCFF;

/// Decodes one sequence of two to four bytes at inBytes (inLength > 0). Writes one or two code
/// units and returns the bytes read; an ill-formed sequence gives one U+FFFD for its longest valid
/// beginning (at least one byte), as Unicode recommends, or with inKeepBytes its first byte as the
/// surrogate U+DC00 + byte (the bytes after it are decoded on their own).
size_t DecodeSequence(const unsigned char* inBytes, size_t inLength, UniChar*& ioOut, bool inKeepBytes) {
    unsigned char lead = inBytes[0];
    size_t need = lead >= 0xC2 && lead <= 0xDF ? 1 : (lead >= 0xE0 && lead <= 0xEF ? 2 : 3);
    if (lead < 0xC2 || lead > 0xF4) {
        *ioOut++ = inKeepBytes ? static_cast<UniChar>(kKeptByteBase + lead) : kReplacementChar;
        return 1;
    }
    uint32_t code = lead & (0x3F >> need);
    unsigned char low = 0;
    unsigned char high = 0;
    SecondByteRange(lead, low, high);
    for (size_t j = 1; j <= need; ++j) {
        if (j >= inLength || inBytes[j] < low || inBytes[j] > high) {
            *ioOut++ = inKeepBytes ? static_cast<UniChar>(kKeptByteBase + lead) : kReplacementChar;
            return inKeepBytes ? 1 : j;
        }
        code = (code << 6) | (inBytes[j] & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    if (code >= 0x10000) {
        code -= 0x10000;
        *ioOut++ = static_cast<UniChar>(0xD800 + (code >> 10));
        *ioOut++ = static_cast<UniChar>(0xDC00 + (code & 0x3FF));
    } else {
        *ioOut++ = static_cast<UniChar>(code);
    }
    return need + 1;
}

/// Decodes UTF-8 into outChars (room for inLength code units is enough: UTF-16 never needs more
/// code units than UTF-8 has bytes). Runs of ASCII are widened eight bytes at a time. Returns the
/// number of code units written.
VIndex DecodeUTF8(const unsigned char* inBytes, size_t inLength, UniChar* outChars, bool inKeepBytes) {
    UniChar* out = outChars;
    size_t i = 0;
    while (i < inLength) {
        uint64_t block = 0;
        while (i + 8 <= inLength &&
               (std::memcpy(&block, inBytes + i, 8), (block & 0x8080808080808080ULL) == 0)) {
            for (size_t k = 0; k < 8; ++k)
                out[k] = inBytes[i + k];
            out += 8;
            i += 8;
        }
        while (i < inLength && inBytes[i] < 0x80)
            *out++ = inBytes[i++];
        if (i < inLength)
            i += DecodeSequence(inBytes + i, inLength - i, out, inKeepBytes);
    }
    return static_cast<VIndex>(out - outChars);
}

/// Length of the well-formed UTF-8 sequence of two to four bytes at inBytes (inLength > 0), 0 when
/// it is not one (the sequences DecodeSequence reads without U+FFFD).
size_t WellFormedSequenceLength(const unsigned char* inBytes, size_t inLength) noexcept {
    unsigned char lead = inBytes[0];
    if (lead < 0xC2 || lead > 0xF4)
        return 0;
    size_t need = lead <= 0xDF ? 1 : (lead <= 0xEF ? 2 : 3);
    unsigned char low = 0;
    unsigned char high = 0;
    SecondByteRange(lead, low, high);
    for (size_t j = 1; j <= need; ++j) {
        if (j >= inLength || inBytes[j] < low || inBytes[j] > high)
            return 0;
        low = 0x80;
        high = 0xBF;
    }
    return need + 1;
}

/// Encodes UTF-16 as UTF-8; an unpaired surrogate becomes U+FFFD, or with inKeepBytes, when it is one
/// of U+DC80 to U+DCFF, the byte it stands for.
void EncodeUTF8(const UniChar* inChars, VIndex inLength, std::string& ioText, bool inKeepBytes) {
    // The ASCII start, often the whole text, takes one byte a unit: no room for three is made for it.
    VIndex ascii = 0;
    // Four units at a time while all are ASCII, then unit by unit.
    for (uint64_t units; ascii + 4 <= inLength; ascii += 4) {
        std::memcpy(&units, inChars + ascii, sizeof(units));
        if ((units & 0xFF80FF80FF80FF80ULL) != 0)
            break;
    }
    while (ascii < inLength && inChars[ascii] < 0x80)
        ++ascii;
    size_t start = ioText.size();
    ioText.resize(start + static_cast<size_t>(ascii) + static_cast<size_t>(inLength - ascii) * 3);
    char* out = ioText.data() + start;
    for (VIndex i = 0; i < ascii; ++i)
        *out++ = static_cast<char>(inChars[i]);
    for (VIndex i = ascii; i < inLength; ++i) {
        uint32_t c = inChars[i];
        if (c < 0x80) {
            *out++ = static_cast<char>(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < inLength && inChars[i + 1] >= 0xDC00 &&
            inChars[i + 1] <= 0xDFFF) {
            uint32_t code = 0x10000 + ((c - 0xD800) << 10) + (inChars[i + 1] - 0xDC00);
            ++i;
            // A pair (two code units) takes four bytes: within the three bytes per unit reserved.
            *out++ = static_cast<char>(0xF0 | (code >> 18));
            *out++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (code & 0x3F));
            continue;
        }
        if (inKeepBytes && c >= kFirstKeptByte && c <= kLastKeptByte) {
            *out++ = static_cast<char>(c - kKeptByteBase);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDFFF)
            c = kReplacementChar;
        if (c < 0x800) {
            *out++ = static_cast<char>(0xC0 | (c >> 6));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            *out++ = static_cast<char>(0xE0 | (c >> 12));
            *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    ioText.resize(static_cast<size_t>(out - ioText.data()));
}

VIndex ClampPosition(VIndex inPosition, VIndex inLength) {
    return std::clamp<VIndex>(inPosition, 1, inLength + 1);
}

} // namespace

VString::VString(UniChar* inBuffer, VIndex inCapacity) noexcept
    : fString(inBuffer), fLength(0), fCapacity(inCapacity) {
    fString[0] = 0;
}

VString::VString(const VString& inOther) : VString() {
    AppendUniChars(inOther.fString, inOther.fLength);
    SetNullFlag(inOther.IsNull());
}

VString::VString(VString&& inOther) noexcept : VString() {
    if (inOther._IsHeap()) {
        fString = inOther.fString;
        fLength = inOther.fLength;
        fCapacity = inOther.fCapacity;
        fHeap = true;
        inOther.fString = inOther.fInline;
        inOther.fCapacity = kInlineCapacity;
        inOther.fHeap = false;
        inOther.fLength = 0;
        inOther.fString[0] = 0;
    } else {
        // Inline or VStr buffers cannot be taken over; short texts are cheap to copy.
        if (_Reserve(inOther.fLength, false)) {
            std::memcpy(fString, inOther.fString, sizeof(UniChar) * (inOther.fLength + 1));
            fLength = inOther.fLength;
        }
    }
    SetNullFlag(inOther.IsNull());
}

VString::VString(const char* inCString) : VString() {
    AppendUTF8(inCString, CStringLength(inCString));
}

VString::VString(const char* inBytes, size_t inLength) : VString() {
    AppendUTF8(inBytes, inLength);
}

VString::VString(const UniChar* inChars, VIndex inLength) : VString() {
    AppendUniChars(inChars, inLength);
}

VString::VString(const UniChar* inCString) : VString() {
    VIndex length = 0;
    if (inCString != nullptr)
        while (inCString[length] != 0)
            ++length;
    AppendUniChars(inCString, length);
}

VString::VString(UniChar inChar) : VString() {
    AppendUniChar(inChar);
}

VString::~VString() {
    _ReleaseHeap();
}

VString& VString::operator=(const VString& inOther) {
    if (this != &inOther) {
        fLength = 0;
        AppendUniChars(inOther.fString, inOther.fLength);
        SetNullFlag(inOther.IsNull());
    }
    return *this;
}

VString& VString::operator=(VString&& inOther) noexcept {
    if (this == &inOther)
        return *this;
    if (inOther._IsHeap() && fString != fInline && !_IsHeap()) {
        // A VStr keeps using its own buffer: copy.
        return *this = static_cast<const VString&>(inOther);
    }
    if (inOther._IsHeap()) {
        _ReleaseHeap();
        fString = inOther.fString;
        fLength = inOther.fLength;
        fCapacity = inOther.fCapacity;
        fHeap = true;
        inOther.fString = inOther.fInline;
        inOther.fCapacity = kInlineCapacity;
        inOther.fHeap = false;
        inOther.fLength = 0;
        inOther.fString[0] = 0;
        SetNullFlag(inOther.IsNull());
        return *this;
    }
    return *this = static_cast<const VString&>(inOther);
}

VString& VString::operator=(const char* inCString) {
    FromCString(inCString);
    return *this;
}

void VString::_ReleaseHeap() noexcept {
    if (fHeap) {
        std::free(fString);
        fHeap = false;
    }
}

bool VString::_Reserve(VIndex inCapacity, bool inKeepContent) {
    if (inCapacity <= fCapacity)
        return true;
    if (inCapacity < 0 || inCapacity > kMaxLength)
        return false;
    // Double, so that repeated appends stay linear and short texts reallocate rarely; capacities
    // of 2^n - 1 units make the blocks (with the terminator) whole powers of two.
    VIndex capacity = std::clamp<VIndex>(2 * fCapacity + 1, inCapacity, kMaxLength);
    size_t bytes = sizeof(UniChar) * (static_cast<size_t>(capacity) + 1);
    UniChar* buffer = nullptr;
    if (fHeap && inKeepContent) {
        buffer = static_cast<UniChar*>(std::realloc(fString, bytes));
        if (buffer == nullptr)
            return false;
    } else {
        buffer = static_cast<UniChar*>(std::malloc(bytes));
        if (buffer == nullptr)
            return false;
        if (inKeepContent)
            std::memcpy(buffer, fString, sizeof(UniChar) * (fLength + 1));
        _ReleaseHeap();
    }
    fString = buffer;
    fCapacity = capacity;
    fHeap = true;
    return true;
}

bool VString::EnsureSize(VIndex inCapacity) {
    return _Reserve(inCapacity, true);
}

void VString::Validate(VIndex inLength) noexcept {
    fLength = std::clamp<VIndex>(inLength, 0, fCapacity);
    fString[fLength] = 0;
    SetNullFlag(false);
}

void VString::Clear() noexcept {
    fLength = 0;
    fString[0] = 0;
    SetNullFlag(false);
}

void VString::SetNull(bool inIsNull) {
    if (inIsNull) {
        fLength = 0;
        fString[0] = 0;
    }
    SetNullFlag(inIsNull);
}

void VString::FromCString(const char* inCString) {
    fLength = 0;
    AppendUTF8(inCString, CStringLength(inCString));
}

void VString::FromUTF8(const char* inBytes, size_t inLength) {
    fLength = 0;
    AppendUTF8(inBytes, inLength);
}

void VString::FromUniChars(const UniChar* inChars, VIndex inLength) {
    fLength = 0;
    AppendUniChars(inChars, inLength);
}

VString& VString::AppendString(const VString& inText) {
    return AppendUniChars(inText.fString, inText.fLength);
}

VString& VString::AppendCString(const char* inCString) {
    return AppendUTF8(inCString, CStringLength(inCString));
}

VString& VString::AppendUTF8(const char* inBytes, size_t inLength) {
    return _AppendUTF8(inBytes, inLength, false);
}

VString& VString::AppendUTF8KeepingBytes(const char* inBytes, size_t inLength) {
    return _AppendUTF8(inBytes, inLength, true);
}

VString& VString::_AppendUTF8(const char* inBytes, size_t inLength, bool inKeepBytes) {
    SetNullFlag(false);
    if (inLength == 0) {
        fString[fLength] = 0;
        return *this;
    }
    if (inLength > static_cast<size_t>(kMaxLength - fLength) ||
        !_Reserve(fLength + static_cast<VIndex>(inLength), true))
        return *this;
    fLength +=
        DecodeUTF8(reinterpret_cast<const unsigned char*>(inBytes), inLength, fString + fLength, inKeepBytes);
    fString[fLength] = 0;
    return *this;
}

bool VString::IsWellFormedUTF8(const char* inBytes, size_t inLength) noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(inBytes);
    // Most texts are ASCII: their bytes are or-ed together first, eight at a time.
    uint64_t high = 0;
    size_t i = 0;
    for (; i + 8 <= inLength; i += 8) {
        uint64_t block = 0;
        std::memcpy(&block, bytes + i, 8);
        high |= block;
    }
    for (; i < inLength; ++i)
        high |= bytes[i];
    if ((high & 0x8080808080808080ULL) == 0)
        return true;
    i = 0;
    while (i < inLength) {
        // Runs of ASCII eight bytes at a time.
        uint64_t block = 0;
        if (i + 8 <= inLength && (std::memcpy(&block, bytes + i, 8), (block & 0x8080808080808080ULL) == 0)) {
            i += 8;
        } else if (bytes[i] < 0x80) {
            ++i;
        } else {
            size_t length = WellFormedSequenceLength(bytes + i, inLength - i);
            if (length == 0)
                return false;
            i += length;
        }
    }
    return true;
}

VString& VString::AppendUniChar(UniChar inChar) {
    return AppendUniChars(&inChar, 1);
}

VString& VString::AppendUniChars(const UniChar* inChars, VIndex inLength) {
    SetNullFlag(false);
    if (inLength > 0 && inLength <= kMaxLength - fLength) {
        // The characters may be the string's own, which growing the buffer would free.
        bool own = inChars >= fString && inChars <= fString + fLength;
        ptrdiff_t offset = inChars - fString;
        if (_Reserve(fLength + inLength, true)) {
            std::memmove(fString + fLength, own ? fString + offset : inChars, sizeof(UniChar) * inLength);
            fLength += inLength;
        }
    }
    fString[fLength] = 0;
    return *this;
}

VString& VString::AppendLong(int32_t inValue) {
    return AppendLong8(inValue);
}

VString& VString::AppendLong8(int64_t inValue) {
    char digits[24];
    char* end = digits + sizeof(digits);
    char* p = end;
    uint64_t magnitude = inValue < 0 ? 0 - static_cast<uint64_t>(inValue) : static_cast<uint64_t>(inValue);
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (inValue < 0)
        *--p = '-';
    return AppendUTF8(p, static_cast<size_t>(end - p));
}

void VString::FromLong(int32_t inValue) {
    fLength = 0;
    AppendLong8(inValue);
}

void VString::FromLong8(int64_t inValue) {
    fLength = 0;
    AppendLong8(inValue);
}

void VString::FromBoolean(bool inValue) {
    FromCString(inValue ? "true" : "false");
}

void VString::Insert(const VString& inText, VIndex inPosition) {
    Replace(inText, inPosition, 0);
}

void VString::Insert(UniChar inChar, VIndex inPosition) {
    Replace(VString(inChar), inPosition, 0);
}

void VString::Remove(VIndex inPosition, VIndex inCount) {
    Replace(VString(), inPosition, inCount);
}

void VString::Replace(const VString& inText, VIndex inPosition, VIndex inCount) {
    if (&inText == this) {
        Replace(VString(inText), inPosition, inCount);
        return;
    }
    VIndex start = ClampPosition(inPosition, fLength) - 1;
    VIndex count = std::clamp<VIndex>(inCount, 0, fLength - start);
    VIndex newLength = fLength - count + inText.fLength;
    if (!_Reserve(newLength, true))
        return;
    std::memmove(fString + start + inText.fLength, fString + start + count,
                 sizeof(UniChar) * (fLength - start - count));
    std::memcpy(fString + start, inText.fString, sizeof(UniChar) * inText.fLength);
    fLength = newLength;
    fString[fLength] = 0;
    SetNullFlag(false);
}

void VString::ExchangeAll(const VString& inFind, const VString& inReplacement) {
    if (inFind.IsEmpty())
        return;
    VString result;
    VIndex from = 1;
    for (VIndex found = FindRawString(inFind, from); found != 0; found = FindRawString(inFind, from)) {
        result.AppendUniChars(fString + from - 1, found - from);
        result.AppendString(inReplacement);
        from = found + inFind.fLength;
    }
    if (from == 1)
        return;
    result.AppendUniChars(fString + from - 1, fLength - from + 1);
    *this = std::move(result);
}

void VString::Truncate(VIndex inLength) {
    if (inLength >= 0 && inLength < fLength) {
        fLength = inLength;
        fString[fLength] = 0;
    }
}

void VString::SubString(VIndex inPosition, VIndex inCount) {
    VIndex start = ClampPosition(inPosition, fLength) - 1;
    VIndex count = std::clamp<VIndex>(inCount, 0, fLength - start);
    std::memmove(fString, fString + start, sizeof(UniChar) * count);
    fLength = count;
    fString[fLength] = 0;
}

void VString::GetSubString(VIndex inPosition, VIndex inCount, VString& outText) const {
    VIndex start = ClampPosition(inPosition, fLength) - 1;
    VIndex count = std::clamp<VIndex>(inCount, 0, fLength - start);
    outText.FromUniChars(fString + start, count);
}

std::string VString::ToUTF8() const {
    std::string text;
    EncodeUTF8(fString, fLength, text, false);
    return text;
}

void VString::ToUTF8(std::string& outText) const {
    outText.clear();
    EncodeUTF8(fString, fLength, outText, false);
}

void VString::AppendToUTF8(std::string& ioText) const {
    EncodeUTF8(fString, fLength, ioText, false);
}

void VString::AppendToUTF8KeepingBytes(std::string& ioText) const {
    EncodeUTF8(fString, fLength, ioText, true);
}

bool VString::operator==(const char* inCString) const {
    size_t length = CStringLength(inCString);
    // Compare ASCII byte by byte; anything else goes through decoding.
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(inCString[i]);
        if (c >= 0x80)
            return *this == VString(inCString, length);
        if (static_cast<VIndex>(i) >= fLength || fString[i] != c)
            return false;
    }
    return static_cast<VIndex>(length) == fLength;
}

VIndex VString::FindRawString(const VString& inFind, VIndex inStart) const noexcept {
    if (inStart < 1 || inFind.fLength == 0)
        return 0;
    size_t found = View().find(inFind.View(), static_cast<size_t>(inStart - 1));
    return found == std::u16string_view::npos ? 0 : static_cast<VIndex>(found) + 1;
}

VIndex VString::FindUniChar(UniChar inChar, VIndex inStart) const noexcept {
    if (inStart < 1)
        return 0;
    size_t found = View().find(inChar, static_cast<size_t>(inStart - 1));
    return found == std::u16string_view::npos ? 0 : static_cast<VIndex>(found) + 1;
}

VIndex VString::FindLastUniChar(UniChar inChar) const noexcept {
    size_t found = View().rfind(inChar);
    return found == std::u16string_view::npos ? 0 : static_cast<VIndex>(found) + 1;
}

bool VString::BeginsWithRaw(const VString& inPrefix) const noexcept {
    return View().starts_with(inPrefix.View());
}

bool VString::EndsWithRaw(const VString& inSuffix) const noexcept {
    return View().ends_with(inSuffix.View());
}

size_t VString::GetHashValue() const noexcept {
    return std::hash<std::u16string_view>()(View());
}

VString& VString::DebugDump(VString& ioDump) const {
    return ioDump.AppendString(*this);
}

VString operator+(const VString& inLeft, const VString& inRight) {
    VString result(inLeft);
    result.AppendString(inRight);
    return result;
}

} // namespace vkit
