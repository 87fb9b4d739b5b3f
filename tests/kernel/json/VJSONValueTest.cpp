// Tests of JSON values, objects and arrays: conversions, sharing, dates, files, the name index, the
// deferred destruction of nested containers and the JSON form of errors.
#include "JSONTestSupport.h"

#include "files/VFile.h"
#include "support/VTestTempFolder.h"
#include "text/VTime.h"
#include "json/VJSONErrors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

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
    // A value, then its GetString ("<null>" for a null text), GetNumber as JSON and GetBool.
    const std::pair<const char*, const char*> cases[] = {
        {"undefined", "<null> 0 false"},
        {"null", "<null> 0 false"},
        {"true", "true 1 true"},
        {"false", "false 0 false"},
        {"0.1", "0.1 0.1 true"},
        {"1e300", "1E+300 1E+300 true"},
        {"0", "0 0 false"},
        {"NaN", "null null true"},
        {R"("0X1f")", "0X1f 31 true"},
        {R"("0x")", "0x 0 true"},
        {R"("abc")", "abc 0 true"},
        {R"("-3e2")", "-3e2 -300 true"},
        {R"("")", " 0 false"},
        {R"([1,"a",[2,3],{},null,true])", "1,a,2,3,[object Object],,true 0 true"},
        {"date 987 1 2", "0987-01-02 0 true"},
        {"date 0 0 0", "0000-00-00 0 false"}};
    for (const auto& [json, expected] : cases) {
        VJSONValue value = Make(json);
        VString text("stale");
        value.GetString(text);
        EXPECT_EQ((text.IsNull() ? "<null>" : text.ToUTF8()) + " " + JSONOf(VJSONValue(value.GetNumber())) +
                      (value.GetBool() ? " true" : " false"),
                  expected)
            << json;
    }
}

TEST(VJSONValueTest, CopiesShareTheirPayloadAndTakeANewStamp) {
    VJSONValue shared(VString("shared text")), copy = shared;
    EXPECT_NE(copy.GetStamp(), shared.GetStamp());
    EXPECT_EQ(shared.GetStringBuffer(), copy.GetStringBuffer());
    VJSONValue object = Make("{}"), alias = object;
    alias.SetProperty("k", VJSONValue(5.0));
    EXPECT_EQ(JSONOf(object), R"({"k":5})");
    // Assigning a member of a container that only the value holds releases it while the member is copied.
    VJSONValue value = Make(R"([{"x":"kept"}])");
    value = (*value.GetArray())[0];
    EXPECT_EQ(JSONOf(value), R"({"x":"kept"})");
    // Properties of what is no object are undefined; setting one does nothing.
    VJSONValue number(1.0);
    number.SetProperty("a", VJSONValue(2.0));
    EXPECT_EQ(JSONOf(number.GetProperty("a")) + JSONOf(number) + JSONOf(object.GetProperty("m")),
              "undefined1undefined");
    EXPECT_TRUE(VJSONValue(static_cast<VJSONArray*>(nullptr)).IsNull());
    // An array inside itself is written up to the cycle, which is reported.
    VJSONValue array = Make("[1]");
    array.GetArray()->Push(array);
    StErrorContextInstaller errors(false);
    std::string text = TextOf(array);
    EXPECT_EQ(text + ErrorsOf(*errors.GetContext()), "1, 900");
    array.GetArray()->Resize(0); // breaks the cycle so that the array can be freed
}

TEST(VJSONValueTest, DatesKeepTheirPartsAndTimesTheirUTCDate) {
    VJSONValue date = Make("date -44 3 15");
    int32_t year = 0, month = 0, day = 0;
    ASSERT_TRUE(date.GetDate(year, month, day));
    EXPECT_EQ(std::to_string(year) + " " + std::to_string(month) + " " + std::to_string(day), "-44 3 15");
    EXPECT_FALSE(VJSONValue(1.0).GetDate(year, month, day));
    VTime time, back;
    time.FromUTCTime(2024, 5, 6, 23, 59, 59, 999);
    date = VJSONValue(time);
    ASSERT_TRUE(date.GetTime(back));
    time.FromUTCTime(2024, 5, 6, 0, 0, 0, 0);
    EXPECT_EQ(back, time);
}

TEST(VJSONValueTest, SaveToFileAndLoadFromFile) {
    VTestTempFolder folder;
    VFile file(VString((folder / "sub/saved.json").c_str()), FilePathStyle::Posix);
    const std::string saved = "{\"name\":\"\xC3\xA9t\xC3\xA9\",\"when\":\"2024-05-06\"}";
    StErrorContextInstaller errors(false);
    ASSERT_EQ(Make(saved.c_str()).SaveToFile(file, VJSONWriter::kQuoteStrings), VE_OK);
    VJSONValue loaded;
    ASSERT_EQ(loaded.LoadFromFile(file), VE_OK);
    EXPECT_EQ(JSONOf(loaded), saved);
    ASSERT_EQ(loaded.LoadFromFile(file, true), VE_OK);
    EXPECT_TRUE(loaded.GetProperty("when").IsDate());
    // A file that cannot be read leaves the value as it was and returns the file's error.
    VFile missing(VString((folder / "missing.json").c_str()), FilePathStyle::Posix);
    VError error = loaded.LoadFromFile(missing);
    EXPECT_NE(error, VE_OK);
    EXPECT_EQ(errors.GetLastError(), error);
    EXPECT_TRUE(loaded.IsObject());
}

