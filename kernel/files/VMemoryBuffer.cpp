// VMemoryBuffer: growth by doubling, copies and moves.
#include "files/VMemoryBuffer.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace vkit {

VMemoryBuffer::VMemoryBuffer(const VMemoryBuffer& inOther) : VObject(inOther) {
    if (Reserve(inOther.fSize) && inOther.fSize > 0) {
        std::memcpy(fData, inOther.fData, inOther.fSize);
        fSize = inOther.fSize;
    }
}

VMemoryBuffer::VMemoryBuffer(VMemoryBuffer&& inOther) noexcept
    : VObject(inOther), fData(std::exchange(inOther.fData, nullptr)), fSize(std::exchange(inOther.fSize, 0)),
      fCapacity(std::exchange(inOther.fCapacity, 0)) {}

VMemoryBuffer& VMemoryBuffer::operator=(const VMemoryBuffer& inOther) {
    if (this != &inOther) {
        Clear();
        PutData(0, inOther.fData, inOther.fSize);
    }
    return *this;
}

VMemoryBuffer& VMemoryBuffer::operator=(VMemoryBuffer&& inOther) noexcept {
    if (this != &inOther) {
        Free();
        fData = std::exchange(inOther.fData, nullptr);
        fSize = std::exchange(inOther.fSize, 0);
        fCapacity = std::exchange(inOther.fCapacity, 0);
    }
    return *this;
}

VMemoryBuffer::~VMemoryBuffer() {
    Free();
}

bool VMemoryBuffer::Reserve(size_t inCapacity) {
    if (inCapacity <= fCapacity)
        return true;
    void* data = std::realloc(fData, inCapacity);
    if (data == nullptr)
        return false;
    fData = static_cast<unsigned char*>(data);
    fCapacity = inCapacity;
    return true;
}

bool VMemoryBuffer::SetDataSize(size_t inSize) {
    if (inSize > fCapacity) {
        // Doubling keeps a run of appends linear; an exact first size avoids waste for whole-file reads.
        size_t grown = fCapacity > 0 && fCapacity * 2 > inSize ? fCapacity * 2 : inSize;
        if (!Reserve(grown) && !Reserve(inSize))
            return false;
    }
    fSize = inSize;
    return true;
}

bool VMemoryBuffer::PutData(size_t inOffset, const void* inData, size_t inSize) {
    if (inOffset + inSize < inOffset)
        return false;
    size_t end = inOffset + inSize;
    if (end > fSize && !SetDataSize(end))
        return false;
    if (inSize > 0)
        std::memmove(fData + inOffset, inData, inSize);
    return true;
}

void VMemoryBuffer::Free() noexcept {
    std::free(fData);
    fData = nullptr;
    fSize = 0;
    fCapacity = 0;
}

} // namespace vkit
