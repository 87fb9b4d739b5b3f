// Tests of JSON values: payload sharing, stamps, constants and the conversions of the accessors.
#include "JSONTestSupport.h"

#include "errors/StErrorContextInstaller.h"
#include "files/VFile.h"
#include "support/VTestTempFolder.h"
#include "text/VTime.h"
#include "json/VJSONArray.h"
#include "json/VJSONErrorCodes.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "json/VJSONWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace vkit;
using namespace vkit::testing;

namespace {

const ::testing::Environment* const sEnvironment =
    ::testing::AddGlobalTestEnvironment(new vkit::testing::JSONTestEnvironment);

VJSONValue NewArray() {
    VJSONArray* array = new VJSONArray;
    VJSONValue value(array);
    array->Release();
    return value;
}

VJSONValue NewObject() {
    VJSONObject* object = new VJSONObject;
    VJSONValue value(object);
    object->Release();
    return value;
}

} // namespace

TEST(VJSONValueTest, DefaultValueAndConstants) {
    VJSONValue value;
    EXPECT_TRUE(value.IsUndefined());
    EXPECT_EQ(VJSONValue::sNull.GetType(), eJSONNull);
    EXPECT_EQ(VJSONValue::sTrue.GetType(), eJSONTrue);
    EXPECT_EQ(VJSONValue::sFalse.GetType(), eJSONFalse);
    EXPECT_EQ(VJSONValue::sUndefined.GetType(), eJSONUndefined);
    EXPECT_EQ(VJSONValue::sNullText.ToUTF8(), "null");
    EXPECT_EQ(VJSONValue::sTrueText.ToUTF8(), "true");
    EXPECT_EQ(VJSONValue::sFalseText.ToUTF8(), "false");
    EXPECT_EQ(VJSONValue::sObjectText.ToUTF8(), "[object Object]");
    // The type numbers are part of the stored form.
    EXPECT_EQ(static_cast<uint32_t>(eJSONString), 3u);
    EXPECT_EQ(static_cast<uint32_t>(eJSONDate), 8u);
}

TEST(VJSONValueTest, StampsAdvanceOnConstructionCopyAndAssignment) {
    VJSONValue first(1.0);
    VJSONValue copy(first);
    EXPECT_NE(copy.GetStamp(), first.GetStamp());
    uint32_t before = copy.GetStamp();
    copy = first;
    EXPECT_NE(copy.GetStamp(), before);
    before = copy.GetStamp();
    copy.SetNumber(2);
    EXPECT_NE(copy.GetStamp(), before);
    EXPECT_EQ(VJSONValue::sStamp.load(), copy.GetStamp());
}

TEST(VJSONValueTest, CopiesShareStringBuffersAndContainers) {
    VJSONValue text(VString("shared text"));
    VJSONValue copy = text;
    ASSERT_NE(text.GetStringBuffer(), nullptr);
    EXPECT_EQ(text.GetStringBuffer(), copy.GetStringBuffer());
    EXPECT_EQ(text.GetStringBuffer()->GetRefCount(), 2);
    copy.SetNull();
    EXPECT_EQ(text.GetStringBuffer()->GetRefCount(), 1);

    VJSONValue object = NewObject();
    VJSONValue alias = object;
    alias.SetProperty("k", VJSONValue(5.0));
    EXPECT_EQ(object.GetProperty("k").GetNumber(), 5);
    EXPECT_EQ(object.GetObject()->GetRefCount(), 2);
}

TEST(VJSONValueTest, AssigningAMemberOfTheReleasedContainerIsSafe) {
    // The array holds the only reference to the object: assigning its element to the array's own
    // value releases the array while the element is being copied.
    VJSONValue value = NewArray();
    VJSONValue inner = NewObject();
    inner.SetProperty("x", VJSONValue(VString("kept")));
    value.GetArray()->Push(inner);
    inner.SetUndefined();
    value = (*value.GetArray())[0];
    ASSERT_TRUE(value.IsObject());
    EXPECT_EQ(TextOf(value.GetProperty("x")), "kept");

    VJSONValue moved = NewArray();
    moved.GetArray()->Push(VJSONValue(VString("element")));
    VJSONValue element = (*moved.GetArray())[0];
    moved = std::move(element);
    EXPECT_EQ(TextOf(moved), "element");
}

TEST(VJSONValueTest, NullAndEmptyStrings) {
    VString nullText;
    nullText.SetNull();
    EXPECT_TRUE(VJSONValue(nullText).IsNull());
    VJSONValue empty{VString("")};
    EXPECT_TRUE(empty.IsString());
    EXPECT_EQ(empty.GetStringBuffer(), nullptr);
    EXPECT_FALSE(empty.GetBool());
    VString text;
    empty.GetString(text);
    EXPECT_FALSE(text.IsNull());
    EXPECT_TRUE(text.IsEmpty());
}

