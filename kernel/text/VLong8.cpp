// VLong8: the signed 64-bit integer value.
#include "text/VLong8.h"

namespace vkit {

VLong8* VLong8::Clone() const {
    return new VLong8(*this);
}

} // namespace vkit
