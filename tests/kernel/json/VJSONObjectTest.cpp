// Tests of JSON objects: insertion order, replacement, removal and lookups through the name index.
#include "JSONTestSupport.h"

#include "json/VJSONObject.h"

#include <gtest/gtest.h>

#include <string>

using namespace vkit;
using namespace vkit::testing;

namespace {

VString Name(int inIndex) {
    return VString(("name" + std::to_string(inIndex)).c_str());
}

std::vector<std::string> NamesOf(const VJSONObject& inObject) {
    std::vector<std::string> names;
    VString name;
    VJSONValue value;
    for (VIndex i = 0; inObject.GetPropertyByIndex(i, name, value); ++i)
        names.push_back(name.ToUTF8());
    return names;
}

} // namespace

TEST(VJSONObjectTest, PropertiesKeepInsertionOrderThroughReplaceAndRemove) {
    VJSONObject* object = new VJSONObject;
    EXPECT_TRUE(object->IsEmpty());
    object->SetProperty("z", VJSONValue(1.0));
    object->SetProperty("a", VJSONValue(2.0));
    object->SetProperty("m", VJSONValue(3.0));
    object->SetProperty("z", VJSONValue(4.0)); // replaced in place
    EXPECT_EQ(NamesOf(*object), (std::vector<std::string>{"z", "a", "m"}));
    EXPECT_EQ(object->GetProperty("z").GetNumber(), 4);
    EXPECT_TRUE(object->RemoveProperty("a"));
    EXPECT_FALSE(object->RemoveProperty("a"));
    EXPECT_EQ(NamesOf(*object), (std::vector<std::string>{"z", "m"}));
    object->SetProperty("a", VJSONValue(5.0));
    EXPECT_EQ(NamesOf(*object), (std::vector<std::string>{"z", "m", "a"}));

    VString name("unchanged");
    VJSONValue value(9.0);
    EXPECT_FALSE(object->GetPropertyByIndex(3, name, value));
    EXPECT_FALSE(object->GetPropertyByIndex(-1, name, value));
    EXPECT_EQ(name.ToUTF8(), "unchanged");
    EXPECT_EQ(value.GetNumber(), 9);
    object->Release();
}

TEST(VJSONObjectTest, NamesAreComparedExactly) {
    VJSONObject* object = new VJSONObject;
    object->SetProperty("Name", VJSONValue(1.0));
    object->SetProperty("name", VJSONValue(2.0));
    object->SetProperty("", VJSONValue(3.0));
    object->SetProperty("\xC3\xA9", VJSONValue(4.0));  // é composed
    object->SetProperty("e\xCC\x81", VJSONValue(5.0)); // é decomposed
    EXPECT_EQ(object->GetCountPropertiesByIndex(), 5);
    EXPECT_EQ(object->GetProperty("Name").GetNumber(), 1);
    EXPECT_EQ(object->GetProperty("").GetNumber(), 3);
    EXPECT_EQ(object->GetProperty("e\xCC\x81").GetNumber(), 5);
    EXPECT_FALSE(object->HasProperty("NAME"));
    object->Release();
}

TEST(VJSONObjectTest, LargeObjectsFindEveryPropertyAfterChanges) {
    // Past a few properties lookups go through the index: growth, replacement and removal must keep
    // it right.
    VJSONObject* object = new VJSONObject;
    const int count = 1000;
    for (int i = 0; i < count; ++i)
        object->SetProperty(Name(i), VJSONValue(static_cast<double>(i)));
    for (int i = 0; i < count; i += 7)
        object->SetProperty(Name(i), VJSONValue(static_cast<double>(-i)));
    for (int i = 0; i < count; i += 3)
        ASSERT_TRUE(object->RemoveProperty(Name(i)));
    for (int i = 0; i < count; ++i) {
        const VJSONValue* value = object->FindProperty(Name(i).View());
        if (i % 3 == 0) {
            EXPECT_EQ(value, nullptr) << i;
        } else {
            ASSERT_NE(value, nullptr) << i;
            EXPECT_EQ(value->GetNumber(), i % 7 == 0 ? -i : i) << i;
        }
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
    object->Release();
}
