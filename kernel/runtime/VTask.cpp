// VTask: task creation, the run sequence on the task's thread, death, sleeps, data and messages.
#include "runtime/VTask.h"

#include "runtime/StLocker.h"
#include "runtime/VActivityToken.h"
#include "runtime/VMessageQueue.h"
#include "runtime/VSystem.h"
#include "runtime/VTaskMgr.h"
#include "text/VIntlMgr.h"

#include <algorithm>
#include <utility>

namespace vkit {

namespace {

/// A clone of the calling task's (or the process's) international manager, for a new task.
VIntlMgr* CloneIntlMgr() {
    VIntlMgr* base = VIntlMgr::GetDefaultMgr();
    VIntlMgr* clone = VIntlMgr::Create(base->GetLocaleName());
    return clone != nullptr ? clone : RetainRefCountable(base);
}

constexpr size_t kThreadNameMaxBytes = 15;

} // namespace

VTask::VTask(size_t inStackSize, ETaskStyle inStyle, Body inBody)
    : fManager(VTaskMgr::Get()), fStyle(inStyle), fBody(std::move(inBody)) {
    fStackSize = inStackSize != 0
                     ? inStackSize
                     : (fManager != nullptr ? fManager->GetDefaultStackSize() : VTaskMgr::kDefaultStackSize);
    fIntlMgr = CloneIntlMgr();
    int result = fPlatform.Create(fStackSize, &_ThreadEntry, this);
    if (result != 0)
        VTaskMgr::ReportPosixError(result);
    if (fManager != nullptr)
        fID = fManager->_GetNewTaskID(fPlatform.GetThreadID(), fIDFromCounter);
    else
        fID = fPlatform.GetThreadID();
}

VTask::VTask(VObject* inOwner, size_t inStackSize, ETaskStyle inStyle, TaskProc inProc)
    : VTask(inStackSize, inStyle, inProc != nullptr ? Body([this, inProc] { inProc(this); }) : Body()) {
    fOwner = inOwner;
}

VTask::VTask(VTaskMgr* inManager, MainTaskTag)
    : fManager(inManager), fIsMain(true), fStyle(eTaskStylePreemptive), fState(eTaskStateRunning) {
    fStackSize = inManager->GetMainTaskStackSize();
    fIntlMgr = CloneIntlMgr();
    fPlatform.AttachToCurrentThread();
    fID = inManager->_GetNewTaskID(fPlatform.GetThreadID(), fIDFromCounter);
}

VTask::~VTask() {
    // A thread still parked at its start gate is let go: it sees the task dead and returns.
    if (_MoveState(eTaskStateCreated, eTaskStateDead))
        fPlatform.Start();
    fPlatform.Join();
    if (VMessageQueue* queue = fMessageQueue.load(std::memory_order_acquire))
        queue->Release();
    for (VMessageQueue* waiter : fDeathWaiters)
        waiter->Release();
    delete fErrorContext;
    _DisposeData();
    ReleaseRefCountable(&fIntlMgr);
    if (fIDFromCounter && fManager != nullptr && VTaskMgr::Get() == fManager)
        fManager->_RecycleTaskID(fID);
}

void VTask::DoOnRefCountZero() {
    delete this;
}

bool VTask::_MoveState(ETaskState inFrom, ETaskState inTo) noexcept {
    int32_t expected = inFrom;
    return fState.compare_exchange_strong(expected, inTo, std::memory_order_acq_rel);
}

bool VTask::Run() {
    if (!_MoveState(eTaskStateCreated, eTaskStateStarting))
        return false;
    if (VTaskMgr::ActivityRegistrar registrar = VTaskMgr::sActivityRegistrar.load(); registrar != nullptr) {
        VString name;
        GetName(name);
        VString description("Running task ");
        fActivityToken = new VActivityToken(description.AppendString(name));
        registrar(fActivityToken, true);
    }
    if (!fPlatform.IsCreated() || fManager == nullptr || VTaskMgr::Get() != fManager) {
        _SetStateDead();
        return false;
    }
    fManager->_RegisterTask(this);
    fPlatform.Start();
    return true;
}

void VTask::_ThreadEntry(void* inTask) {
    VTask* task = static_cast<VTask*>(inTask);
    // Released without Run (the task was destroyed first): nothing to do.
    if (task->GetState() != eTaskStateStarting)
        return;
    task->_Run();
}

void VTask::_Run() {
    VTaskMgr::_SetCurrentTask(this);
    VIntlMgr::SetCurrentMgr(fIntlMgr);
    _MoveState(eTaskStateStarting, eTaskStateRunning);
    _NameThread();
    if (fBody) {
        fBody();
        fDyingTick.store(VSystem::GetCurrentTime(), std::memory_order_relaxed);
        _MoveState(eTaskStateRunning, eTaskStateDying);
    } else {
        _RunHooks();
    }
    if (VMessageQueue* queue = fMessageQueue.load(std::memory_order_acquire))
        queue->Stop();
    _DisposeData();
    VIntlMgr::SetCurrentMgr(nullptr);
    VTaskMgr::_SetCurrentTask(nullptr);
    // The last use of this object on its thread: once dead it may be released at any time.
    _SetStateDead();
}

void VTask::_RunHooks() {
    DoInit();
    while (GetState() < eTaskStateDying) {
        if (!DoRun()) {
            Kill();
            break;
        }
        if (VMessageQueue* queue = fMessageQueue.load(std::memory_order_acquire))
            queue->ExecuteMessages(0);
    }
    DoDeInit();
}

void VTask::_SetStateDead() {
    if (fActivityToken != nullptr) {
        if (VTaskMgr::ActivityRegistrar registrar = VTaskMgr::sActivityRegistrar.load(); registrar != nullptr)
            registrar(fActivityToken, false);
        delete fActivityToken;
        fActivityToken = nullptr;
    }
    std::vector<VMessageQueue*> waiters;
    if (fManager != nullptr) {
        StLocker lock(fManager->fLock);
        waiters.swap(fDeathWaiters);
        fState.store(eTaskStateDead, std::memory_order_release);
        fManager->fNeedsPurge = true;
    } else {
        fState.store(eTaskStateDead, std::memory_order_release);
    }
    for (VMessageQueue* waiter : waiters) {
        waiter->SetEvent();
        waiter->Release();
    }
}

void VTask::_EndMainTask() {
    fDyingTick.store(VSystem::GetCurrentTime(), std::memory_order_relaxed);
    _MoveState(eTaskStateRunning, eTaskStateDying);
    if (VMessageQueue* queue = fMessageQueue.load(std::memory_order_acquire))
        queue->Stop();
    _DisposeData();
    if (VTaskMgr::GetCurrentTask() == this) {
        VIntlMgr::SetCurrentMgr(nullptr);
        VTaskMgr::_SetCurrentTask(nullptr);
    }
    _SetStateDead();
}

void VTask::Kill() {
    if (GetCurrent() != this) {
        while (GetState() == eTaskStateStarting)
            VTaskMgr::YieldNow();
    }
    if (GetState() != eTaskStateRunning)
        return;
    DoPrepareToDie();
    fDyingTick.store(VSystem::GetCurrentTime(), std::memory_order_relaxed);
    _MoveState(eTaskStateRunning, eTaskStateDying);
}

void VTask::Exit() {
    if (GetState() != eTaskStateRunning)
        return;
    fDyingTick.store(VSystem::GetCurrentTime(), std::memory_order_relaxed);
    _MoveState(eTaskStateRunning, eTaskStateDying);
}

bool VTask::IsDying(uint32_t* outTicksSinceKill) const {
    bool dying = GetState() >= eTaskStateDying;
    if (outTicksSinceKill != nullptr)
        *outTicksSinceKill =
            dying ? VSystem::GetCurrentTime() - fDyingTick.load(std::memory_order_relaxed) : 0;
    return dying;
}

bool VTask::WaitForDeath(int32_t inTimeoutMs) {
    VTask* caller = GetCurrent();
    if (caller == this)
        return false;
    if (GetState() == eTaskStateDead)
        return true;
    if (fManager == nullptr)
        return false;
    // A thread that is not a task, or a task whose messaging already stopped (its data destructors
    // run after that), waits on a queue of its own: a stopped queue does not wait.
    VMessageQueue* queue = caller != nullptr ? RetainRefCountable(caller->_GetMessageQueue()) : nullptr;
    if (queue == nullptr || queue->IsStopped()) {
        ReleaseRefCountable(&queue);
        queue = new VMessageQueue;
    }
    {
        StLocker lock(fManager->fLock);
        if (GetState() == eTaskStateDead) {
            queue->Release();
            return true;
        }
        queue->Retain();
        fDeathWaiters.push_back(queue);
    }
    uint32_t start = VSystem::GetCurrentTime();
    while (GetState() != eTaskStateDead) {
        int32_t remaining = -1;
        if (inTimeoutMs >= 0) {
            uint32_t elapsed = VSystem::GetCurrentTime() - start;
            if (elapsed >= static_cast<uint32_t>(inTimeoutMs))
                break;
            remaining = inTimeoutMs - static_cast<int32_t>(elapsed);
        }
        queue->ExecuteMessages(remaining);
    }
    _RemoveDeathWaiter(queue);
    queue->Release();
    return GetState() == eTaskStateDead;
}

void VTask::_RemoveDeathWaiter(VMessageQueue* inQueue) {
    bool removed = false;
    {
        StLocker lock(fManager->fLock);
        auto found = std::find(fDeathWaiters.begin(), fDeathWaiters.end(), inQueue);
        if (found != fDeathWaiters.end()) {
            fDeathWaiters.erase(found);
            removed = true;
        }
    }
    if (removed)
        inQueue->Release();
}

void VTask::SetName(const VString& inName) {
    StLocker lock(fNameLock);
    fName = inName;
}

void VTask::GetName(VString& outName) const {
    StLocker lock(fNameLock);
    outName = fName;
}

std::string VTask::MakeThreadName(const VString& inName, VTaskID inID) {
    std::string name = inName.ToUTF8();
    name += " (id = ";
    name += std::to_string(inID);
    name += ')';
    if (name.size() > kThreadNameMaxBytes) {
        size_t length = kThreadNameMaxBytes;
        // Back up to the first byte of a character cut in two.
        while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80)
            --length;
        name.resize(length);
    }
    return name;
}

