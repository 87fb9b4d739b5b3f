// VContentDigest: BLAKE2b-256 through libsodium's generic hash.
#include "signing/VContentDigest.h"

#include "signing/VSodium.h"

namespace vkit {

VContentDigest::VContentDigest() {
    // Without a start, the generic hash keeps its slower portable implementation.
    (void)VSodium::Init();
    Reset();
}

void VContentDigest::Reset() {
    crypto_generichash_init(&fState, nullptr, 0, kSize);
}

void VContentDigest::Update(const unsigned char* inBytes, size_t inSize) {
    crypto_generichash_update(&fState, inBytes, inSize);
}

std::string VContentDigest::Finish() {
    std::string digest(kSize, '\0');
    crypto_generichash_final(&fState, reinterpret_cast<unsigned char*>(digest.data()), kSize);
    return digest;
}

std::unique_ptr<IContentDigest> VContentDigest::Clone() const {
    return std::make_unique<VContentDigest>();
}

std::string VContentDigest::Of(std::string_view inContent) {
    VContentDigest digest;
    digest.Update(reinterpret_cast<const unsigned char*>(inContent.data()), inContent.size());
    return digest.Finish();
}

} // namespace vkit
