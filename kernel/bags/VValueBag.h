// VValueBag: the general record, named scalar attributes plus named ordered lists of child bags.
#pragma once

#include "bags/StPackedDictionaryKey.h"
#include "bags/VPackedValueDictionary.h"
#include "text/IRefCountable.h"
#include "text/VString.h"
#include "text/VValue.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vkit {

class VBagArray;
class VValueSingle;

/// A value bag: attributes (named scalar values, in insertion order) and elements (for each name, in
/// insertion order, an ordered list of child bags), the shape of an XML element. The text content of
/// the element is the attribute named "<>". Created with one reference.
///
/// A bag is not locked: one task at a time changes it; a bag nobody changes may be read by any number
/// of tasks.
class VValueBag : public VValue, public IRefCountable {
public:
    /// The name of the attribute holding the bag's text content.
    static constexpr StPackedDictionaryKey CDataAttributeName{"<>"};

    /// A path of element names, as GetKeysFromPath makes it.
    using StKeyPath = std::vector<StPackedDictionaryKey>;

    VValueBag() noexcept = default;
    /// Copies every attribute and clones every element.
    VValueBag(const VValueBag& inOther);
    VValueBag& operator=(const VValueBag&) = delete;
    ~VValueBag() override;

    ValueKind GetValueKind() const override { return ValueKind::Bag; }
    /// A new bag (one reference, the caller's) with copies of the attributes and clones of the
    /// elements; null when memory is exhausted.
    VValueBag* Clone() const;
    /// True when the bag has no attribute and no element.
    bool IsEmpty() const noexcept;
    /// Removes every attribute and element; the memory reserved for attributes is kept, so that a bag
    /// refilled with attributes like its previous ones allocates nothing.
    void Destroy() noexcept;
    /// Hints for a task about to read a bag that another task filled, or to refill one that another
    /// task emptied: PrefetchBag asks the processor to start loading the bag object itself (without
    /// reading it), PrefetchAttributes the storage of its attributes (reading the object, so best
    /// called a while after PrefetchBag). Nothing changes.
    static void PrefetchBag(const VValueBag* inBag) noexcept {
        __builtin_prefetch(inBag);
        __builtin_prefetch(reinterpret_cast<const char*>(inBag) + sizeof(VValueBag) - 1);
    }
    void PrefetchAttributes() const noexcept { fAttributes.Prefetch(); }
    /// The bytes reserved for the attributes, used or not.
    size_t GetReservedBytes() const noexcept { return fAttributes.GetReservedBytes(); }

    // Attributes.
    VIndex GetAttributesCount() const noexcept { return fAttributes.GetCount(); }
    /// The value at a 1-based position and its name; null when out of range.
    const VValueSingle* GetNthAttribute(VIndex inIndex, VString* outName) const;
    /// The name at a 1-based position as UTF-8 bytes (valid until the bag changes); empty when out of
    /// range. Lets readers that walk every attribute skip making a string of each name.
    std::string_view GetNthAttributeKey(VIndex inIndex) const noexcept {
        return fAttributes.GetNthKey(inIndex);
    }
    /// Copies the value at a 1-based position into outValue (converted to its class, as GetAttribute
    /// does), without making a value object for it; false when out of range.
    bool GetNthAttributeValue(VIndex inIndex, VValueSingle& outValue) const {
        return fAttributes.GetNthValue(inIndex, outValue);
    }
    /// The value at a 1-based position as a 64-bit integer, as a VLong8 would read it, without making
    /// a value object; false when out of range.
    bool GetNthAttributeInteger(VIndex inIndex, int64_t& outValue) const {
        return fAttributes.GetNthInteger(inIndex, outValue);
    }
    /// Appends the value at a 1-based position as UTF-8 text (VPackedValueDictionary::AppendNthUTF8):
    /// a text set with SetStringUTF8 is copied as it is; ioScratch holds values that are converted.
    /// False when out of range.
    bool AppendNthAttributeUTF8(VIndex inIndex, std::string& ioText, VString& ioScratch) const {
        return fAttributes.AppendNthUTF8(inIndex, ioText, ioScratch);
    }
    /// The value of an attribute (it belongs to the bag and lives until the attribute changes), or null.
    const VValueSingle* GetAttribute(const StPackedDictionaryKey& inKey) const;
    /// Copies the value into outValue (converted to its class, null flag included); false, with
    /// outValue untouched, when the attribute is missing.
    bool GetAttribute(const StPackedDictionaryKey& inKey, VValueSingle& outValue) const;
    bool AttributeExists(const StPackedDictionaryKey& inKey) const noexcept {
        return fAttributes.Find(inKey) > 0;
    }
    /// Replaces the value of an existing attribute (keeping its position) or appends the attribute.
    void SetAttribute(const StPackedDictionaryKey& inKey, const VValueSingle& inValue);
    /// Removes the attribute; false when it was missing.
    bool RemoveAttribute(const StPackedDictionaryKey& inKey);

