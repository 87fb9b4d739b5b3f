// XPosixFSObjectIterator: readdir over a folder's real path, links resolved with realpath on request.
#include "platform/posix/XPosixFSObjectIterator.h"

#include "platform/posix/XPosixDescriptor.h"
#include "platform/posix/XPosixDirectoryEntry.h"
#include "platform/posix/XPosixFileCalls.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace vkit {

namespace {

constexpr unsigned kStatusMask = STATX_TYPE | STATX_MODE | STATX_MTIME | STATX_ATIME | STATX_BTIME;

bool IsInvisiblePath(const std::string& inPath) {
    size_t slash = inPath.rfind('/');
    return slash + 1 < inPath.size() && inPath[slash + 1] == '.';
}

int64_t Milliseconds(const struct statx_timestamp& inTime) {
    return static_cast<int64_t>(inTime.tv_sec) * 1000 + inTime.tv_nsec / 1000000;
}

} // namespace

XPosixFSObjectIterator::XPosixFSObjectIterator(const std::string& inPosixPath, uint32_t inOptions)
    : fOptions(inOptions) {
    char* real = ::realpath(inPosixPath.c_str(), nullptr);
    if (real == nullptr) {
        fError = errno;
        return;
    }
    fFolderPath = real;
    std::free(real);
    XPosixDescriptor descriptor(
        RetryAfterSignal([&] { return ::open(fFolderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    if (descriptor.IsValid())
        fDirectory = ::fdopendir(descriptor.Get());
    if (fDirectory == nullptr) {
        fError = errno;
        return;
    }
    descriptor.Release();
    if (fFolderPath.back() != '/')
        fFolderPath.push_back('/');
}

XPosixFSObjectIterator::~XPosixFSObjectIterator() {
    Close();
}

void XPosixFSObjectIterator::Close() noexcept {
    if (fDirectory != nullptr)
        ::closedir(fDirectory);
    fDirectory = nullptr;
    fHasCurrent = false;
}

bool XPosixFSObjectIterator::GetNextPath(std::string& outPosixPath, bool& outIsFolder) {
    const bool invisibleToo = (fOptions & kInvisible) != 0;
    while (fDirectory != nullptr) {
        const struct dirent* entry = ReadEntry(fDirectory, fError);
        if (entry == nullptr)
            break;
        const char* name = entry->d_name;
        if (IsDotOrDotDot(name) || (name[0] == '.' && !invisibleToo))
            continue;
        fHasStatus = false;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            if (!ReadStatus(name))
                continue;
            type = TypeFromMode(fStatus.stx_mode);
        }
        if (type != DT_DIR && type != DT_REG && type != DT_LNK)
            continue;
        std::string path = fFolderPath + name;
        bool isFolder = type == DT_DIR;
        if (type == DT_LNK && (fOptions & kResolveLinks) != 0) {
            if (!ResolveLink(path, isFolder) || (IsInvisiblePath(path) && !invisibleToo))
                continue;
        }
        if ((fOptions & (isFolder ? kFolders : kFiles)) == 0)
            continue;
        fCurrentName = name;
        fHasCurrent = true;
        outPosixPath = std::move(path);
        outIsFolder = isFolder;
        return true;
    }
    Close();
    return false;
}

bool XPosixFSObjectIterator::ReadStatus(const char* inName) {
    fHasStatus = ::statx(::dirfd(fDirectory), inName, AT_SYMLINK_NOFOLLOW, kStatusMask, &fStatus) == 0;
    return fHasStatus;
}

bool XPosixFSObjectIterator::ResolveLink(std::string& ioPath, bool& outIsFolder) {
    // realpath follows the whole chain of links; a dangling link does not resolve and is skipped.
    char* target = ::realpath(ioPath.c_str(), nullptr);
    if (target == nullptr)
        return false;
    ioPath = target;
    std::free(target);
    fHasStatus = ::statx(AT_FDCWD, ioPath.c_str(), AT_SYMLINK_NOFOLLOW, kStatusMask, &fStatus) == 0;
    if (!fHasStatus)
        return false;
    unsigned char type = TypeFromMode(fStatus.stx_mode);
    outIsFolder = type == DT_DIR;
    return type == DT_DIR || type == DT_REG;
}

VError XPosixFSObjectIterator::GetTimes(XPosixItemTimes& outTimes) {
    if (!fHasCurrent)
        return MakeVErrorFromPosix(EINVAL);
    if (!fHasStatus &&
        ::statx(::dirfd(fDirectory), fCurrentName.c_str(), AT_SYMLINK_NOFOLLOW, kStatusMask, &fStatus) != 0)
        return LastPosixError();
    fHasStatus = true;
    outTimes.fModification = Milliseconds(fStatus.stx_mtime);
    outTimes.fAccess = Milliseconds(fStatus.stx_atime);
    outTimes.fCreation =
        (fStatus.stx_mask & STATX_BTIME) != 0 ? Milliseconds(fStatus.stx_btime) : outTimes.fModification;
    return VE_OK;
}

} // namespace vkit
