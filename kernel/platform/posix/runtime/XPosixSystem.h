// XPosixSystem: Linux system calls behind VSystem (clock, sleeps, processors, processes, session, stderr).
#pragma once

#include "runtime/VSystem.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vkit {

class XPosixSystem {
public:
    /// Nanoseconds of CLOCK_MONOTONIC.
    static uint64_t GetMonotonicNanoseconds() noexcept;
    /// nanosleep for inMilliseconds, resumed with the remaining time after EINTR.
    static void Sleep(uint32_t inMilliseconds) noexcept;
    /// The configured processors (0 when the system does not say).
    static uint32_t GetNumberOfLogicalProcessors() noexcept;
    /// Appends the numeric entries of /proc.
    static void GetProcessList(std::vector<int32_t>& ioProcessIDs);
    /// kill(pid, 0) succeeds or fails with anything but ESRCH.
    static bool IsProcessRunning(int32_t inProcessID) noexcept;
    /// Waits for the end of the process inProcessID (above 0) at most inTimeoutMilliseconds (negative:
    /// without limit): poll on its pidfd, or where none can be had, looks at it (HasEnded) at growing
    /// intervals of at most 50 ms.
    static EProcessWaitResult WaitForProcessEnd(int32_t inProcessID, int32_t inTimeoutMilliseconds) noexcept;
    /// True when the process inProcessID is gone, or is a child of this process that has ended and not
    /// yet been reaped (waitid with WNOWAIT, which leaves it to be reaped).
    static bool HasEnded(int32_t inProcessID) noexcept;
    /// Linux meets every release the checks name.
    static bool IsSystemVersionOrAbove(int32_t inVersion) noexcept;
    /// True in a graphical session: DISPLAY or WAYLAND_DISPLAY is set and not empty.
    static bool HasGraphicalSession() noexcept;
    /// Writes the bytes to descriptor 2; false when it is closed or the write fails.
    static bool WriteToStandardError(const char* inBytes, size_t inLength) noexcept;
    /// Writes the bytes to the C stream stdout and flushes it; false when either fails.
    static bool WriteToStandardOutput(const char* inBytes, size_t inLength) noexcept;
    /// Flushes the C streams, then puts /dev/null in the place of descriptors 0, 1 and 2 (closing them
    /// when /dev/null cannot be opened).
    static void CloseStandardStreams() noexcept;
};

} // namespace vkit
