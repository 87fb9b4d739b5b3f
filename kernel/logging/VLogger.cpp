// VLogger: filing records in the ring, flushing them to the listeners, and the reader task.
#include "logging/VLogger.h"

#include "bags/VValueBag.h"
#include "logging/ILoggerBagKeys.h"
#include "runtime/StLocker.h"
#include "runtime/VTask.h"
#include "text/VString.h"

#include <algorithm>
#include <string>
#include <utility>

namespace vkit {

namespace {

/// The reader is woken each time this many records have been filed.
constexpr int32_t kWakeUpStep = VLogger::kRingSize / 10;

/// The records that a task's next RetainEmptyRecord calls hand out, first fRecords[0]: taken from the
/// free records in the critical section that files the task's previous record, so that building and
/// filing a record takes the buffer lock once. They were emptied on the reader task: the memory of
/// each is asked for ahead, its bag object when it is taken, its attributes' storage one record
/// later, so that a record is in this processor's cache when it is filled. Released when the task
/// ends.
struct SpareRecords {
    static constexpr size_t kCount = 2;
    VValueBag* fRecords[kCount] = {};
    SpareRecords() = default;
    SpareRecords(const SpareRecords&) = delete;
    SpareRecords& operator=(const SpareRecords&) = delete;
    ~SpareRecords() {
        for (VValueBag*& record : fRecords)
            ReleaseRefCountable(&record);
    }
    /// The next record, or null.
    VValueBag* Take() noexcept {
        VValueBag* record = fRecords[0];
        fRecords[0] = fRecords[1];
        fRecords[1] = nullptr;
        return record;
    }
    /// The UTF-8 text of the task's next LogVPrintf record is formatted here, its memory kept.
    std::string fText;
};

thread_local SpareRecords tSpares;

/// Holds the buffer lock for a scope. Its sections are a few stores long: a task that finds it taken
/// waits by the spin lock's configured strategy rather than sleeping.
class StBufferLocker {
public:
    explicit StBufferLocker(SpinLock::Word& ioWord) noexcept : fWord(ioWord) {
        if (!SpinLock::TryLock(fWord))
            SpinLock::Lock(fWord);
    }
    ~StBufferLocker() { SpinLock::Unlock(fWord); }
    StBufferLocker(const StBufferLocker&) = delete;
    StBufferLocker& operator=(const StBufferLocker&) = delete;

private:
    SpinLock::Word& fWord;
};

} // namespace

VLogger::VLogger() : fRing(&fRings[0]) {}

VLogger::~VLogger() {
    Stop();
    if (VTask* reader = fReaderTask.exchange(nullptr))
        reader->Release();
    std::vector<const VValueBag*> waiting;
    _Take(waiting);
    _ReleaseAll(waiting);
    for (VValueBag* record : fFreeRecords)
        record->Release();
    for (ILogListener* listener : fListeners)
        listener->Release();
}

void VLogger::Start() {
    fStarted.store(true, std::memory_order_release);
}

void VLogger::Stop() {
    VTask* reader = fReaderTask.load(std::memory_order_acquire);
    if (reader == nullptr || reader == VTask::GetCurrent())
        return;
    reader->Kill();
    reader->WakeUp();
    reader->WaitForDeath(kStopTimeout);
}

bool VLogger::ShouldLog(EMessageLevel inLevel) const {
    if (!fFlushEnabled.load(std::memory_order_acquire))
        return true;
    if (!fStarted.load(std::memory_order_acquire))
        return false;
    return (fLevelMask.load(std::memory_order_relaxed) >> (static_cast<uint32_t>(inLevel) % 32)) & 1;
}

bool VLogger::WithTag(uint32_t inBit, bool inSet) {
    uint32_t bit = 1u << (inBit % 32);
    uint32_t previous = inSet ? fLevelMask.fetch_or(bit) : fLevelMask.fetch_and(~bit);
    return (previous & bit) != 0;
}

const VValueBag* VLogger::_Store(const VValueBag* inRecord, bool& ioWakeReader) {
    if (fWriteIndex >= kRingSize) {
        fWriteIndex = 0;
        fWrapped = true;
    }
    const VValueBag*& slot = (*fRing)[static_cast<size_t>(fWriteIndex)];
    const VValueBag* overwritten = slot;
    slot = inRecord;
    ++fWriteIndex;
    if (fWriteIndex % kWakeUpStep == 0)
        ioWakeReader = true;
    return overwritten;
}

void VLogger::LogBag(const VValueBag* inRecord) {
    if (inRecord == nullptr || !ShouldLog(static_cast<EMessageLevel>(ILoggerBagKeys::level.Get(*inRecord))))
        return;
    inRecord->Retain();
    _File(inRecord, false);
}

void VLogger::_File(const VValueBag* inRecord, bool inTakeSpares) {
    bool wakeReader = false;
    const VValueBag* overwritten;
    {
        StBufferLocker lock(fBufferLock);
        overwritten = _Store(inRecord, wakeReader);
        if (inTakeSpares) {
            for (VValueBag*& spare : tSpares.fRecords) {
                if (spare == nullptr && !fFreeRecords.empty()) {
                    spare = fFreeRecords.back();
                    fFreeRecords.pop_back();
                    VValueBag::PrefetchBag(spare);
                }
            }
        }
    }
    if (overwritten != nullptr)
        overwritten->Release();
    if (inTakeSpares && tSpares.fRecords[0] != nullptr)
        tSpares.fRecords[0]->PrefetchAttributes();
    if (wakeReader)
        _WakeReader();
}

VValueBag* VLogger::RetainEmptyRecord() {
    VValueBag* record = tSpares.Take();
    if (record == nullptr) {
        StBufferLocker lock(fBufferLock);
        if (!fFreeRecords.empty()) {
            record = fFreeRecords.back();
            fFreeRecords.pop_back();
        }
    }
    if (record == nullptr)
        return new VValueBag;
    return record;
}

void VLogger::LogMessage(EMessageLevel inLevel, const VString& inMessage, const VString& inSource) {
    if (!ShouldLog(inLevel))
        return;
    VValueBag* record = RetainEmptyRecord();
    // Tasks carry no properties of their own here: the source falls back to the process's.
    ILoggerBagKeys::source.Set(*record, inSource.IsEmpty() ? GetProcessLogSource() : inSource);
    ILoggerBagKeys::level.Set(*record, inLevel);
    ILoggerBagKeys::message.Set(*record, inMessage);
    _FileBuilt(record, inLevel);
}

void VLogger::LogVPrintf(EMessageLevel inLevel, OsType inComponent, const char* inFormat, va_list inArgs) {
    if (!ShouldLog(inLevel))
        return;
    // The text is kept as UTF-8, as the log file writes it, when it can be made without a string:
    // formatted once, and copied as it is by the writer.
    std::string& text = tSpares.fText;
    text.clear();
    VValueBag* record;
    if (VString::AppendVPrintfToUTF8(text, inFormat, inArgs)) {
        record = RetainEmptyRecord();
        record->SetStringUTF8(ILoggerBagKeys::message, text);
        if (text.capacity() > kMaxReusedBytes)
            std::string().swap(text);
    } else {
        // Formatted on the stack: a text of up to 255 code units allocates nothing before it is copied.
        VStr255 message;
        message.VPrintf(inFormat, inArgs);
        record = RetainEmptyRecord();
        record->SetString(ILoggerBagKeys::message, message);
    }
    // The keys' own value classes (VLong), set without making a value object.
    if (inLevel != ILoggerBagKeys::level.GetDefault())
        record->SetLong(ILoggerBagKeys::level, inLevel);
    if (inComponent != 0)
        record->SetLong(ILoggerBagKeys::component_signature, static_cast<int32_t>(inComponent));
    _FileBuilt(record, inLevel);
}

void VLogger::_FileBuilt(VValueBag* inRecord, EMessageLevel inLevel) {
    // The level is checked again, as LogBag would: the mask may have changed while the record was made.
    if (ShouldLog(inLevel))
        _File(inRecord, true);
    else
        inRecord->Release();
}

void VLogger::AddLogBag(const VValueBag* inRecord) {
    if (inRecord == nullptr)
        return;
    inRecord->Retain();
    bool wakeReader = false;
    if (const VValueBag* overwritten = _Store(inRecord, wakeReader))
        overwritten->Release();
}

std::vector<const VValueBag*> VLogger::Read() {
    std::vector<const VValueBag*> records;
    _Take(records);
    return records;
}

void VLogger::_Take(std::vector<const VValueBag*>& ioRecords) {
    _Collect(*fRing, fWriteIndex, fWrapped, ioRecords);
    fWriteIndex = 0;
    fWrapped = false;
}

void VLogger::_Collect(RingSlots& ioSlots, int32_t inWriteIndex, bool inWrapped,
                       std::vector<const VValueBag*>& ioRecords) {
    auto begin = ioSlots.begin();
    auto write = begin + inWriteIndex;
    if (inWrapped)
        ioRecords.insert(ioRecords.end(), write, ioSlots.end());
    ioRecords.insert(ioRecords.end(), begin, write);
    // Only the slots taken are emptied: the others are empty already.
    std::fill(begin, inWrapped ? ioSlots.end() : write, nullptr);
}

void VLogger::_ReleaseAll(std::vector<const VValueBag*>& ioRecords) {
    for (const VValueBag* record : ioRecords)
        record->Release();
    ioRecords.clear();
}

void VLogger::_Recycle(std::vector<const VValueBag*>& ioRecords) {
    size_t kept = 0;
    for (const VValueBag* record : ioRecords) {
        if (record->HasSingleReference() && record->GetReservedBytes() <= kMaxReusedBytes) {
            // The logger's is the only reference left: nobody reads the record any more. Emptied
            // here rather than on the tasks that log, which then only fill it.
            const_cast<VValueBag*>(record)->Destroy();
            ioRecords[kept++] = record;
        } else {
            record->Release();
        }
    }
    ioRecords.resize(kept);
    {
        StBufferLocker lock(fBufferLock);
        size_t room = kMaxFreeRecords - std::min(kMaxFreeRecords, fFreeRecords.size());
        size_t moved = std::min(room, ioRecords.size());
        // The last delivered go on top: the next to be handed out.
        auto first = ioRecords.end() - static_cast<std::ptrdiff_t>(moved);
        for (auto record = first; record != ioRecords.end(); ++record)
            fFreeRecords.push_back(const_cast<VValueBag*>(*record));
        ioRecords.erase(first, ioRecords.end());
    }
    _ReleaseAll(ioRecords);
}

void VLogger::Flush() {
    if (!fFlushEnabled.load(std::memory_order_acquire))
        return;
    std::vector<VValueBag*> idle;
    StLocker listenersLock(fListenersLock);
    // The batch's memory is the previous batch's; a flush made by a listener while it is served (the
    // lock is recursive) gets a vector of its own.
    std::vector<const VValueBag*> batch;
    batch.swap(fBatch);
    RingSlots* taken;
    int32_t writeIndex;
    bool wrapped;
    {
        StBufferLocker bufferLock(fBufferLock);
        // The other ring is empty: records are filed into it from now on.
        taken = fRing;
        writeIndex = fWriteIndex;
        wrapped = fWrapped;
        fRing = fRing == &fRings[0] ? &fRings[1] : &fRings[0];
        fWriteIndex = 0;
        fWrapped = false;
        // Nothing new for kIdleFlushes flushes in a row means that nobody logs any more (one empty
        // flush may only find a pause): most of the records kept for reuse are released.
        fIdleFlushes = writeIndex == 0 && !wrapped ? fIdleFlushes + 1 : 0;
        if (fIdleFlushes >= kIdleFlushes && fFreeRecords.size() > kIdleFreeRecords) {
            idle.assign(fFreeRecords.begin() + kIdleFreeRecords, fFreeRecords.end());
            fFreeRecords.resize(kIdleFreeRecords);
        }
    }
    _Collect(*taken, writeIndex, wrapped, batch);
    if (!batch.empty()) {
        for (ILogListener* listener : fListeners)
            listener->Put(batch);
        _Recycle(batch);
    }
    fBatch.swap(batch);
    for (VValueBag* record : idle)
        record->Release();
}

void VLogger::EnableFlush() {
    fFlushEnabled.store(true, std::memory_order_release);
    std::vector<const VValueBag*> records;
    std::vector<const VValueBag*> dropped;
    bool wakeReader = false;
    {
        // Filed again in the same section, so that no record logged meanwhile comes before them.
        StBufferLocker lock(fBufferLock);
        _Take(records);
        for (const VValueBag* record : records) {
            if (ShouldLog(static_cast<EMessageLevel>(ILoggerBagKeys::level.Get(*record)))) {
                if (const VValueBag* overwritten = _Store(record, wakeReader))
                    dropped.push_back(overwritten);
            } else {
                dropped.push_back(record);
            }
        }
    }
    _ReleaseAll(dropped);
    if (wakeReader)
        _WakeReader();
}

void VLogger::DisableFlush() {
    fFlushEnabled.store(false, std::memory_order_release);
}

bool VLogger::AddLogListener(ILogListener* inListener) {
    if (inListener == nullptr)
        return false;
    StLocker lock(fListenersLock);
    if (fReaderTask.load(std::memory_order_relaxed) == nullptr) {
        VTask* reader = new VTask(kReaderStackSize, eTaskStylePreemptive, [this] { _RunReader(); });
        reader->SetName(VString("Logger"));
        fReaderTask.store(reader, std::memory_order_release);
        // Without a task manager the reader cannot run: listeners are then served by explicit flushes.
        reader->Run();
    }
    if (std::find(fListeners.begin(), fListeners.end(), inListener) != fListeners.end())
        return false;
    inListener->Retain();
    fListeners.insert(fListeners.begin(), inListener);
    return true;
}

bool VLogger::RemoveLogListener(ILogListener* inListener) {
    Flush();
    if (inListener == nullptr)
        return false;
    StLocker lock(fListenersLock);
    auto found = std::find(fListeners.begin(), fListeners.end(), inListener);
    if (found == fListeners.end())
        return false;
    fListeners.erase(found);
    inListener->Release();
    return true;
}

void VLogger::_WakeReader() {
    if (VTask* reader = fReaderTask.load(std::memory_order_acquire))
        reader->WakeUp();
}

void VLogger::_RunReader() {
    VTask* self = VTask::GetCurrent();
    while (!self->IsDying()) {
        Flush();
        VTask::Sleep(kFlushPeriod);
    }
    // What was logged up to the stop still reaches the listeners.
    Flush();
}

} // namespace vkit
