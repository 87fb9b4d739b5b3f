// XPosixFileCopier: per-item copy (reflink, copy_file_range, read/write; links as links) and attributes.
#include "platform/posix/files/XPosixFileCopier.h"

#include "platform/posix/shared/XPosixDescriptor.h"

#include <algorithm>
#include <cstdio>
#include <linux/fs.h>
#include <memory>
#include <sys/ioctl.h>

namespace vkit {

namespace {

constexpr size_t kReadWriteBufferSize = 256 * 1024;
// copy_file_range is asked for at most this much per call, so that a huge file still makes progress
// in steps the kernel handles without long uninterruptible stretches.
constexpr size_t kCopyRangeChunk = size_t{1} << 30;

int Fail(XPosixCopyStep& outStep, const char* inOperation, bool inOnSource, int inErrno) {
    outStep.fOperation = inOperation;
    outStep.fOnSource = inOnSource;
    return inErrno;
}

/// The process's file creation mask, or -1 when it cannot be read. umask() cannot be read without being
/// set, which would race with other threads; the kernel shows the mask in the process status.
int ReadCreationMask() {
    XPosixDescriptor status = XPosixDescriptor::OpenAt(AT_FDCWD, "/proc/self/status", O_RDONLY | O_CLOEXEC);
    std::string text;
    if (!status.IsValid() || ReadToEnd(status.Get(), text, 64 * 1024) != 0)
        return -1;
    size_t field = text.find("\nUmask:");
    unsigned mask = 0;
    if (field == std::string::npos || std::sscanf(text.c_str() + field, "\nUmask: %o", &mask) != 1)
        return -1;
    return static_cast<int>(mask & 0777);
}

} // namespace

XPosixFileCopier::XPosixFileCopier(bool inForTree, bool inReplace) noexcept
    : fSkipSpecialFiles(inForTree), fReplace(inReplace), fCopyOwners(::geteuid() == 0), fUser(::geteuid()),
      fGroup(::getegid()), fCreationMask(inForTree ? ReadCreationMask() : -1) {}

VError XPosixFileCopier::CopyItem(const std::string& inSource, const std::string& inTarget, bool inReplace) {
    XPosixFileCopier copier(false, inReplace);
    XPosixCopyStep step;
    int error = copier.CopyRegular(Item{AT_FDCWD, inSource.c_str(), AT_FDCWD, inTarget.c_str()}, true, step);
    return error == 0 ? VE_OK : MakeVErrorFromPosix(error);
}

int XPosixFileCopier::Copy(int inSourceFolder, int inDestFolder, const char* inName, bool inIsLink,
                           XPosixCopyStep& outStep) {
    Item item{inSourceFolder, inName, inDestFolder, inName};
    return inIsLink ? CopyLink(item, true, outStep) : CopyRegular(item, true, outStep);
}

int XPosixFileCopier::Refuse(const struct stat& inStatus, XPosixCopyStep& outStep) const {
    if (S_ISDIR(inStatus.st_mode))
        return Fail(outStep, "open", true, EISDIR);
    return fSkipSpecialFiles ? 0 : Fail(outStep, "open", true, ENOTSUP);
}

int XPosixFileCopier::CopyRegular(const Item& inItem, bool inMayRedirect, XPosixCopyStep& outStep) {
    // O_NONBLOCK: an item swapped for a FIFO since the listing must not block the open.
    XPosixDescriptor source = XPosixDescriptor::OpenAt(
        inItem.fSourceFolder, inItem.fSourceName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (!source.IsValid()) {
        int error = errno;
        if (error == ELOOP && inMayRedirect)
            return CopyLink(inItem, false, outStep);
        return Fail(outStep, "open", true, error);
    }
    struct stat status;
    if (::fstat(source.Get(), &status) != 0)
        return Fail(outStep, "fstat", true, errno);
    if (!S_ISREG(status.st_mode))
        return Refuse(status, outStep);
    if (fReplace)
        (void)::unlinkat(inItem.fDestFolder, inItem.fDestName, 0); // a folder there fails the creation below
    // Created with its permission bits (less the creation mask), sparing a chmod in most cases; in a
    // tree copy the folders above it are private to the copy until it is complete.
    XPosixDescriptor dest =
        XPosixDescriptor::OpenAt(inItem.fDestFolder, inItem.fDestName,
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, status.st_mode & 0777);
    if (!dest.IsValid())
        return Fail(outStep, "open", false, errno);
    int error = CopyData(source.Get(), dest.Get(), status.st_size, outStep);
    if (error == 0)
        error = ApplyAttributes(dest.Get(), "", status, true, outStep);
    if (error == 0 && (error = dest.Close()) != 0)
        error = Fail(outStep, "close", false, error);
    if (error != 0)
        (void)::unlinkat(inItem.fDestFolder, inItem.fDestName, 0); // the failure reported is the copy's
    return error;
}

int XPosixFileCopier::CopyLink(const Item& inItem, bool inMayRedirect, XPosixCopyStep& outStep) {
    struct stat status;
    if (::fstatat(inItem.fSourceFolder, inItem.fSourceName, &status, AT_SYMLINK_NOFOLLOW) != 0)
        return Fail(outStep, "fstatat", true, errno);
    if (S_ISREG(status.st_mode) && inMayRedirect)
        return CopyRegular(inItem, false, outStep);
    if (!S_ISLNK(status.st_mode))
        return Refuse(status, outStep);
    std::string target;
    if (int error = ReadLinkText(inItem.fSourceFolder, inItem.fSourceName, target,
                                 static_cast<size_t>(status.st_size));
        error != 0)
        return Fail(outStep, "readlink", true, error);
    if (fReplace)
        (void)::unlinkat(inItem.fDestFolder, inItem.fDestName, 0); // a folder there fails the creation below
    if (::symlinkat(target.c_str(), inItem.fDestFolder, inItem.fDestName) != 0)
        return Fail(outStep, "symlink", false, errno);
    int error = ApplyAttributes(inItem.fDestFolder, inItem.fDestName, status, false, outStep);
    if (error != 0)
        (void)::unlinkat(inItem.fDestFolder, inItem.fDestName, 0); // the failure reported is the copy's
    return error;
}

bool XPosixFileCopier::FallsThrough(int inErrno, EMethod inMethod) noexcept {
    if (inErrno == EOPNOTSUPP || inErrno == ENOTTY || inErrno == EXDEV || inErrno == ENOSYS) {
        // The file systems refuse the method itself, not this file: later files skip it.
        fMethod.store(inMethod + 1, std::memory_order_relaxed);
        return true;
    }
    return inErrno == EINVAL || (inMethod == eClone && inErrno == ETXTBSY);
}

int XPosixFileCopier::CopyData(int inSource, int inDest, off_t inSize, XPosixCopyStep& outStep) {
    // The size read before the copy is what is copied: an empty file needs no call.
    if (inSize <= 0)
        return 0;
    int method = fMethod.load(std::memory_order_relaxed);
    if (method == eClone) {
        if (::ioctl(inDest, FICLONE, inSource) == 0)
            return 0;
        if (int error = errno; !FallsThrough(error, eClone))
            return Fail(outStep, "ioctl FICLONE", false, error);
        method = eCopyRange;
    }
    off_t copied = 0;
    while (method == eCopyRange && copied < inSize) {
        ssize_t count = RetryAfterSignal(
            [&] { return ::copy_file_range(inSource, nullptr, inDest, nullptr, kCopyRangeChunk, 0); });
        if (count == 0)
            return 0;
        if (count > 0) {
            copied += count;
            continue;
        }
        if (int error = errno; !FallsThrough(error, eCopyRange))
            return Fail(outStep, "copy_file_range", false, error);
        // Both offsets stand after the bytes copied: read and write go on from there.
        method = eReadWrite;
    }
    if (copied >= inSize)
        return 0;
    std::unique_ptr<char[]> buffer;
    // One byte more than the rest lets the first read meet the end of a small file.
    size_t size = std::min(kReadWriteBufferSize, static_cast<size_t>(inSize - copied) + 1);
    buffer.reset(new char[size]);
    for (;;) {
        ssize_t count = RetryAfterSignal([&] { return ::read(inSource, buffer.get(), size); });
        if (count == 0)
            return 0;
        if (count < 0)
            return Fail(outStep, "read", true, errno);
        if (int error = WriteAll(inDest, buffer.get(), static_cast<size_t>(count)); error != 0)
            return Fail(outStep, "write", false, error);
    }
}

int XPosixFileCopier::ApplyAttributes(int inFolder, const char* inName, const struct stat& inStatus,
                                      bool inCreatedWithMode, XPosixCopyStep& outStep) const {
    const bool itself = *inName == 0;
    const bool isLink = S_ISLNK(inStatus.st_mode);
    // The owner first: changing it clears the set-user-ID and set-group-ID bits that the mode then sets.
    bool ownerChanges =
        fCopyOwners && (!inCreatedWithMode || inStatus.st_uid != fUser || inStatus.st_gid != fGroup);
    if (ownerChanges &&
        (itself ? ::fchown(inFolder, inStatus.st_uid, inStatus.st_gid)
                : ::fchownat(inFolder, inName, inStatus.st_uid, inStatus.st_gid, AT_SYMLINK_NOFOLLOW)) != 0) {
        int error = errno;
        // Where the process may not or the file system cannot, the item keeps its owner, as with cp -a.
        if (error != EPERM && error != EINVAL)
            return Fail(outStep, "fchownat", false, error);
    }
    // An item created with its bits got them minus the creation mask: only what the mask took away, and
    // the special bits, need another call. A link has no bits of its own.
    mode_t mode = inStatus.st_mode & 07777;
    bool modeComplete = isLink || (inCreatedWithMode && !ownerChanges && fCreationMask >= 0 &&
                                   (mode & 07000) == 0 && (mode & static_cast<mode_t>(fCreationMask)) == 0);
    if (!modeComplete && (itself ? ::fchmod(inFolder, mode) : ::fchmodat(inFolder, inName, mode, 0)) != 0)
        return Fail(outStep, "fchmod", false, errno);
    const struct timespec times[2] = {inStatus.st_atim, inStatus.st_mtim};
    if ((itself ? ::futimens(inFolder, times) : ::utimensat(inFolder, inName, times, AT_SYMLINK_NOFOLLOW)) !=
        0) {
        int error = errno;
        // Some file systems keep no times of their own on links: the link itself is what matters.
        if (!(isLink && error == EOPNOTSUPP))
            return Fail(outStep, "utimensat", false, error);
    }
    return 0;
}

} // namespace vkit
