// VSodium: sodium_init once per process.
#include "signing/VSodium.h"

#include <sodium.h>

namespace vkit {

bool VSodium::Init() noexcept {
    // sodium_init is thread-safe and answers 1 when already done; the static spares its lock afterwards.
    static const bool sStarted = ::sodium_init() >= 0;
    return sStarted;
}

} // namespace vkit
