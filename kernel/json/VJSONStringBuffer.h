// VJSONStringBuffer: the shared, reference-counted UTF-16 text of JSON strings and property names.
#pragma once

#include "text/VString.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>

namespace vkit {

/// An immutable run of UTF-16 code units shared by every copy of a JSON string value and by property
/// names. The units follow the header in the same block, so a string costs one allocation. Created
/// with one reference; copies of a value only add references. Not an IRefCountable: a JSON document
/// holds one of these per string and the virtual table would double their header.
class VJSONStringBuffer {
public:
    VJSONStringBuffer(const VJSONStringBuffer&) = delete;
    VJSONStringBuffer& operator=(const VJSONStringBuffer&) = delete;

    /// A new buffer holding a copy of the units (one reference, the caller's). An empty text gives
    /// null: empty strings carry no buffer.
    static VJSONStringBuffer* Create(std::u16string_view inText);

    void Retain() const noexcept { fRefCount.fetch_add(1, std::memory_order_relaxed); }
    /// Drops a reference and frees the block with the last one.
    void Release() const noexcept {
        // The sole owner needs no atomic read-modify-write: nobody else can add a reference.
        if (fRefCount.load(std::memory_order_acquire) == 1 ||
            fRefCount.fetch_sub(1, std::memory_order_acq_rel) == 1)
            _Free(this);
    }
    int32_t GetRefCount() const noexcept { return fRefCount.load(std::memory_order_relaxed); }

    VIndex GetLength() const noexcept { return fLength; }
    const UniChar* GetChars() const noexcept { return reinterpret_cast<const UniChar*>(this + 1); }
    std::u16string_view View() const noexcept { return {GetChars(), static_cast<size_t>(fLength)}; }

    /// The hash of a text used by object property lookups.
    static uint32_t Hash(std::u16string_view inText) noexcept {
        uint32_t hash = 2166136261u;
        for (UniChar c : inText)
            hash = (hash ^ c) * 16777619u;
        return hash;
    }

private:
    explicit VJSONStringBuffer(VIndex inLength) noexcept : fRefCount(1), fLength(inLength) {}
    static void _Free(const VJSONStringBuffer* inBuffer) noexcept;

    mutable std::atomic<int32_t> fRefCount;
    VIndex fLength;
};

/// Releases a buffer that may be null.
struct VJSONStringBufferReleaser {
    void operator()(const VJSONStringBuffer* inBuffer) const noexcept {
        if (inBuffer != nullptr)
            inBuffer->Release();
    }
};

/// An owned reference to a buffer (null for the empty text).
using VJSONStringRef = std::unique_ptr<VJSONStringBuffer, VJSONStringBufferReleaser>;

} // namespace vkit
