// XPosixFileFlags: the immutable attribute of Linux items, which the library shows as "locked".
#pragma once

#include "errors/VErrorCodes.h"

#include <string>

namespace vkit {

/// Reads and changes the immutable attribute (FS_IMMUTABLE_FL, "chattr +i") of regular files and
/// directories. Symbolic links, special files and file systems without attributes are never locked.
class XPosixFileFlags {
public:
    XPosixFileFlags() = delete;

    /// outLocked receives whether the item is immutable; with inFollow a final symbolic link is
    /// followed. Answers 0 or the POSX error of the lookup.
    [[nodiscard]] static VError IsLocked(const std::string& inPath, bool inFollow, bool& outLocked);
    /// outFrozen receives whether the item itself (a link is not followed) is immutable or append-only:
    /// either attribute forbids renaming or removing it, and in a folder, taking any entry out of it.
    /// Answers 0 or the POSX error of the lookup.
    [[nodiscard]] static VError IsFrozen(const std::string& inPath, bool& outFrozen);
    /// Sets or clears the immutable attribute of the item itself (a link is not followed; changing a
    /// link answers ELOOP). Needs the CAP_LINUX_IMMUTABLE capability: EPERM without it.
    [[nodiscard]] static VError SetLocked(const std::string& inPath, bool inLocked);
};

} // namespace vkit
