// Tests of VReal: the plain, XML and JSON forms and the XML reading.
#include "text/VReal.h"
#include "support/StCommaNumericLocale.h"
#include "text/VString.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

using vkit::VReal;
using vkit::VString;

namespace {

std::string XML(double inValue) {
    VString text;
    VReal(inValue).GetXMLString(text);
    return text.ToUTF8();
}

std::string JSON(double inValue) {
    VString text;
    VReal(inValue).GetJSONString(text);
    return text.ToUTF8();
}

} // namespace

TEST(VRealTest, XMLAndJSONFormsOfWholeAndFractionalNumbers) {
    EXPECT_EQ(XML(3.0), "3");
    EXPECT_EQ(JSON(3.0), "3");
    EXPECT_EQ(XML(-0.0), "0");
    EXPECT_EQ(XML(0.1), "0.1");
    EXPECT_EQ(JSON(0.1), "0.1");
    EXPECT_EQ(XML(1e300), "1E+300");
    EXPECT_EQ(JSON(1e300), "1E+300");
    EXPECT_EQ(XML(-2.5), "-2.5");
    // Just below 2^53 the integer form is exact; at 2^53 "%.14G" takes over.
    EXPECT_EQ(XML(9007199254740991.0), "9007199254740991");
    EXPECT_EQ(XML(9007199254740992.0), "9.007199254741E+15");
}

TEST(VRealTest, NaNAndInfinities) {
    double nan = std::numeric_limits<double>::quiet_NaN();
    double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(XML(nan), "NaN");
    EXPECT_EQ(JSON(nan), "null");
    EXPECT_EQ(XML(inf), "INF");
    EXPECT_EQ(XML(-inf), "-INF");
    EXPECT_EQ(JSON(inf), "null");
    EXPECT_EQ(JSON(-inf), "null");

    VReal back;
    ASSERT_TRUE(back.FromXMLString(VString("-INF")));
    EXPECT_TRUE(std::isinf(back.Get()) && back.Get() < 0);
    ASSERT_TRUE(back.FromXMLString(VString("NaN")));
    EXPECT_TRUE(std::isnan(back.Get()));
}

TEST(VRealTest, PlainFormUsesFourteenSignificantDigits) {
    VString text;
    VReal(1.0 / 3.0).GetString(text);
    EXPECT_EQ(text.ToUTF8(), "0.33333333333333");
    VReal(3.0).GetString(text);
    EXPECT_EQ(text.ToUTF8(), "3");
}

TEST(VRealTest, FromXMLStringAcceptsCommaAndRequiresTheWholeText) {
    VReal value(7);
    EXPECT_TRUE(value.FromXMLString(VString("1,5")));
    EXPECT_EQ(value.Get(), 1.5);
    EXPECT_FALSE(value.FromXMLString(VString("1.5x")));
    EXPECT_EQ(value.Get(), 1.5);
    EXPECT_FALSE(value.FromXMLString(VString("")));
    EXPECT_FALSE(value.FromXMLString(VString(std::string(300, '1'))));
    EXPECT_EQ(value.Get(), 1.5);
}

TEST(VRealTest, NullValue) {
    VReal value(2.5);
    value.SetNull();
    EXPECT_EQ(value.Get(), 0);
    VString text;
    value.GetJSONString(text);
    EXPECT_EQ(text.ToUTF8(), "null");
    VString nullText;
    nullText.SetNull();
    value.Set(1);
    value.FromString(nullText);
    EXPECT_TRUE(value.IsNull());
    value.FromString(VString("2.25"));
    EXPECT_FALSE(value.IsNull());
    EXPECT_EQ(value.Get(), 2.25);
}

TEST(VRealTest, IntegerConversionsOutOfRangeGiveZero) {
    EXPECT_EQ(VReal(-3.9).GetLong(), -3);
    EXPECT_EQ(VReal(3e9).GetLong(), 0);
    EXPECT_EQ(VReal(3e9).GetLong8(), 3000000000LL);
    EXPECT_EQ(VReal(1e30).GetLong8(), 0);
    EXPECT_EQ(VReal(std::numeric_limits<double>::quiet_NaN()).GetLong8(), 0);
}

TEST(VRealTest, XMLAndJSONFormsKeepAPointUnderACommaLocale) {
    vkit::testing::StCommaNumericLocale comma;
    if (!comma.IsActive())
        GTEST_SKIP() << "localedef could not build a comma locale here";
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
    VString text;
    VReal(0.1).GetString(text); // the plain form follows the C library's locale
    EXPECT_EQ(text.ToUTF8(), "0,1");
    EXPECT_EQ(XML(0.1), "0.1");
    EXPECT_EQ(JSON(-2.5), "-2.5");
    EXPECT_EQ(XML(1.5e-7), "1.5E-07");

    VReal value;
    EXPECT_TRUE(value.FromXMLString(VString("1.5")));
    EXPECT_EQ(value.Get(), 1.5);
    EXPECT_TRUE(value.FromXMLString(VString("2,25")));
    EXPECT_EQ(value.Get(), 2.25);
    EXPECT_EQ(VString("3.75").GetReal(), 3.75);
}
