// VBundleSignature: signing a bundle (manifest and signature written into it) and checking one.
#pragma once

#include "errors/VErrorCodes.h"
#include "signing/VBundleCheck.h"

#include <cstddef>

namespace vkit {

class VFilePath;
class VSigningPrivateKey;
class VSigningPublicKey;

/// A bundle's signature lives in the bundle: Contents/_Signature/manifest lists every other item
/// (VBundleManifest) and Contents/_Signature/signature holds the Ed25519 signature of the manifest's
/// bytes (VManifestSignature).
class VBundleSignature {
public:
    VBundleSignature() = delete;

    /// Signs the bundle folder at inBundle with inKey: creates Contents/_Signature (0755) when missing,
    /// lists and digests every item, then puts the manifest and the signature in place, each written to
    /// a temporary file, flushed and renamed. outItemCount (when given) receives the number of items
    /// listed. Pushes the file error naming the path of the item that could not be read or written (the
    /// bundle missing or read-only, for instance), or VE_SIGNING_UNSUPPORTED_ITEM or
    /// VE_SIGNING_BUNDLE_TOO_LARGE naming the item that a manifest cannot list; the bundle's earlier
    /// signature files then stay as they were.
    [[nodiscard]] static VError Sign(const VFilePath& inBundle, const VSigningPrivateKey& inKey,
                                     size_t* outItemCount = nullptr);

    /// Checks the bundle folder at inBundle: its signature must be made with inTrustedKey (with a null
    /// key, the key the signature names, which then proves only that the bundle is as its signer made
    /// it) and verify against the manifest's bytes, the manifest must be valid, and every item of the
    /// bundle must match it. Reads and digests the whole bundle. outCheck tells the outcome: accepted, or
    /// the first reason for a refusal. Returns VE_OK whatever the outcome, or the file error (pushed)
    /// naming the item that could not be read.
    [[nodiscard]] static VError Check(const VFilePath& inBundle, const VSigningPublicKey* inTrustedKey,
                                      VBundleCheck& outCheck);
};

} // namespace vkit
