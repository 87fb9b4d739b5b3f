// VMessageQueue: the messages a task executes on its own thread, and the event that wakes its waits.
#pragma once

#include "runtime/VConditionVariable.h"
#include "runtime/VCriticalSection.h"
#include "text/IRefCountable.h"
#include "text/VObject.h"

#include <cstdint>
#include <deque>
#include <functional>

namespace vkit {

/// A task's queue of messages (functions run on the task's thread) and its event counter. A task waits
/// on its queue until a message arrives, the event is set (SetEvent: another task's death, a request
/// to quit) or the time-out passes. An event set while nobody waits ends the next wait at once.
class VMessageQueue : public VObject, public IRefCountable {
public:
    using Message = std::function<void()>;

    VMessageQueue() = default;

    /// Queues a message and wakes the waiting task. Returns false (the message is dropped) once the
    /// queue is stopped.
    bool Post(Message inMessage);

    /// Counts an event and wakes the waiting task.
    void SetEvent();

    /// Waits at most inTimeoutMs milliseconds (0: no wait; negative: without limit) until a message is
    /// queued or an event is set, then runs every queued message in order. Returns how many ran.
    int32_t ExecuteMessages(int32_t inTimeoutMs);

    /// Stops the queue: queued messages are dropped without running and later posts are refused.
    void Stop();

    /// True once Stop was called.
    bool IsStopped();

    /// How many events were set.
    uint32_t GetEventCount();

private:
    VCriticalSection fSection;
    VConditionVariable fCondition{fSection};
    std::deque<Message> fMessages;
    uint32_t fEventCount = 0;
    uint32_t fSeenEventCount = 0;
    bool fStopped = false;
};

} // namespace vkit
