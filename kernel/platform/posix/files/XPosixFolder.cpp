// XPosixFolder: the system calls on one folder: mkdir, rmdir, rename, listing, tree operations.
#include "platform/posix/files/XPosixFolder.h"

#include "platform/posix/files/XPosixFileCalls.h"
#include "platform/posix/files/XPosixForcedDelete.h"
#include "platform/posix/files/XPosixPath.h"
#include "platform/posix/files/XPosixSystemFolder.h"
#include "platform/posix/files/XPosixTreeCopy.h"
#include "platform/posix/files/XPosixTreeSpace.h"
#include "platform/posix/shared/XPosixFolderReader.h"
#include "platform/posix/shared/XPosixPathText.h"

#include <sys/stat.h>
#include <unistd.h>

namespace vkit {

namespace {

std::string PosixPathWithoutTrailingSlash(const VFilePath& inPath) {
    return std::string(WithoutTrailingSlashes(XPosixPath::GetPosixPath(inPath)));
}

} // namespace

void XPosixFolder::Init(const IFileSystemObject* inOwner, const VFilePath& inPath) {
    _Init(inOwner, PosixPathWithoutTrailingSlash(inPath));
}

void XPosixFolder::Init(const IFileSystemObject* inOwner, const char* inPosixPath) {
    _Init(inOwner, std::string(WithoutTrailingSlashes(inPosixPath != nullptr ? inPosixPath : "")));
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
    return XPosixFileInfo::RenameNoReplace(GetPosixPath(), PosixPathWithoutTrailingSlash(inNewPath));
}

XPosixTreeError XPosixFolder::Move(const VFilePath& inDestination, bool& outCopied) const {
    outCopied = false;
    std::string target = PosixPathWithoutTrailingSlash(inDestination);
    int error = XPosixFileInfo::RenameNoReplaceAt(AT_FDCWD, GetPosixPath().c_str(), AT_FDCWD, target.c_str());
    if (error != EXDEV)
        return XPosixTreeError{error, std::string(), "rename"};
    // The copy is whole or absent: when it fails the source is untouched.
    if (XPosixTreeError failure = XPosixTreeCopy::Copy(GetPosixPath(), target); failure.IsError())
        return failure;
    outCopied = true;
    // From here the copy is the one complete tree: a removal that stops part-way leaves it alone.
    return XPosixForcedDelete::Delete(GetPosixPath());
}

XPosixTreeError XPosixFolder::DeleteForced(XPosixTreeError& outRestoreFailure) const {
    return XPosixForcedDelete::Delete(GetPosixPath(), &outRestoreFailure);
}

XPosixTreeError XPosixFolder::CopyTreeReplacing(const VFilePath& inDestination, bool& outInPlace) const {
    return XPosixTreeCopy::CopyReplacing(GetPosixPath(), PosixPathWithoutTrailingSlash(inDestination),
                                         outInPlace);
}

VError XPosixFolder::Exchange(const std::string& inOther, bool& outRefused) const {
    int error = XPosixFileInfo::ExchangeAt(AT_FDCWD, GetPosixPath().c_str(), AT_FDCWD, inOther.c_str());
    outRefused = XPosixFileInfo::IsExchangeRefused(error);
    return VErrorFromErrno(error);
}

VError XPosixFolder::GetIdentity(uint64_t& outDevice, uint64_t& outInode) const {
    struct stat status;
    if (::lstat(GetPosixPath().c_str(), &status) != 0)
        return LastPosixError();
    outDevice = status.st_dev;
    outInode = status.st_ino;
    return VE_OK;
}

XPosixTreeError XPosixFolder::MeasureTree(uint64_t& outBytes) const {
    return XPosixTreeSpace::Measure(GetPosixPath(), outBytes);
}

VError XPosixFolder::MakeWritableByAll() const {
    uint16_t mode = 0;
    VError error = GetPermissions(mode);
    return error != VE_OK ? error : SetPermissions(static_cast<uint16_t>(mode | 0222));
}

VError XPosixFolder::IsEmpty(bool& outEmpty) const {
    XPosixFolderReader listing;
    if (int error = listing.Open(AT_FDCWD, GetPosixPath().c_str(), true); error != 0)
        return MakeVErrorFromPosix(error);
    XPosixFolderEntry entry;
    outEmpty = !listing.Next(entry);
    return VErrorFromErrno(listing.GetError());
}

VError XPosixFolder::ListItems(XPosixListOptions inOptions, std::vector<XPosixFolderItem>& outItems) const {
    outItems.clear();
    XPosixFolderReader listing;
    if (int error = listing.Open(AT_FDCWD, GetPosixPath().c_str(), (inOptions & kListFollowFolderLink) != 0);
        error != 0)
        return MakeVErrorFromPosix(error);
    XPosixFolderEntry entry;
    while (listing.Next(entry)) {
        bool isFolder = entry.fType == DT_DIR;
        bool isFile = entry.fType == DT_REG || entry.fType == DT_LNK;
        XPosixListOptions wanted =
            isFolder ? kListFolders : (isFile ? kListFiles : kListFiles | kListSpecialFiles);
        if (IsInvisibleName(entry.fName))
            wanted |= kListInvisible;
        if ((inOptions & wanted) != wanted)
            continue;
        XPosixFolderItem& item = outItems.emplace_back();
        item.fPosixPath = JoinPath(GetPosixPath(), entry.fName);
        item.fIsFolder = isFolder;
        XPosixPath::GetFilePathFromPosixPath(item.fPosixPath, item.fIsFolder, item.fPath);
    }
    return VErrorFromErrno(listing.GetError());
}

VError XPosixFolder::GetSystemFolderPath(ESystemFolderKind inKind, bool inCreate, std::string& outPath) {
    return XPosixSystemFolder::GetPath(inKind, inCreate, outPath);
}

} // namespace vkit
