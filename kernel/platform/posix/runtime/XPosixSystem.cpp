// XPosixSystem: Linux system calls behind VSystem.
#include "platform/posix/runtime/XPosixSystem.h"

#include "platform/posix/shared/XPosixCalls.h"
#include "platform/posix/shared/XPosixFolderReader.h"
#include "platform/posix/shared/XPosixSpawn.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vkit {

uint64_t XPosixSystem::GetMonotonicNanoseconds() noexcept {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000ULL + static_cast<uint64_t>(now.tv_nsec);
}

void XPosixSystem::Sleep(uint32_t inMilliseconds) noexcept {
    timespec remaining{};
    remaining.tv_sec = static_cast<time_t>(inMilliseconds / 1000);
    remaining.tv_nsec = static_cast<long>(inMilliseconds % 1000) * 1000000L;
    // Each retry sleeps what the interrupted call left.
    (void)RetryAfterSignal([&] { return nanosleep(&remaining, &remaining); });
}

uint32_t XPosixSystem::GetNumberOfLogicalProcessors() noexcept {
    long count = sysconf(_SC_NPROCESSORS_CONF);
    return count > 0 ? static_cast<uint32_t>(count) : 0;
}

void XPosixSystem::GetProcessList(std::vector<int32_t>& ioProcessIDs) {
    XPosixFolderReader proc;
    if (proc.Open(AT_FDCWD, "/proc", true) != 0)
        return;
    // A failure part-way keeps the pids read so far.
    XPosixFolderEntry entry;
    while (proc.Next(entry)) {
        const char* name = entry.fName;
        int64_t pid = 0;
        const char* c = name;
        for (; *c >= '0' && *c <= '9' && pid <= INT32_MAX; ++c)
            pid = pid * 10 + (*c - '0');
        if (c != name && *c == 0 && pid > 0 && pid <= INT32_MAX)
            ioProcessIDs.push_back(static_cast<int32_t>(pid));
    }
}

bool XPosixSystem::IsProcessRunning(int32_t inProcessID) noexcept {
    if (kill(inProcessID, 0) == 0)
        return true;
    int error = errno;
    return error != ESRCH;
}

namespace {

constexpr uint64_t kNanosecondsPerMillisecond = 1000000ULL;
// The longest sleep between two looks at a process where no pidfd can be had.
constexpr uint32_t kLongestLookInterval = 50;

/// The milliseconds left of inTimeout since inStart (-1 without limit, never below 0).
int MillisecondsLeft(int32_t inTimeout, uint64_t inStart) noexcept {
    if (inTimeout < 0)
        return -1;
    uint64_t elapsed = (XPosixSystem::GetMonotonicNanoseconds() - inStart) / kNanosecondsPerMillisecond;
    return elapsed >= static_cast<uint64_t>(inTimeout) ? 0 : static_cast<int>(inTimeout - elapsed);
}

} // namespace

bool XPosixSystem::HasEnded(int32_t inProcessID) noexcept {
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(inProcessID), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == inProcessID)
        return true;
    return !IsProcessRunning(inProcessID);
}

EProcessWaitResult XPosixSystem::WaitForProcessEnd(int32_t inProcessID,
                                                   int32_t inTimeoutMilliseconds) noexcept {
    uint64_t start = GetMonotonicNanoseconds();
    XPosixDescriptor process = XPosixSpawn::OpenProcessDescriptor(inProcessID);
    if (!process.IsValid()) {
        if (errno == ESRCH)
            return eProcessEnded;
        // No pidfd to be had (an older kernel, a sandbox): look, more and more spaced.
        for (uint32_t interval = 1;; interval = std::min(interval * 2, kLongestLookInterval)) {
            if (HasEnded(inProcessID))
                return eProcessEnded;
            int left = MillisecondsLeft(inTimeoutMilliseconds, start);
            if (left == 0)
                return eProcessWaitTimedOut;
            Sleep(left < 0 ? interval : std::min(interval, static_cast<uint32_t>(left)));
        }
    }
    for (;;) {
        pollfd entry{process.Get(), POLLIN, 0};
        int ready = ::poll(&entry, 1, MillisecondsLeft(inTimeoutMilliseconds, start));
        if (ready > 0)
            return eProcessEnded;
        if (ready == 0)
            return eProcessWaitTimedOut;
        if (errno != EINTR)
            return eProcessWaitFailed;
    }
}

EProcessWaitResult XPosixSystem::WaitForChildEnd(int32_t inProcessID, int32_t inTimeoutMilliseconds,
                                                 ChildEnd& outEnd) noexcept {
    EProcessWaitResult result = WaitForProcessEnd(inProcessID, inTimeoutMilliseconds);
    if (result != eProcessEnded)
        return result;
    siginfo_t info{};
    if (RetryAfterSignal([&] { return ::waitid(P_PID, static_cast<id_t>(inProcessID), &info, WEXITED); }) !=
        0)
        return eProcessWaitFailed;
    bool exited = info.si_code == CLD_EXITED;
    outEnd.fExitCode = exited ? info.si_status : -1;
    outEnd.fSignal = exited ? 0 : info.si_status;
    const char* name = exited ? nullptr : sigabbrev_np(info.si_status);
    outEnd.fSignalName = name != nullptr ? name : "";
    return eProcessEnded;
}

void XPosixSystem::KeepChildrenForReaping() noexcept {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    (void)::sigaction(SIGCHLD, &action, nullptr); // cannot fail for SIGCHLD and a valid action
}

bool XPosixSystem::IsSystemVersionOrAbove(int32_t) noexcept {
    return true;
}

bool XPosixSystem::HasGraphicalSession() noexcept {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != 0)
            return true;
    }
    return false;
}

bool XPosixSystem::WriteToStandardError(const char* inBytes, size_t inLength) noexcept {
    return WriteAll(STDERR_FILENO, inBytes, inLength) == 0;
}

bool XPosixSystem::WriteToStandardOutput(const char* inBytes, size_t inLength) noexcept {
    // Through the C stream, so that the bytes keep their place among other writers of the stream.
    bool written = std::fwrite(inBytes, 1, inLength, stdout) == inLength;
    return std::fflush(stdout) == 0 && written;
}

void XPosixSystem::CloseStandardStreams() noexcept {
    std::fflush(stdout);
    std::fflush(stderr);
    // Each descriptor is replaced by /dev/null in one dup2, which closes the original: the reader at
    // the other end sees the end of the stream, and no file opened later can take number 0, 1 or 2 and
    // receive what is meant for a standard stream.
    XPosixDescriptor null = XPosixDescriptor::OpenAt(AT_FDCWD, "/dev/null", O_RDWR | O_CLOEXEC);
    for (int descriptor : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (!null.IsValid())
            ::close(descriptor);
        else
            (void)RetryAfterSignal([&] { return ::dup2(null.Get(), descriptor); }); // no result to give
    }
    // Opened as 0, 1 or 2 (a standard stream was closed), /dev/null now stands there: keep it.
    if (null.Get() <= STDERR_FILENO)
        null.Release();
}

} // namespace vkit
