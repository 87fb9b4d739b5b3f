// Tests of the scalar values (booleans, integers, reals, UUIDs): their plain, XML and JSON text forms,
// their reading of text and their conversions.
#include "text/VValueSingle.h"
#include "support/StCommaNumericLocale.h"
#include "text/VBoolean.h"
#include "text/VByte.h"
#include "text/VLong.h"
#include "text/VLong8.h"
#include "text/VReal.h"
#include "text/VString.h"
#include "text/VUUID.h"
#include "text/VWord.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <memory>
#include <optional>
#include <string>

using namespace vkit;

namespace {

using Value = std::shared_ptr<VValueSingle>;

template <class V, class T>
Value Make(T inValue) {
    return std::make_shared<V>(inValue);
}

template <class V>
Value Null() {
    Value value = std::make_shared<V>();
    value->SetNull();
    return value;
}

const char* const kDigits = "0123456789ABCDEF0123456789ABCDEF";

Value UUID(const char* inText = kDigits) {
    Value uuid = std::make_shared<VUUID>();
    uuid->FromString(VString(inText));
    return uuid;
}

/// The plain text form, or "null".
std::string Show(const VValueSingle& inValue) {
    VString text;
    inValue.GetString(text);
    return inValue.IsNull() ? "null" : text.ToUTF8();
}

} // namespace

TEST(VValueSingleTest, TextForms) {
    struct Row {
        Value value;
        const char* plain; // GetString
        const char* xml;
        const char* json;
    };
    // Whole reals below 2^53 are written as integers in XML and JSON, others with "%.14G".
    const Row kRows[] = {
        {Make<VBoolean>(true), "true", "true", "true"},
        {Null<VBoolean>(), "", "", "null"},
        {Make<VLong8>(INT64_MIN), "-9223372036854775808", "-9223372036854775808", "-9223372036854775808"},
        {Make<VByte>(int8_t{-128}), "-128", "-128", "-128"},
        {Make<VReal>(-0.0), "-0", "0", "0"},
        {Make<VReal>(0.1), "0.1", "0.1", "0.1"},
        {Make<VReal>(-1.5e-7), "-1.5E-07", "-1.5E-07", "-1.5E-07"},
        {Make<VReal>(9007199254740992.0), "9.007199254741E+15", "9.007199254741E+15", "9.007199254741E+15"},
        {Make<VReal>(NAN), "NAN", "NaN", "null"},
        {Make<VReal>(-HUGE_VAL), "-INF", "-INF", "null"},
        {Null<VReal>(), "", "", "null"},
        {UUID(), kDigits, kDigits, "\"0123456789ABCDEF0123456789ABCDEF\""},
        {Null<VUUID>(), "", "", "null"},
    };
    // Under a language whose decimal point is a comma, the plain form takes it, the others do not.
    std::optional<vkit::testing::StCommaNumericLocale> comma;
    for (int pass = 0; pass < 2; ++pass, comma.emplace()) {
        ASSERT_TRUE(pass == 0 || comma->IsActive())
            << "localedef could not build a locale with a decimal comma";
        for (const Row& row : kRows) {
            SCOPED_TRACE(std::string(row.plain) + " " + row.json);
            VString text("left over");
            row.value->GetString(text);
            std::string plain = row.plain;
            if (pass == 1 && plain.find('.') != std::string::npos)
                plain[plain.find('.')] = ',';
            EXPECT_EQ(text.ToUTF8(), plain);
            row.value->GetXMLString(text);
            EXPECT_EQ(text.ToUTF8(), row.xml);
            row.value->GetJSONString(text);
            EXPECT_EQ(text.ToUTF8(), row.json);
        }
    }
    VReal value;
    EXPECT_TRUE(value.FromXMLString(VString("1.5")) && value.Get() == 1.5 &&
                VString("3.75").GetReal() == 3.75);
}

TEST(VValueSingleTest, ReadingText) {
    struct Row {
        Value value; // as it is before the reading
        bool xml;    // FromXMLString, else FromString
        const char* text;
        const char* expected; // Show afterwards
        bool result;
    };
    // Only "true" reads as true, in any case; XML texts must be read whole, else nothing changes.
    const Row kRows[] = {
        {Make<VBoolean>(false), false, "TRUE", "true", true},
        {Make<VBoolean>(false), true, "1", "true", true},
        {Make<VBoolean>(true), true, "maybe", "true", false},
        {Make<VLong>(7), false, "3000000000", "0", true},
        {Make<VByte>(int8_t{7}), false, "200", "0", true},
        {Make<VWord>(int16_t{9}), true, " -12 ", "-12", true},
        {Make<VWord>(int16_t{9}), true, "0", "0", true},
        {Make<VWord>(int16_t{9}), true, "32767", "32767", true},
        {Make<VWord>(int16_t{9}), true, "-40000", "9", false},
        {Make<VLong8>(9), true, "-9223372036854775808", "-9223372036854775808", true},
        {Make<VLong8>(9), true, "9223372036854775808", "9", false},
        {Make<VReal>(7.0), true, "1,5", "1.5", true},
        {Make<VReal>(7.0), true, "1.5x", "7", false},
        {Make<VReal>(7.0), true, "", "7", false},
        {Make<VReal>(7.0), false, "2,25", "2", true},
        {Make<VUUID>(VUUID::Bytes{}), true, "{0123456789ab-cdef-0123-456789abcdef}", kDigits, true},
        {UUID(), true, "0123456789ABCDEF0123456789ABCDEF0", kDigits, false},
        {UUID(), true, "0123456789ABCDEF0123456789ABCDEG", kDigits, false},
        {UUID(), false, "zz", "null", true},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(Show(*row.value) + (row.xml ? " from XML " : " from ") + row.text);
        bool result = true;
        if (row.xml)
            result = row.value->FromXMLString(VString(row.text));
        else
            row.value->FromString(VString(row.text));
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(Show(*row.value), row.expected);
    }
    for (const char* text : {"", "-", "1 2", "12a", "40000", "1.5"})
        EXPECT_FALSE(VWord().FromXMLString(VString(text))) << text;
    EXPECT_FALSE(VReal().FromXMLString(VString(std::string(300, '1').c_str())));
    // Reading a null text gives a null value.
    VString nullText;
    nullText.SetNull();
    for (const Value& value : {Make<VBoolean>(true), Make<VLong>(1), Make<VReal>(1.0), UUID()}) {
        value->FromString(nullText);
        EXPECT_TRUE(value->IsNull()) << Show(*value);
    }
}

