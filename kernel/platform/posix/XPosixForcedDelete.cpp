// XPosixForcedDelete: physical fts walk removing a tree, with immutable attributes and modes lifted.
#include "platform/posix/XPosixForcedDelete.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <fts.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vkit {

namespace {

constexpr int kLockFlags = FS_IMMUTABLE_FL | FS_APPEND_FL;

XPosixTreeError MakeError(int inErrno, std::string_view inPath, const char* inOperation) {
    return XPosixTreeError{inErrno, std::string(inPath), inOperation};
}

/// Clears the immutable and append-only attributes of an open item; returns the attributes it had
/// (-1 when they cannot be read).
int ClearLockFlags(int inDescriptor) {
    int flags = 0;
    if (::ioctl(inDescriptor, FS_IOC_GETFLAGS, &flags) != 0)
        return -1;
    if ((flags & kLockFlags) != 0) {
        int cleared = flags & ~kLockFlags;
        ::ioctl(inDescriptor, FS_IOC_SETFLAGS, &cleared);
    }
    return flags;
}

bool MayChangeMode(const struct stat& inStatus) {
    uid_t user = ::geteuid();
    return user == 0 || user == inStatus.st_uid;
}

/// Lifts what stops the removal of an item or of the items of a folder. Only regular files and
/// folders are acted on (opening a device could act on it); a link is never followed. The mode comes
/// first, so that an unreadable folder can then be opened; an immutable item takes it after unlocking.
void UnlockItem(const char* inPath) {
    struct stat status;
    if (::lstat(inPath, &status) != 0 || !(S_ISREG(status.st_mode) || S_ISDIR(status.st_mode)))
        return;
    mode_t wanted = S_ISDIR(status.st_mode) ? S_IRWXU : (S_IRUSR | S_IWUSR);
    mode_t mode = (status.st_mode | wanted) & 07777;
    bool modeWanted = (status.st_mode & wanted) != wanted && MayChangeMode(status);
    if (modeWanted && ::fchmodat(AT_FDCWD, inPath, mode, AT_SYMLINK_NOFOLLOW) == 0)
        modeWanted = false;
    int descriptor = ::open(inPath, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return;
    ClearLockFlags(descriptor);
    if (modeWanted)
        ::fchmod(descriptor, mode);
    ::close(descriptor);
}

/// A folder met before its content: unlocked when statx reports a lock attribute (or cannot say), or
/// when owner read, write and search are missing, so that its items can be listed and removed. (The walk
/// keeps no stat records: FTS_NOSTAT.)
void UnlockFolder(const FTSENT& inEntry) {
    constexpr uint64_t kLockAttributes = STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND;
    struct statx status;
    if (::statx(AT_FDCWD, inEntry.fts_accpath, AT_SYMLINK_NOFOLLOW, STATX_MODE | STATX_UID, &status) != 0 ||
        (status.stx_attributes_mask & kLockAttributes) != kLockAttributes ||
        (status.stx_attributes & kLockAttributes) != 0 || (status.stx_mode & S_IRWXU) != S_IRWXU)
        UnlockItem(inEntry.fts_accpath);
}

/// A file, link or anything but a folder after its content: removed, or unlocked and removed again.
int RemoveItem(const FTSENT& inEntry) {
    const char* path = inEntry.fts_accpath;
    if (::unlink(path) == 0)
        return 0;
    int error = errno;
    if (error == EISDIR)
        return ::rmdir(path) == 0 ? 0 : errno;
    if (error != EPERM && error != EACCES)
        return error;
    UnlockItem(path);
    return ::unlink(path) == 0 ? 0 : errno;
}

/// The parent's state while its child is removed, given back by Restore.
class ParentGuard {
public:
    explicit ParentGuard(const std::string& inPath) : fPath(inPath) {
        fDescriptor = ::open(fPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fDescriptor < 0)
            return;
        fFlags = ClearLockFlags(fDescriptor);
        struct stat status;
        if (::fstat(fDescriptor, &status) == 0 && (status.st_mode & S_IRWXU) != S_IRWXU && ::geteuid() != 0 &&
            ::geteuid() == status.st_uid && ::fchmod(fDescriptor, (status.st_mode | S_IRWXU) & 07777) == 0)
            fMode = static_cast<int>(status.st_mode & 07777);
    }
    ~ParentGuard() {
        if (fDescriptor >= 0)
            ::close(fDescriptor);
    }
    ParentGuard(const ParentGuard&) = delete;
    ParentGuard& operator=(const ParentGuard&) = delete;

    XPosixTreeError Restore() {
        XPosixTreeError result;
        if (fMode >= 0 && ::fchmod(fDescriptor, static_cast<mode_t>(fMode)) != 0)
            result = MakeError(errno, fPath, "fchmod");
        if (fFlags > 0 && (fFlags & kLockFlags) != 0 && ::ioctl(fDescriptor, FS_IOC_SETFLAGS, &fFlags) != 0 &&
            !result.IsError())
            result = MakeError(errno, fPath, "ioctl FS_IOC_SETFLAGS");
        return result;
    }

private:
    std::string fPath;
    int fDescriptor = -1;
    int fFlags = -1;
    int fMode = -1;
};

XPosixTreeError Walk(const std::string& inPath) {
    char* roots[] = {const_cast<char*>(inPath.c_str()), nullptr};
    // No chdir (the working folder belongs to the whole process); FTS_NOSTAT spares the stat of items
    // whose directory entry already says they are no folder.
    FTS* walk = ::fts_open(roots, FTS_PHYSICAL | FTS_NOCHDIR | FTS_NOSTAT, nullptr);
    if (walk == nullptr)
        return MakeError(errno, inPath, "fts_open");
    XPosixTreeError result;
    for (;;) {
        errno = 0;
        FTSENT* entry = ::fts_read(walk);
        if (entry == nullptr) {
            if (errno != 0)
                result = MakeError(errno, inPath, "fts_read");
            break;
        }
        int error = 0;
        const char* operation = "unlink";
        switch (entry->fts_info) {
        case FTS_D:
            UnlockFolder(*entry);
            break;
        case FTS_DP:
            error = ::rmdir(entry->fts_accpath) == 0 ? 0 : errno;
            operation = "rmdir";
            break;
        case FTS_DNR:
        case FTS_ERR:
        case FTS_NS:
            error = entry->fts_errno != 0 ? entry->fts_errno : EIO;
            operation = entry->fts_info == FTS_DNR ? "opendir" : "stat";
            break;
        default:
            error = RemoveItem(*entry);
            break;
        }
        if (error != 0) {
            result = MakeError(error, entry->fts_path, operation);
            break;
        }
    }
    ::fts_close(walk);
    return result;
}

} // namespace

XPosixTreeError XPosixForcedDelete::Delete(std::string_view inPath, XPosixTreeError* outRestoreError) {
    while (inPath.size() > 1 && inPath.back() == '/')
        inPath.remove_suffix(1);
    if (inPath.empty() || inPath == "/")
        return MakeError(EINVAL, inPath, "delete");
    std::string path(inPath);
    size_t slash = path.rfind('/');
    std::string parent = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));

    ParentGuard guard(parent);
    XPosixTreeError result = Walk(path);
    XPosixTreeError restore = guard.Restore();
    if (outRestoreError != nullptr)
        *outRestoreError = std::move(restore);
    return result;
}

} // namespace vkit
