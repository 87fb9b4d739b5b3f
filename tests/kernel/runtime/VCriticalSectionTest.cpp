// Tests of the synchronization objects: VCriticalSection (recursion per task, waiting tasks, TryToLock,
// contention of tasks and other threads, with spin locks under each strategy), VSyncEvent and VMessageQueue
// (whose waits go through VConditionVariable).
#include "runtime/VCriticalSection.h"
#include "runtime/SpinLock.h"
#include "runtime/StLocker.h"
#include "runtime/VMessageQueue.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VSystem.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <tuple>
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
    EXPECT_FALSE(section.Unlock()); // free
    ASSERT_TRUE(section.Lock());
    ASSERT_TRUE(section.TryToLock());
    EXPECT_EQ(section.GetLockCount(), 2);
    std::atomic<int> tried{-1};
    RunTask([&] { tried = section.TryToLock() ? 1 : 0; })->WaitForDeath(kLongWaitMs);
    EXPECT_EQ(tried.load(), 0);
    std::thread([&] { tried = section.Unlock() ? 1 : 0; }).join();
    EXPECT_EQ(tried.load(), 0); // only the owner unlocks

    VRefPtr<VSyncEvent> waiting = AdoptRef(new VSyncEvent);
    std::atomic<bool> acquired{false};
    VRefPtr<VTask> other = RunTask([&, waiting] {
        waiting->Signal();
        StLocker lock(section);
        acquired = true;
    });
    ASSERT_TRUE(waiting->Wait(kLongWaitMs));
    VSystem::Delay(20); // give the other task every chance to get in wrongly
    ASSERT_TRUE(section.Unlock());
    VSystem::Delay(20);
    EXPECT_FALSE(acquired.load());
    EXPECT_EQ(section.GetOwner(), VTaskMgr::GetCurrentTaskID());
    ASSERT_TRUE(section.Unlock());
    ASSERT_TRUE(other->WaitForDeath(kLongWaitMs));
    EXPECT_TRUE(acquired.load());
    EXPECT_EQ(section.GetLockCount(), 0);
}

/// Restores the process-wide spin-lock strategy at the end of the test.
struct StSpinLockDefaults {
    ~StSpinLockDefaults() { EXPECT_TRUE(SpinLock::Configure({VString("maxSpinsThenLoopYields"), 1, false})); }
};

TEST(VCriticalSectionTest, TasksAndThreadsLoseNoUpdateUnderEachSpinStrategy) {
    StSpinLockDefaults restore;
    // The mode, and the spins given and kept (truncated, clamped; an unknown mode changes nothing).
    const std::tuple<const char*, double, uint32_t> cases[] = {{"maxSpinsThenLoopYields", 3.9, 3},
                                                               {"alwaysSleep", -0.5, 0},
                                                               {"loopMaxSpinsAndYields", 1e12, UINT32_MAX},
                                                               {"spinForever", 0, 0}};
    for (const auto& [mode, spins, kept] : cases) {
        SCOPED_TRACE(mode);
        VTaskMgr::Get()->PurgeDeadTasks(); // the strategy changes only while no other task runs
        ASSERT_TRUE(SpinLock::Configure({VString(mode), spins, true}));
        EXPECT_EQ(SpinLock::GetMaxSpins(), kept);
        constexpr int kRounds = 5000;
        VCriticalSection section;
        SpinLock::Word word{0};
        int64_t sectionCounter = 0;
        int64_t spinCounter = 0;
        auto body = [&] {
            for (int i = 0; i < kRounds; ++i) {
                {
                    StLocker outer(section);
                    StLocker inner(section);
                    int64_t value = sectionCounter;
                    sectionCounter = value + 1;
                }
                SpinLock::Lock(word);
                ++spinCounter;
                SpinLock::Unlock(word);
            }
        };
        VRefPtr<VTask> task = RunTask(body);
        std::thread thread(body);
        body(); // on the main task
        thread.join();
        ASSERT_TRUE(task->WaitForDeath(60000));
        EXPECT_EQ(sectionCounter, 3 * kRounds);
        EXPECT_EQ(spinCounter, 3 * kRounds);
    }
    VRefPtr<VSyncEvent> release = AdoptRef(new VSyncEvent);
    VRefPtr<VTask> running = RunTask([release] { release->Wait(); });
    while (running->GetState() == eTaskStateStarting)
        VTask::Sleep(0);
    EXPECT_FALSE(SpinLock::Configure({VString("maxSpinsThenLoopYields"), 1, false}));
    EXPECT_EQ(SpinLock::GetStrategy(), SpinLock::EStrategy::LoopMaxSpinsAndYields);
    release->Signal();
    ASSERT_TRUE(running->WaitForDeath(kLongWaitMs));
    VTaskMgr::Get()->PurgeDeadTasks();
}

TEST(VSyncEventTest, WaitTimesOutUntilSignalledThenReturnsAtOnceUntilReset) {
    VRefPtr<VSyncEvent> event = AdoptRef(new VSyncEvent);
    EXPECT_FALSE(event->Wait(5));
    event->Signal();
    EXPECT_TRUE(event->Wait(0));
    EXPECT_TRUE(event->Wait(-1)); // stays signalled
    event->Signal();
    EXPECT_EQ(event->GetSignalCount(), 2U);
    event->Reset();
    EXPECT_FALSE(event->Wait(0));
    VRefPtr<VTask> task = RunTask([event] { event->Signal(); });
    EXPECT_TRUE(event->Wait(-1));
    ASSERT_TRUE(task->WaitForDeath(kLongWaitMs));
}

TEST(VMessageQueueTest, MessagesRunInOrderAndEventsEndTheWait) {
    VRefPtr<VMessageQueue> queue = AdoptRef(new VMessageQueue);
    std::vector<int> order;
    queue->Post([&] { order.push_back(1); });
    queue->Post([&] {
        order.push_back(2);
        queue->Post([&] { order.push_back(3); }); // left for the next round
    });
    EXPECT_EQ(queue->ExecuteMessages(0), 2);
    EXPECT_EQ(queue->ExecuteMessages(0), 1);
    queue->SetEvent(); // set before the wait: ends it at once
    EXPECT_EQ(queue->ExecuteMessages(60000), 0);
    EXPECT_EQ(queue->ExecuteMessages(5), 0); // the event was consumed: this one times out
    std::thread poster([&] { queue->Post([&] { order.push_back(4); }); });
    while (queue->ExecuteMessages(-1) == 0) {
    }
    poster.join();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_TRUE(queue->Post([&] { order.push_back(5); }));
    queue->Stop();
    EXPECT_FALSE(queue->Post([&] { order.push_back(6); }));
    EXPECT_EQ(queue->ExecuteMessages(60000), 0); // a stopped queue does not wait nor run
    EXPECT_EQ(order.size(), 4U);
}

} // namespace
} // namespace vkit
