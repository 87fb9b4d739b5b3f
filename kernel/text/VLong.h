// VLong: the signed 32-bit integer value.
#pragma once

#include "text/VIntegerValue.h"

namespace vkit {

/// A signed 32-bit integer value with a null flag; text forms and conversions as VIntegerValue says.
class VLong : public VIntegerValue<int32_t, ValueKind::Long> {
public:
    using VIntegerValue::VIntegerValue;

    /// A new VLong with the same value and null flag (the caller deletes it).
    VLong* Clone() const override;
};

} // namespace vkit
