// Tests of the choice of the localization language: the user's languages against a bundle's
// localizations, and the search for a preferred dialect.
#include "LocalizationTestSupport.h"

#include "files/VFolder.h"
#include "localization/VComponentManager.h"
#include "support/StEnvironment.h"

using namespace vkit;
using namespace vkit::testing;

namespace {

struct LanguageCase {
    const char* label;
    const char* language; // LANGUAGE, null for unset
    const char* lang;     // LANG, null for unset
    std::vector<std::string> localizations;
    const char* developmentRegion; // null for none
    DialectCode preferred;
    DialectCode expected;
};

const LanguageCase kCases[] = {
    {"user dialect served by its language", "fr_CA", nullptr, {"en", "fr"}, nullptr, 0, 1036},
    {"exact dialect first", "fr_CA:en", nullptr, {"English", "fr", "fr-CA"}, nullptr, 0, 3084},
    {"second user language", "de:fr", nullptr, {"English", "French"}, nullptr, 0, 1036},
    {"LANG when LANGUAGE is unset", nullptr, "fr_FR.UTF-8", {"English", "French"}, nullptr, 0, 1036},
    {"no match: development region", "de", nullptr, {"en", "fr"}, "fr", 0, 1036},
    {"no match, no region: English", "de", nullptr, {"ja", "fr"}, nullptr, 0, 1033},
    {"no localization: searched as 1033", "fr", nullptr, {}, nullptr, 0, kDialectNone},
    {"preferred dialect found", "de", nullptr, {"en-US", "fr-CA"}, nullptr, 3084, 3084},
    {"preferred missing: English (US)", "de", nullptr, {"en_US", "fr"}, nullptr, 1031, 1033},
    {"preferred missing: the last one", "de", nullptr, {"fr", "ja"}, nullptr, 1031, 1041},
};

} // namespace

TEST(VComponentManagerTest, LocalizationLanguageTable) {
    for (const LanguageCase& row : kCases) {
        SCOPED_TRACE(row.label);
        StEnvironment language("LANGUAGE", row.language);
        StEnvironment all("LC_ALL", nullptr);
        StEnvironment messages("LC_MESSAGES", nullptr);
        StEnvironment lang("LANG", row.lang);
        VTestTempFolder bundle;
        bundle.MakeFolder("Contents/Resources/Images"); // not a localization
        for (const std::string& localization : row.localizations)
            bundle.MakeFolder("Contents/Resources/" + localization + ".lproj");
        if (row.developmentRegion != nullptr)
            bundle.WriteFile("Contents/Info.plist",
                             std::string("<plist><dict><key>CFBundleDevelopmentRegion</key><string>") +
                                 row.developmentRegion + "</string></dict></plist>");
        VFolder folder(FolderPath(bundle.Path()));
        EXPECT_EQ(VComponentManager::GetLocalizationLanguage(&folder, true, row.preferred), row.expected);
    }
    EXPECT_EQ(VComponentManager::GetLocalizationLanguage(nullptr, true, 0), kDialectNone);
}
