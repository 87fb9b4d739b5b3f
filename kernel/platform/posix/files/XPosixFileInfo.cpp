// XPosixFileInfo: lstat, statx, chmod, utimensat, renameat2 and statvfs on item paths.
#include "platform/posix/files/XPosixFileInfo.h"

#include "platform/posix/files/XPosixFileCalls.h"
#include "platform/posix/files/XPosixFileFlags.h"
#include "platform/posix/shared/XPosixCalls.h"
#include "platform/posix/shared/XPosixPathText.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace vkit {

namespace {

int64_t ToMilliseconds(const struct statx_timestamp& inTime) {
    return inTime.tv_sec * 1000 + inTime.tv_nsec / 1000000;
}

struct timespec ToTimespec(int64_t inMilliseconds) {
    struct timespec time;
    int64_t seconds = inMilliseconds / 1000;
    int64_t rest = inMilliseconds % 1000;
    if (rest < 0) {
        rest += 1000;
        --seconds;
    }
    time.tv_sec = static_cast<time_t>(seconds);
    time.tv_nsec = static_cast<long>(rest * 1000000);
    return time;
}

} // namespace

bool XPosixFileInfo::IsFileOrLink(const std::string& inPath) noexcept {
    struct stat info;
    return ::lstat(inPath.c_str(), &info) == 0 && (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode));
}

bool XPosixFileInfo::IsDirectory(const std::string& inPath, bool inFollow) noexcept {
    struct stat info;
    int result = inFollow ? ::stat(inPath.c_str(), &info) : ::lstat(inPath.c_str(), &info);
    return result == 0 && S_ISDIR(info.st_mode);
}

VError XPosixFileInfo::GetPermissions(const std::string& inPath, uint16_t& outMode) {
    struct stat info;
    if (::lstat(inPath.c_str(), &info) != 0)
        return LastPosixError();
    outMode = static_cast<uint16_t>(info.st_mode & 0777);
    return VE_OK;
}

VError XPosixFileInfo::SetPermissions(const std::string& inPath, uint16_t inMode) {
    struct stat info;
    if (::lstat(inPath.c_str(), &info) != 0)
        return LastPosixError();
    if (S_ISLNK(info.st_mode))
        return MakeVErrorFromPosix(ENOTSUP);
    if (::chmod(inPath.c_str(), inMode & 0777) != 0)
        return LastPosixError();
    return VE_OK;
}

VError XPosixFileInfo::MakeWritableByAll(const std::string& inPath) {
    uint16_t mode = 0;
    VError error = GetPermissions(inPath, mode);
    return error != VE_OK ? error : SetPermissions(inPath, static_cast<uint16_t>((mode | 0666) & 0777));
}

VError XPosixFileInfo::GetSize(const std::string& inPath, int64_t& outSize) {
    struct stat info;
    if (::stat(inPath.c_str(), &info) != 0)
        return LastPosixError();
    outSize = static_cast<int64_t>(info.st_size);
    return VE_OK;
}

VError XPosixFileInfo::GetTimes(const std::string& inPath, XPosixItemTimes& outTimes) {
    return GetTimesAt(AT_FDCWD, inPath.c_str(), true, outTimes);
}

VError XPosixFileInfo::GetTimesAt(int inFolder, const char* inName, bool inFollow,
                                  XPosixItemTimes& outTimes) {
    struct statx info;
    constexpr unsigned kMask = STATX_MTIME | STATX_ATIME | STATX_BTIME;
    if (::statx(inFolder, inName, inFollow ? 0 : AT_SYMLINK_NOFOLLOW, kMask, &info) != 0)
        return LastPosixError();
    outTimes.fModification = ToMilliseconds(info.stx_mtime);
    outTimes.fAccess = ToMilliseconds(info.stx_atime);
    outTimes.fCreation =
        (info.stx_mask & STATX_BTIME) != 0 ? ToMilliseconds(info.stx_btime) : outTimes.fModification;
    return VE_OK;
}

VError XPosixFileInfo::SetTimes(const std::string& inPath, const int64_t* inModification,
                                const int64_t* inAccess) {
    struct timespec times[2];
    times[0] = inAccess != nullptr ? ToTimespec(*inAccess) : timespec{0, UTIME_OMIT};
    times[1] = inModification != nullptr ? ToTimespec(*inModification) : timespec{0, UTIME_OMIT};
    if (::utimensat(AT_FDCWD, inPath.c_str(), times, 0) != 0)
        return LastPosixError();
    return VE_OK;
}

VError XPosixFileInfo::GetAttributes(const std::string& inPath, bool inFollow,
                                     FileAttributes& outAttributes) {
    outAttributes = 0;
    bool locked = false;
    VError error = XPosixFileFlags::IsLocked(inPath, inFollow, locked);
    if (error != VE_OK)
        return error;
    if (locked)
        outAttributes |= kFileAttributeLocked;
    if (IsInvisibleName(SplitPath(inPath).fName))
        outAttributes |= kFileAttributeInvisible;
    return VE_OK;
}

VError XPosixFileInfo::SetAttributes(const std::string& inPath, FileAttributes inAttributes) {
    return XPosixFileFlags::SetLocked(inPath, (inAttributes & kFileAttributeLocked) != 0);
}

VError XPosixFileInfo::RenameNoReplace(const std::string& inFrom, const std::string& inTo) {
    return VErrorFromErrno(RenameNoReplaceAt(AT_FDCWD, inFrom.c_str(), AT_FDCWD, inTo.c_str()));
}

int XPosixFileInfo::RenameNoReplaceAt(int inFromFolder, const char* inFrom, int inToFolder,
                                      const char* inTo) noexcept {
    if (::renameat2(inFromFolder, inFrom, inToFolder, inTo, RENAME_NOREPLACE) == 0)
        return 0;
    int error = errno;
    if (error != EINVAL && error != ENOSYS)
        return error;
    // The file system or the kernel refuses the flag: check, then rename (a race with a creator of the
    // target remains).
    struct stat info;
    if (::fstatat(inToFolder, inTo, &info, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    return ::renameat(inFromFolder, inFrom, inToFolder, inTo) == 0 ? 0 : errno;
}

VError XPosixFileInfo::Rename(const std::string& inFrom, const std::string& inTo) {
    if (::rename(inFrom.c_str(), inTo.c_str()) != 0)
        return LastPosixError();
    return VE_OK;
}

int XPosixFileInfo::ExchangeAt(int inFolder, const char* inName, int inOtherFolder,
                               const char* inOtherName) noexcept {
    return ::renameat2(inFolder, inName, inOtherFolder, inOtherName, RENAME_EXCHANGE) == 0 ? 0 : errno;
}

VError XPosixFileInfo::GetVolumeInfo(const std::string& inPath, VVolumeInfo& outInfo) {
    outInfo = VVolumeInfo();
    struct statvfs info;
    if (RetryAfterSignal([&] { return ::statvfs(inPath.c_str(), &info); }) != 0)
        return LastPosixError();
    outInfo.fAvailableBytes = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
    outInfo.fTotalBytes = static_cast<uint64_t>(info.f_blocks) * info.f_frsize;
    outInfo.fReadOnly = (info.f_flag & ST_RDONLY) != 0;
    return VE_OK;
}

} // namespace vkit
