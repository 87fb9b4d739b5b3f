// VActivityToken: the token's description.
#include "runtime/VActivityToken.h"

namespace vkit {

VActivityToken::~VActivityToken() = default;

VString& VActivityToken::DebugDump(VString& ioDump) const {
    return ioDump.AppendCString("activity token: ").AppendString(fDescription);
}

} // namespace vkit
