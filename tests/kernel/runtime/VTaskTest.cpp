// Tests of VTask and VTaskMgr: running, killing, waiting for death, sleeping, task-local data and its
// keys, hooks and messages, thread names, ids of tasks and of other threads, the task list. The task
// manager of the whole test program is started here.
#include "runtime/VTask.h"
#include "runtime/VSyncEvent.h"
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

/// The task manager for the runtime tests: started once on the test program's main thread.
class RuntimeTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(VTaskMgr::Init()); }
    void TearDown() override { VTaskMgr::DeInit(); }
};

[[maybe_unused]] ::testing::Environment* const sEnvironment =
    ::testing::AddGlobalTestEnvironment(new RuntimeTestEnvironment);

// Generous bound for things that should happen "at once"; never a timing claim.
constexpr int32_t kLongWaitMs = 10000;

VRefPtr<VTask> MakeTask(VTask::Body inBody, size_t inStackSize = 0) {
    return AdoptRef(new VTask(inStackSize, eTaskStylePreemptive, std::move(inBody)));
}

TEST(VTaskTest, RunsOnceOnAThreadNamedAfterItWithItsIdAndItsOwnInternationalManager) {
    std::string seen;
    VRefPtr<VTask> task;
    task = MakeTask([&] {
        std::getline(std::ifstream("/proc/thread-self/comm"), seen);
        VIntlMgr* intlMgr = VIntlMgr::GetDefaultMgr();
        for (bool fact : {VTaskMgr::GetCurrentTaskID() == task->GetID(), VTask::GetCurrent() == task.Get(),
                          intlMgr == task->GetIntlMgr(), intlMgr != VTask::GetMain()->GetIntlMgr(),
                          !VTask::IsCurrentMain()})
            seen += fact ? "+" : "-";
    });
    task->SetName(VString("Logger"));
    ASSERT_TRUE(task->Run());
    EXPECT_FALSE(task->Run());
    ASSERT_TRUE(task->WaitForDeath(kLongWaitMs));
    EXPECT_FALSE(task->Run());
    task->Kill(); // on an ended task: stays dead
    EXPECT_EQ(task->GetState(), eTaskStateDead);
    // The thread's name is cut to 15 bytes, between characters.
    EXPECT_EQ(seen, ("Logger (id = " + std::to_string(task->GetID()) + ")").substr(0, 15) + "+++++");
    EXPECT_EQ(VTask::MakeThreadName(VString("aaaaaaaaaaaaaa\xC3\xA9"), 1), "aaaaaaaaaaaaaa");
}

TEST(VTaskTest, SleepEndsOnWakeUpAndWakeUpsDoNotAddUp) {
    VRefPtr<VSyncEvent> go = AdoptRef(new VSyncEvent);
    VRefPtr<VSyncEvent> asleep = AdoptRef(new VSyncEvent);
    VRefPtr<VTask> task = MakeTask([go, asleep] {
        go->Wait();
        VTask::Sleep(0);     // only yields: the wake-ups stay pending
        VTask::Sleep(60000); // ends at once: wake-ups are pending
        asleep->Signal();
        VTask::Sleep(60000); // the two wake-ups ended one sleep only
    });
    ASSERT_TRUE(task->Run());
    task->WakeUp();
    task->WakeUp();
    go->Signal();
    ASSERT_TRUE(asleep->Wait(kLongWaitMs));
    EXPECT_FALSE(task->WaitForDeath(20));
    task->WakeUp();
    ASSERT_TRUE(task->WaitForDeath(kLongWaitMs));
    std::thread([] { VTask::Sleep(60000); }).join(); // on a thread that is no task: does nothing
}

std::vector<void*> sDisposed;

