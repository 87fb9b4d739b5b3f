// XPosixFolder: the system calls on one folder: mkdir, rmdir, rename, listing, tree operations.
#include "platform/posix/XPosixFolder.h"

#include "platform/posix/XPosixDirectoryEntry.h"
#include "platform/posix/XPosixFileCalls.h"
#include "platform/posix/XPosixForcedDelete.h"
#include "platform/posix/XPosixPath.h"
#include "platform/posix/XPosixSystemFolder.h"
#include "platform/posix/XPosixTreeCopy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vkit {

namespace {

class StDirectory {
public:
    explicit StDirectory(DIR* inDirectory) noexcept : fDirectory(inDirectory) {}
    StDirectory(const StDirectory&) = delete;
    StDirectory& operator=(const StDirectory&) = delete;
    ~StDirectory() {
        if (fDirectory != nullptr)
            ::closedir(fDirectory);
    }
    DIR* Get() const noexcept { return fDirectory; }

private:
    DIR* fDirectory;
};

/// Opens the folder for reading its entries; null with errno set on failure.
DIR* OpenDirectory(const std::string& inPath, bool inFollow) {
    int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (inFollow ? 0 : O_NOFOLLOW);
    int fd = RetryAfterSignal([&] { return ::open(inPath.c_str(), flags); });
    if (fd < 0)
        return nullptr;
    DIR* directory = ::fdopendir(fd);
    if (directory == nullptr) {
        int error = errno;
        ::close(fd);
        errno = error;
    }
    return directory;
}

/// The kind of an entry: 'd' folder, 'f' regular file or link, 's' special file, 0 when it vanished.
char EntryKind(DIR* inDirectory, const struct dirent* inEntry) {
    unsigned char type = inEntry->d_type;
    if (type == DT_UNKNOWN) {
        struct stat info;
        if (::fstatat(::dirfd(inDirectory), inEntry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            return 0;
        type = S_ISDIR(info.st_mode)                              ? DT_DIR
               : (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode)) ? DT_REG
                                                                  : DT_FIFO;
    }
    if (type == DT_DIR)
        return 'd';
    return type == DT_REG || type == DT_LNK ? 'f' : 's';
}

bool Wanted(char inKind, XPosixListOptions inOptions) {
    switch (inKind) {
    case 'd':
        return (inOptions & kListFolders) != 0;
    case 'f':
        return (inOptions & kListFiles) != 0;
    case 's':
        return (inOptions & kListFiles) != 0 && (inOptions & kListSpecialFiles) != 0;
    default:
        return false;
    }
}

[[nodiscard]] VError FromTreeError(const XPosixTreeError& inError, std::string& outFailedPath) {
    if (!inError.IsError())
        return VE_OK;
    outFailedPath = inError.fPath;
    return MakeVErrorFromPosix(inError.fErrno);
}

} // namespace

void XPosixFolder::Init(const IFileSystemObject* inOwner, const VFilePath& inPath) {
    _Init(inOwner, WithoutTrailingSlash(XPosixPath::GetPosixPath(inPath)));
}

void XPosixFolder::Init(const IFileSystemObject* inOwner, const char* inPosixPath) {
    _Init(inOwner, WithoutTrailingSlash(inPosixPath != nullptr ? inPosixPath : ""));
}

bool XPosixFolder::Exists(bool inFollow) const noexcept {
    return !GetPosixPath().empty() && XPosixFileInfo::IsDirectory(GetPosixPath(), inFollow);
}

VError XPosixFolder::Create() const {
    if (::mkdir(GetPosixPath().c_str(), 0755) != 0)
        return LastPosixError();
    return VE_OK;
}

VError XPosixFolder::Delete() const {
    if (::rmdir(GetPosixPath().c_str()) != 0)
        return LastPosixError();
    return VE_OK;
}

VError XPosixFolder::Rename(const VFilePath& inNewPath) const {
    return XPosixFileInfo::RenameNoReplace(GetPosixPath(),
                                           WithoutTrailingSlash(XPosixPath::GetPosixPath(inNewPath)));
}

VError XPosixFolder::Move(const VFilePath& inDestination, std::string& outFailedPath, bool& outCopied) const {
    outCopied = false;
    std::string target = WithoutTrailingSlash(XPosixPath::GetPosixPath(inDestination));
    VError error = XPosixFileInfo::RenameNoReplace(GetPosixPath(), target);
    if (error != MakeVErrorFromPosix(EXDEV))
        return error;
    // The copy is whole or absent: when it fails the source is untouched.
    error = FromTreeError(XPosixTreeCopy::Copy(GetPosixPath(), target), outFailedPath);
    if (error != VE_OK)
        return error;
    outCopied = true;
    // From here the copy is the one complete tree: a removal that stops part-way leaves it alone.
    return FromTreeError(XPosixForcedDelete::Delete(GetPosixPath()), outFailedPath);
}

VError XPosixFolder::DeleteForced(std::string& outFailedPath, VError& outRestoreError) const {
    XPosixTreeError restore;
    VError error = FromTreeError(XPosixForcedDelete::Delete(GetPosixPath(), &restore), outFailedPath);
    std::string restorePath;
    outRestoreError = FromTreeError(restore, restorePath);
    return error;
}

VError XPosixFolder::CopyTree(const VFilePath& inDestination, std::string& outFailedPath) const {
    std::string target = WithoutTrailingSlash(XPosixPath::GetPosixPath(inDestination));
    return FromTreeError(XPosixTreeCopy::Copy(GetPosixPath(), target), outFailedPath);
}

VError XPosixFolder::MakeWritableByAll() const {
    uint16_t mode = 0;
    VError error = GetPermissions(mode);
    return error != VE_OK ? error : SetPermissions(static_cast<uint16_t>(mode | 0222));
}

VError XPosixFolder::IsEmpty(bool& outEmpty) const {
    outEmpty = true;
    StDirectory directory(OpenDirectory(GetPosixPath(), true));
    if (directory.Get() == nullptr)
        return LastPosixError();
    int error = 0;
    while (const struct dirent* entry = ReadEntry(directory.Get(), error)) {
        if (!IsDotOrDotDot(entry->d_name)) {
            outEmpty = false;
            return VE_OK;
        }
    }
    return error != 0 ? MakeVErrorFromPosix(error) : VE_OK;
}

VError XPosixFolder::ListItems(XPosixListOptions inOptions, std::vector<XPosixFolderItem>& outItems) const {
    outItems.clear();
    StDirectory directory(OpenDirectory(GetPosixPath(), (inOptions & kListFollowFolderLink) != 0));
    if (directory.Get() == nullptr)
        return LastPosixError();
    std::string prefix = GetPosixPath() == "/" ? std::string("/") : GetPosixPath() + "/";
    int error = 0;
    while (const struct dirent* entry = ReadEntry(directory.Get(), error)) {
        const char* name = entry->d_name;
        if (IsDotOrDotDot(name) || (name[0] == '.' && (inOptions & kListInvisible) == 0))
            continue;
        char kind = EntryKind(directory.Get(), entry);
        if (!Wanted(kind, inOptions))
            continue;
        XPosixFolderItem& item = outItems.emplace_back();
        item.fPosixPath = prefix + name;
        item.fIsFolder = kind == 'd';
        XPosixPath::GetFilePathFromPosixPath(item.fPosixPath, item.fIsFolder, item.fPath);
    }
    return error != 0 ? MakeVErrorFromPosix(error) : VE_OK;
}

VError XPosixFolder::GetSystemFolderPath(ESystemFolderKind inKind, bool inCreate, std::string& outPath) {
    return XPosixSystemFolder::GetPath(inKind, inCreate, outPath);
}

} // namespace vkit
