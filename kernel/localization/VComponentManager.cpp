// VComponentManager: the user's languages matched against a bundle's ".lproj" localizations.
#include "localization/VComponentManager.h"

#include "errors/StErrorContextInstaller.h"
#include "files/VFolder.h"
#include "files/VFolderIterator.h"
#include "platform/posix/text/XPosixUserLanguages.h"
#include "runtime/VBundle.h"
#include "runtime/VProcess.h"

#include <algorithm>
#include <vector>

namespace vkit {

namespace {

/// The names of the ".lproj" sub-folders of a folder without the extension, in name order.
std::vector<VString> Localizations(const VFolder& inResources) {
    static const VString kExtension(".lproj");
    std::vector<VString> names;
    for (VFolderIterator it(&inResources); it.IsValid(); ++it) {
        VString name;
        it->GetPath().GetName(name);
        if (VIndex position = name.FindRawString(kExtension); position > 0) {
            name.Truncate(position - 1);
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end(),
              [](const VString& inA, const VString& inB) { return inA.View() < inB.View(); });
    return names;
}

DialectCode DialectFromName(const VString& inName, bool inCodeFirst) {
    DialectCode code = inCodeFirst ? VIntlMgr::GetDialectCodeFromRFC3066(inName)
                                   : VIntlMgr::GetDialectCodeFromLanguageName(inName);
    if (code == 0)
        code = inCodeFirst ? VIntlMgr::GetDialectCodeFromLanguageName(inName)
                           : VIntlMgr::GetDialectCodeFromRFC3066(inName);
    return code;
}

/// A localization name as an RFC 3066 code: an English language name gives its language alone.
VString AsCode(const VString& inLocalization) {
    VString language;
    VString region;
    DialectCode named = VIntlMgr::GetDialectCodeFromLanguageName(inLocalization);
    if (named != 0 && VIntlMgr::GetLanguageAndRegionCodes(named, language, region))
        return language;
    return inLocalization;
}

/// The localization that serves the user's languages best, or an empty text.
VString PreferredLocalization(const std::vector<VString>& inLocalizations) {
    std::vector<VString> codes;
    for (const VString& localization : inLocalizations)
        codes.push_back(AsCode(localization));
    // Compare2RFC3066LanguageCodes ranks a match: 4 same region, 3 the localization has none, 2 only
    // the localization has one, 1 another region.
    for (const std::string& wanted : XPosixUserLanguages::Get()) {
        int32_t best = 0;
        const VString* chosen = nullptr;
        for (size_t i = 0; i < codes.size(); ++i) {
            int32_t match = VIntlMgr::Compare2RFC3066LanguageCodes(VString(wanted), codes[i]);
            if (match > best) {
                best = match;
                chosen = &inLocalizations[i];
            }
        }
        if (chosen != nullptr)
            return *chosen;
    }
    return VString();
}

VString DevelopmentRegion(const VFolder& inFolder, bool inIsBundle) {
    VString region;
    StErrorContextInstaller silent(false, true);
    if (inIsBundle) {
        VBundle bundle;
        if (bundle.Open(inFolder.GetPath()))
            bundle.GetInfoString(VString(VBundle::kDevelopmentRegionKey), region);
    } else if (VProcess* process = VProcess::Get()) {
        process->GetMainBundle().GetInfoString(VString(VBundle::kDevelopmentRegionKey), region);
    }
    return region;
}

} // namespace

DialectCode VComponentManager::GetLocalizationLanguage(const VFolder* inFolder, bool inIsBundle,
                                                       DialectCode inPreferredDialect) {
    if (inFolder == nullptr || !inFolder->Exists())
        return kDialectNone;
    VFilePath resourcesPath(inFolder->GetPath());
    if (inIsBundle)
        resourcesPath.ToSubFolder(VString("Contents")).ToSubFolder(VString("Resources"));
    std::vector<VString> localizations = Localizations(VFolder(resourcesPath));
    if (inPreferredDialect == 0) {
        if (!localizations.empty()) {
            VString chosen = PreferredLocalization(localizations);
            if (chosen.IsEmpty())
                chosen = DevelopmentRegion(*inFolder, inIsBundle);
            DialectCode code = DialectFromName(chosen, false);
            return code != 0 ? code : kDialectEnglishUS;
        }
        inPreferredDialect = kDialectEnglishUS;
    }
    DialectCode last = 0;
    bool sawEnglishUS = false;
    for (const VString& localization : localizations) {
        DialectCode code = DialectFromName(localization, true);
        if (code == 0)
            continue;
        if (code == inPreferredDialect)
            return code;
        last = code;
        sawEnglishUS = sawEnglishUS || code == kDialectEnglishUS;
    }
    return sawEnglishUS ? kDialectEnglishUS : (last != 0 ? last : kDialectNone);
}

} // namespace vkit
