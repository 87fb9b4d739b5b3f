// XPosixProcessIPC: the platform inter-process object of the process on Linux.
#pragma once

#include <cstdint>

namespace vkit {

/// What the process object needs from the system to talk with other processes. Linux has no
/// application messaging to register with at start-up; the object is brought up and down in its place
/// of the start-up sequence so that later facilities have one.
class XPosixProcessIPC {
public:
    XPosixProcessIPC() noexcept = default;
    XPosixProcessIPC(const XPosixProcessIPC&) = delete;
    XPosixProcessIPC& operator=(const XPosixProcessIPC&) = delete;

    /// Brings the object up; returns whether it is usable (always true on Linux).
    bool Init() noexcept;
    /// Brings it down; nothing when Init was not called.
    void DeInit() noexcept;
    bool IsInited() const noexcept { return fInited; }

    /// The id of the calling process (getpid).
    static int32_t GetCurrentProcessID() noexcept;

private:
    bool fInited = false;
};

} // namespace vkit
