// XPosixTask: pthreads on mmap'ed stacks with a guard page, and the task semaphore.
#include "platform/posix/XPosixTask.h"

#include "platform/posix/XPosixTaskMgr.h"

#include <cerrno>
#include <sys/mman.h>
#include <unistd.h>

namespace vkit {

namespace {

// Smaller stacks leave too little room once the system placed the thread's TLS at their top.
constexpr size_t kMinimumStackSize = 64 * 1024;

size_t PageSize() noexcept {
    long size = sysconf(_SC_PAGESIZE);
    return size > 0 ? static_cast<size_t>(size) : 4096;
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
    stackSize = (stackSize + page - 1) / page * page;
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
