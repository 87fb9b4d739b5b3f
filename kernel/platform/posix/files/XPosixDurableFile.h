// XPosixDurableFile: whole-content writes and removals of small files that are on disk when they return.
#pragma once

#include "platform/posix/files/XPosixTreeError.h"

#include <cstddef>
#include <string>

namespace vkit {

/// Writes and removals meant for a journal: after a crash, the file holds its former content or its new
/// one, never a mix, and a call that returned has reached the disk.
class XPosixDurableFile {
public:
    XPosixDurableFile() = delete;

    /// Replaces the whole content of the file inPath: the data go to a new hidden sibling
    /// (".<name>.tmp-XXXXXX", mode 0644 less the umask, or the permission bits of the file it replaces),
    /// which is flushed (fsync) and renamed over inPath (a symbolic link there is replaced, not
    /// followed); the folder is then flushed, so that the new name is on disk. The folder must exist.
    /// Returns success, or the errno, step and path (the temporary, the file or the folder) of the first
    /// failure; the temporary is then removed and the file left as it was, except after a failed flush
    /// of the folder, when the new content is in place but may not be on disk yet. A process killed
    /// before the rename may leave its temporary behind.
    [[nodiscard]] static XPosixTreeError Replace(const std::string& inPath, const void* inData,
                                                 size_t inSize);

    /// Removes the file (or link) inPath, nothing there being no error, then flushes its folder so that
    /// the removal is on disk. Returns success, or the errno, step and path of the failure.
    [[nodiscard]] static XPosixTreeError Remove(const std::string& inPath);
};

} // namespace vkit