void VTask::_NameThread() {
    VString name;
    GetName(name);
    XPosixTask::SetCurrentThreadName(MakeThreadName(name, fID).c_str());
}

VTask* VTask::GetCurrent() noexcept {
    return VTaskMgr::GetCurrentTask();
}

VTaskID VTask::GetCurrentID() noexcept {
    return VTaskMgr::GetCurrentTaskID();
}

VTask* VTask::GetMain() noexcept {
    VTaskMgr* manager = VTaskMgr::Get();
    return manager != nullptr ? manager->GetMainTask() : nullptr;
}

bool VTask::IsCurrentMain() noexcept {
    VTask* current = GetCurrent();
    return current != nullptr && current->fIsMain;
}

void VTask::Sleep(int32_t inMilliseconds) {
    if (inMilliseconds < 1) {
        VTaskMgr::YieldNow();
        return;
    }
    if (VTask* task = GetCurrent())
        task->fPlatform.Sleep(static_cast<uint32_t>(inMilliseconds));
}

void VTask::WakeUp() {
    fPlatform.WakeUp();
}

void* VTask::GetCurrentData(VTaskDataKey inKey) noexcept {
    VTask* task = GetCurrent();
    if (task == nullptr || inKey == 0 || inKey > task->fData.size())
        return nullptr;
    return task->fData[inKey - 1];
}

