// XPosixTask: pthreads on mmap'ed stacks with a guard page, and the task semaphore.
#include "platform/posix/runtime/XPosixTask.h"

#include "platform/posix/runtime/XPosixTaskMgr.h"

#include <cerrno>
#include <cstdint>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

namespace vkit {

namespace {

// The smallest stack a task gets beyond the TLS: the sanitizers refuse to start a thread with less.
constexpr size_t kMinimumStackSize = 128 * 1024;
// Room for the thread descriptor and the static TLS surplus the C library keeps for dlopen.
constexpr size_t kThreadDescriptorAllowance = 16 * 1024;

size_t PageSize() noexcept {
    long size = sysconf(_SC_PAGESIZE);
    return size > 0 ? static_cast<size_t>(size) : 4096;
}

int AddTLSSegment(dl_phdr_info* inInfo, size_t, void* ioTotal) {
    for (ElfW(Half) i = 0; i < inInfo->dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = inInfo->dlpi_phdr[i];
        if (header.p_type == PT_TLS) {
            size_t align = header.p_align > 0 ? header.p_align : 1;
            *static_cast<size_t*>(ioTotal) += (header.p_memsz + align - 1) / align * align;
        }
    }
    return 0;
}

/// The C library places the thread's static TLS blocks and descriptor at the top of a stack given to
/// it: that room is added to the mapping, so that the task gets the stack size it asked for (the
/// sanitizers' TLS alone is near 1 MB).
size_t ThreadStorageSize() noexcept {
    static const size_t sSize = [] {
        size_t total = 0;
        dl_iterate_phdr(&AddTLSSegment, &total);
        return total + kThreadDescriptorAllowance;
    }();
    return sSize;
}

} // namespace

XPosixTask::~XPosixTask() {
    Join();
}

void XPosixTask::AttachToCurrentThread() noexcept {
    fThread = pthread_self();
    fOwnsThread = false;
    fThreadID = XPosixTaskMgr::GetCurrentThreadID();
}

int XPosixTask::Create(size_t inStackSize, EntryProc inEntry, void* inArgument) noexcept {
    size_t page = PageSize();
    size_t stackSize = inStackSize < kMinimumStackSize ? kMinimumStackSize : inStackSize;
    if (stackSize > SIZE_MAX / 2)
        return ENOMEM;
    stackSize = (stackSize + ThreadStorageSize() + page - 1) / page * page;
    size_t mapSize = stackSize + page;
    void* map =
        mmap(nullptr, mapSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (map == MAP_FAILED)
        return errno;
    // The lowest page stays inaccessible: a stack overflow faults instead of writing over memory.
    if (mprotect(map, page, PROT_NONE) != 0) {
        int error = errno;
        munmap(map, mapSize);
        return error;
    }
    pthread_attr_t attributes;
    int result = pthread_attr_init(&attributes);
    if (result != 0) {
        munmap(map, mapSize);
        return result;
    }
    result = pthread_attr_setstack(&attributes, static_cast<char*>(map) + page, stackSize);
    fEntry = inEntry;
    fArgument = inArgument;
    if (result == 0)
        result = pthread_create(&fThread, &attributes, &_ThreadMain, this);
    pthread_attr_destroy(&attributes);
    if (result != 0) {
        munmap(map, mapSize);
        return result;
    }
    fOwnsThread = true;
    fStackMap = map;
    fStackMapSize = mapSize;

    fEvent.Lock();
    while (!fReady)
        fEvent.WaitUntil(XPosixSyncEvent::kNoDeadline);
    fEvent.Unlock();
    return 0;
}

void* XPosixTask::_ThreadMain(void* inSelf) {
    XPosixTask* self = static_cast<XPosixTask*>(inSelf);
    self->fEvent.Lock();
    self->fThreadID = XPosixTaskMgr::GetCurrentThreadID();
    self->fReady = true;
    self->fEvent.Broadcast();
    while (!self->fStartRequested)
        self->fEvent.WaitUntil(XPosixSyncEvent::kNoDeadline);
    self->fEvent.Unlock();
    self->fEntry(self->fArgument);
    return nullptr;
}

void XPosixTask::Start() noexcept {
    fEvent.Lock();
    fStartRequested = true;
    fEvent.Broadcast();
    fEvent.Unlock();
}

void XPosixTask::Join() noexcept {
    if (!fOwnsThread)
        return;
    fOwnsThread = false;
    if (pthread_equal(pthread_self(), fThread)) {
        pthread_detach(fThread);
        return;
    }
    pthread_join(fThread, nullptr);
    munmap(fStackMap, fStackMapSize);
    fStackMap = nullptr;
}

bool XPosixTask::Sleep(uint32_t inMilliseconds) noexcept {
    uint64_t deadline = XPosixSyncEvent::DeadlineAfter(inMilliseconds);
    fEvent.Lock();
    while (!fWakeRequested) {
        if (!fEvent.WaitUntil(deadline))
            break;
    }
    bool woken = fWakeRequested;
    fWakeRequested = false;
    fEvent.Unlock();
    return woken;
}

void XPosixTask::WakeUp() noexcept {
    fEvent.Lock();
    fWakeRequested = true;
    fEvent.Broadcast();
    fEvent.Unlock();
}

void XPosixTask::SetCurrentThreadName(const char* inName) noexcept {
    // On Linux the main thread's name is the process's name (ps, pgrep, /proc/<pid>/comm): keep it.
    if (gettid() == getpid())
        return;
    pthread_setname_np(pthread_self(), inName);
}

} // namespace vkit
