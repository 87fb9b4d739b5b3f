// Tests of VString: storage, UTF-8 decoding and encoding, editing.
#include "text/VString.h"

#include <gtest/gtest.h>

using vkit::VString;

TEST(VStringTest, DecodesAsciiAndUtf8) {
    EXPECT_EQ(VString("hello").GetLength(), 5);
    VString accented("\xC3\xA9t\xC3\xA9");
    ASSERT_EQ(accented.GetLength(), 3);
    EXPECT_EQ(accented[0], u'\u00E9');
    VString emoji("\xF0\x9F\x98\x80");
    ASSERT_EQ(emoji.GetLength(), 2);
    EXPECT_EQ(emoji[0], 0xD83D);
    EXPECT_EQ(emoji[1], 0xDE00);
    EXPECT_EQ(emoji.ToUTF8(), "\xF0\x9F\x98\x80");
}

TEST(VStringTest, InvalidUtf8BecomesReplacementCharacters) {
    // A truncated sequence is one ill-formed subpart: one replacement character.
    VString truncated("a\xE2\x82");
    EXPECT_EQ(truncated.GetLength(), 2);
    EXPECT_EQ(truncated[1], 0xFFFD);
    VString overlong("\xC0\xAF");
    EXPECT_EQ(overlong.GetLength(), 2);
    VString surrogate("\xED\xA0\x80");
    EXPECT_EQ(surrogate[0], 0xFFFD);
}

TEST(VStringTest, GrowsBeyondInlineBufferAndCopies) {
    VString text;
    for (int i = 0; i < 100; ++i)
        text.AppendCString("ab");
    VString copy(text);
    VString moved(std::move(text));
    EXPECT_EQ(copy.GetLength(), 200);
    EXPECT_EQ(copy, moved);
    vkit::VStr<4> small("abcdefgh");
    EXPECT_EQ(small.ToUTF8(), "abcdefgh");
}
