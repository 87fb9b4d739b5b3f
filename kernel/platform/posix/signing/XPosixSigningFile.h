// XPosixSigningFile: the small files of signing: key files, manifests and signatures, read and written
// whole.
#pragma once

#include "platform/posix/files/XPosixTreeError.h"

#include <string>
#include <string_view>
#include <sys/types.h>

namespace vkit {

/// Whole-file reads and writes for keys and signature files. Each answers success or the errno, the
/// step and the path (empty: the path the caller gave) of the failure.
class XPosixSigningFile {
public:
    XPosixSigningFile() = delete;

    /// Reads the regular file inPath, a final link not followed (ELOOP), at most inLimit bytes (EFBIG
    /// beyond; EINVAL for an item that is not a regular file).
    [[nodiscard]] static XPosixTreeError Read(const std::string& inPath, size_t inLimit,
                                              std::string& outContent);

    /// Creates inPath, which must not exist (EEXIST; a link there is not followed), with inMode, writes
    /// inContent and flushes it; a file that could not be completed is removed.
    [[nodiscard]] static XPosixTreeError WriteNew(const std::string& inPath, std::string_view inContent,
                                                  mode_t inMode);

    /// Puts inContent at inFolder/inName in one step: written to a temporary file of the folder, flushed,
    /// then renamed over inName, so that the name holds the old content or the new one, never a part.
    [[nodiscard]] static XPosixTreeError Replace(const std::string& inFolder, const std::string& inName,
                                                 std::string_view inContent, mode_t inMode);

    /// inPath made absolute against the working folder (unchanged when it begins with "/"; as given when
    /// the working folder cannot be read).
    static std::string Absolute(const std::string& inPath);

    /// Creates the folder inPath with inMode unless a folder is there already (a link is not one).
    [[nodiscard]] static XPosixTreeError MakeFolder(const std::string& inPath, mode_t inMode);
};

} // namespace vkit
