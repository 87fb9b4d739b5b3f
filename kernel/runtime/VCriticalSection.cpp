// VCriticalSection: ownership by task id under a spin lock, with a waiting object made on contention.
#include "runtime/VCriticalSection.h"

#include "runtime/VSyncEvent.h"
#include "runtime/VTaskMgr.h"

namespace vkit {

VCriticalSection::~VCriticalSection() {
    SpinLock::Lock(fSpin);
    VSyncEvent* detached = fWaitEvent;
    fWaitEvent = nullptr;
    fOwner = 0;
    fCount = 0;
    SpinLock::Unlock(fSpin);
    if (detached != nullptr) {
        detached->Signal();
        detached->Release();
    }
}

bool VCriticalSection::Lock() {
    VTaskID self = VTaskMgr::GetCurrentTaskID();
    // Uncontended: one spin-lock round trip. The first try of every strategy is immediate, so trying
    // here before calling the configured strategy changes nothing but the cost of a call.
    if (SpinLock::TryLock(fSpin)) {
        bool taken = _TryToTake(self);
        SpinLock::Unlock(fSpin);
        if (taken)
            return true;
    }
    _LockContended(self);
    return true;
}

void VCriticalSection::_LockContended(VTaskID inSelf) {
    VSyncEvent* spare = nullptr;
    bool yielded = false;
    for (;;) {
        SpinLock::Lock(fSpin);
        if (_TryToTake(inSelf)) {
            SpinLock::Unlock(fSpin);
            break;
        }
        if (fWaitEvent == nullptr && spare != nullptr) {
            fWaitEvent = spare;
            spare = nullptr;
        }
        VSyncEvent* event = fWaitEvent;
        if (event == nullptr) {
            // Allocating under the spin lock would make every other task spin on a malloc.
            SpinLock::Unlock(fSpin);
            spare = new VSyncEvent;
            continue;
        }
        event->Retain();
        SpinLock::Unlock(fSpin);
        if (!yielded && SpinLock::GetYieldAfterCheckEvent()) {
            // The owner often leaves within a time slice: one yield may spare the sleep.
            yielded = true;
            VTaskMgr::YieldNow();
        } else {
            // The owner's last Unlock detaches the event and signals it after us, or has already
            // signalled it: either way this wait ends.
            event->Wait();
        }
        event->Release();
    }
    if (spare != nullptr)
        spare->Release();
}

bool VCriticalSection::TryToLock() {
    VTaskID self = VTaskMgr::GetCurrentTaskID();
    SpinLock::Lock(fSpin);
    bool taken = _TryToTake(self);
    SpinLock::Unlock(fSpin);
    return taken;
}

bool VCriticalSection::Unlock() {
    VTaskID self = VTaskMgr::GetCurrentTaskID();
    SpinLock::Lock(fSpin);
    if (fOwner != self || fCount <= 0) {
        SpinLock::Unlock(fSpin);
        return false;
    }
    VSyncEvent* detached = nullptr;
    if (--fCount == 0) {
        fOwner = 0;
        detached = fWaitEvent;
        fWaitEvent = nullptr;
    }
    SpinLock::Unlock(fSpin);
    if (detached != nullptr)
        _WakeWaiters(detached);
    return true;
}

void VCriticalSection::_WakeWaiters(VSyncEvent* inDetached) {
    inDetached->Signal();
    inDetached->Release();
}

int32_t VCriticalSection::_UnlockAll() {
    VTaskID self = VTaskMgr::GetCurrentTaskID();
    SpinLock::Lock(fSpin);
    if (fOwner != self) {
        SpinLock::Unlock(fSpin);
        return 0;
    }
    int32_t count = fCount;
    fOwner = 0;
    fCount = 0;
    VSyncEvent* detached = fWaitEvent;
    fWaitEvent = nullptr;
    SpinLock::Unlock(fSpin);
    if (detached != nullptr) {
        detached->Signal();
        detached->Release();
    }
    return count;
}

void VCriticalSection::_RelockWithCount(int32_t inCount) {
    if (inCount <= 0)
        return;
    Lock();
    SpinLock::Lock(fSpin);
    fCount = inCount;
    SpinLock::Unlock(fSpin);
}

VTaskID VCriticalSection::GetOwner() const noexcept {
    SpinLock::Lock(fSpin);
    VTaskID owner = fOwner;
    SpinLock::Unlock(fSpin);
    return owner;
}

int32_t VCriticalSection::GetLockCount() const noexcept {
    SpinLock::Lock(fSpin);
    int32_t count = fCount;
    SpinLock::Unlock(fSpin);
    return count;
}

} // namespace vkit
