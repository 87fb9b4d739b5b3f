// Tests of JSON arrays: growth by index, removal ranges and copies.
#include "JSONTestSupport.h"

#include <gtest/gtest.h>

using namespace vkit;
using namespace vkit::testing;

namespace {

TEST(VJSONArrayTest, ChangesByIndex) {
    VJSONValue value = Parsed("[]");
    VJSONArray* array = value.GetArray();
    array->SetAt(2, VJSONValue(3.0)); // grows with undefined, written null
    EXPECT_EQ(JSONOf(value) + JSONOf(array->GetAt(0)) + JSONOf(array->GetAt(3)),
              "[null,null,3]undefinedundefined");
    array->SetAt(8, (*array)[2]); // an element of the array itself survives the growth that moves it
    EXPECT_EQ(JSONOf(array->GetAt(8)), "3");
    value = Parsed("[0,1,2,3,4,5]");
    array = value.GetArray();
    array->RemoveAt(1, 2);
    EXPECT_EQ(JSONOf(value), "[0,3,4,5]");
    array->RemoveAt(2, 100);
    array->RemoveAt(5);
    EXPECT_EQ(JSONOf(value), "[0,3]");
    array->Resize(3);
    EXPECT_EQ(JSONOf(value) + JSONOf(array->GetAt(2)), "[0,3,null]undefined");
    array->Resize(1);
    std::vector<VJSONValue> values;
    array->GetValues(values);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(JSONOf(values[0]), "0");
}

} // namespace
