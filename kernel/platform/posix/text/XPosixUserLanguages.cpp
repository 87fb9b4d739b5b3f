// XPosixUserLanguages: reading LANGUAGE, LC_ALL, LC_MESSAGES and LANG (platform side).
#include "platform/posix/text/XPosixUserLanguages.h"

#include <algorithm>
#include <cstdlib>

namespace vkit {

namespace {

void AddLocale(std::string inSetting, std::vector<std::string>& ioLanguages) {
    inSetting = inSetting.substr(0, inSetting.find_first_of(".@"));
    if (inSetting.empty() || inSetting == "C" || inSetting == "POSIX")
        return;
    if (std::find(ioLanguages.begin(), ioLanguages.end(), inSetting) == ioLanguages.end())
        ioLanguages.push_back(std::move(inSetting));
}

} // namespace

std::vector<std::string> XPosixUserLanguages::Get() {
    std::vector<std::string> languages;
    if (const char* list = std::getenv("LANGUAGE")) {
        std::string text(list);
        for (size_t start = 0; start <= text.size();) {
            size_t end = text.find(':', start);
            if (end == std::string::npos)
                end = text.size();
            AddLocale(text.substr(start, end - start), languages);
            start = end + 1;
        }
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* value = std::getenv(name))
            AddLocale(value, languages);
    return languages;
}

} // namespace vkit
