// VJSONObject: property lookup, replacement, removal and the name index.
#include "json/VJSONObject.h"

#include "json/VJSONReaper.h"

namespace vkit {

VJSONObject::~VJSONObject() {
    for (Property& property : fProperties)
        VJSONReaper::Defer(property.fValue);
    std::vector<Property>().swap(fProperties);
    VJSONReaper::Drain();
}

ptrdiff_t VJSONObject::_Find(std::u16string_view inName, uint32_t inHash) const noexcept {
    if (fIndex.empty()) {
        for (size_t i = 0; i < fProperties.size(); ++i) {
            const Property& property = fProperties[i];
            if (property.fHash == inHash && GetNameAt(i) == inName)
                return static_cast<ptrdiff_t>(i);
        }
        return -1;
    }
    size_t mask = fIndex.size() - 1;
    for (size_t slot = inHash & mask;; slot = (slot + 1) & mask) {
        uint32_t entry = fIndex[slot];
        if (entry == 0)
            return -1;
        size_t position = entry - 1;
        if (fProperties[position].fHash == inHash && GetNameAt(position) == inName)
            return static_cast<ptrdiff_t>(position);
    }
}

const VJSONValue* VJSONObject::FindProperty(std::u16string_view inName) const noexcept {
    ptrdiff_t position = _Find(inName, VJSONStringBuffer::Hash(inName));
    return position < 0 ? nullptr : &fProperties[static_cast<size_t>(position)].fValue;
}

VJSONValue VJSONObject::GetProperty(const VString& inName) const {
    const VJSONValue* value = FindProperty(inName.View());
    return value != nullptr ? *value : VJSONValue();
}

void VJSONObject::SetProperty(const VString& inName, const VJSONValue& inValue) {
    uint32_t hash = VJSONStringBuffer::Hash(inName.View());
    ptrdiff_t position = _Find(inName.View(), hash);
    if (position >= 0)
        fProperties[static_cast<size_t>(position)].fValue = inValue;
    else
        _Append(VJSONStringRef(VJSONStringBuffer::Create(inName.View())), hash, VJSONValue(inValue));
}

void VJSONObject::SetProperty(VJSONStringRef inName, VJSONValue&& inValue) {
    uint32_t hash = VJSONStringBuffer::Hash(inName != nullptr ? inName->View() : std::u16string_view());
    SetProperty(std::move(inName), hash, std::move(inValue));
}

void VJSONObject::SetProperty(VJSONStringRef inName, uint32_t inHash, VJSONValue&& inValue) {
    std::u16string_view name = inName != nullptr ? inName->View() : std::u16string_view();
    uint32_t hash = inHash;
    ptrdiff_t position = _Find(name, hash);
    if (position >= 0)
        fProperties[static_cast<size_t>(position)].fValue = std::move(inValue);
    else
        _Append(std::move(inName), hash, std::move(inValue));
}

bool VJSONObject::RemoveProperty(const VString& inName) {
    ptrdiff_t position = _Find(inName.View(), VJSONStringBuffer::Hash(inName.View()));
    if (position < 0)
        return false;
    fProperties.erase(fProperties.begin() + position);
    _RebuildIndex();
    return true;
}

bool VJSONObject::GetPropertyByIndex(VIndex inIndex, VString& outName, VJSONValue& outValue) const {
    if (inIndex < 0 || static_cast<size_t>(inIndex) >= fProperties.size())
        return false;
    std::u16string_view name = GetNameAt(static_cast<size_t>(inIndex));
    outName.FromUniChars(name.data(), static_cast<VIndex>(name.size()));
    outValue = fProperties[static_cast<size_t>(inIndex)].fValue;
    return true;
}

void VJSONObject::_Append(VJSONStringRef inName, uint32_t inHash, VJSONValue&& inValue) {
    fProperties.push_back(Property{std::move(inName), inHash, std::move(inValue)});
    size_t count = fProperties.size();
    if (count <= kLinearLimit)
        return;
    if (fIndex.size() < 2 * count)
        _RebuildIndex();
    else
        _IndexInsert(inHash, static_cast<uint32_t>(count));
}

void VJSONObject::_RebuildIndex() {
    size_t count = fProperties.size();
    if (count <= kLinearLimit) {
        fIndex.clear();
        fIndex.shrink_to_fit();
        return;
    }
    size_t size = 32;
    while (size < 2 * count)
        size *= 2;
    fIndex.assign(size, 0);
    for (size_t i = 0; i < count; ++i)
        _IndexInsert(fProperties[i].fHash, static_cast<uint32_t>(i + 1));
}

void VJSONObject::_IndexInsert(uint32_t inHash, uint32_t inPosition) noexcept {
    size_t mask = fIndex.size() - 1;
    size_t slot = inHash & mask;
    while (fIndex[slot] != 0)
        slot = (slot + 1) & mask;
    fIndex[slot] = inPosition;
}

} // namespace vkit
