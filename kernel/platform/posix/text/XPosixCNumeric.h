// Platform side of number reading: reals read with "." as decimal point whatever the process locale.
#pragma once

#include <cstddef>

namespace vkit {

/// Reads numbers in the "C" numeric convention through a locale object created once for the process.
class XPosixCNumeric {
public:
    /// Reads a real from a 0-terminated text with strtod_l in the "C" numeric locale. outConsumed
    /// receives the number of bytes read (0 when the text does not start with a number);
    /// outRangeError is set when the C library reported a range error (ERANGE).
    static double ReadReal(const char* inText, size_t& outConsumed, bool& outRangeError) noexcept;
};

} // namespace vkit
