// XPosixSyncEvent: pthread mutex and monotonic condition variable (POSIX system calls).
#include "platform/posix/runtime/XPosixSyncEvent.h"

#include "platform/posix/runtime/XPosixSystem.h"

#include <cerrno>
#include <ctime>

namespace vkit {

XPosixSyncEvent::XPosixSyncEvent() noexcept {
    pthread_mutex_init(&fMutex, nullptr);
    pthread_condattr_t attributes;
    pthread_condattr_init(&attributes);
    pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
    pthread_cond_init(&fCondition, &attributes);
    pthread_condattr_destroy(&attributes);
}

XPosixSyncEvent::~XPosixSyncEvent() {
    pthread_cond_destroy(&fCondition);
    pthread_mutex_destroy(&fMutex);
}

bool XPosixSyncEvent::WaitUntil(uint64_t inDeadline) noexcept {
    if (inDeadline == kNoDeadline) {
        pthread_cond_wait(&fCondition, &fMutex);
        return true;
    }
    timespec deadline{};
    deadline.tv_sec = static_cast<time_t>(inDeadline / 1000000000ULL);
    deadline.tv_nsec = static_cast<long>(inDeadline % 1000000000ULL);
    return pthread_cond_timedwait(&fCondition, &fMutex, &deadline) != ETIMEDOUT;
}

uint64_t XPosixSyncEvent::DeadlineAfter(int64_t inMilliseconds) noexcept {
    if (inMilliseconds < 0)
        return kNoDeadline;
    return XPosixSystem::GetMonotonicNanoseconds() + static_cast<uint64_t>(inMilliseconds) * 1000000ULL;
}

} // namespace vkit
