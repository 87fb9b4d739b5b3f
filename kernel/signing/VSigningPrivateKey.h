// VSigningPrivateKey: an Ed25519 private key: its making, its key file and the signatures it makes.
#pragma once

#include "errors/VErrorCodes.h"
#include "signing/VSigningPublicKey.h"

#include <array>
#include <string>
#include <string_view>

namespace vkit {

class VFilePath;

/// An Ed25519 private key (libsodium's 64-byte form: the seed, then the public key), wiped from memory
/// when the object ends. Its file is text:
///     zq-private-key 1
///     ed25519 <the 64 bytes in padded base64>
class VSigningPrivateKey {
public:
    static constexpr size_t kSize = 64;

    /// No key: signs nothing until Generate or a read.
    VSigningPrivateKey() = default;
    /// Wipes the key's bytes.
    ~VSigningPrivateKey();
    VSigningPrivateKey(const VSigningPrivateKey&) = delete;
    VSigningPrivateKey& operator=(const VSigningPrivateKey&) = delete;

    /// Makes a new key from the system's random source. False when libsodium cannot start.
    bool Generate();
    /// True once a key was made or read.
    bool IsValid() const noexcept { return fValid; }
    /// The public half.
    VSigningPublicKey GetPublicKey() const;
    /// The detached signature (64 bytes) of inMessage.
    std::string Sign(std::string_view inMessage) const;

    /// The key file's text, and its inverse: false, outReason set and the key unchanged, when inText is
    /// not such a text or its public half does not belong to its seed.
    std::string ToText() const;
    bool FromText(std::string_view inText, std::string& outReason);

    /// Writes the key file at inPath, which must not exist (never overwritten: O_EXCL), readable by its
    /// owner only (0600), flushed to disk. Pushes the file error naming the path on failure (EEXIST when
    /// it exists); a file that could not be completed is removed.
    [[nodiscard]] VError WriteNewFile(const VFilePath& inPath) const;
    /// Reads the key file at inPath (a link is not followed). Pushes the file error naming the path when it
    /// cannot be read, or VE_SIGNING_BAD_KEY_FILE naming it and the reason when it holds no key.
    [[nodiscard]] VError ReadFile(const VFilePath& inPath);

private:
    std::array<unsigned char, kSize> fBytes{};
    bool fValid = false;
};

} // namespace vkit
