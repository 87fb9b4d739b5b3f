// Tests of JSON arrays: growth by index, removal ranges and copies.
#include "JSONTestSupport.h"

#include "json/VJSONArray.h"

#include <gtest/gtest.h>

using namespace vkit;
using namespace vkit::testing;

namespace {

std::string Numbers(const VJSONArray& inArray) {
    std::string text;
    for (size_t i = 0; i < inArray.GetCount(); ++i) {
        if (i > 0)
            text += ",";
        text += inArray[i].IsUndefined() ? "u" : TextOf(inArray[i]);
    }
    return text;
}

} // namespace

TEST(VJSONArrayTest, SetAtGrowsWithUndefinedAndGetAtPastTheEndIsUndefined) {
    VJSONArray* array = new VJSONArray;
    array->SetAt(2, VJSONValue(3.0));
    EXPECT_EQ(Numbers(*array), "u,u,3");
    EXPECT_TRUE(array->GetAt(3).IsUndefined());
    // An element of the array itself survives the growth that moves it.
    array->SetAt(100, (*array)[2]);
    EXPECT_EQ(array->GetAt(100).GetNumber(), 3);
    array->Release();
}

TEST(VJSONArrayTest, RemoveAtIsClampedAndResizeCutsOrGrows) {
    VJSONArray* array = new VJSONArray;
    for (int i = 0; i < 6; ++i)
        array->Push(VJSONValue(static_cast<double>(i)));
    array->RemoveAt(1, 2);
    EXPECT_EQ(Numbers(*array), "0,3,4,5");
    array->RemoveAt(2, 100);
    EXPECT_EQ(Numbers(*array), "0,3");
    array->RemoveAt(5);
    EXPECT_EQ(Numbers(*array), "0,3");
    array->Resize(3);
    EXPECT_EQ(Numbers(*array), "0,3,u");
    array->Resize(1);
    std::vector<VJSONValue> values;
    array->GetValues(values);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].GetNumber(), 0);
    array->Release();
}
