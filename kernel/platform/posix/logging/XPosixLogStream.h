// XPosixLogStream: the C stream of a log file, and the local-time texts of the log writers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace vkit {

/// An open C stream on a log file: unbuffered appends (each Write is one system call: the writers
/// hand over whole batches of lines), formatted writes of any length, the position that tells the
/// file's size, and a check that the file still has a name. The descriptor is closed on exec, so
/// that programs the process starts do not inherit its log files.
class XPosixLogStream {
public:
    XPosixLogStream() noexcept = default;
    ~XPosixLogStream() { Close(); }
    XPosixLogStream(const XPosixLogStream&) = delete;
    XPosixLogStream& operator=(const XPosixLogStream&) = delete;

    /// Opens inPosixPath (UTF-8) emptied (inTruncate) or for appending at its end, created when
    /// missing; "b" modes when inBinary. Answers 0 or the errno of the failing call.
    int Open(const std::string& inPosixPath, bool inTruncate, bool inBinary);
    bool IsOpen() const noexcept { return fStream != nullptr; }
    void Close() noexcept;
    void Flush() noexcept;

    /// The position of the stream: the size of the file written so far (kept by the stream, so that
    /// asking costs no system call); -1 when closed.
    int64_t GetPosition() const noexcept { return fStream != nullptr ? fPosition : -1; }
    void Write(const char* inData, size_t inLength) noexcept;
    /// True when the open file no longer has a name: it, or its folder, was removed.
    bool IsUnlinked() const noexcept;

    /// True when something exists at inPosixPath.
    static bool Exists(const std::string& inPosixPath) noexcept;
    /// Renames a file; answers 0 or the errno.
    static int Rename(const std::string& inFrom, const std::string& inTo) noexcept;
    /// The current local time formatted with strftime.
    static std::string FormatLocalNow(const char* inFormat);

private:
    FILE* fStream = nullptr;
    int64_t fPosition = 0;
};

} // namespace vkit
