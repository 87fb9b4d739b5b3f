// VContentDigest: the content digest of bundle manifests, BLAKE2b with a 256-bit output.
#pragma once

#include "signing/IContentDigest.h"

#include <sodium.h>

#include <string_view>

namespace vkit {

/// BLAKE2b-256 (libsodium's crypto_generichash, unkeyed). Chosen over SHA-256 because it is the faster
/// of the two in software at the same strength: libsodium's SHA-256 is a portable implementation, its
/// BLAKE2b uses the vector units, and the check of an update reads every byte of the bundle.
class VContentDigest final : public IContentDigest {
public:
    /// The digest's size in bytes, and its name in a manifest's header.
    static constexpr size_t kSize = 32;
    static constexpr std::string_view kName = "blake2b-256";

    /// Starts libsodium (VSodium::Init) and a new content.
    VContentDigest();
    void Reset() override;
    void Update(const unsigned char* inBytes, size_t inSize) override;
    std::string Finish() override;
    std::unique_ptr<IContentDigest> Clone() const override;

    /// The digest of a whole content at once.
    static std::string Of(std::string_view inContent);

private:
    crypto_generichash_state fState;
};

} // namespace vkit
