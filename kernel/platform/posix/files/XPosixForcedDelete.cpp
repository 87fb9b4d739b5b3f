// XPosixForcedDelete: descriptor walk removing a tree, with immutable attributes and modes lifted.
#include "platform/posix/files/XPosixForcedDelete.h"

#include "platform/posix/shared/XPosixFolderReader.h"
#include "platform/posix/shared/XPosixPathText.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fts.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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
        // What stays locked makes the removal fail, and that failure is reported.
        (void)::ioctl(inDescriptor, FS_IOC_SETFLAGS, &cleared);
    }
    return flags;
}

bool MayChangeMode(const struct stat& inStatus) {
    uid_t user = ::geteuid();
    return user == 0 || user == inStatus.st_uid;
}

/// Lifts what stops the removal of an item or of the items of a folder (inName in the folder
/// inFolder, or a path with AT_FDCWD). Only regular files and folders are acted on (opening a device
/// could act on it); a link is never followed. The mode comes first, so that an unreadable folder can
/// then be opened; an immutable item takes it after unlocking.
void UnlockItem(int inFolder, const char* inName) {
    struct stat status;
    if (::fstatat(inFolder, inName, &status, AT_SYMLINK_NOFOLLOW) != 0 ||
        !(S_ISREG(status.st_mode) || S_ISDIR(status.st_mode)))
        return;
    mode_t wanted = S_ISDIR(status.st_mode) ? S_IRWXU : (S_IRUSR | S_IWUSR);
    mode_t mode = (status.st_mode | wanted) & 07777;
    bool modeWanted = (status.st_mode & wanted) != wanted && MayChangeMode(status);
    if (modeWanted && ::fchmodat(inFolder, inName, mode, AT_SYMLINK_NOFOLLOW) == 0)
        modeWanted = false;
    XPosixDescriptor item =
        XPosixDescriptor::OpenAt(inFolder, inName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (!item.IsValid())
        return;
    ClearLockFlags(item.Get());
    // What stays locked makes the removal fail, and that failure is reported.
    if (modeWanted)
        (void)::fchmod(item.Get(), mode);
}

/// A folder met before its content: unlocked when statx reports a lock attribute (or cannot say), or
/// when owner read, write and search are missing, so that its items can be listed and removed.
void UnlockFolder(int inFolder, const char* inName) {
    constexpr uint64_t kLockAttributes = STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND;
    struct statx status;
    if (::statx(inFolder, inName, AT_SYMLINK_NOFOLLOW, STATX_MODE | STATX_UID, &status) != 0 ||
        (status.stx_attributes_mask & kLockAttributes) != kLockAttributes ||
        (status.stx_attributes & kLockAttributes) != 0 || (status.stx_mode & S_IRWXU) != S_IRWXU)
        UnlockItem(inFolder, inName);
}

/// A file, link or anything but a folder after its content: removed, or unlocked and removed again.
int RemoveItem(int inFolder, const char* inName) {
    if (::unlinkat(inFolder, inName, 0) == 0)
        return 0;
    int error = errno;
    if (error == EISDIR)
        return ::unlinkat(inFolder, inName, AT_REMOVEDIR) == 0 ? 0 : errno;
    if (error != EPERM && error != EACCES)
        return error;
    UnlockItem(inFolder, inName);
    return ::unlinkat(inFolder, inName, 0) == 0 ? 0 : errno;
}

/// The parent's state while its child is removed, given back by Restore.
class ParentGuard {
public:
    explicit ParentGuard(std::string_view inPath) : fPath(inPath) {
        fParent = XPosixDescriptor::OpenAt(AT_FDCWD, fPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (!fParent.IsValid())
            return;
        fFlags = ClearLockFlags(fParent.Get());
        struct stat status;
        if (::fstat(fParent.Get(), &status) == 0 && (status.st_mode & S_IRWXU) != S_IRWXU &&
            ::geteuid() != 0 && ::geteuid() == status.st_uid &&
            ::fchmod(fParent.Get(), (status.st_mode | S_IRWXU) & 07777) == 0)
            fMode = static_cast<int>(status.st_mode & 07777);
    }

    const std::string& GetPath() const noexcept { return fPath; }

    XPosixTreeError Restore() {
        XPosixTreeError result;
        if (fMode >= 0 && ::fchmod(fParent.Get(), static_cast<mode_t>(fMode)) != 0) {
            int error = errno;
            result = MakeError(error, fPath, "fchmod");
        }
        if (fFlags > 0 && (fFlags & kLockFlags) != 0 &&
            ::ioctl(fParent.Get(), FS_IOC_SETFLAGS, &fFlags) != 0 && !result.IsError()) {
            int error = errno;
            result = MakeError(error, fPath, "ioctl FS_IOC_SETFLAGS");
        }
        return result;
    }

private:
    std::string fPath;
    XPosixDescriptor fParent;
    int fFlags = -1;
    int fMode = -1;
};

/// The walk by path, for subtrees deeper than the descriptor walk keeps open.
XPosixTreeError WalkByPath(const std::string& inPath) {
    char* roots[] = {const_cast<char*>(inPath.c_str()), nullptr};
    // No chdir (the working folder belongs to the whole process); FTS_NOSTAT spares the stat of items
    // whose directory entry already says they are no folder.
    FTS* walk = ::fts_open(roots, FTS_PHYSICAL | FTS_NOCHDIR | FTS_NOSTAT, nullptr);
    if (walk == nullptr) {
        int error = errno;
        return MakeError(error, inPath, "fts_open");
    }
    XPosixTreeError result;
    for (;;) {
        errno = 0;
        FTSENT* entry = ::fts_read(walk);
        if (entry == nullptr) {
            if (int error = errno; error != 0)
                result = MakeError(error, inPath, "fts_read");
            break;
        }
        int error = 0;
        const char* operation = "unlink";
        switch (entry->fts_info) {
        case FTS_D:
            UnlockFolder(AT_FDCWD, entry->fts_accpath);
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
            error = RemoveItem(AT_FDCWD, entry->fts_accpath);
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

/// The walk by descriptors: each item is reached from its folder's descriptor, so that no call
/// resolves the whole path again, and no link met on the way is followed. The items of a folder are
/// read at once, then removed one by one; folders are entered as they are met (unlocked first) and
/// removed once empty.
class DescriptorWalk {
public:
    explicit DescriptorWalk(std::string_view inPath) : fPath(inPath) { fFrames.reserve(kMaxOpenFolders); }

    /// Removes the item inName of the folder inParent, whose path is the walk's path.
    XPosixTreeError Run(int inParent, const char* inName) {
        struct stat status;
        if (::fstatat(inParent, inName, &status, AT_SYMLINK_NOFOLLOW) != 0) {
            int error = errno;
            return MakeError(error, fPath, "stat");
        }
        if (!S_ISDIR(status.st_mode)) {
            int error = RemoveItem(inParent, inName);
            return error == 0 ? XPosixTreeError() : MakeError(error, fPath, "unlink");
        }
        if (XPosixTreeError error = Enter(inParent, inName); error.IsError())
            return error;
        while (!fFrames.empty()) {
            Frame& folder = fFrames.back();
            if (folder.fNext == folder.fItems.size()) {
                if (XPosixTreeError error = Leave(inParent); error.IsError())
                    return error;
                continue;
            }
            bool isFolder = folder.fItems[folder.fNext] == 'd';
            const char* name = folder.fItems.c_str() + folder.fNext + 1;
            folder.fNext += 2 + std::strlen(name);
            XPosixTreeError error;
            if (!isFolder) {
                if (int failure = RemoveItem(folder.fListing.Get(), name); failure != 0)
                    error = MakeError(failure, PathOf(name), "unlink");
            } else if (fFrames.size() < kMaxOpenFolders) {
                error = Enter(folder.fListing.Get(), name);
            } else {
                error = WalkByPath(PathOf(name));
            }
            if (error.IsError())
                return error;
        }
        return XPosixTreeError();
    }

private:
    // Folders open at once; a subtree deeper than this is removed by path.
    static constexpr size_t kMaxOpenFolders = 64;

    struct Frame {
        XPosixFolderReader fListing;
        std::string fName;
        // The folder's items, each as 'd' (a folder) or 'f' (anything else), its name and a NUL.
        std::string fItems;
        size_t fNext = 0;
    };

    /// Opens the folder (unlocked first) and reads all its items before any is removed.
    XPosixTreeError Enter(int inParent, const char* inName) {
        UnlockFolder(inParent, inName);
        Frame frame{XPosixFolderReader(), inName, std::string(), 0};
        if (int error = frame.fListing.Open(inParent, inName, false); error != 0)
            return MakeError(error, PathOf(inName), "opendir");
        XPosixFolderEntry entry;
        while (frame.fListing.Next(entry)) {
            frame.fItems.push_back(entry.fType == DT_DIR ? 'd' : 'f');
            frame.fItems.append(entry.fName, std::strlen(entry.fName) + 1);
        }
        if (int error = frame.fListing.GetError(); error != 0)
            return MakeError(error, JoinPath(PathOf(inName), frame.fListing.GetFailedName()),
                             frame.fListing.GetFailedStep());
        fFrames.push_back(std::move(frame));
        return XPosixTreeError();
    }

    /// Closes the innermost folder, now empty, and removes it.
    XPosixTreeError Leave(int inRootParent) {
        std::string name = std::move(fFrames.back().fName);
        fFrames.pop_back();
        int parent = fFrames.empty() ? inRootParent : fFrames.back().fListing.Get();
        if (::unlinkat(parent, name.c_str(), AT_REMOVEDIR) != 0) {
            int error = errno;
            return MakeError(error, PathOf(name.c_str()), "rmdir");
        }
        return XPosixTreeError();
    }

    /// The path of inName in the innermost open folder (the walk's path itself when none is open).
    std::string PathOf(const char* inName) const {
        if (fFrames.empty())
            return fPath;
        std::string path = fPath;
        for (size_t i = 1; i < fFrames.size(); ++i)
            path = JoinPath(path, fFrames[i].fName);
        return JoinPath(path, inName);
    }

    std::string fPath;
    std::vector<Frame> fFrames;
};

} // namespace

XPosixTreeError XPosixForcedDelete::Delete(std::string_view inPath, XPosixTreeError* outRestoreError) {
    XPosixPathParts parts = SplitPath(inPath);
    std::string path(WithoutTrailingSlashes(inPath));
    std::string name(parts.fName);
    if (NamesNoItem(name))
        return MakeError(EINVAL, path, "delete");

    ParentGuard guard(parts.fParent);
    XPosixTreeError result;
    // Reaching the parent needs search permission only, not read permission.
    XPosixDescriptor parent =
        XPosixDescriptor::OpenAt(AT_FDCWD, guard.GetPath().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (!parent.IsValid()) {
        int error = errno;
        result = MakeError(error, path, "stat");
    } else {
        result = DescriptorWalk(path).Run(parent.Get(), name.c_str());
    }
    XPosixTreeError restore = guard.Restore();
    if (outRestoreError != nullptr)
        *outRestoreError = std::move(restore);
    return result;
}

} // namespace vkit
