// XPosixTaskMgr: the Linux thread facts the task manager needs (thread ids, stack size, yielding).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vkit {

class XPosixTaskMgr {
public:
    /// Records the process's fibered flag. Linux tasks are always threads: the flag is kept for the
    /// queries of the portable side only.
    void SetFibered(bool inFibered) noexcept { fFibered = inFibered; }
    bool IsFibered() const noexcept { return fFibered; }

    /// The kernel id of the calling thread (gettid).
    static int32_t GetCurrentThreadID() noexcept;
    /// The stack size of the calling thread, 0 when the system does not report it.
    static size_t GetCurrentThreadStackSize() noexcept;
    /// Gives up the processor (sched_yield).
    static void Yield() noexcept;

private:
    bool fFibered = false;
};

} // namespace vkit
