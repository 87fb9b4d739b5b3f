// VLogger: filing records in the ring, flushing them to the listeners, and the reader task.
#include "logging/VLogger.h"

#include "bags/VValueBag.h"
#include "logging/ILoggerBagKeys.h"
#include "runtime/StLocker.h"
#include "runtime/VTask.h"
#include "text/VString.h"

#include <algorithm>
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
};

thread_local SpareRecords tSpares;

} // namespace

VLogger::VLogger() = default;

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

bool VLogger::_Store(const VValueBag* inRecord) {
    if (fWriteIndex >= kRingSize) {
        fWriteIndex = 0;
        fWrapped = true;
    }
    const VValueBag*& slot = fRing[static_cast<size_t>(fWriteIndex)];
    if (slot != nullptr)
        slot->Release();
    inRecord->Retain();
    slot = inRecord;
    ++fWriteIndex;
    return fWriteIndex % kWakeUpStep == 0;
}

void VLogger::LogBag(const VValueBag* inRecord) {
    if (inRecord != nullptr)
        _File(inRecord, static_cast<EMessageLevel>(ILoggerBagKeys::level.Get(*inRecord)), false);
}

void VLogger::_File(const VValueBag* inRecord, EMessageLevel inLevel, bool inTakeSpare) {
    if (!ShouldLog(inLevel))
        return;
    bool wakeReader;
    {
        StLocker lock(fBufferLock);
        wakeReader = _Store(inRecord);
        if (inTakeSpare) {
            for (VValueBag*& spare : tSpares.fRecords) {
                if (spare == nullptr && !fFreeRecords.empty()) {
                    spare = fFreeRecords.back();
                    fFreeRecords.pop_back();
                    VValueBag::PrefetchBag(spare);
                }
            }
        }
    }
    if (inTakeSpare && tSpares.fRecords[0] != nullptr)
        tSpares.fRecords[0]->PrefetchAttributes();
    if (wakeReader) {
        if (VTask* reader = fReaderTask.load(std::memory_order_acquire))
            reader->WakeUp();
    }
}

VValueBag* VLogger::RetainEmptyRecord() {
    VValueBag* record = tSpares.Take();
    if (record == nullptr) {
        StLocker lock(fBufferLock);
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
    _File(record, inLevel, true);
    record->Release();
}

void VLogger::LogVPrintf(EMessageLevel inLevel, OsType inComponent, const char* inFormat, va_list inArgs) {
    if (!ShouldLog(inLevel))
        return;
    // Formatted on the stack: a text of up to 255 code units allocates nothing before it is copied.
    VStr255 text;
    text.VPrintf(inFormat, inArgs);
    VValueBag* record = RetainEmptyRecord();
    // The keys' own value classes (VString, VLong), set without making a value object.
    record->SetString(ILoggerBagKeys::message, text);
    if (inLevel != ILoggerBagKeys::level.GetDefault())
        record->SetLong(ILoggerBagKeys::level, inLevel);
    if (inComponent != 0)
        record->SetLong(ILoggerBagKeys::component_signature, static_cast<int32_t>(inComponent));
    _File(record, inLevel, true);
    record->Release();
}

void VLogger::AddLogBag(const VValueBag* inRecord) {
    if (inRecord != nullptr)
        _Store(inRecord);
}

std::vector<const VValueBag*> VLogger::Read() {
    std::vector<const VValueBag*> records;
    _Take(records);
    return records;
}

void VLogger::_Take(std::vector<const VValueBag*>& ioRecords) {
    auto begin = fRing.begin();
    auto write = begin + fWriteIndex;
    if (fWrapped)
        ioRecords.insert(ioRecords.end(), write, fRing.end());
    ioRecords.insert(ioRecords.end(), begin, write);
    // Only the slots taken are emptied: the others are empty already, and writing them would take
    // their memory from the tasks that log.
    std::fill(begin, fWrapped ? fRing.end() : write, nullptr);
    fWriteIndex = 0;
    fWrapped = false;
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
        StLocker lock(fBufferLock);
        while (!ioRecords.empty() && fFreeRecords.size() < kMaxFreeRecords) {
            fFreeRecords.push_back(const_cast<VValueBag*>(ioRecords.back()));
            ioRecords.pop_back();
        }
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
    {
        StLocker bufferLock(fBufferLock);
        _Take(batch);
        // Nothing new for kIdleFlushes flushes in a row means that nobody logs any more (one empty
        // flush may only find a pause): most of the records kept for reuse are released.
        fIdleFlushes = batch.empty() ? fIdleFlushes + 1 : 0;
        if (fIdleFlushes >= kIdleFlushes && fFreeRecords.size() > kIdleFreeRecords) {
            idle.assign(fFreeRecords.begin() + kIdleFreeRecords, fFreeRecords.end());
            fFreeRecords.resize(kIdleFreeRecords);
        }
    }
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
    StLocker lock(fBufferLock);
    std::vector<const VValueBag*> records;
    _Take(records);
    for (const VValueBag* record : records)
        LogBag(record);
    _ReleaseAll(records);
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
