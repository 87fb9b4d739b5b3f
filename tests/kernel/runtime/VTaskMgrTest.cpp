// Tests of VTaskMgr: the main task, ids of tasks and of other threads, the task list and data keys.
#include "runtime/VTaskMgr.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VTask.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace vkit {
namespace {

constexpr int32_t kLongWaitMs = 10000;
constexpr const char* kChildModeVariable = "VKIT_RUNTIME_TEST_CHILD";

/// Runs one test of this program in a fresh process; returns its exit status (-1 when it could not run).
int RunTestInChildProcess(const char* inTestName) {
    std::string filter = std::string("--gtest_filter=") + inTestName;
    const char* argv[] = {"/proc/self/exe", filter.c_str(), "--gtest_also_run_disabled_tests", nullptr};
    std::vector<std::string> variables;
    for (char** variable = environ; *variable != nullptr; ++variable)
        variables.emplace_back(*variable);
    variables.push_back(std::string(kChildModeVariable) + "=1");
    std::vector<char*> envp;
    for (std::string& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), envp.data()) != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

TEST(VTaskMgrTest, InitTwiceReturnsTheFirstResult) {
    VTaskMgr* manager = VTaskMgr::Get();
    ASSERT_NE(manager, nullptr);
    EXPECT_TRUE(VTaskMgr::Init());
    EXPECT_EQ(VTaskMgr::Get(), manager);
    EXPECT_TRUE(VTaskMgr::sInstanceInited);
}

TEST(VTaskMgrTest, MainTaskIsTheInitializingThreadAndRuns) {
    VTask* main = VTaskMgr::Get()->GetMainTask();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(VTask::GetCurrent(), main);
    EXPECT_EQ(main->GetState(), eTaskStateRunning);
    EXPECT_EQ(main->GetID(), static_cast<VTaskID>(getpid())); // the main thread's id is the pid
    EXPECT_EQ(VTaskMgr::GetCurrentTaskID(), main->GetID());
    EXPECT_GT(VTaskMgr::Get()->GetMainTaskStackSize(), 0U);
    EXPECT_EQ(VTaskMgr::Get()->GetTaskByID(main->GetID()), main);
}

// Run in a child process (below), where no thread has asked for an id yet.
TEST(VTaskMgrTest, DISABLED_NonTaskThreadsGetMinusOneThenMinusTwo) {
    if (std::getenv(kChildModeVariable) == nullptr)
        GTEST_SKIP() << "runs only in a child process";
    VTaskID first = 0;
    VTaskID firstAgain = 0;
    VTaskID second = 0;
    std::thread([&] {
        first = VTaskMgr::GetCurrentTaskID();
        firstAgain = VTaskMgr::GetCurrentTaskID();
    }).join();
    std::thread([&] { second = VTaskMgr::GetCurrentTaskID(); }).join();
    EXPECT_EQ(first, -1);
    EXPECT_EQ(firstAgain, -1);
    EXPECT_EQ(second, -2);
}

TEST(VTaskMgrTest, NonTaskThreadsGetMinusOneThenMinusTwoInAFreshProcess) {
    EXPECT_EQ(RunTestInChildProcess("VTaskMgrTest.DISABLED_NonTaskThreadsGetMinusOneThenMinusTwo"), 0);
}

TEST(VTaskMgrTest, NonTaskThreadsGetDistinctNegativeIds) {
    VTaskID first = 0;
    VTaskID second = 0;
    std::thread([&] { first = VTaskMgr::GetCurrentTaskID(); }).join();
    std::thread([&] { second = VTaskMgr::GetCurrentTaskID(); }).join();
    EXPECT_LT(first, 0);
    EXPECT_LT(second, first);
    EXPECT_EQ(VTask::GetCurrent(), VTaskMgr::Get()->GetMainTask());
}

TEST(VTaskMgrTest, TaskCountsListAndPurge) {
    VTaskMgr* manager = VTaskMgr::Get();
    manager->PurgeDeadTasks();
    int32_t aliveBefore = manager->GetTaskCount(true);
    int32_t runningBefore = manager->GetTaskCount(false);
    EXPECT_GE(aliveBefore, 1); // the main task

    VRefPtr<VSyncEvent> release = AdoptRef(new VSyncEvent);
    VRefPtr<VTask> task = AdoptRef(new VTask(0, eTaskStylePreemptive, [release] { release->Wait(); }));
    VTaskID id = task->GetID();
    EXPECT_EQ(manager->GetTaskByID(id), nullptr); // registered by Run
    ASSERT_TRUE(task->Run());
    EXPECT_EQ(manager->GetTaskCount(true), aliveBefore + 1); // starting or running
    while (task->GetState() == eTaskStateStarting)
        VTask::Sleep(0);
    EXPECT_EQ(manager->GetTaskCount(false), runningBefore + 1);
    EXPECT_EQ(manager->GetTaskByID(id), task.Get());
    VTask* retained = manager->RetainTaskByID(id);
    EXPECT_EQ(retained, task.Get());
    ReleaseRefCountable(&retained);
    std::vector<VTask*> tasks;
    manager->GetTasks(tasks);
    bool listed = false;
    for (VTask* listedTask : tasks) {
        listed = listed || listedTask == task.Get();
        listedTask->Release();
    }
    EXPECT_TRUE(listed);

    release->Signal();
    ASSERT_TRUE(task->WaitForDeath(kLongWaitMs));
    EXPECT_EQ(manager->GetTaskCount(true), aliveBefore);
    EXPECT_EQ(manager->GetTaskCount(false), runningBefore);
    EXPECT_EQ(manager->GetTaskByID(id), task.Get()); // dead, still listed
    manager->PurgeDeadTasks();
    EXPECT_EQ(manager->GetTaskByID(id), nullptr);
    EXPECT_EQ(task->GetRefCount(), 1); // the list's reference was released
}

TEST(VTaskMgrTest, DataKeysReuseFreedSlots) {
    VTaskMgr* manager = VTaskMgr::Get();
    VTaskDataKey first = manager->CreateDataKey(nullptr);
    VTaskDataKey second = manager->CreateDataKey(nullptr);
    EXPECT_GE(first, 1U);
    EXPECT_NE(first, second);
    EXPECT_TRUE(manager->CheckDataKey(first));
    EXPECT_FALSE(manager->CheckDataKey(0));
    EXPECT_FALSE(manager->CheckDataKey(second + 1000));
    manager->DeleteDataKey(first);
    EXPECT_FALSE(manager->CheckDataKey(first));
    EXPECT_EQ(manager->CreateDataKey(nullptr), first);
    manager->DeleteDataKey(first);
    manager->DeleteDataKey(second);
    manager->DeleteDataKey(0); // ignored
}

TEST(VTaskMgrTest, TasksTakeTheDefaultStackSize) {
    VTaskMgr* manager = VTaskMgr::Get();
    size_t saved = manager->GetDefaultStackSize();
    manager->SetDefaultStackSize(256 * 1024);
    VRefPtr<VTask> task = AdoptRef(new VTask(0, eTaskStylePreemptive, [] {}));
    VRefPtr<VTask> sized = AdoptRef(new VTask(300 * 1024, eTaskStylePreemptive, [] {}));
    manager->SetDefaultStackSize(saved);
    EXPECT_EQ(task->GetStackSize(), 256U * 1024);
    EXPECT_EQ(sized->GetStackSize(), 300U * 1024);
    // A 64 KB frame fits the stack the task asked for.
    std::atomic<int> depth{0};
    VRefPtr<VTask> deep = AdoptRef(new VTask(512 * 1024, eTaskStylePreemptive, [&depth] {
        char buffer[64 * 1024];
        std::memset(buffer, 1, sizeof(buffer));
        depth = buffer[sizeof(buffer) - 1];
    }));
    ASSERT_TRUE(deep->Run());
    ASSERT_TRUE(deep->WaitForDeath(kLongWaitMs));
    EXPECT_EQ(depth.load(), 1);
}

TEST(VTaskMgrTest, PosixErrorsReachTheInstalledReporterOnly) {
    static uint64_t sReported = 0;
    VTaskMgr::ReportPosixError(12); // no reporter: nothing happens
    VTaskMgr::sErrorReporter = [](uint64_t inCode) { sReported = inCode; };
    VTaskMgr::ReportPosixError(11);
    VTaskMgr::sErrorReporter = nullptr;
    EXPECT_EQ(sReported, (uint64_t{0x504F5358} << 32) | 11);
}

} // namespace
} // namespace vkit
