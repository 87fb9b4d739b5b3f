// VCriticalSection: the recursive lock, owned per task id, that guards the library's shared structures.
#pragma once

#include "runtime/SpinLock.h"
#include "runtime/VTaskTypes.h"

#include <cstdint>

namespace vkit {

class VSyncEvent;

/// A recursive lock owned by a task (its id): the owner may lock it again and must unlock it as many
/// times. Its fields are guarded by a spin lock, so that an uncontended Lock or Unlock costs one
/// spin-lock round trip; a waiting object (VSyncEvent) is created only when a second task contends,
/// and is dropped again when the section becomes free. Any thread may use it: threads that are not
/// tasks are told apart by their own negative ids.
class VCriticalSection {
public:
    VCriticalSection() noexcept = default;
    /// Unlocks as many times as the count requires, so that waiters go on.
    ~VCriticalSection();
    VCriticalSection(const VCriticalSection&) = delete;
    VCriticalSection& operator=(const VCriticalSection&) = delete;

    /// Takes the section, waiting while another task owns it. Always returns true.
    bool Lock();

    /// Takes the section when it is free or already the caller's; returns false instead of waiting.
    bool TryToLock();

    /// Gives back one level of ownership; at the last level the section is free and its waiters are
    /// woken. Returns false (and changes nothing) when the caller does not own the section.
    bool Unlock();

    /// The id of the owning task, 0 when free.
    VTaskID GetOwner() const noexcept;
    /// How many times the owner has locked it (0 when free).
    int32_t GetLockCount() const noexcept;

private:
    friend class VConditionVariable;

    /// Frees the section whatever its count when the caller owns it; returns the count it had (0, and
    /// nothing changed, when the caller is not the owner).
    int32_t _UnlockAll();
    /// Takes the section back with the count _UnlockAll returned (nothing for 0).
    void _RelockWithCount(int32_t inCount);
    /// Under the spin lock: becomes owner or re-enters; false when another task owns it.
    bool _TryToTake(VTaskID inTaskID) noexcept {
        if (fOwner == 0) {
            fOwner = inTaskID;
            fCount = 1;
            return true;
        }
        if (fOwner == inTaskID) {
            ++fCount;
            return true;
        }
        return false;
    }
    /// The waiting loop of Lock, once the first try found the section taken.
    [[gnu::noinline]] void _LockContended(VTaskID inSelf);
    /// Signals and releases a waiting object detached by the last Unlock.
    [[gnu::noinline]] static void _WakeWaiters(VSyncEvent* inDetached);

    mutable SpinLock::Word fSpin{0};
    VTaskID fOwner = 0;
    int32_t fCount = 0;
    VSyncEvent* fWaitEvent = nullptr;
};

} // namespace vkit
