// XPosixTreeError: the outcome of a whole-tree operation: the errno of the first failure and its path.
#pragma once

#include <string>

namespace vkit {

/// What the tree copy and the forced delete report: 0 on success, otherwise the errno of the first
/// failing step, the POSIX path that step acted on and the name of the step (a system call such as
/// "copy_file_range", or "copy into itself"), so that the caller can build a message that names them.
struct XPosixTreeError {
    int fErrno = 0;
    std::string fPath;
    const char* fOperation = "";

    bool IsError() const noexcept { return fErrno != 0; }
};

} // namespace vkit
