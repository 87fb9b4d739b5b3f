// XPosixDescriptor: the one owner of a file descriptor in the platform layer, closed on every way out
// of the scope that holds it.
#pragma once

#include "platform/posix/shared/XPosixCalls.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

namespace vkit {

/// Owns one descriptor (negative: none) and closes it on destruction.
class XPosixDescriptor {
public:
    explicit XPosixDescriptor(int inDescriptor = -1) noexcept : fDescriptor(inDescriptor) {}
    ~XPosixDescriptor() {
        if (fDescriptor >= 0)
            ::close(fDescriptor);
    }
    XPosixDescriptor(const XPosixDescriptor&) = delete;
    XPosixDescriptor& operator=(const XPosixDescriptor&) = delete;
    XPosixDescriptor(XPosixDescriptor&& ioOther) noexcept : fDescriptor(ioOther.Release()) {}
    XPosixDescriptor& operator=(XPosixDescriptor&& ioOther) noexcept {
        if (this != &ioOther)
            Reset(ioOther.Release());
        return *this;
    }

    /// Opens inName of the folder inFolder (AT_FDCWD: a path), retrying after signals; invalid, with
    /// errno set by openat, on failure. inFlags should hold O_CLOEXEC.
    static XPosixDescriptor OpenAt(int inFolder, const char* inName, int inFlags,
                                   mode_t inMode = 0) noexcept {
        return XPosixDescriptor(
            RetryAfterSignal([&] { return ::openat(inFolder, inName, inFlags, inMode); }));
    }
    /// A close-on-exec duplicate of inDescriptor; invalid, with errno set, on failure.
    static XPosixDescriptor Duplicate(int inDescriptor) noexcept {
        return XPosixDescriptor(::fcntl(inDescriptor, F_DUPFD_CLOEXEC, 0));
    }

    int Get() const noexcept { return fDescriptor; }
    bool IsValid() const noexcept { return fDescriptor >= 0; }
    /// Closes now; returns close's errno (0 on success; EINTR counts as success, the descriptor being
    /// released either way on Linux). Later calls and the destruction do nothing.
    int Close() noexcept {
        if (fDescriptor < 0)
            return 0;
        int result = ::close(fDescriptor) == 0 ? 0 : errno;
        fDescriptor = -1;
        return result == EINTR ? 0 : result;
    }
    /// Closes the descriptor held and takes inDescriptor in its place.
    void Reset(int inDescriptor) noexcept {
        Close();
        fDescriptor = inDescriptor;
    }
    /// Gives up the descriptor without closing it.
    int Release() noexcept {
        int descriptor = fDescriptor;
        fDescriptor = -1;
        return descriptor;
    }

private:
    int fDescriptor;
};

} // namespace vkit
