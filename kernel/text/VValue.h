// VValue: the base of values, holding the null flag.
#pragma once

#include "text/VObject.h"

#include <cstdint>

namespace vkit {

/// Kinds of the library's values.
enum class ValueKind : uint16_t {
    Empty = 0,
    Boolean,
    Byte,
    Word,
    Long,
    Long8,
    Real,
    String,
    UUID,
    Time,
    Duration,
    Bag,
};

/// A value of the library: any value may be null.
class VValue : public VObject {
public:
    VValue() noexcept = default;
    explicit VValue(bool inIsNull) noexcept : fIsNull(inIsNull) {}

    bool IsNull() const noexcept { return fIsNull; }
    virtual void SetNull(bool inIsNull = true) { fIsNull = inIsNull; }

    virtual ValueKind GetValueKind() const = 0;

protected:
    /// Changes the flag without any other effect (SetNull may also clear the value).
    void SetNullFlag(bool inIsNull) noexcept { fIsNull = inIsNull; }

private:
    bool fIsNull = false;
};

} // namespace vkit
