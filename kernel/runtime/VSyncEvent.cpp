// VSyncEvent: the signalled flag and waiter count over the platform mutex and condition.
#include "runtime/VSyncEvent.h"

namespace vkit {

bool VSyncEvent::Wait(int32_t inTimeoutMs) {
    uint64_t deadline = XPosixSyncEvent::DeadlineAfter(inTimeoutMs);
    fPlatform.Lock();
    ++fWaiterCount;
    while (!fSignalled) {
        if (!fPlatform.WaitUntil(deadline))
            break;
    }
    --fWaiterCount;
    bool signalled = fSignalled;
    fPlatform.Unlock();
    return signalled;
}

void VSyncEvent::Signal() {
    fPlatform.Lock();
    fSignalled = true;
    ++fSignalCount;
    if (fWaiterCount > 0)
        fPlatform.Broadcast();
    fPlatform.Unlock();
}

void VSyncEvent::Reset() {
    fPlatform.Lock();
    fSignalled = false;
    fPlatform.Unlock();
}

bool VSyncEvent::IsSignalled() {
    fPlatform.Lock();
    bool signalled = fSignalled;
    fPlatform.Unlock();
    return signalled;
}

uint32_t VSyncEvent::GetSignalCount() {
    fPlatform.Lock();
    uint32_t count = fSignalCount;
    fPlatform.Unlock();
    return count;
}

} // namespace vkit
