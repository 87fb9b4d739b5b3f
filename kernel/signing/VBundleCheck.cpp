// VBundleCheck: the comparison of a scanned bundle with its manifest, and the outcome's words.
#include "signing/VBundleCheck.h"

#include "signing/VBundleManifest.h"

namespace vkit {

namespace {

const char* KindName(EManifestKind inKind) {
    switch (inKind) {
    case EManifestKind::kFile:
        return "file";
    case EManifestKind::kFolder:
        return "folder";
    case EManifestKind::kLink:
        return "link";
    default:
        return "FIFO, socket or device";
    }
}

std::string ModeText(uint32_t inMode) {
    return VBundleManifest::ModeText(inMode);
}

std::string ContentText(const VManifestEntry& inEntry) {
    return std::to_string(inEntry.fSize) + " bytes, blake2b-256 " + VBundleManifest::HexText(inEntry.fDigest);
}

/// The item in words: "file 0644, 12 bytes, blake2b-256 ...", "folder 0755", "link 0777 to <target>".
std::string ItemText(const VManifestEntry& inEntry) {
    std::string text = std::string(KindName(inEntry.fKind)) + " " + ModeText(inEntry.fMode);
    if (inEntry.fKind == EManifestKind::kFile)
        text += ", " + ContentText(inEntry);
    else if (inEntry.fKind == EManifestKind::kLink)
        text += " to " + VBundleManifest::Escape(inEntry.fTarget);
    return text;
}

VBundleCheck Difference(EBundleCheck inOutcome, const std::string& inItem, std::string inExpected,
                        std::string inFound) {
    return VBundleCheck{inOutcome, VBundleManifest::Escape(inItem), std::move(inExpected),
                        std::move(inFound)};
}

/// The difference between two entries of the same path, kAccepted when there is none.
VBundleCheck CompareEntries(const VManifestEntry& inExpected, const VManifestEntry& inFound) {
    if (inExpected.fKind != inFound.fKind)
        return Difference(EBundleCheck::kKindChanged, inExpected.fPath, KindName(inExpected.fKind),
                          KindName(inFound.fKind));
    if (inExpected.fMode != inFound.fMode)
        return Difference(EBundleCheck::kModeChanged, inExpected.fPath, ModeText(inExpected.fMode),
                          ModeText(inFound.fMode));
    if (inExpected.fSize != inFound.fSize || inExpected.fDigest != inFound.fDigest)
        return Difference(EBundleCheck::kContentChanged, inExpected.fPath, ContentText(inExpected),
                          ContentText(inFound));
    if (inExpected.fTarget != inFound.fTarget)
        return Difference(EBundleCheck::kTargetChanged, inExpected.fPath,
                          VBundleManifest::Escape(inExpected.fTarget),
                          VBundleManifest::Escape(inFound.fTarget));
    return VBundleCheck();
}

} // namespace

VBundleCheck VBundleCheck::Compare(const VBundleManifest& inExpected, const VBundleManifest& inFound) {
    const std::vector<VManifestEntry>& expected = inExpected.GetEntries();
    const std::vector<VManifestEntry>& found = inFound.GetEntries();
    VBundleCheck result;
    if (inExpected.GetRootMode() != inFound.GetRootMode())
        result = VBundleCheck{EBundleCheck::kModeChanged, ".", ModeText(inExpected.GetRootMode()),
                              ModeText(inFound.GetRootMode())};
    size_t e = 0;
    size_t f = 0;
    while (result.IsAccepted() && (e < expected.size() || f < found.size())) {
        if (f == found.size() || (e < expected.size() && expected[e].fPath < found[f].fPath))
            result =
                Difference(EBundleCheck::kItemMissing, expected[e].fPath, ItemText(expected[e]), "nothing");
        else if (e == expected.size() || found[f].fPath < expected[e].fPath)
            result = Difference(EBundleCheck::kItemAdded, found[f].fPath, "nothing", ItemText(found[f]));
        else
            result = CompareEntries(expected[e++], found[f++]);
    }
    result.fItemCount = expected.size();
    return result;
}

std::string VBundleCheck::Describe() const {
    switch (fOutcome) {
    case EBundleCheck::kAccepted:
        return "accepted";
    case EBundleCheck::kNotSigned:
        return "not signed: " + fItem + " is missing";
    case EBundleCheck::kBadSignatureFile:
        return "the signature file " + fItem + " is not valid: " + fFound;
    case EBundleCheck::kOtherKey:
        return "signed with key " + fFound + ", expected key " + fExpected;
    case EBundleCheck::kBadSignature:
        return "the signature does not match the manifest " + fItem + " (changed after signing, or forged)";
    case EBundleCheck::kBadManifest:
        return "the manifest " + fItem + " is not valid: " + fFound;
    case EBundleCheck::kItemMissing:
        return fItem + " is missing: expected " + fExpected;
    case EBundleCheck::kItemAdded:
        return fItem + " is not in the manifest: found " + fFound;
    default:
        return fItem + " does not match the manifest: expected " + fExpected + ", found " + fFound;
    }
}

} // namespace vkit
