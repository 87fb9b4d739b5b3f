// SpinLock: the three waiting strategies and their configuration.
#include "runtime/SpinLock.h"

#include "runtime/VSystem.h"
#include "runtime/VTaskMgr.h"

#include <algorithm>
#include <cmath>

namespace vkit {

std::atomic<SpinLock::LockProc> SpinLock::sLock{&SpinLock::_LockMaxSpinsThenLoopYields};
std::atomic<SpinLock::UnlockProc> SpinLock::sUnlock{&SpinLock::_UnlockRelease};
std::atomic<uint32_t> SpinLock::sMaxSpins{1};
std::atomic<uint32_t> SpinLock::sSleepingYields{7};
std::atomic<bool> SpinLock::sYieldAfterCheckEvent{false};
SpinLock::SettingsReader SpinLock::sSettingsReader = nullptr;

void SpinLock::_LockAlwaysSleep(Word& ioWord) noexcept {
    if (TryLock(ioWord))
        return;
    uint32_t yields = sSleepingYields.load(std::memory_order_relaxed);
    for (uint32_t i = 0; i < yields; ++i) {
        VTaskMgr::YieldNow();
        if (_TryLockPolite(ioWord))
            return;
    }
    for (;;) {
        VSystem::Delay(1);
        if (_TryLockPolite(ioWord))
            return;
    }
}

void SpinLock::_LockLoopMaxSpinsAndYields(Word& ioWord) noexcept {
    // The first try is the first of the first round's tries.
    if (TryLock(ioWord))
        return;
    uint32_t maxSpins = sMaxSpins.load(std::memory_order_relaxed);
    uint32_t tries = 1;
    for (;;) {
        for (; tries < maxSpins; ++tries) {
            if (_TryLockPolite(ioWord))
                return;
        }
        VTaskMgr::YieldNow();
        if (_TryLockPolite(ioWord))
            return;
        tries = 0;
    }
}

void SpinLock::_LockMaxSpinsThenLoopYields(Word& ioWord) noexcept {
    if (TryLock(ioWord))
        return;
    uint32_t maxSpins = sMaxSpins.load(std::memory_order_relaxed);
    for (uint32_t i = 1; i < maxSpins; ++i) {
        if (_TryLockPolite(ioWord))
            return;
    }
    for (;;) {
        VTaskMgr::YieldNow();
        if (_TryLockPolite(ioWord))
            return;
    }
}

void SpinLock::_UnlockRelease(Word& ioWord) noexcept {
    // Only the owner writes the word while bit 31 is set (other tasks' tries OR in a bit already set),
    // so a plain store clears it. Release ordering publishes every write made under the lock to the
    // next owner, which is all a lock needs from the fence: every access to the guarded fields happens
    // under the lock, so no store-load ordering is relied upon. A locked fence here would double the
    // cost of an uncontended critical section on x86-64.
    ioWord.store(ioWord.load(std::memory_order_relaxed) & ~kLockedBit, std::memory_order_release);
}

void SpinLock::SetSettingsReader(SettingsReader inReader) noexcept {
    sSettingsReader = inReader;
}

bool SpinLock::Configure() {
    if (sSettingsReader == nullptr)
        return false;
    Settings settings;
    if (!sSettingsReader(settings))
        return false;
    return Configure(settings);
}

bool SpinLock::Configure(const Settings& inSettings) {
    VTaskMgr* manager = VTaskMgr::Get();
    if (manager != nullptr && manager->GetTaskCount(false) > 1)
        return false;

    if (inSettings.fMode.has_value()) {
        const VString& mode = *inSettings.fMode;
        if (mode == "alwaysSleep") {
            uint32_t processors = VSystem::GetNumberOfLogicalProcessors();
            sSleepingYields.store(std::max<uint32_t>(8, processors) - 1, std::memory_order_relaxed);
            sLock.store(&_LockAlwaysSleep, std::memory_order_relaxed);
            sUnlock.store(&_UnlockRelease, std::memory_order_relaxed);
        } else if (mode == "loopMaxSpinsAndYields") {
            sLock.store(&_LockLoopMaxSpinsAndYields, std::memory_order_relaxed);
            sUnlock.store(&_UnlockRelease, std::memory_order_relaxed);
        } else if (mode == "maxSpinsThenLoopYields") {
            sLock.store(&_LockMaxSpinsThenLoopYields, std::memory_order_relaxed);
            sUnlock.store(&_UnlockRelease, std::memory_order_relaxed);
        }
    }
    if (inSettings.fMaxSpins.has_value() && !std::isnan(*inSettings.fMaxSpins)) {
        double spins = std::trunc(*inSettings.fMaxSpins);
        spins = std::clamp(spins, 0.0, static_cast<double>(UINT32_MAX));
        sMaxSpins.store(static_cast<uint32_t>(spins), std::memory_order_relaxed);
    }
    if (inSettings.fYieldAfterCheckEvent.has_value())
        sYieldAfterCheckEvent.store(*inSettings.fYieldAfterCheckEvent, std::memory_order_relaxed);
    return true;
}

SpinLock::EStrategy SpinLock::GetStrategy() noexcept {
    LockProc lock = sLock.load(std::memory_order_relaxed);
    if (lock == &_LockAlwaysSleep)
        return EStrategy::AlwaysSleep;
    if (lock == &_LockLoopMaxSpinsAndYields)
        return EStrategy::LoopMaxSpinsAndYields;
    return EStrategy::MaxSpinsThenLoopYields;
}

} // namespace vkit
