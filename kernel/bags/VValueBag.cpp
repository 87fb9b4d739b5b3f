// VValueBag: attributes, element lists, paths, cloning and union.
#include "bags/VValueBag.h"

#include "bags/VBagArray.h"
#include "text/VBoolean.h"
#include "text/VLong.h"
#include "text/VLong8.h"
#include "text/VReal.h"
#include "text/VValueSingle.h"

#include <algorithm>
#include <new>

namespace vkit {

VValueBag::VValueBag(const VValueBag& inOther)
    : VValue(inOther), IRefCountable(), fAttributes(inOther.fAttributes) {
    if (inOther.fElements == nullptr)
        return;
    fElements = std::make_unique<ElementList>();
    fElements->reserve(inOther.fElements->size());
    for (const ElementEntry& entry : *inOther.fElements) {
        VBagArray* copy = entry.fBags->Clone();
        if (copy == nullptr)
            break;
        fElements->push_back(ElementEntry{entry.fKey, copy});
    }
}

VValueBag::~VValueBag() {
    Destroy();
}

VValueBag* VValueBag::Clone() const {
    return new (std::nothrow) VValueBag(*this);
}

bool VValueBag::IsEmpty() const noexcept {
    return fAttributes.IsEmpty() && GetElementNamesCount() == 0;
}

void VValueBag::Destroy() noexcept {
    fAttributes.Clear();
    if (fElements != nullptr) {
        // Released after the list is emptied: a released bag may lead back here.
        ElementList elements;
        elements.swap(*fElements);
        for (ElementEntry& entry : elements)
            entry.fBags->Release();
    }
}

// Attributes.

const VValueSingle* VValueBag::GetNthAttribute(VIndex inIndex, VString* outName) const {
    const VValueSingle* value = fAttributes.GetNthValue(inIndex);
    if (outName != nullptr) {
        std::string_view name = fAttributes.GetNthKey(inIndex);
        outName->FromUTF8(name.data(), name.size());
    }
    return value;
}

const VValueSingle* VValueBag::GetAttribute(const StPackedDictionaryKey& inKey) const {
    return fAttributes.GetNthValue(fAttributes.Find(inKey));
}

bool VValueBag::GetAttribute(const StPackedDictionaryKey& inKey, VValueSingle& outValue) const {
    return fAttributes.GetNthValue(fAttributes.Find(inKey), outValue);
}

void VValueBag::SetAttribute(const StPackedDictionaryKey& inKey, const VValueSingle& inValue) {
    fAttributes.SetValue(inKey, inValue);
}

bool VValueBag::RemoveAttribute(const StPackedDictionaryKey& inKey) {
    return fAttributes.Remove(inKey);
}

bool VValueBag::GetString(const StPackedDictionaryKey& inKey, VString& outValue) const {
    return fAttributes.GetNthString(fAttributes.Find(inKey), outValue);
}

void VValueBag::SetString(const StPackedDictionaryKey& inKey, const VString& inValue) {
    fAttributes.SetString(inKey, inValue);
}

namespace {

/// Reads an attribute through a value of class V (V::FromValue converts it) into its native type.
template <class V, class T>
bool GetThrough(const VPackedValueDictionary& inAttributes, const StPackedDictionaryKey& inKey, T& outValue) {
    V value;
    if (!inAttributes.GetNthValue(inAttributes.Find(inKey), value))
        return false;
    outValue = value.Get();
    return true;
}

} // namespace

bool VValueBag::GetLong(const StPackedDictionaryKey& inKey, int32_t& outValue) const {
    return GetThrough<VLong>(fAttributes, inKey, outValue);
}

void VValueBag::SetLong(const StPackedDictionaryKey& inKey, int32_t inValue) {
    fAttributes.SetInteger(inKey, ValueKind::Long, inValue);
}

bool VValueBag::GetLong8(const StPackedDictionaryKey& inKey, int64_t& outValue) const {
    return GetThrough<VLong8>(fAttributes, inKey, outValue);
}

void VValueBag::SetLong8(const StPackedDictionaryKey& inKey, int64_t inValue) {
    fAttributes.SetInteger(inKey, ValueKind::Long8, inValue);
}

bool VValueBag::GetBool(const StPackedDictionaryKey& inKey, bool& outValue) const {
    return GetThrough<VBoolean>(fAttributes, inKey, outValue);
}

void VValueBag::SetBool(const StPackedDictionaryKey& inKey, bool inValue) {
    fAttributes.SetInteger(inKey, ValueKind::Boolean, inValue ? 1 : 0);
}

bool VValueBag::GetReal(const StPackedDictionaryKey& inKey, double& outValue) const {
    return GetThrough<VReal>(fAttributes, inKey, outValue);
}

void VValueBag::SetReal(const StPackedDictionaryKey& inKey, double inValue) {
    fAttributes.SetReal(inKey, inValue);
}

// Elements.

VValueBag::ElementEntry* VValueBag::_FindElements(const StPackedDictionaryKey& inKey) const noexcept {
    if (fElements == nullptr)
        return nullptr;
    auto found = std::find_if(fElements->begin(), fElements->end(),
                              [&inKey](const ElementEntry& inEntry) { return inEntry.fKey == inKey; });
    return found == fElements->end() ? nullptr : &*found;
}

const VBagArray* VValueBag::GetElements(const StPackedDictionaryKey& inKey) const {
    const ElementEntry* entry = _FindElements(inKey);
    return entry == nullptr ? nullptr : entry->fBags;
}

VBagArray* VValueBag::GetElements(const StPackedDictionaryKey& inKey) {
    ElementEntry* entry = _FindElements(inKey);
    return entry == nullptr ? nullptr : entry->fBags;
}

const VValueBag* VValueBag::GetUniqueElement(const StPackedDictionaryKey& inKey) const {
    const VBagArray* bags = GetElements(inKey);
    return bags == nullptr ? nullptr : bags->GetNth(1);
}

VValueBag* VValueBag::GetUniqueElement(const StPackedDictionaryKey& inKey) {
    VBagArray* bags = GetElements(inKey);
    return bags == nullptr ? nullptr : bags->GetNth(1);
}

VIndex VValueBag::GetElementNamesCount() const noexcept {
    return fElements == nullptr ? 0 : static_cast<VIndex>(fElements->size());
}

const VBagArray* VValueBag::GetNthElementName(VIndex inIndex, VString* outName) const {
    return const_cast<VValueBag*>(this)->GetNthElementName(inIndex, outName);
}

VBagArray* VValueBag::GetNthElementName(VIndex inIndex, VString* outName) {
    if (inIndex < 1 || inIndex > GetElementNamesCount())
        return nullptr;
    ElementEntry& entry = (*fElements)[static_cast<size_t>(inIndex - 1)];
    if (outName != nullptr)
        entry.fKey.GetName(*outName);
    return entry.fBags;
}

VBagArray* VValueBag::_GetOrCreateElements(const StPackedDictionaryKey& inKey) {
    if (ElementEntry* entry = _FindElements(inKey))
        return entry->fBags;
    if (fElements == nullptr)
        fElements = std::make_unique<ElementList>();
    StPackedDictionaryKey ownedKey(inKey.GetKey(), inKey.GetKeyLength(), true);
    return fElements->emplace_back(ElementEntry{std::move(ownedKey), new VBagArray}).fBags;
}

void VValueBag::AddElement(const StPackedDictionaryKey& inKey, VValueBag* inBag) {
    if (inBag != nullptr)
        _GetOrCreateElements(inKey)->AddTail(inBag);
}

void VValueBag::ReplaceElement(const StPackedDictionaryKey& inKey, VValueBag* inBag) {
    if (inBag == nullptr) {
        RemoveElements(inKey);
        return;
    }
    VBagArray* bags = _GetOrCreateElements(inKey);
    if (bags->GetCount() == 1 && bags->GetNth(1) == inBag)
        return;
    // The list may hold the only reference to the new bag.
    VRefPtr<VValueBag> keep(inBag);
    bags->Destroy();
    bags->AddTail(inBag);
}

void VValueBag::RemoveElements(const StPackedDictionaryKey& inKey) {
    ElementEntry* entry = _FindElements(inKey);
    if (entry == nullptr)
        return;
    VBagArray* bags = entry->fBags;
    fElements->erase(fElements->begin() + (entry - fElements->data()));
    bags->Release();
}

// Paths.

void VValueBag::GetKeysFromPath(const VString& inPath, StKeyPath& outKeys) {
    outKeys.clear();
    std::string path = inPath.ToUTF8();
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            outKeys.emplace_back(path.data() + start, end - start, true);
        start = end + 1;
    }
}

