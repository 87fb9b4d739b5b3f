// SpinLock: the 32-bit spin-lock word and its tunable waiting strategies.
#pragma once

#include "text/VString.h"

#include <atomic>
#include <cstdint>
#include <optional>

namespace vkit {

/// A spin lock is a 32-bit word whose bit 31 means locked; the library's critical sections guard
/// their fields with one. Taking the lock is an atomic OR of bit 31 (acquired when the bit was clear);
/// how a task waits when the lock is taken is chosen once, at start-up, by Configure:
///
/// - "maxSpinsThenLoopYields" (the default): up to maxSpins tries, then yield and try until acquired;
/// - "loopMaxSpinsAndYields": repeat up to maxSpins tries, then one yield and one more try;
/// - "alwaysSleep": no spinning; the first try is immediate, each of the next
///   max(8, logical processors) - 1 tries follows a yield, every later one a 1 ms sleep.
///
/// Releasing clears bit 31 with release ordering (see _UnlockRelease for why no locked fence).
class SpinLock {
public:
    using Word = std::atomic<uint32_t>;
    using LockProc = void (*)(Word& ioWord) noexcept;
    using UnlockProc = void (*)(Word& ioWord) noexcept;

    static constexpr uint32_t kLockedBit = 0x80000000U;

    enum class EStrategy { AlwaysSleep, LoopMaxSpinsAndYields, MaxSpinsThenLoopYields };

    /// The tuning values as read from the settings file; a value absent, or of the wrong type in the
    /// file, is left empty and changes nothing.
    struct Settings {
        std::optional<VString> fMode;              // "mode", when a string
        std::optional<double> fMaxSpins;           // "maxSpins", when a number
        std::optional<bool> fYieldAfterCheckEvent; // "yieldAfterCheckEvent", when a boolean
    };

    /// Fills outSettings from the settings file; false when there is no usable file (missing,
    /// unreadable, not a JSON object).
    using SettingsReader = bool (*)(Settings& outSettings);

    /// Takes the lock, waiting with the configured strategy.
    static void Lock(Word& ioWord) noexcept { sLock.load(std::memory_order_relaxed)(ioWord); }
    /// Releases the lock.
    static void Unlock(Word& ioWord) noexcept { sUnlock.load(std::memory_order_relaxed)(ioWord); }

    /// One try: true when the lock was free and is now held by the caller.
    static bool TryLock(Word& ioWord) noexcept {
        return (ioWord.fetch_or(kLockedBit, std::memory_order_acquire) & kLockedBit) == 0;
    }

    /// Installs the function that reads "spinlock.prm" (JSON, in the folder of the executable). The
    /// runtime has neither files nor JSON, so the layer that has them installs the reader before the
    /// task manager starts; without a reader, Configure() changes nothing.
    static void SetSettingsReader(SettingsReader inReader) noexcept;

    /// Reads the settings through the installed reader and applies them (the task manager calls this
    /// during its initialization). Returns false when nothing was applied.
    static bool Configure();

    /// Applies settings already read: a known "mode" selects its strategy (and the matching unlock);
    /// any other mode text leaves the strategy unchanged; "maxSpins" is truncated toward zero and
    /// clamped to 0..2^32-1 (a NaN is ignored). The lock functions are read without synchronisation,
    /// so this is refused (returns false, nothing changed) while more than one task is running or
    /// dying.
    static bool Configure(const Settings& inSettings);

    static EStrategy GetStrategy() noexcept;
    /// The maximum number of tries before a yield (default 1).
    static uint32_t GetMaxSpins() noexcept { return sMaxSpins.load(std::memory_order_relaxed); }
    /// Whether a critical section yields once after installing its waiting object (default false).
    static bool GetYieldAfterCheckEvent() noexcept {
        return sYieldAfterCheckEvent.load(std::memory_order_relaxed);
    }

private:
    static void _LockAlwaysSleep(Word& ioWord) noexcept;
    static void _LockLoopMaxSpinsAndYields(Word& ioWord) noexcept;
    static void _LockMaxSpinsThenLoopYields(Word& ioWord) noexcept;
    static void _UnlockRelease(Word& ioWord) noexcept;
    /// A try that first reads the word, so that waiters do not take the cache line from the owner.
    static bool _TryLockPolite(Word& ioWord) noexcept {
        return (ioWord.load(std::memory_order_relaxed) & kLockedBit) == 0 && TryLock(ioWord);
    }

    // The chosen functions; relaxed atomics (plain loads) only so that the one change at start-up is
    // not a data race for threads that took a lock before.
    static std::atomic<LockProc> sLock;
    static std::atomic<UnlockProc> sUnlock;
    static std::atomic<uint32_t> sMaxSpins;
    static std::atomic<uint32_t> sSleepingYields;
    static std::atomic<bool> sYieldAfterCheckEvent;
    static SettingsReader sSettingsReader;
};

} // namespace vkit
