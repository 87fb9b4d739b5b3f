// Tests of the deferred destruction of nested containers.
#include "JSONTestSupport.h"

#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "json/VJSONArray.h"
#include "json/VJSONObject.h"

#include <gtest/gtest.h>

using namespace vkit;
using namespace vkit::testing;

namespace {

/// An array holding an object holding an array..., inDepth containers deep.
VJSONValue MakeChain(int inDepth) {
    VJSONValue outer;
    for (int i = 0; i < inDepth; ++i) {
        VJSONValue container;
        if (i % 2 == 0) {
            VJSONArray* array = new VJSONArray;
            array->Push(std::move(outer));
            container.SetArray(array);
            array->Release();
        } else {
            VJSONObject* object = new VJSONObject;
            object->SetProperty("inner", outer);
            container.SetObject(object);
            object->Release();
        }
        outer = std::move(container);
    }
    return outer;
}

} // namespace

TEST(VJSONReaperTest, DeepValuesAreFreedOnATaskStack) {
    // A million levels freed recursively would take far more than a task's stack.
    bool freed = false;
    VTask* task = new VTask(0, eTaskStylePreemptive, [&] {
        VJSONValue chain = MakeChain(1000000);
        chain.SetUndefined();
        freed = true;
    });
    ASSERT_TRUE(task->Run());
    ASSERT_TRUE(task->WaitForDeath(-1));
    task->Release();
    // The manager joins the finished thread.
    VTaskMgr::Get()->PurgeDeadTasks();
    EXPECT_TRUE(freed);
}

TEST(VJSONReaperTest, SharedMembersSurviveTheirContainer) {
    VJSONValue chain = MakeChain(10);
    // Keep a reference inside the chain: that container and what it holds must survive.
    VJSONValue kept = chain.GetProperty("inner");
    ASSERT_TRUE(kept.IsArray());
    chain.SetUndefined();
    int depth = 0;
    for (VJSONValue value = kept; value.IsArray() || value.IsObject(); ++depth)
        value = value.IsArray() ? value.GetArray()->GetAt(0) : value.GetProperty("inner");
    EXPECT_EQ(depth, 9);
}
