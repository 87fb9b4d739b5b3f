// XPosixDirectoryEntry: small helpers for the entries a folder listing returns.
#pragma once

#include <dirent.h>
#include <sys/stat.h>

namespace vkit {

/// True for the entries "." and "..", which every listing holds and no walk visits.
inline bool IsDotOrDotDot(const char* inName) noexcept {
    return inName[0] == '.' && (inName[1] == 0 || (inName[1] == '.' && inName[2] == 0));
}

/// The directory-entry type (DT_DIR, DT_REG, DT_LNK) of a stat mode; DT_UNKNOWN for any other kind.
inline unsigned char TypeFromMode(unsigned inMode) noexcept {
    if (S_ISDIR(inMode))
        return DT_DIR;
    if (S_ISREG(inMode))
        return DT_REG;
    if (S_ISLNK(inMode))
        return DT_LNK;
    return DT_UNKNOWN;
}

} // namespace vkit
