// Tests of the JSON forms of errors and error contexts.
#include "JSONTestSupport.h"

#include "errors/VErrorContext.h"
#include "json/VJSONArray.h"
#include "json/VJSONErrors.h"
#include "json/VJSONObject.h"

#include <gtest/gtest.h>

using namespace vkit;
using namespace vkit::testing;

TEST(VJSONErrorsTest, ErrorObjectHoldsNumberSignatureAndMessage) {
    VErrorBase error(MakeVError(MakeOsType("UPZQ"), 41));
    error.GetBag().SetString("error_description", "Client file {file} unusable");
    error.GetBag().SetString("file", "/a.json");
    VJSONObject* object = VJSONErrors::CreateJSONObject(error);
    EXPECT_EQ(object->GetRefCount(), 1);
    VJSONValue value(object);
    object->Release();
    EXPECT_EQ(
        JSONOf(value),
        "{\"errCode\":41,\"componentSignature\":\"UPZQ\",\"message\":\"Client file /a.json unusable\"}");

    VErrorBase negative(MakeVError(kComponentCarbon, -43));
    VJSONObject* carbon = VJSONErrors::CreateJSONObject(negative);
    EXPECT_EQ(carbon->GetProperty("errCode").GetNumber(), -43);
    EXPECT_EQ(TextOf(carbon->GetProperty("componentSignature")), "CARB");
    carbon->Release();
}

TEST(VJSONErrorsTest, ContextBecomesAnArrayInOrderOrUndefinedWhenEmpty) {
    VErrorContext context;
    VJSONValue value(1.0);
    VJSONErrors::SaveToJSONArray(context, value);
    EXPECT_TRUE(value.IsUndefined());

    VErrorBase* first = new VErrorBase(MakeVError(kComponentVkit, 551));
    VErrorBase* second = new VErrorBase(MakeVError(kComponentVkit, 550));
    context.PushError(first);
    context.PushError(second);
    first->Release();
    second->Release();
    VJSONErrors::SaveToJSONArray(context, value);
    ASSERT_TRUE(value.IsArray());
    ASSERT_EQ(value.GetArray()->GetCount(), 2u);
    EXPECT_EQ(value.GetArray()->GetAt(0).GetProperty("errCode").GetNumber(), 551);
    EXPECT_EQ(value.GetArray()->GetAt(1).GetProperty("errCode").GetNumber(), 550);
    EXPECT_EQ(TextOf(value.GetArray()->GetAt(1).GetProperty("message")), "Error code: 550 (vkit)");
}
