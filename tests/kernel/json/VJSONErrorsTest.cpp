// Tests of the JSON forms of errors and error contexts.
#include "JSONTestSupport.h"

#include "json/VJSONErrors.h"

#include <gtest/gtest.h>

using namespace vkit;
using namespace vkit::testing;

namespace {

TEST(VJSONErrorsTest, ContextBecomesAnArrayOfErrorObjectsInOrder) {
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
    VJSONObject* object = VJSONErrors::CreateJSONObject(*context.GetFirst());
    EXPECT_EQ(object->GetRefCount(), 1);
    object->Release();
}

} // namespace
