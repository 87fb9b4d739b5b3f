// Tests of VIntlMgr: the international comparisons of VString, number settings, the current manager of
// a task, and the language codes and names.
#include "text/VIntlMgr.h"
#include "support/StTextSettings.h"
#include "text/VString.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using namespace vkit;
using vkit::testing::StEnvironment;
using vkit::testing::StIntlMgr;

TEST(VIntlMgrTest, Comparisons) {
    enum Operation { kEqual, kCompare, kFind, kBegins, kEnds };
    struct Row {
        Operation operation;
        const char* text;
        const char* other;
        bool diacritical;
        int expected; // the comparison's sign, the position found, or 1 for true
    };
    // Without diacritical, accents and case are ignored; canonically equivalent texts are equal.
    const Row kRows[] = {
        {kEqual, "\xC3\x89t\xC3\xA9", "ete", false, 1},
        {kEqual, "\xC3\x89t\xC3\xA9", "ete", true, 0},
        {kEqual, "\xC3\xA9", "e\xCC\x81", true, 1},
        {kCompare, "a", "B", false, -1},
        {kFind, "Le Caf\xC3\xA9 du coin", "cafe", false, 4},
        {kFind, "Le Caf\xC3\xA9 du coin", "cafe", true, 0},
        {kFind, "Le Caf\xC3\xA9 du coin", "", false, 0},
        {kBegins, "\xC3\x89t\xC3\xA9 x", "ete", false, 1},
        {kBegins, "\xC3\x89t\xC3\xA9 x", "ete", true, 0},
        {kBegins, "abc", "", true, 1},
        {kBegins, "e\xCC\x81t\xC3\xA9", "e", true, 0}, // an accent after the same code units counts
        {kBegins, "e\xCC\x81t\xC3\xA9", "\xC3\xA9", true, 1},
        {kEnds, "fichier.TXT", ".txt", false, 1},
        {kEnds, "fichier.TXT", ".txt", true, 0},
        {kEnds, "aaa", "AA", false, 1}, // overlapping matches
        {kEnds, "", "x", false, 0},
        {kEnds, "cafe\xCC\x81", "cafe", true, 0},
        {kEnds, "caf\xC3\xA9", "e\xCC\x81", true, 1},
    };
    StIntlMgr english("en_US");
    for (const Row& row : kRows) {
        SCOPED_TRACE(::testing::Message() << row.operation << " " << row.text << " " << row.other);
        VString text(row.text), other(row.other);
        int result = row.operation == kEqual     ? text.EqualToString(other, row.diacritical)
                     : row.operation == kCompare ? text.CompareToString(other, row.diacritical)
                     : row.operation == kFind    ? text.Find(other, 1, row.diacritical)
                     : row.operation == kBegins  ? text.BeginsWith(other, row.diacritical)
                                                 : text.EndsWith(other, row.diacritical);
        EXPECT_EQ(result, row.expected);
    }
    VString text("Le Caf\xC3\xA9 du coin");
    EXPECT_EQ(text.Find(VString("cafe"), 5) + text.Find(VString("coin"), 100) + text.Find(VString("coin"), 0),
              0);
    VIndex length = 0;
    EXPECT_EQ(english.Get()->FindString(text, VString("CAFE"), 1, false, &length) * 10 + length, 44);
}

TEST(VIntlMgrTest, SettingsOfTheLanguageAndOfTheTask) {
    StIntlMgr german("de_DE");
    EXPECT_TRUE(VIntlMgr::GetDefaultMgr()->GetDecimalSeparator() == u',' &&
                german.Get()->GetLocaleName() == "de_DE");
    // The locale's separator, read on first use, never replaces one set before.
    VRefPtr<VIntlMgr> french = AdoptRef(VIntlMgr::Create(VString("fr_FR")));
    french->SetDecimalSeparator(u'.');
    EXPECT_TRUE(french->GetDecimalSeparator() == u'.');
    VIntlMgr* seenByOther = nullptr;
    std::thread([&seenByOther] { seenByOther = VIntlMgr::GetDefaultMgr(); }).join();
    EXPECT_TRUE(seenByOther != nullptr && seenByOther != german.Get());
    // The user's language: LANGUAGE, LC_ALL, LC_MESSAGES, LANG, the first that names one, as the
    // localizations are chosen.
    const char* const kSettings[][5] = {
        {"de_CH.UTF-8@euro:fr", nullptr, nullptr, nullptr, "de_CH"},
        {"C:fr", nullptr, nullptr, "de_DE", "fr"},
        {nullptr, "C", nullptr, "fr_FR.UTF-8", "fr_FR"},
        {"", nullptr, "de_DE", "fr_FR.UTF-8", "de_DE"},
        {"C", "C", nullptr, nullptr, "en_US"},
    };
    for (const auto& row : kSettings) {
        SCOPED_TRACE(row[4]);
        StEnvironment language("LANGUAGE", row[0]);
        StEnvironment all("LC_ALL", row[1]);
        StEnvironment messages("LC_MESSAGES", row[2]);
        StEnvironment lang("LANG", row[3]);
        EXPECT_EQ(VIntlMgr::UserLocaleName(), row[4]);
    }
}

TEST(VIntlMgrTest, LanguageCodesAndNames) {
    struct Row {
        const char* text;
        DialectCode fromCode;
        DialectCode fromName;
    };
    const Row kRows[] = {
        {"fr-CA", 3084, 0},   {"fr_FR", 1036, 0},  {"fr", 1036, 0},   {"zh-TW", 1028, 0},
        {"English", 0, 1033}, {"french", 0, 1036}, {"", 0, 0},        {"fr-", 0, 0},
        {"x1", 0, 0},         {"en US", 0, 0},     {"abcd-FR", 0, 0}, {"sr-Latn-RS", 9242, 0},
    };
    for (const Row& row : kRows) {
        EXPECT_EQ(VIntlMgr::GetDialectCodeFromRFC3066(VString(row.text)), row.fromCode) << row.text;
        EXPECT_EQ(VIntlMgr::GetDialectCodeFromLanguageName(VString(row.text)), row.fromName) << row.text;
    }
    // 4 for the same language and region, 3 when the second has no region, 2 when the first has none,
    // 1 for other regions, 0 for other languages, -1 when either is not a code.
    for (auto [first, second, expected] : {std::tuple{"fr-FR", "FR_fr", 4},
                                           {"fr-FR", "fr", 3},
                                           {"fr", "fr-CA", 2},
                                           {"es-419", "es-ES", 1},
                                           {"fr-FR", "de-DE", 0},
                                           {"fr", "", -1},
                                           {"fr-FR", "fr-F R", -1}}) {
        EXPECT_EQ(VIntlMgr::Compare2RFC3066LanguageCodes(VString(first), VString(second)), expected)
            << first << " " << second;
    }
    std::vector<VString> names{VString("left over")};
    VIntlMgr::GetLocalizationFolderNames(3084, names);
    std::vector<std::string> texts;
    for (const VString& name : names)
        texts.push_back(name.ToUTF8());
    EXPECT_EQ(texts, (std::vector<std::string>{"fr-CA.lproj", "fr_CA.lproj", "fr.lproj", "French.lproj"}));
    VIntlMgr::GetLocalizationFolderNames(0, names);
    EXPECT_TRUE(names.empty());
}
