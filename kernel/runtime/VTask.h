// VTask: a task, the library's unit of execution: a thread with an id, a name, a state, a message
// queue, task-local data and its own error context.
#pragma once

#include "platform/posix/runtime/XPosixTask.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VTaskTypes.h"
#include "text/IRefCountable.h"
#include "text/VObject.h"
#include "text/VString.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vkit {

class VActivityToken;
class VErrorBase;
class VErrorContext;
class VErrorTaskContext;
class VIntlMgr;
class VMessageQueue;
class VTaskMgr;

/// An error code: the component's four-character signature in the high half, the number in the low.
using VError = uint64_t;

/// A task runs either its body function, once, or its virtual hooks: DoInit, then DoRun again and
/// again (with the task's pending messages executed between calls) until DoRun returns false or the
/// task is killed, then DoDeInit. Its state moves 0 created, 1 starting (Run), 2 running (thread
/// started), 3 dying (Kill, Exit, end of the body), 4 dead (thread finished), only by compare-and-swap.
/// The manager's list holds a reference on a task from Run until PurgeDeadTasks finds it dead.
///
/// The thread is created with the task (so that its id is known at once) on a stack of whole pages
/// with a guard page below, and waits until Run. It is named "<name> (id = <id>)" when it starts, cut
/// to the system's 15 bytes, and installs the task's international manager (a clone of the process's).
class VTask : public VObject, public IRefCountable {
public:
    using Body = std::function<void()>;
    using TaskProc = int32_t (*)(VTask* inTask);

    /// A task that runs inBody once, or its virtual hooks when inBody is empty; inStackSize 0 takes
    /// the manager's default. When the thread cannot be created, a "POSX" error with the call's result
    /// goes to the manager's error reporter and Run will fail.
    explicit VTask(size_t inStackSize = 0, ETaskStyle inStyle = eTaskStylePreemptive, Body inBody = {});
    /// A task that runs inProc(this) once, on behalf of inOwner (not retained).
    VTask(VObject* inOwner, size_t inStackSize, ETaskStyle inStyle, TaskProc inProc);
    ~VTask() override;

    /// Starts the task (created → starting) and registers its activity token, "Running task " followed
    /// by its name, with the process object until the task is dead (VProcess::HasSomeActivityTokens
    /// is then true). Returns false when it was already run, or when its thread could not be created
    /// or the task manager is not initialized; the task is then dead.
    bool Run();

    /// Asks the task to end: when the task is still starting (and the caller is another task), waits
    /// until it runs; then, when it is running, calls DoPrepareToDie and moves it to dying. A body
    /// function is not interrupted: it ends when it returns. A task that ended stays dead.
    void Kill();

    /// Moves the running task to dying without DoPrepareToDie: for a task ending its own loop.
    void Exit();

    /// True when the task is dying or dead; outTicksSinceKill receives the milliseconds since it
    /// started dying.
    bool IsDying(uint32_t* outTicksSinceKill = nullptr) const;

    /// Waits at most inTimeoutMs milliseconds (negative: without limit) for the task to be dead,
    /// executing the caller's messages meanwhile. Returns whether it died: false at once when called
    /// by the task itself, true at once when it is already dead.
    bool WaitForDeath(int32_t inTimeoutMs);

    ETaskState GetState() const noexcept {
        return static_cast<ETaskState>(fState.load(std::memory_order_acquire));
    }
    VTaskID GetID() const noexcept { return fID; }
    ETaskStyle GetStyle() const noexcept { return fStyle; }
    size_t GetStackSize() const noexcept { return fStackSize; }
    VObject* GetOwner() const noexcept { return fOwner; }
    /// The task's international manager.
    VIntlMgr* GetIntlMgr() const noexcept { return fIntlMgr; }

    /// Sets the name (the thread takes it when the task starts).
    void SetName(const VString& inName);
    void GetName(VString& outName) const;

    /// The calling thread's task, null on a thread that is not a task.
    static VTask* GetCurrent() noexcept;
    /// The calling thread's task id (see VTaskMgr::GetCurrentTaskID).
    static VTaskID GetCurrentID() noexcept;
    /// The main task, null without a task manager.
    static VTask* GetMain() noexcept;
    /// True when the caller is the main task.
    static bool IsCurrentMain() noexcept;

    /// Sleeps inMilliseconds on the current task's semaphore; WakeUp ends the sleep early. Below 1 ms
    /// it yields the processor. Does nothing (beyond the yield) on a thread that is not a task.
    static void Sleep(int32_t inMilliseconds);
    /// Ends the task's current sleep, or its next one at once.
    void WakeUp();

