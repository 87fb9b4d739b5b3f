// VWord: the signed 16-bit integer value.
#pragma once

#include "text/VIntegerValue.h"

namespace vkit {

/// A signed 16-bit integer value with a null flag; text forms and conversions as VIntegerValue says.
class VWord : public VIntegerValue<int16_t, ValueKind::Word> {
public:
    using VIntegerValue::VIntegerValue;

    /// A new VWord with the same value and null flag (the caller deletes it).
    VWord* Clone() const override;
};

} // namespace vkit
