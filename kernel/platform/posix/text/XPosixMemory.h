// Platform side of the memory manager: probing whether memory can be read without faulting.
#pragma once

#include <cstddef>

namespace vkit {

class XPosixMemory {
public:
    /// True when inSize bytes at inAddress can be read by this process. Addresses on the calling
    /// thread's stack or in the program break's heap are answered from their bounds without a
    /// system call; others are probed by the kernel, which reports a fault instead of raising one.
    static bool IsReadable(const void* inAddress, size_t inSize) noexcept;
    /// Raises the C allocator's trim threshold to kTrimThreshold, so that the top of the heap is
    /// given back to the system only beyond it.
    static void KeepFreedMemory() noexcept;
    static constexpr size_t kTrimThreshold = 32 * 1024 * 1024;
};

} // namespace vkit
