// VJSONArray: changes by index.
#include "json/VJSONArray.h"

#include "json/VJSONReaper.h"

#include <algorithm>

namespace vkit {

VJSONArray::~VJSONArray() {
    for (VJSONValue& value : fValues)
        VJSONReaper::Defer(value);
    std::vector<VJSONValue>().swap(fValues);
    VJSONReaper::Drain();
}

void VJSONArray::SetAt(size_t inIndex, const VJSONValue& inValue) {
    // Copied first: the value may be an element of this array, which growing moves.
    VJSONValue value(inValue);
    if (inIndex >= fValues.size())
        fValues.resize(inIndex + 1);
    fValues[inIndex] = std::move(value);
}

void VJSONArray::RemoveAt(size_t inIndex, size_t inCount) {
    if (inIndex >= fValues.size())
        return;
    size_t count = std::min(inCount, fValues.size() - inIndex);
    auto first = fValues.begin() + static_cast<ptrdiff_t>(inIndex);
    fValues.erase(first, first + static_cast<ptrdiff_t>(count));
}

} // namespace vkit
