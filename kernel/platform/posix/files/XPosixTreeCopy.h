// XPosixTreeCopy: the one-call copy of a whole tree onto a missing destination, complete or absent.
#pragma once

#include "platform/posix/files/XPosixTreeError.h"

#include <string_view>

namespace vkit {

/// The copy behind VFolder::CopyTo with kCopyOverwrite onto a missing destination (the update's copy).
///
/// The tree is built in a hidden temporary sibling of the destination, ".<name>.copy-XXXXXX" (the name
/// shortened when needed), on the destination's file system, by a walker and a pool of worker threads
/// (XPosixTreeCopyRun): regular files by reflink, else copy_file_range, else read/write; symbolic links
/// as links, never followed; FIFOs, sockets and devices are skipped (as the item-by-item copy skips
/// them); permission bits, access and modification times kept (folders' once their content is in), and
/// owners when the process runs as root. The file system is flushed (syncfs) while the copy runs, by a
/// thread of its own, and once more at the end; the temporary is then renamed into place with
/// renameat2(RENAME_NOREPLACE), so that an item which appeared meanwhile is never replaced; where the
/// file system refuses the flag, a plain rename follows a check that the destination is still missing.
/// The destination is therefore either absent or complete, also when the process is killed: the
/// temporary is locked (flock) while the copy runs, and a later copy to the same destination removes
/// temporaries that no living copy holds.
class XPosixTreeCopy {
public:
    XPosixTreeCopy() = delete;

    /// Copies the folder inSource (a link naming it is followed; links inside it are not) to
    /// inDestination, which must not exist; its parent must. inThreads worker threads (0: one per
    /// processor, at most 8). Returns success, or the errno of the first failure with the path it concerns
    /// (a source item, or the destination item being written, named under inDestination) and the step:
    /// EEXIST when the destination exists, EINVAL when it lies inside the source or names no item
    /// (empty, "/", "." or ".."). On failure the temporary is removed and the destination does not exist.
    [[nodiscard]] static XPosixTreeError Copy(std::string_view inSource, std::string_view inDestination,
                                              unsigned inThreads = 0);
};

} // namespace vkit
