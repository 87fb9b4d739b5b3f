// Tests of JSON objects: insertion order, replacement, removal and lookups through the name index.
#include "JSONTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace vkit;
using namespace vkit::testing;

namespace {

VString Name(int inIndex) {
    return VString(("name" + std::to_string(inIndex)).c_str());
}

TEST(VJSONObjectTest, PropertiesKeepInsertionOrderThroughReplaceAndRemove) {
    VJSONValue value = Parsed("{}");
    VJSONObject* object = value.GetObject();
    EXPECT_TRUE(object->IsEmpty());
    for (const char* name : {"z", "a", "m", "z"}) // a name set again is replaced in its place
        object->SetProperty(name, VJSONValue(static_cast<double>(object->GetCountPropertiesByIndex() + 1)));
    EXPECT_EQ(JSONOf(value), R"({"z":4,"a":2,"m":3})");
    EXPECT_TRUE(object->RemoveProperty("a"));
    EXPECT_FALSE(object->RemoveProperty("a"));
    object->SetProperty("a", VJSONValue(5.0));
    EXPECT_EQ(JSONOf(value), R"({"z":4,"m":3,"a":5})");
    VString name("unchanged");
    VJSONValue property(9.0);
    EXPECT_TRUE(object->GetPropertyByIndex(2, name, property));
    EXPECT_EQ(name.ToUTF8() + JSONOf(property), "a5");
    EXPECT_FALSE(object->GetPropertyByIndex(3, name, property));
    EXPECT_FALSE(object->GetPropertyByIndex(-1, name, property));
    EXPECT_EQ(name.ToUTF8() + JSONOf(property), "a5");
    // Names are compared exactly: case, the empty name, composed and decomposed forms.
    for (const char* other : {"Z", "", "\xC3\xA9", "e\xCC\x81"})
        object->SetProperty(other, VJSONValue(VString(other)));
    EXPECT_EQ(JSONOf(value), "{\"z\":4,\"m\":3,\"a\":5,\"Z\":\"Z\",\"\":\"\",\"\xC3\xA9\":\"\xC3\xA9\","
                             "\"e\xCC\x81\":\"e\xCC\x81\"}");
    EXPECT_FALSE(object->HasProperty("A"));
    EXPECT_TRUE(object->GetProperty("missing").IsUndefined());
}

TEST(VJSONObjectTest, LargeObjectsFindEveryPropertyAfterChanges) {
    // Past a few properties lookups go through the index: growth, replacement and removal must keep it right.
    VJSONValue value = Parsed("{}");
    VJSONObject* object = value.GetObject();
    const int count = 1000;
    for (int i = 0; i < count; ++i)
        object->SetProperty(Name(i), VJSONValue(static_cast<double>(i)));
    for (int i = 0; i < count; i += 7)
        object->SetProperty(Name(i), VJSONValue(static_cast<double>(-i)));
    for (int i = 0; i < count; i += 3)
        ASSERT_TRUE(object->RemoveProperty(Name(i)));
    for (int i = 0; i < count; ++i) {
        const VJSONValue* found = object->FindProperty(Name(i).View());
        EXPECT_EQ(found != nullptr ? found->GetNumber() : -1.5, i % 3 == 0 ? -1.5 : i % 7 == 0 ? -i : i) << i;
    }
    EXPECT_EQ(object->GetCountPropertiesByIndex(), count - (count + 2) / 3);
    EXPECT_EQ(object->GetNameAt(0), u"name1");
    // Shrinking back below the index threshold and growing again.
    for (int i = 0; i < count; ++i)
        object->RemoveProperty(Name(i));
    EXPECT_TRUE(object->IsEmpty());
    for (int i = 0; i < 20; ++i)
        object->SetProperty(Name(i), VJSONValue(static_cast<double>(i)));
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(object->GetProperty(Name(i)).GetNumber(), i);
}

} // namespace
