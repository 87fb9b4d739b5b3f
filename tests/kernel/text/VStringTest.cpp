// Tests of VString: UTF-8 decoding and encoding, storage, editing, number reading and text forms.
#include "text/VString.h"
#include "support/StTextSettings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>

using namespace vkit;
using vkit::testing::StIntlMgr;

TEST(VStringTest, UTF8DecodingAndEncoding) {
    struct Row {
        std::string utf8;
        std::u16string units;
    };
    const std::string ascii = "abcdefghijklmnopq", replacement = "\xEF\xBF\xBD";
    // Well-formed texts decode and encode back; sequences after runs longer than the eight-byte fast path.
    const Row kWellFormed[] = {
        {"a\xC2\x80\xC3\xA9", u"a\u0080\u00E9"},
        {"\xE2\x82\xAC", u"\u20AC"},
        {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", u"\U00010000\U0010FFFF"},
        {ascii + "\xC3\xA9" + ascii + "\xF0\x9F\x98\x80!",
         u"abcdefghijklmnopq\u00E9abcdefghijklmnopq\U0001F600!"},
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const Row& row : kWellFormed) {
        EXPECT_TRUE(VString::IsWellFormedUTF8(row.utf8.data(), row.utf8.size())) << row.utf8;
        EXPECT_EQ(std::u16string(VString(row.utf8.data(), row.utf8.size()).View()), row.units) << row.utf8;
        VString text(row.units.data(), static_cast<VIndex>(row.units.size()));
        std::string appended = "kept:", whole = "gone";
        text.AppendToUTF8(appended);
        text.ToUTF8(whole);
        EXPECT_EQ(appended + "|" + whole, "kept:" + row.utf8 + "|" + row.utf8);
    }
    // Each ill-formed part becomes one U+FFFD: truncated, bad or lone continuations, overlong forms,
    // surrogates, code points above U+10FFFF. Unpaired surrogates are written as U+FFFD.
    const Row kIllFormed[] = {
        {"a\xE2\x82", u"a\uFFFD"},
        {"\xE2\x28\xA1", u"\uFFFD(\uFFFD"},
        {"\x80x", u"\uFFFDx"},
        {"\xC0\xAF", u"\uFFFD\uFFFD"},
        {"\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {ascii + "\xC3", u"abcdefghijklmnopq\uFFFD"},
    };
    for (const Row& row : kIllFormed) {
        EXPECT_FALSE(VString::IsWellFormedUTF8(row.utf8.data(), row.utf8.size())) << row.utf8;
        EXPECT_EQ(std::u16string(VString(row.utf8.c_str()).View()), row.units) << row.utf8;
    }
    EXPECT_EQ(VString(u"a\xD800z\xDC00\xDC00\xD800").ToUTF8(),
              "a" + replacement + "z" + replacement + replacement + replacement);
    // File names keep their bytes outside well-formed UTF-8 through the keeping variants.
    for (const char* bytes : {"a\xFF", "\xC3\x28", "\xED\xA0\x80", "\xF0\x9F\x98", "caf\xC3\xA9\x80"}) {
        VString kept;
        kept.AppendUTF8KeepingBytes(bytes, std::strlen(bytes));
        std::string back;
        kept.AppendToUTF8KeepingBytes(back);
        EXPECT_EQ(back, bytes);
    }
}

TEST(VStringTest, StorageAndNullFlag) {
    // A text that fills most of the inline buffer appends itself while moving to the heap.
    VString text("0123456789abcd");
    text.AppendString(text);
    text.AppendUniChars(text.GetCPointer() + 10, 4);
    text.Insert(text, 3);
    EXPECT_EQ(text.ToUTF8(),
              "01" + std::string("0123456789abcd0123456789abcdabcd") + "23456789abcd0123456789abcdabcd");
    VStr<4> small("abcdefgh");
    VStr<31> fixed(std::move(small));
    fixed = std::move(text);
    EXPECT_TRUE(fixed.GetLength() == 64 && VString(std::move(fixed)).GetLength() == 64);
    EXPECT_TRUE(VString("\xC3\xA9") == "\xC3\xA9" && !(VString("ab") == "abc"));
    using Change = void (*)(VString&);
    const std::pair<Change, bool> kNullRows[] = {
        {[](VString& s) { s = VString(s); }, true},
        {[](VString& s) { s = VStr<15>(s); }, true},
        {[](VString& s) { s = VString(std::move(s)); }, true},
        {[](VString& s) { s.AppendCString("y"); }, false},
        {[](VString& s) { s.AppendString(VString()); }, false},
        {[](VString& s) { s.AppendPrintf("%d", 1); }, false},
        {[](VString& s) { s.Insert(u'y', 1); }, false},
        {[](VString& s) { s.Clear(); }, false},
    };
    for (size_t i = 0; i < std::size(kNullRows); ++i) {
        text.SetNull();
        EXPECT_TRUE(text.IsEmpty());
        kNullRows[i].first(text);
        EXPECT_EQ(text.IsNull(), kNullRows[i].second) << i;
    }
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
    text.ExchangeAll(VString("x"), VString("y"));
    text.Replace(VString("X"), 2, 2);
    EXPECT_EQ(text, "aXb--c");
    VString part;
    text.GetSubString(3, 100, part);
    EXPECT_EQ(part, "b--c");
    text.Truncate(5);
    text.SubString(0, 2);
    EXPECT_EQ(text, "aX");
    EXPECT_EQ(text.FindRawString(VString("X")) * 100 + text.FindRawString(VString("X"), 3) * 10 +
                  text.FindRawString(VString("a"), 0),
              200);
    EXPECT_EQ(VString("a.b.c").FindLastUniChar(u'.'), 4);
    text = "stra\xC3\x9F"
           "e";
    text.ToUpperCase(); // the length changes
    EXPECT_EQ(text, "STRASSE");
    text.ToLowerCase();
    EXPECT_EQ(text, "strasse");
    text = " \t\n a b \xC2\xA0\xE3\x80\x80";
    text.TrimSpaces();
    EXPECT_EQ(text, "a b");
    text = "  x  ";
    text.TrimTrailingSpaces();
    EXPECT_EQ(text, "  x");
    text = "   ";
    text.TrimLeadingSpaces();
    EXPECT_TRUE(text.IsEmpty());
}

TEST(VStringTest, NumberReading) {
    struct Row {
        const char* locale;
        const char* text;
        int64_t long8;
        int32_t long32;
        double real;
    };
    // Digits accumulate, a "-" before any digit but 0 makes the number negative, the language's decimal
    // separator ends the walk and any other character is skipped. Reals always take a point.
    const Row kRows[] = {
        {"en_US", "12 345", 12345, 12345, 12},
        {"en_US", "0-5", -5, -5, 0},
        {"en_US", " -0.25e2", 0, 0, -25},
        {"en_US", "2147483647", 2147483647, 2147483647, 2147483647},
        {"en_US", "-2147483648", -2147483648LL, INT32_MIN, -2147483648.0},
        {"en_US", "2147483648", 2147483648LL, 0, 2147483648.0},
        {"fr", "1,5", 1, 1, 1},
        {"fr", "1.5", 15, 15, 1.5},
        {"fr",
         "12\xE2\x80\xAF"
         "345",
         12345, 12345, 12},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(std::string(row.locale) + " " + row.text);
        StIntlMgr intl(row.locale);
        VString text(row.text);
        EXPECT_EQ(text.GetLong8(), row.long8);
        EXPECT_EQ(text.GetLong(), row.long32);
        EXPECT_EQ(text.GetReal(), row.real);
    }
    EXPECT_EQ(VString(("1" + std::string(200, '0')).c_str()).GetReal(), 1e200);
    // An overflow is reported for a result of 0 or an infinity out of range.
    for (auto [text, value, overflow] : {std::tuple{"1e400", HUGE_VAL, true},
                                         {"-1e-400", 0.0, true},
                                         {"1e300", 1e300, false},
                                         {"4.9e-324", 4.9e-324, false}}) {
        bool reported = !overflow;
        EXPECT_EQ(VString(text).GetRealCheckOverflow(reported), value) << text;
        EXPECT_EQ(reported, overflow) << text;
    }
}

TEST(VStringTest, ValueForms) {
    using Make = void (*)(VString&);
    const std::pair<Make, const char*> kRows[] = {
        {[](VString& s) { s.FromReal(-1.0 / 3.0); }, "-0.33333333333333"},
        {[](VString& s) { s.AppendReal(1e300); }, "kept1E+300"},
        {[](VString& s) { s.FromLong8(INT64_MIN); }, "-9223372036854775808"},
        {[](VString& s) { s.AppendLong(-12); }, "kept-12"},
        {[](VString& s) { s.FromBoolean(false); }, "false"},
        {[](VString& s) { VString("a<b>&\"c'").GetXMLString(s); }, "a&lt;b&gt;&amp;&quot;c&apos;"},
        {[](VString& s) { s.FromXMLString(VString("a&lt;b&gt;&amp;&quot;c&apos;&amp;lt;")); },
         "a<b>&\"c'&lt;"},
        {[](VString& s) { VString("q\"\\\n\r\t\b\f\x01\x1F a").GetJSONString(s); },
         "\"q\\\"\\\\\\n\\r\\t\\b\\f\\u0001\\u001f a\""},
        {[](VString& s) { s.SetNull(), VString(s).GetJSONString(s); }, "null"},
    };
    for (size_t i = 0; i < std::size(kRows); ++i) {
        VString text("kept");
        kRows[i].first(text);
        EXPECT_EQ(text.ToUTF8(), kRows[i].second) << i;
    }
    StIntlMgr english("en_US");
    for (const char* text : {"true", "True", "TRUE"})
        EXPECT_TRUE(VString(text).GetBoolean()) << text;
    for (const char* text : {"yes", "1", "", "true1", "true ", "false"})
        EXPECT_FALSE(VString(text).GetBoolean()) << text;
}