const VValueBag* VValueBag::GetUniqueElementByPath(const StKeyPath& inPath) const {
    const VValueBag* bag = this;
    for (const StPackedDictionaryKey& key : inPath) {
        bag = bag->GetUniqueElement(key);
        if (bag == nullptr)
            break;
    }
    return bag;
}

const VValueBag* VValueBag::GetUniqueElementByPath(const VString& inPath) const {
    StKeyPath keys;
    GetKeysFromPath(inPath, keys);
    return GetUniqueElementByPath(keys);
}

VValueBag* VValueBag::GetElementByPathAndCreateIfDontExists(const StKeyPath& inPath) {
    VValueBag* bag = this;
    for (const StPackedDictionaryKey& key : inPath) {
        VValueBag* child = bag->GetUniqueElement(key);
        if (child == nullptr) {
            VRefPtr<VValueBag> created = AdoptRef(new (std::nothrow) VValueBag);
            if (!created)
                return nullptr;
            bag->AddElement(key, created.Get());
            child = created.Get();
        }
        bag = child;
    }
    return bag;
}

bool VValueBag::ReplaceElementByPath(const StKeyPath& inPath, VValueBag* inBag) {
    if (inPath.empty())
        return false;
    StKeyPath parentPath(inPath.begin(), inPath.end() - 1);
    VValueBag* parent = GetElementByPathAndCreateIfDontExists(parentPath);
    if (parent == nullptr)
        return false;
    parent->ReplaceElement(inPath.back(), inBag);
    return true;
}

