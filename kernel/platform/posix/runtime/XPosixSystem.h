// XPosixSystem: Linux system calls behind VSystem (clock, sleeps, processors, processes, session, stderr).
#pragma once

#include "runtime/VSystem.h"

#include <cstddef>
#include <cstdint>
#include <string>
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

    /// How a child ended: the exit code it gave, or the signal that ended it.
    struct ChildEnd {
        /// 0 to 255; -1 when a signal ended the child.
        int fExitCode = -1;
        /// The signal's number (0 when the child exited) and abbreviated name ("SEGV"; empty if unknown).
        int fSignal = 0;
        std::string fSignalName;
    };
    /// Waits at most inTimeoutMilliseconds for the child inProcessID to end, without using the processor
    /// (WaitForProcessEnd), then reaps it. Returns eProcessEnded with outEnd set, eProcessWaitTimedOut
    /// while it runs (it stays a child), or eProcessWaitFailed, errno set, when it cannot be reaped
    /// (ECHILD: not a child of this process, already reaped, or reaped by the system because SIGCHLD is
    /// ignored; see KeepChildrenForReaping).
    static EProcessWaitResult WaitForChildEnd(int32_t inProcessID, int32_t inTimeoutMilliseconds,
                                              ChildEnd& outEnd) noexcept;
    /// Gives SIGCHLD its default action: a parent that ignores it (or sets SA_NOCLDWAIT) hands that on
    /// through exec, and the system then reaps this process's children itself, their status lost. Call
    /// it before starting the children whose end matters.
    static void KeepChildrenForReaping() noexcept;
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
