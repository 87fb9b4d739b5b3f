// VLogger: filing records in the ring, flushing them to the listeners, and the reader task.
#include "logging/VLogger.h"

#include "bags/VValueBag.h"
#include "logging/ILoggerBagKeys.h"
#include "runtime/StLocker.h"
#include "runtime/VTask.h"

#include <algorithm>

namespace vkit {

namespace {

/// The reader is woken each time this many records have been filed.
constexpr int32_t kWakeUpStep = VLogger::kRingSize / 10;

} // namespace

VLogger::VLogger() = default;

VLogger::~VLogger() {
    Stop();
    if (VTask* reader = fReaderTask.exchange(nullptr))
        reader->Release();
    std::vector<const VValueBag*> waiting;
    _Take(waiting);
    _ReleaseAll(waiting);
    _ReleaseAll(fDelivered);
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
    if (inRecord == nullptr)
        return;
    if (!ShouldLog(static_cast<EMessageLevel>(ILoggerBagKeys::level.Get(*inRecord))))
        return;
    bool wakeReader;
    const VValueBag* delivered[2] = {nullptr, nullptr};
    {
        StLocker lock(fBufferLock);
        wakeReader = _Store(inRecord);
        for (const VValueBag*& record : delivered) {
            if (!fDelivered.empty()) {
                record = fDelivered.back();
                fDelivered.pop_back();
            }
        }
    }
    // Records already handed to the listeners are released by the tasks that log, which made them:
    // the memory goes back where it came from, without contending with them for the allocator.
    for (const VValueBag* record : delivered)
        ReleaseRefCountable(&record);
    if (wakeReader) {
        if (VTask* reader = fReaderTask.load(std::memory_order_acquire))
            reader->WakeUp();
    }
}

void VLogger::LogMessage(EMessageLevel inLevel, const VString& inMessage, const VString& inSource) {
    if (!ShouldLog(inLevel))
        return;
    VValueBag* record = new VValueBag;
    // Tasks carry no properties of their own here: the source falls back to the process's.
    ILoggerBagKeys::source.Set(*record, inSource.IsEmpty() ? GetProcessLogSource() : inSource);
    ILoggerBagKeys::level.Set(*record, inLevel);
    ILoggerBagKeys::message.Set(*record, inMessage);
    LogBag(record);
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
    std::fill(fRing.begin(), fRing.end(), nullptr);
    fWriteIndex = 0;
    fWrapped = false;
}

void VLogger::_ReleaseAll(std::vector<const VValueBag*>& ioRecords) {
    for (const VValueBag* record : ioRecords)
        record->Release();
    ioRecords.clear();
}

void VLogger::Flush() {
    if (!fFlushEnabled.load(std::memory_order_acquire))
        return;
    std::vector<const VValueBag*> records;
    std::vector<const VValueBag*> idle;
    StLocker listenersLock(fListenersLock);
    {
        StLocker bufferLock(fBufferLock);
        _Take(records);
        // Nothing new means that nobody logs: the delivered records are released here instead.
        if (records.empty() || fDelivered.size() >= static_cast<size_t>(kRingSize))
            idle.swap(fDelivered);
    }
    if (!records.empty()) {
        for (ILogListener* listener : fListeners)
            listener->Put(records);
        StLocker bufferLock(fBufferLock);
        fDelivered.insert(fDelivered.end(), records.begin(), records.end());
    }
    _ReleaseAll(idle);
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
