// XPosixFolderReader: getdents64 on a folder descriptor, unknown kinds looked up with fstatat.
#include "platform/posix/shared/XPosixFolderReader.h"

#include "platform/posix/shared/XPosixPathText.h"

#include <sys/stat.h>

namespace vkit {

namespace {

// The listing stream of the C library reads as much at a time.
constexpr size_t kBufferSize = 32 * 1024;

} // namespace

int XPosixFolderReader::Open(int inParent, const char* inName, bool inFollow) noexcept {
    *this = XPosixFolderReader(XPosixDescriptor::OpenAt(
        inParent, inName, O_RDONLY | O_DIRECTORY | O_CLOEXEC | (inFollow ? 0 : O_NOFOLLOW)));
    return fFolder.IsValid() ? 0 : errno;
}

bool XPosixFolderReader::Next(XPosixFolderEntry& outEntry) {
    for (;;) {
        if (fOffset == fLength && !Fill())
            return false;
        // The kernel aligns each record for this very access.
        const auto* entry = reinterpret_cast<const struct dirent64*>(fBuffer.get() + fOffset);
        fOffset += entry->d_reclen;
        if (IsDotOrDotDot(entry->d_name))
            continue;
        outEntry.fName = entry->d_name;
        outEntry.fType = entry->d_type;
        if (outEntry.fType != DT_UNKNOWN)
            return true;
        struct stat status;
        if (::fstatat(fFolder.Get(), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0) {
            outEntry.fType = static_cast<unsigned char>(IFTODT(status.st_mode));
            return true;
        }
        int error = errno;
        // Removed since the listing was read: nothing to report.
        if (error != ENOENT)
            return Fail(error, "fstatat", entry->d_name);
    }
}

bool XPosixFolderReader::Fill() {
    if (fOver || !fFolder.IsValid())
        return false;
    if (fBuffer == nullptr)
        fBuffer.reset(new char[kBufferSize]);
    ssize_t length =
        RetryAfterSignal([&] { return ::getdents64(fFolder.Get(), fBuffer.get(), kBufferSize); });
    if (length > 0) {
        fLength = static_cast<size_t>(length);
        fOffset = 0;
        return true;
    }
    if (length < 0) {
        int error = errno;
        return Fail(error, "getdents64", "");
    }
    fOver = true;
    fBuffer.reset();
    fLength = fOffset = 0;
    return false;
}

bool XPosixFolderReader::Fail(int inErrno, const char* inStep, const char* inName) {
    fError = inErrno;
    fFailedStep = inStep;
    fFailedName = inName;
    fOver = true;
    fBuffer.reset();
    fLength = fOffset = 0;
    return false;
}

} // namespace vkit
