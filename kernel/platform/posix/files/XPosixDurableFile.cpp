// XPosixDurableFile: temporary sibling, write, fsync, renameat and fsync of the folder; unlinkat and fsync.
#include "platform/posix/files/XPosixDurableFile.h"

#include "platform/posix/files/XPosixTemporaryName.h"
#include "platform/posix/shared/XPosixCalls.h"
#include "platform/posix/shared/XPosixDescriptor.h"
#include "platform/posix/shared/XPosixPathText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vkit {

namespace {

constexpr std::string_view kTemporaryInfix = ".tmp-";
constexpr int kMaxTemporaryAttempts = 64;

XPosixTreeError Failure(int inErrno, std::string inPath, const char* inStep) {
    return XPosixTreeError{inErrno, std::move(inPath), inStep};
}

/// Opens the folder of inPath; outName receives the file's name.
XPosixTreeError OpenFolder(const std::string& inPath, XPosixDescriptor& outFolder, std::string& outFolderPath,
                           std::string& outName) {
    XPosixPathParts parts = SplitPath(inPath);
    outFolderPath = std::string(parts.fParent);
    outName = std::string(parts.fName);
    // A folder path or one whose last name is "." or ".." names no file of the folder.
    if (inPath.empty() || inPath.back() == '/' || NamesNoItem(outName))
        return Failure(EINVAL, inPath, "open");
    outFolder = XPosixDescriptor::OpenAt(AT_FDCWD, outFolderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (!outFolder.IsValid()) {
        int error = errno;
        return Failure(error, outFolderPath, "open");
    }
    return XPosixTreeError();
}

/// Flushes the folder, so that the names changed in it are on disk.
XPosixTreeError FlushFolder(const XPosixDescriptor& inFolder, const std::string& inFolderPath) {
    if (RetryAfterSignal([&] { return ::fsync(inFolder.Get()); }) == 0)
        return XPosixTreeError();
    int error = errno;
    return Failure(error, inFolderPath, "fsync");
}

/// Writes the whole content to the new file, flushes and closes it.
XPosixTreeError WriteAndFlush(XPosixDescriptor& ioFile, const std::string& inPath, const void* inData,
                              size_t inSize, int inKeptMode) {
    if (inKeptMode >= 0 && ::fchmod(ioFile.Get(), static_cast<mode_t>(inKeptMode)) != 0) {
        int error = errno;
        return Failure(error, inPath, "fchmod");
    }
    if (int error = WriteAll(ioFile.Get(), inData, inSize); error != 0)
        return Failure(error, inPath, "write");
    if (RetryAfterSignal([&] { return ::fsync(ioFile.Get()); }) != 0) {
        int error = errno;
        return Failure(error, inPath, "fsync");
    }
    if (int error = ioFile.Close(); error != 0)
        return Failure(error, inPath, "close");
    return XPosixTreeError();
}

} // namespace

XPosixTreeError XPosixDurableFile::Replace(const std::string& inPath, const void* inData, size_t inSize) {
    XPosixDescriptor folder;
    std::string folderPath;
    std::string name;
    if (XPosixTreeError failure = OpenFolder(inPath, folder, folderPath, name); failure.IsError())
        return failure;
    // The permission bits of a file replaced are kept; a new file takes the usual 0644.
    struct stat former;
    int keptMode =
        ::fstatat(folder.Get(), name.c_str(), &former, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(former.st_mode)
            ? static_cast<int>(former.st_mode & 07777)
            : -1;
    std::string prefix = TemporaryPrefix(name, kTemporaryInfix);
    std::string temporaryName;
    XPosixDescriptor file;
    for (int attempt = 0; attempt < kMaxTemporaryAttempts && !file.IsValid(); ++attempt) {
        if (!MakeTemporaryName(prefix, temporaryName))
            break;
        file = XPosixDescriptor::OpenAt(folder.Get(), temporaryName.c_str(),
                                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (!file.IsValid() && errno != EEXIST)
            break;
    }
    if (!file.IsValid()) {
        int error = errno;
        return Failure(error, JoinPath(folderPath, prefix + "XXXXXX"), "open");
    }
    std::string temporaryPath = JoinPath(folderPath, temporaryName);
    XPosixTreeError failure = WriteAndFlush(file, temporaryPath, inData, inSize, keptMode);
    if (!failure.IsError() &&
        ::renameat(folder.Get(), temporaryName.c_str(), folder.Get(), name.c_str()) != 0) {
        int error = errno;
        failure = Failure(error, inPath, "renameat");
    }
    if (failure.IsError()) {
        (void)::unlinkat(folder.Get(), temporaryName.c_str(), 0); // the failure reported is the write's
        return failure;
    }
    return FlushFolder(folder, folderPath);
}

XPosixTreeError XPosixDurableFile::Remove(const std::string& inPath) {
    XPosixDescriptor folder;
    std::string folderPath;
    std::string name;
    if (XPosixTreeError failure = OpenFolder(inPath, folder, folderPath, name); failure.IsError())
        return failure;
    if (::unlinkat(folder.Get(), name.c_str(), 0) != 0 && errno != ENOENT) {
        int error = errno;
        return Failure(error, inPath, "unlinkat");
    }
    // Flushed also when nothing was there: a removal made earlier may not have reached the disk yet.
    return FlushFolder(folder, folderPath);
}

} // namespace vkit
