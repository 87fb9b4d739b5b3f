// XPosixUserLanguages: the user's preferred languages from the locale environment, the one place that
// reads them (the international settings and the choice of a localization both ask it).
#pragma once

#include <string>
#include <vector>

namespace vkit {

/// The languages the user asked for, most wanted first: the entries of LANGUAGE (separated by ":"),
/// then the locales of LC_ALL, LC_MESSAGES and LANG, each without its character set and modifier
/// ("fr_CA.UTF-8@euro" gives "fr_CA"), the "C" and "POSIX" locales, empty settings and repetitions
/// left out. Empty when none is set.
class XPosixUserLanguages {
public:
    XPosixUserLanguages() = delete;
    static std::vector<std::string> Get();
};

} // namespace vkit
