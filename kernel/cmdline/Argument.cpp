// Argument: value converters for booleans, integers, texts, text lists and file paths.
#include "cmdline/Argument.h"

#include "errors/StErrorContextInstaller.h"
#include "files/VFile.h"
#include "files/VFilePath.h"
#include "files/VFolder.h"
#include "platform/posix/cmdline/XPosixRealPath.h"
#include "json/VJSONImporter.h"
#include "json/VJSONValue.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <initializer_list>
#include <string>

namespace vkit::Extension::CommandLineParser {

namespace {

/// Longest integer text accepted once trimmed.
constexpr VIndex kMaxIntegerTextLength = 30;

bool IsCSpace(UniChar inChar) {
    return inChar < 0x80 && std::isspace(static_cast<unsigned char>(inChar)) != 0;
}

/// Copies the trimmed text into outText when it holds 1 to 30 digits and signs.
bool GetIntegerText(const VString& inText, char (&outText)[kMaxIntegerTextLength + 1]) {
    VIndex begin = 0;
    VIndex end = inText.GetLength();
    while (begin < end && IsCSpace(inText[begin]))
        ++begin;
    while (end > begin && IsCSpace(inText[end - 1]))
        --end;
    if (end == begin || end - begin > kMaxIntegerTextLength)
        return false;
    char* out = outText;
    for (VIndex i = begin; i < end; ++i) {
        UniChar c = inText[i];
        if (!((c >= u'0' && c <= u'9') || c == u'+' || c == u'-'))
            return false;
        *out++ = static_cast<char>(c);
    }
    *out = 0;
    return true;
}

/// Reads the text with one of the C conversions (automatic base); false on a partial read or overflow.
template <class Result, class Conversion>
bool ReadInteger(const VString& inText, Conversion inConvert, Result& outResult) {
    char text[kMaxIntegerTextLength + 1];
    if (!GetIntegerText(inText, text))
        return false;
    char* end = nullptr;
    errno = 0;
    Result result = inConvert(text, &end, 0);
    if (end == text || *end != 0 || errno == ERANGE)
        return false;
    outResult = result;
    return true;
}

template <class Target, class Result, class Conversion>
bool AppendInteger(const VString& inText, Conversion inConvert, Target& outValue) {
    Result result;
    if (!ReadInteger<Result>(inText, inConvert, result))
        return false;
    outValue = static_cast<Target>(result);
    return true;
}

/// The text resolved against the disk into outPath; false when it cannot be resolved (the path is then
/// the text taken as a POSIX full path).
bool ResolvePath(const VString& inText, VFilePath& outPath) {
    std::string resolved;
    if (XPosixRealPath::Resolve(inText.ToUTF8(), resolved)) {
        outPath.FromFullPath(VString(std::string_view(resolved)), FilePathStyle::Posix);
        return true;
    }
    outPath.FromFullPath(inText, FilePathStyle::Posix);
    return false;
}

/// True for "1" and the words given (compared as for bool), false for "0" and the other words.
bool ReadBooleanWord(const VString& inText, std::initializer_list<const char*> inTrueWords,
                     std::initializer_list<const char*> inFalseWords, bool& outValue) {
    if (inText == "1") {
        outValue = true;
        return true;
    }
    if (inText == "0") {
        outValue = false;
        return true;
    }
    for (const char* word : inTrueWords) {
        if (inText.EqualToString(VString(word), false)) {
            outValue = true;
            return true;
        }
    }
    for (const char* word : inFalseWords) {
        if (inText.EqualToString(VString(word), false)) {
            outValue = false;
            return true;
        }
    }
    return false;
}

} // namespace

bool Argument::Append(VCommandLineParser&, bool& outValue, const VString& inText) {
    return ReadBooleanWord(inText, {"true"}, {"false"}, outValue);
}

bool Argument::Append(VCommandLineParser&, int& outValue, const VString& inText) {
    return AppendInteger<int, long>(inText, std::strtol, outValue);
}

bool Argument::Append(VCommandLineParser&, unsigned int& outValue, const VString& inText) {
    return AppendInteger<unsigned int, unsigned long>(inText, std::strtoul, outValue);
}

bool Argument::Append(VCommandLineParser&, long long& outValue, const VString& inText) {
    return AppendInteger<long long, long long>(inText, std::strtoll, outValue);
}

bool Argument::Append(VCommandLineParser&, unsigned long long& outValue, const VString& inText) {
    return AppendInteger<unsigned long long, unsigned long long>(inText, std::strtoull, outValue);
}

bool Argument::Append(VCommandLineParser&, VString& outValue, const VString& inText) {
    outValue = inText;
    return true;
}

bool Argument::Append(VCommandLineParser&, std::vector<VString>& ioValues, const VString& inText) {
    ioValues.push_back(inText);
    return true;
}

bool Argument::Append(VFilePath& outPath, const VString& inText) {
    if (inText.IsEmpty())
        outPath.Clear();
    else
        ResolvePath(inText, outPath);
    return true;
}

bool Argument::Append(VFile*& ioFile, const VString& inText) {
    ReleaseRefCountable(&ioFile);
    VFilePath path;
    if (inText.IsEmpty() || !ResolvePath(inText, path) || !path.IsFile())
        return false;
    ioFile = new VFile(path);
    return true;
}

bool Argument::Append(VCommandLineParser&, VFolder*& ioFolder, const VString& inText) {
    ReleaseRefCountable(&ioFolder);
    VFilePath path;
    if (inText.IsEmpty() || !ResolvePath(inText, path) || !path.IsFolder())
        return false;
    ioFolder = new VFolder(path);
    return true;
}

bool Argument::Append(VCommandLineParser&, VJSONValue& ioValue, const VString& inText) {
    switch (ioValue.GetType()) {
    case eJSONString:
        ioValue.SetString(inText);
        return true;
    case eJSONObject:
    case eJSONUndefined: {
        VJSONValue parsed;
        StErrorContextInstaller dropErrors(false);
        if (VJSONImporter::ParseString(inText, parsed) != VE_OK)
            return false;
        ioValue = std::move(parsed);
        return true;
    }
    case eJSONFalse:
    case eJSONTrue: {
        bool value;
        if (!ReadBooleanWord(inText, {"true", "on"}, {"false", "off"}, value))
            return false;
        ioValue.SetBool(value);
        return true;
    }
    default:
        return false;
    }
}

} // namespace vkit::Extension::CommandLineParser
