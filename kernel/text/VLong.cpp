// VLong: the signed 32-bit integer value.
#include "text/VLong.h"

namespace vkit {

VLong* VLong::Clone() const {
    return new VLong(*this);
}

} // namespace vkit
