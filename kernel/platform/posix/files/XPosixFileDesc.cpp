// XPosixFileDesc: pread, pwrite, lseek, fstat, ftruncate and fdatasync on one descriptor.
#include "platform/posix/files/XPosixFileDesc.h"

#include "platform/posix/files/XPosixFileCalls.h"
#include "platform/posix/shared/XPosixCalls.h"

#include <sys/stat.h>
#include <unistd.h>

namespace vkit {

VError XPosixFileDesc::Read(void* outBuffer, size_t inCount, int64_t inPosition, size_t& outRead) const {
    outRead = 0;
    char* buffer = static_cast<char*>(outBuffer);
    while (outRead < inCount) {
        size_t rest = inCount - outRead;
        ssize_t count = RetryAfterSignal([&] {
            return inPosition < 0 ? ::read(fDescriptor.Get(), buffer + outRead, rest)
                                  : ::pread(fDescriptor.Get(), buffer + outRead, rest,
                                            static_cast<off_t>(inPosition + outRead));
        });
        if (count < 0)
            return LastPosixError();
        if (count == 0)
            break;
        outRead += static_cast<size_t>(count);
    }
    return VE_OK;
}

VError XPosixFileDesc::Write(const void* inBuffer, size_t inCount, int64_t inPosition,
                             size_t& outWritten) const {
    outWritten = 0;
    const char* buffer = static_cast<const char*>(inBuffer);
    while (outWritten < inCount) {
        size_t rest = inCount - outWritten;
        ssize_t count = RetryAfterSignal([&] {
            return inPosition < 0 ? ::write(fDescriptor.Get(), buffer + outWritten, rest)
                                  : ::pwrite(fDescriptor.Get(), buffer + outWritten, rest,
                                             static_cast<off_t>(inPosition + outWritten));
        });
        if (count < 0)
            return LastPosixError();
        outWritten += static_cast<size_t>(count);
    }
    return VE_OK;
}

VError XPosixFileDesc::GetPosition(int64_t& outPosition) const {
    off_t position = ::lseek(fDescriptor.Get(), 0, SEEK_CUR);
    if (position < 0)
        return LastPosixError();
    outPosition = static_cast<int64_t>(position);
    return VE_OK;
}

VError XPosixFileDesc::SetPosition(int64_t inPosition, bool inFromEnd) const {
    if (::lseek(fDescriptor.Get(), static_cast<off_t>(inPosition), inFromEnd ? SEEK_END : SEEK_SET) < 0)
        return LastPosixError();
    return VE_OK;
}

VError XPosixFileDesc::GetSize(int64_t& outSize) const {
    struct stat info;
    if (::fstat(fDescriptor.Get(), &info) != 0)
        return LastPosixError();
    outSize = static_cast<int64_t>(info.st_size);
    return VE_OK;
}

VError XPosixFileDesc::SetSize(int64_t inSize) const {
    if (RetryAfterSignal([&] { return ::ftruncate(fDescriptor.Get(), static_cast<off_t>(inSize)); }) != 0)
        return LastPosixError();
    return VE_OK;
}

VError XPosixFileDesc::Flush() const {
    if (RetryAfterSignal([&] { return ::fdatasync(fDescriptor.Get()); }) != 0)
        return LastPosixError();
    return VE_OK;
}

} // namespace vkit
