// XPosixFileCopier: FICLONE, copy_file_range and read/write copies of one file; links as links.
#include "platform/posix/XPosixFileCopier.h"

#include "platform/posix/XPosixFileCalls.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <memory>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vkit {

namespace {

constexpr size_t kReadWriteChunk = 256 * 1024;
// copy_file_range moves at most this much per call; the kernel clamps larger requests anyway.
constexpr size_t kRangeChunk = 1u << 30;

/// Errors by which a file system says it cannot do a shortcut copy; the next method is tried.
bool IsUnsupported(int inErrno) {
    return inErrno == EXDEV || inErrno == ENOSYS || inErrno == EINVAL || inErrno == EOPNOTSUPP ||
           inErrno == ENOTTY;
}

class StFileDescriptor {
public:
    explicit StFileDescriptor(int inFd) noexcept : fFd(inFd) {}
    StFileDescriptor(const StFileDescriptor&) = delete;
    StFileDescriptor& operator=(const StFileDescriptor&) = delete;
    ~StFileDescriptor() {
        if (fFd >= 0)
            ::close(fFd);
    }
    int Get() const noexcept { return fFd; }

private:
    int fFd;
};

} // namespace

VError XPosixFileCopier::CopyItem(const std::string& inSource, const std::string& inTarget) {
    struct stat info;
    if (::lstat(inSource.c_str(), &info) != 0)
        return LastPosixError();
    if (S_ISLNK(info.st_mode))
        return _CopyLink(inSource, inTarget);
    if (S_ISDIR(info.st_mode))
        return MakeVErrorFromPosix(EISDIR);
    if (!S_ISREG(info.st_mode))
        return MakeVErrorFromPosix(ENOTSUP);
    return _CopyRegularFile(inSource, inTarget);
}

VError XPosixFileCopier::_CopyLink(const std::string& inSource, const std::string& inTarget) {
    std::vector<char> text(256);
    for (;;) {
        ssize_t length = ::readlink(inSource.c_str(), text.data(), text.size());
        if (length < 0)
            return LastPosixError();
        if (static_cast<size_t>(length) < text.size()) {
            text[static_cast<size_t>(length)] = 0;
            break;
        }
        text.resize(text.size() * 4);
    }
    if (::symlink(text.data(), inTarget.c_str()) != 0)
        return LastPosixError();
    struct stat info;
    if (::lstat(inSource.c_str(), &info) == 0) {
        struct timespec times[2] = {info.st_atim, info.st_mtim};
        // Some file systems keep no times on links; the link itself is what matters.
        (void)::utimensat(AT_FDCWD, inTarget.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
    return VE_OK;
}

VError XPosixFileCopier::_CopyRegularFile(const std::string& inSource, const std::string& inTarget) {
    // O_NONBLOCK: should the item have been swapped for a FIFO since lstat, the open does not hang.
    StFileDescriptor from(RetryAfterSignal(
        [&] { return ::open(inSource.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY); }));
    if (from.Get() < 0)
        return LastPosixError();
    struct stat info;
    if (::fstat(from.Get(), &info) != 0)
        return LastPosixError();
    if (!S_ISREG(info.st_mode))
        return MakeVErrorFromPosix(ENOTSUP);
    StFileDescriptor to(RetryAfterSignal([&] {
        return ::open(inTarget.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    }));
    if (to.Get() < 0)
        return LastPosixError();
    VError error = CopyData(from.Get(), to.Get());
    if (error == VE_OK && ::fchmod(to.Get(), info.st_mode & 07777) != 0)
        error = LastPosixError();
    struct timespec times[2] = {info.st_atim, info.st_mtim};
    if (error == VE_OK && ::futimens(to.Get(), times) != 0)
        error = LastPosixError();
    if (error != VE_OK)
        ::unlink(inTarget.c_str());
    return error;
}

VError XPosixFileCopier::CopyData(int inFrom, int inTo) {
    if (::ioctl(inTo, FICLONE, inFrom) == 0)
        return VE_OK;
    if (!IsUnsupported(errno))
        return LastPosixError();
    int64_t copied = 0;
    bool unsupported = false;
    VError error = _CopyRange(inFrom, inTo, copied, unsupported);
    if (error != VE_OK || !unsupported)
        return error;
    return _CopyByReadWrite(inFrom, inTo, copied);
}

VError XPosixFileCopier::_CopyRange(int inFrom, int inTo, int64_t& ioCopied, bool& outUnsupported) {
    outUnsupported = false;
    for (;;) {
        loff_t fromOffset = ioCopied;
        loff_t toOffset = ioCopied;
        ssize_t count = ::copy_file_range(inFrom, &fromOffset, inTo, &toOffset, kRangeChunk, 0);
        if (count == 0)
            return VE_OK;
        if (count > 0) {
            ioCopied += count;
            continue;
        }
        if (errno == EINTR)
            continue;
        if (IsUnsupported(errno)) {
            outUnsupported = true;
            return VE_OK;
        }
        return LastPosixError();
    }
}

VError XPosixFileCopier::_CopyByReadWrite(int inFrom, int inTo, int64_t inOffset) {
    std::unique_ptr<char[]> buffer(new char[kReadWriteChunk]);
    off_t offset = static_cast<off_t>(inOffset);
    for (;;) {
        ssize_t count =
            RetryAfterSignal([&] { return ::pread(inFrom, buffer.get(), kReadWriteChunk, offset); });
        if (count < 0)
            return LastPosixError();
        if (count == 0)
            return VE_OK;
        for (ssize_t written = 0; written < count;) {
            ssize_t done = RetryAfterSignal([&] {
                return ::pwrite(inTo, buffer.get() + written, static_cast<size_t>(count - written), offset);
            });
            if (done < 0)
                return LastPosixError();
            written += done;
            offset += done;
        }
    }
}

} // namespace vkit
