// VLogger: the process logger: a ring of the last 1000 records, a level mask, and listeners fed by a
// background task.
#pragma once

#include "errors/VErrorCodes.h"
#include "logging/ILogger.h"
#include "runtime/SpinLock.h"
#include "runtime/VCriticalSection.h"
#include "text/VObject.h"

#include <array>
#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <vector>

namespace vkit {

class VTask;

/// The process logger. Records wait in a ring of kRingSize references (the oldest is released unread
/// when a new one finds the ring full) until a flush hands them, oldest first, to every listener.
/// The first listener starts the reader task "Logger", which flushes every kFlushPeriod ms, and at
/// once each time a tenth of the ring has filled, so that bursts are written as they come.
///
/// Records are reused: a delivered record that nobody else holds is emptied by the flush (keeping its
/// memory) and kept for RetainEmptyRecord, which the logger's own record builders use, so that
/// logging allocates nothing once the first records have gone round. At most kMaxFreeRecords wait for reuse,
/// and kIdleFreeRecords once kIdleFlushes flushes in a row found nothing new.
///
/// Logging takes the buffer lock only for the ring update. It is a spin lock whose every section is
/// a few stores long: a flush swaps the ring it takes with an empty one and collects the records
/// outside the lock, so that a task that logs meanwhile never waits for it. Listeners run under the
/// listeners lock, on the task that flushes; a flush takes the listeners lock first and then the
/// buffer lock only to take the waiting records, so that batches reach the listeners in logging order
/// and logging is never blocked by a slow listener.
class VLogger : public VObject, public ILogger {
public:
    static constexpr int32_t kRingSize = 1000;
    static constexpr int32_t kFlushPeriod = 100;
    /// Stack of the reader task, and how long Stop waits for its end.
    static constexpr size_t kReaderStackSize = 64000;
    static constexpr int32_t kStopTimeout = 3000;
    /// Records kept for reuse while logging goes on (enough for a full ring and a full batch being
    /// written, so that a steady flow allocates nothing), and once it has stopped for kIdleFlushes
    /// flushes (a second of the reader task's); a record that reserved more than kMaxReusedBytes for
    /// its attributes is released instead.
    static constexpr size_t kMaxFreeRecords = 2 * kRingSize;
    static constexpr size_t kIdleFreeRecords = 32;
    static constexpr int32_t kIdleFlushes = 10;
    static constexpr size_t kMaxReusedBytes = 4096;

    /// A logger not started, flush enabled, mask kDefaultLogLevelMask: it keeps nothing until Start.
    VLogger();
    /// Stops the reader task and releases the waiting records and the listeners.
    ~VLogger() override;
    VLogger(const VLogger&) = delete;
    VLogger& operator=(const VLogger&) = delete;

    void Start() override;
    /// Asks the reader task to end and waits at most kStopTimeout ms for it.
    void Stop() override;
    void EnableFlush() override;
    void DisableFlush() override;
    bool IsStarted() const override { return fStarted.load(std::memory_order_acquire); }
    bool ShouldLog(EMessageLevel inLevel) const override;
    void LogBag(const VValueBag* inRecord) override;
    void LogMessage(EMessageLevel inLevel, const VString& inMessage, const VString& inSource) override;
    void Flush() override;
    bool WithTrace(bool inSet) override { return WithTag(EML_Trace, inSet); }
    bool WithDump(bool inSet) override { return WithTag(EML_Dump, inSet); }
    bool WithDebug(bool inSet) override { return WithTag(EML_Debug, inSet); }
    bool WithWarning(bool inSet) override { return WithTag(EML_Warning, inSet); }
    bool WithError(bool inSet) override { return WithTag(EML_Error, inSet); }
    bool WithFatal(bool inSet) override { return WithTag(EML_Fatal, inSet); }
    bool WithAssert(bool inSet) override { return WithTag(EML_Assert, inSet); }
    bool WithInfo(bool inSet) override { return WithTag(EML_Information, inSet); }
    bool AddLogListener(ILogListener* inListener) override;
    bool RemoveLogListener(ILogListener* inListener) override;

