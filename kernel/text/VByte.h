// VByte: the signed 8-bit integer value.
#pragma once

#include "text/VIntegerValue.h"

namespace vkit {

/// A signed 8-bit integer value with a null flag; text forms and conversions as VIntegerValue says.
class VByte : public VIntegerValue<int8_t, ValueKind::Byte> {
public:
    using VIntegerValue::VIntegerValue;

    /// A new VByte with the same value and null flag (the caller deletes it).
    VByte* Clone() const override;
};

} // namespace vkit
