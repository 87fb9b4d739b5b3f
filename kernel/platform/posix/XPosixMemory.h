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
};

} // namespace vkit