TEST(VJSONValueTest, GetStringOfEveryKind) {
    VString text("not null");
    VJSONValue().GetString(text);
    EXPECT_TRUE(text.IsNull());
    VJSONValue::sNull.GetString(text);
    EXPECT_TRUE(text.IsNull());
    EXPECT_EQ(TextOf(VJSONValue::sTrue), "true");
    EXPECT_EQ(TextOf(VJSONValue::sFalse), "false");
    EXPECT_EQ(TextOf(VJSONValue(3.0)), "3");
    EXPECT_EQ(TextOf(VJSONValue(0.1)), "0.1");
    EXPECT_EQ(TextOf(VJSONValue(1e300)), "1E+300");
    EXPECT_EQ(TextOf(NewObject()), "[object Object]");

    VJSONValue date;
    date.SetDate(2024, 5, 6);
    EXPECT_EQ(TextOf(date), "2024-05-06");

    // Arrays join their elements' texts; nested arrays are flattened, null gives nothing.
    VJSONValue array = NewArray();
    VJSONValue nested = NewArray();
    nested.GetArray()->Push(VJSONValue(2.0));
    nested.GetArray()->Push(VJSONValue(3.0));
    array.GetArray()->Push(VJSONValue(1.0));
    array.GetArray()->Push(VJSONValue(VString("a")));
    array.GetArray()->Push(nested);
    array.GetArray()->Push(NewObject());
    array.GetArray()->Push(VJSONValue::sNull);
    array.GetArray()->Push(VJSONValue::sTrue);
    EXPECT_EQ(TextOf(array), "1,a,2,3,[object Object],,true");
}

TEST(VJSONValueTest, GetStringOfAnArrayInsideItselfRaisesTheCycleError) {
    VJSONValue array = NewArray();
    array.GetArray()->Push(VJSONValue(1.0));
    array.GetArray()->Push(array);
    // The same array twice side by side is no cycle.
    VJSONValue twice = NewArray();
    VJSONValue leaf = NewArray();
    leaf.GetArray()->Push(VJSONValue(7.0));
    twice.GetArray()->Push(leaf);
    twice.GetArray()->Push(leaf);
    {
        StErrorContextInstaller errors(false);
        EXPECT_EQ(TextOf(array), "1,");
        ASSERT_EQ(errors.GetContext()->GetErrors().size(), 1u);
        EXPECT_EQ(errors.GetLastError(), VE_JSON_CIRCULAR_REFERENCE);
    }
    {
        StErrorContextInstaller errors(false);
        EXPECT_EQ(TextOf(twice), "7,7");
        EXPECT_TRUE(errors.GetContext()->IsEmpty());
    }
    array.GetArray()->Resize(0); // breaks the cycle so that the array can be freed
}

TEST(VJSONValueTest, GetNumberConversions) {
    EXPECT_EQ(VJSONValue(VString("0x1F")).GetNumber(), 31);
    EXPECT_EQ(VJSONValue(VString("0X1f")).GetNumber(), 31);
    EXPECT_EQ(VJSONValue(VString("0x")).GetNumber(), 0);
    EXPECT_EQ(VJSONValue(VString("abc")).GetNumber(), 0);
    EXPECT_EQ(VJSONValue(VString("12.5")).GetNumber(), 12.5);
    EXPECT_EQ(VJSONValue(VString("-3e2")).GetNumber(), -300);
    EXPECT_EQ(VJSONValue(VString("")).GetNumber(), 0);
    EXPECT_EQ(VJSONValue::sTrue.GetNumber(), 1);
    EXPECT_EQ(VJSONValue::sFalse.GetNumber(), 0);
    EXPECT_EQ(VJSONValue::sNull.GetNumber(), 0);
    EXPECT_EQ(NewObject().GetNumber(), 0);
    VJSONValue date;
    date.SetDate(2024, 1, 1);
    EXPECT_EQ(date.GetNumber(), 0);
}

TEST(VJSONValueTest, GetBoolRules) {
    EXPECT_TRUE(VJSONValue::sTrue.GetBool());
    EXPECT_FALSE(VJSONValue::sFalse.GetBool());
    EXPECT_FALSE(VJSONValue::sNull.GetBool());
    EXPECT_FALSE(VJSONValue().GetBool());
    EXPECT_TRUE(NewObject().GetBool());
    EXPECT_TRUE(NewArray().GetBool());
    EXPECT_TRUE(VJSONValue(VString("false")).GetBool());
    EXPECT_FALSE(VJSONValue(VString("")).GetBool());
    EXPECT_TRUE(VJSONValue(-0.5).GetBool());
    EXPECT_FALSE(VJSONValue(0.0).GetBool());
    EXPECT_TRUE(VJSONValue(std::numeric_limits<double>::quiet_NaN()).GetBool());
    VJSONValue date;
    date.SetDate(0, 0, 0);
    EXPECT_FALSE(date.GetBool());
    date.SetDate(0, 0, 1);
    EXPECT_TRUE(date.GetBool());
}

