// VTaskMgr: start and end of the task manager, task ids, the task list and task-local data keys.
#include "runtime/VTaskMgr.h"

#include "runtime/SpinLock.h"
#include "runtime/StLocker.h"
#include "runtime/VTask.h"
#include "text/VIntlMgr.h"

namespace vkit {

namespace {

constexpr size_t kFallbackMainStackSize = 64 * 1024;
constexpr int32_t kDeInitWaitMs = 2000;
constexpr uint64_t kPosixComponent =
    (uint64_t{'P'} << 24) | (uint64_t{'O'} << 16) | (uint64_t{'S'} << 8) | 'X';

// g++ 12 speculatively devirtualizes the deletion in an inlined Release to the base class's own
// DoOnRefCountZero, then warns about freeing that base subobject: a path that cannot happen.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wfree-nonheap-object"
void ReleaseTask(VTask* inTask) noexcept {
    inTask->Release();
}
#pragma GCC diagnostic pop

} // namespace

VTaskMgr* VTaskMgr::sInstance = nullptr;
bool VTaskMgr::sInstanceInited = false;
VTaskMgr::ErrorReporter VTaskMgr::sErrorReporter = nullptr;
std::atomic<VTaskMgr::ActivityRegistrar> VTaskMgr::sActivityRegistrar{nullptr};
constinit thread_local VTask* VTaskMgr::sCurrentTask = nullptr;
constinit thread_local VTaskID VTaskMgr::sCurrentTaskID = 0;
std::atomic<VTaskID> VTaskMgr::sNonTaskIDCounter{0};

bool VTaskMgr::Init(uint32_t inProcessFlags) {
    if (sInstance != nullptr)
        return sInstanceInited;
    VTaskMgr* manager = new VTaskMgr;
    manager->fPlatform.SetFibered((inProcessFlags & kInitFlagFibered) != 0);
    size_t mainStackSize = XPosixTaskMgr::GetCurrentThreadStackSize();
    manager->fMainTaskStackSize = mainStackSize != 0 ? mainStackSize : kFallbackMainStackSize;
    sInstance = manager;

    VTask* main = new VTask(manager, VTask::MainTaskTag{});
    manager->fMainTask = main;
    // Before the first lock: the thread must not take an id as a thread that is not a task.
    _SetCurrentTask(main);
    manager->_RegisterTask(main);
    VIntlMgr::SetCurrentMgr(main->GetIntlMgr());
    main->_NameThread();

    sInstanceInited = true;
    SpinLock::Configure();
    return sInstanceInited;
}

void VTaskMgr::DeInit() {
    VTaskMgr* manager = sInstance;
    if (manager == nullptr)
        return;
    VTask* main = manager->fMainTask;
    std::vector<VTask*> tasks;
    manager->GetTasks(tasks);
    bool othersDead = true;
    for (VTask* task : tasks) {
        if (task != main && task->GetState() != eTaskStateDead) {
            task->Kill();
            if (!task->WaitForDeath(kDeInitWaitMs))
                othersDead = false;
        }
        ReleaseTask(task);
    }
    main->_EndMainTask();
    manager->PurgeDeadTasks();
    manager->fMainTask = nullptr;
    ReleaseTask(main);
    sInstance = nullptr;
    sInstanceInited = false;
    // A task still alive keeps using the manager (its lock, its tables): it stays allocated.
    if (othersDead)
        delete manager;
}

VTaskMgr::~VTaskMgr() = default;

VTaskID VTaskMgr::_AssignNonTaskID() noexcept {
    VTaskID id = sNonTaskIDCounter.fetch_sub(1, std::memory_order_relaxed) - 1;
    sCurrentTaskID = id;
    return id;
}

void VTaskMgr::_SetCurrentTask(VTask* inTask) noexcept {
    sCurrentTask = inTask;
    sCurrentTaskID = inTask != nullptr ? inTask->GetID() : 0;
}

VTaskID VTaskMgr::_GetNewTaskID(VTaskID inPlatformID, bool& outFromCounter) {
    outFromCounter = inPlatformID == 0;
    if (inPlatformID != 0)
        return inPlatformID;
    StLocker lock(fLock);
    if (!fRecycledIDs.empty()) {
        VTaskID id = fRecycledIDs.back();
        fRecycledIDs.pop_back();
        return id;
    }
    return --fTaskIDCounter;
}

void VTaskMgr::_RecycleTaskID(VTaskID inTaskID) {
    StLocker lock(fLock);
    fRecycledIDs.push_back(inTaskID);
}

void VTaskMgr::_RegisterTask(VTask* inTask) {
    VTask* dead = nullptr;
    inTask->Retain();
    {
        StLocker lock(fLock);
        if (fNeedsPurge)
            dead = _UnlinkDeadTasks();
        inTask->fNextTask = fFirstTask;
        fFirstTask = inTask;
    }
    _ReleaseUnlinked(dead);
}

VTask* VTaskMgr::_UnlinkDeadTasks() {
    VTask* dead = nullptr;
    VTask** link = &fFirstTask;
    while (VTask* task = *link) {
        if (task->GetState() == eTaskStateDead) {
            *link = task->fNextTask;
            task->fNextTask = dead;
            dead = task;
        } else {
            link = &task->fNextTask;
        }
    }
    fNeedsPurge = false;
    return dead;
}

void VTaskMgr::_ReleaseUnlinked(VTask* inTasks) {
    // Outside the manager lock: releasing a task joins its thread.
    while (inTasks != nullptr) {
        VTask* next = inTasks->fNextTask;
        inTasks->fNextTask = nullptr;
        ReleaseTask(inTasks);
        inTasks = next;
    }
}

void VTaskMgr::PurgeDeadTasks() {
    VTask* dead = nullptr;
    {
        StLocker lock(fLock);
        dead = _UnlinkDeadTasks();
    }
    _ReleaseUnlinked(dead);
}

int32_t VTaskMgr::GetTaskCount(bool inOnlyAlive) {
    StLocker lock(fLock);
    int32_t count = 0;
    for (VTask* task = fFirstTask; task != nullptr; task = task->fNextTask) {
        ETaskState state = task->GetState();
        if (inOnlyAlive ? state < eTaskStateDying : (state == eTaskStateRunning || state == eTaskStateDying))
            ++count;
    }
    return count;
}

VTask* VTaskMgr::GetTaskByID(VTaskID inTaskID) {
    StLocker lock(fLock);
    for (VTask* task = fFirstTask; task != nullptr; task = task->fNextTask) {
        if (task->GetID() == inTaskID)
            return task;
    }
    return nullptr;
}

VTask* VTaskMgr::RetainTaskByID(VTaskID inTaskID) {
    StLocker lock(fLock);
    return RetainRefCountable(GetTaskByID(inTaskID));
}

void VTaskMgr::GetTasks(std::vector<VTask*>& outTasks) {
    StLocker lock(fLock);
    for (VTask* task = fFirstTask; task != nullptr; task = task->fNextTask)
        outTasks.push_back(RetainRefCountable(task));
}

void VTaskMgr::YieldNow() noexcept {
    XPosixTaskMgr::Yield();
}

VTaskDataKey VTaskMgr::CreateDataKey(DataDestructor inDestructor) {
    StLocker lock(fLock);
    size_t index = 0;
    while (index < fDataKeys.size() && fDataKeys[index].fInUse)
        ++index;
    if (index == fDataKeys.size())
        fDataKeys.emplace_back();
    fDataKeys[index].fDestructor = inDestructor;
    fDataKeys[index].fInUse = true;
    return static_cast<VTaskDataKey>(index + 1);
}

void VTaskMgr::DeleteDataKey(VTaskDataKey inKey) {
    StLocker lock(fLock);
    if (inKey >= 1 && inKey <= fDataKeys.size())
        fDataKeys[inKey - 1] = DataKeySlot{};
}

bool VTaskMgr::CheckDataKey(VTaskDataKey inKey) {
    StLocker lock(fLock);
    return inKey >= 1 && inKey <= fDataKeys.size() && fDataKeys[inKey - 1].fInUse;
}

void VTaskMgr::_DisposeTaskData(std::vector<void*>& ioData) {
    std::vector<DataDestructor> destructors(ioData.size(), nullptr);
    {
        StLocker lock(fLock);
        for (size_t i = 0; i < ioData.size() && i < fDataKeys.size(); ++i) {
            if (ioData[i] != nullptr && fDataKeys[i].fInUse)
                destructors[i] = fDataKeys[i].fDestructor;
        }
    }
    // Destructors run outside the lock: they may use the manager.
    for (size_t i = 0; i < ioData.size(); ++i) {
        if (destructors[i] != nullptr)
            destructors[i](ioData[i]);
    }
}

void VTaskMgr::ReportPosixError(int32_t inResult) {
    if (sErrorReporter != nullptr)
        sErrorReporter((kPosixComponent << 32) | static_cast<uint32_t>(inResult));
}

} // namespace vkit
