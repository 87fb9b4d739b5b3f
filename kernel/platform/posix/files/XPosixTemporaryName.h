// XPosixTemporaryName: the names of hidden temporary siblings: ".<name><infix>" and random letters.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <string>
#include <string_view>
#include <sys/random.h>

namespace vkit {

/// The number of random letters that end a temporary's name.
constexpr size_t kTemporarySuffixLength = 6;

/// "." + inName + inInfix, inName cut (on a UTF-8 character boundary) so that the temporary's name, with
/// its random letters, stays within the file systems' limit of 255 bytes.
inline std::string TemporaryPrefix(std::string_view inName, std::string_view inInfix) {
    constexpr size_t kMaxNameLength = 255;
    size_t room = kMaxNameLength - 1 - inInfix.size() - kTemporarySuffixLength;
    size_t length = std::min(inName.size(), room);
    while (length > 0 && length < inName.size() &&
           (static_cast<unsigned char>(inName[length]) & 0xC0) == 0x80)
        --length;
    std::string prefix(".");
    prefix.append(inName.substr(0, length)).append(inInfix);
    return prefix;
}

/// inPrefix followed by kTemporarySuffixLength random letters and digits in outName. False, with errno
/// set, when the system gives no random bytes.
inline bool MakeTemporaryName(const std::string& inPrefix, std::string& outName) {
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char random[kTemporarySuffixLength];
    if (::getrandom(random, sizeof(random), 0) != static_cast<ssize_t>(sizeof(random)))
        return false;
    outName = inPrefix;
    for (unsigned char byte : random)
        outName.push_back(kLetters[byte % (sizeof(kLetters) - 1)]);
    return true;
}

} // namespace vkit
