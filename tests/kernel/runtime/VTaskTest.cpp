// Tests of VTask: running, killing, waiting for death, sleeping, task-local data, hooks and messages.
#include "runtime/VTask.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VSystem.h"
#include "runtime/VTaskMgr.h"
#include "text/VIntlMgr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vkit {
namespace {

// Generous bound for things that should happen "at once"; never a timing claim.
constexpr int32_t kLongWaitMs = 10000;

VRefPtr<VTask> MakeTask(VTask::Body inBody) {
    return AdoptRef(new VTask(0, eTaskStylePreemptive, std::move(inBody)));
}

TEST(VTaskTest, RunTwiceReturnsFalseTheSecondTime) {
    std::atomic<int> runs{0};
    VRefPtr<VTask> task = MakeTask([&] { ++runs; });
    EXPECT_EQ(task->GetState(), eTaskStateCreated);
    ASSERT_TRUE(task->Run());
    EXPECT_FALSE(task->Run());
    ASSERT_TRUE(task->WaitForDeath(kLongWaitMs));
    EXPECT_FALSE(task->Run());
    EXPECT_EQ(runs.load(), 1);
}

TEST(VTaskTest, KillOnEndedTaskLeavesItDead) {
    VRefPtr<VTask> task = MakeTask([] {});
    ASSERT_TRUE(task->Run());
    ASSERT_TRUE(task->WaitForDeath(kLongWaitMs));
    task->Kill();
    EXPECT_EQ(task->GetState(), eTaskStateDead);
    EXPECT_TRUE(task->IsDying());
}

TEST(VTaskTest, WaitForDeathOnItselfReturnsFalseAtOnce) {
    std::atomic<int> result{-1};
    std::atomic<uint32_t> elapsed{0};
    VTask* self = nullptr;
    VRefPtr<VTask> task = MakeTask([&] {
        uint32_t start = VSystem::GetCurrentTime();
        result = VTask::GetCurrent()->WaitForDeath(60000) ? 1 : 0;
        elapsed = VSystem::GetCurrentTime() - start;
    });
    self = task.Get();
    ASSERT_TRUE(self->Run());
    ASSERT_TRUE(task->WaitForDeath(kLongWaitMs));
    EXPECT_EQ(result.load(), 0);
    EXPECT_LT(elapsed.load(), 60000U);
}

TEST(VTaskTest, WaitForDeathOnDeadTaskReturnsTrueAndOnLivingTaskTimesOut) {
    VRefPtr<VSyncEvent> release = AdoptRef(new VSyncEvent);
    VRefPtr<VTask> task = MakeTask([release] { release->Wait(); });
    ASSERT_TRUE(task->Run());
    EXPECT_FALSE(task->WaitForDeath(20));
    EXPECT_NE(task->GetState(), eTaskStateDead);
    release->Signal();
    ASSERT_TRUE(task->WaitForDeath(kLongWaitMs));
    EXPECT_TRUE(task->WaitForDeath(0));
}

TEST(VTaskTest, WaitForDeathFromThreadThatIsNoTask) {
    VRefPtr<VSyncEvent> release = AdoptRef(new VSyncEvent);
    VRefPtr<VTask> task = MakeTask([release] { release->Wait(); });
    ASSERT_TRUE(task->Run());
    bool died = false;
    std::thread waiter([&] { died = task->WaitForDeath(kLongWaitMs); });
    release->Signal();
    waiter.join();
    EXPECT_TRUE(died);
}

TEST(VTaskTest, DestroyingATaskThatNeverRanEndsItsThread) {
    std::atomic<bool> ran{false};
    VRefPtr<VTask> task = MakeTask([&] { ran = true; });
    EXPECT_NE(task->GetID(), 0);
    task = VRefPtr<VTask>();
    EXPECT_FALSE(ran.load());
}

TEST(VTaskTest, SleepBelowOneMillisecondOnlyYieldsAndLeavesAPendingWakeUp) {
    VRefPtr<VSyncEvent> done = AdoptRef(new VSyncEvent);
    VRefPtr<VTask> task = MakeTask([done] {
        VTask::GetCurrent()->WakeUp();
        VTask::Sleep(0);
        VTask::Sleep(-5);
        VTask::Sleep(60000); // the wake-up is still pending: this sleep ends at once
        done->Signal();
    });
    ASSERT_TRUE(task->Run());
    EXPECT_TRUE(done->Wait(kLongWaitMs));
}

TEST(VTaskTest, WakeUpEndsSleepEarly) {
    VRefPtr<VSyncEvent> aboutToSleep = AdoptRef(new VSyncEvent);
    std::atomic<uint32_t> slept{UINT32_MAX};
    VRefPtr<VTask> task = MakeTask([&, aboutToSleep] {
        uint32_t start = VSystem::GetCurrentTime();
        aboutToSleep->Signal();
        VTask::Sleep(60000);
        slept = VSystem::GetCurrentTime() - start;
    });
    ASSERT_TRUE(task->Run());
    ASSERT_TRUE(aboutToSleep->Wait(kLongWaitMs));
    VSystem::Delay(20);
    task->WakeUp();
    ASSERT_TRUE(task->WaitForDeath(kLongWaitMs));
    EXPECT_LT(slept.load(), 60000U);
}

TEST(VTaskTest, SeveralWakeUpsBeforeASleepEndOnlyOneSleep) {
    std::atomic<uint32_t> secondSleep{0};
    VRefPtr<VSyncEvent> woken = AdoptRef(new VSyncEvent);
    VRefPtr<VSyncEvent> go = AdoptRef(new VSyncEvent);
    VRefPtr<VTask> task = MakeTask([&, woken, go] {
        go->Wait();
        VTask::Sleep(60000); // ends at once: wake-ups are pending
        uint32_t start = VSystem::GetCurrentTime();
        VTask::Sleep(30); // no wake-up left: the full time
        secondSleep = VSystem::GetCurrentTime() - start;
    });
    ASSERT_TRUE(task->Run());
    task->WakeUp();
    task->WakeUp();
    go->Signal();
    ASSERT_TRUE(task->WaitForDeath(kLongWaitMs));
    EXPECT_GE(secondSleep.load(), 30U);
}

TEST(VTaskTest, SleepOnThreadThatIsNoTaskDoesNothing) {
    uint32_t elapsed = UINT32_MAX;
    std::thread other([&] {
        uint32_t start = VSystem::GetCurrentTime();
        VTask::Sleep(60000);
        elapsed = VSystem::GetCurrentTime() - start;
    });
    other.join();
    EXPECT_LT(elapsed, 60000U);
}

TEST(VTaskTest, SetCurrentDataWithKeyThreeCreatesThreeSlots) {
    std::vector<void*> seen;
    int value = 7;
    VRefPtr<VTask> task = MakeTask([&] {
        seen.push_back(VTask::GetCurrentData(3));
        VTask::SetCurrentData(3, &value);
        for (VTaskDataKey key = 0; key <= 4; ++key)
            seen.push_back(VTask::GetCurrentData(key));
    });
    ASSERT_TRUE(task->Run());
    ASSERT_TRUE(task->WaitForDeath(kLongWaitMs));
    std::vector<void*> expected{nullptr, nullptr, nullptr, nullptr, &value, nullptr};
    EXPECT_EQ(seen, expected);
}

TEST(VTaskTest, DataOutsideATaskIsIgnored) {
    void* seen = &seen;
    std::thread other([&] {
        int value = 1;
        VTask::SetCurrentData(1, &value);
        seen = VTask::GetCurrentData(1);
    });
    other.join();
    EXPECT_EQ(seen, nullptr);
}

std::vector<void*> sDisposed;

TEST(VTaskTest, DataIsPassedToItsKeyDestructorWhenTheTaskEnds) {
    VTaskMgr* manager = VTaskMgr::Get();
    sDisposed.clear();
    VTaskDataKey kept = manager->CreateDataKey([](void* inData) { sDisposed.push_back(inData); });
    VTaskDataKey deleted = manager->CreateDataKey([](void* inData) { sDisposed.push_back(inData); });
    int first = 1;
    int second = 2;
    VRefPtr<VSyncEvent> stored = AdoptRef(new VSyncEvent);
    VRefPtr<VSyncEvent> go = AdoptRef(new VSyncEvent);
    VRefPtr<VTask> task = MakeTask([&, stored, go] {
        VTask::SetCurrentData(kept, &first);
        VTask::SetCurrentData(deleted, &second);
        stored->Signal();
        go->Wait();
    });
    ASSERT_TRUE(task->Run());
    ASSERT_TRUE(stored->Wait(kLongWaitMs));
    manager->DeleteDataKey(deleted);
    go->Signal();
    ASSERT_TRUE(task->WaitForDeath(kLongWaitMs));
    EXPECT_EQ(sDisposed, std::vector<void*>{&first});
    manager->DeleteDataKey(kept);
}

TEST(VTaskTest, ThreadIsNamedAfterTheTaskAndItsIdCutTo15Bytes) {
    std::string comm;
    VRefPtr<VTask> task = MakeTask([&] {
        std::ifstream in("/proc/thread-self/comm");
        std::getline(in, comm);
    });
    task->SetName(VString("Logger"));
    ASSERT_TRUE(task->Run());
    ASSERT_TRUE(task->WaitForDeath(kLongWaitMs));
    std::string full = "Logger (id = " + std::to_string(task->GetID()) + ")";
    EXPECT_EQ(comm, full.substr(0, 15));
    VString name;
    task->GetName(name);
    EXPECT_EQ(name, VString("Logger"));
}

TEST(VTaskTest, ThreadNameIsCutBetweenCharacters) {
    EXPECT_EQ(VTask::MakeThreadName(VString("A"), 42), "A (id = 42)");
    // "é" is two bytes; 14 bytes of "a" plus it would split it at byte 15.
    std::string cut = VTask::MakeThreadName(VString("aaaaaaaaaaaaaa\xC3\xA9"), 1);
    EXPECT_EQ(cut, "aaaaaaaaaaaaaa");
    std::string accents =
        VTask::MakeThreadName(VString("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"), 1);
    EXPECT_EQ(accents, "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9");
}

TEST(VTaskTest, TaskRunsWithItsIdAndItsOwnInternationalManager) {
    VTaskID seenID = 0;
    VTask* seenTask = nullptr;
    VIntlMgr* seenMgr = nullptr;
    bool seenMain = true;
    VRefPtr<VTask> task = MakeTask([&] {
        seenID = VTaskMgr::GetCurrentTaskID();
        seenTask = VTask::GetCurrent();
        seenMgr = VIntlMgr::GetDefaultMgr();
        seenMain = VTask::IsCurrentMain();
    });
    ASSERT_TRUE(task->Run());
    ASSERT_TRUE(task->WaitForDeath(kLongWaitMs));
    EXPECT_EQ(seenID, task->GetID());
    EXPECT_GT(seenID, 0);
    EXPECT_EQ(seenTask, task.Get());
    EXPECT_EQ(seenMgr, task->GetIntlMgr());
    EXPECT_NE(seenMgr, VTask::GetMain()->GetIntlMgr());
    EXPECT_FALSE(seenMain);
    EXPECT_TRUE(VTask::IsCurrentMain());
}

TEST(VTaskTest, TaskProcedureReceivesItsTaskAndOwner) {
    static std::atomic<VTask*> sSeen{nullptr};
    VObject owner;
    VRefPtr<VTask> task = AdoptRef(new VTask(&owner, 0, eTaskStylePreemptive, [](VTask* inTask) -> int32_t {
        sSeen = inTask;
        return 0;
    }));
    EXPECT_EQ(task->GetOwner(), &owner);
    ASSERT_TRUE(task->Run());
    ASSERT_TRUE(task->WaitForDeath(kLongWaitMs));
    EXPECT_EQ(sSeen.load(), task.Get());
}

/// Records its hooks. With a number of rounds, DoRun stops after that many; with 0 it waits for
/// messages round after round until the task is killed.
class HookTask : public VTask {
public:
    explicit HookTask(int inRounds) : fRounds(inRounds) {}
    std::vector<std::string> fCalls; // written on the task's thread only
    std::atomic<int> fRunCount{0};
    std::atomic<bool> fPreparedToDie{false};

protected:
    void DoInit() override { fCalls.push_back("init"); }
    bool DoRun() override {
        ++fRunCount;
        if (fRounds > 0)
            return fRunCount < fRounds;
        // Waits for a message or the queue's event, as a task's loop does.
        VTask::ExecuteMessagesWithTimeout(kLongWaitMs);
        return true;
    }
    void DoDeInit() override { fCalls.push_back("deinit"); }
    void DoPrepareToDie() override { fPreparedToDie = true; }

private:
    int fRounds;
};

TEST(VTaskTest, HooksRunInOrderUntilDoRunReturnsFalse) {
    VRefPtr<HookTask> task = AdoptRef(new HookTask(3));
    ASSERT_TRUE(task->Run());
    ASSERT_TRUE(task->WaitForDeath(kLongWaitMs));
    EXPECT_EQ(task->fRunCount.load(), 3);
    EXPECT_EQ(task->fCalls, (std::vector<std::string>{"init", "deinit"}));
    EXPECT_TRUE(task->fPreparedToDie.load()); // DoRun returning false kills the task
}

TEST(VTaskTest, KillAndQueueEventEndAWaitingLoop) {
    VRefPtr<HookTask> task = AdoptRef(new HookTask(0));
    ASSERT_TRUE(task->Run());
    while (task->fRunCount.load() == 0)
        VTask::Sleep(1);
    uint32_t ticks = UINT32_MAX;
    EXPECT_FALSE(task->IsDying(&ticks));
    EXPECT_EQ(ticks, 0U);
    // How a process quits: kill the task, then set its queue's event so its wait ends.
    task->Kill();
    EXPECT_TRUE(task->IsDying());
    EXPECT_TRUE(task->fPreparedToDie.load());
    task->SetMessageQueueEvent();
    ASSERT_TRUE(task->WaitForDeath(kLongWaitMs));
    EXPECT_EQ(task->fCalls.back(), "deinit");
    EXPECT_FALSE(task->PostMessage([] {})); // messaging stopped with the task
}

TEST(VTaskTest, ExitEndsTheLoopWithoutPreparingToDie) {
    class ExitingTask : public VTask {
    public:
        std::atomic<bool> fPrepared{false};

    protected:
        bool DoRun() override {
            Exit();
            return true;
        }
        void DoPrepareToDie() override { fPrepared = true; }
    };
    VRefPtr<ExitingTask> task = AdoptRef(new ExitingTask);
    ASSERT_TRUE(task->Run());
    ASSERT_TRUE(task->WaitForDeath(kLongWaitMs));
    EXPECT_FALSE(task->fPrepared.load());
}

TEST(VTaskTest, MessagesPostedToTheMainTaskRunOnIt) {
    VTask* main = VTask::GetMain();
    ASSERT_EQ(VTask::GetCurrent(), main);
    std::vector<int> order;
    ASSERT_TRUE(main->PostMessage([&] { order.push_back(1); }));
    ASSERT_TRUE(main->PostMessage([&] { order.push_back(2); }));
    EXPECT_EQ(VTask::ExecuteMessagesWithTimeout(0), 2);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));

    std::atomic<VTaskID> ranOn{0};
    VRefPtr<VTask> poster =
        MakeTask([&, main] { main->PostMessage([&] { ranOn = VTaskMgr::GetCurrentTaskID(); }); });
    ASSERT_TRUE(poster->Run());
    uint32_t start = VSystem::GetCurrentTime();
    while (ranOn.load() == 0 && VSystem::GetCurrentTime() - start < static_cast<uint32_t>(kLongWaitMs))
        VTask::ExecuteMessagesWithTimeout(kLongWaitMs);
    EXPECT_EQ(ranOn.load(), main->GetID());
    ASSERT_TRUE(poster->WaitForDeath(kLongWaitMs));
}

