// VBundleManifest's text form: the writer and the strict parser of manifest version 1.
#include "signing/VBundleManifest.h"

#include "signing/VContentDigest.h"

#include <unordered_set>

namespace vkit {

namespace {

constexpr std::string_view kVersionLine = "zq-manifest 1";
constexpr std::string_view kDigestLine = "digest blake2b-256";
constexpr std::string_view kRootPrefix = "root ";
constexpr char kHexDigits[] = "0123456789abcdef";
constexpr char kUpperHexDigits[] = "0123456789ABCDEF";
constexpr size_t kMaxSizeDigits = 13; // 2^40 has 13 digits

bool IsPlain(unsigned char inByte) {
    return inByte >= 0x21 && inByte <= 0x7E && inByte != '%';
}

int UpperHexValue(char inDigit) {
    if (inDigit >= '0' && inDigit <= '9')
        return inDigit - '0';
    return inDigit >= 'A' && inDigit <= 'F' ? inDigit - 'A' + 10 : -1;
}

/// The bytes of an escaped field; false unless every escape is needed and in upper case.
bool Unescape(std::string_view inText, std::string& outBytes) {
    outBytes.clear();
    for (size_t i = 0; i < inText.size(); ++i) {
        auto byte = static_cast<unsigned char>(inText[i]);
        if (byte != '%') {
            if (!IsPlain(byte))
                return false;
            outBytes.push_back(static_cast<char>(byte));
            continue;
        }
        int high = i + 2 < inText.size() ? UpperHexValue(inText[i + 1]) : -1;
        int low = high >= 0 ? UpperHexValue(inText[i + 2]) : -1;
        if (low < 0 || IsPlain(static_cast<unsigned char>(high * 16 + low)))
            return false;
        outBytes.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return true;
}

bool ParseMode(std::string_view inText, uint32_t& outMode) {
    if (inText.size() != 4)
        return false;
    outMode = 0;
    for (char digit : inText) {
        if (digit < '0' || digit > '7')
            return false;
        outMode = outMode * 8 + static_cast<uint32_t>(digit - '0');
    }
    return true;
}

bool ParseSize(std::string_view inText, uint64_t& outSize) {
    if (inText.empty() || inText.size() > kMaxSizeDigits || (inText[0] == '0' && inText.size() > 1))
        return false;
    outSize = 0;
    for (char digit : inText) {
        if (digit < '0' || digit > '9')
            return false;
        outSize = outSize * 10 + static_cast<uint64_t>(digit - '0');
    }
    return outSize <= VBundleManifest::kMaxFileSize;
}

bool ParseDigest(std::string_view inText, std::string& outDigest) {
    if (inText.size() != 2 * VContentDigest::kSize)
        return false;
    outDigest.assign(VContentDigest::kSize, '\0');
    for (size_t i = 0; i < inText.size(); ++i) {
        char digit = inText[i];
        int value = digit >= '0' && digit <= '9'   ? digit - '0'
                    : digit >= 'a' && digit <= 'f' ? digit - 'a' + 10
                                                   : -1;
        if (value < 0)
            return false;
        outDigest[i / 2] = static_cast<char>(outDigest[i / 2] * 16 + value);
    }
    return true;
}

/// The fields of a line, split at single spaces; false for an empty field (two spaces, a space at an end).
bool SplitFields(std::string_view inLine, std::vector<std::string_view>& outFields) {
    outFields.clear();
    for (size_t start = 0;;) {
        size_t space = inLine.find(' ', start);
        std::string_view field =
            inLine.substr(start, space == std::string_view::npos ? space : space - start);
        if (field.empty() || outFields.size() == 5)
            return false;
        outFields.push_back(field);
        if (space == std::string_view::npos)
            return true;
        start = space + 1;
    }
}

/// Why a relative path cannot be listed, or null: names must be non-empty, not "." or "..", within the
/// limits.
const char* PathProblem(std::string_view inPath) {
    if (inPath.empty())
        return "an empty path";
    if (inPath.size() > VBundleManifest::kMaxPathSize)
        return "a path longer than 4096 bytes";
    if (inPath.front() == '/')
        return "an absolute path";
    if (inPath.find('\0') != std::string_view::npos)
        return "a path holding a null byte";
    for (size_t start = 0; start <= inPath.size();) {
        size_t slash = inPath.find('/', start);
        std::string_view name = inPath.substr(start, slash == std::string_view::npos ? slash : slash - start);
        if (name.empty())
            return "a path with an empty name";
        if (name == "." || name == "..")
            return "a path with a \".\" or \"..\" name";
        if (name.size() > VBundleManifest::kMaxNameSize)
            return "a name longer than 255 bytes";
        if (slash == std::string_view::npos)
            break;
        start = slash + 1;
    }
    return nullptr;
}

} // namespace

std::string VBundleManifest::ModeText(uint32_t inMode) {
    std::string text(4, '0');
    for (int i = 3; i >= 0; --i, inMode >>= 3)
        text[static_cast<size_t>(i)] = static_cast<char>('0' + (inMode & 7));
    return text;
}

std::string VBundleManifest::HexText(std::string_view inBytes) {
    std::string text;
    text.reserve(2 * inBytes.size());
    for (char byte : inBytes) {
        text.push_back(kHexDigits[static_cast<unsigned char>(byte) >> 4]);
        text.push_back(kHexDigits[static_cast<unsigned char>(byte) & 15]);
    }
    return text;
}

std::string VBundleManifest::Escape(std::string_view inBytes) {
    std::string text;
    text.reserve(inBytes.size());
    for (char byte : inBytes) {
        auto value = static_cast<unsigned char>(byte);
        if (IsPlain(value)) {
            text.push_back(byte);
        } else {
            text.push_back('%');
            text.push_back(kUpperHexDigits[value >> 4]);
            text.push_back(kUpperHexDigits[value & 15]);
        }
    }
    return text;
}

bool VBundleManifest::IsSignatureFile(std::string_view inPath) noexcept {
    return inPath == kManifestPath || inPath == kSignaturePath;
}

std::string VBundleManifest::Write() const {
    std::string text;
    text.reserve(64 + fEntries.size() * 120);
    text.append(kVersionLine).append("\n").append(kDigestLine).append("\n");
    text.append(kRootPrefix).append(ModeText(fRootMode)).append("\n");
    for (const VManifestEntry& entry : fEntries) {
        text.push_back(static_cast<char>(entry.fKind));
        text.append(" ").append(ModeText(entry.fMode)).append(" ");
        if (entry.fKind == EManifestKind::kFile) {
            text.append(std::to_string(entry.fSize)).append(" ").append(HexText(entry.fDigest)).append(" ");
        }
        text.append(Escape(entry.fPath));
        if (entry.fKind == EManifestKind::kLink)
            text.append(" ").append(Escape(entry.fTarget));
        text.append("\n");
    }
    return text;
}

const VManifestEntry* VBundleManifest::FindUnwritable(std::string& outReason) const {
    if (fEntries.size() > kMaxEntries) {
        outReason = "more than 1000000 items";
        return &fEntries[kMaxEntries];
    }
    for (const VManifestEntry& entry : fEntries) {
        const char* problem = PathProblem(entry.fPath);
        if (problem == nullptr && entry.fKind == EManifestKind::kOther)
            problem = "neither a file, a folder nor a link (a FIFO, a socket or a device)";
        if (problem == nullptr && entry.fSize > kMaxFileSize)
            problem = "a file larger than 1 TiB";
        if (problem == nullptr && entry.fKind == EManifestKind::kLink &&
            (entry.fTarget.empty() || entry.fTarget.size() > kMaxPathSize))
            problem = "a link target longer than 4096 bytes";
        if (problem != nullptr) {
            outReason = problem;
            return &entry;
        }
    }
    return nullptr;
}

bool VBundleManifest::Parse(std::string_view inText, ParseFailure& outFailure) {
    fEntries.clear();
    fRootMode = 0;
    outFailure = ParseFailure();
    if (inText.size() > kMaxTextSize) {
        outFailure.fReason = "the text is larger than 64 MiB";
        return false;
    }
    std::unordered_set<std::string> folders;
    size_t line = 0;
    for (size_t start = 0; start < inText.size() && outFailure.fReason.empty();) {
        ++line;
        size_t end = inText.find('\n', start);
        if (end == std::string_view::npos) {
            outFailure.fReason = "the last line has no line feed";
            break;
        }
        std::string_view text = inText.substr(start, end - start);
        start = end + 1;
        if (line == 1 && text != kVersionLine)
            outFailure.fReason = text.substr(0, 12) == "zq-manifest "
                                     ? "a manifest version other than 1"
                                     : "not a manifest (no \"zq-manifest 1\")";
        else if (line == 2 && text != kDigestLine)
            outFailure.fReason = "a digest other than blake2b-256";
        else if (line == 3 && (text.substr(0, kRootPrefix.size()) != kRootPrefix ||
                               !ParseMode(text.substr(kRootPrefix.size()), fRootMode)))
            outFailure.fReason = "no \"root <mode>\" line";
        else if (line > 3 && _ParseEntry(text, outFailure.fReason) &&
                 _CheckPath(fEntries.back(), outFailure.fReason) &&
                 fEntries.back().fKind == EManifestKind::kFolder)
            folders.insert(fEntries.back().fPath);
        if (outFailure.fReason.empty() && line > 3 && fEntries.back().fPath.find('/') != std::string::npos &&
            folders.count(fEntries.back().fPath.substr(0, fEntries.back().fPath.rfind('/'))) == 0)
            outFailure.fReason = "an item whose folder is not listed before it";
    }
    if (outFailure.fReason.empty() && line < 3)
        outFailure.fReason = "the text ends before its \"root\" line";
    if (outFailure.fReason.empty())
        return true;
    outFailure.fLine = line;
    fEntries.clear();
    fRootMode = 0;
    return false;
}

bool VBundleManifest::_ParseEntry(std::string_view inLine, std::string& outReason) {
    std::vector<std::string_view> fields;
    VManifestEntry entry;
    bool split = SplitFields(inLine, fields) && fields[0].size() == 1;
    entry.fKind = split ? static_cast<EManifestKind>(fields[0][0]) : EManifestKind::kOther;
    size_t expected = entry.fKind == EManifestKind::kFile     ? 5
                      : entry.fKind == EManifestKind::kLink   ? 4
                      : entry.fKind == EManifestKind::kFolder ? 3
                                                              : 0;
    if (!split || fields.size() != expected || !ParseMode(fields[1], entry.fMode)) {
        outReason = "an entry that is not \"d <mode> <path>\", \"f <mode> <size> <digest> <path>\" or "
                    "\"l <mode> <path> <target>\"";
        return false;
    }
    bool file = entry.fKind == EManifestKind::kFile;
    if (file && !ParseSize(fields[2], entry.fSize))
        outReason = "a size that is not a decimal number of at most 1 TiB without leading zeros";
    else if (file && !ParseDigest(fields[3], entry.fDigest))
        outReason = "a digest that is not 64 lowercase hexadecimal digits";
    else if (!Unescape(fields[file ? 4 : 2], entry.fPath))
        outReason = "a path with a byte that should be escaped or an escape that should not be";
    else if (entry.fKind == EManifestKind::kLink &&
             (!Unescape(fields[3], entry.fTarget) || entry.fTarget.size() > kMaxPathSize ||
              entry.fTarget.find('\0') != std::string::npos))
        outReason = "a link target with a wrong escape, a null byte or more than 4096 bytes";
    else if (fEntries.size() == kMaxEntries)
        outReason = "more than 1000000 entries";
    if (!outReason.empty())
        return false;
    fEntries.push_back(std::move(entry));
    return true;
}

bool VBundleManifest::_CheckPath(const VManifestEntry& inEntry, std::string& outReason) const {
    if (const char* problem = PathProblem(inEntry.fPath))
        outReason = problem;
    else if (IsSignatureFile(inEntry.fPath))
        outReason = "the path of a signature file";
    else if (fEntries.size() > 1 && !(fEntries[fEntries.size() - 2].fPath < inEntry.fPath))
        outReason = "an entry out of order or listed twice";
    return outReason.empty();
}

} // namespace vkit
