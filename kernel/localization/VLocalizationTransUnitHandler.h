// VLocalizationTransUnitHandler: a "trans-unit" of an XLIFF file: its texts, conditions and keys.
#pragma once

#include "localization/IXMLHandler.h"
#include "text/VObject.h"
#include "text/VString.h"

#include <cstdint>
#include <vector>

namespace vkit {

class VLocalizationManager;
class VValueBag;

/// Handles a "trans-unit": collects its "source" and "target" texts and its attributes, and at its end
/// (unless a platform condition excludes it) records the text, the target's when present even empty,
/// else the source's: under (group id, unit id) in the string-list table, then, when not empty, under
/// its key ("resname", or "[list]#}[{@group#}[{@resname" inside a group named "[...]") and under its
/// item id in each enclosing named group. Inside a group with a resource type, the unit's attributes
/// and text also go, as an element "trans-unit", into the group's bag.
///
/// Platform conditions: "qz:includeIf" and "qz:excludeIf" hold words separated by blanks; when the
/// words name a platform ("mac", "win" or "linux"), the unit is skipped when an "qz:includeIf" does not
/// name this platform ("linux") or an "qz:excludeIf" does.
class VLocalizationTransUnitHandler : public VObject, public IXMLHandler {
public:
    /// A unit outside any group.
    VLocalizationTransUnitHandler(VLocalizationManager& inManager, bool inReplaceExisting);
    /// A unit of a group; inParentBag (may be null) receives the unit's bag.
    VLocalizationTransUnitHandler(VLocalizationManager& inManager, bool inReplaceExisting, uint32_t inGroupID,
                                  const std::vector<VString>& inGroupNames, VValueBag* inParentBag);
    ~VLocalizationTransUnitHandler() override;

    /// The platform word of this build.
    static constexpr const char* kPlatformWord = "linux";

    IXMLHandler* StartElement(const VString& inElementName) override;
    void EndElement(const VString& inElementName) override;
    void SetAttribute(const VString& inName, const VString& inValue) override;
    void SetText(const VString& inText) override;

    /// Whether a condition value excludes a unit: inInclude for "qz:includeIf", else "qz:excludeIf".
    static bool IsExcludedByCondition(const VString& inValue, bool inInclude);

protected:
    /// Records the unit at its end (not called when excluded).
    virtual void _Finish();
    /// The target text when present, else the source text, else empty.
    const VString& _GetText() const;

    VLocalizationManager& fManager;
    VValueBag* fParentBag; // retained, may be null
    VValueBag* fBag;       // the unit's own bag, made only under a parent bag
    VString fChildName;
    VString fSourceText;
    VString fTargetText;
    bool fHasSource = false;
    bool fHasTarget = false;
    bool fExcluded = false;

private:
    uint32_t fGroupID = 0;
    uint32_t fUnitID = 0;
    VString fResourceName;
    bool fInserted = false;
    bool fReplaceExisting;
    std::vector<VString> fGroupNames;
};

/// Handles an "alt-trans" of a unit: the same texts, attributes and conditions, recorded only as an
/// element "alt-trans" of the unit's bag, never in the lookup tables.
class VLocalizationAltTransHandler : public VLocalizationTransUnitHandler {
public:
    VLocalizationAltTransHandler(VLocalizationManager& inManager, VValueBag* inUnitBag);

    IXMLHandler* StartElement(const VString& inElementName) override;

protected:
    void _Finish() override;
};

} // namespace vkit
