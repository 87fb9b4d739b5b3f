// Tests of VCriticalSection: recursion per task, waiting tasks, TryToLock and contention.
#include "runtime/VCriticalSection.h"
#include "runtime/StLocker.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VSystem.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace vkit {
namespace {

constexpr int32_t kLongWaitMs = 10000;

VRefPtr<VTask> RunTask(VTask::Body inBody) {
    VRefPtr<VTask> task = AdoptRef(new VTask(0, eTaskStylePreemptive, std::move(inBody)));
    EXPECT_TRUE(task->Run());
    return task;
}

TEST(VCriticalSectionTest, LockedTwiceNeedsTwoUnlocksBeforeAnotherTaskGetsIt) {
    VCriticalSection section;
    ASSERT_TRUE(section.Lock());
    ASSERT_TRUE(section.Lock());
    EXPECT_EQ(section.GetLockCount(), 2);
    EXPECT_EQ(section.GetOwner(), VTaskMgr::GetCurrentTaskID());

    VRefPtr<VSyncEvent> waiting = AdoptRef(new VSyncEvent);
    std::atomic<bool> acquired{false};
    VRefPtr<VTask> other = RunTask([&, waiting] {
        waiting->Signal();
        section.Lock();
        acquired = true;
        section.Unlock();
    });
    ASSERT_TRUE(waiting->Wait(kLongWaitMs));
    VSystem::Delay(20); // give the other task every chance to get in wrongly
    EXPECT_FALSE(acquired.load());

    ASSERT_TRUE(section.Unlock());
    VSystem::Delay(20);
    EXPECT_FALSE(acquired.load());
    EXPECT_EQ(section.GetOwner(), VTaskMgr::GetCurrentTaskID());

    ASSERT_TRUE(section.Unlock());
    ASSERT_TRUE(other->WaitForDeath(kLongWaitMs));
    EXPECT_TRUE(acquired.load());
    EXPECT_EQ(section.GetOwner(), 0);
    EXPECT_EQ(section.GetLockCount(), 0);
}

TEST(VCriticalSectionTest, TryToLockFailsOnlyWhenAnotherTaskOwnsIt) {
    VCriticalSection section;
    EXPECT_TRUE(section.TryToLock());
    EXPECT_TRUE(section.TryToLock()); // re-entry
    EXPECT_EQ(section.GetLockCount(), 2);
    std::atomic<int> otherResult{-1};
    RunTask([&] { otherResult = section.TryToLock() ? 1 : 0; })->WaitForDeath(kLongWaitMs);
    EXPECT_EQ(otherResult.load(), 0);
    section.Unlock();
    section.Unlock();
    RunTask([&] {
        otherResult = section.TryToLock() ? 1 : 0;
        section.Unlock();
    })->WaitForDeath(kLongWaitMs);
    EXPECT_EQ(otherResult.load(), 1);
}

TEST(VCriticalSectionTest, UnlockByAnotherTaskOrWhenFreeIsRefused) {
    VCriticalSection section;
    EXPECT_FALSE(section.Unlock());
    section.Lock();
    std::atomic<int> otherResult{-1};
    std::thread([&] { otherResult = section.Unlock() ? 1 : 0; }).join();
    EXPECT_EQ(otherResult.load(), 0);
    EXPECT_EQ(section.GetOwner(), VTaskMgr::GetCurrentTaskID());
    EXPECT_EQ(section.GetLockCount(), 1);
    EXPECT_TRUE(section.Unlock());
    EXPECT_FALSE(section.Unlock());
}

TEST(VCriticalSectionTest, ContentionFromSeveralTasksLosesNoUpdate) {
    constexpr int kTasks = 4;
    constexpr int kRounds = 20000;
    VCriticalSection section;
    int64_t counter = 0; // guarded by section only
    std::vector<VRefPtr<VTask>> tasks;
    for (int t = 0; t < kTasks; ++t) {
        tasks.push_back(RunTask([&] {
            for (int i = 0; i < kRounds; ++i) {
                StLocker outer(section);
                StLocker inner(section); // recursion under contention
                int64_t value = counter;
                counter = value + 1;
            }
        }));
    }
    for (VRefPtr<VTask>& task : tasks)
        ASSERT_TRUE(task->WaitForDeath(60000));
    EXPECT_EQ(counter, int64_t{kTasks} * kRounds);
    EXPECT_EQ(section.GetOwner(), 0);
}

TEST(VCriticalSectionTest, ThreadsThatAreNoTasksExcludeEachOther) {
    constexpr int kThreads = 3;
    constexpr int kRounds = 20000;
    VCriticalSection section;
    int64_t counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                section.Lock();
                ++counter;
                section.Unlock();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(counter, int64_t{kThreads} * kRounds);
}

} // namespace
} // namespace vkit
