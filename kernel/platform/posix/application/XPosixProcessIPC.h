// XPosixProcessIPC: the platform inter-process object of the process on Linux, and its termination signals.
#pragma once

#include "platform/posix/shared/XPosixDescriptor.h"

#include <csignal>
#include <cstdint>
#include <functional>
#include <thread>

namespace vkit {

/// What the process object needs from the system to talk with other processes: Linux has no application
/// messaging to register with, so the object holds the handling of the termination signals, brought up
/// and down in its place of the start-up sequence. One object is initialized at a time.
class XPosixProcessIPC {
public:
    XPosixProcessIPC() noexcept = default;
    ~XPosixProcessIPC() { DeInit(); }
    XPosixProcessIPC(const XPosixProcessIPC&) = delete;
    XPosixProcessIPC& operator=(const XPosixProcessIPC&) = delete;

    /// Installs handlers for SIGTERM, SIGINT and SIGQUIT. On SIGINT the handler first writes
    /// "\n (ctrl-c has been received - quit)\n" and a newline to standard output; for all three,
    /// inOnTermination then runs on a thread of this object (a signal handler may not take locks).
    /// Returns false, nothing installed, when a handler, the pipe or the thread cannot be set up or another
    /// object is initialized.
    bool Init(std::function<void()> inOnTermination);
    /// Restores the previous handlers and ends the thread; nothing when Init did not succeed.
    void DeInit() noexcept;
    bool IsInited() const noexcept { return fThread.joinable(); }

    /// The id of the calling process (getpid).
    static int32_t GetCurrentProcessID() noexcept;

private:
    void _Watch() const;

    std::function<void()> fOnTermination;
    XPosixDescriptor fSignalRead;
    XPosixDescriptor fSignalWrite;
    std::thread fThread;
    struct sigaction fPrevious[3] = {};
};

} // namespace vkit
