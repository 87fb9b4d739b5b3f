// VJSONReaper: the per-thread list of containers waiting to be destroyed.
#include "json/VJSONReaper.h"

#include "json/VJSONArray.h"
#include "json/VJSONObject.h"

#include <vector>

namespace vkit {

namespace {

/// The values waiting, and whether a Drain is running on this thread. The list keeps its capacity, so
/// that freeing documents does not allocate once it has grown to their width.
struct PendingValues {
    std::vector<VJSONValue> fValues;
    bool fDraining = false;
};

thread_local PendingValues tPending;

} // namespace

void VJSONReaper::Defer(VJSONValue& ioValue) {
    bool lastReference = false;
    if (VJSONObject* object = ioValue.GetObject())
        lastReference = object->GetRefCount() == 1;
    else if (VJSONArray* array = ioValue.GetArray())
        lastReference = array->GetRefCount() == 1;
    if (lastReference)
        tPending.fValues.push_back(std::move(ioValue));
}

void VJSONReaper::Drain() {
    PendingValues& pending = tPending;
    if (pending.fDraining)
        return;
    pending.fDraining = true;
    while (!pending.fValues.empty()) {
        // Destroying this value's container defers its own members to the list.
        VJSONValue value = std::move(pending.fValues.back());
        pending.fValues.pop_back();
    }
    pending.fDraining = false;
}

} // namespace vkit
