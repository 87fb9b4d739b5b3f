// VMessageQueue: queued messages and events under a critical section and its condition variable.
#include "runtime/VMessageQueue.h"

#include "runtime/StLocker.h"
#include "runtime/VSystem.h"

#include <utility>

namespace vkit {

bool VMessageQueue::Post(Message inMessage) {
    StLocker lock(fSection);
    if (fStopped)
        return false;
    fMessages.push_back(std::move(inMessage));
    fCondition.Broadcast();
    return true;
}

void VMessageQueue::SetEvent() {
    StLocker lock(fSection);
    ++fEventCount;
    fCondition.Broadcast();
}

int32_t VMessageQueue::ExecuteMessages(int32_t inTimeoutMs) {
    uint32_t start = VSystem::GetCurrentTime();
    std::deque<Message> pending;
    {
        StLocker lock(fSection);
        while (fMessages.empty() && fEventCount == fSeenEventCount && !fStopped) {
            int32_t remaining = -1;
            if (inTimeoutMs >= 0) {
                uint32_t elapsed = VSystem::GetCurrentTime() - start;
                if (elapsed >= static_cast<uint32_t>(inTimeoutMs))
                    break;
                remaining = inTimeoutMs - static_cast<int32_t>(elapsed);
            }
            fCondition.Wait(remaining);
        }
        fSeenEventCount = fEventCount;
        pending.swap(fMessages);
    }
    // Run outside the lock: a message may post further messages.
    int32_t count = 0;
    for (Message& message : pending) {
        message();
        ++count;
    }
    return count;
}

void VMessageQueue::Stop() {
    std::deque<Message> dropped;
    StLocker lock(fSection);
    fStopped = true;
    dropped.swap(fMessages);
    fCondition.Broadcast();
}

bool VMessageQueue::IsStopped() {
    StLocker lock(fSection);
    return fStopped;
}

uint32_t VMessageQueue::GetEventCount() {
    StLocker lock(fSection);
    return fEventCount;
}

} // namespace vkit