TEST(VTaskTest, QueueEventEndsAWaitForMessages) {
    VTask* main = VTask::GetMain();
    VRefPtr<VTask> setter = MakeTask([main] { main->SetMessageQueueEvent(); });
    ASSERT_TRUE(setter->Run());
    uint32_t start = VSystem::GetCurrentTime();
    EXPECT_EQ(VTask::ExecuteMessagesWithTimeout(60000), 0);
    EXPECT_LT(VSystem::GetCurrentTime() - start, 60000U);
    ASSERT_TRUE(setter->WaitForDeath(kLongWaitMs));
}

TEST(VTaskTest, ThreadCreationFailureReachesTheReporterAndRunFails) {
    static std::atomic<uint64_t> sReported{0};
    VTaskMgr::sErrorReporter = [](uint64_t inCode) { sReported = inCode; };
    // Far beyond the address space: the stack cannot be mapped.
    VRefPtr<VTask> task = AdoptRef(new VTask(size_t{1} << 50, eTaskStylePreemptive, [] {}));
    VTaskMgr::sErrorReporter = nullptr;
    uint64_t code = sReported.load();
    EXPECT_EQ(code >> 32, 0x504F5358U); // "POSX"
    EXPECT_NE(code & 0xFFFFFFFFU, 0U);
    EXPECT_LT(task->GetID(), 0); // no thread id: one from the manager's counter
    EXPECT_FALSE(task->Run());
    EXPECT_EQ(task->GetState(), eTaskStateDead);
}

} // namespace
} // namespace vkit
