// Tests of the deferred destruction of nested containers.
#include "JSONTestSupport.h"

#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

#include <gtest/gtest.h>

using namespace vkit;
using namespace vkit::testing;

namespace {

/// Arrays nested inArrays deep inside objects nested inObjects deep.
VJSONValue MakeChain(int inArrays, int inObjects) {
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
}

TEST(VJSONReaperTest, DeepValuesAreFreedOnATaskStack) {
    // Half a million levels of each kind freed recursively would take far more than a task's stack.
    bool freed = false;
    VTask* task = new VTask(0, eTaskStylePreemptive, [&] {
        VJSONValue chain = MakeChain(500000, 500000);
        chain.SetUndefined();
        freed = true;
    });
    ASSERT_TRUE(task->Run());
    ASSERT_TRUE(task->WaitForDeath(-1));
    task->Release();
    VTaskMgr::Get()->PurgeDeadTasks(); // the manager joins the finished thread
    EXPECT_TRUE(freed);
}

TEST(VJSONReaperTest, SharedMembersSurviveTheirContainer) {
    VJSONValue chain = MakeChain(5, 5);
    VJSONValue kept = chain.GetProperty("inner").GetProperty("inner").GetProperty("inner");
    chain.SetUndefined();
    EXPECT_EQ(JSONOf(kept), R"({"inner":{"inner":[[[[[null]]]]]}})");
}

} // namespace
