// XPosixSigningFile: open, read, write, fsync and rename of the signing files.
#include "platform/posix/signing/XPosixSigningFile.h"

#include "platform/posix/shared/XPosixDescriptor.h"
#include "platform/posix/shared/XPosixPathText.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>

namespace vkit {

namespace {

XPosixTreeError Failure(int inErrno, const char* inStep, std::string inPath = std::string()) {
    return XPosixTreeError{inErrno, std::move(inPath), inStep};
}

/// Writes and flushes inContent to the open file; the errno and step of the failure, or none.
XPosixTreeError WriteAndFlush(int inDescriptor, std::string_view inContent) {
    if (int error = WriteAll(inDescriptor, inContent.data(), inContent.size()))
        return Failure(error, "write");
    if (RetryAfterSignal([&] { return ::fsync(inDescriptor); }) != 0) {
        int error = errno;
        return Failure(error, "fsync");
    }
    return XPosixTreeError();
}

} // namespace

XPosixTreeError XPosixSigningFile::Read(const std::string& inPath, size_t inLimit, std::string& outContent) {
    outContent.clear();
    XPosixDescriptor file = XPosixDescriptor::OpenAt(
        AT_FDCWD, inPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (!file.IsValid()) {
        int error = errno;
        return Failure(error, "open");
    }
    struct stat status;
    if (::fstat(file.Get(), &status) != 0) {
        int error = errno;
        return Failure(error, "fstat");
    }
    if (!S_ISREG(status.st_mode))
        return Failure(EINVAL, "not a regular file");
    if (int error = ReadToEnd(file.Get(), outContent, inLimit))
        return Failure(error, "read");
    return XPosixTreeError();
}

XPosixTreeError XPosixSigningFile::WriteNew(const std::string& inPath, std::string_view inContent,
                                            mode_t inMode) {
    XPosixDescriptor file = XPosixDescriptor::OpenAt(
        AT_FDCWD, inPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, inMode);
    if (!file.IsValid()) {
        int error = errno;
        return Failure(error, "open");
    }
    XPosixTreeError failure = WriteAndFlush(file.Get(), inContent);
    if (!failure.IsError())
        if (int error = file.Close())
            failure = Failure(error, "close");
    if (failure.IsError())
        ::unlink(inPath.c_str());
    return failure;
}

XPosixTreeError XPosixSigningFile::Replace(const std::string& inFolder, const std::string& inName,
                                           std::string_view inContent, mode_t inMode) {
    std::string temporary = JoinPath(inFolder, "." + inName + ".XXXXXX");
    XPosixDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!file.IsValid()) {
        int error = errno;
        return Failure(error, "mkostemp", temporary);
    }
    XPosixTreeError failure = WriteAndFlush(file.Get(), inContent);
    if (!failure.IsError() && ::fchmod(file.Get(), inMode) != 0)
        failure = Failure(errno, "fchmod");
    if (!failure.IsError() && ::rename(temporary.c_str(), JoinPath(inFolder, inName).c_str()) != 0)
        failure = Failure(errno, "rename");
    if (failure.IsError()) {
        ::unlink(temporary.c_str());
        failure.fPath = JoinPath(inFolder, inName);
    }
    return failure;
}

std::string XPosixSigningFile::Absolute(const std::string& inPath) {
    if (!inPath.empty() && inPath.front() == '/')
        return inPath;
    std::unique_ptr<char, decltype(&std::free)> folder(::getcwd(nullptr, 0), &std::free);
    return folder != nullptr ? JoinPath(folder.get(), inPath) : inPath;
}

XPosixTreeError XPosixSigningFile::MakeFolder(const std::string& inPath, mode_t inMode) {
    if (::mkdir(inPath.c_str(), inMode) == 0)
        return XPosixTreeError();
    int error = errno;
    struct stat status;
    if (error == EEXIST && ::lstat(inPath.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
        return XPosixTreeError();
    return Failure(error == EEXIST ? ENOTDIR : error, "mkdir");
}

} // namespace vkit
