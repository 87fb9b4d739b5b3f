// XPosixFSObjectIterator: the folder reader over a folder's real path; links resolved on request.
#include "platform/posix/files/XPosixFSObjectIterator.h"

#include "platform/posix/shared/XPosixPathText.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>

namespace vkit {

XPosixFSObjectIterator::XPosixFSObjectIterator(const std::string& inPosixPath, uint32_t inOptions)
    : fOptions(inOptions) {
    char* real = ::realpath(inPosixPath.c_str(), nullptr);
    if (real == nullptr) {
        fError = errno;
        return;
    }
    fFolderPath = real;
    std::free(real);
    if ((fError = fListing.Open(AT_FDCWD, fFolderPath.c_str(), true)) != 0)
        return;
    if (fFolderPath.back() != '/')
        fFolderPath.push_back('/');
}

XPosixFSObjectIterator::~XPosixFSObjectIterator() = default;

void XPosixFSObjectIterator::Close() noexcept {
    fListing = XPosixFolderReader();
    fHasCurrent = false;
}

bool XPosixFSObjectIterator::GetNextPath(std::string& outPosixPath, bool& outIsFolder) {
    const bool invisibleToo = (fOptions & kInvisible) != 0;
    XPosixFolderEntry entry;
    while (fListing.Next(entry)) {
        if (IsInvisibleName(entry.fName) && !invisibleToo)
            continue;
        if (entry.fType != DT_DIR && entry.fType != DT_REG && entry.fType != DT_LNK)
            continue;
        std::string path = fFolderPath + entry.fName;
        bool isFolder = entry.fType == DT_DIR;
        bool resolved = entry.fType == DT_LNK && (fOptions & kResolveLinks) != 0;
        if (resolved &&
            (!ResolveLink(path, isFolder) || (IsInvisibleName(SplitPath(path).fName) && !invisibleToo)))
            continue;
        if ((fOptions & (isFolder ? kFolders : kFiles)) == 0)
            continue;
        fCurrentName = entry.fName;
        fCurrentResolved = resolved;
        if (resolved)
            fCurrentPath = path;
        fHasCurrent = true;
        outPosixPath = std::move(path);
        outIsFolder = isFolder;
        return true;
    }
    if (int error = fListing.GetError(); error != 0)
        fError = error;
    Close();
    return false;
}

bool XPosixFSObjectIterator::ResolveLink(std::string& ioPath, bool& outIsFolder) {
    // realpath follows the whole chain of links; a dangling link does not resolve and is skipped.
    char* target = ::realpath(ioPath.c_str(), nullptr);
    if (target == nullptr)
        return false;
    ioPath = target;
    std::free(target);
    struct stat status;
    if (::lstat(ioPath.c_str(), &status) != 0)
        return false;
    outIsFolder = S_ISDIR(status.st_mode);
    return outIsFolder || S_ISREG(status.st_mode);
}

VError XPosixFSObjectIterator::GetTimes(XPosixItemTimes& outTimes) {
    if (!fHasCurrent)
        return MakeVErrorFromPosix(EINVAL);
    return fCurrentResolved
               ? XPosixFileInfo::GetTimesAt(AT_FDCWD, fCurrentPath.c_str(), false, outTimes)
               : XPosixFileInfo::GetTimesAt(fListing.Get(), fCurrentName.c_str(), false, outTimes);
}

} // namespace vkit
