// VConditionVariable: waiting for a change announced by another task, under a critical section.
#pragma once

#include "platform/posix/runtime/XPosixSyncEvent.h"

#include <cstdint>

namespace vkit {

class VCriticalSection;

/// A condition variable bound to the critical section that guards the condition. A waiter holds the
/// section, tests its condition and calls Wait, which releases the section (whatever the lock count),
/// sleeps until a Broadcast or the time-out, and takes the section back at the same count. A Broadcast
/// made after the waiter released the section is never missed.
class VConditionVariable {
public:
    explicit VConditionVariable(VCriticalSection& inSection) noexcept : fSection(inSection) {}
    VConditionVariable(const VConditionVariable&) = delete;
    VConditionVariable& operator=(const VConditionVariable&) = delete;

    /// Waits for a Broadcast at most inTimeoutMs milliseconds (negative: without limit). Returns true
    /// when woken by a Broadcast, false at the time-out. When the caller does not hold the section it
    /// is neither released nor taken.
    bool Wait(int32_t inTimeoutMs);

    /// Wakes every task waiting on the variable.
    void Broadcast();

private:
    VCriticalSection& fSection;
    XPosixSyncEvent fPlatform;
    uint64_t fGeneration = 0; // counts broadcasts; guarded by fPlatform's mutex
};

} // namespace vkit
