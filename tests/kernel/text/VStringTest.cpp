// Tests of VString: storage, UTF-8 decoding and encoding, editing, number reading and trimming.
#include "text/VString.h"
#include "text/VIntlMgr.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>

using namespace vkit;

namespace {

std::u16string Units(const VString& inText) {
    return std::u16string(inText.View());
}

/// Installs an international manager for the calling thread for the life of the guard.
class CurrentIntlMgr {
public:
    explicit CurrentIntlMgr(const char* inLocale) : fMgr(AdoptRef(VIntlMgr::Create(VString(inLocale)))) {
        VIntlMgr::SetCurrentMgr(fMgr.Get());
    }
    ~CurrentIntlMgr() { VIntlMgr::SetCurrentMgr(nullptr); }

private:
    VRefPtr<VIntlMgr> fMgr;
};

} // namespace

// UTF-8 decoding.

TEST(VStringTest, DecodesOneToFourByteSequences) {
    EXPECT_EQ(Units(VString("hello")), u"hello");
    EXPECT_EQ(Units(VString("\xC3\xA9t\xC3\xA9")), u"\u00E9t\u00E9");
    EXPECT_EQ(Units(VString("\xE2\x82\xAC")), u"\u20AC");
    EXPECT_EQ(Units(VString("\xF0\x9F\x98\x80")), u"\U0001F600");
    EXPECT_EQ(Units(VString("\xF4\x8F\xBF\xBF")), u"\U0010FFFF");
    // Sequences right after runs of ASCII longer than the eight-byte fast path.
    EXPECT_EQ(Units(VString("abcdefghijklmnopq\xC3\xA9rstuvwxyz\xF0\x9F\x98\x80!")),
              u"abcdefghijklmnopq\u00E9rstuvwxyz\U0001F600!");
    VString withNul("a\0b", 3);
    EXPECT_EQ(withNul.GetLength(), 3);
}

TEST(VStringTest, IllFormedSubpartsBecomeOneReplacementEach) {
    EXPECT_EQ(Units(VString("a\xE2\x82")), u"a\uFFFD");                          // truncated three-byte
    EXPECT_EQ(Units(VString("\xF0\x9F\x98")), u"\uFFFD");                        // truncated four-byte
    EXPECT_EQ(Units(VString("\xE2\x28\xA1")), u"\uFFFD(\uFFFD");                 // bad continuation
    EXPECT_EQ(Units(VString("\x80x")), u"\uFFFDx");                              // lone continuation
    EXPECT_EQ(Units(VString("\xC0\xAF")), u"\uFFFD\uFFFD");                      // overlong two-byte
    EXPECT_EQ(Units(VString("\xE0\x80\xAF")), u"\uFFFD\uFFFD\uFFFD");            // overlong three-byte
    EXPECT_EQ(Units(VString("\xF0\x8F\xBF\xBF")), std::u16string(4, u'\uFFFD')); // overlong four-byte
    EXPECT_EQ(Units(VString("\xED\xA0\x80")), u"\uFFFD\uFFFD\uFFFD");            // surrogate
    EXPECT_EQ(Units(VString("\xF4\x90\x80\x80")), std::u16string(4, u'\uFFFD')); // above U+10FFFF
    EXPECT_EQ(Units(VString("\xF5\xFF")), u"\uFFFD\uFFFD");
}

TEST(VStringTest, EncodesUTF8AndRoundTrips) {
    VString emoji("\xF0\x9F\x98\x80");
    EXPECT_EQ(emoji.ToUTF8(), "\xF0\x9F\x98\x80");
    // Unpaired surrogates cannot be written: U+FFFD in their place.
    const UniChar lone[] = {u'a', 0xD800, u'b', 0xDC00};
    EXPECT_EQ(VString(lone, 4).ToUTF8(), "a\xEF\xBF\xBD"
                                         "b\xEF\xBF\xBD");
    std::string mixed;
    for (int i = 0; i < 100; ++i)
        mixed += "ab\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    VString text(mixed.c_str());
    EXPECT_EQ(text.ToUTF8(), mixed);
    std::string appended = "head:";
    text.AppendToUTF8(appended);
    EXPECT_EQ(appended, "head:" + mixed);
}

// Storage and editing.

