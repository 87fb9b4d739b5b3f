// XPosixItemRelation: device and inode comparisons, and walks up by "..", between a source and a target.
#include "platform/posix/XPosixItemRelation.h"

#include "platform/posix/XPosixDescriptor.h"
#include "platform/posix/XPosixFileCalls.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace vkit {

namespace {

// Bounds the walk up to "/".
constexpr int kMaxFolderDepth = 4096;

bool IsSameItem(const struct stat& inOne, const struct stat& inOther) {
    return inOne.st_dev == inOther.st_dev && inOne.st_ino == inOther.st_ino;
}

/// An item as met (a link itself) and as reached (what a link names; the link itself when it dangles).
struct ItemPair {
    struct stat fMet;
    struct stat fReached;

    bool Shares(const ItemPair& inOther) const {
        return IsSameItem(fMet, inOther.fMet) || IsSameItem(fMet, inOther.fReached) ||
               IsSameItem(fReached, inOther.fMet) || IsSameItem(fReached, inOther.fReached);
    }
};

/// Reads the item inName of the open folder inFolder; false when it does not exist.
bool ReadItem(int inFolder, const char* inName, ItemPair& outItem) {
    if (::fstatat(inFolder, inName, &outItem.fMet, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (!S_ISLNK(outItem.fMet.st_mode) || ::fstatat(inFolder, inName, &outItem.fReached, 0) != 0)
        outItem.fReached = outItem.fMet;
    return true;
}

/// An O_PATH descriptor of the folder inPath, links resolved (search permission is enough).
int OpenFolder(const std::string& inPath) {
    return RetryAfterSignal([&] { return ::open(inPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC); });
}

/// The folder part and the last component of a path without trailing "/".
void Split(const std::string& inPath, std::string& outFolder, std::string& outName) {
    size_t slash = inPath.rfind('/');
    outFolder = slash == std::string::npos ? "." : (slash == 0 ? "/" : inPath.substr(0, slash));
    outName = slash == std::string::npos ? inPath : inPath.substr(slash + 1);
}

/// Opens (O_PATH, links resolved) the folder inPath, or the nearest of its ancestors that exists;
/// outIsItself tells which.
XPosixDescriptor OpenNearestFolder(std::string inPath, bool& outIsItself) {
    outIsItself = true;
    for (;;) {
        XPosixDescriptor folder(OpenFolder(inPath));
        if (folder.IsValid() || inPath == "/" || inPath == ".")
            return folder;
        outIsItself = false;
        std::string name;
        Split(WithoutTrailingSlash(inPath), inPath, name);
    }
}

} // namespace

bool XPosixItemRelation::IsSameOrInside(int inFolder, const struct stat& inItem) {
    if (!S_ISDIR(inItem.st_mode))
        return false;
    XPosixDescriptor current(::fcntl(inFolder, F_DUPFD_CLOEXEC, 0));
    for (int depth = 0; current.IsValid() && depth < kMaxFolderDepth; ++depth) {
        struct stat status;
        if (::fstat(current.Get(), &status) != 0)
            return false;
        if (IsSameItem(status, inItem))
            return true;
        XPosixDescriptor parent(::openat(current.Get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        struct stat parentStatus;
        if (!parent.IsValid() || ::fstat(parent.Get(), &parentStatus) != 0 ||
            IsSameItem(parentStatus, status))
            return false;
        current = std::move(parent);
    }
    return false;
}

EItemRelation XPosixItemRelation::Relate(const std::string& inSource, const std::string& inTarget) {
    std::string folder;
    std::string name;
    Split(WithoutTrailingSlash(inSource), folder, name);
    XPosixDescriptor sourceParent(OpenFolder(folder));
    ItemPair source;
    if (!sourceParent.IsValid() || !ReadItem(sourceParent.Get(), name.c_str(), source))
        return EItemRelation::kApart;

    Split(WithoutTrailingSlash(inTarget), folder, name);
    bool parentIsItself = false;
    XPosixDescriptor targetParent = OpenNearestFolder(folder, parentIsItself);
    if (!targetParent.IsValid())
        return EItemRelation::kApart;
    ItemPair target;
    bool targetExists = parentIsItself && ReadItem(targetParent.Get(), name.c_str(), target);
    if (targetExists && target.Shares(source))
        return EItemRelation::kSame;
    if (IsSameOrInside(targetParent.Get(), source.fMet) ||
        IsSameOrInside(targetParent.Get(), source.fReached))
        return EItemRelation::kTargetInsideSource;
    if (targetExists && S_ISDIR(target.fReached.st_mode)) {
        // The source as named (its folder) and as reached (a link to a folder elsewhere).
        XPosixDescriptor reached(S_ISDIR(source.fReached.st_mode) ? OpenFolder(inSource) : -1);
        if (IsSameOrInside(sourceParent.Get(), target.fReached) ||
            (reached.IsValid() && IsSameOrInside(reached.Get(), target.fReached)))
            return EItemRelation::kTargetHoldsSource;
    }
    return EItemRelation::kApart;
}

} // namespace vkit
