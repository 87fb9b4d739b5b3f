// XPosixTreeFileCopy: per-item copy of the tree copy (reflink, copy_file_range, read/write; links as links).
#include "platform/posix/XPosixTreeFileCopy.h"

#include "platform/posix/XPosixDescriptor.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <linux/fs.h>
#include <memory>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

namespace vkit {

namespace {

constexpr size_t kReadWriteBufferSize = 256 * 1024;
// copy_file_range is asked for at most this much per call, so that a huge file still makes progress
// in steps the kernel handles without long uninterruptible stretches.
constexpr size_t kCopyRangeChunk = size_t{1} << 30;

int Fail(XPosixTreeFileCopy::Failure& outFailure, const char* inOperation, bool inOnSource, int inErrno) {
    outFailure.fOperation = inOperation;
    outFailure.fOnSource = inOnSource;
    return inErrno;
}

// The file system refuses the method itself, not this file: later files skip it.
bool IsMethodUnsupported(int inErrno) {
    return inErrno == EOPNOTSUPP || inErrno == ENOTTY || inErrno == EXDEV || inErrno == ENOSYS;
}

} // namespace

XPosixTreeFileCopy::XPosixTreeFileCopy() noexcept
    : fCopyOwners(::geteuid() == 0), fUser(::geteuid()), fGroup(::getegid()),
      fCreationMask(ReadCreationMask()) {}

int XPosixTreeFileCopy::ReadCreationMask() noexcept {
    // umask() cannot be read without being set, which would race with other threads; the kernel shows
    // the mask in the process status.
    FILE* status = std::fopen("/proc/self/status", "re");
    if (status == nullptr)
        return -1;
    char line[256];
    int mask = -1;
    while (std::fgets(line, sizeof(line), status) != nullptr) {
        unsigned value = 0;
        if (std::sscanf(line, "Umask: %o", &value) == 1) {
            mask = static_cast<int>(value & 0777);
            break;
        }
    }
    std::fclose(status);
    return mask;
}

bool XPosixTreeFileCopy::IsInterrupted() noexcept {
    return errno == EINTR;
}

int XPosixTreeFileCopy::CopyRegular(int inSourceDir, int inDestDir, const char* inName, Failure& outFailure) {
    return CopyRegular(inSourceDir, inDestDir, inName, true, outFailure);
}

int XPosixTreeFileCopy::CopyLink(int inSourceDir, int inDestDir, const char* inName, Failure& outFailure) {
    return CopyLink(inSourceDir, inDestDir, inName, true, outFailure);
}

int XPosixTreeFileCopy::CopyRegular(int inSourceDir, int inDestDir, const char* inName, bool inMayRedirect,
                                    Failure& outFailure) {
    // O_NONBLOCK: an item swapped for a FIFO since the listing must not block the open.
    XPosixDescriptor source(RetryOnSignal(
        [&] { return ::openat(inSourceDir, inName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC); }));
    if (source.Get() < 0) {
        int error = errno;
        if (error == ELOOP && inMayRedirect)
            return CopyLink(inSourceDir, inDestDir, inName, false, outFailure);
        return Fail(outFailure, "open", true, error);
    }
    struct stat status;
    if (::fstat(source.Get(), &status) != 0)
        return Fail(outFailure, "fstat", true, errno);
    if (S_ISDIR(status.st_mode))
        return Fail(outFailure, "open", true, EISDIR);
    if (!S_ISREG(status.st_mode))
        return 0;
    // Created with its permission bits (less the creation mask), sparing a chmod in most cases; the
    // folders above it are private to the copy until it is complete.
    XPosixDescriptor dest(RetryOnSignal([&] {
        return ::openat(inDestDir, inName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        status.st_mode & 0777);
    }));
    if (dest.Get() < 0)
        return Fail(outFailure, "open", false, errno);
    if (status.st_size > 0) {
        if (int error = CopyData(source.Get(), dest.Get(), status.st_size, outFailure); error != 0)
            return error;
    }
    if (int error = ApplyFileAttributes(dest.Get(), status, true, outFailure); error != 0)
        return error;
    if (int error = dest.Close(); error != 0)
        return Fail(outFailure, "close", false, error);
    return 0;
}

int XPosixTreeFileCopy::CopyLink(int inSourceDir, int inDestDir, const char* inName, bool inMayRedirect,
                                 Failure& outFailure) {
    struct stat status;
    if (::fstatat(inSourceDir, inName, &status, AT_SYMLINK_NOFOLLOW) != 0)
        return Fail(outFailure, "fstatat", true, errno);
    if (S_ISDIR(status.st_mode))
        return Fail(outFailure, "readlink", true, EISDIR);
    if (S_ISREG(status.st_mode) && inMayRedirect)
        return CopyRegular(inSourceDir, inDestDir, inName, false, outFailure);
    if (!S_ISLNK(status.st_mode))
        return 0;
    // The size of a link is the length of its target; one more byte tells a target that grew since.
    std::string target(static_cast<size_t>(status.st_size) + 1, '\0');
    for (;;) {
        ssize_t length = ::readlinkat(inSourceDir, inName, target.data(), target.size());
        if (length < 0)
            return Fail(outFailure, "readlink", true, errno);
        if (static_cast<size_t>(length) < target.size()) {
            target.resize(static_cast<size_t>(length));
            break;
        }
        target.resize(target.size() * 2);
    }
    if (::symlinkat(target.c_str(), inDestDir, inName) != 0)
        return Fail(outFailure, "symlink", false, errno);
    if (fCopyOwners &&
        ::fchownat(inDestDir, inName, status.st_uid, status.st_gid, AT_SYMLINK_NOFOLLOW) != 0 &&
        errno != EPERM && errno != EINVAL)
        return Fail(outFailure, "lchown", false, errno);
    const struct timespec times[2] = {status.st_atim, status.st_mtim};
    if (::utimensat(inDestDir, inName, times, AT_SYMLINK_NOFOLLOW) != 0)
        return Fail(outFailure, "utimensat", false, errno);
    return 0;
}

int XPosixTreeFileCopy::CopyData(int inSource, int inDest, off_t inSize, Failure& outFailure) {
    int method = fMethod.load(std::memory_order_relaxed);
    if (method == kClone) {
        if (::ioctl(inDest, FICLONE, inSource) == 0)
            return 0;
        int error = errno;
        if (IsMethodUnsupported(error))
            fMethod.store(kCopyRange, std::memory_order_relaxed);
        else if (error != EINVAL && error != ETXTBSY)
            return Fail(outFailure, "ioctl FICLONE", false, error);
        method = kCopyRange;
    }
    if (method == kCopyRange) {
        off_t copied = 0;
        for (;;) {
            ssize_t count = ::copy_file_range(inSource, nullptr, inDest, nullptr, kCopyRangeChunk, 0);
            if (count > 0) {
                copied += count;
                // The size read before the copy is what is copied: no further call to meet the end.
                if (copied >= inSize)
                    return 0;
                continue;
            }
            if (count == 0)
                return 0;
            int error = errno;
            if (error == EINTR)
                continue;
            if (copied == 0 && (IsMethodUnsupported(error) || error == EINVAL)) {
                if (IsMethodUnsupported(error))
                    fMethod.store(kReadWrite, std::memory_order_relaxed);
                break;
            }
            return Fail(outFailure, "copy_file_range", false, error);
        }
    }
    return CopyByReadWrite(inSource, inDest, outFailure);
}

int XPosixTreeFileCopy::CopyByReadWrite(int inSource, int inDest, Failure& outFailure) {
    std::unique_ptr<char[]> buffer(new char[kReadWriteBufferSize]);
    for (;;) {
        ssize_t count = RetryOnSignal([&] { return ::read(inSource, buffer.get(), kReadWriteBufferSize); });
        if (count == 0)
            return 0;
        if (count < 0)
            return Fail(outFailure, "read", true, errno);
        for (ssize_t written = 0; written < count;) {
            ssize_t step =
                RetryOnSignal([&] { return ::write(inDest, buffer.get() + written, count - written); });
            if (step < 0)
                return Fail(outFailure, "write", false, errno);
            written += step;
        }
    }
}

int XPosixTreeFileCopy::ApplyFileAttributes(int inDest, const struct stat& inStat, bool inCreatedWithMode,
                                            Failure& outFailure) const {
    // The owner first: changing it clears the set-user-ID and set-group-ID bits that the mode then sets.
    bool ownerChanges = fCopyOwners && (inStat.st_uid != fUser || inStat.st_gid != fGroup);
    if (ownerChanges && ::fchown(inDest, inStat.st_uid, inStat.st_gid) != 0 && errno != EPERM &&
        errno != EINVAL)
        return Fail(outFailure, "fchown", false, errno);
    // An item created with its bits got them minus the creation mask: only what the mask took away, and
    // the special bits, need another call.
    mode_t mode = inStat.st_mode & 07777;
    bool modeComplete = inCreatedWithMode && !ownerChanges && fCreationMask >= 0 && (mode & 07000) == 0 &&
                        (mode & static_cast<mode_t>(fCreationMask)) == 0;
    if (!modeComplete && ::fchmod(inDest, mode) != 0)
        return Fail(outFailure, "fchmod", false, errno);
    const struct timespec times[2] = {inStat.st_atim, inStat.st_mtim};
    if (::futimens(inDest, times) != 0)
        return Fail(outFailure, "futimens", false, errno);
    return 0;
}

int XPosixTreeFileCopy::ApplyFolderAttributes(int inDir, const char* inRelative, const struct stat& inStat,
                                              Failure& outFailure) const {
    if (*inRelative == 0)
        return ApplyFileAttributes(inDir, inStat, false, outFailure);
    if (fCopyOwners &&
        ::fchownat(inDir, inRelative, inStat.st_uid, inStat.st_gid, AT_SYMLINK_NOFOLLOW) != 0 &&
        errno != EPERM && errno != EINVAL)
        return Fail(outFailure, "lchown", false, errno);
    if (::fchmodat(inDir, inRelative, inStat.st_mode & 07777, 0) != 0)
        return Fail(outFailure, "chmod", false, errno);
    const struct timespec times[2] = {inStat.st_atim, inStat.st_mtim};
    if (::utimensat(inDir, inRelative, times, AT_SYMLINK_NOFOLLOW) != 0)
        return Fail(outFailure, "utimensat", false, errno);
    return 0;
}

} // namespace vkit
