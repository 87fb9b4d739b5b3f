// VTaskMgr: the task manager: the main task, task ids, the task list and task-local data keys.
#pragma once

#include "platform/posix/runtime/XPosixTaskMgr.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VTaskTypes.h"
#include "text/IRefCountable.h"
#include "text/VObject.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace vkit {

class VActivityToken;
class VTask;

/// The one task manager of the process. Init turns the calling thread into the main task; tasks
/// register in the manager's list when they run and leave it, once dead, through PurgeDeadTasks.
/// The manager lock guards the list, the id tables and the data keys; the current task and its id are
/// thread-local, so finding them takes no lock.
class VTaskMgr : public VObject {
public:
    using DataDestructor = void (*)(void* inData);
    /// Receives the errors the runtime cannot push itself (the errors library sits above it and
    /// installs the reporter at its initialization): a full error code, component in the high half.
    using ErrorReporter = void (*)(uint64_t inErrorCode);

    /// Process init flag: tasks run as fibers. Linux has none: tasks stay threads.
    static constexpr uint32_t kInitFlagFibered = 0x02;
    /// Stack size of new tasks unless set otherwise.
    static constexpr size_t kDefaultStackSize = 1024 * 1024;

    static VTaskMgr* sInstance;
    /// True when Init succeeded.
    static bool sInstanceInited;
    static ErrorReporter sErrorReporter;
    /// Registers (inRegister true) or unregisters the activity token a task holds while it runs. The
    /// process object, which keeps the tokens and sits above the runtime, installs it at its
    /// initialization; none is installed without a process object.
    using ActivityRegistrar = void (*)(VActivityToken* inToken, bool inRegister);
    static std::atomic<ActivityRegistrar> sActivityRegistrar;

    /// Creates the manager and the main task on the calling thread, names the thread, then tunes the
    /// spin locks (SpinLock::Configure). inProcessFlags are the process's init flags. A second call
    /// returns the first one's result. Returns false when the manager could not start.
    static bool Init(uint32_t inProcessFlags = 0);

    /// Ends the main task and frees the manager (called on the main thread at process end). Tasks
    /// still alive are killed and waited for, each at most 2 s; when one stays alive the manager is
    /// kept in memory, since its thread still refers to it.
    static void DeInit();

    /// The manager, null before Init and after DeInit.
    static VTaskMgr* Get() noexcept { return sInstance; }

    /// The calling thread's task id. A thread that is not a task receives, on its first call, a
    /// negative id of its own (-1, -2, ... in the order of the calls). Takes no lock.
    static VTaskID GetCurrentTaskID() noexcept {
        VTaskID id = sCurrentTaskID;
        return id != 0 ? id : _AssignNonTaskID();
    }
    /// The calling thread's task, null on a thread that is not a task.
    static VTask* GetCurrentTask() noexcept { return sCurrentTask; }

    /// The main task (not retained).
    VTask* GetMainTask() const noexcept { return fMainTask; }

    /// Under the manager lock, the registered tasks that are starting or running (inOnlyAlive), or
    /// running or dying (otherwise).
    int32_t GetTaskCount(bool inOnlyAlive);
    /// The registered task with that id, null when none (not retained: only for the id's own thread or
    /// while the task is known to stay registered). With tasks dead but not purged, the newest wins.
    VTask* GetTaskByID(VTaskID inTaskID);
    /// As GetTaskByID, retained for the caller.
    VTask* RetainTaskByID(VTaskID inTaskID);
    /// Appends every registered task, retained.
    void GetTasks(std::vector<VTask*>& outTasks);

    /// Removes the dead tasks from the list and releases them.
    void PurgeDeadTasks();

    /// Gives up the processor to another thread.
    static void YieldNow() noexcept;

    /// A new key of task-local data (the first free slot, else a new one); inDestructor, when not
    /// null, receives each task's non-null value when the task ends.
    VTaskDataKey CreateDataKey(DataDestructor inDestructor);
    /// Frees a key; values still stored under it are no longer passed to its destructor.
    void DeleteDataKey(VTaskDataKey inKey);
    /// True when the key is in use.
    bool CheckDataKey(VTaskDataKey inKey);

    /// Stack size of tasks created with a stack size of 0.
    void SetDefaultStackSize(size_t inSize) noexcept {
        fDefaultStackSize.store(inSize, std::memory_order_relaxed);
    }
    size_t GetDefaultStackSize() const noexcept { return fDefaultStackSize.load(std::memory_order_relaxed); }
    /// The main thread's stack size (64 KB when the system does not report it).
    size_t GetMainTaskStackSize() const noexcept { return fMainTaskStackSize; }

    /// Hands a failed POSIX call's result to the error reporter as a "POSX" error; nothing when no
    /// reporter is installed.
    static void ReportPosixError(int32_t inResult);

    const XPosixTaskMgr& GetPlatform() const noexcept { return fPlatform; }

private:
    friend class VTask;

    struct DataKeySlot {
        DataDestructor fDestructor = nullptr;
        bool fInUse = false;
    };

    VTaskMgr() = default;
    ~VTaskMgr() override;

    static VTaskID _AssignNonTaskID() noexcept;
    /// Installs the calling thread's task (null: none).
    static void _SetCurrentTask(VTask* inTask) noexcept;
    /// inPlatformID when not 0, else a recycled id or the next of the counter (-1, -2, ...).
    VTaskID _GetNewTaskID(VTaskID inPlatformID, bool& outFromCounter);
    void _RecycleTaskID(VTaskID inTaskID);
    /// Adds a task to the list (retained), purging the dead first when some died since.
    void _RegisterTask(VTask* inTask);
    /// Passes each non-null value to its key's destructor.
    void _DisposeTaskData(std::vector<void*>& ioData);
    /// Unlinks the dead tasks; the caller releases them outside the lock.
    VTask* _UnlinkDeadTasks();
    static void _ReleaseUnlinked(VTask* inTasks);

    static constinit thread_local VTask* sCurrentTask;
    static constinit thread_local VTaskID sCurrentTaskID;
    static std::atomic<VTaskID> sNonTaskIDCounter;

    VCriticalSection fLock;
    VTask* fMainTask = nullptr;
    VTask* fFirstTask = nullptr; // singly linked through VTask::fNextTask
    std::deque<VTaskID> fRecycledIDs;
    VTaskID fTaskIDCounter = 0;
    std::vector<DataKeySlot> fDataKeys;
    bool fNeedsPurge = false;
    std::atomic<size_t> fDefaultStackSize{kDefaultStackSize};
    size_t fMainTaskStackSize = 0;
    XPosixTaskMgr fPlatform;
};

} // namespace vkit
