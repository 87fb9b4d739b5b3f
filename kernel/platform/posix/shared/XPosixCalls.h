// XPosixCalls: the small helpers around system calls that every platform file uses: the retry after a
// signal, whole reads and writes, the text of a symbolic link, non-blocking descriptors.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace vkit {

/// Runs inCall again as long as it fails with EINTR (-1 with errno EINTR); answers its last result,
/// errno as that call left it.
template <class Call>
auto RetryAfterSignal(Call&& inCall) -> decltype(inCall()) {
    for (;;) {
        auto result = inCall();
        if (!(result == -1 && errno == EINTR))
            return result;
    }
}

/// Reads inDescriptor to its end, appending what it gives to ioText. Returns 0, the errno of the failing
/// read, or EFBIG (ioText keeps what fitted) once ioText would grow beyond inLimit bytes.
inline int ReadToEnd(int inDescriptor, std::string& ioText, size_t inLimit = SIZE_MAX) {
    char buffer[16384];
    for (;;) {
        ssize_t count = RetryAfterSignal([&] { return ::read(inDescriptor, buffer, sizeof(buffer)); });
        if (count <= 0)
            return count == 0 ? 0 : errno;
        if (ioText.size() > inLimit || static_cast<size_t>(count) > inLimit - ioText.size())
            return EFBIG;
        ioText.append(buffer, static_cast<size_t>(count));
    }
}

/// Writes all inSize bytes to inDescriptor at its position, in as many calls as it takes. Returns 0 or
/// the errno of the failing write.
inline int WriteAll(int inDescriptor, const void* inBytes, size_t inSize) noexcept {
    const char* bytes = static_cast<const char*>(inBytes);
    while (inSize > 0) {
        ssize_t written = RetryAfterSignal([&] { return ::write(inDescriptor, bytes, inSize); });
        if (written < 0)
            return errno;
        bytes += written;
        inSize -= static_cast<size_t>(written);
    }
    return 0;
}

/// The target text of the symbolic link inName of the folder inFolder (AT_FDCWD: a path), however
/// long; inSizeHint is the length expected (a link's st_size). Returns 0 or the errno of readlinkat.
inline int ReadLinkText(int inFolder, const char* inName, std::string& outText, size_t inSizeHint = 255) {
    // One byte more than the text: a text that fills the buffer may have been cut.
    outText.resize(inSizeHint + 1);
    for (;;) {
        ssize_t length = ::readlinkat(inFolder, inName, outText.data(), outText.size());
        if (length < 0) {
            int error = errno;
            outText.clear();
            return error;
        }
        if (static_cast<size_t>(length) < outText.size()) {
            outText.resize(static_cast<size_t>(length));
            return 0;
        }
        outText.resize(outText.size() * 2);
    }
}

/// Makes the descriptor non-blocking. Meant for a new pipe end, which has no other status flag to keep
/// (so one call does it). Returns 0 or the errno of fcntl.
inline int SetNonBlocking(int inDescriptor) noexcept {
    return ::fcntl(inDescriptor, F_SETFL, O_NONBLOCK) == 0 ? 0 : errno;
}

} // namespace vkit
