// VManifestEntry: one item of a bundle as its manifest lists it.
#pragma once

#include <cstdint>
#include <string>

namespace vkit {

/// The kinds of item a manifest lists; the letter is the one its text uses. kOther (a FIFO, a socket or
/// a device) is never written: a scan reports it so that signing and checking refuse it.
enum class EManifestKind : char { kFile = 'f', kFolder = 'd', kLink = 'l', kOther = '?' };

/// One item of a bundle: its path relative to the bundle folder (the bytes of the file system's names
/// joined by "/", never "." or ".."), its kind, its permission bits (07777), and for a file its size and
/// content digest (raw bytes), for a link its target (bytes, as the link holds it).
struct VManifestEntry {
    std::string fPath;
    EManifestKind fKind = EManifestKind::kFile;
    uint32_t fMode = 0;
    uint64_t fSize = 0;
    std::string fDigest;
    std::string fTarget;

    bool operator==(const VManifestEntry& inOther) const = default;
};

} // namespace vkit
