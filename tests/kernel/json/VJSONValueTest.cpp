// Tests of JSON values: the conversions of the accessors, payload sharing, stamps, dates and files.
#include "JSONTestSupport.h"

#include "files/VFile.h"
#include "support/VTestTempFolder.h"
#include "text/VTime.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace vkit;
using namespace vkit::testing;

namespace {

/// A value from a JSON text; "undefined", "NaN" and "date Y M D" make those values.
VJSONValue Make(const char* inText) {
    VJSONValue value;
    int year = 0, month = 0, day = 0;
    if (std::sscanf(inText, "date %d %d %d", &year, &month, &day) == 3)
        value.SetDate(year, month, day);
    else if (std::string(inText) == "NaN")
        value.SetNumber(NAN);
    else if (std::string(inText) != "undefined")
        value = Parsed(inText);
    return value;
}

TEST(VJSONValueTest, Conversions) {
    struct Case {
        const char* fValue;
        const char* fText; // GetString; "<null>" for a null text
        double fNumber;
        bool fBool;
    };
    const Case cases[] = {
        {"undefined", "<null>", 0, false},
        {"null", "<null>", 0, false},
        {"true", "true", 1, true},
        {"false", "false", 0, false},
        {"3", "3", 3, true},
        {"0.1", "0.1", 0.1, true},
        {"1e300", "1E+300", 1e300, true},
        {"-0.5", "-0.5", -0.5, true},
        {"0", "0", 0, false},
        {"NaN", "null", NAN, true},
        {R"("0x1F")", "0x1F", 31, true},
        {R"("0X1f")", "0X1f", 31, true},
        {R"("0x")", "0x", 0, true},
        {R"("abc")", "abc", 0, true},
        {R"("12.5")", "12.5", 12.5, true},
        {R"("-3e2")", "-3e2", -300, true},
        {R"("false")", "false", 0, true},
        {R"("")", "", 0, false},
        {"{}", "[object Object]", 0, true},
        {R"([1,"a",[2,3],{},null,true])", "1,a,2,3,[object Object],,true", 0, true},
        {"[]", "", 0, true},
        {"date 2024 5 6", "2024-05-06", 0, true},
        {"date 987 1 2", "0987-01-02", 0, true},
        {"date 0 0 1", "0000-00-01", 0, true},
        {"date 0 0 0", "0000-00-00", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fValue);
        VJSONValue value = Make(c.fValue);
        VString text("stale");
        value.GetString(text);
        EXPECT_EQ(text.IsNull() ? "<null>" : text.ToUTF8(), c.fText);
        if (std::isnan(c.fNumber))
            EXPECT_TRUE(std::isnan(value.GetNumber()));
        else
            EXPECT_EQ(value.GetNumber(), c.fNumber);
        EXPECT_EQ(value.GetBool(), c.fBool);
    }
    VString nullText;
    nullText.SetNull();
    EXPECT_TRUE(VJSONValue(nullText).IsNull());
    EXPECT_EQ(VJSONValue(VString("")).GetStringBuffer(), nullptr); // the empty string has no buffer
}

TEST(VJSONValueTest, CopiesShareTheirPayloadAndTakeANewStamp) {
    VJSONValue text(VString("shared text"));
    VJSONValue copy = text;
    EXPECT_NE(copy.GetStamp(), text.GetStamp());
    EXPECT_EQ(text.GetStringBuffer(), copy.GetStringBuffer());
    EXPECT_EQ(text.GetStringBuffer()->GetRefCount(), 2);
    uint32_t stamp = copy.GetStamp();
    copy.SetNull();
    EXPECT_EQ(text.GetStringBuffer()->GetRefCount(), 1);
    EXPECT_NE(copy.GetStamp(), stamp);
    copy = text;
    EXPECT_EQ(VJSONValue::sStamp.load(), copy.GetStamp());

    VJSONValue object = Make("{}");
    VJSONValue alias = object;
    alias.SetProperty("k", VJSONValue(5.0));
    EXPECT_EQ(JSONOf(object), R"({"k":5})");
    EXPECT_EQ(object.GetObject()->GetRefCount(), 2);
    // Assigning a member of a container that only the value holds releases it while the member is copied.
    VJSONValue value = Make(R"([{"x":"kept"}])");
    value = (*value.GetArray())[0];
    EXPECT_EQ(JSONOf(value), R"({"x":"kept"})");
    VJSONValue moved = Make(R"(["element"])");
    VJSONValue element = (*moved.GetArray())[0];
    moved = std::move(element);
    EXPECT_EQ(JSONOf(moved), R"("element")");
    // Properties of what is no object are undefined; setting one does nothing.
    VJSONValue number(1.0);
    number.SetProperty("a", VJSONValue(2.0));
    EXPECT_EQ(JSONOf(number.GetProperty("a")) + JSONOf(number) + JSONOf(object.GetProperty("m")),
              "undefined1undefined");
    EXPECT_TRUE(VJSONValue(static_cast<VJSONObject*>(nullptr)).IsNull());
}

TEST(VJSONValueTest, ArrayInsideItselfRaisesTheCycleError) {
    VJSONValue array = Make("[1]");
    array.GetArray()->Push(array);
    VJSONValue twice = Make("[]"), leaf = Make("[7]"); // the same array twice side by side is no cycle
    twice.GetArray()->Push(leaf);
    twice.GetArray()->Push(leaf);
    StErrorContextInstaller errors(false);
    EXPECT_EQ(TextOf(twice), "7,7");
    EXPECT_TRUE(errors.GetContext()->IsEmpty());
    EXPECT_EQ(TextOf(array), "1,");
    EXPECT_EQ(ErrorsOf(*errors.GetContext()), " 900");
    array.GetArray()->Resize(0); // breaks the cycle so that the array can be freed
}

TEST(VJSONValueTest, DatesKeepTheirPartsAndTimesTheirUTCDate) {
    VJSONValue date = Make("date -44 3 15");
    int32_t year = 0, month = 0, day = 0;
    ASSERT_TRUE(date.GetDate(year, month, day));
    EXPECT_EQ(std::to_string(year) + " " + std::to_string(month) + " " + std::to_string(day), "-44 3 15");
    EXPECT_EQ(date.GetDateWord(), (static_cast<uint32_t>(static_cast<uint16_t>(-44)) << 16) | 0x030F);
    EXPECT_FALSE(VJSONValue(1.0).GetDate(year, month, day));
    EXPECT_EQ(year + month + day, 0);

    VTime time;
    time.FromUTCTime(2024, 5, 6, 23, 59, 59, 999);
    date = VJSONValue(time);
    EXPECT_EQ(TextOf(date), "2024-05-06");
    VTime back;
    ASSERT_TRUE(date.GetTime(back));
    time.FromUTCTime(2024, 5, 6, 0, 0, 0, 0);
    EXPECT_EQ(back, time);
    EXPECT_TRUE(VJSONValue(VTime()).IsNull());
    EXPECT_FALSE(VJSONValue(1.0).GetTime(back));
    EXPECT_TRUE(back.IsNull());
}

TEST(VJSONValueTest, SaveToFileAndLoadFromFile) {
    VTestTempFolder folder;
    VFile file(VString((folder / "sub/saved.json").c_str()), FilePathStyle::Posix);
    const std::string saved = "{\"name\":\"\xC3\xA9t\xC3\xA9\",\"when\":\"2024-05-06\"}";
    StErrorContextInstaller errors(false);
    ASSERT_EQ(Make(saved.c_str()).SaveToFile(file, VJSONWriter::kQuoteStrings), VE_OK);
    EXPECT_EQ(ReadFile(folder / "sub/saved.json"), saved);
    VJSONValue loaded;
    ASSERT_EQ(loaded.LoadFromFile(file), VE_OK);
    EXPECT_EQ(JSONOf(loaded), saved);
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
    VJSONValue cycle = Make("[]");
    cycle.GetArray()->Push(cycle);
    EXPECT_EQ(cycle.SaveToFile(file, VJSONWriter::kQuoteStrings), VE_JSON_CIRCULAR_REFERENCE);
    EXPECT_EQ(ReadFile(folder / "sub/saved.json"), saved);
    cycle.GetArray()->Resize(0);
}

} // namespace
