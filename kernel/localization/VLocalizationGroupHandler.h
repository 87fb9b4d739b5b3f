// VLocalizationGroupHandler: a "group" of an XLIFF file: its id, its names and its attribute bag.
#pragma once

#include "localization/IXMLHandler.h"
#include "text/VObject.h"
#include "text/VString.h"

#include <cstdint>
#include <vector>

namespace vkit {

class VLocalizationManager;
class VValueBag;

/// Handles a "group" and the groups nested in it. "id" (a number) becomes the string-list id of the
/// units, "resname" names the group (each nested group pushes a name of its own), and a group with a
/// "restype" keeps its attributes and its units in a bag, stored in the store under its name and its
/// type when the group ends.
class VLocalizationGroupHandler : public VObject, public IXMLHandler {
public:
    VLocalizationGroupHandler(VLocalizationManager& inManager, bool inReplaceExisting);
    ~VLocalizationGroupHandler() override;

    IXMLHandler* StartElement(const VString& inElementName) override;
    void EndElement(const VString& inElementName) override;
    void SetAttribute(const VString& inName, const VString& inValue) override;
    void SetText(const VString&) override {}

private:
    VLocalizationManager& fManager;
    bool fReplaceExisting;
    uint32_t fGroupID = 0;
    std::vector<VString> fGroupNames{VString()};
    VValueBag* fGroupBag = nullptr; // made by the first attribute
    VString fResourceType;
};

} // namespace vkit
