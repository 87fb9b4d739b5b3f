// VSigningPublicKey: base64 through libsodium, Ed25519 verification with crypto_sign_verify_detached.
#include "signing/VSigningPublicKey.h"

#include "signing/VSodium.h"

#include <sodium.h>

namespace vkit {

namespace {

constexpr int kVariant = sodium_base64_VARIANT_ORIGINAL;

std::string_view Trimmed(std::string_view inText) {
    constexpr std::string_view kSpace = " \t\r\n";
    size_t first = inText.find_first_not_of(kSpace);
    if (first == std::string_view::npos)
        return {};
    return inText.substr(first, inText.find_last_not_of(kSpace) - first + 1);
}

} // namespace

std::string VSigningPublicKey::ToBase64(const unsigned char* inBytes, size_t inSize) {
    std::string text(sodium_base64_encoded_len(inSize, kVariant), '\0');
    ::sodium_bin2base64(text.data(), text.size(), inBytes, inSize, kVariant);
    text.resize(text.size() - 1); // the terminating null
    return text;
}

bool VSigningPublicKey::FromBase64(std::string_view inText, unsigned char* outBytes, size_t inSize) {
    // The exact length first: libsodium would stop at the first character that is not base64.
    if (inText.size() != sodium_base64_encoded_len(inSize, kVariant) - 1)
        return false;
    size_t length = 0;
    const char* end = nullptr;
    // The decoder lets some bytes outside the alphabet and non-zero padding bits through: only the text
    // that the bytes give back is theirs.
    return ::sodium_base642bin(outBytes, inSize, inText.data(), inText.size(), nullptr, &length, &end,
                               kVariant) == 0 &&
           length == inSize && end == inText.data() + inText.size() && ToBase64(outBytes, inSize) == inText;
}

bool VSigningPublicKey::FromText(std::string_view inText) {
    std::array<unsigned char, kSize> bytes;
    if (!FromBase64(Trimmed(inText), bytes.data(), bytes.size()) || !VSodium::Init() ||
        ::crypto_core_ed25519_is_valid_point(bytes.data()) != 1)
        return false;
    fBytes = bytes;
    return true;
}

std::string VSigningPublicKey::ToText() const {
    return ToBase64(fBytes.data(), fBytes.size());
}

bool VSigningPublicKey::Verify(std::string_view inMessage, std::string_view inSignature) const {
    return inSignature.size() == kSignatureSize && VSodium::Init() &&
           ::crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(inSignature.data()),
                                         reinterpret_cast<const unsigned char*>(inMessage.data()),
                                         inMessage.size(), fBytes.data()) == 0;
}

} // namespace vkit
