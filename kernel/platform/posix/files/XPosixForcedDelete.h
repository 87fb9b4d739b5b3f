// XPosixForcedDelete: removes a whole tree, lifting the locks and permissions that would stop it.
#pragma once

#include "platform/posix/files/XPosixTreeError.h"

#include <string>
#include <string_view>

namespace vkit {

/// The forced delete behind VFolder::DeleteForced. The tree is walked physically, each item reached
/// from its folder's descriptor (subtrees more than 64 folders deep with fts, by path): symbolic
/// links are removed, never followed, so nothing outside the tree is touched. Each folder is unlocked
/// before its content is read (immutable and append-only attributes cleared where the process may,
/// owner read, write and search added when the process is root or owns it), items are removed after
/// their content, and an item whose removal fails is unlocked and removed once more. The parent folder
/// is unlocked and, for an owner that is not root, made writable for the duration, then given back its
/// attributes and mode.
class XPosixForcedDelete {
public:
    XPosixForcedDelete() = delete;

    /// Removes inPath (a folder, or a file or link, which is removed alone) and everything in it.
    /// Returns success, or the errno and path of the first failure, where the walk stops ("/", an empty
    /// path and a path whose last component is "." or ".." give EINVAL, nothing removed; a missing path
    /// gives ENOENT). A failure to give the parent back its
    /// mode or attributes does not change the result: it goes to outRestoreError when given.
    [[nodiscard]] static XPosixTreeError Delete(std::string_view inPath,
                                                XPosixTreeError* outRestoreError = nullptr);
};

} // namespace vkit
