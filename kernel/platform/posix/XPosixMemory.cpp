// Platform side of the memory manager (POSIX/Linux system calls).
#include "platform/posix/XPosixMemory.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/uio.h>
#include <unistd.h>

namespace vkit {

namespace {

struct StackBounds {
    uintptr_t fLow = 0;
    uintptr_t fHigh = 0;
};

StackBounds ReadStackBounds() noexcept {
    StackBounds bounds;
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        void* base = nullptr;
        size_t size = 0;
        if (pthread_attr_getstack(&attr, &base, &size) == 0) {
            bounds.fLow = reinterpret_cast<uintptr_t>(base);
            bounds.fHigh = bounds.fLow + size;
        }
        pthread_attr_destroy(&attr);
    }
    return bounds;
}

bool ProbeWithKernel(const void* inAddress, size_t inSize) noexcept {
    // process_vm_readv on our own pid copies the bytes or fails with EFAULT: no signal is raised.
    char scratch[64];
    if (inSize > sizeof(scratch))
        inSize = sizeof(scratch);
    iovec local{scratch, inSize};
    iovec remote{const_cast<void*>(inAddress), inSize};
    ssize_t n = process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
    if (n == static_cast<ssize_t>(inSize))
        return true;
    int err = errno;
    if (n < 0 && (err == ENOSYS || err == EPERM)) {
        // Without that call, ask whether the pages are mapped at all.
        long pageSize = sysconf(_SC_PAGESIZE);
        uintptr_t first = reinterpret_cast<uintptr_t>(inAddress) & ~static_cast<uintptr_t>(pageSize - 1);
        uintptr_t last = reinterpret_cast<uintptr_t>(inAddress) + inSize;
        unsigned char residency[2];
        size_t length = last - first;
        if (length > 2 * static_cast<size_t>(pageSize))
            length = 2 * static_cast<size_t>(pageSize);
        return mincore(reinterpret_cast<void*>(first), length, residency) == 0;
    }
    return false;
}

} // namespace

bool XPosixMemory::IsReadable(const void* inAddress, size_t inSize) noexcept {
    thread_local StackBounds tStack = ReadStackBounds();
    uintptr_t address = reinterpret_cast<uintptr_t>(inAddress);
    if (address >= tStack.fLow && address + inSize <= tStack.fHigh)
        return true;
    return ProbeWithKernel(inAddress, inSize);
}

} // namespace vkit
