// XPosixFileCopier: the copy of one file or symbolic link, keeping its permission bits and times.
#pragma once

#include "errors/VErrorCodes.h"

#include <cstdint>
#include <string>

namespace vkit {

/// Copies single items the way "cp -a" does: a regular file's data by reflink (FICLONE) where the file
/// system shares blocks, else copy_file_range, else read and write; a symbolic link as a link (never
/// followed); permission bits and the modification and access times kept.
class XPosixFileCopier {
public:
    XPosixFileCopier() = delete;

    /// Copies the item at inSource to inTarget, which must not exist (EEXIST otherwise; a link there is
    /// never followed). Directories answer EISDIR, FIFOs, sockets and devices ENOTSUP. A partial target
    /// is removed on failure. Answers 0 or the POSX error of the failing call.
    [[nodiscard]] static VError CopyItem(const std::string& inSource, const std::string& inTarget);

    /// Copies everything from inFrom's offset 0 to its end into inTo at offset 0. Answers 0 or the POSX
    /// error of the failing call.
    [[nodiscard]] static VError CopyData(int inFrom, int inTo);

private:
    [[nodiscard]] static VError _CopyLink(const std::string& inSource, const std::string& inTarget);
    [[nodiscard]] static VError _CopyRegularFile(const std::string& inSource, const std::string& inTarget);
    [[nodiscard]] static VError _CopyRange(int inFrom, int inTo, int64_t& ioCopied, bool& outUnsupported);
    [[nodiscard]] static VError _CopyByReadWrite(int inFrom, int inTo, int64_t inOffset);
};

} // namespace vkit
