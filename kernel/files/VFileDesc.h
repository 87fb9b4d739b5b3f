// VFileDesc: an open file: reading, writing, position, size and flushing, with file errors.
#pragma once

#include "errors/VErrorCodes.h"
#include "files/VFileOptions.h"
#include "files/VFilePath.h"
#include "platform/posix/files/XPosixFileDesc.h"
#include "text/VObject.h"

#include <cstddef>
#include <cstdint>

namespace vkit {

/// An open descriptor of a file (VFile::Open gives it; the caller deletes it, which closes the file and
/// releases its lock). A failure pushes the system error then a VFileError naming the file.
class VFileDesc : public VObject {
public:
    /// Takes over the open descriptor inFd of the file at inPath.
    VFileDesc(const VFilePath& inPath, int inFd, FileAccess inAccess);
    VFileDesc(const VFileDesc&) = delete;
    VFileDesc& operator=(const VFileDesc&) = delete;
    ~VFileDesc() override;

    const VFilePath& GetPath() const noexcept { return fPath; }
    FileAccess GetMode() const noexcept { return fAccess; }

    /// The file's size. Pushes 217.
    [[nodiscard]] VError GetSize(int64_t* outSize) const;
    /// Truncates or extends the file. Pushes 218.
    [[nodiscard]] VError SetSize(int64_t inSize) const;
    /// Reads inCount bytes at inPosition (at the current position, which advances, when negative).
    /// outRead, when given, receives the count read. Reaching the end first answers 200 (pushed as a
    /// file error); a failure pushes 213.
    [[nodiscard]] VError GetData(void* outBuffer, size_t inCount, int64_t inPosition = -1,
                                 size_t* outRead = nullptr) const;
    /// Writes inCount bytes at inPosition (at the current position when negative). Pushes 214.
    [[nodiscard]] VError PutData(const void* inBuffer, size_t inCount, int64_t inPosition = -1,
                                 size_t* outWritten = nullptr) const;
    /// The current position. Pushes 215.
    [[nodiscard]] VError GetPos(int64_t* outPosition) const;
    /// Moves the position, counted from the start, or from the end when inFromEnd. Pushes 216.
    [[nodiscard]] VError SetPos(int64_t inPosition, bool inFromEnd = false) const;
    /// Writes the file's data to its storage. Pushes 219.
    [[nodiscard]] VError Flush() const;

private:
    [[nodiscard]] VError _Report(VError inResult, VError inOperation) const;

    XPosixFileDesc fImpl;
    VFilePath fPath;
    FileAccess fAccess;
};

} // namespace vkit
