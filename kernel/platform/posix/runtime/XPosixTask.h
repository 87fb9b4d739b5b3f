// XPosixTask: the thread of a task on Linux, on a guarded stack, with its start gate and semaphore.
#pragma once

#include "platform/posix/runtime/XPosixSyncEvent.h"

#include <cstddef>
#include <cstdint>
#include <pthread.h>

namespace vkit {

/// One thread. Create maps the stack (whole pages, plus room for the thread's TLS that the C library
/// puts at its top, plus an inaccessible guard page below it) and starts
/// a joinable thread on it, which reports its kernel id and then waits at a start gate until Start.
/// The object also carries the task's semaphore: Sleep waits on it, WakeUp signals it (several
/// wake-ups before a sleep count as one).
class XPosixTask {
public:
    using EntryProc = void (*)(void* inArgument);

    XPosixTask() noexcept = default;
    /// Joins the thread (see Join).
    ~XPosixTask();
    XPosixTask(const XPosixTask&) = delete;
    XPosixTask& operator=(const XPosixTask&) = delete;

    /// Makes the object stand for the calling thread, which it does not own (the main task).
    void AttachToCurrentThread() noexcept;

    /// Maps the stack and starts the thread, which calls inEntry(inArgument) once Start is called.
    /// Returns 0, or the failing call's error (errno of mmap or mprotect, result of a pthread call).
    int Create(size_t inStackSize, EntryProc inEntry, void* inArgument) noexcept;

    /// Opens the start gate.
    void Start() noexcept;

    /// Waits for the thread to end and unmaps its stack. Called on the thread itself it only detaches
    /// it: the stack it runs on cannot be unmapped, and stays mapped.
    void Join() noexcept;

    bool IsCreated() const noexcept { return fThreadID != 0; }
    /// The kernel id of the thread (0 before Create or after a failed one).
    int32_t GetThreadID() const noexcept { return fThreadID; }

    /// Waits on the semaphore at most inMilliseconds; true when a WakeUp ended the wait (the wake-up is
    /// consumed).
    bool Sleep(uint32_t inMilliseconds) noexcept;
    /// Signals the semaphore: ends the current sleep, or the next one at once.
    void WakeUp() noexcept;

    /// Names the calling thread (at most 15 bytes of UTF-8; longer names are refused by the system).
    /// The main thread keeps its name, which on Linux is also the process's name.
    static void SetCurrentThreadName(const char* inName) noexcept;

private:
    static void* _ThreadMain(void* inSelf);

    XPosixSyncEvent fEvent; // guards the three flags below
    bool fReady = false;
    bool fStartRequested = false;
    bool fWakeRequested = false;
    pthread_t fThread{};
    bool fOwnsThread = false;
    void* fStackMap = nullptr;
    size_t fStackMapSize = 0;
    int32_t fThreadID = 0;
    EntryProc fEntry = nullptr;
    void* fArgument = nullptr;
};

} // namespace vkit
