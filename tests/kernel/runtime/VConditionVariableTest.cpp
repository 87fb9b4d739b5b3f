// Tests of VConditionVariable: time-outs, broadcasts to several waiters, release of the section.
#include "runtime/VConditionVariable.h"
#include "runtime/StLocker.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace vkit {
namespace {

constexpr int32_t kLongWaitMs = 10000;

TEST(VConditionVariableTest, WaitTimesOutAndKeepsTheLockCount) {
    VCriticalSection section;
    VConditionVariable condition(section);
    section.Lock();
    section.Lock();
    EXPECT_FALSE(condition.Wait(10));
    EXPECT_EQ(section.GetOwner(), VTaskMgr::GetCurrentTaskID());
    EXPECT_EQ(section.GetLockCount(), 2);
    section.Unlock();
    section.Unlock();
}

TEST(VConditionVariableTest, WaitWithoutHoldingTheSectionLeavesItFree) {
    VCriticalSection section;
    VConditionVariable condition(section);
    EXPECT_FALSE(condition.Wait(0));
    EXPECT_EQ(section.GetOwner(), 0);
}

TEST(VConditionVariableTest, BroadcastWakesEveryWaiterAndWaitReleasesTheSection) {
    constexpr int kWaiters = 3;
    VCriticalSection section;
    VConditionVariable condition(section);
    bool ready = false; // guarded by section
    int waiting = 0;    // guarded by section
    std::atomic<int> done{0};
    std::vector<VRefPtr<VTask>> tasks;
    for (int i = 0; i < kWaiters; ++i) {
        VRefPtr<VTask> task = AdoptRef(new VTask(0, eTaskStylePreemptive, [&] {
            StLocker lock(section);
            ++waiting;
            condition.Broadcast(); // tells the main task one more waits
            while (!ready)
                condition.Wait(-1);
            ++done;
        }));
        ASSERT_TRUE(task->Run());
        tasks.push_back(task);
    }
    {
        // Taking the section while the waiters sit in Wait proves Wait released it.
        StLocker lock(section);
        while (waiting < kWaiters)
            ASSERT_TRUE(condition.Wait(kLongWaitMs));
        ready = true;
        condition.Broadcast();
    }
    for (VRefPtr<VTask>& task : tasks)
        ASSERT_TRUE(task->WaitForDeath(kLongWaitMs));
    EXPECT_EQ(done.load(), kWaiters);
}

} // namespace
} // namespace vkit
