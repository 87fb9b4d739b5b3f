// XPosixBundleScan: the walk of a bundle's tree that lists every item and digests every file's bytes.
#pragma once

#include "platform/posix/files/XPosixTreeError.h"
#include "signing/IContentDigest.h"
#include "signing/VManifestEntry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vkit {

/// Lists a tree without following any link inside it: each item's relative path (names as bytes joined
/// by "/"), kind, permission bits, and for a link its target (readlinkat), for a regular file its size
/// and digest. The calling thread walks the folders through their descriptors (getdents64, fstatat);
/// the files are opened from their folder's descriptor (O_NOFOLLOW) and read by a pool of threads, one
/// per processor, each feeding its clone of the digest. A file's size and mode are those of its open
/// descriptor, so an item replaced between the listing and the read is read as it is then, or refused
/// when it is no longer a regular file.
class XPosixBundleScan {
public:
    XPosixBundleScan() = delete;

    /// Scans the folder inRoot (a link naming it is followed). outEntries gets the items in the order of
    /// the walk, outRootMode the root's permission bits. inThreads reading threads (0: one per processor
    /// available to the process, at most 8). Returns success, or the errno of the first failure, the
    /// path of the item concerned (under inRoot) and the step.
    [[nodiscard]] static XPosixTreeError Scan(const std::string& inRoot, const IContentDigest& inDigest,
                                              std::vector<VManifestEntry>& outEntries, uint32_t& outRootMode,
                                              unsigned inThreads = 0);
};

} // namespace vkit
