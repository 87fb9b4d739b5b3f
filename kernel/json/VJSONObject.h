// VJSONObject: a JSON object, its properties kept in insertion order with a hash index on the names.
#pragma once

#include "text/IRefCountable.h"
#include "text/VObject.h"
#include "json/VJSONStringBuffer.h"
#include "json/VJSONValue.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace vkit {

/// A reference-counted set of named values. Names are compared exactly (code units). Properties are
/// stored in insertion order, which is the order of index access and of writing; replacing the value
/// of a name keeps its place. Small objects are searched linearly by hash; larger ones keep an
/// open-addressing index of positions, maintained by the changes so that lookups never write.
/// Created with one reference. Not synchronised.
class VJSONObject : public VObject, public IRefCountable {
public:
    VJSONObject() = default;
    VJSONObject(const VJSONObject&) = delete;
    VJSONObject& operator=(const VJSONObject&) = delete;
    ~VJSONObject() override;

    /// The value of the property, undefined when it is missing.
    VJSONValue GetProperty(const VString& inName) const;
    /// The property's value in place (valid until the object changes), or null when it is missing.
    const VJSONValue* FindProperty(std::u16string_view inName) const noexcept;
    /// Replaces the value of an existing property or appends a new one.
    void SetProperty(const VString& inName, const VJSONValue& inValue);
    /// As SetProperty, taking over the name's buffer (null for the empty name) and the value.
    void SetProperty(VJSONStringRef inName, VJSONValue&& inValue);
    /// The same with the name's hash already computed (VJSONStringBuffer::Hash of the name).
    void SetProperty(VJSONStringRef inName, uint32_t inHash, VJSONValue&& inValue);
    /// Removes the property; false when it was missing.
    bool RemoveProperty(const VString& inName);
    bool HasProperty(const VString& inName) const noexcept { return FindProperty(inName.View()) != nullptr; }
    bool IsEmpty() const noexcept { return fProperties.empty(); }

    /// The number of properties.
    VIndex GetCountPropertiesByIndex() const noexcept { return static_cast<VIndex>(fProperties.size()); }
    /// The name and value of the property at a 0-based position in insertion order; false, with the
    /// outputs untouched, when the position is out of range.
    bool GetPropertyByIndex(VIndex inIndex, VString& outName, VJSONValue& outValue) const;
    /// The name and value at a 0-based position (unchecked), without copies.
    std::u16string_view GetNameAt(size_t inIndex) const noexcept {
        const VJSONStringBuffer* name = fProperties[inIndex].fName.get();
        return name != nullptr ? name->View() : std::u16string_view();
    }
    const VJSONValue& GetValueAt(size_t inIndex) const noexcept { return fProperties[inIndex].fValue; }

    /// Makes room for a number of properties.
    void Reserve(size_t inCount) { fProperties.reserve(inCount); }

private:
    struct Property {
        VJSONStringRef fName;
        uint32_t fHash;
        VJSONValue fValue;
    };

    /// Objects up to this size are searched without the index.
    static constexpr size_t kLinearLimit = 16;

    /// The position of the name, or -1.
    ptrdiff_t _Find(std::u16string_view inName, uint32_t inHash) const noexcept;
    void _Append(VJSONStringRef inName, uint32_t inHash, VJSONValue&& inValue);
    /// Rebuilds the index for the current properties (drops it for small objects).
    void _RebuildIndex();
    void _IndexInsert(uint32_t inHash, uint32_t inPosition) noexcept;

    std::vector<Property> fProperties;
    /// Positions + 1 (0 for a free slot); its size is a power of two at least twice the count.
    std::vector<uint32_t> fIndex;
};

} // namespace vkit