TEST(VValueSingleTest, Conversions) {
    struct Row {
        Value value;
        void (*change)(VValueSingle&);
        const char* expected; // Show afterwards
    };
    const Row kRows[] = {
        {Make<VBoolean>(false), [](VValueSingle& v) { v.FromLong(5); }, "true"},
        {Make<VBoolean>(true), [](VValueSingle& v) { v.FromValue(*Null<VLong>()); }, "null"},
        {Make<VLong>(1), [](VValueSingle& v) { v.FromReal(-7.9); }, "-7"},
        {Make<VLong>(1), [](VValueSingle& v) { v.FromReal(-2147483648.0); }, "-2147483648"},
        {Make<VByte>(int8_t{1}), [](VValueSingle& v) { v.FromLong8(-129); }, "0"},
        {Null<VLong8>(), [](VValueSingle& v) { v.FromLong8(INT64_MAX); }, "9223372036854775807"},
        {Make<VWord>(int16_t{1}), [](VValueSingle& v) { v.FromValue(VLong(-3)); }, "-3"},
        {Make<VReal>(1.0), [](VValueSingle& v) { v.FromValue(VString("2.5")); }, "2.5"},
        {Make<VString>("x"), [](VValueSingle& v) { v.FromValue(VLong(5)); }, "5"},
        {Make<VString>("x"), [](VValueSingle& v) { v.FromValue(*Null<VLong>()); }, "null"},
        {UUID(), [](VValueSingle& v) { v.FromLong8(1); }, "null"},
        {Null<VUUID>(), [](VValueSingle& v) { v.FromValue(*UUID()); }, kDigits},
        {Null<VUUID>(), [](VValueSingle& v) { v.FromValue(VString(kDigits)); }, kDigits},
    };
    for (const Row& row : kRows) {
        row.change(*row.value);
        EXPECT_EQ(Show(*row.value), row.expected);
    }
    // As 32-bit and 64-bit integers: 0 when out of range.
    const std::pair<Value, const char*> kNumbers[] = {
        {Make<VLong8>(int64_t{5000000000}), "0 5000000000"},
        {Make<VLong8>(int64_t{INT32_MIN}), "-2147483648 -2147483648"},
        {Make<VReal>(-3.9), "-3 -3"},
        {Make<VReal>(3e9), "0 3000000000"},
        {Make<VReal>(1e30), "0 0"},
        {Make<VReal>(NAN), "0 0"},
    };
    for (const auto& [value, expected] : kNumbers)
        EXPECT_EQ(std::to_string(value->GetLong()) + " " + std::to_string(value->GetLong8()), expected);
}

TEST(VValueSingleTest, EqualityNeedsTheSameKindValueAndNullFlag) {
    const Value kValues[] = {Make<VBoolean>(true),
                             Make<VBoolean>(false),
                             Null<VBoolean>(),
                             Make<VLong>(3),
                             Make<VLong>(0),
                             Null<VLong>(),
                             Make<VLong8>(3),
                             Make<VReal>(1.5),
                             Make<VReal>(2.5),
                             Null<VReal>(),
                             Make<VString>("a"),
                             Make<VString>("b"),
                             UUID(),
                             UUID("FEDCBA9876543210FEDCBA9876543210"),
                             Null<VUUID>()};
    for (size_t i = 0; i < std::size(kValues); ++i) {
        for (size_t j = 0; j < std::size(kValues); ++j) {
            std::unique_ptr<VValueSingle> copy(kValues[j]->Clone());
            EXPECT_EQ(kValues[i]->EqualToSameKind(*copy, true), i == j)
                << Show(*kValues[i]) << " " << Show(*copy);
        }
    }
    VUUID first = VUUID::Generate();
    VString text;
    first.GetString(text);
    EXPECT_TRUE(!(first == VUUID::Generate()) && text.GetLength() == 32 && text[12] == u'4'); // the version
}
