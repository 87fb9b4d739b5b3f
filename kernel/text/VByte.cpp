// VByte: the signed 8-bit integer value.
#include "text/VByte.h"

namespace vkit {

VByte* VByte::Clone() const {
    return new VByte(*this);
}

} // namespace vkit
