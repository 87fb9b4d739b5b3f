// VJSONArray: a JSON array, a reference-counted vector of values.
#pragma once

#include "text/IRefCountable.h"
#include "text/VObject.h"
#include "json/VJSONValue.h"

#include <cstddef>
#include <vector>

namespace vkit {

/// A reference-counted vector of JSON values; indexes are 0-based. Created with one reference.
/// Not synchronised.
class VJSONArray : public VObject, public IRefCountable {
public:
    VJSONArray() = default;
    VJSONArray(const VJSONArray&) = delete;
    VJSONArray& operator=(const VJSONArray&) = delete;
    ~VJSONArray() override;

    size_t GetCount() const noexcept { return fValues.size(); }
    bool IsEmpty() const noexcept { return fValues.empty(); }

    /// Appends a value.
    void Push(const VJSONValue& inValue) { fValues.push_back(inValue); }
    void Push(VJSONValue&& inValue) { fValues.push_back(std::move(inValue)); }
    /// The value at the index; undefined past the end.
    VJSONValue GetAt(size_t inIndex) const {
        return inIndex < fValues.size() ? fValues[inIndex] : VJSONValue();
    }
    /// The value at the index in place (unchecked).
    const VJSONValue& operator[](size_t inIndex) const noexcept { return fValues[inIndex]; }
    /// Sets the value at the index; an index past the end first grows the array with undefined values.
    void SetAt(size_t inIndex, const VJSONValue& inValue);
    /// Removes inCount values from the index (clamped to the end).
    void RemoveAt(size_t inIndex, size_t inCount = 1);
    /// Cuts the array or grows it with undefined values.
    void Resize(size_t inCount) { fValues.resize(inCount); }
    /// Makes room for a number of values.
    void Reserve(size_t inCount) { fValues.reserve(inCount); }
    /// Copies the values (sharing their strings and containers).
    void GetValues(std::vector<VJSONValue>& outValues) const { outValues = fValues; }

private:
    std::vector<VJSONValue> fValues;
};

} // namespace vkit