    /// Formats the text (VString::VPrintf) and files a record of it when inLevel passes: "message", then
    /// "level" (left out at the default level, information), then "component_signature" (left out for
    /// 0). Nothing is formatted for a level that does not pass.
    void LogVPrintf(EMessageLevel inLevel, OsType inComponent, const char* inFormat, va_list inArgs);
    /// An empty record (one reference, the caller's) to fill and file with LogBag: a delivered one
    /// kept for reuse when there is one, else a new one. The logger's own builders keep two such
    /// records per task between two records, so that their memory is loaded ahead.
    VValueBag* RetainEmptyRecord();

    /// Sets or clears the bit inBit (modulo 32) of the mask; answers its previous state.
    bool WithTag(uint32_t inBit, bool inSet);
    uint32_t GetLevelMask() const noexcept { return fLevelMask.load(std::memory_order_relaxed); }

    /// Stores a record (retained) without level check and without the buffer lock: only while a single
    /// task runs. A null record is ignored.
    void AddLogBag(const VValueBag* inRecord);
    /// Hands over every waiting record, oldest first, and empties the ring; the caller releases them.
    /// Takes no lock: only while a single task runs.
    std::vector<const VValueBag*> Read();

private:
    using RingSlots = std::array<const VValueBag*, kRingSize>;

    /// Stores a record in the ring, taking over the caller's reference (the caller holds the buffer
    /// lock, or runs alone). Answers the record it overwrote (the oldest, to release outside the
    /// lock) or null; ioWakeReader is set when the ring reached a tenth mark.
    const VValueBag* _Store(const VValueBag* inRecord, bool& ioWakeReader);
    /// Files a record that passed the level check, taking over the caller's reference. inTakeSpares
    /// also refills the task's records for its next RetainEmptyRecord calls.
    void _File(const VValueBag* inRecord, bool inTakeSpares);
    /// Files a record made by the logger's own builders, taking over the caller's reference.
    void _FileBuilt(VValueBag* inRecord, EMessageLevel inLevel);
    /// Moves the waiting records, oldest first, into ioRecords and empties the ring (the caller holds
    /// the buffer lock, or runs alone).
    void _Take(std::vector<const VValueBag*>& ioRecords);
    /// Moves the records of a ring taken by a flush, oldest first, into ioRecords and empties its
    /// slots (no lock: the ring is no longer the one records are filed into).
    static void _Collect(RingSlots& ioSlots, int32_t inWriteIndex, bool inWrapped,
                         std::vector<const VValueBag*>& ioRecords);
    /// The reader task's body; _WakeReader ends its sleep, when it exists.
    void _RunReader();
    void _WakeReader();
    /// Empties the delivered records that nobody else holds and keeps them for reuse, up to
    /// kMaxFreeRecords; releases the others. Empties ioRecords.
    void _Recycle(std::vector<const VValueBag*>& ioRecords);
    static void _ReleaseAll(std::vector<const VValueBag*>& ioRecords);

    // Read by every task that logs.
    std::atomic<uint32_t> fLevelMask{kDefaultLogLevelMask};
    std::atomic<bool> fStarted{false};
    std::atomic<bool> fFlushEnabled{true};
    std::atomic<VTask*> fReaderTask{nullptr}; // retained; made once, under fListenersLock
    // Changed by the tasks that log and by flushes, under the buffer lock.
    alignas(64) SpinLock::Word fBufferLock{0};
    RingSlots* fRing;                     // the ring records are filed into: fRings[0] or fRings[1]
    int32_t fWriteIndex = 0;              // the next slot to write
    bool fWrapped = false;                // set when the ring has been filled once
    int32_t fIdleFlushes = 0;             // flushes in a row that found nothing
    std::vector<VValueBag*> fFreeRecords; // emptied, owned, to reuse
    // The flushes' own: the listeners, and the ring that is not filed into (all empty between two
    // flushes).
    alignas(64) VCriticalSection fListenersLock;
    std::vector<ILogListener*> fListeners; // retained; guarded by fListenersLock
    std::vector<const VValueBag*> fBatch;  // memory for the next batch; guarded by fListenersLock
    RingSlots fRings[2]{};                 // retained records
};

} // namespace vkit
