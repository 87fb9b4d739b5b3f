// Platform side of the memory manager (POSIX/Linux system calls).
#include "platform/posix/text/XPosixMemory.h"

#include "platform/posix/shared/XPosixDescriptor.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
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

/// The process id, kept so that a probe costs one system call; a forked child refreshes it.
std::atomic<pid_t> sPid{0};

pid_t CurrentPid() noexcept {
    pid_t pid = sPid.load(std::memory_order_relaxed);
    if (pid == 0) {
        static const bool sRegistered = [] {
            pthread_atfork(nullptr, nullptr, [] { sPid.store(getpid(), std::memory_order_relaxed); });
            return true;
        }();
        (void)sRegistered;
        pid = getpid();
        sPid.store(pid, std::memory_order_relaxed);
    }
    return pid;
}

/// Start of the program break's heap (start_brk, field 47 of /proc/self/stat), 0 when unknown.
uintptr_t ReadHeapStart() noexcept {
    XPosixDescriptor file = XPosixDescriptor::OpenAt(AT_FDCWD, "/proc/self/stat", O_RDONLY | O_CLOEXEC);
    std::string text;
    if (!file.IsValid() || ReadToEnd(file.Get(), text, 4096) != 0)
        return 0;
    // The command name (field 2) may hold spaces: count the fields after its closing parenthesis.
    const char* p = std::strrchr(text.c_str(), ')');
    for (int field = 2; p != nullptr && field < 47; ++field)
        p = std::strchr(p + 1, ' ');
    return p != nullptr ? std::strtoull(p + 1, nullptr, 10) : 0;
}

/// True when the bytes lie in the program break's heap, which is one readable mapping from its
/// start to the current break (read without a system call once the C library knows it).
bool IsInBreakHeap(uintptr_t inAddress, size_t inSize) noexcept {
    static const uintptr_t sHeapStart = ReadHeapStart();
    if (sHeapStart == 0 || inAddress < sHeapStart)
        return false;
    uintptr_t end = reinterpret_cast<uintptr_t>(sbrk(0));
    return end != static_cast<uintptr_t>(-1) && inAddress + inSize <= end;
}

bool ProbeWithKernel(const void* inAddress, size_t inSize) noexcept {
    // process_vm_readv on our own pid copies the bytes or fails with EFAULT: no signal is raised.
    char scratch[64];
    if (inSize > sizeof(scratch))
        inSize = sizeof(scratch);
    iovec local{scratch, inSize};
    iovec remote{const_cast<void*>(inAddress), inSize};
    ssize_t n = process_vm_readv(CurrentPid(), &local, 1, &remote, 1, 0);
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
    if (IsInBreakHeap(address, inSize))
        return true;
    return ProbeWithKernel(inAddress, inSize);
}

void XPosixMemory::KeepFreedMemory() noexcept {
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(kTrimThreshold));
}

} // namespace vkit
