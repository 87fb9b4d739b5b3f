// VJSONStringBuffer: allocation of the shared UTF-16 text blocks.
#include "json/VJSONStringBuffer.h"

#include <cstring>
#include <new>

namespace vkit {

static_assert(sizeof(VJSONStringBuffer) % alignof(UniChar) == 0);

VJSONStringBuffer* VJSONStringBuffer::Create(std::u16string_view inText) {
    if (inText.empty())
        return nullptr;
    size_t bytes = sizeof(VJSONStringBuffer) + inText.size() * sizeof(UniChar);
    void* block = ::operator new(bytes);
    auto* buffer = new (block) VJSONStringBuffer(static_cast<VIndex>(inText.size()));
    std::memcpy(static_cast<void*>(buffer + 1), inText.data(), inText.size() * sizeof(UniChar));
    return buffer;
}

void VJSONStringBuffer::_Free(const VJSONStringBuffer* inBuffer) noexcept {
    inBuffer->~VJSONStringBuffer();
    ::operator delete(const_cast<VJSONStringBuffer*>(inBuffer));
}

} // namespace vkit
