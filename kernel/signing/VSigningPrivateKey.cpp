// VSigningPrivateKey: Ed25519 keys made, written, read and used through libsodium.
#include "signing/VSigningPrivateKey.h"

#include "errors/VErrorThrow.h"
#include "files/VFileError.h"
#include "platform/posix/files/XPosixPath.h"
#include "platform/posix/signing/XPosixSigningFile.h"
#include "signing/VSigningErrorCodes.h"
#include "signing/VSodium.h"

#include <sodium.h>

namespace vkit {

namespace {

constexpr std::string_view kHeader = "zq-private-key 1\ned25519 ";
// A key file is two short lines; anything much larger is not one.
constexpr size_t kMaxFileSize = 4096;

} // namespace

VSigningPrivateKey::~VSigningPrivateKey() {
    ::sodium_memzero(fBytes.data(), fBytes.size());
}

bool VSigningPrivateKey::Generate() {
    if (!VSodium::Init())
        return false;
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    ::crypto_sign_keypair(publicKey, fBytes.data());
    fValid = true;
    return true;
}

VSigningPublicKey VSigningPrivateKey::GetPublicKey() const {
    std::array<unsigned char, VSigningPublicKey::kSize> bytes;
    ::crypto_sign_ed25519_sk_to_pk(bytes.data(), fBytes.data());
    return VSigningPublicKey(bytes);
}

std::string VSigningPrivateKey::Sign(std::string_view inMessage) const {
    std::string signature(crypto_sign_BYTES, '\0');
    ::crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                           reinterpret_cast<const unsigned char*>(inMessage.data()), inMessage.size(),
                           fBytes.data());
    return signature;
}

std::string VSigningPrivateKey::ToText() const {
    return std::string(kHeader) + VSigningPublicKey::ToBase64(fBytes.data(), fBytes.size()) + "\n";
}

bool VSigningPrivateKey::FromText(std::string_view inText, std::string& outReason) {
    if (inText.substr(0, kHeader.size()) != kHeader || inText.empty() || inText.back() != '\n') {
        outReason = "it does not begin with \"zq-private-key 1\" and an \"ed25519\" line";
        return false;
    }
    std::string_view encoded = inText.substr(kHeader.size(), inText.size() - kHeader.size() - 1);
    std::array<unsigned char, kSize> bytes;
    if (!VSigningPublicKey::FromBase64(encoded, bytes.data(), bytes.size()) || !VSodium::Init()) {
        outReason = "its key is not the base64 text of 64 bytes";
        return false;
    }
    // The public half must be the one the seed gives, or every signature made with it would fail.
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
    ::crypto_sign_seed_keypair(publicKey, secretKey, bytes.data());
    bool consistent = ::sodium_memcmp(secretKey, bytes.data(), kSize) == 0;
    ::sodium_memzero(secretKey, sizeof(secretKey));
    if (!consistent) {
        ::sodium_memzero(bytes.data(), bytes.size());
        outReason = "its public half does not belong to its seed";
        return false;
    }
    fBytes = bytes;
    ::sodium_memzero(bytes.data(), bytes.size());
    fValid = true;
    return true;
}

VError VSigningPrivateKey::WriteNewFile(const VFilePath& inPath) const {
    std::string text = ToText();
    XPosixTreeError failure = XPosixSigningFile::WriteNew(XPosixPath::GetPosixPath(inPath), text, 0600);
    ::sodium_memzero(text.data(), text.size());
    return VFileError::Report(inPath, failure.GetCode(), VE_FILE_CANNOT_CREATE, [&](VFileError& ioError) {
        ioError.SetFailedStep(failure.fOperation, failure.fPath);
    });
}

VError VSigningPrivateKey::ReadFile(const VFilePath& inPath) {
    std::string posixPath = XPosixPath::GetPosixPath(inPath);
    std::string text;
    XPosixTreeError failure = XPosixSigningFile::Read(posixPath, kMaxFileSize, text);
    VError error =
        VFileError::Report(inPath, failure.GetCode(), VE_FILE_CANNOT_OPEN, [&](VFileError& ioError) {
            ioError.SetFailedStep(failure.fOperation, failure.fPath);
        });
    std::string reason;
    if (error == VE_OK && !FromText(text, reason))
        error = vThrowUserGeneratedError(
            VE_SIGNING_BAD_KEY_FILE,
            VString("'" + posixPath + "' is not a private key of zq-sign: " + reason));
    ::sodium_memzero(text.data(), text.size());
    return error;
}

} // namespace vkit