TEST(VStringTest, GrowsCopiesAndMoves) {
    VString text;
    for (int i = 0; i < 100; ++i)
        text.AppendCString("ab");
    VString copy(text);
    VString moved(std::move(text));
    EXPECT_EQ(copy.GetLength(), 200);
    EXPECT_EQ(copy, moved);
    VString shortText("short");
    VString movedShort(std::move(shortText));
    EXPECT_EQ(movedShort, "short");
    copy = std::move(movedShort);
    EXPECT_EQ(copy, "short");
}

TEST(VStringTest, AppendingItsOwnTextWhileGrowing) {
    VString text("0123456789abcd"); // fills most of the inline buffer: the append moves to the heap
    text.AppendString(text);
    EXPECT_EQ(text, "0123456789abcd0123456789abcd");
    text.AppendUniChars(text.GetCPointer() + 10, 4);
    EXPECT_EQ(text, "0123456789abcd0123456789abcdabcd");
    text.Insert(text, 3);
    EXPECT_EQ(text.GetLength(), 64);
}

TEST(VStringTest, FixedBufferVariants) {
    VStr<4> small("abcdefgh");
    EXPECT_EQ(small, "abcdefgh");
    VStr<31> medium("x");
    EXPECT_EQ(medium.GetCapacity(), 31);
    VString nullText;
    nullText.SetNull();
    VStr<15> copyOfNull(nullText);
    EXPECT_TRUE(copyOfNull.IsNull());
    VStr<15> copyOfCopy(copyOfNull);
    EXPECT_TRUE(copyOfCopy.IsNull());
    VString fromSmall(std::move(small));
    EXPECT_EQ(fromSmall, "abcdefgh");
    VString heap(std::string(100, 'h').c_str());
    medium = std::move(heap);
    EXPECT_EQ(medium.GetLength(), 100);
}

TEST(VStringTest, NullFlag) {
    VString text("x");
    EXPECT_FALSE(text.IsNull());
    text.SetNull();
    EXPECT_TRUE(text.IsNull());
    EXPECT_TRUE(text.IsEmpty());
    VString copy(text);
    EXPECT_TRUE(copy.IsNull());
    text.AppendCString("y");
    EXPECT_FALSE(text.IsNull());
}

TEST(VStringTest, EditingClampsPositions) {
    VString text("hello");
    text.Insert(VString(">"), 0);
    text.Insert(VString("<"), 100);
    EXPECT_EQ(text, ">hello<");
    text.Remove(2, 100);
    EXPECT_EQ(text, ">");
    text = "a-b-c";
    text.ExchangeAll(VString("-"), VString("--"));
    EXPECT_EQ(text, "a--b--c");
    text.Replace(VString("X"), 2, 2);
    EXPECT_EQ(text, "aXb--c");
    VString part;
    text.GetSubString(3, 100, part);
    EXPECT_EQ(part, "b--c");
    text.SubString(0, 2);
    EXPECT_EQ(text, "aX");
    EXPECT_EQ(text.FindRawString(VString("X")), 2);
    EXPECT_EQ(text.FindRawString(VString("X"), 3), 0);
}

TEST(VStringTest, CaseChangesMayChangeTheLength) {
    VString text("stra\xC3\x9F"
                 "e");
    text.ToUpperCase();
    EXPECT_EQ(text, "STRASSE");
    text.ToLowerCase();
    EXPECT_EQ(text, "strasse");
}

TEST(VStringTest, TrimsUnicodeWhiteSpace) {
    VString text(" \t\n a b \xC2\xA0\xE3\x80\x80");
    text.TrimSpaces();
    EXPECT_EQ(text, "a b");
    VString blank("   ");
    blank.TrimLeadingSpaces();
    EXPECT_TRUE(blank.IsEmpty());
    VString trailing("  x  ");
    trailing.TrimTrailingSpaces();
    EXPECT_EQ(trailing, "  x");
}

// Number reading.

TEST(VStringTest, IntegerWalkSkipsOtherCharactersAndStopsAtTheSeparator) {
    CurrentIntlMgr english("en_US");
    EXPECT_EQ(VString("12 345").GetLong8(), 12345);
    EXPECT_EQ(VString("-7").GetLong8(), -7);
    EXPECT_EQ(VString("3-4").GetLong8(), 34);
    EXPECT_EQ(VString("0-5").GetLong8(), -5); // the value is still 0 when the "-" comes
    EXPECT_EQ(VString("").GetLong8(), 0);
    EXPECT_EQ(VString("abc").GetLong8(), 0);
    EXPECT_EQ(VString("1.5").GetLong8(), 1);
    EXPECT_EQ(VString("1,5").GetLong8(), 15);
}