TEST(VTaskTest, DataSlotsAndTheirKeys) {
    VTaskMgr* manager = VTaskMgr::Get();
    sDisposed.clear();
    VTaskDataKey deleted = manager->CreateDataKey([](void* inData) { sDisposed.push_back(inData); });
    VTaskDataKey kept = manager->CreateDataKey([](void* inData) { sDisposed.push_back(inData); });
    EXPECT_TRUE(deleted >= 1 && kept > deleted && manager->CheckDataKey(deleted));
    EXPECT_FALSE(manager->CheckDataKey(0) || manager->CheckDataKey(kept + 1000));
    int first = 1;
    int second = 2;
    std::vector<void*> seen;
    VRefPtr<VSyncEvent> stored = AdoptRef(new VSyncEvent);
    VRefPtr<VSyncEvent> go = AdoptRef(new VSyncEvent);
    VRefPtr<VTask> task = MakeTask([&, stored, go] {
        seen.push_back(VTask::GetCurrentData(kept));
        VTask::SetCurrentData(deleted, &first);
        VTask::SetCurrentData(kept, &second);
        for (VTaskDataKey key = 0; key <= kept + 1; ++key)
            seen.push_back(VTask::GetCurrentData(key));
        stored->Signal();
        go->Wait();
    });
    ASSERT_TRUE(task->Run());
    ASSERT_TRUE(stored->Wait(kLongWaitMs));
    manager->DeleteDataKey(deleted);
    EXPECT_FALSE(manager->CheckDataKey(deleted));
    EXPECT_TRUE(manager->CheckDataKey(kept));
    go->Signal();
    ASSERT_TRUE(task->WaitForDeath(kLongWaitMs));
    std::vector<void*> expected(kept + 3, nullptr);
    expected[deleted + 1] = &first;
    expected[kept + 1] = &second;
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(sDisposed, std::vector<void*>{&second});   // only keys still in use dispose their data
    EXPECT_EQ(manager->CreateDataKey(nullptr), deleted); // the freed slot is reused
    for (VTaskDataKey key : {deleted, kept, VTaskDataKey{0}})
        manager->DeleteDataKey(key);
}

/// Records its hooks in fTrace: "i" for DoInit, "r" for each DoRun, "m" for a message it posted itself
/// in the previous round, "d" for DoDeInit; fPrepared tells DoPrepareToDie ran (on the killer's thread). With
/// a number of rounds, DoRun stops after that many; with 0 it waits for messages round after round until the
/// task is killed.
class HookTask : public VTask {
public:
    explicit HookTask(int inRounds) : fRounds(inRounds) {}
    std::string fTrace; // read once the task is dead
    std::atomic<bool> fPrepared{false};

protected:
    void DoInit() override { fTrace += "i"; }
    bool DoRun() override {
        fTrace += "r";
        if (fRounds == 0)
            return VTask::ExecuteMessagesWithTimeout(kLongWaitMs) >= 0;
        PostMessage([this] { fTrace += "m"; }); // run between the rounds
        return --fRounds > 0;
    }
    void DoDeInit() override { fTrace += "d"; }
    void DoPrepareToDie() override { fPrepared = true; }

private:
    int fRounds;
};

TEST(VTaskTest, HooksRunUntilDoRunReturnsFalseOrTheTaskIsKilled) {
    VRefPtr<HookTask> rounds = AdoptRef(new HookTask(3));
    ASSERT_TRUE(rounds->Run());
    ASSERT_TRUE(rounds->WaitForDeath(kLongWaitMs));
    EXPECT_EQ(rounds->fTrace, "irmrmrd");
    EXPECT_TRUE(rounds->fPrepared.load());    // DoRun returning false kills the task
    EXPECT_FALSE(rounds->PostMessage([] {})); // messaging stopped with the task

    VRefPtr<HookTask> task = AdoptRef(new HookTask(0));
    ASSERT_TRUE(task->Run());
    // Killed at once, likely before its thread has started: the kill waits for it and is not lost.
    // Then, as a process quits, the queue's event ends the task's wait for messages.
    task->Kill();
    EXPECT_TRUE(task->IsDying());
    task->SetMessageQueueEvent();
    ASSERT_TRUE(task->WaitForDeath(kLongWaitMs));
    EXPECT_TRUE(task->fPrepared.load());
    EXPECT_EQ(task->fTrace.front(), 'i');
    EXPECT_EQ(task->fTrace.back(), 'd');
}

