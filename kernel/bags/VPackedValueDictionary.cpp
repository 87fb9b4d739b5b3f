// VPackedValueDictionary: packing of names and values, lookups and values made on first read.
#include "bags/VPackedValueDictionary.h"

#include "text/VBoolean.h"
#include "text/VByte.h"
#include "text/VLong.h"
#include "text/VLong8.h"
#include "text/VReal.h"
#include "text/VUUID.h"
#include "text/VValueSingle.h"
#include "text/VWord.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

namespace vkit {

namespace {

// Below this many unused bytes the store is never rewritten.
constexpr size_t kMinDeadBytesToCompact = 256;
// Room made by the first entry: enough for a typical log record or error, in two allocations.
constexpr size_t kInitialEntries = 8;
constexpr size_t kInitialStoreBytes = 256;
// Cache lines asked for by Prefetch, at most, for the entries and for the store.
constexpr size_t kCacheLine = 64;
constexpr size_t kMaxPrefetchLines = 4;

void PrefetchBytes(const void* inStart, size_t inLength) noexcept {
    const char* start = static_cast<const char*>(inStart);
    size_t length = std::min(inLength, kMaxPrefetchLines * kCacheLine);
    for (size_t offset = 0; offset < length; offset += kCacheLine)
        __builtin_prefetch(start + offset);
}

} // namespace

VPackedValueDictionary::VPackedValueDictionary(const VPackedValueDictionary& inOther)
    : fStore(inOther.fStore), fDeadBytes(inOther.fDeadBytes) {
    // The value slots of packed entries are not read: other tasks may be filling them right now.
    fEntries.reserve(inOther.fEntries.size());
    for (const Entry& source : inOther.fEntries) {
        Entry& entry = fEntries.emplace_back();
        entry.fHash = source.fHash;
        entry.fNameOffset = source.fNameOffset;
        entry.fNameLength = source.fNameLength;
        entry.fDataOffset = source.fDataOffset;
        entry.fDataLength = source.fDataLength;
        entry.fKind = source.fKind;
        entry.fPacked = source.fPacked;
        entry.fIsNull = source.fIsNull;
        entry.fUTF8 = source.fUTF8;
        entry.fValue = source.fPacked ? nullptr : source.fValue->Clone();
    }
}

VPackedValueDictionary::VPackedValueDictionary(VPackedValueDictionary&& inOther) noexcept
    : fEntries(std::move(inOther.fEntries)), fStore(std::move(inOther.fStore)),
      fDeadBytes(std::exchange(inOther.fDeadBytes, 0)) {
    inOther.fEntries.clear();
    inOther.fStore.clear();
}

VPackedValueDictionary& VPackedValueDictionary::operator=(const VPackedValueDictionary& inOther) {
    if (this != &inOther) {
        VPackedValueDictionary copy(inOther);
        *this = std::move(copy);
    }
    return *this;
}

VPackedValueDictionary& VPackedValueDictionary::operator=(VPackedValueDictionary&& inOther) noexcept {
    if (this != &inOther) {
        Clear();
        fEntries = std::move(inOther.fEntries);
        fStore = std::move(inOther.fStore);
        fDeadBytes = std::exchange(inOther.fDeadBytes, 0);
        inOther.fEntries.clear();
        inOther.fStore.clear();
    }
    return *this;
}

VPackedValueDictionary::~VPackedValueDictionary() {
    Clear();
}

void VPackedValueDictionary::Clear() noexcept {
    for (Entry& entry : fEntries)
        delete entry.fValue;
    fEntries.clear();
    fStore.clear();
    fDeadBytes = 0;
}

void VPackedValueDictionary::Prefetch() const noexcept {
    // What the next reader or writer touches: the entries and bytes in use, or, when there are
    // none, the start of the memory kept for them.
    if (fEntries.empty()) {
        if (fEntries.capacity() > 0)
            PrefetchBytes(fEntries.data(), 2 * sizeof(Entry));
        if (fStore.capacity() > 0)
            PrefetchBytes(fStore.data(), 2 * kCacheLine);
        return;
    }
    PrefetchBytes(fEntries.data(), fEntries.size() * sizeof(Entry));
    PrefetchBytes(fStore.data(), fStore.size());
}

VIndex VPackedValueDictionary::Find(const StPackedDictionaryKey& inKey) const noexcept {
    const size_t hash = inKey.GetHashCode();
    const size_t length = inKey.GetKeyLength();
    const char* store = fStore.data();
    for (size_t i = 0; i < fEntries.size(); ++i) {
        const Entry& entry = fEntries[i];
        if (entry.fHash == hash && entry.fNameLength == length &&
            std::memcmp(store + entry.fNameOffset, inKey.GetKey(), length) == 0)
            return static_cast<VIndex>(i + 1);
    }
    return 0;
}

ValueKind VPackedValueDictionary::GetNthKind(VIndex inIndex) const noexcept {
    const Entry* entry = _GetEntry(inIndex);
    return entry == nullptr ? ValueKind::Empty : entry->fKind;
}

const VValueSingle* VPackedValueDictionary::GetNthValue(VIndex inIndex) const {
    const Entry* entry = _GetEntry(inIndex);
    return entry == nullptr ? nullptr : _GetValue(*entry);
}

const VValueSingle* VPackedValueDictionary::_GetValue(const Entry& inEntry) const {
    // Readers on several tasks may race to make the value: the first published one wins.
    std::atomic_ref<VValueSingle*> slot(inEntry.fValue);
    VValueSingle* value = slot.load(std::memory_order_acquire);
    if (value != nullptr)
        return value;
    VValueSingle* made = _MakeValue(inEntry);
    if (!slot.compare_exchange_strong(value, made, std::memory_order_acq_rel, std::memory_order_acquire)) {
        delete made;
        return value;
    }
    return made;
}

template <class F>
void VPackedValueDictionary::_VisitPacked(const Entry& inEntry, F&& inVisitor) const {
    auto visit = [&inEntry, &inVisitor](VValueSingle& ioValue) {
        if (inEntry.fIsNull)
            ioValue.SetNull(true);
        inVisitor(static_cast<const VValueSingle&>(ioValue));
    };
    switch (inEntry.fKind) {
    case ValueKind::Boolean: {
        VBoolean value(_ReadNumber<int64_t>(inEntry) != 0);
        visit(value);
        break;
    }
    case ValueKind::Byte: {
        VByte value(static_cast<int8_t>(_ReadNumber<int64_t>(inEntry)));
        visit(value);
        break;
    }
    case ValueKind::Word: {
        VWord value(static_cast<int16_t>(_ReadNumber<int64_t>(inEntry)));
        visit(value);
        break;
    }
    case ValueKind::Long: {
        VLong value(static_cast<int32_t>(_ReadNumber<int64_t>(inEntry)));
        visit(value);
        break;
    }
    case ValueKind::Long8: {
        VLong8 value(_ReadNumber<int64_t>(inEntry));
        visit(value);
        break;
    }
    case ValueKind::Real: {
        VReal value(_ReadNumber<double>(inEntry));
        visit(value);
        break;
    }
    case ValueKind::UUID: {
        VUUID value(_ReadNumber<VUUID::Bytes>(inEntry));
        visit(value);
        break;
    }
    default: {
        VString value;
        _ReadString(inEntry, value);
        visit(value);
        break;
    }
    }
}

VValueSingle* VPackedValueDictionary::_MakeValue(const Entry& inEntry) const {
    if (inEntry.fKind == ValueKind::String) {
        auto* text = new VString;
        _ReadString(inEntry, *text);
        if (inEntry.fIsNull)
            text->SetNull(true);
        return text;
    }
    VValueSingle* value = nullptr;
    _VisitPacked(inEntry, [&value](const VValueSingle& inValue) { value = inValue.Clone(); });
    return value;
}

bool VPackedValueDictionary::GetNthValue(VIndex inIndex, VValueSingle& outValue) const {
    const Entry* entry = _GetEntry(inIndex);
    if (entry == nullptr)
        return false;
    if (const VValueSingle* made =
            std::atomic_ref<VValueSingle*>(entry->fValue).load(std::memory_order_acquire)) {
        outValue.FromValue(*made);
    } else if (entry->fKind == ValueKind::String && outValue.GetValueKind() == ValueKind::String) {
        auto& text = static_cast<VString&>(outValue);
        _ReadString(*entry, text);
        if (entry->fIsNull)
            text.SetNull(true);
    } else {
        // Read through a value of the stored class, so that the conversion is that of FromValue.
        _VisitPacked(*entry, [&outValue](const VValueSingle& inValue) { outValue.FromValue(inValue); });
    }
    return true;
}

bool VPackedValueDictionary::GetNthInteger(VIndex inIndex, int64_t& outValue) const {
    const Entry* entry = _GetEntry(inIndex);
    if (entry == nullptr)
        return false;
    if (entry->fPacked && !entry->fIsNull) {
        // The narrowing of the value class that _VisitPacked would make.
        int64_t value = _ReadNumber<int64_t>(*entry);
        switch (entry->fKind) {
        case ValueKind::Boolean:
            outValue = value != 0 ? 1 : 0;
            return true;
        case ValueKind::Byte:
            outValue = static_cast<int8_t>(value);
            return true;
        case ValueKind::Word:
            outValue = static_cast<int16_t>(value);
            return true;
        case ValueKind::Long:
            outValue = static_cast<int32_t>(value);
            return true;
        case ValueKind::Long8:
            outValue = value;
            return true;
        default:
            break;
        }
    }
    VLong8 value;
    GetNthValue(inIndex, value);
    outValue = value.Get();
    return true;
}

bool VPackedValueDictionary::IsPackedKind(ValueKind inKind) noexcept {
    switch (inKind) {
    case ValueKind::Boolean:
    case ValueKind::Byte:
    case ValueKind::Word:
    case ValueKind::Long:
    case ValueKind::Long8:
    case ValueKind::Real:
    case ValueKind::String:
    case ValueKind::UUID:
        return true;
    default:
        return false;
    }
}

VPackedValueDictionary::Entry& VPackedValueDictionary::_Lookup(const StPackedDictionaryKey& inKey,
                                                               VValueSingle*& outOldValue) {
    VIndex index = Find(inKey);
    if (index > 0) {
        Entry& entry = fEntries[static_cast<size_t>(index - 1)];
        outOldValue = std::exchange(entry.fValue, nullptr);
        return entry;
    }
    outOldValue = nullptr;
    if (fEntries.empty()) {
        fEntries.reserve(kInitialEntries);
        fStore.reserve(kInitialStoreBytes);
    }
    // Filled in place: building it aside and copying it in costs stalled stores.
    Entry& entry = fEntries.emplace_back();
    entry.fHash = inKey.GetHashCode();
    entry.fNameOffset = fStore.size();
    entry.fNameLength = inKey.GetKeyLength();
    entry.fDataOffset = fStore.size() + inKey.GetKeyLength();
    entry.fDataLength = 0;
    entry.fValue = nullptr;
    entry.fKind = ValueKind::Empty;
    entry.fPacked = true;
    entry.fIsNull = false;
    entry.fUTF8 = false;
    fStore.append(inKey.GetKey(), inKey.GetKeyLength());
    return entry;
}

void VPackedValueDictionary::_WriteData(Entry& ioEntry, const void* inData, size_t inLength) {
    if (ioEntry.fPacked && inLength <= ioEntry.fDataLength) {
        // Fits where the old value was (always so for numbers).
        if (inLength > 0)
            std::memmove(fStore.data() + ioEntry.fDataOffset, inData, inLength);
        fDeadBytes += ioEntry.fDataLength - inLength;
    } else {
        if (ioEntry.fPacked)
            fDeadBytes += ioEntry.fDataLength;
        ioEntry.fDataOffset = fStore.size();
        fStore.append(static_cast<const char*>(inData), inLength);
    }
    ioEntry.fDataLength = inLength;
    ioEntry.fPacked = true;
}

void VPackedValueDictionary::_SetPacked(const StPackedDictionaryKey& inKey, ValueKind inKind, bool inIsNull,
                                        const void* inData, size_t inLength, bool inUTF8) {
    VValueSingle* oldValue = nullptr;
    Entry& entry = _Lookup(inKey, oldValue);
    _WriteData(entry, inData, inLength);
    entry.fKind = inKind;
    entry.fIsNull = inIsNull;
    entry.fUTF8 = inUTF8;
    // Dropped only now: the new data may have been read from the old value.
    delete oldValue;
    _CompactIfNeeded();
}

void VPackedValueDictionary::_SetObject(const StPackedDictionaryKey& inKey, VValueSingle* inValue) {
    VValueSingle* oldValue = nullptr;
    Entry& entry = _Lookup(inKey, oldValue);
    if (entry.fPacked)
        fDeadBytes += entry.fDataLength;
    entry.fDataLength = 0;
    entry.fPacked = false;
    entry.fUTF8 = false;
    entry.fKind = inValue->GetValueKind();
    entry.fIsNull = inValue->IsNull();
    entry.fValue = inValue;
    delete oldValue;
    _CompactIfNeeded();
}

void VPackedValueDictionary::SetValue(const StPackedDictionaryKey& inKey, const VValueSingle& inValue) {
    const ValueKind kind = inValue.GetValueKind();
    switch (kind) {
    case ValueKind::String:
        SetString(inKey, static_cast<const VString&>(inValue));
        break;
    case ValueKind::Boolean:
    case ValueKind::Byte:
    case ValueKind::Word:
    case ValueKind::Long:
    case ValueKind::Long8: {
        int64_t value = inValue.GetLong8();
        _SetPacked(inKey, kind, inValue.IsNull(), &value, sizeof(value));
        break;
    }
    case ValueKind::Real: {
        double value = inValue.GetReal();
        _SetPacked(inKey, kind, inValue.IsNull(), &value, sizeof(value));
        break;
    }
    case ValueKind::UUID: {
        VUUID::Bytes bytes = static_cast<const VUUID&>(inValue).GetBytes();
        _SetPacked(inKey, kind, inValue.IsNull(), bytes.data(), bytes.size());
        break;
    }
    default:
        _SetObject(inKey, inValue.Clone());
        break;
    }
}

void VPackedValueDictionary::SetString(const StPackedDictionaryKey& inKey, const VString& inText) {
    _SetPacked(inKey, ValueKind::String, inText.IsNull(), inText.GetCPointer(),
               sizeof(UniChar) * static_cast<size_t>(inText.GetLength()));
}

void VPackedValueDictionary::SetStringUTF8(const StPackedDictionaryKey& inKey, std::string_view inText) {
    if (VString::IsWellFormedUTF8(inText.data(), inText.size()))
        _SetPacked(inKey, ValueKind::String, false, inText.data(), inText.size(), true);
    else
        SetString(inKey, VString(inText));
}

bool VPackedValueDictionary::AppendNthUTF8(VIndex inIndex, std::string& ioText, VString& ioScratch) const {
    const Entry* entry = _GetEntry(inIndex);
    if (entry == nullptr)
        return false;
    if (entry->fPacked && entry->fUTF8) {
        ioText.append(fStore, entry->fDataOffset, entry->fDataLength);
    } else {
        GetNthValue(inIndex, ioScratch);
        ioScratch.AppendToUTF8(ioText);
    }
    return true;
}

void VPackedValueDictionary::SetInteger(const StPackedDictionaryKey& inKey, ValueKind inKind,
                                        int64_t inValue) {
    _SetPacked(inKey, inKind, false, &inValue, sizeof(inValue));
}

void VPackedValueDictionary::SetReal(const StPackedDictionaryKey& inKey, double inValue) {
    _SetPacked(inKey, ValueKind::Real, false, &inValue, sizeof(inValue));
}

void VPackedValueDictionary::SetValueAdopted(const StPackedDictionaryKey& inKey, VValueSingle* inValue) {
    if (inValue != nullptr)
        _SetObject(inKey, inValue);
}

void VPackedValueDictionary::SetFrom(const StPackedDictionaryKey& inKey,
                                     const VPackedValueDictionary& inOther, VIndex inIndex) {
    const Entry* source = inOther._GetEntry(inIndex);
    if (source == nullptr)
        return;
    if (!source->fPacked) {
        _SetObject(inKey, source->fValue->Clone());
        return;
    }
    // The store may grow while the bytes are copied, and the source may be this very store.
    std::string data(inOther.fStore, source->fDataOffset, source->fDataLength);
    _SetPacked(inKey, source->fKind, source->fIsNull, data.data(), data.size(), source->fUTF8);
}

bool VPackedValueDictionary::Remove(const StPackedDictionaryKey& inKey) {
    VIndex index = Find(inKey);
    if (index == 0)
        return false;
    auto position = fEntries.begin() + (index - 1);
    delete position->fValue;
    fDeadBytes += position->fNameLength + (position->fPacked ? position->fDataLength : 0);
    fEntries.erase(position);
    if (fEntries.empty()) {
        fStore.clear();
        fDeadBytes = 0;
    } else {
        _CompactIfNeeded();
    }
    return true;
}

void VPackedValueDictionary::_ReadString(const Entry& inEntry, VString& outText) const {
    if (inEntry.fUTF8) {
        outText.FromUTF8(fStore.data() + inEntry.fDataOffset, inEntry.fDataLength);
        return;
    }
    VIndex length = static_cast<VIndex>(inEntry.fDataLength / sizeof(UniChar));
    outText.Clear();
    if (length > 0 && outText.EnsureSize(length)) {
        std::memcpy(outText.GetCPointerForWrite(), fStore.data() + inEntry.fDataOffset,
                    static_cast<size_t>(length) * sizeof(UniChar));
        outText.Validate(length);
    }
}

template <class T>
T VPackedValueDictionary::_ReadNumber(const Entry& inEntry) const noexcept {
    T value{};
    if (inEntry.fDataLength == sizeof(T))
        std::memcpy(&value, fStore.data() + inEntry.fDataOffset, sizeof(T));
    return value;
}

void VPackedValueDictionary::_CompactIfNeeded() {
    if (fDeadBytes < kMinDeadBytesToCompact || fDeadBytes * 2 < fStore.size())
        return;
    std::string store;
    store.reserve(fStore.size() - fDeadBytes);
    for (Entry& entry : fEntries) {
        size_t nameOffset = store.size();
        store.append(fStore, entry.fNameOffset, entry.fNameLength);
        entry.fNameOffset = nameOffset;
        if (entry.fPacked) {
            size_t dataOffset = store.size();
            store.append(fStore, entry.fDataOffset, entry.fDataLength);
            entry.fDataOffset = dataOffset;
        }
    }
    fStore = std::move(store);
    fDeadBytes = 0;
}

} // namespace vkit
