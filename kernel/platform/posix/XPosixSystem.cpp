// XPosixSystem: Linux system calls behind VSystem.
#include "platform/posix/XPosixSystem.h"

#include "platform/posix/XPosixDirectoryEntry.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace vkit {

namespace {

/// Writes all the bytes to the descriptor, resuming after signals and partial writes.
bool WriteAll(int inDescriptor, const char* inBytes, size_t inLength) noexcept {
    while (inLength > 0) {
        ssize_t written = ::write(inDescriptor, inBytes, inLength);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        inBytes += written;
        inLength -= static_cast<size_t>(written);
    }
    return true;
}

} // namespace

uint64_t XPosixSystem::GetMonotonicNanoseconds() noexcept {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000ULL + static_cast<uint64_t>(now.tv_nsec);
}

void XPosixSystem::Sleep(uint32_t inMilliseconds) noexcept {
    timespec remaining{};
    remaining.tv_sec = static_cast<time_t>(inMilliseconds / 1000);
    remaining.tv_nsec = static_cast<long>(inMilliseconds % 1000) * 1000000L;
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

uint32_t XPosixSystem::GetNumberOfLogicalProcessors() noexcept {
    long count = sysconf(_SC_NPROCESSORS_CONF);
    return count > 0 ? static_cast<uint32_t>(count) : 0;
}

void XPosixSystem::GetProcessList(std::vector<int32_t>& ioProcessIDs) {
    DIR* proc = opendir("/proc");
    if (proc == nullptr)
        return;
    // A failure part-way keeps the pids read so far.
    int error = 0;
    while (dirent* entry = ReadEntry(proc, error)) {
        const char* name = entry->d_name;
        int64_t pid = 0;
        const char* c = name;
        for (; *c >= '0' && *c <= '9' && pid <= INT32_MAX; ++c)
            pid = pid * 10 + (*c - '0');
        if (c != name && *c == 0 && pid > 0 && pid <= INT32_MAX)
            ioProcessIDs.push_back(static_cast<int32_t>(pid));
    }
    closedir(proc);
}

bool XPosixSystem::IsProcessRunning(int32_t inProcessID) noexcept {
    if (kill(inProcessID, 0) == 0)
        return true;
    int error = errno;
    return error != ESRCH;
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
    return WriteAll(STDERR_FILENO, inBytes, inLength);
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
    int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    for (int descriptor : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (null < 0)
            ::close(descriptor);
        else
            while (::dup2(null, descriptor) < 0 && errno == EINTR) {
            }
    }
    if (null > STDERR_FILENO)
        ::close(null);
}

} // namespace vkit
