// XPosixTreeSpace: a walk with the folder reader, fstatat on each item, hard links counted once.
#include "platform/posix/files/XPosixTreeSpace.h"

#include "platform/posix/shared/XPosixFolderReader.h"
#include "platform/posix/shared/XPosixPathText.h"

#include <set>
#include <string>
#include <sys/stat.h>
#include <utility>

namespace vkit {

namespace {

constexpr uint64_t kBlockBytes = 512;

class TreeWalk {
public:
    /// Adds the item's blocks, unless it is a hard link to an item already counted.
    void Count(const struct stat& inItem) {
        if (!S_ISDIR(inItem.st_mode) && inItem.st_nlink > 1 &&
            !fLinked.emplace(inItem.st_dev, inItem.st_ino).second)
            return;
        fBytes += static_cast<uint64_t>(inItem.st_blocks) * kBlockBytes;
    }

    /// Counts every item of the open folder inFolder (at inPath), sub-folders depth first.
    XPosixTreeError Visit(XPosixFolderReader& ioFolder, const std::string& inPath) {
        XPosixFolderEntry entry;
        while (ioFolder.Next(entry)) {
            struct stat item;
            if (::fstatat(ioFolder.Get(), entry.fName, &item, AT_SYMLINK_NOFOLLOW) != 0) {
                int error = errno;
                if (error == ENOENT) // removed since it was listed
                    continue;
                return XPosixTreeError{error, JoinPath(inPath, entry.fName), "fstatat"};
            }
            Count(item);
            if (!S_ISDIR(item.st_mode))
                continue;
            XPosixFolderReader sub;
            std::string subPath = JoinPath(inPath, entry.fName);
            if (int error = sub.Open(ioFolder.Get(), entry.fName, false); error != 0) {
                if (error == ENOENT)
                    continue;
                return XPosixTreeError{error, subPath, "open"};
            }
            if (XPosixTreeError failure = Visit(sub, subPath); failure.IsError())
                return failure;
        }
        if (int error = ioFolder.GetError(); error != 0)
            return XPosixTreeError{error, JoinPath(inPath, ioFolder.GetFailedName()),
                                   ioFolder.GetFailedStep()};
        return XPosixTreeError();
    }

    uint64_t GetBytes() const noexcept { return fBytes; }

private:
    uint64_t fBytes = 0;
    std::set<std::pair<dev_t, ino_t>> fLinked;
};

} // namespace

XPosixTreeError XPosixTreeSpace::Measure(std::string_view inRoot, uint64_t& outBytes) {
    outBytes = 0;
    std::string root(WithoutTrailingSlashes(inRoot));
    struct stat item;
    if (::stat(root.c_str(), &item) != 0) {
        int error = errno;
        return XPosixTreeError{error, root, "stat"};
    }
    TreeWalk walk;
    walk.Count(item);
    if (S_ISDIR(item.st_mode)) {
        XPosixFolderReader folder;
        if (int error = folder.Open(AT_FDCWD, root.c_str(), true); error != 0)
            return XPosixTreeError{error, root, "open"};
        if (XPosixTreeError failure = walk.Visit(folder, root); failure.IsError())
            return failure;
    }
    outBytes = walk.GetBytes();
    return XPosixTreeError();
}

} // namespace vkit
