// Tests of the language conversions of VIntlMgr: dialect codes, RFC 3066 codes, English names.
#include "text/VIntlMgr.h"

#include <gtest/gtest.h>

using namespace vkit;

namespace {

struct DialectCase {
    const char* text;
    DialectCode fromCode;
    DialectCode fromName;
};

const DialectCase kDialectCases[] = {
    {"fr-CA", 3084, 0}, {"fr_FR", 1036, 0},   {"fr", 1036, 0},     {"en", 1033, 0},
    {"zh-TW", 1028, 0}, {"English", 0, 1033}, {"french", 0, 1036}, {"Japanese", 0, 1041},
    {"", 0, 0},         {"fr-", 0, 0},        {"x1", 0, 0},        {"en US", 0, 0},
};

struct CompareCase {
    const char* first;
    const char* second;
    int32_t expected;
};

const CompareCase kCompareCases[] = {
    {"fr-FR", "FR_fr", 4}, {"fr-FR", "fr", 3}, {"fr", "fr-CA", 2}, {"fr-FR", "fr-CA", 1},
    {"fr-FR", "de-DE", 0}, {"fr", "", -1},     {"f", "fr", -1},    {"fr-FR", "fr-F R", -1},
};

} // namespace

TEST(VIntlMgrLanguageTest, DialectCodesFromCodesAndNames) {
    for (const DialectCase& row : kDialectCases) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(VIntlMgr::GetDialectCodeFromRFC3066(VString(row.text)), row.fromCode);
        EXPECT_EQ(VIntlMgr::GetDialectCodeFromLanguageName(VString(row.text)), row.fromName);
    }
}

TEST(VIntlMgrLanguageTest, CompareRFC3066Codes) {
    for (const CompareCase& row : kCompareCases) {
        SCOPED_TRACE(std::string(row.first) + " / " + row.second);
        EXPECT_EQ(VIntlMgr::Compare2RFC3066LanguageCodes(VString(row.first), VString(row.second)),
                  row.expected);
    }
}

TEST(VIntlMgrLanguageTest, LocalizationFolderNamesOfADialect) {
    std::vector<VString> names;
    VIntlMgr::GetLocalizationFolderNames(3084, names);
    std::vector<std::string> texts;
    for (const VString& name : names)
        texts.push_back(name.ToUTF8());
    EXPECT_EQ(texts, (std::vector<std::string>{"fr-CA.lproj", "fr_CA.lproj", "fr.lproj", "French.lproj"}));
    VIntlMgr::GetLocalizationFolderNames(0, names);
    EXPECT_TRUE(names.empty());
}
