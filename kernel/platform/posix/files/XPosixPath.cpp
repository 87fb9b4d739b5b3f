// XPosixPath: one-pass conversions between native paths and Linux POSIX text, no disk access.
#include "platform/posix/files/XPosixPath.h"

#include "files/VFilePath.h"

namespace vkit {

namespace {

constexpr char16_t kReplacementChar = 0xFFFD;
// The lone surrogates U+DC00 + byte that stand for the bytes of names that are not UTF-8.
constexpr char16_t kKeptByteBase = 0xDC00;
constexpr char16_t kFirstKeptByte = 0xDC80;
constexpr char16_t kLastKeptByte = 0xDCFF;

constexpr char16_t Exchanged(char16_t inUnit) {
    return inUnit == u':' ? u'/' : (inUnit == u'/' ? u':' : inUnit);
}

/// Appends UTF-16 text to ioText as UTF-8, exchanging ":" and "/" when inExchange. As
/// VString::AppendToUTF8KeepingBytes, a lone surrogate U+DC80 to U+DCFF becomes the byte of a name
/// that was not UTF-8, any other unpaired surrogate U+FFFD. ":" and "/" never occur inside a
/// multi-byte sequence.
void AppendUTF8(std::u16string_view inText, bool inExchange, std::string& ioText) {
    size_t start = ioText.size();
    ioText.resize(start + inText.size() * 3);
    char* out = ioText.data() + start;
    for (size_t i = 0; i < inText.size(); ++i) {
        char32_t c = inText[i];
        if (c < 0x80) {
            *out++ = static_cast<char>(inExchange ? Exchanged(static_cast<char16_t>(c)) : c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < inText.size() && inText[i + 1] >= 0xDC00 &&
            inText[i + 1] <= 0xDFFF) {
            char32_t code = 0x10000 + ((c - 0xD800) << 10) + (inText[++i] - 0xDC00);
            *out++ = static_cast<char>(0xF0 | (code >> 18));
            *out++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (code & 0x3F));
            continue;
        }
        if (c >= kFirstKeptByte && c <= kLastKeptByte) {
            *out++ = static_cast<char>(c - kKeptByteBase);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDFFF)
            c = kReplacementChar;
        if (c < 0x800) {
            *out++ = static_cast<char>(0xC0 | (c >> 6));
        } else {
            *out++ = static_cast<char>(0xE0 | (c >> 12));
            *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        }
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    ioText.resize(static_cast<size_t>(out - ioText.data()));
}

/// Splits a native full text at its first ":" into the volume name and the rest.
void SplitVolume(std::u16string_view inNative, std::u16string_view& outVolume, std::u16string_view& outRest) {
    size_t colon = inNative.find(u':');
    outVolume = inNative.substr(0, colon);
    outRest = colon == std::u16string_view::npos ? std::u16string_view() : inNative.substr(colon + 1);
}

void AppendText(std::u16string_view inText, VString& ioText) {
    ioText.AppendUniChars(inText.data(), static_cast<VIndex>(inText.size()));
}

void AppendText(std::string_view inText, VString& ioText) {
    ioText.AppendUTF8KeepingBytes(inText.data(), inText.size());
}

/// Turns "Root" followed by a full POSIX text, held in ioText, into the native path, in place: the
/// output never gets ahead of the input, as each ":" written stands for a "/" read. With inKeepSteps,
/// ".." is copied as a name instead of removing the component before it.
void CanonicalizeInPlace(VString& ioText, bool inIsFolder, bool inKeepSteps) {
    UniChar* text = ioText.GetCPointerForWrite();
    const size_t length = static_cast<size_t>(ioText.GetLength());
    const size_t rootLength = XPosixPath::kRootVolumeName.size() + 1;
    text[rootLength - 1] = u':';
    // Read before the rewrite, which may turn a final ":" into "/" in place.
    const bool endsWithSlash = text[length - 1] == u'/';
    size_t write = rootLength;
    size_t read = rootLength;
    while (read < length) {
        size_t end = read;
        while (end < length && text[end] != u'/')
            ++end;
        size_t size = end - read;
        bool isDot = size == 1 && text[read] == u'.';
        bool isDotDot = size == 2 && text[read] == u'.' && text[read + 1] == u'.' && !inKeepSteps;
        if (isDotDot && write > rootLength) {
            // Back to just after the ":" before the last component (kept: ".." ends in a folder).
            write -= 1;
            while (text[write - 1] != u':')
                --write;
        } else if (size > 0 && !isDot && !isDotDot) {
            if (text[write - 1] != u':')
                text[write++] = u':';
            for (size_t i = read; i < end; ++i)
                text[write++] = text[i] == u':' ? u'/' : text[i];
        }
        read = end + 1;
    }
    if ((inIsFolder || endsWithSlash) && text[write - 1] != u':')
        text[write++] = u':';
    ioText.Validate(static_cast<VIndex>(write));
}

template <typename Char>
bool ConvertPosixFullPath(std::basic_string_view<Char> inPosix, bool inIsFolder, VString& outNative) {
    outNative.Clear();
    if (inPosix.empty() || inPosix[0] != Char('/'))
        return false;
    // UTF-8 never gives more code units than bytes; one more for a folder's ":".
    if (!outNative.EnsureSize(static_cast<VIndex>(inPosix.size() + XPosixPath::kRootVolumeName.size() + 1)))
        return false;
    AppendText(XPosixPath::kRootVolumeName, outNative);
    AppendText(inPosix, outNative);
    // A ".." step must not remove a NUL: the NUL keeps the path invalid.
    CanonicalizeInPlace(outNative, inIsFolder, inPosix.find(Char(0)) != inPosix.npos);
    return true;
}

} // namespace

void XPosixPath::NativeToPosix(std::u16string_view inNative, VString& outPosix) {
    outPosix.Clear();
    if (inNative.empty())
        return;
    std::u16string_view volume;
    std::u16string_view rest;
    SplitVolume(inNative, volume, rest);
    // "/" + volume + "/" + rest is at most one code unit longer than the native text.
    if (!outPosix.EnsureSize(static_cast<VIndex>(inNative.size() + 1)))
        return;
    outPosix.AppendUniChar(u'/');
    if (volume != kRootVolumeName) {
        AppendText(volume, outPosix);
        if (outPosix.View().back() != u'/')
            outPosix.AppendUniChar(u'/');
    }
    UniChar* text = outPosix.GetCPointerForWrite() + outPosix.GetLength();
    for (char16_t unit : rest)
        *text++ = Exchanged(unit);
    outPosix.Validate(static_cast<VIndex>(text - outPosix.GetCPointerForWrite()));
}

void XPosixPath::NativeToPosixUTF8(std::u16string_view inNative, std::string& outPosix) {
    outPosix.clear();
    if (inNative.empty())
        return;
    std::u16string_view volume;
    std::u16string_view rest;
    SplitVolume(inNative, volume, rest);
    outPosix.push_back('/');
    if (volume != kRootVolumeName) {
        AppendUTF8(volume, false, outPosix);
        if (outPosix.back() != '/')
            outPosix.push_back('/');
    }
    AppendUTF8(rest, true, outPosix);
}

bool XPosixPath::PosixToNative(std::u16string_view inPosix, bool inIsFolder, VString& outNative) {
    return ConvertPosixFullPath(inPosix, inIsFolder, outNative);
}

bool XPosixPath::PosixToNative(std::string_view inPosixUTF8, bool inIsFolder, VString& outNative) {
    return ConvertPosixFullPath(inPosixUTF8, inIsFolder, outNative);
}

bool XPosixPath::GetPosixPath(const VFilePath& inPath, std::string& outPosix) {
    if (!inPath.IsValid()) {
        outPosix.clear();
        return false;
    }
    NativeToPosixUTF8(inPath.GetPath().View(), outPosix);
    return true;
}

std::string XPosixPath::GetPosixPath(const VFilePath& inPath) {
    std::string text;
    GetPosixPath(inPath, text);
    return text;
}

void XPosixPath::GetPosixPathFromString(const VString& inPosix, std::string& outPosix) {
    outPosix.clear();
    inPosix.AppendToUTF8KeepingBytes(outPosix);
}

void XPosixPath::GetFilePathFromPosixPath(const char* inText, bool inIsFolder, VFilePath& outPath) {
    if (inText == nullptr) {
        outPath.Clear();
        return;
    }
    GetFilePathFromPosixPath(std::string_view(inText), inIsFolder, outPath);
}

void XPosixPath::GetFilePathFromPosixPath(std::string_view inText, bool inIsFolder, VFilePath& outPath) {
    if (PosixToNative(inText, inIsFolder, outPath.fPath)) {
        outPath._Validate();
        return;
    }
    VString posix;
    AppendText(inText, posix);
    if (inIsFolder && !posix.View().ends_with(u'/'))
        posix.AppendUniChar(u'/');
    outPath.FromFullPath(posix, FilePathStyle::Posix);
}

} // namespace vkit
