// XPosixTreeSpace: the disk space a whole tree takes, in allocated blocks.
#pragma once

#include "platform/posix/files/XPosixTreeError.h"

#include <cstdint>
#include <string_view>

namespace vkit {

/// Sums the space allocated to every item of a tree, as the disk counts it: st_blocks of 512 bytes, not
/// the apparent sizes (a sparse file counts what it holds, a small file a whole block), folders and
/// symbolic links included, each item with several hard links once. One walk with the folder reader,
/// each item looked up from its folder's descriptor, links never followed inside the tree.
class XPosixTreeSpace {
public:
    XPosixTreeSpace() = delete;

    /// outBytes receives the space of inRoot (a link naming it is followed) and of everything in it; a
    /// file alone gives its own. Returns success, or the errno, step and path of the first item that
    /// could not be read (an item that vanished during the walk is skipped). A tree deeper than the
    /// descriptors the process may open fails with EMFILE.
    [[nodiscard]] static XPosixTreeError Measure(std::string_view inRoot, uint64_t& outBytes);
};

} // namespace vkit
