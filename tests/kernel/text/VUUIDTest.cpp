// Tests of VUUID: generation and text forms.
#include "text/VUUID.h"
#include "text/VString.h"

#include <gtest/gtest.h>

using vkit::VIndex;
using vkit::VString;
using vkit::VUUID;

TEST(VUUIDTest, GeneratedIdentifiersDifferAndRoundTrip) {
    VUUID first = VUUID::Generate();
    VUUID second = VUUID::Generate();
    EXPECT_FALSE(first.IsNull());
    EXPECT_FALSE(first == second);
    VString text;
    first.GetString(text);
    ASSERT_EQ(text.GetLength(), 32);
    for (VIndex i = 0; i < text.GetLength(); ++i)
        EXPECT_TRUE((text[i] >= u'0' && text[i] <= u'9') || (text[i] >= u'A' && text[i] <= u'F'));
    VUUID back;
    back.FromString(text);
    EXPECT_TRUE(back == first);
}

TEST(VUUIDTest, ReadsDashedLowerCaseAndRejectsOtherText) {
    VUUID value;
    EXPECT_TRUE(value.FromXMLString(VString("{0123456789ab-cdef-0123-456789abcdef}")));
    VString text;
    value.GetJSONString(text);
    EXPECT_EQ(text.ToUTF8(), "\"0123456789ABCDEF0123456789ABCDEF\"");
    EXPECT_FALSE(value.FromXMLString(VString("0123")));
    EXPECT_FALSE(value.FromXMLString(VString("0123456789ABCDEF0123456789ABCDEF0")));
    EXPECT_FALSE(value.IsNull());
    value.FromString(VString("zz"));
    EXPECT_TRUE(value.IsNull());
    value.GetJSONString(text);
    EXPECT_EQ(text.ToUTF8(), "null");
}
