// VManifestSignature: the signature file's three lines written and read.
#include "signing/VManifestSignature.h"

namespace vkit {

namespace {

constexpr std::string_view kVersionLine = "zq-signature 1\n";
constexpr std::string_view kKeyPrefix = "key ";
constexpr std::string_view kSignaturePrefix = "ed25519 ";

/// The rest of the line that begins at ioText with inPrefix, ioText moved past the line feed; false when
/// the line does not begin so or has no line feed.
bool TakeLine(std::string_view& ioText, std::string_view inPrefix, std::string_view& outRest) {
    size_t end = ioText.find('\n');
    if (end == std::string_view::npos || ioText.substr(0, inPrefix.size()) != inPrefix)
        return false;
    outRest = ioText.substr(inPrefix.size(), end - inPrefix.size());
    ioText.remove_prefix(end + 1);
    return true;
}

} // namespace

std::string VManifestSignature::Write() const {
    return std::string(kVersionLine) + std::string(kKeyPrefix) + fKey.ToText() + "\n" +
           std::string(kSignaturePrefix) +
           VSigningPublicKey::ToBase64(reinterpret_cast<const unsigned char*>(fSignature.data()),
                                       fSignature.size()) +
           "\n";
}

bool VManifestSignature::Parse(std::string_view inText, std::string& outReason) {
    std::string_view key;
    std::string_view signature;
    std::string bytes(VSigningPublicKey::kSignatureSize, '\0');
    VSigningPublicKey publicKey;
    if (inText.size() > kMaxTextSize || inText.substr(0, kVersionLine.size()) != kVersionLine)
        outReason = "it does not begin with \"zq-signature 1\"";
    else if (inText.remove_prefix(kVersionLine.size());
             !TakeLine(inText, kKeyPrefix, key) || !publicKey.FromText(key) || publicKey.ToText() != key)
        outReason = "its \"key\" line does not hold an Ed25519 public key in base64";
    else if (!TakeLine(inText, kSignaturePrefix, signature) ||
             !VSigningPublicKey::FromBase64(signature, reinterpret_cast<unsigned char*>(bytes.data()),
                                            bytes.size()))
        outReason = "its \"ed25519\" line does not hold a 64-byte signature in base64 (truncated?)";
    else if (!inText.empty())
        outReason = "it holds more than its three lines";
    else {
        fKey = publicKey;
        fSignature = std::move(bytes);
        return true;
    }
    return false;
}

} // namespace vkit
