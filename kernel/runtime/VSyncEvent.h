// VSyncEvent: an event that tasks wait on until another task signals it.
#pragma once

#include "platform/posix/runtime/XPosixSyncEvent.h"
#include "text/IRefCountable.h"
#include "text/VObject.h"

#include <cstdint>

namespace vkit {

/// A manual-reset event: once signalled it stays signalled, and every wait returns at once, until
/// Reset. Reference counted, so that a waiter can keep it alive after its owner detached it (the
/// critical sections hand their waiting object around this way).
class VSyncEvent : public VObject, public IRefCountable {
public:
    VSyncEvent() = default;

    /// Waits until the event is signalled or inTimeoutMs milliseconds have passed (a negative
    /// time-out waits without limit). Returns true when the event is signalled, false at the time-out.
    bool Wait(int32_t inTimeoutMs = -1);

    /// Signals the event: sets its flag, counts the signal and wakes every waiter.
    void Signal();

    /// Clears the flag; later waits block again.
    void Reset();

    /// True while the event is signalled.
    bool IsSignalled();

    /// How many times the event was signalled since it was created.
    uint32_t GetSignalCount();

private:
    XPosixSyncEvent fPlatform;
    bool fSignalled = false;
    uint32_t fWaiterCount = 0;
    uint32_t fSignalCount = 0;
};

} // namespace vkit
