// VLong8: the signed 64-bit integer value.
#pragma once

#include "text/VIntegerValue.h"

namespace vkit {

/// A signed 64-bit integer value with a null flag; text forms and conversions as VIntegerValue says.
class VLong8 : public VIntegerValue<int64_t, ValueKind::Long8> {
public:
    using VIntegerValue::VIntegerValue;

    /// A new VLong8 with the same value and null flag (the caller deletes it).
    VLong8* Clone() const override;
};

} // namespace vkit