    /// Typed access: get answers whether the attribute exists and converts its value; set stores a
    /// value of the matching class (VString, VLong, VLong8, VBoolean, VReal).
    bool GetString(const StPackedDictionaryKey& inKey, VString& outValue) const;
    void SetString(const StPackedDictionaryKey& inKey, const VString& inValue);
    /// SetString for a text given as UTF-8, kept as UTF-8 (VPackedValueDictionary::SetStringUTF8): it
    /// reads back as the same VString, and AppendNthAttributeUTF8 copies it without a conversion.
    void SetStringUTF8(const StPackedDictionaryKey& inKey, std::string_view inText) {
        fAttributes.SetStringUTF8(inKey, inText);
    }
    bool GetLong(const StPackedDictionaryKey& inKey, int32_t& outValue) const;
    void SetLong(const StPackedDictionaryKey& inKey, int32_t inValue);
    bool GetLong8(const StPackedDictionaryKey& inKey, int64_t& outValue) const;
    void SetLong8(const StPackedDictionaryKey& inKey, int64_t inValue);
    bool GetBool(const StPackedDictionaryKey& inKey, bool& outValue) const;
    void SetBool(const StPackedDictionaryKey& inKey, bool inValue);
    bool GetReal(const StPackedDictionaryKey& inKey, double& outValue) const;
    void SetReal(const StPackedDictionaryKey& inKey, double inValue);

    /// The text content (the "<>" attribute); false when there is none.
    bool GetCData(VString& outText) const { return GetString(CDataAttributeName, outText); }
    void SetCData(const VString& inText) { SetString(CDataAttributeName, inText); }

    // Elements.
    /// The list of a name, or null.
    const VBagArray* GetElements(const StPackedDictionaryKey& inKey) const;
    VBagArray* GetElements(const StPackedDictionaryKey& inKey);
    /// The first bag of a name, or null.
    const VValueBag* GetUniqueElement(const StPackedDictionaryKey& inKey) const;
    VValueBag* GetUniqueElement(const StPackedDictionaryKey& inKey);
    VIndex GetElementNamesCount() const noexcept;
    /// The list of the name at a 1-based position and that name; null when out of range.
    const VBagArray* GetNthElementName(VIndex inIndex, VString* outName) const;
    VBagArray* GetNthElementName(VIndex inIndex, VString* outName);
    /// Appends the bag (retained) to the list of the name; a null bag is ignored.
    void AddElement(const StPackedDictionaryKey& inKey, VValueBag* inBag);
    /// Afterwards the list of the name holds exactly this bag (retained); a list that already holds
    /// only this bag is left alone. A null bag removes the list.
    void ReplaceElement(const StPackedDictionaryKey& inKey, VValueBag* inBag);
    /// Removes the list of the name.
    void RemoveElements(const StPackedDictionaryKey& inKey);

    // Paths of element names.
    /// Splits a path at each "/" into names; empty names are skipped.
    static void GetKeysFromPath(const VString& inPath, StKeyPath& outKeys);
    /// Follows the path taking the first bag of each list; this bag for an empty path, null when a
    /// name has no bag.
    const VValueBag* GetUniqueElementByPath(const StKeyPath& inPath) const;
    const VValueBag* GetUniqueElementByPath(const VString& inPath) const;
    /// As GetUniqueElementByPath, adding an empty bag where a name has none. Null only when memory is
    /// exhausted.
    VValueBag* GetElementByPathAndCreateIfDontExists(const StKeyPath& inPath);
    /// ReplaceElement on the bag the path leads to without its last name (made where missing), with the
    /// last name. False, doing nothing, for an empty path.
    bool ReplaceElementByPath(const StKeyPath& inPath, VValueBag* inBag);

    /// Sets every attribute of the other bag here (replacing one of the same name), then appends a clone
    /// of each of its element bags, name by name and in order, to this bag's list of that name.
    /// False when a clone cannot be made (the remaining elements are skipped).
    bool UnionClone(const VValueBag* inOther);

    // XML.
    /// Appends the bag as an XML element named inElementName; indented means one tab per nesting level
    /// with each end tag of a bag with children on its own line.
    void DumpXML(VString& ioText, const VString& inElementName, bool inIndented) const;
    /// Appends a text as XML character data: as it is, or in CDATA sections when it holds markup
    /// characters or line breaks with other text. Characters not allowed in XML are dropped. Answers
    /// whether anything was written.
    static bool DumpXMLCData(VString& ioText, const VString& inText);

    /// Appends the bag's indented XML under the name "bag".
    VString& DebugDump(VString& ioDump) const override;

private:
    struct ElementEntry {
        StPackedDictionaryKey fKey; // owned copy
        VBagArray* fBags;           // retained
    };
    using ElementList = std::vector<ElementEntry>;

    ElementEntry* _FindElements(const StPackedDictionaryKey& inKey) const noexcept;
    VBagArray* _GetOrCreateElements(const StPackedDictionaryKey& inKey);
    void _DumpXML(VString& ioText, const VString& inElementName, int inLevel) const;
    void _DumpXMLAttributes(VString& ioText) const;

    VPackedValueDictionary fAttributes;
    std::unique_ptr<ElementList> fElements; // made by the first AddElement
};

} // namespace vkit
