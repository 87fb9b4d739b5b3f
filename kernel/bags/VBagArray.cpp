// VBagArray: the list operations and cloning.
#include "bags/VBagArray.h"

#include "bags/VValueBag.h"

#include <new>

namespace vkit {

VBagArray::~VBagArray() {
    Destroy();
}

void VBagArray::AddTail(VValueBag* inBag) {
    if (inBag == nullptr)
        return;
    fBags.push_back(inBag);
    inBag->Retain();
}

VValueBag* VBagArray::RetainNth(VIndex inIndex) const {
    if (inIndex >= 1 && static_cast<size_t>(inIndex) <= fBags.size())
        return RetainRefCountable(fBags[static_cast<size_t>(inIndex - 1)]);
    return new (std::nothrow) VValueBag;
}

const VValueBag* VBagArray::GetNth(VIndex inIndex) const noexcept {
    if (inIndex >= 1 && static_cast<size_t>(inIndex) <= fBags.size())
        return fBags[static_cast<size_t>(inIndex - 1)];
    return nullptr;
}

VValueBag* VBagArray::GetNth(VIndex inIndex) noexcept {
    if (inIndex >= 1 && static_cast<size_t>(inIndex) <= fBags.size())
        return fBags[static_cast<size_t>(inIndex - 1)];
    return nullptr;
}

void VBagArray::Destroy() noexcept {
    // Released after the list is emptied: a released bag may own this very list.
    std::vector<VValueBag*> bags;
    bags.swap(fBags);
    for (VValueBag* bag : bags)
        bag->Release();
}

VBagArray* VBagArray::Clone() const {
    VRefPtr<VBagArray> copy = AdoptRef(new (std::nothrow) VBagArray);
    if (!copy)
        return nullptr;
    copy->fBags.reserve(fBags.size());
    for (const VValueBag* bag : fBags) {
        VValueBag* clone = bag->Clone();
        if (clone == nullptr)
            return nullptr;
        copy->fBags.push_back(clone);
    }
    return copy.Forget();
}

VString& VBagArray::DebugDump(VString& ioDump) const {
    ioDump.AppendCString("VBagArray count=");
    return ioDump.AppendLong(GetCount());
}

} // namespace vkit
