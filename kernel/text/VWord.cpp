// VWord: the signed 16-bit integer value.
#include "text/VWord.h"

namespace vkit {

VWord* VWord::Clone() const {
    return new VWord(*this);
}

} // namespace vkit