TEST(VJSONValueTest, DatesKeepTheirParts) {
    VJSONValue date;
    date.SetDate(-44, 3, 15);
    int32_t year = 0, month = 0, day = 0;
    ASSERT_TRUE(date.GetDate(year, month, day));
    EXPECT_EQ(year, -44);
    EXPECT_EQ(month, 3);
    EXPECT_EQ(day, 15);
    EXPECT_EQ(date.GetDateWord(), (static_cast<uint32_t>(static_cast<uint16_t>(-44)) << 16) | 0x030F);
    EXPECT_FALSE(VJSONValue(1.0).GetDate(year, month, day));
    EXPECT_EQ(year + month + day, 0);
}

TEST(VJSONValueTest, PropertiesOfNonObjects) {
    VJSONValue number(1.0);
    EXPECT_TRUE(number.GetProperty("a").IsUndefined());
    number.SetProperty("a", VJSONValue(2.0));
    EXPECT_TRUE(number.IsNumber());
    VJSONValue object = NewObject();
    EXPECT_TRUE(object.GetProperty("missing").IsUndefined());
    VJSONObject* none = nullptr;
    EXPECT_TRUE(VJSONValue(none).IsNull());
}

TEST(VJSONValueTest, TimesBecomeDatesOfTheirUTCParts) {
    VTime time;
    time.FromUTCTime(2024, 5, 6, 23, 59, 59, 999);
    VJSONValue date(time);
    ASSERT_TRUE(date.IsDate());
    EXPECT_EQ(TextOf(date), "2024-05-06");
    VTime back;
    ASSERT_TRUE(date.GetTime(back));
    EXPECT_EQ(back.GetYear(), 2024);
    EXPECT_EQ(back.GetDay(), 6);
    EXPECT_EQ(back.GetTimeOfDay(), 0u);
    EXPECT_TRUE(VJSONValue(VTime()).IsNull());
    EXPECT_FALSE(VJSONValue(1.0).GetTime(back));
    EXPECT_TRUE(back.IsNull());
}

TEST(VJSONValueTest, SaveToFileAndLoadFromFile) {
    VTestTempFolder folder;
    VFile file(VString((folder / "sub/saved.json").c_str()), FilePathStyle::Posix);
    VJSONValue value;
    StErrorContextInstaller errors(false);
    ASSERT_EQ(value.ParseFromString("{\"name\":\"\xC3\xA9t\xC3\xA9\",\"when\":\"2024-05-06\"}", true, true),
              VE_OK);
    ASSERT_EQ(value.SaveToFile(file, VJSONWriter::kQuoteStrings), VE_OK);
    EXPECT_EQ(ReadFile(folder / "sub/saved.json"),
              "{\"name\":\"\xC3\xA9t\xC3\xA9\",\"when\":\"2024-05-06\"}");

    VJSONValue loaded;
    ASSERT_EQ(loaded.LoadFromFile(file), VE_OK);
    EXPECT_EQ(TextOf(loaded.GetProperty("name")), "\xC3\xA9t\xC3\xA9");
    EXPECT_TRUE(loaded.GetProperty("when").IsString());
    ASSERT_EQ(loaded.LoadFromFile(file, true), VE_OK);
    EXPECT_TRUE(loaded.GetProperty("when").IsDate());

    // A file that cannot be read leaves the value as it was and returns the file's error.
    VFile missing(VString((folder / "missing.json").c_str()), FilePathStyle::Posix);
    VError error = loaded.LoadFromFile(missing);
    EXPECT_NE(error, VE_OK);
    EXPECT_NE(error, VE_JSON_MALFORMED);
    EXPECT_EQ(errors.GetLastError(), error);
    EXPECT_TRUE(loaded.IsObject());

    // A cycle writes nothing.
    VJSONValue cycle = NewArray();
    cycle.GetArray()->Push(cycle);
    EXPECT_EQ(cycle.SaveToFile(file, VJSONWriter::kQuoteStrings), VE_JSON_CIRCULAR_REFERENCE);
    EXPECT_EQ(ReadFile(folder / "sub/saved.json"),
              "{\"name\":\"\xC3\xA9t\xC3\xA9\",\"when\":\"2024-05-06\"}");
    cycle.GetArray()->Resize(0);
}
