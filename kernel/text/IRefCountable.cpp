// IRefCountable: the default end of a reference-counted object's life.
#include "text/IRefCountable.h"

namespace vkit {

void IRefCountable::DoOnRefCountZero() {
    delete this;
}

} // namespace vkit