// Union.

bool VValueBag::UnionClone(const VValueBag* inOther) {
    if (inOther == nullptr)
        return true;
    if (inOther != this) {
        const VPackedValueDictionary& attributes = inOther->fAttributes;
        for (VIndex i = 1; i <= attributes.GetCount(); ++i) {
            std::string_view name = attributes.GetNthKey(i);
            fAttributes.SetFrom(StPackedDictionaryKey(name.data(), name.size()), attributes, i);
        }
    }
    // Counts taken first: with this bag as the other one, the clones appended are not cloned again.
    VIndex nameCount = inOther->GetElementNamesCount();
    for (VIndex n = 1; n <= nameCount; ++n) {
        // No name is added to the other bag meanwhile (even when it is this one): the entry stays put.
        const ElementEntry& entry = (*inOther->fElements)[static_cast<size_t>(n - 1)];
        const StPackedDictionaryKey& key = entry.fKey;
        const VBagArray* bags = entry.fBags;
        VIndex bagCount = bags->GetCount();
        for (VIndex i = 1; i <= bagCount; ++i) {
            VRefPtr<VValueBag> clone = AdoptRef(bags->GetNth(i)->Clone());
            if (!clone)
                return false;
            AddElement(key, clone.Get());
        }
    }
    return true;
}

VString& VValueBag::DebugDump(VString& ioDump) const {
    DumpXML(ioDump, VString("bag"), true);
    return ioDump;
}

} // namespace vkit
