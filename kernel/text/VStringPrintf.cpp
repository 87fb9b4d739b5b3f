// VString: printf-style formatting with the object conversions "%S", "%A" and "%V".
#include "text/VCppMemMgr.h"
#include "text/VString.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

namespace vkit {

namespace {

/// Size of the working format and of the C formatter's output: 1023 bytes and a terminator.
constexpr size_t kBufferSize = 1024;
constexpr char kFence[] = ";;;";
constexpr size_t kFenceLength = 3;
/// Each object conversion takes at least ";;;%p;;;" (8 bytes) of the 1023-byte working format.
constexpr size_t kMaxObjects = (kBufferSize - 1) / (2 * kFenceLength + 2);

/// One conversion of the format, from its "%" to its conversion character (both included).
struct ConversionSpec {
    const char* fStart = nullptr;
    const char* fEnd = nullptr;      // one past the conversion character
    const char* fFlagsEnd = nullptr; // one past flags, width and precision
    int fStarCount = 0;              // widths and precisions taken from the arguments
    char fLength[3] = {};            // "", "h", "hh", "l", "ll", "L", "j", "z", "t", "q", "Z"
    char fConversion = 0;
};

/// An object conversion kept for substitution.
struct ObjectRef {
    const void* fPointer;
    char fLetter;
};

/// Pieces of the working format: it is cut after each conversion the C formatter is not given. A
/// format with more such conversions is cut before the first that does not fit, as a long one is.
constexpr size_t kMaxPieces = 32;

/// The format rewritten for the C formatter, and the object conversions it fences. The text is a run
/// of pieces, each ended by a NUL and formatted on its own: the first with the caller's arguments,
/// each other with the arguments that follow the slots skipped before it.
struct WorkingFormat {
    char fText[kBufferSize];
    size_t fLength = 0;
    bool fFull = false;
    ObjectRef fObjects[kMaxObjects];
    size_t fObjectCount = 0;
    size_t fPieceStarts[kMaxPieces] = {0};
    va_list fPieceArgs[kMaxPieces]; // from piece 1 on
    size_t fPieceCount = 1;

    WorkingFormat() = default;
    WorkingFormat(const WorkingFormat&) = delete;
    WorkingFormat& operator=(const WorkingFormat&) = delete;
    ~WorkingFormat() {
        for (size_t i = 1; i < fPieceCount; ++i)
            va_end(fPieceArgs[i]);
    }

