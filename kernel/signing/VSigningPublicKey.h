// VSigningPublicKey: an Ed25519 public key, its base64 text and the check of a signature made with it.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace vkit {

/// An Ed25519 public key. Its text is the key's 32 bytes in base64 with padding (44 characters), the
/// form an application's Info.plist declares as ZQPublicEDKey and a signature file names its key by.
class VSigningPublicKey {
public:
    static constexpr size_t kSize = 32;
    /// The size of a detached signature.
    static constexpr size_t kSignatureSize = 64;

    /// An all-zero key, which verifies nothing.
    VSigningPublicKey() = default;
    /// The key of these 32 bytes (not checked: FromText checks a text).
    explicit VSigningPublicKey(const std::array<unsigned char, kSize>& inBytes) : fBytes(inBytes) {}

    /// Reads the base64 text (surrounding white space ignored). Returns false, the key unchanged, when
    /// the text is not exactly the padded base64 of 32 bytes or not a point of the curve.
    bool FromText(std::string_view inText);
    /// The base64 text.
    std::string ToText() const;

    /// True when inSignature (64 bytes) is the detached Ed25519 signature of inMessage by this key.
    bool Verify(std::string_view inMessage, std::string_view inSignature) const;

    /// The key's 32 bytes.
    const std::array<unsigned char, kSize>& GetBytes() const noexcept { return fBytes; }
    /// Same bytes, same key.
    bool operator==(const VSigningPublicKey& inOther) const = default;

    /// The padded base64 text of inBytes, and its inverse: false unless inText is exactly such a text
    /// of inSize bytes (no white space, no missing or extra padding).
    static std::string ToBase64(const unsigned char* inBytes, size_t inSize);
    static bool FromBase64(std::string_view inText, unsigned char* outBytes, size_t inSize);

private:
    std::array<unsigned char, kSize> fBytes{};
};

} // namespace vkit