    /// The current task's data under inKey; null for key 0, a key it never set, or outside a task.
    static void* GetCurrentData(VTaskDataKey inKey) noexcept;
    /// Stores inData under inKey for the current task (its slots grow as needed); nothing for key 0 or
    /// outside a task.
    static void SetCurrentData(VTaskDataKey inKey, void* inData);

    /// On the current task: waits at most inTimeoutMs for a message or the queue's event, then executes
    /// the pending messages; with inCallIdle, calls the task's DoIdle when none ran. Returns how many
    /// ran (0 outside a task).
    static int32_t ExecuteMessagesWithTimeout(int32_t inTimeoutMs, bool inCallIdle = false);
    /// Queues a function to run on the task's thread. Returns false once the task stopped messaging.
    bool PostMessage(std::function<void()> inMessage);
    /// Sets the event of the task's message queue, ending its current wait for messages.
    void SetMessageQueueEvent();

    // The error operations are defined by the errors library (kernel/errors/VTaskErrors.cpp), which
    // keeps each task's error context in the task's slot below. The runtime itself never calls them.
    /// The current task's error context, created when inCreate; null outside a task.
    static VErrorTaskContext* GetErrorContext(bool inCreate);
    /// Pushes an error on the current task's error context.
    static void PushError(VErrorBase* inError);
    /// Pushes an error the caller hands over: PushError, then one release of the error.
    static void PushRetainedError(VErrorBase* inError);
    /// Pushes each error of inContext on the current task's error context, in order.
    static void PushErrors(const VErrorContext* inContext);
    /// Whether the top context of the current task's error context holds a memory error (vkit 100);
    /// false without one.
    static bool FailedForMemory();
    /// Empties the current task's error context.
    static void FlushErrors();
    /// The last error code of the current task's error context, 0 without one.
    [[nodiscard]] static VError GetLastError();

    /// The slot holding the task's error context (owned: deleted with the task).
    VObject* GetErrorContextSlot() const noexcept { return fErrorContext; }
    /// Replaces the error context, deleting the previous one.
    void SetErrorContextSlot(VObject* inContext);

    /// The text the thread is named with: inName followed by " (id = <id>)", cut to at most 15 bytes
    /// of UTF-8 without splitting a character.
    static std::string MakeThreadName(const VString& inName, VTaskID inID);

protected:
    virtual void DoInit() {}
    virtual void DoDeInit() {}
    /// One round of the task's work; false stops the task.
    virtual bool DoRun() { return false; }
    virtual void DoIdle() {}
    /// Called by Kill before the task moves to dying.
    virtual void DoPrepareToDie() {}

    /// Deletes the task (from the full object, not the reference-count base).
    void DoOnRefCountZero() override;

private:
    friend class VTaskMgr;
    struct MainTaskTag {};

    /// The main task, on the calling thread.
    VTask(VTaskMgr* inManager, MainTaskTag);

    static void _ThreadEntry(void* inTask);
    void _Run();
    void _RunHooks();
    bool _MoveState(ETaskState inFrom, ETaskState inTo) noexcept;
    void _SetStateDead();
    /// Ends the main task at the manager's de-initialization.
    void _EndMainTask();
    void _NameThread();
    VMessageQueue* _GetMessageQueue();
    void _DisposeData();
    void _RemoveDeathWaiter(VMessageQueue* inQueue);

    VTaskMgr* fManager;
    XPosixTask fPlatform;
    VTaskID fID = 0;
    bool fIDFromCounter = false;
    bool fIsMain = false;
    ETaskStyle fStyle;
    std::atomic<int32_t> fState{eTaskStateCreated};
    std::atomic<uint32_t> fDyingTick{0};
    Body fBody;
    VObject* fOwner = nullptr;
    size_t fStackSize = 0;
    mutable VCriticalSection fNameLock;
    VString fName;
    std::atomic<VMessageQueue*> fMessageQueue{nullptr};
    VObject* fErrorContext = nullptr;
    std::vector<void*> fData;
    VIntlMgr* fIntlMgr = nullptr;
    VActivityToken* fActivityToken = nullptr;  // owned; from Run until the task is dead
    std::vector<VMessageQueue*> fDeathWaiters; // guarded by the manager lock
    VTask* fNextTask = nullptr;                // guarded by the manager lock
};

} // namespace vkit
