// VBundleCheck: the outcome of checking a bundle against its signed manifest, with the first mismatch.
#pragma once

#include <cstddef>
#include <string>

namespace vkit {

class VBundleManifest;

/// Why a bundle was refused, or kAccepted.
enum class EBundleCheck {
    kAccepted,
    kNotSigned,        ///< no manifest or no signature file (fItem names the one missing)
    kBadSignatureFile, ///< the signature file is not one (fFound: why)
    kOtherKey,         ///< signed with another key (fExpected, fFound: the two keys' texts)
    kBadSignature,     ///< the signature does not verify: the manifest was changed, or forged
    kBadManifest,      ///< the signed manifest is not a valid one (fFound: line and reason)
    kItemMissing,      ///< fItem is listed and absent (fExpected: what was listed)
    kItemAdded,        ///< fItem is present and not listed (fFound: what it is)
    kKindChanged,      ///< fItem is of another kind (folder, file, link, other)
    kModeChanged,      ///< fItem has other permission bits (four octal digits)
    kContentChanged,   ///< fItem, a file, has another size or content
    kTargetChanged,    ///< fItem, a link, points elsewhere
};

/// The outcome of a check: accepted, or the reason with the item concerned ("." for the bundle folder
/// itself; paths and targets escaped as in the manifest) and what was expected and found, in words.
struct VBundleCheck {
    EBundleCheck fOutcome = EBundleCheck::kAccepted;
    std::string fItem;
    std::string fExpected;
    std::string fFound;
    /// The number of items the manifest lists, once it was read.
    size_t fItemCount = 0;

    bool IsAccepted() const noexcept { return fOutcome == EBundleCheck::kAccepted; }
    /// One English sentence saying what was refused and why; "accepted" when nothing was.
    std::string Describe() const;

    /// The first difference between a bundle's manifest and the one scanned from the bundle, in path
    /// order; kAccepted when they are the same.
    static VBundleCheck Compare(const VBundleManifest& inExpected, const VBundleManifest& inFound);
};

} // namespace vkit
