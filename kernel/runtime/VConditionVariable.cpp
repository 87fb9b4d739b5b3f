// VConditionVariable: a broadcast generation counter over the platform mutex and condition.
#include "runtime/VConditionVariable.h"

#include "runtime/VCriticalSection.h"

namespace vkit {

bool VConditionVariable::Wait(int32_t inTimeoutMs) {
    uint64_t deadline = XPosixSyncEvent::DeadlineAfter(inTimeoutMs);
    fPlatform.Lock();
    uint64_t generation = fGeneration;
    // Released while the platform mutex is held: a broadcaster cannot slip in between.
    int32_t count = fSection._UnlockAll();
    while (fGeneration == generation) {
        if (!fPlatform.WaitUntil(deadline))
            break;
    }
    bool woken = fGeneration != generation;
    fPlatform.Unlock();
    fSection._RelockWithCount(count);
    return woken;
}

void VConditionVariable::Broadcast() {
    fPlatform.Lock();
    ++fGeneration;
    fPlatform.Broadcast();
    fPlatform.Unlock();
}

} // namespace vkit
