// XPosixSyncEvent: a pthread mutex with a condition variable on the monotonic clock.
#pragma once

#include <cstdint>
#include <pthread.h>

namespace vkit {

/// The waiting primitive under the library's events, condition variables and task semaphores: a
/// mutex and a condition variable whose time-outs run on the monotonic clock, so that changes of the
/// wall clock neither shorten nor lengthen a wait.
class XPosixSyncEvent {
public:
    /// A deadline that never passes.
    static constexpr uint64_t kNoDeadline = UINT64_MAX;

    XPosixSyncEvent() noexcept;
    ~XPosixSyncEvent();
    XPosixSyncEvent(const XPosixSyncEvent&) = delete;
    XPosixSyncEvent& operator=(const XPosixSyncEvent&) = delete;

    void Lock() noexcept { pthread_mutex_lock(&fMutex); }
    void Unlock() noexcept { pthread_mutex_unlock(&fMutex); }

    /// Waits on the condition with the mutex held (released during the wait, held again on return)
    /// until a broadcast or a signal, or until inDeadline (monotonic nanoseconds) passes. Returns false
    /// when the deadline passed; wake-ups may be spurious, so callers test their condition again.
    bool WaitUntil(uint64_t inDeadline) noexcept;

    /// Wakes every waiter.
    void Broadcast() noexcept { pthread_cond_broadcast(&fCondition); }
    /// Wakes one waiter.
    void Signal() noexcept { pthread_cond_signal(&fCondition); }

    /// The monotonic deadline inMilliseconds from now; kNoDeadline when inMilliseconds is negative.
    static uint64_t DeadlineAfter(int64_t inMilliseconds) noexcept;

private:
    pthread_mutex_t fMutex;
    pthread_cond_t fCondition;
};

} // namespace vkit
