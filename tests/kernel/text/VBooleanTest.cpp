// Tests of VBoolean: its text forms and the reading of text.
#include "text/VBoolean.h"
#include "text/VString.h"

#include <gtest/gtest.h>

using vkit::VBoolean;
using vkit::VString;

TEST(VBooleanTest, OnlyTrueReadsAsTrue) {
    VBoolean value;
    value.FromString(VString("true"));
    EXPECT_TRUE(value.Get());
    value.FromString(VString("TRUE"));
    EXPECT_TRUE(value.Get());
    for (const char* text : {"yes", "1", "", "true ", "truex", "false"}) {
        value.Set(true);
        value.FromString(VString(text));
        EXPECT_FALSE(value.Get()) << text;
    }
}

TEST(VBooleanTest, TextForms) {
    VString text;
    VBoolean(true).GetString(text);
    EXPECT_EQ(text.ToUTF8(), "true");
    VBoolean(false).GetXMLString(text);
    EXPECT_EQ(text.ToUTF8(), "false");
    VBoolean(true).GetJSONString(text);
    EXPECT_EQ(text.ToUTF8(), "true");
    VBoolean null;
    null.SetNull();
    null.GetJSONString(text);
    EXPECT_EQ(text.ToUTF8(), "null");
}

TEST(VBooleanTest, FromXMLStringRejectsOtherWords) {
    VBoolean value(true);
    EXPECT_TRUE(value.FromXMLString(VString("0")));
    EXPECT_FALSE(value.Get());
    EXPECT_FALSE(value.FromXMLString(VString("maybe")));
    EXPECT_FALSE(value.Get());
}

TEST(VBooleanTest, FromValueCopiesTheNullFlag) {
    VString nullText;
    nullText.SetNull();
    VBoolean value(true);
    value.FromValue(nullText);
    EXPECT_TRUE(value.IsNull());
    EXPECT_FALSE(value.Get());
    value.FromLong(5);
    EXPECT_FALSE(value.IsNull());
    EXPECT_TRUE(value.Get());
}
