// VIntlMgr: dialect codes, RFC 3066 codes and English language names, through ICU's locale tables.
#include "text/VIntlMgr.h"

#include <unicode/udata.h>
#include <unicode/uloc.h>
#include <unicode/ures.h>

#include <algorithm>
#include <string>
#include <unordered_map>

namespace vkit {

namespace {

std::string LocaleOfDialect(DialectCode inDialect) {
    if (inDialect <= 0)
        return {};
    char locale[ULOC_FULLNAME_CAPACITY];
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = uloc_getLocaleForLCID(static_cast<uint32_t>(inDialect), locale, sizeof(locale), &status);
    if (U_FAILURE(status) || length <= 0 || length >= static_cast<int32_t>(sizeof(locale)))
        return {};
    return std::string(locale, static_cast<size_t>(length));
}

/// The ICU part (language, script or country) of a locale id.
template <class Getter>
std::string LocalePart(const char* inLocale, Getter inGetter) {
    char part[ULOC_FULLNAME_CAPACITY];
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = inGetter(inLocale, part, sizeof(part), &status);
    if (U_FAILURE(status) || length <= 0 || length >= static_cast<int32_t>(sizeof(part)))
        return {};
    return std::string(part, static_cast<size_t>(length));
}

DialectCode DialectOfLocale(const std::string& inLocale) {
    std::string language = LocalePart(inLocale.c_str(), uloc_getLanguage);
    std::string script = LocalePart(inLocale.c_str(), uloc_getScript);
    std::string country = LocalePart(inLocale.c_str(), uloc_getCountry);
    if (language.empty())
        return 0;
    if (country.empty()) {
        // A language alone stands for its most likely region: "fr" is French (France).
        char likely[ULOC_FULLNAME_CAPACITY];
        UErrorCode status = U_ZERO_ERROR;
        uloc_addLikelySubtags(inLocale.c_str(), likely, sizeof(likely), &status);
        if (U_SUCCESS(status)) {
            country = LocalePart(likely, uloc_getCountry);
            if (script.empty())
                script = LocalePart(likely, uloc_getScript);
        }
    }
    if (country.empty())
        return static_cast<DialectCode>(uloc_getLCID(language.c_str()));
    // ICU falls back to the language's neutral identifier (below 0x400, no region) for a locale it does
    // not know whole: the form with the script is kept only when it names a region.
    uint32_t lcid = script.empty() ? 0 : uloc_getLCID((language + "_" + script + "_" + country).c_str());
    if (lcid < 0x400)
        lcid = std::max(lcid, uloc_getLCID((language + "_" + country).c_str()));
    return static_cast<DialectCode>(lcid);
}

std::string LowerASCII(std::string inText) {
    std::transform(inText.begin(), inText.end(), inText.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return inText;
}

bool IsAlpha(char inChar) {
    return (inChar >= 'a' && inChar <= 'z') || (inChar >= 'A' && inChar <= 'Z');
}

bool IsAllOf(const std::string& inText, bool (*inTest)(char)) {
    return !inText.empty() && std::all_of(inText.begin(), inText.end(), inTest);
}

/// The English language names of ICU's display-name data (the "Languages" table of its English locale),
/// or null when the data cannot be opened. The table is read directly: asking uloc_getDisplayLanguage
/// for each of the 600 languages, which gives the same names, takes six times as long, and every
/// program that chooses a localization pays it at its start.
struct EnglishLanguageNames {
    EnglishLanguageNames() {
        UErrorCode status = U_ZERO_ERROR;
        fEnglish = ures_open(U_ICUDATA_NAME U_TREE_SEPARATOR_STRING "lang", "en", &status);
        fNames = U_SUCCESS(status) ? ures_getByKey(fEnglish, "Languages", nullptr, &status) : nullptr;
        if (U_FAILURE(status) && fNames != nullptr) {
            ures_close(fNames);
            fNames = nullptr;
        }
    }
    ~EnglishLanguageNames() {
        if (fNames != nullptr)
            ures_close(fNames);
        if (fEnglish != nullptr)
            ures_close(fEnglish);
    }
    EnglishLanguageNames(const EnglishLanguageNames&) = delete;
    EnglishLanguageNames& operator=(const EnglishLanguageNames&) = delete;

    UResourceBundle* fEnglish = nullptr;
    UResourceBundle* fNames = nullptr;
};

/// The lower-case English names of ICU's languages, each with its ISO 639 code.
const std::unordered_map<std::string, std::string>& LanguagesByEnglishName() {
    static const std::unordered_map<std::string, std::string> sNames = [] {
        std::unordered_map<std::string, std::string> names;
        EnglishLanguageNames english;
        if (english.fNames == nullptr)
            return names;
        for (const char* const* code = uloc_getISOLanguages(); *code != nullptr; ++code) {
            UErrorCode status = U_ZERO_ERROR;
            int32_t length = 0;
            const UChar* name = ures_getStringByKey(english.fNames, *code, &length, &status);
            // A language missing from the table has no English name.
            if (U_FAILURE(status) || length <= 0 || length >= 128)
                continue;
            std::string key = LowerASCII(VString(static_cast<const UniChar*>(name), length).ToUTF8());
            if (key != *code)
                names.emplace(std::move(key), *code);
        }
        return names;
    }();
    return sNames;
}

/// An RFC 3066 code split into its language and its region (empty when none); false when the text is
/// not such a code.
bool SplitRFC3066(const VString& inCode, std::string& outLanguage, std::string& outRegion) {
    std::string text = LowerASCII(inCode.ToUTF8());
    outLanguage.clear();
    outRegion.clear();
    size_t start = 0;
    for (size_t index = 0; start <= text.size(); ++index) {
        size_t end = text.find_first_of("-_", start);
        std::string part = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        bool alpha = IsAllOf(part, IsAlpha);
        bool digits = IsAllOf(part, [](char c) { return c >= '0' && c <= '9'; });
        if (index == 0) {
            if (!alpha || part.size() < 2 || part.size() > 8)
                return false;
            outLanguage = part;
        } else if (part.empty() || part.size() > 8 ||
                   !IsAllOf(part, [](char c) { return IsAlpha(c) || (c >= '0' && c <= '9'); })) {
            return false;
        } else if (outRegion.empty() && ((alpha && part.size() == 2) || (digits && part.size() == 3))) {
            outRegion = part;
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return true;
}

} // namespace

DialectCode VIntlMgr::GetDialectCodeFromRFC3066(const VString& inCode) {
    std::string language;
    std::string region;
    if (!SplitRFC3066(inCode, language, region) || language.size() > 3)
        return 0;
    std::string tag = inCode.ToUTF8();
    std::replace(tag.begin(), tag.end(), '_', '-');
    char locale[ULOC_FULLNAME_CAPACITY];
    int32_t parsed = 0;
    UErrorCode status = U_ZERO_ERROR;
    uloc_forLanguageTag(tag.c_str(), locale, sizeof(locale), &parsed, &status);
    if (U_FAILURE(status) || parsed != static_cast<int32_t>(tag.size()))
        return 0;
    return DialectOfLocale(locale);
}

DialectCode VIntlMgr::GetDialectCodeFromLanguageName(const VString& inName) {
    const auto& names = LanguagesByEnglishName();
    auto found = names.find(LowerASCII(inName.ToUTF8()));
    return found == names.end() ? 0 : DialectOfLocale(found->second);
}

bool VIntlMgr::GetLanguageAndRegionCodes(DialectCode inDialect, VString& outLanguage, VString& outRegion) {
    std::string locale = LocaleOfDialect(inDialect);
    std::string language = LocalePart(locale.c_str(), uloc_getLanguage);
    outLanguage = VString(language);
    outRegion = VString(LocalePart(locale.c_str(), uloc_getCountry));
    return !language.empty();
}

bool VIntlMgr::GetRFC3066CodeFromDialectCode(DialectCode inDialect, VString& outCode, UniChar inSeparator) {
    VString region;
    if (!GetLanguageAndRegionCodes(inDialect, outCode, region)) {
        outCode.Clear();
        return false;
    }
    if (!region.IsEmpty())
        outCode.AppendUniChar(inSeparator).AppendString(region);
    return true;
}

bool VIntlMgr::GetEnglishLanguageName(DialectCode inDialect, VString& outName) {
    outName.Clear();
    std::string locale = LocaleOfDialect(inDialect);
    if (locale.empty())
        return false;
    UChar name[128];
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = uloc_getDisplayLanguage(locale.c_str(), "en", name, 128, &status);
    if (U_FAILURE(status) || length <= 0 || length >= 128)
        return false;
    if (name[0] >= u'a' && name[0] <= u'z')
        name[0] = static_cast<UChar>(name[0] - u'a' + u'A');
    outName.FromUniChars(name, length);
    return true;
}

int32_t VIntlMgr::Compare2RFC3066LanguageCodes(const VString& inFirst, const VString& inSecond) {
    std::string firstLanguage, firstRegion, secondLanguage, secondRegion;
    if (!SplitRFC3066(inFirst, firstLanguage, firstRegion) ||
        !SplitRFC3066(inSecond, secondLanguage, secondRegion))
        return -1;
    if (firstLanguage != secondLanguage)
        return 0;
    if (firstRegion == secondRegion)
        return 4;
    if (secondRegion.empty())
        return 3;
    return firstRegion.empty() ? 2 : 1;
}

void VIntlMgr::GetLocalizationFolderNames(DialectCode inDialect, std::vector<VString>& outNames) {
    outNames.clear();
    VString code;
    VString language;
    VString region;
    if (!GetRFC3066CodeFromDialectCode(inDialect, code, u'-') ||
        !GetLanguageAndRegionCodes(inDialect, language, region))
        return;
    const VString kExtension(".lproj");
    auto add = [&outNames](VString&& inName) {
        if (std::find(outNames.begin(), outNames.end(), inName) == outNames.end())
            outNames.push_back(std::move(inName));
    };
    add(code + kExtension);
    VString underscored(code);
    underscored.ExchangeAll(VString("-"), VString("_"));
    add(underscored + kExtension);
    add(language + kExtension);
    if (!region.IsEmpty())
        add(language + VString("_") + region + kExtension);
    VString name;
    if (GetEnglishLanguageName(inDialect, name))
        add(name + kExtension);
}

} // namespace vkit
