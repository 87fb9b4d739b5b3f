// VManifestSignature: the detached signature of a bundle's manifest and its text form.
#pragma once

#include "signing/VSigningPublicKey.h"

#include <string>
#include <string_view>

namespace vkit {

/// The Ed25519 signature of a manifest's bytes and the key it was made with. Text form, version 1:
///     zq-signature 1
///     key <the public key's text, as ZQPublicEDKey declares it>
///     ed25519 <the 64-byte signature in padded base64>
/// each line ending with a line feed. The key only names which key signed: a check verifies with the
/// key it trusts, never with this one.
class VManifestSignature {
public:
    /// A signature file is three short lines.
    static constexpr size_t kMaxTextSize = 512;

    /// No signature: Parse fills it.
    VManifestSignature() = default;
    /// The signature inSignature (64 bytes) made with inKey.
    VManifestSignature(const VSigningPublicKey& inKey, std::string inSignature)
        : fKey(inKey), fSignature(std::move(inSignature)) {}

    /// The text form.
    std::string Write() const;
    /// Reads the text form; false, outReason set, unless inText is exactly such a text.
    bool Parse(std::string_view inText, std::string& outReason);

    /// The key the signature names, and the signature's 64 bytes.
    const VSigningPublicKey& GetKey() const noexcept { return fKey; }
    const std::string& GetSignature() const noexcept { return fSignature; }

private:
    VSigningPublicKey fKey;
    std::string fSignature;
};

} // namespace vkit
