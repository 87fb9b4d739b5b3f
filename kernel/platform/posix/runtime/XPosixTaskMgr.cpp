// XPosixTaskMgr: thread ids, stack sizes and yielding on Linux.
#include "platform/posix/runtime/XPosixTaskMgr.h"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

namespace vkit {

int32_t XPosixTaskMgr::GetCurrentThreadID() noexcept {
    return static_cast<int32_t>(gettid());
}

size_t XPosixTaskMgr::GetCurrentThreadStackSize() noexcept {
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0)
        return 0;
    size_t size = 0;
    if (pthread_attr_getstacksize(&attributes, &size) != 0)
        size = 0;
    pthread_attr_destroy(&attributes);
    return size;
}

void XPosixTaskMgr::Yield() noexcept {
    sched_yield();
}

} // namespace vkit
