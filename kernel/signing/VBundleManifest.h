// VBundleManifest: the list of a bundle's items that a signature covers, and its versioned text form.
#pragma once

#include "errors/VErrorCodes.h"
#include "signing/VManifestEntry.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vkit {

class VFilePath;

/// Every item of a bundle but the signature files, sorted by path, with the bundle folder's own mode.
///
/// Text form, version 1 (ASCII, each line ending with a line feed, fields separated by one space):
///     zq-manifest 1
///     digest blake2b-256
///     root <mode>
///     d <mode> <path>                     a folder
///     f <mode> <size> <digest> <path>     a file
///     l <mode> <path> <target>            a symbolic link
/// <mode> is four octal digits (the permission bits), <size> a decimal number without leading zeros,
/// <digest> the BLAKE2b-256 of the content in 64 lowercase hexadecimal digits. <path> (relative to the
/// bundle folder) and <target> are bytes in which every byte outside "!" to "~", and "%" itself, is
/// written %XX (two uppercase hexadecimal digits), and no other byte is. The entries are sorted by the
/// bytes of their paths, each path at most once, each one's parent folder listed before it.
///
/// The parser accepts only that exact form, so that one manifest has one text: no "." or ".." names, no
/// absolute path, no empty name, no path of the signature files, nothing above the limits below.
class VBundleManifest {
public:
    /// The format version this code writes and reads.
    static constexpr int kFormatVersion = 1;
    /// Where a bundle keeps its manifest and the manifest's signature; neither is listed.
    static constexpr std::string_view kFolderPath = "Contents/_Signature";
    static constexpr std::string_view kManifestPath = "Contents/_Signature/manifest";
    static constexpr std::string_view kSignaturePath = "Contents/_Signature/signature";

    /// Limits of what a manifest may hold, which the parser enforces and a scan checks.
    static constexpr size_t kMaxTextSize = 64 * 1024 * 1024;
    static constexpr size_t kMaxEntries = 1000000;
    static constexpr size_t kMaxPathSize = 4096;
    static constexpr size_t kMaxNameSize = 255;
    static constexpr uint64_t kMaxFileSize = uint64_t{1} << 40;

    /// Why a text was refused: its line (1 for the first) and the reason.
    struct ParseFailure {
        size_t fLine = 0;
        std::string fReason;
    };

    /// No entry, root mode 0.
    VBundleManifest() = default;

    /// Lists every item of the bundle folder at inBundle but the signature files, reading and hashing the
    /// files on every processor. Pushes the file error naming the path of the item that could not be read
    /// (the manifest then stays empty). FIFOs, sockets and devices are listed as EManifestKind::kOther.
    [[nodiscard]] VError Scan(const VFilePath& inBundle);

    /// The text form. The entries must be valid and sorted, as Scan and Parse leave them.
    std::string Write() const;
    /// Reads a text form; returns false, the manifest emptied, and tells where and why when the text is
    /// not exactly one written by Write within the limits.
    bool Parse(std::string_view inText, ParseFailure& outFailure);

    /// The first entry that a manifest's text cannot hold (an item of kind kOther, a path, name or size
    /// above the limits), or null. outReason tells why.
    const VManifestEntry* FindUnwritable(std::string& outReason) const;

    /// The entries, and the bundle folder's own permission bits.
    const std::vector<VManifestEntry>& GetEntries() const noexcept { return fEntries; }
    std::vector<VManifestEntry>& GetEntries() noexcept { return fEntries; }
    uint32_t GetRootMode() const noexcept { return fRootMode; }
    void SetRootMode(uint32_t inMode) noexcept { fRootMode = inMode; }

    /// A path or target as the text writes it (see above): how an item is named to people, unambiguously.
    static std::string Escape(std::string_view inBytes);
    /// Permission bits as four octal digits ("0755"), and bytes as lowercase hexadecimal digits.
    static std::string ModeText(uint32_t inMode);
    static std::string HexText(std::string_view inBytes);
    /// True for the paths of the signature files, which a manifest never lists.
    static bool IsSignatureFile(std::string_view inPath) noexcept;

private:
    bool _ParseEntry(std::string_view inLine, std::string& outReason);
    bool _CheckPath(const VManifestEntry& inEntry, std::string& outReason) const;

    std::vector<VManifestEntry> fEntries;
    uint32_t fRootMode = 0;
};

} // namespace vkit