TEST(VJSONValueTest, ObjectsKeepInsertionOrderAndFindEveryPropertyAfterChanges) {
    VJSONValue value = Parsed("{}");
    VJSONObject* object = value.GetObject();
    for (const char* name : {"z", "a", "m", "z"}) // a name set again is replaced in its place
        object->SetProperty(name, VJSONValue(static_cast<double>(object->GetCountPropertiesByIndex() + 1)));
    EXPECT_TRUE(object->RemoveProperty("a"));
    EXPECT_FALSE(object->RemoveProperty("a"));
    object->SetProperty("a", VJSONValue(5.0));
    // Names are compared exactly: case, the empty name, composed and decomposed forms.
    for (const char* other : {"Z", "", "\xC3\xA9", "e\xCC\x81"})
        object->SetProperty(other, VJSONValue(VString(other)));
    EXPECT_EQ(JSONOf(value), "{\"z\":4,\"m\":3,\"a\":5,\"Z\":\"Z\",\"\":\"\",\"\xC3\xA9\":\"\xC3\xA9\","
                             "\"e\xCC\x81\":\"e\xCC\x81\"}");
    VString name;
    VJSONValue property;
    EXPECT_TRUE(object->GetPropertyByIndex(2, name, property));
    EXPECT_EQ(name.ToUTF8() + JSONOf(property), "a5");
    EXPECT_FALSE(object->GetPropertyByIndex(7, name, property));

    // Past a few properties lookups go through the index: growth, replacement and removal must keep it right.
    value = Parsed("{}");
    object = value.GetObject();
    auto name_of = [](int inIndex) { return VString(("name" + std::to_string(inIndex)).c_str()); };
    const int count = 1000;
    for (int i = 0; i < count; ++i)
        object->SetProperty(name_of(i), VJSONValue(static_cast<double>(i)));
    for (int i = 0; i < count; i += 7)
        object->SetProperty(name_of(i), VJSONValue(static_cast<double>(-i)));
    for (int i = 0; i < count; i += 3)
        ASSERT_TRUE(object->RemoveProperty(name_of(i)));
    for (int i = 0; i < count; ++i) {
        const VJSONValue* found = object->FindProperty(name_of(i).View());
        EXPECT_EQ(found != nullptr ? found->GetNumber() : -1.5, i % 3 == 0 ? -1.5 : i % 7 == 0 ? -i : i) << i;
    }
}

TEST(VJSONValueTest, ArraysChangeByIndex) {
    VJSONValue value = Parsed("[]");
    VJSONArray* array = value.GetArray();
    array->SetAt(2, VJSONValue(3.0)); // grows with undefined, written null
    array->SetAt(8, (*array)[2]);     // an element of the array itself survives the growth that moves it
    EXPECT_EQ(JSONOf(value) + JSONOf(array->GetAt(0)) + JSONOf(array->GetAt(9)),
              "[null,null,3,null,null,null,null,null,3]undefinedundefined");
    value = Parsed("[0,1,2,3,4,5]");
    array = value.GetArray();
    array->RemoveAt(1, 2);
    array->RemoveAt(3, 100);
    array->Resize(4);
    EXPECT_EQ(JSONOf(value), "[0,3,4,null]");
}

TEST(VJSONValueTest, DeepValuesAreFreedOnATaskStackAndSharedMembersSurvive) {
    // Arrays nested inArrays deep inside objects nested inObjects deep.
    auto chain = [](int inArrays, int inObjects) {
        VJSONValue outer;
        for (int i = 0; i < inArrays + inObjects; ++i) {
            VJSONValue container = Parsed(i < inArrays ? "[]" : "{}");
            if (i < inArrays)
                container.GetArray()->Push(std::move(outer));
            else
                container.SetProperty("inner", outer);
            outer = std::move(container);
        }
        return outer;
    };
    // Half a million levels of each kind freed recursively would take far more than a task's stack.
    RunOnTask([&] { chain(500000, 500000).SetUndefined(); });
    VJSONValue outer = chain(5, 5);
    VJSONValue kept = outer.GetProperty("inner").GetProperty("inner").GetProperty("inner");
    outer.SetUndefined();
    EXPECT_EQ(JSONOf(kept), R"({"inner":{"inner":[[[[[null]]]]]}})");
}

TEST(VJSONValueTest, ErrorContextBecomesAnArrayOfErrorObjectsInOrder) {
    VErrorContext context;
    VJSONValue value(1.0);
    VJSONErrors::SaveToJSONArray(context, value);
    EXPECT_TRUE(value.IsUndefined());
    for (VError code : {MakeVError(MakeOsType("UPZQ"), 41), MakeVError(kComponentCarbon, -43)}) {
        VErrorBase* error = new VErrorBase(code);
        error->GetBag().SetString("error_description", "Client file {file} unusable");
        error->GetBag().SetString("file", "/a.json");
        context.PushError(error);
        error->Release();
    }
    VJSONErrors::SaveToJSONArray(context, value);
    EXPECT_EQ(JSONOf(value),
              R"([{"errCode":41,"componentSignature":"UPZQ","message":"Client file /a.json unusable"},)"
              R"({"errCode":-43,"componentSignature":"CARB","message":"Operating system status -43."}])");
}

} // namespace
