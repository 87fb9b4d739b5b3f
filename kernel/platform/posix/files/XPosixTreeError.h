// XPosixTreeError: the outcome of a whole-tree operation: the errno of the first failure, its path and step.
#pragma once

#include "platform/posix/files/XPosixFileCalls.h"

#include <string>

namespace vkit {

/// What the tree copy, the forced delete and the folder move report: 0 on success, otherwise the errno
/// of the first failing step, the POSIX path that step acted on (empty when it is the item the caller
/// named) and the name of the step (a system call such as "copy_file_range", or "copy into itself"), so
/// that the caller can build a message that names them.
struct XPosixTreeError {
    int fErrno = 0;
    std::string fPath;
    const char* fOperation = "";

    bool IsError() const noexcept { return fErrno != 0; }
    /// 0, or the POSX code of the failure.
    [[nodiscard]] VError GetCode() const noexcept { return VErrorFromErrno(fErrno); }
};

} // namespace vkit
