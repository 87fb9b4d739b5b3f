// XPosixItemRelation: device and inode comparisons, and walks up by "..", between a source and a target.
#include "platform/posix/files/XPosixItemRelation.h"

#include "platform/posix/shared/XPosixDescriptor.h"
#include "platform/posix/shared/XPosixPathText.h"

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
XPosixDescriptor OpenFolder(std::string_view inPath) {
    return XPosixDescriptor::OpenAt(AT_FDCWD, std::string(inPath).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

/// Opens (O_PATH, links resolved) the folder inPath, or the nearest of its ancestors that exists;
/// outIsItself tells which.
XPosixDescriptor OpenNearestFolder(std::string_view inPath, bool& outIsItself) {
    outIsItself = true;
    for (;;) {
        XPosixDescriptor folder = OpenFolder(inPath);
        if (folder.IsValid() || inPath == "/" || inPath == ".")
            return folder;
        outIsItself = false;
        inPath = SplitPath(inPath).fParent;
    }
}

} // namespace

bool XPosixItemRelation::IsSameOrInside(int inFolder, const struct stat& inItem) {
    if (!S_ISDIR(inItem.st_mode))
        return false;
    XPosixDescriptor current = XPosixDescriptor::Duplicate(inFolder);
    for (int depth = 0; current.IsValid() && depth < kMaxFolderDepth; ++depth) {
        struct stat status;
        if (::fstat(current.Get(), &status) != 0)
            return false;
        if (IsSameItem(status, inItem))
            return true;
        XPosixDescriptor parent =
            XPosixDescriptor::OpenAt(current.Get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
        struct stat parentStatus;
        if (!parent.IsValid() || ::fstat(parent.Get(), &parentStatus) != 0 ||
            IsSameItem(parentStatus, status))
            return false;
        current = std::move(parent);
    }
    return false;
}

EItemRelation XPosixItemRelation::Relate(const std::string& inSource, const std::string& inTarget) {
    XPosixPathParts sourceParts = SplitPath(inSource);
    XPosixDescriptor sourceParent = OpenFolder(sourceParts.fParent);
    ItemPair source;
    if (!sourceParent.IsValid() ||
        !ReadItem(sourceParent.Get(), std::string(sourceParts.fName).c_str(), source))
        return EItemRelation::kApart;

    XPosixPathParts targetParts = SplitPath(inTarget);
    bool parentIsItself = false;
    XPosixDescriptor targetParent = OpenNearestFolder(targetParts.fParent, parentIsItself);
    if (!targetParent.IsValid())
        return EItemRelation::kApart;
    ItemPair target;
    bool targetExists =
        parentIsItself && ReadItem(targetParent.Get(), std::string(targetParts.fName).c_str(), target);
    if (targetExists && target.Shares(source))
        return EItemRelation::kSame;
    if (IsSameOrInside(targetParent.Get(), source.fMet) ||
        IsSameOrInside(targetParent.Get(), source.fReached))
        return EItemRelation::kTargetInsideSource;
    if (targetExists && S_ISDIR(target.fReached.st_mode)) {
        // The source as named (its folder) and as reached (a link to a folder elsewhere).
        XPosixDescriptor reached =
            S_ISDIR(source.fReached.st_mode) ? OpenFolder(inSource) : XPosixDescriptor();
        if (IsSameOrInside(sourceParent.Get(), target.fReached) ||
            (reached.IsValid() && IsSameOrInside(reached.Get(), target.fReached)))
            return EItemRelation::kTargetHoldsSource;
    }
    return EItemRelation::kApart;
}

} // namespace vkit
