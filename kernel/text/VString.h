// VString: the library's text value, UTF-16 code units with a length and a null flag.
#pragma once

#include "text/VValueSingle.h"

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vkit {

using UniChar = char16_t;
/// Lengths and positions in strings; positions are 1-based, 0 meaning "not found".
using VIndex = int32_t;

class VValueBag;

/// Text held as UTF-16 code units, always followed by a 0 terminator, with a null flag.
/// 8-bit C strings are read as ASCII when every byte is below 0x80 and as UTF-8 otherwise
/// (invalid sequences become U+FFFD). Short texts live in an inline buffer; VStr<N> adds a larger one.
///
/// operator== compares code units exactly; EqualToString and the other international comparisons go
/// through the collator of the current international manager (VIntlMgr).
class VString : public VValueSingle {
public:
    /// Code units held without any allocation.
    static constexpr VIndex kInlineCapacity = 15;
    /// Longest text, in code units; operations that would make a longer one leave the text as it was.
    static constexpr VIndex kMaxLength = 0x3FFFFFFF;

    VString() noexcept : fString(fInline), fLength(0), fCapacity(kInlineCapacity) { fInline[0] = 0; }
    VString(const VString& inOther);
    VString(VString&& inOther) noexcept;
    /// Reads a 0-terminated 8-bit text: ASCII, else UTF-8. A null pointer gives an empty string.
    VString(const char* inCString);
    /// Reads inLength bytes of UTF-8 (ASCII fast path).
    VString(const char* inBytes, size_t inLength);
    explicit VString(std::string_view inUTF8) : VString(inUTF8.data(), inUTF8.size()) {}
    VString(const UniChar* inChars, VIndex inLength);
    /// Reads a 0-terminated UTF-16 text.
    VString(const UniChar* inCString);
    explicit VString(UniChar inChar);
    ~VString() override;

    VString& operator=(const VString& inOther);
    VString& operator=(VString&& inOther) noexcept;
    VString& operator=(const char* inCString);

    // Access.
    VIndex GetLength() const noexcept { return fLength; }
    bool IsEmpty() const noexcept { return fLength == 0; }
    /// The code units, 0-terminated.
    const UniChar* GetCPointer() const noexcept { return fString; }
    /// The code unit at a 1-based position, 0 when out of range.
    UniChar GetUniChar(VIndex inPosition) const noexcept {
        return (inPosition >= 1 && inPosition <= fLength) ? fString[inPosition - 1] : 0;
    }
    /// The code unit at a 0-based index (unchecked).
    UniChar operator[](VIndex inIndex) const noexcept { return fString[inIndex]; }
    std::u16string_view View() const noexcept { return {fString, static_cast<size_t>(fLength)}; }

    // Changing the text. Each of these clears the null flag.
    /// Empties the string (not null).
    void Clear() noexcept;
    void SetNull(bool inIsNull = true) override;
    void FromCString(const char* inCString);
    void FromUTF8(const char* inBytes, size_t inLength);
    void FromUniChars(const UniChar* inChars, VIndex inLength);
    void FromUniChar(UniChar inChar) { FromUniChars(&inChar, 1); }

    VString& AppendString(const VString& inText);
    VString& AppendCString(const char* inCString);
    VString& AppendUTF8(const char* inBytes, size_t inLength);
    /// As AppendUTF8, except that each byte outside well-formed UTF-8 becomes the lone surrogate
    /// U+DC00 + byte (U+DC80 to U+DCFF) instead of U+FFFD, so that AppendToUTF8KeepingBytes gives the
    /// same bytes back: the decoding of text that must survive byte for byte, such as Linux file names.
    VString& AppendUTF8KeepingBytes(const char* inBytes, size_t inLength);
    VString& AppendUniChar(UniChar inChar);
    VString& AppendUniChars(const UniChar* inChars, VIndex inLength);
    VString& AppendLong(int32_t inValue);
    VString& AppendLong8(int64_t inValue);
    VString& AppendReal(double inValue);
    VString& operator+=(const VString& inText) { return AppendString(inText); }
    VString& operator+=(const char* inCString) { return AppendCString(inCString); }
    VString& operator+=(UniChar inChar) { return AppendUniChar(inChar); }

    /// Inserts at a 1-based position (clamped to the ends).
    void Insert(const VString& inText, VIndex inPosition);
    void Insert(UniChar inChar, VIndex inPosition);
    /// Removes inCount code units from a 1-based position (clamped).
    void Remove(VIndex inPosition, VIndex inCount);
    /// Replaces inCount code units from a 1-based position by inText.
    void Replace(const VString& inText, VIndex inPosition, VIndex inCount);
    /// Replaces every exact occurrence of inFind by inReplacement.
    void ExchangeAll(const VString& inFind, const VString& inReplacement);
    /// Keeps the first inLength code units.
    void Truncate(VIndex inLength);
    /// Keeps inCount code units from a 1-based position.
    void SubString(VIndex inPosition, VIndex inCount);
    /// Copies inCount code units from a 1-based position into outText.
    void GetSubString(VIndex inPosition, VIndex inCount, VString& outText) const;
    /// Makes room for inCapacity code units; false when memory is exhausted.
    bool EnsureSize(VIndex inCapacity);
    /// Sets the length after writing into GetCPointerForWrite (at most the capacity).
    void Validate(VIndex inLength) noexcept;
    UniChar* GetCPointerForWrite() noexcept { return fString; }
    VIndex GetCapacity() const noexcept { return fCapacity; }

    // UTF-8.
    /// The text as UTF-8 (unpaired surrogates become U+FFFD).
    std::string ToUTF8() const;
    void ToUTF8(std::string& outText) const;
    /// Appends the UTF-8 text to outText.
    void AppendToUTF8(std::string& ioText) const;
    /// As AppendToUTF8, except that a lone surrogate U+DC80 to U+DCFF becomes the byte it stands for
    /// (see AppendUTF8KeepingBytes).
    void AppendToUTF8KeepingBytes(std::string& ioText) const;
    /// True when the bytes are well-formed UTF-8, so that AppendUTF8 and AppendToUTF8 give them back
    /// unchanged (no sequence that AppendUTF8 would read as U+FFFD).
    static bool IsWellFormedUTF8(const char* inBytes, size_t inLength) noexcept;

    // Exact comparisons (code units).
    bool operator==(const VString& inOther) const noexcept { return View() == inOther.View(); }
    bool operator==(const char* inCString) const;
    bool EqualToUSASCIICString(const char* inCString) const { return *this == inCString; }
    /// Position (1-based) of the first exact occurrence of inFind from inStart, 0 when absent.
    VIndex FindRawString(const VString& inFind, VIndex inStart = 1) const noexcept;
    VIndex FindUniChar(UniChar inChar, VIndex inStart = 1) const noexcept;
    /// Position of the last occurrence of a code unit, 0 when absent.
    VIndex FindLastUniChar(UniChar inChar) const noexcept;
    bool BeginsWithRaw(const VString& inPrefix) const noexcept;
    bool EndsWithRaw(const VString& inSuffix) const noexcept;

    // International comparisons through the current international manager's collator.
    // "Not diacritical" ignores accents and case; "diacritical" tells them apart.
    /// True when both texts collate as equal.
    bool EqualToString(const VString& inOther, bool inDiacritical = false) const;
    /// -1, 0 or 1.
    int CompareToString(const VString& inOther, bool inDiacritical = false) const;
    /// True when the text starts (ends) with a match of the prefix (suffix); an empty one always matches.
    bool BeginsWith(const VString& inPrefix, bool inDiacritical = false) const;
    bool EndsWith(const VString& inSuffix, bool inDiacritical = false) const;
    /// Position (1-based) of the first occurrence from inStart, 0 when absent.
    VIndex Find(const VString& inFind, VIndex inStart = 1, bool inDiacritical = false) const;

    // Case and white space.
    /// Changes the case by the Unicode rules (the length may change: "ß" becomes "SS").
    void ToUpperCase();
    void ToLowerCase();
    /// Removes white space (as the international settings define it) at both ends.
    void TrimSpaces();
    void TrimLeadingSpaces();
    void TrimTrailingSpaces();

    // Numbers and booleans.
    /// As GetLong8 when the result fits in 32 bits, else 0.
    int32_t GetLong() const override;
    /// Walks the text: digits accumulate, a "-" met while the value is still 0 makes it negative,
    /// the current international manager's decimal separator ends the walk and any other character
    /// is skipped ("12 345" is 12345, "3-4" is 34). An empty text gives 0.
    int64_t GetLong8() const override;
    /// Reads the text with strtod in the "C" numeric locale ("." is the decimal point whatever the
    /// user's settings); 0 when it does not start with a number.
    double GetReal() const override;
    /// As GetReal; sets outOverflow when the result is 0 or infinite and the C library reported ERANGE.
    double GetRealCheckOverflow(bool& outOverflow) const;
    /// True exactly when the text equals "true" under the international comparison (not diacritical).
    bool GetBoolean() const override;
    /// The decimal form, with a leading "-" for negative values.
    void FromLong(int32_t inValue) override;
    void FromLong8(int64_t inValue) override;
    /// "%.14G" in the C library's current locale.
    void FromReal(double inValue) override;
    /// "true" or "false".
    void FromBoolean(bool inValue) override;

    // Formatting.
    // The format is a C format whose conversions "%S" (a VString*), "%A" (a VValueSingle*, its
    // GetString form) and "%V" (any VObject*, its DebugDump) take pointers to library objects.
    // A pointer that is not a live object of the expected class gives "@@invalid VObject@@",
    // "@@invalid VString@@" or "@@invalid VValueSingle@@". At most 1023 bytes of format are used
    // and the C formatter's output is cut at 1023 bytes before the objects' texts are put in.
    // No compiler format check: "%S", "%A" and "%V" would not pass it.
    /// Clears the string and formats into it.
    void Printf(const char* inFormat, ...);
    /// Clears the string and formats into it from an argument list.
    void VPrintf(const char* inFormat, va_list inArgs);
    /// Formats and appends to the text; returns the string.
    VString& AppendPrintf(const char* inFormat, ...);
    /// Formats from an argument list and appends to the text; returns the string.
    VString& AppendVPrintf(const char* inFormat, va_list inArgs);
    /// Appends to ioText the text that AppendVPrintf would append to an empty string, as UTF-8 bytes
    /// and without making the string, and answers true: reading the bytes (AppendUTF8) gives that
    /// text exactly, and they are its AppendToUTF8 form whenever they are well-formed (the arguments
    /// of "%s" and "%c" are copied as they are, ill-formed or not). Answers false, appending nothing,
    /// where the text needs a string to be made: a conversion left to the C formatter, an object
    /// conversion of anything but a VString ("%V" included), or an object's text holding an unpaired
    /// surrogate.
    static bool AppendVPrintfToUTF8(std::string& ioText, const char* inFormat, va_list inArgs);
    /// Replaces the placeholders "{Name}" by the bag's attributes; returns the string.
    VString& Format(const VValueBag* inBag, bool inRemoveMissing);

    // VValueSingle.
    ValueKind GetValueKind() const override { return ValueKind::String; }
    VString* Clone() const override { return new VString(*this); }
    void GetString(VString& outText) const override { outText = *this; }
    void FromString(const VString& inText) override { *this = inText; }
    void GetXMLString(VString& outText) const override;
    bool FromXMLString(const VString& inText) override;
    void GetJSONString(VString& outText) const override;
    void FromValue(const VValueSingle& inValue) override;
    bool EqualToSameKind(const VValueSingle& inOther, bool inDiacritical) const override;
    VString& DebugDump(VString& ioDump) const override;

    /// Hash of the code units (for unordered containers).
    size_t GetHashValue() const noexcept;

protected:
    /// For VStr<N>: uses the caller's buffer of inCapacity code units plus the terminator.
    VString(UniChar* inBuffer, VIndex inCapacity) noexcept;

private:
    VString& _AppendUTF8(const char* inBytes, size_t inLength, bool inKeepBytes);
    bool _Reserve(VIndex inCapacity, bool inKeepContent);
    void _ReleaseHeap() noexcept;
    bool _IsHeap() const noexcept { return fHeap; }

    UniChar* fString;
    VIndex fLength;
    VIndex fCapacity; // code units, not counting the terminator
    bool fHeap = false;
    UniChar fInline[kInlineCapacity + 1];
};

/// A VString with an inline buffer of N code units, for short-lived texts.
template <VIndex N>
class VStr : public VString {
public:
    VStr() noexcept : VString(fBuffer, N) {}
    VStr(const VString& inText) : VString(fBuffer, N) {
        AppendString(inText);
        if (inText.IsNull())
            SetNull();
    }
    VStr(const VStr& inText) : VStr(static_cast<const VString&>(inText)) {}
    VStr(const char* inCString) : VString(fBuffer, N) { AppendCString(inCString); }
    VStr& operator=(const VString& inText) {
        VString::operator=(inText);
        return *this;
    }
    VStr& operator=(const VStr& inText) {
        VString::operator=(inText);
        return *this;
    }
    VStr& operator=(const char* inCString) {
        VString::operator=(inCString);
        return *this;
    }

private:
    UniChar fBuffer[N + 1];
};

using VStr4 = VStr<4>;
using VStr15 = VStr<15>;
using VStr31 = VStr<31>;
using VStr50 = VStr<50>;
using VStr63 = VStr<63>;
using VStr80 = VStr<80>;
using VStr100 = VStr<100>;
using VStr255 = VStr<255>;
using VStr1000 = VStr<1000>;

VString operator+(const VString& inLeft, const VString& inRight);

struct VStringHash {
    size_t operator()(const VString& inText) const noexcept { return inText.GetHashValue(); }
};

/// Orders texts by their UTF-16 code units, case and diacritics significant: a key order, not a collation.
struct VStringLessCompareStrict {
    bool operator()(const VString& inLeft, const VString& inRight) const noexcept {
        return inLeft.View() < inRight.View();
    }
};

} // namespace vkit
