// XPosixFile: the system calls on one file: create, unlink, rename, move, copy, open with flock locks.
#include "platform/posix/files/XPosixFile.h"

#include "platform/posix/files/XPosixFileCalls.h"
#include "platform/posix/files/XPosixFileCopier.h"
#include "platform/posix/files/XPosixPath.h"
#include "platform/posix/shared/XPosixDescriptor.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vkit {

void XPosixFile::Init(const IFileSystemObject* inOwner, const VFilePath& inPath) {
    _Init(inOwner, XPosixPath::GetPosixPath(inPath));
}

void XPosixFile::Init(const IFileSystemObject* inOwner, const char* inPosixPath) {
    _Init(inOwner, inPosixPath != nullptr ? inPosixPath : "");
}

bool XPosixFile::Exists() const noexcept {
    return XPosixFileInfo::IsFileOrLink(GetPosixPath());
}

VError XPosixFile::Create(FileCopyOptions inOptions) const {
    int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    if ((inOptions & kCopyOverwrite) != 0) {
        if (::unlink(GetPosixPath().c_str()) != 0 && errno != ENOENT)
            return LastPosixError();
        flags = O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC;
    }
    XPosixDescriptor file = XPosixDescriptor::OpenAt(AT_FDCWD, GetPosixPath().c_str(), flags, 0644);
    return file.IsValid() ? VE_OK : LastPosixError();
}

VError XPosixFile::Delete() const {
    if (::unlink(GetPosixPath().c_str()) == 0 || errno == ENOENT || errno == EISDIR)
        return VE_OK;
    return LastPosixError();
}

VError XPosixFile::Rename(const VFilePath& inNewPath) const {
    return XPosixFileInfo::RenameNoReplace(GetPosixPath(), XPosixPath::GetPosixPath(inNewPath));
}

VError XPosixFile::RenameReplacing(const VFilePath& inNewPath) const {
    return XPosixFileInfo::Rename(GetPosixPath(), XPosixPath::GetPosixPath(inNewPath));
}

VError XPosixFile::Move(const VFilePath& inDestination, FileCopyOptions inOptions) const {
    std::string target = XPosixPath::GetPosixPath(inDestination);
    bool replace = (inOptions & kCopyOverwrite) != 0;
    VError error = replace ? XPosixFileInfo::Rename(GetPosixPath(), target)
                           : XPosixFileInfo::RenameNoReplace(GetPosixPath(), target);
    if (error != MakeVErrorFromPosix(EXDEV))
        return error;
    // Another file system: copy, then remove the source; a source that stays removes the copy.
    error = XPosixFileCopier::CopyItem(GetPosixPath(), target, replace);
    if (error != VE_OK)
        return error;
    if (::unlink(GetPosixPath().c_str()) != 0) {
        error = LastPosixError();
        (void)::unlink(target.c_str()); // the failure reported is the source's
    }
    return error;
}

VError XPosixFile::CopyTo(const VFilePath& inDestination, FileCopyOptions inOptions) const {
    return XPosixFileCopier::CopyItem(GetPosixPath(), XPosixPath::GetPosixPath(inDestination),
                                      (inOptions & kCopyOverwrite) != 0);
}

VError XPosixFile::MakeWritableByAll() const {
    return XPosixFileInfo::MakeWritableByAll(GetPosixPath());
}

VError XPosixFile::GetSize(int64_t& outSize) const {
    return XPosixFileInfo::GetSize(GetPosixPath(), outSize);
}

VError XPosixFile::SetAttributes(FileAttributes inAttributes) const {
    return XPosixFileInfo::SetAttributes(GetPosixPath(), inAttributes);
}

bool XPosixFile::IsWritable() const noexcept {
    return !GetPosixPath().empty() && ::access(GetPosixPath().c_str(), W_OK) == 0;
}

VError XPosixFile::Open(FileAccess inAccess, FileOpenOptions inOptions, int& outFd) const {
    outFd = -1;
    if ((inOptions & kOpenResourceFork) != 0)
        return MakeVErrorFromPosix(ENOTSUP);
    if (inAccess != eFileAccessBest)
        return _OpenOnce(inAccess, inOptions, outFd);
    VError error = _OpenOnce(eFileAccessReadWrite, inOptions, outFd);
    return error == VE_OK ? error : _OpenOnce(eFileAccessRead, inOptions, outFd);
}

VError XPosixFile::_OpenOnce(FileAccess inAccess, FileOpenOptions inOptions, int& outFd) const {
    bool locked = inAccess == eFileAccessReadWrite || inAccess == eFileAccessShared;
    bool truncate = (inOptions & kOpenTruncate) != 0;
    int flags = (inAccess == eFileAccessRead ? O_RDONLY : O_RDWR) | O_CLOEXEC | O_NOCTTY;
    if ((inOptions & kOpenCreate) != 0)
        flags |= O_CREAT;
    if ((inOptions & kOpenFollowLinks) == 0)
        flags |= O_NOFOLLOW;
    // With a lock to take, the file is emptied only once the lock is held.
    if (truncate && !locked && inAccess != eFileAccessRead)
        flags |= O_TRUNC;
    XPosixDescriptor file = XPosixDescriptor::OpenAt(AT_FDCWD, GetPosixPath().c_str(), flags, 0644);
    if (!file.IsValid())
        return LastPosixError();
    int lock = (inAccess == eFileAccessShared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    if (locked && RetryAfterSignal([&] { return ::flock(file.Get(), lock); }) != 0) {
        int error = errno;
        return MakeVErrorFromPosix(error == EWOULDBLOCK ? EACCES : error);
    }
    if (truncate && locked && RetryAfterSignal([&] { return ::ftruncate(file.Get(), 0); }) != 0)
        return LastPosixError();
    // Hints only: the file works the same without them.
    if ((inOptions & kOpenReadAhead) != 0)
        (void)::posix_fadvise(file.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    if ((inOptions & (kOpenNoCache | kOpenNoCacheAlternate)) != 0)
        (void)::posix_fadvise(file.Get(), 0, 0, POSIX_FADV_DONTNEED);
    outFd = file.Release();
    return VE_OK;
}

} // namespace vkit