    /// True when inLength more bytes fit; otherwise marks the format full.
    bool HasRoom(size_t inLength) {
        if (fLength + inLength > kBufferSize - 1)
            fFull = true;
        return !fFull;
    }
    void Append(const char* inText, size_t inLength) {
        std::memcpy(fText + fLength, inText, inLength);
        fLength += inLength;
    }
    /// Appends literal text, as much as fits.
    void AppendLiteral(const char* inText, size_t inLength) {
        if (!HasRoom(inLength))
            inLength = kBufferSize - 1 - fLength;
        Append(inText, inLength);
    }
};

/// Reads flags, width, precision, length modifier and conversion character after a "%".
ConversionSpec ParseSpec(const char* inPercent) {
    ConversionSpec conversion;
    conversion.fStart = inPercent;
    const char* p = inPercent + 1;
    while (*p != 0 && std::strchr("-+ #0'I", *p) != nullptr)
        ++p;
    for (int part = 0; part < 2; ++part) { // width, then precision
        if (part == 1) {
            if (*p != '.')
                break;
            ++p;
        }
        if (*p == '*') {
            ++conversion.fStarCount;
            ++p;
        }
        while (*p >= '0' && *p <= '9')
            ++p;
    }
    conversion.fFlagsEnd = p;
    size_t length = 0;
    while (length < 2 && *p != 0 && std::strchr("hlLjztqZ", *p) != nullptr &&
           (length == 0 || (*p == conversion.fLength[0] && (*p == 'h' || *p == 'l'))))
        conversion.fLength[length++] = *p++;
    conversion.fConversion = *p;
    conversion.fEnd = *p != 0 ? p + 1 : p;
    return conversion;
}

static_assert(sizeof(long) == sizeof(long long) && sizeof(size_t) == sizeof(long long) &&
                  sizeof(intmax_t) == sizeof(long long) && sizeof(ptrdiff_t) == sizeof(long long),
              "the argument walk takes every wide integer as a long long");

/// Takes from the argument list what one conversion of the C formatter takes. False for a
/// conversion the formatter is not given (it is then printed as text and takes nothing).
bool ConsumeArguments(const ConversionSpec& inSpec, va_list* ioArgs) {
    const char* length = inSpec.fLength;
    bool wide = length[0] == 'l' || length[0] == 'L' || length[0] == 'j' || length[0] == 'z' ||
                length[0] == 't' || length[0] == 'q' || length[0] == 'Z';
    switch (inSpec.fConversion) {
    case 'd':
    case 'i':
    case 'o':
    case 'u':
    case 'x':
    case 'X':
        for (int i = 0; i < inSpec.fStarCount; ++i)
            (void)va_arg(*ioArgs, int);
        // Narrow integers are promoted to int; every wider one is 64 bits (checked above).
        if (wide)
            (void)va_arg(*ioArgs, long long);
        else
            (void)va_arg(*ioArgs, int);
        return true;
    case 'c':
    case 'C':
        for (int i = 0; i < inSpec.fStarCount; ++i)
            (void)va_arg(*ioArgs, int);
        (void)va_arg(*ioArgs, int); // an int or a wint_t, both passed as int
        return true;
    case 'e':
    case 'E':
    case 'f':
    case 'F':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
        for (int i = 0; i < inSpec.fStarCount; ++i)
            (void)va_arg(*ioArgs, int);
        if (length[0] == 'L')
            (void)va_arg(*ioArgs, long double);
        else
            (void)va_arg(*ioArgs, double);
        return true;
    case 's':
    case 'p':
        for (int i = 0; i < inSpec.fStarCount; ++i)
            (void)va_arg(*ioArgs, int);
        (void)va_arg(*ioArgs, const void*);
        return true;
    case 'm': // the text of errno: takes nothing
        return inSpec.fStarCount == 0;
    default: // unknown conversions and "%n", which would write through a pointer
        return false;
    }
}

/// Adds one conversion to the working format, whole or not at all, and takes its arguments from
/// ioWalker. False when it does not fit.
bool AddConversion(const ConversionSpec& inSpec, va_list* ioWalker, WorkingFormat& ioFormat) {
    // "%S" and "%V" are object conversions even with flags or a width (which would otherwise reach
    // the C formatter as a wide-string or invalid conversion); "%A" only alone, else it is the C
    // formatter's hexadecimal real.
    char letter = inSpec.fConversion;
    if (letter == 'S' || letter == 'V' || (letter == 'A' && inSpec.fStart + 1 == inSpec.fFlagsEnd)) {
        // The pointer goes between fences, with the conversion's flags and widths (whose "*"
        // arguments the C formatter then takes as usual).
        size_t modifiers = static_cast<size_t>(inSpec.fFlagsEnd - inSpec.fStart - 1);
        if (!ioFormat.HasRoom(2 * kFenceLength + modifiers + 2))
            return false;
        ioFormat.Append(kFence, kFenceLength);
        ioFormat.Append("%", 1);
        ioFormat.Append(inSpec.fStart + 1, modifiers);
        ioFormat.Append("p", 1);
        ioFormat.Append(kFence, kFenceLength);
        for (int i = 0; i < inSpec.fStarCount; ++i)
            (void)va_arg(*ioWalker, int);
        ioFormat.fObjects[ioFormat.fObjectCount++] = {va_arg(*ioWalker, const void*), letter};
        return true;
    }
    size_t length = static_cast<size_t>(inSpec.fEnd - inSpec.fStart);
    if (ConsumeArguments(inSpec, ioWalker)) {
        if (!ioFormat.HasRoom(length))
            return false;
        ioFormat.Append(inSpec.fStart, length);
        return true;
    }
    // A conversion the C formatter is not given ("%n", an unknown letter) still counts one argument
    // slot (besides its "*" widths), so that the conversions after it take their own arguments: the
    // piece ends here and the next one is formatted with the arguments after those slots. "%n" writes
    // nothing; an unknown conversion is printed as it is written. A conversion cut by the end of the
    // format takes nothing: no argument is there for it.
    bool printed = inSpec.fConversion != 'n';
    if (ioFormat.fPieceCount == kMaxPieces || !ioFormat.HasRoom((printed ? length + 1 : 0) + 1))
        return false;
    if (printed) {
        ioFormat.Append("%", 1);
        ioFormat.Append(inSpec.fStart, length);
    }
    int slots = inSpec.fConversion == 0 ? 0 : inSpec.fStarCount + 1;
    for (int i = 0; i < slots; ++i)
        (void)va_arg(*ioWalker, const void*);
    ioFormat.Append("", 1);
    va_copy(ioFormat.fPieceArgs[ioFormat.fPieceCount], *ioWalker);
    ioFormat.fPieceStarts[ioFormat.fPieceCount++] = ioFormat.fLength;
    return true;
}

/// Rewrites inFormat for the C formatter and records the object conversions, walking a copy of
/// the arguments so that each object conversion finds its own pointer whatever precedes it.
void BuildWorkingFormat(const char* inFormat, va_list inArgs, WorkingFormat& outFormat) {
    va_list walker;
    va_copy(walker, inArgs);
    const char* p = inFormat;
    while (!outFormat.fFull) {
        const char* percent = std::strchr(p, '%');
        size_t literal = percent != nullptr ? static_cast<size_t>(percent - p) : std::strlen(p);
        outFormat.AppendLiteral(p, literal);
        if (percent == nullptr || outFormat.fFull)
            break;
        if (percent[1] == '%' || percent[1] == 0) {
            // A doubled percent sign prints one and takes no argument; so does a final one.
            if (!outFormat.HasRoom(2))
                break;
            outFormat.Append("%%", 2);
            p = percent + (percent[1] == '%' ? 2 : 1);
            continue;
        }
        ConversionSpec conversion = ParseSpec(percent);
        if (!AddConversion(conversion, &walker, outFormat))
            break;
        p = conversion.fEnd;
    }
    outFormat.fText[outFormat.fLength] = 0;
    va_end(walker);
}

/// Length of a cut output without a final incomplete UTF-8 sequence.
size_t CompleteUTF8Length(const char* inText, size_t inLength) {
    size_t start = inLength;
    while (start > 0 && inLength - start < 4 &&
           (static_cast<unsigned char>(inText[start - 1]) & 0xC0) == 0x80)
        --start;
    if (start == 0)
        return inLength;
    unsigned char lead = static_cast<unsigned char>(inText[start - 1]);
    size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return (lead >= 0xC0 && inLength - (start - 1) < need) ? start - 1 : inLength;
}

/// True when inText is what "%p" prints, possibly padded: "(nil)" or "0x" and hexadecimal digits.
bool IsPointerText(const char* inText, size_t inLength) {
    while (inLength > 0 && (*inText == ' ' || *inText == '+')) {
        ++inText;
        --inLength;
    }
    while (inLength > 0 && inText[inLength - 1] == ' ')
        --inLength;
    if (inLength == 5 && std::memcmp(inText, "(nil)", 5) == 0)
        return true;
    if (inLength < 3 || inText[0] != '0' || inText[1] != 'x')
        return false;
    for (size_t i = 2; i < inLength; ++i) {
        char c = inText[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

/// Finds the next fenced pointer from inFrom: outOpen is its first byte, the result one past it.
std::optional<size_t> FindFencedPointer(const char* inText, size_t inLength, size_t inFrom, size_t& outOpen) {
    std::string_view text(inText, inLength);
    for (size_t open = text.find(kFence, inFrom); open != std::string_view::npos;
         open = text.find(kFence, open + 1)) {
        size_t close = text.find(kFence, open + kFenceLength);
        if (close == std::string_view::npos)
            return std::nullopt;
        if (IsPointerText(inText + open + kFenceLength, close - open - kFenceLength)) {
            outOpen = open;
            return close + kFenceLength;
        }
    }
    return std::nullopt;
}

/// The length of a cut output without the fenced pointer that the cut left open.
size_t WithoutCutFence(const char* inText, size_t inFrom, size_t inLength) {
    std::string_view text(inText + inFrom, inLength - inFrom);
    size_t open = text.rfind(kFence);
    if (open == std::string_view::npos)
        return inLength;
    for (char c : text.substr(open + kFenceLength))
        if (std::strchr(" +0123456789abcdefx(nil);", c) == nullptr)
            return inLength;
    return inFrom + open;
}

/// Appends the text of one object conversion; inSelf stands for the destination itself.
void AppendObjectText(VString& ioText, const ObjectRef& inObject, const VString* inSelf) {
    const VObject* object = VCppMemMgr::CheckVObject(inObject.fPointer);
    if (object == nullptr) {
        ioText.AppendCString("@@invalid VObject@@");
        return;
    }
    if (object == &ioText)
        object = inSelf;
    if (inObject.fLetter == 'V') {
        object->DebugDump(ioText);
        return;
    }
    if (const VString* text = dynamic_cast<const VString*>(object)) {
        ioText.AppendString(*text);
    } else if (inObject.fLetter == 'S') {
        ioText.AppendCString("@@invalid VString@@");
    } else if (const VValueSingle* value = dynamic_cast<const VValueSingle*>(object)) {
        VString text;
        value->GetString(text);
        ioText.AppendString(text);
    } else {
        ioText.AppendCString("@@invalid VValueSingle@@");
    }
}

/// The format's text made without the C formatter, for formats whose conversions it would print
/// plainly ("%d", "%s", "%S" and their like): the bytes it would print, without the fences of the
/// object conversions, and where each object's text goes. Taken only when the result is the one of
/// the C formatter's route: nothing cut (the working format and the output, fences counted, each
/// within 1023 bytes), and no ";" near a fence that the search for fences could take for one.
struct DirectFormat {
    char fText[kBufferSize];
    size_t fLength = 0;
    size_t fPrinted = 0; // what the C formatter would print, fences included
    size_t fWorking = 0; // the length of the working format
    ObjectRef fObjects[kMaxObjects];
    size_t fObjectPositions[kMaxObjects];
    size_t fObjectCount = 0;

    /// Counts inWorking bytes of working format; false when it would be cut.
    bool AddWorking(size_t inWorking) {
        fWorking += inWorking;
        return fWorking <= kBufferSize - 1;
    }
    /// Appends printed text; false when the output would be cut.
    bool Print(const char* inText, size_t inLength) {
        if (fPrinted + inLength > kBufferSize - 1)
            return false;
        std::memcpy(fText + fLength, inText, inLength);
        fLength += inLength;
        fPrinted += inLength;
        return true;
    }
};

/// What "%p" prints for a pointer: "(nil)", or "0x" and its hexadecimal digits.
size_t PointerTextLength(const void* inPointer) {
    uintptr_t value = reinterpret_cast<uintptr_t>(inPointer);
    if (value == 0)
        return 5;
    size_t digits = 0;
    for (; value != 0; value >>= 4)
        ++digits;
    return 2 + digits;
}

/// One integer conversion without flags, width or precision.
bool PrintInteger(char inLetter, bool inWide, va_list* ioArgs, DirectFormat& ioFormat) {
    char digits[24];
    std::to_chars_result end;
    if (inLetter == 'd' || inLetter == 'i') {
        long long value = inWide ? va_arg(*ioArgs, long long) : va_arg(*ioArgs, int);
        end = std::to_chars(digits, digits + sizeof(digits), value);
    } else {
        unsigned long long value = inWide ? va_arg(*ioArgs, unsigned long long) : va_arg(*ioArgs, unsigned);
        int base = inLetter == 'u' ? 10 : (inLetter == 'o' ? 8 : 16);
        end = std::to_chars(digits, digits + sizeof(digits), value, base);
        if (inLetter == 'X')
            for (char* c = digits; c != end.ptr; ++c)
                *c = (*c >= 'a' && *c <= 'f') ? static_cast<char>(*c - 'a' + 'A') : *c;
    }
    return ioFormat.Print(digits, static_cast<size_t>(end.ptr - digits));
}

/// One conversion after its "%": false when the C formatter is needed for it.
bool AddDirectConversion(const char* inPercent, const char*& outEnd, va_list* ioArgs,
                         DirectFormat& ioFormat) {
    const char* p = inPercent + 1;
    // Every wide integer is 64 bits (checked above).
    bool wide = false;
    if (*p == 'l') {
        wide = true;
        p += p[1] == 'l' ? 2 : 1;
    } else if (*p == 'z' || *p == 'j' || *p == 't') {
        wide = true;
        ++p;
    }
    char letter = *p;
    outEnd = p + 1;
    switch (letter) {
    case 'd':
    case 'i':
    case 'u':
    case 'o':
    case 'x':
    case 'X':
        return ioFormat.AddWorking(static_cast<size_t>(outEnd - inPercent)) &&
               PrintInteger(letter, wide, ioArgs, ioFormat);
    case 's': {
        const char* text = wide ? nullptr : va_arg(*ioArgs, const char*);
        // A null text prints "(null)": left to the C formatter.
        return text != nullptr && ioFormat.AddWorking(2) && ioFormat.Print(text, std::strlen(text));
    }
    case 'c': {
        char c = wide ? 0 : static_cast<char>(static_cast<unsigned char>(va_arg(*ioArgs, int)));
        return c != 0 && ioFormat.AddWorking(2) && ioFormat.Print(&c, 1);
    }
    case 'S':
    case 'V':
    case 'A': {
        if (wide || ioFormat.fObjectCount == kMaxObjects)
            return false;
        const void* pointer = va_arg(*ioArgs, const void*);
        ioFormat.fPrinted += 2 * kFenceLength + PointerTextLength(pointer);
        ioFormat.fObjects[ioFormat.fObjectCount] = {pointer, letter};
        ioFormat.fObjectPositions[ioFormat.fObjectCount++] = ioFormat.fLength;
        return ioFormat.AddWorking(2 * kFenceLength + 2) && ioFormat.fPrinted <= kBufferSize - 1;
    }
    default:
        return false;
    }
}

/// Makes the text of inFormat without the C formatter; false when the format needs it.
bool BuildDirectFormat(const char* inFormat, va_list inArgs, DirectFormat& outFormat) {
    va_list args;
    va_copy(args, inArgs);
    bool done = false;
    for (const char* p = inFormat;;) {
        const char* percent = strchrnul(p, '%');
        size_t literal = static_cast<size_t>(percent - p);
        if (!outFormat.AddWorking(literal) || !outFormat.Print(p, literal))
            break;
        if (*percent == 0) {
            done = true;
            break;
        }
        if (percent[1] == '%' || percent[1] == 0) {
            // A doubled percent sign prints one and takes no argument; so does a final one.
            if (!outFormat.AddWorking(2) || !outFormat.Print("%", 1))
                break;
            p = percent + (percent[1] == '%' ? 2 : 1);
            continue;
        }
        if (!AddDirectConversion(percent, p, &args, outFormat))
            break;
    }
    va_end(args);
    // The fences are found by searching the output for ";;;": text holding ";" could be taken for one.
    return done &&
           (outFormat.fObjectCount == 0 || std::memchr(outFormat.fText, ';', outFormat.fLength) == nullptr);
}

/// Appends a text made by BuildDirectFormat, each object's text in its place.
VString& AppendDirectFormat(VString& ioText, const DirectFormat& inFormat) {
    // An object conversion of the destination itself shows the text it had before formatting.
    std::optional<VString> self;
    for (size_t i = 0; i < inFormat.fObjectCount && !self; ++i)
        if (inFormat.fObjects[i].fPointer == &ioText)
            self.emplace(ioText);
    size_t position = 0;
    for (size_t i = 0; i < inFormat.fObjectCount; ++i) {
        ioText.AppendUTF8(inFormat.fText + position, inFormat.fObjectPositions[i] - position);
        AppendObjectText(ioText, inFormat.fObjects[i], self ? &*self : nullptr);
        position = inFormat.fObjectPositions[i];
    }
    return ioText.AppendUTF8(inFormat.fText + position, inFormat.fLength - position);
}

/// The string an object conversion of the direct route shows as it is, or null when its text needs
/// more than a copy: "%V", an object that is not a VString, or one holding an unpaired surrogate
/// (which its UTF-8 form would not keep).
const VString* PlainStringObject(const ObjectRef& inObject) {
    if (inObject.fLetter == 'V')
        return nullptr;
    const auto* text = dynamic_cast<const VString*>(VCppMemMgr::CheckVObject(inObject.fPointer));
    if (text == nullptr)
        return nullptr;
    std::u16string_view units = text->View();
    for (size_t i = 0; i < units.size(); ++i) {
        char16_t unit = units[i];
        if (unit < 0xD800 || unit > 0xDFFF)
            continue;
        if (unit > 0xDBFF || i + 1 == units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF)
            return nullptr;
        ++i;
    }
    return text;
}

} // namespace

bool VString::AppendVPrintfToUTF8(std::string& ioText, const char* inFormat, va_list inArgs) {
    if (inFormat == nullptr)
        return true;
    DirectFormat direct;
    if (!BuildDirectFormat(inFormat, inArgs, direct))
        return false;
    const size_t start = ioText.size();
    size_t position = 0;
    for (size_t i = 0; i < direct.fObjectCount; ++i) {
        const VString* text = PlainStringObject(direct.fObjects[i]);
        if (text == nullptr) {
            ioText.resize(start);
            return false;
        }
        ioText.append(direct.fText + position, direct.fObjectPositions[i] - position);
        text->AppendToUTF8(ioText);
        position = direct.fObjectPositions[i];
    }
    // Ill-formed bytes of "%s" arguments read as AppendVPrintf reads them, piece by piece: a piece
    // cut in a sequence is followed by an object's text, whose first byte cannot continue it.
    ioText.append(direct.fText + position, direct.fLength - position);
    return true;
}

void VString::Printf(const char* inFormat, ...) {
    va_list args;
    va_start(args, inFormat);
    VPrintf(inFormat, args);
    va_end(args);
}

void VString::VPrintf(const char* inFormat, va_list inArgs) {
    Clear();
    AppendVPrintf(inFormat, inArgs);
}

VString& VString::AppendPrintf(const char* inFormat, ...) {
    va_list args;
    va_start(args, inFormat);
    AppendVPrintf(inFormat, args);
    va_end(args);
    return *this;
}

VString& VString::AppendVPrintf(const char* inFormat, va_list inArgs) {
    SetNullFlag(false);
    if (inFormat == nullptr)
        return *this;
    if (DirectFormat direct; BuildDirectFormat(inFormat, inArgs, direct))
        return AppendDirectFormat(*this, direct);
    WorkingFormat format;
    BuildWorkingFormat(inFormat, inArgs, format);

    char output[kBufferSize];
    size_t length = 0;
    bool cut = false;
    for (size_t i = 0; i < format.fPieceCount && !cut; ++i) {
        va_list args;
        if (i == 0)
            va_copy(args, inArgs);
        else
            va_copy(args, format.fPieceArgs[i]);
        int written = std::vsnprintf(output + length, sizeof(output) - length,
                                     format.fText + format.fPieceStarts[i], args);
        va_end(args);
        if (written < 0)
            return *this;
        cut = length + static_cast<size_t>(written) >= sizeof(output);
        length = cut ? sizeof(output) - 1 : length + static_cast<size_t>(written);
    }
    if (cut)
        length = CompleteUTF8Length(output, sizeof(output) - 1);

    // An object conversion of the destination itself shows the text it had before formatting.
    std::optional<VString> self;
    for (size_t i = 0; i < format.fObjectCount && !self; ++i)
        if (format.fObjects[i].fPointer == this)
            self.emplace(*this);

    size_t position = 0;
    for (size_t i = 0; i < format.fObjectCount; ++i) {
        size_t open = 0;
        std::optional<size_t> end = FindFencedPointer(output, length, position, open);
        if (!end) {
            if (cut)
                length = WithoutCutFence(output, position, length);
            break;
        }
        AppendUTF8(output + position, open - position);
        AppendObjectText(*this, format.fObjects[i], self ? &*self : nullptr);
        position = *end;
    }
    return AppendUTF8(output + position, length - position);
}

} // namespace vkit
