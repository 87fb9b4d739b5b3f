// XPosixFileDesc: an open file descriptor and the calls made on it (read, write, position, size, flush).
#pragma once

#include "errors/VErrorCodes.h"
#include "platform/posix/shared/XPosixDescriptor.h"

#include <cstddef>
#include <cstdint>

namespace vkit {

/// Owns one open descriptor and closes it (releasing its flock lock) when destroyed. Each call answers
/// 0 or the POSX error of the failing system call.
class XPosixFileDesc {
public:
    explicit XPosixFileDesc(int inFd) noexcept : fDescriptor(inFd) {}

    int GetFd() const noexcept { return fDescriptor.Get(); }

    /// Reads up to inCount bytes at inPosition (at the current position, which then advances, when
    /// inPosition is negative), as many calls as needed until inCount bytes or the end of the file.
    [[nodiscard]] VError Read(void* outBuffer, size_t inCount, int64_t inPosition, size_t& outRead) const;
    /// Writes inCount bytes at inPosition (at the current position when negative).
    [[nodiscard]] VError Write(const void* inBuffer, size_t inCount, int64_t inPosition,
                               size_t& outWritten) const;
    [[nodiscard]] VError GetPosition(int64_t& outPosition) const;
    /// Moves the position to inPosition from the start, or from the end when inFromEnd.
    [[nodiscard]] VError SetPosition(int64_t inPosition, bool inFromEnd) const;
    [[nodiscard]] VError GetSize(int64_t& outSize) const;
    /// Truncates or extends the file (the added bytes read as zeros).
    [[nodiscard]] VError SetSize(int64_t inSize) const;
    /// Writes the file's data and size to its storage (fdatasync).
    [[nodiscard]] VError Flush() const;

private:
    XPosixDescriptor fDescriptor;
};

} // namespace vkit
