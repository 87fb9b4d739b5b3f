// XPosixRenameAccess: lstat, faccessat(AT_EACCESS), the attributes and capget behind the rename rights.
#include "platform/posix/files/XPosixRenameAccess.h"

#include "platform/posix/files/XPosixFileCalls.h"
#include "platform/posix/files/XPosixFileFlags.h"
#include "platform/posix/shared/XPosixPathText.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vkit {

VError XPosixRenameAccess::Check(const std::string& inPath, ERenameAccess& outAccess) {
    outAccess = ERenameAccess::kAllowed;
    std::string path(WithoutTrailingSlashes(inPath));
    std::string folder(SplitPath(path).fParent);
    struct stat item;
    struct stat parent;
    if (::lstat(path.c_str(), &item) != 0 || ::stat(folder.c_str(), &parent) != 0)
        return LastPosixError();
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        int error = errno;
        if (error == EROFS)
            outAccess = ERenameAccess::kReadOnlyFileSystem;
        else if (error == EPERM)
            outAccess = ERenameAccess::kLocked;
        else if (error == EACCES)
            outAccess = ERenameAccess::kFolderNotWritable;
        else
            return MakeVErrorFromPosix(error);
        return VE_OK;
    }
    // An append-only folder passes the write check (entries may be added), yet none may leave it.
    bool itemFrozen = false;
    bool folderFrozen = false;
    (void)XPosixFileFlags::IsFrozen(path, itemFrozen);     // unreadable: counted as absent
    (void)XPosixFileFlags::IsFrozen(folder, folderFrozen); // the same
    if (itemFrozen || folderFrozen) {
        outAccess = ERenameAccess::kLocked;
        return VE_OK;
    }
    uid_t user = ::geteuid();
    if ((parent.st_mode & S_ISVTX) != 0 && user != item.st_uid && user != parent.st_uid &&
        !_MayActAsAnyOwner())
        outAccess = ERenameAccess::kStickyFolder;
    return VE_OK;
}

bool XPosixRenameAccess::_MayActAsAnyOwner() noexcept {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    // The C library declares no capget: the system call itself.
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    return (data[CAP_TO_INDEX(CAP_FOWNER)].effective & CAP_TO_MASK(CAP_FOWNER)) != 0;
}

} // namespace vkit