TEST(VStringTest, GetLongGivesZeroOutside32Bits) {
    EXPECT_EQ(VString("3000000000").GetLong(), 0);
    EXPECT_EQ(VString("3000000000").GetLong8(), 3000000000LL);
    EXPECT_EQ(VString("-3000000000").GetLong(), 0);
    EXPECT_EQ(VString("2147483647").GetLong(), 2147483647);
    EXPECT_EQ(VString("-2147483648").GetLong(), -2147483647 - 1);
    EXPECT_EQ(VString("2147483648").GetLong(), 0);
}

TEST(VStringTest, IntegerWalkEndsAtTheCommaOfACommaLanguage) {
    CurrentIntlMgr french("fr");
    EXPECT_EQ(VString("1,5").GetLong8(), 1);
    EXPECT_EQ(VString("1.5").GetLong8(), 15);
    // The French grouping separator (a narrow no-break space) is skipped like any other character.
    EXPECT_EQ(VString("12\xE2\x80\xAF"
                      "345")
                  .GetLong8(),
              12345);
}

TEST(VStringTest, ReadsRealsWithAPointWhateverTheLanguage) {
    CurrentIntlMgr french("fr");
    EXPECT_EQ(VString("1.5").GetReal(), 1.5);
    EXPECT_EQ(VString("2,5").GetReal(), 2);
    EXPECT_EQ(VString(" -0.25e2").GetReal(), -25);
    EXPECT_EQ(VString("abc").GetReal(), 0);
    std::string longNumber = "1" + std::string(200, '0');
    EXPECT_EQ(VString(longNumber.c_str()).GetReal(), 1e200);
}

TEST(VStringTest, RealOverflowIsReported) {
    bool overflow = false;
    EXPECT_TRUE(std::isinf(VString("1e400").GetRealCheckOverflow(overflow)));
    EXPECT_TRUE(overflow);
    EXPECT_EQ(VString("-1e-400").GetRealCheckOverflow(overflow), 0);
    EXPECT_TRUE(overflow);
    EXPECT_EQ(VString("1e300").GetRealCheckOverflow(overflow), 1e300);
    EXPECT_FALSE(overflow);
    EXPECT_EQ(VString("junk").GetRealCheckOverflow(overflow), 0);
    EXPECT_FALSE(overflow);
}

TEST(VStringTest, RealForms) {
    VString text;
    text.FromReal(3.0);
    EXPECT_EQ(text, "3");
    text.FromReal(0.1);
    EXPECT_EQ(text, "0.1");
    text.FromReal(1e300);
    EXPECT_EQ(text, "1E+300");
    text.FromReal(-1.0 / 3.0);
    EXPECT_EQ(text, "-0.33333333333333");
}

TEST(VStringTest, BooleanIsTrueOnlyForTheWordTrue) {
    EXPECT_TRUE(VString("true").GetBoolean());
    EXPECT_TRUE(VString("True").GetBoolean()); // the international comparison ignores case
    EXPECT_FALSE(VString("yes").GetBoolean());
    EXPECT_FALSE(VString("1").GetBoolean());
    EXPECT_FALSE(VString("").GetBoolean());
    EXPECT_FALSE(VString("true1").GetBoolean());
    VString text;
    text.FromBoolean(false);
    EXPECT_EQ(text, "false");
}

TEST(VStringTest, IntegerForms) {
    VString text;
    text.FromLong8(INT64_MIN);
    EXPECT_EQ(text, "-9223372036854775808");
    text.FromLong(0);
    EXPECT_EQ(text, "0");
    text.AppendLong(-12);
    EXPECT_EQ(text, "0-12");
}

// Text forms as a value.

TEST(VStringTest, XMLAndJSONForms) {
    VString text("a<b>&\"c'");
    VString xml;
    text.GetXMLString(xml);
    EXPECT_EQ(xml, "a&lt;b&gt;&amp;&quot;c&apos;");
    VString back;
    EXPECT_TRUE(back.FromXMLString(xml));
    EXPECT_EQ(back, text);
    EXPECT_TRUE(back.FromXMLString(VString("&amp;lt;")));
    EXPECT_EQ(back, "&lt;");
    VString json;
    VString("q\"\\\n\x01").GetJSONString(json);
    EXPECT_EQ(json, "\"q\\\"\\\\\\n\\u0001\"");
    VString nullText;
    nullText.SetNull();
    nullText.GetJSONString(json);
    EXPECT_EQ(json, "null");
}
