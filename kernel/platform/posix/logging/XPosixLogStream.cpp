// XPosixLogStream: C stream calls on log files (platform side: system calls only, no log logic).
#include "platform/posix/logging/XPosixLogStream.h"

#include <cerrno>
#include <ctime>
#include <sys/stat.h>

namespace vkit {

int XPosixLogStream::Open(const std::string& inPosixPath, bool inTruncate, bool inBinary) {
    Close();
    // "e": close on exec.
    const char* mode = inTruncate ? (inBinary ? "wbe" : "we") : (inBinary ? "abe" : "ae");
    fStream = std::fopen(inPosixPath.c_str(), mode);
    int error = errno;
    if (fStream == nullptr)
        return error != 0 ? error : EIO;
    // Unbuffered: the writers hand over whole batches of lines, which a buffer would only copy.
    setvbuf(fStream, nullptr, _IONBF, 0);
    // The position of an appending stream is its end, so that it tells the size of the file.
    fPosition = 0;
    if (!inTruncate && fseeko(fStream, 0, SEEK_END) == 0)
        fPosition = static_cast<int64_t>(ftello(fStream));
    return 0;
}

void XPosixLogStream::Close() noexcept {
    if (fStream != nullptr)
        std::fclose(fStream);
    fStream = nullptr;
}

void XPosixLogStream::Flush() noexcept {
    if (fStream != nullptr)
        std::fflush(fStream);
}

void XPosixLogStream::Write(const char* inData, size_t inLength) noexcept {
    if (fStream != nullptr && inLength > 0)
        // The stream's owner serialises its writes: the stream's own lock is not needed.
        fPosition += static_cast<int64_t>(fwrite_unlocked(inData, 1, inLength, fStream));
}

bool XPosixLogStream::IsUnlinked() const noexcept {
    struct stat info {};
    return fStream != nullptr && fstat(fileno(fStream), &info) == 0 && info.st_nlink == 0;
}

bool XPosixLogStream::Exists(const std::string& inPosixPath) noexcept {
    struct stat info {};
    return lstat(inPosixPath.c_str(), &info) == 0;
}

int XPosixLogStream::Rename(const std::string& inFrom, const std::string& inTo) noexcept {
    return std::rename(inFrom.c_str(), inTo.c_str()) == 0 ? 0 : errno;
}

std::string XPosixLogStream::FormatLocalNow(const char* inFormat) {
    std::time_t now = std::time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    char buffer[256];
    size_t length = std::strftime(buffer, sizeof(buffer), inFormat, &local);
    return std::string(buffer, length);
}

} // namespace vkit
