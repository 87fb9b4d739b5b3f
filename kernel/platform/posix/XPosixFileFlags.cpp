// XPosixFileFlags: FS_IOC_GETFLAGS and FS_IOC_SETFLAGS on a descriptor opened without following links.
#include "platform/posix/XPosixFileFlags.h"

#include "platform/posix/XPosixFileCalls.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vkit {

namespace {

/// Opens a regular file or a directory to reach its attributes; -1 with errno set otherwise, ENOTSUP
/// for links and special files, which carry no attribute.
int OpenForFlags(const std::string& inPath, bool inFollow) {
    struct stat info;
    int statResult = inFollow ? ::stat(inPath.c_str(), &info) : ::lstat(inPath.c_str(), &info);
    if (statResult != 0)
        return -1;
    if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
        errno = ENOTSUP;
        return -1;
    }
    int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (inFollow ? 0 : O_NOFOLLOW);
    return RetryAfterSignal([&] { return ::open(inPath.c_str(), flags); });
}

/// True for the errors of items or file systems that have no attributes at all.
bool HasNoAttributes(int inErrno) {
    return inErrno == ENOTSUP || inErrno == ENOTTY || inErrno == EINVAL || inErrno == ELOOP;
}

} // namespace

VError XPosixFileFlags::IsLocked(const std::string& inPath, bool inFollow, bool& outLocked) {
    outLocked = false;
    int fd = OpenForFlags(inPath, inFollow);
    if (fd < 0)
        return HasNoAttributes(errno) ? VE_OK : LastPosixError();
    int attributes = 0;
    int result = ::ioctl(fd, FS_IOC_GETFLAGS, &attributes);
    int error = errno;
    ::close(fd);
    if (result != 0)
        return HasNoAttributes(error) ? VE_OK : MakeVErrorFromPosix(error);
    outLocked = (attributes & FS_IMMUTABLE_FL) != 0;
    return VE_OK;
}

VError XPosixFileFlags::SetLocked(const std::string& inPath, bool inLocked) {
    int fd = OpenForFlags(inPath, false);
    if (fd < 0) {
        int error = errno;
        return !inLocked && HasNoAttributes(error) ? VE_OK : MakeVErrorFromPosix(error);
    }
    int attributes = 0;
    int result = ::ioctl(fd, FS_IOC_GETFLAGS, &attributes);
    if (result == 0 && ((attributes & FS_IMMUTABLE_FL) != 0) != inLocked) {
        attributes = inLocked ? (attributes | FS_IMMUTABLE_FL) : (attributes & ~FS_IMMUTABLE_FL);
        result = ::ioctl(fd, FS_IOC_SETFLAGS, &attributes);
    }
    int error = errno;
    ::close(fd);
    if (result != 0)
        return !inLocked && HasNoAttributes(error) ? VE_OK : MakeVErrorFromPosix(error);
    return VE_OK;
}

} // namespace vkit
