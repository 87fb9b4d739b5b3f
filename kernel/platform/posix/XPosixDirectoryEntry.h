// XPosixDirectoryEntry: small helpers for the entries a folder listing returns.
#pragma once

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

namespace vkit {

/// True for the entries "." and "..", which every listing holds and no walk visits.
inline bool IsDotOrDotDot(const char* inName) noexcept {
    return inName[0] == '.' && (inName[1] == 0 || (inName[1] == '.' && inName[2] == 0));
}

/// The next entry of a listing, or null at its end or on a failure: outError receives readdir's errno
/// then, 0 at the end. errno is cleared before each read, so that an error left by a call made between
/// two reads (the lookup of an entry that has vanished since) is never taken for the listing's.
inline struct dirent* ReadEntry(DIR* inListing, int& outError) noexcept {
    errno = 0;
    struct dirent* entry = ::readdir(inListing);
    outError = entry == nullptr ? errno : 0;
    return entry;
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
