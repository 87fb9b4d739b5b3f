// Platform side of the command line's path values: a text resolved to the real path of what it names.
#pragma once

#include <string>

namespace vkit {

/// Resolution of a path text given on the command line against the disk.
class XPosixRealPath {
public:
    XPosixRealPath() = delete;

    /// Resolves the UTF-8 text with realpath(3) (relative texts against the working folder, symbolic
    /// links followed) into outResolved, with a trailing "/" when stat(2) reports a directory. Returns
    /// false, outResolved emptied, when the text names nothing that exists or cannot be resolved.
    static bool Resolve(const std::string& inPath, std::string& outResolved);
};

} // namespace vkit
