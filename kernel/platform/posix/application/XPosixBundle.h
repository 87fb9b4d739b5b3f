// XPosixBundle: the Linux fact behind the main-bundle queries: where the running executable lies.
#pragma once

#include <string>

namespace vkit {

class XPosixBundle {
public:
    XPosixBundle() = delete;

    /// The POSIX path of the running executable, read from /proc/self/exe (symbolic links resolved).
    /// Returns false, outPath emptied, when the link cannot be read or the executable was deleted.
    static bool GetExecutablePath(std::string& outPath);
};

} // namespace vkit