TEST(VTaskTest, MessagesPostedToTheMainTaskRunOnIt) {
    VTask* main = VTask::GetMain();
    std::atomic<VTaskID> ranOn{0};
    VRefPtr<VTask> poster =
        MakeTask([&, main] { main->PostMessage([&] { ranOn = VTaskMgr::GetCurrentTaskID(); }); });
    ASSERT_TRUE(poster->Run());
    ASSERT_TRUE(poster->WaitForDeath(kLongWaitMs));
    VTask::ExecuteMessagesWithTimeout(0); // unless the wait for its death ran it
    EXPECT_EQ(ranOn.load(), main->GetID());
    // The queue's event, set from another task, ends a wait for messages.
    VRefPtr<VTask> setter = MakeTask([main] { main->SetMessageQueueEvent(); });
    ASSERT_TRUE(setter->Run());
    EXPECT_EQ(VTask::ExecuteMessagesWithTimeout(60000), 0);
    ASSERT_TRUE(setter->WaitForDeath(kLongWaitMs));
}

TEST(VTaskMgrTest, TaskListWaitForDeathAndPurge) {
    VTaskMgr* manager = VTaskMgr::Get();
    VTask* main = manager->GetMainTask();
    EXPECT_EQ(VTask::GetCurrent(), main);
    EXPECT_EQ(main->GetID(), static_cast<VTaskID>(getpid())); // the main thread's id is the pid
    manager->PurgeDeadTasks();
    int32_t running = manager->GetTaskCount(false);
    VRefPtr<VSyncEvent> release = AdoptRef(new VSyncEvent);
    std::atomic<int> onItself{-1};
    VRefPtr<VTask> task = MakeTask([&, release] {
        onItself = VTask::GetCurrent()->WaitForDeath(60000) ? 1 : 0; // at once, false
        release->Wait();
    });
    EXPECT_EQ(manager->GetTaskByID(task->GetID()), nullptr); // registered by Run
    ASSERT_TRUE(task->Run());
    EXPECT_FALSE(task->WaitForDeath(20));
    while (task->GetState() == eTaskStateStarting)
        VTask::Sleep(0);
    EXPECT_EQ(manager->GetTaskCount(false), running + 1);
    EXPECT_EQ(manager->GetTaskByID(task->GetID()), task.Get());
    bool died = false;
    std::thread waiter([&] { died = task->WaitForDeath(kLongWaitMs); }); // from a thread that is no task
    release->Signal();
    waiter.join();
    EXPECT_TRUE(died && task->WaitForDeath(0));
    EXPECT_EQ(onItself.load(), 0);
    EXPECT_EQ(manager->GetTaskCount(false), running);
    EXPECT_EQ(manager->GetTaskByID(task->GetID()), task.Get()); // dead, still listed
    manager->PurgeDeadTasks();
    EXPECT_EQ(manager->GetTaskByID(task->GetID()), nullptr);
    EXPECT_EQ(task->GetRefCount(), 1); // the list's reference was released
    // A task that never ran ends its thread when destroyed.
    std::atomic<bool> ran{false};
    MakeTask([&] { ran = true; });
    EXPECT_FALSE(ran.load());
}

TEST(VTaskMgrTest, ThreadsThatAreNoTasksGetNegativeIds) {
    VTaskID ids[3] = {0, 0, 0};
    std::thread([&] { ids[0] = VTaskMgr::GetCurrentTaskID(), ids[1] = VTaskMgr::GetCurrentTaskID(); }).join();
    std::thread([&] { ids[2] = VTaskMgr::GetCurrentTaskID(); }).join();
    EXPECT_TRUE(ids[0] < 0 && ids[1] == ids[0] && ids[2] < ids[0]);
}

} // namespace
} // namespace vkit
