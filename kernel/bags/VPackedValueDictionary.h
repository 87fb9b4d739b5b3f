// VPackedValueDictionary: insertion-ordered named scalar values kept in one packed byte store.
#pragma once

#include "bags/StPackedDictionaryKey.h"
#include "text/VString.h"
#include "text/VValue.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vkit {

class VValueSingle;

/// The attributes of a bag: named scalar values in insertion order.
/// Names, texts and numbers are packed into one byte store, so that setting them allocates no object;
/// the value object of such an entry is made when it is first read (and kept). Values of other classes
/// are kept as clones. Lookups compare the hash first, then the bytes.
///
/// One task at a time may change a dictionary. Any number of tasks may read one that nobody changes:
/// value objects made on first read are published with an atomic exchange.
class VPackedValueDictionary {
public:
    VPackedValueDictionary() noexcept = default;
    /// Copies every value; values made on first read are made again on the copy's first read.
    VPackedValueDictionary(const VPackedValueDictionary& inOther);
    VPackedValueDictionary(VPackedValueDictionary&& inOther) noexcept;
    VPackedValueDictionary& operator=(const VPackedValueDictionary& inOther);
    VPackedValueDictionary& operator=(VPackedValueDictionary&& inOther) noexcept;
    ~VPackedValueDictionary();

    VIndex GetCount() const noexcept { return static_cast<VIndex>(fEntries.size()); }
    bool IsEmpty() const noexcept { return fEntries.empty(); }
    /// Removes every value; the memory reserved for names and values is kept for the next ones.
    void Clear() noexcept;
    /// The bytes reserved for names and values, used or not.
    size_t GetReservedBytes() const noexcept {
        return fStore.capacity() + fEntries.capacity() * sizeof(Entry);
    }

    /// Asks the processor to start loading the memory of the names and values (for a dictionary that
    /// another task filled and this one is about to read), or the memory reserved for them (for one that
    /// was emptied and is about to be refilled), so that the loads overlap other work. Only a hint:
    /// nothing changes.
    void Prefetch() const noexcept;

    /// The 1-based position of the key, 0 when absent.
    VIndex Find(const StPackedDictionaryKey& inKey) const noexcept;
    /// The name at a 1-based position (valid until the dictionary changes); empty when out of range.
    std::string_view GetNthKey(VIndex inIndex) const noexcept {
        const Entry* entry = _GetEntry(inIndex);
        return entry == nullptr ? std::string_view()
                                : std::string_view(fStore.data() + entry->fNameOffset, entry->fNameLength);
    }
    /// The kind of the value at a 1-based position; Empty when out of range.
    ValueKind GetNthKind(VIndex inIndex) const noexcept;
    /// The value at a 1-based position, made on first read; null when out of range.
    /// The value belongs to the dictionary and lives until its entry changes.
    const VValueSingle* GetNthValue(VIndex inIndex) const;

    /// Copies the value at a 1-based position into outValue (outValue.FromValue semantics, null flag
    /// included); false when out of range. Texts and numbers are read straight from the store.
    bool GetNthValue(VIndex inIndex, VValueSingle& outValue) const;
    /// The value at a 1-based position as VLong8 reads it (integers and booleans straight from the
    /// store); false when out of range.
    bool GetNthInteger(VIndex inIndex, int64_t& outValue) const;
    /// The value as text (a text value is copied as it is, another converted by VString::FromValue);
    /// false when out of range.
    bool GetNthString(VIndex inIndex, VString& outText) const { return GetNthValue(inIndex, outText); }

    /// Sets the value of a key: replaces the value of an existing entry in place (keeping its position)
    /// or appends a new entry.
    void SetValue(const StPackedDictionaryKey& inKey, const VValueSingle& inValue);
    void SetString(const StPackedDictionaryKey& inKey, const VString& inText);
    /// Sets a text value given as UTF-8 and keeps its bytes (texts set as VString are kept as UTF-16):
    /// reading it as a VString decodes them, AppendNthUTF8 copies them. Bytes that are not
    /// well-formed UTF-8 are kept as SetString(VString(inText)) keeps them.
    void SetStringUTF8(const StPackedDictionaryKey& inKey, std::string_view inText);
    /// Appends the value at a 1-based position as UTF-8: what GetNthString followed by
    /// VString::AppendToUTF8 gives, a text set as UTF-8 being copied without a string. ioScratch
    /// holds the values that are converted (its memory serves again). False when out of range.
    bool AppendNthUTF8(VIndex inIndex, std::string& ioText, VString& ioScratch) const;
    /// Sets an integer value of kind Boolean, Byte, Word, Long or Long8.
    void SetInteger(const StPackedDictionaryKey& inKey, ValueKind inKind, int64_t inValue);
    void SetReal(const StPackedDictionaryKey& inKey, double inValue);
    /// Keeps the value itself (no copy is made) and deletes it when its entry changes or goes.
    void SetValueAdopted(const StPackedDictionaryKey& inKey, VValueSingle* inValue);
    /// Sets the key to a copy of the entry at a 1-based position of another dictionary (which may be
    /// this one); nothing happens when the position is out of range.
    void SetFrom(const StPackedDictionaryKey& inKey, const VPackedValueDictionary& inOther, VIndex inIndex);

    /// Removes the key's entry; false when there was none.
    bool Remove(const StPackedDictionaryKey& inKey);

    /// True when values of that kind are packed into the store rather than kept as objects.
    static bool IsPackedKind(ValueKind inKind) noexcept;

private:
    struct Entry {
        size_t fHash;
        size_t fNameOffset;
        size_t fNameLength;
        size_t fDataOffset;
        size_t fDataLength; // bytes
        // Packed entries: the value made on first read, or null. Other entries: the only copy.
        mutable VValueSingle* fValue;
        ValueKind fKind;
        bool fPacked;
        bool fIsNull;
        bool fUTF8; // a packed text kept as UTF-8 rather than UTF-16
    };

    const Entry* _GetEntry(VIndex inIndex) const noexcept {
        if (inIndex < 1 || static_cast<size_t>(inIndex) > fEntries.size())
            return nullptr;
        return &fEntries[static_cast<size_t>(inIndex - 1)];
    }
    const VValueSingle* _GetValue(const Entry& inEntry) const;
    VValueSingle* _MakeValue(const Entry& inEntry) const;
    /// Calls inVisitor with a temporary value object on the stack holding a packed entry's value.
    template <class F>
    void _VisitPacked(const Entry& inEntry, F&& inVisitor) const;
    /// The entry of the key, appended with an empty value when absent; the old value of an existing
    /// entry is left for the caller to drop.
    Entry& _Lookup(const StPackedDictionaryKey& inKey, VValueSingle*& outOldValue);
    void _SetPacked(const StPackedDictionaryKey& inKey, ValueKind inKind, bool inIsNull, const void* inData,
                    size_t inLength, bool inUTF8 = false);
    void _SetObject(const StPackedDictionaryKey& inKey, VValueSingle* inValue);
    void _WriteData(Entry& ioEntry, const void* inData, size_t inLength);
    void _ReadString(const Entry& inEntry, VString& outText) const;
    template <class T>
    T _ReadNumber(const Entry& inEntry) const noexcept;
    void _CompactIfNeeded();

    std::vector<Entry> fEntries;
    std::string fStore;    // names and packed values
    size_t fDeadBytes = 0; // store bytes no entry uses any more
};

} // namespace vkit
