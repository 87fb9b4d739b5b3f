// VBagArray: an ordered list of retained value bags (the bags of one element name).
#pragma once

#include "text/IRefCountable.h"
#include "text/VObject.h"
#include "text/VString.h"

#include <vector>

namespace vkit {

class VValueBag;

/// An ordered list of bags, each retained by the list. Created with one reference.
class VBagArray : public VObject, public IRefCountable {
public:
    VBagArray() = default;
    VBagArray(const VBagArray&) = delete;
    VBagArray& operator=(const VBagArray&) = delete;
    ~VBagArray() override;

    VIndex GetCount() const noexcept { return static_cast<VIndex>(fBags.size()); }
    bool IsEmpty() const noexcept { return fBags.empty(); }

    /// Appends the bag, retaining it; a null bag is ignored.
    void AddTail(VValueBag* inBag);
    /// The bag at a 1-based position, retained for the caller; a new empty bag (also the caller's)
    /// when the position is out of range. Null only when memory is exhausted.
    VValueBag* RetainNth(VIndex inIndex) const;
    /// The bag at a 1-based position, not retained; null when out of range.
    const VValueBag* GetNth(VIndex inIndex) const noexcept;
    VValueBag* GetNth(VIndex inIndex) noexcept;
    /// Releases every bag and empties the list.
    void Destroy() noexcept;

    /// A new list (one reference, the caller's) holding clones of every bag; null when a clone cannot
    /// be made.
    VBagArray* Clone() const;

    /// Appends the class name and the count.
    VString& DebugDump(VString& ioDump) const override;

private:
    std::vector<VValueBag*> fBags;
};

} // namespace vkit
