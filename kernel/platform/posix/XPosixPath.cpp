// XPosixPath: one-pass conversions between native paths and Linux POSIX text, no disk access.
#include "platform/posix/XPosixPath.h"

#include "files/VFilePath.h"

#include <algorithm>

namespace vkit {

namespace {

constexpr char16_t kReplacementChar = 0xFFFD;

constexpr char16_t Exchanged(char16_t inUnit) {
    return inUnit == u':' ? u'/' : (inUnit == u'/' ? u':' : inUnit);
}

/// Exchanges ":" and "/" in code units [inFrom, end) of ioText.
void ExchangeSeparators(VString& ioText, VIndex inFrom) {
    UniChar* text = ioText.GetCPointerForWrite();
    for (VIndex i = inFrom; i < ioText.GetLength(); ++i)
        text[i] = Exchanged(text[i]);
}

/// Appends UTF-16 text to ioText as UTF-8, exchanging ":" and "/" when inExchange. As VString::ToUTF8,
/// an unpaired surrogate becomes U+FFFD. ":" and "/" never occur inside a multi-byte sequence.
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

void AppendComponent(std::u16string_view inName, VString& ioText) {
    ioText.AppendUniChars(inName.data(), static_cast<VIndex>(inName.size()));
}

void AppendComponent(std::string_view inName, VString& ioText) {
    ioText.AppendUTF8(inName.data(), inName.size());
}

/// Removes the last component (and the ":" after it, if any) down to the root's "Root:".
void RemoveLastComponent(VString& ioText, VIndex inRootLength) {
    std::u16string_view text = ioText.View();
    if (static_cast<VIndex>(text.size()) <= inRootLength)
        return;
    size_t colon = text.rfind(u':', text.size() - 2);
    ioText.Truncate(static_cast<VIndex>(colon) + 1);
}

template <typename Char>
bool ConvertPosixFullPath(std::basic_string_view<Char> inPosix, bool inIsFolder, VString& outNative) {
    outNative.Clear();
    if (inPosix.empty() || inPosix[0] != Char('/'))
        return false;
    // UTF-8 never gives more code units than bytes: the leading "/" becomes "Root:", one more for a ":".
    outNative.EnsureSize(static_cast<VIndex>(inPosix.size() + XPosixPath::kRootVolumeName.size() + 1));
    AppendComponent(XPosixPath::kRootVolumeName, outNative);
    outNative.AppendUniChar(u':');
    const VIndex rootLength = outNative.GetLength();
    size_t position = 1;
    while (position < inPosix.size()) {
        size_t slash = inPosix.find(Char('/'), position);
        size_t end = std::min(slash, inPosix.size());
        std::basic_string_view<Char> name = inPosix.substr(position, end - position);
        bool isDot = name.size() == 1 && name[0] == Char('.');
        bool isDotDot = name.size() == 2 && name[0] == Char('.') && name[1] == Char('.');
        if (isDotDot) {
            RemoveLastComponent(outNative, rootLength);
        } else if (!name.empty() && !isDot) {
            if (outNative.View().back() != u':')
                outNative.AppendUniChar(u':');
            VIndex nameStart = outNative.GetLength();
            AppendComponent(name, outNative);
            ExchangeSeparators(outNative, nameStart);
        }
        if (slash == std::basic_string_view<Char>::npos)
            break;
        position = slash + 1;
    }
    if ((inIsFolder || inPosix.back() == Char('/')) && outNative.View().back() != u':')
        outNative.AppendUniChar(u':');
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
    outPosix.EnsureSize(static_cast<VIndex>(inNative.size() + 2));
    outPosix.AppendUniChar(u'/');
    if (volume != kRootVolumeName) {
        AppendComponent(volume, outPosix);
        if (outPosix.View().back() != u'/')
            outPosix.AppendUniChar(u'/');
    }
    VIndex restStart = outPosix.GetLength();
    AppendComponent(rest, outPosix);
    ExchangeSeparators(outPosix, restStart);
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
    inPosix.ToUTF8(outPosix);
}

void XPosixPath::GetFilePathFromPosixPath(const char* inText, bool inIsFolder, VFilePath& outPath) {
    if (inText == nullptr) {
        outPath.Clear();
        return;
    }
    GetFilePathFromPosixPath(std::string_view(inText), inIsFolder, outPath);
}

void XPosixPath::GetFilePathFromPosixPath(std::string_view inText, bool inIsFolder, VFilePath& outPath) {
    VString native;
    if (PosixToNative(inText, inIsFolder, native)) {
        outPath.FromNativeText(std::move(native));
        return;
    }
    VString posix(inText);
    if (inIsFolder && !posix.View().ends_with(u'/'))
        posix.AppendUniChar(u'/');
    outPath.FromFullPath(posix, FilePathStyle::Posix);
}

} // namespace vkit
