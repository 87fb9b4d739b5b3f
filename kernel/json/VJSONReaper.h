// VJSONReaper: destroys nested JSON containers one after another rather than inside each other.
#pragma once

#include "json/VJSONValue.h"

namespace vkit {

/// Freeing a value releases its container, whose destruction releases the containers it holds, and
/// so on: done directly, that recursion takes stack in proportion to the nesting. Instead, a dying
/// container hands its members that die with it to this thread's list, and the outermost destruction
/// on the thread destroys the list's values one by one. The stack taken is then that of one level,
/// however deep the value.
class VJSONReaper {
public:
    VJSONReaper() = delete;

    /// Takes the value off its owner when it is the last reference to a container (left undefined);
    /// other values are left alone.
    static void Defer(VJSONValue& ioValue);
    /// Destroys the values handed over, unless a destruction further up this thread's stack does.
    static void Drain();
};

} // namespace vkit
