// XPosixTreeCopy: the one-call copy of a whole tree onto a missing destination, complete or absent.
#pragma once

#include "platform/posix/files/XPosixTreeError.h"

#include <string_view>

namespace vkit {

/// The copy behind VFolder::CopyTo with kCopyOverwrite (the update's copy).
///
/// The tree is built in a hidden temporary sibling of the destination, ".<name>.copy-XXXXXX" (the name
/// shortened when needed), on the destination's file system, by a walker and a pool of worker threads
/// (XPosixTreeCopyRun): regular files by reflink, else copy_file_range, else read/write; symbolic links
/// as links, never followed; FIFOs, sockets and devices are skipped (as the item-by-item copy skips
/// them); permission bits, access and modification times kept (folders' once their content is in), and
/// owners when the process runs as root. The file system is flushed (syncfs) while the copy runs, by a
/// thread of its own, and once more at the end; the temporary then takes the destination's place and
/// the parent folder is flushed (fsync), so that the new name is on disk when the call returns.
///
/// Onto a missing destination the temporary is renamed with renameat2(RENAME_NOREPLACE), so that an
/// item which appeared meanwhile is never replaced; where the file system refuses the flag, a plain
/// rename follows a check that the destination is still missing. Onto an existing folder (CopyReplacing)
/// nothing is ever written into that folder: the complete temporary is exchanged with it in one step
/// (renameat2 RENAME_EXCHANGE), and the former folder, which then bears the temporary's name, is
/// removed. Where the file system cannot exchange (EINVAL, ENOSYS), the former folder is renamed aside
/// (".<name>.former-XXXXXX") and the copy renamed into its place (the first rename undone when the second
/// fails): between the two renames the destination is missing, never partial, and a process killed there
/// leaves the former folder under that name, which nothing removes.
///
/// The destination is therefore as it was or complete, also when the process is killed: the temporaries
/// are locked (flock) while the copy runs, and a later copy to the same destination removes those that
/// no living copy holds, a former folder that a killed copy had exchanged among them.
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
    /// As Copy, but a folder at inDestination (not a link to one) is replaced by the copy, as said above;
    /// EEXIST for another kind of item there, EINVAL for a folder that is the source or holds it. outInPlace
    /// tells whether the copy reached its place. Until then a failure leaves the destination as it was and
    /// removes the temporary. After it (the flush of the parent, the removal of the former folder failing)
    /// the copy stays in place, complete, and the failure names what could not be flushed or removed; the
    /// former folder's remains are left under their hidden name, which the next copy to the same destination
    /// removes.
    [[nodiscard]] static XPosixTreeError CopyReplacing(std::string_view inSource,
                                                       std::string_view inDestination, bool& outInPlace,
                                                       unsigned inThreads = 0);

private:
    [[nodiscard]] static XPosixTreeError _Copy(std::string_view inSource, std::string_view inDestination,
                                               bool inReplace, bool& outInPlace, unsigned inThreads);
};

} // namespace vkit
