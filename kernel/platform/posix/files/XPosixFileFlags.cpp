// XPosixFileFlags: FS_IOC_GETFLAGS and FS_IOC_SETFLAGS on a descriptor opened without following links.
#include "platform/posix/files/XPosixFileFlags.h"

#include "platform/posix/files/XPosixFileCalls.h"
#include "platform/posix/shared/XPosixDescriptor.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vkit {

namespace {

/// Opens a regular file or a directory to reach its attributes; invalid, with errno set, otherwise:
/// ENOTSUP for links and special files, which carry no attribute.
XPosixDescriptor OpenForFlags(const std::string& inPath, bool inFollow) {
    struct stat info;
    int statResult = inFollow ? ::stat(inPath.c_str(), &info) : ::lstat(inPath.c_str(), &info);
    if (statResult != 0)
        return XPosixDescriptor();
    if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
        errno = ENOTSUP;
        return XPosixDescriptor();
    }
    int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (inFollow ? 0 : O_NOFOLLOW);
    return XPosixDescriptor::OpenAt(AT_FDCWD, inPath.c_str(), flags);
}

/// True for the errors of items or file systems that have no attributes at all.
bool HasNoAttributes(int inErrno) {
    return inErrno == ENOTSUP || inErrno == ENOTTY || inErrno == EINVAL || inErrno == ELOOP;
}

} // namespace

VError XPosixFileFlags::IsLocked(const std::string& inPath, bool inFollow, bool& outLocked) {
    outLocked = false;
    XPosixDescriptor item = OpenForFlags(inPath, inFollow);
    int attributes = 0;
    if (!item.IsValid() || ::ioctl(item.Get(), FS_IOC_GETFLAGS, &attributes) != 0) {
        int error = errno;
        return HasNoAttributes(error) ? VE_OK : MakeVErrorFromPosix(error);
    }
    outLocked = (attributes & FS_IMMUTABLE_FL) != 0;
    return VE_OK;
}

VError XPosixFileFlags::SetLocked(const std::string& inPath, bool inLocked) {
    XPosixDescriptor item = OpenForFlags(inPath, false);
    int attributes = 0;
    bool done = item.IsValid() && ::ioctl(item.Get(), FS_IOC_GETFLAGS, &attributes) == 0;
    if (done && ((attributes & FS_IMMUTABLE_FL) != 0) != inLocked) {
        attributes = inLocked ? (attributes | FS_IMMUTABLE_FL) : (attributes & ~FS_IMMUTABLE_FL);
        done = ::ioctl(item.Get(), FS_IOC_SETFLAGS, &attributes) == 0;
    }
    if (done)
        return VE_OK;
    int error = errno;
    return !inLocked && HasNoAttributes(error) ? VE_OK : MakeVErrorFromPosix(error);
}

} // namespace vkit
