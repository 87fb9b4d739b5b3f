// VMemoryBuffer: a growable block of bytes, the container of whole file contents and process output.
#pragma once

#include "text/VObject.h"

#include <cstddef>

namespace vkit {

/// A block of bytes with a size and a larger capacity. Growing keeps the content; bytes added by
/// SetDataSize are not initialized. One task at a time uses a buffer.
class VMemoryBuffer : public VObject {
public:
    VMemoryBuffer() noexcept = default;
    VMemoryBuffer(const VMemoryBuffer& inOther);
    VMemoryBuffer(VMemoryBuffer&& inOther) noexcept;
    VMemoryBuffer& operator=(const VMemoryBuffer& inOther);
    VMemoryBuffer& operator=(VMemoryBuffer&& inOther) noexcept;
    ~VMemoryBuffer() override;

    void* GetDataPtr() noexcept { return fData; }
    const void* GetDataPtr() const noexcept { return fData; }
    size_t GetDataSize() const noexcept { return fSize; }
    size_t GetCapacity() const noexcept { return fCapacity; }
    bool IsEmpty() const noexcept { return fSize == 0; }

    /// Makes room for inCapacity bytes without changing the size; false when memory is exhausted.
    bool Reserve(size_t inCapacity);
    /// Sets the size, growing the capacity when needed; false, nothing changed, when memory is exhausted.
    bool SetDataSize(size_t inSize);
    /// Copies inSize bytes at inOffset, growing the size to cover them (a gap after the old end is not
    /// initialized); false when memory is exhausted.
    bool PutData(size_t inOffset, const void* inData, size_t inSize);
    /// Appends inSize bytes; false when memory is exhausted.
    bool AddData(const void* inData, size_t inSize) { return PutData(fSize, inData, inSize); }
    /// Sets the size to 0 and keeps the memory.
    void Clear() noexcept { fSize = 0; }
    /// Frees the memory.
    void Free() noexcept;

private:
    unsigned char* fData = nullptr;
    size_t fSize = 0;
    size_t fCapacity = 0;
};

} // namespace vkit
