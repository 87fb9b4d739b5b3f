// What every fuzz target shares: the check that ends the run on a property that does not hold.
#pragma once

#include <cstdlib>

namespace vkit::fuzzing {

/// Aborts, so that libFuzzer keeps the input, when inCondition is false.
inline void Check(bool inCondition) {
    if (!inCondition)
        std::abort();
}

} // namespace vkit::fuzzing