void VTask::SetCurrentData(VTaskDataKey inKey, void* inData) {
    VTask* task = GetCurrent();
    if (task == nullptr || inKey == 0)
        return;
    if (task->fData.size() < inKey)
        task->fData.resize(inKey, nullptr);
    task->fData[inKey - 1] = inData;
}

void VTask::_DisposeData() {
    // A destructor may store new data; a few rounds catch it, as thread-specific data does.
    for (int round = 0; round < 4 && !fData.empty(); ++round) {
        std::vector<void*> data;
        data.swap(fData);
        if (fManager != nullptr)
            fManager->_DisposeTaskData(data);
    }
    fData.clear();
}

VMessageQueue* VTask::_GetMessageQueue() {
    VMessageQueue* queue = fMessageQueue.load(std::memory_order_acquire);
    if (queue != nullptr)
        return queue;
    VMessageQueue* created = new VMessageQueue;
    if (fMessageQueue.compare_exchange_strong(queue, created, std::memory_order_acq_rel))
        return created;
    created->Release();
    return queue;
}

int32_t VTask::ExecuteMessagesWithTimeout(int32_t inTimeoutMs, bool inCallIdle) {
    VTask* task = GetCurrent();
    if (task == nullptr)
        return 0;
    int32_t count = task->_GetMessageQueue()->ExecuteMessages(inTimeoutMs);
    if (inCallIdle && count == 0)
        task->DoIdle();
    return count;
}

bool VTask::PostMessage(std::function<void()> inMessage) {
    return _GetMessageQueue()->Post(std::move(inMessage));
}

void VTask::SetMessageQueueEvent() {
    _GetMessageQueue()->SetEvent();
}

void VTask::SetErrorContextSlot(VObject* inContext) {
    if (inContext != fErrorContext) {
        delete fErrorContext;
        fErrorContext = inContext;
    }
}

} // namespace vkit
