// Tests of VIntlMgr and the international comparisons of VString.
#include "text/VIntlMgr.h"
#include "text/VString.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

using namespace vkit;

namespace {

VRefPtr<VIntlMgr> MakeMgr(const char* inLocale) {
    return AdoptRef(VIntlMgr::Create(VString(inLocale)));
}

/// Installs an international manager for the calling thread for the life of the guard.
class CurrentIntlMgr {
public:
    explicit CurrentIntlMgr(const char* inLocale) : fMgr(MakeMgr(inLocale)) {
        VIntlMgr::SetCurrentMgr(fMgr.Get());
    }
    ~CurrentIntlMgr() { VIntlMgr::SetCurrentMgr(nullptr); }

private:
    VRefPtr<VIntlMgr> fMgr;
};

} // namespace

TEST(VIntlMgrTest, NotDiacriticalIgnoresAccentsAndCase) {
    CurrentIntlMgr english("en_US");
    VString accented("\xC3\x89t\xC3\xA9"); // Été
    EXPECT_TRUE(accented.EqualToString(VString("ete")));
    EXPECT_FALSE(accented.EqualToString(VString("ete"), true));
    EXPECT_TRUE(VString("ABC").EqualToString(VString("abc")));
    EXPECT_FALSE(VString("ABC").EqualToString(VString("abc"), true));
    EXPECT_FALSE(VString("abc").EqualToString(VString("abd")));
    // Composed and decomposed forms of the same text are equal even when accents count.
    EXPECT_TRUE(VString("\xC3\xA9").EqualToString(VString("e\xCC\x81"), true));
}

TEST(VIntlMgrTest, ComparisonFollowsTheLanguageNotTheCodeUnits) {
    CurrentIntlMgr english("en_US");
    EXPECT_LT(VString("a").CompareToString(VString("B")), 0);
    EXPECT_GT(VString("b").CompareToString(VString("A")), 0);
    EXPECT_EQ(VString("same").CompareToString(VString("same"), true), 0);
}

TEST(VIntlMgrTest, FindBeginsAndEndsWith) {
    CurrentIntlMgr english("en_US");
    VString text("Le Caf\xC3\xA9 du coin");
    EXPECT_EQ(text.Find(VString("cafe")), 4);
    EXPECT_EQ(text.Find(VString("cafe"), 1, true), 0);
    EXPECT_EQ(text.Find(VString("Caf\xC3\xA9"), 1, true), 4);
    EXPECT_EQ(text.Find(VString("cafe"), 5), 0);
    EXPECT_EQ(text.Find(VString("")), 0);
    EXPECT_EQ(text.Find(VString("coin"), 100), 0);

    VString school("\xC3\x89"
                   "cole normale");
    EXPECT_TRUE(school.BeginsWith(VString("ecole")));
    EXPECT_FALSE(school.BeginsWith(VString("ecole"), true));
    EXPECT_FALSE(school.BeginsWith(VString("normale")));

    EXPECT_TRUE(VString("fichier.TXT").EndsWith(VString(".txt")));
    EXPECT_FALSE(VString("fichier.TXT").EndsWith(VString(".txt"), true));
    EXPECT_FALSE(VString("fichier.txt.bak").EndsWith(VString(".txt")));
    EXPECT_TRUE(VString("aaa").EndsWith(VString("AA"))); // overlapping matches
    EXPECT_TRUE(VString("x").EndsWith(VString("")));
    EXPECT_FALSE(VString("").EndsWith(VString("x")));
}

TEST(VIntlMgrTest, AnAccentAfterTheSameCodeUnitsStillCounts) {
    CurrentIntlMgr english("en_US");
    VString decomposed("e\xCC\x81t\xC3\xA9"); // e + combining acute, t, é
    EXPECT_FALSE(decomposed.BeginsWith(VString("e"), true));
    EXPECT_TRUE(decomposed.BeginsWith(VString("\xC3\xA9"), true));
    EXPECT_FALSE(VString("cafe\xCC\x81").EndsWith(VString("cafe"), true));
}

TEST(VIntlMgrTest, DecimalSeparatorComesFromTheLanguage) {
    EXPECT_EQ(MakeMgr("en_US")->GetDecimalSeparator(), u'.');
    EXPECT_EQ(MakeMgr("fr")->GetDecimalSeparator(), u',');
    EXPECT_EQ(MakeMgr("de_DE")->GetDecimalSeparator(), u',');
    EXPECT_EQ(MakeMgr("fr")->GetLocaleName(), "fr");
}

TEST(VIntlMgrTest, CurrentManagerIsPerThread) {
    CurrentIntlMgr french("fr");
    EXPECT_EQ(VIntlMgr::GetDefaultMgr()->GetDecimalSeparator(), u',');
    VIntlMgr* seenByOther = nullptr;
    std::thread other([&] { seenByOther = VIntlMgr::GetDefaultMgr(); });
    other.join();
    EXPECT_NE(seenByOther, VIntlMgr::GetDefaultMgr());
    EXPECT_NE(seenByOther, nullptr);
}

TEST(VIntlMgrTest, UserLocaleFromTheFirstLanguage) {
    const char* saved = std::getenv("LANGUAGE");
    std::string previous = saved != nullptr ? saved : "";
    ::setenv("LANGUAGE", "de_CH.UTF-8@euro:fr", 1);
    EXPECT_EQ(VIntlMgr::UserLocaleName(), "de_CH");
    ::setenv("LANGUAGE", "C", 1);
    EXPECT_EQ(VIntlMgr::UserLocaleName().find("POSIX"), std::string::npos);
    if (saved != nullptr)
        ::setenv("LANGUAGE", previous.c_str(), 1);
    else
        ::unsetenv("LANGUAGE");
}
