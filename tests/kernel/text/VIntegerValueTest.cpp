// Tests of the integer values VByte, VWord, VLong and VLong8.
#include "text/VByte.h"
#include "text/VLong.h"
#include "text/VLong8.h"
#include "text/VString.h"
#include "text/VWord.h"

#include <gtest/gtest.h>

#include <memory>

using namespace vkit;

TEST(VIntegerValueTest, TextFormsAreDecimal) {
    VString text;
    VLong(-42).GetString(text);
    EXPECT_EQ(text.ToUTF8(), "-42");
    VLong8(INT64_MIN).GetXMLString(text);
    EXPECT_EQ(text.ToUTF8(), "-9223372036854775808");
    VWord(32767).GetJSONString(text);
    EXPECT_EQ(text.ToUTF8(), "32767");
    VByte null;
    null.SetNull();
    null.GetJSONString(text);
    EXPECT_EQ(text.ToUTF8(), "null");
}

TEST(VIntegerValueTest, FromStringGivesZeroWhenTheNumberDoesNotFit) {
    VLong value;
    value.FromString(VString("3000000000"));
    EXPECT_EQ(value.Get(), 0);
    VLong8 wide;
    wide.FromString(VString("3000000000"));
    EXPECT_EQ(wide.Get(), 3000000000LL);
    VByte byte;
    byte.FromString(VString("-128"));
    EXPECT_EQ(byte.Get(), -128);
    byte.FromString(VString("200"));
    EXPECT_EQ(byte.Get(), 0);
}

TEST(VIntegerValueTest, FromXMLStringIsStrict) {
    VWord value(9);
    EXPECT_TRUE(value.FromXMLString(VString(" -12 ")));
    EXPECT_EQ(value.Get(), -12);
    for (const char* text : {"", "-", "1 2", "12a", "40000", "1.5"}) {
        EXPECT_FALSE(value.FromXMLString(VString(text))) << text;
        EXPECT_EQ(value.Get(), -12) << text;
    }
    VLong8 wide;
    EXPECT_TRUE(wide.FromXMLString(VString("-9223372036854775808")));
    EXPECT_EQ(wide.Get(), INT64_MIN);
    EXPECT_FALSE(wide.FromXMLString(VString("9223372036854775808")));
    EXPECT_FALSE(wide.FromXMLString(VString("99999999999999999999")));
}

TEST(VIntegerValueTest, ConversionsAndEquality) {
    VLong8 wide(5000000000LL);
    EXPECT_EQ(wide.GetLong(), 0);
    VLong narrow;
    narrow.FromReal(-7.9);
    EXPECT_EQ(narrow.Get(), -7);
    narrow.FromReal(1e20);
    EXPECT_EQ(narrow.Get(), 0);
    std::unique_ptr<VLong> copy(VLong(3).Clone());
    EXPECT_TRUE(copy->EqualToSameKind(VLong(3), true));
    EXPECT_FALSE(copy->EqualToSameKind(VLong8(3), true));
    copy->SetNull();
    EXPECT_EQ(copy->Get(), 0);
    EXPECT_FALSE(copy->EqualToSameKind(VLong(0), true));
}
