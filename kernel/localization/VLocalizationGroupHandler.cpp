// VLocalizationGroupHandler: group attributes, nested groups and the group bags.
#include "localization/VLocalizationGroupHandler.h"

#include "bags/VValueBag.h"
#include "localization/VLocalizationManager.h"
#include "localization/VLocalizationTransUnitHandler.h"

namespace vkit {

namespace {

const StPackedDictionaryKey kResnameKey("resname");

} // namespace

VLocalizationGroupHandler::VLocalizationGroupHandler(VLocalizationManager& inManager, bool inReplaceExisting)
    : fManager(inManager), fReplaceExisting(inReplaceExisting) {}

VLocalizationGroupHandler::~VLocalizationGroupHandler() {
    ReleaseRefCountable(&fGroupBag);
}

void VLocalizationGroupHandler::SetAttribute(const VString& inName, const VString& inValue) {
    if (fGroupBag == nullptr)
        fGroupBag = new VValueBag;
    if (inName == "id") {
        if (uint32_t id = static_cast<uint32_t>(inValue.GetLong()); id != 0)
            fGroupID = id;
    } else if (inName == "resname") {
        if (!inValue.IsEmpty())
            fGroupNames.back() = inValue;
    } else if (inName == "restype") {
        fResourceType = inValue;
    }
    fGroupBag->SetString(StPackedDictionaryKey(inName), inValue);
}

IXMLHandler* VLocalizationGroupHandler::StartElement(const VString& inElementName) {
    if (inElementName == "trans-unit")
        return new VLocalizationTransUnitHandler(fManager, fReplaceExisting, fGroupID, fGroupNames,
                                                 fResourceType.IsEmpty() ? nullptr : fGroupBag);
    if (inElementName == "group") {
        fGroupNames.emplace_back();
        Retain();
        return this;
    }
    return nullptr;
}

void VLocalizationGroupHandler::EndElement(const VString&) {
    if (fGroupBag != nullptr && !fResourceType.IsEmpty()) {
        const VString& name = fGroupNames.back();
        if (!name.IsEmpty())
            fGroupBag->SetString(kResnameKey, name);
        fManager.InsertGroupBag(name, fResourceType, fGroupBag);
    }
    ReleaseRefCountable(&fGroupBag);
    fResourceType.Clear();
    if (!fGroupNames.empty())
        fGroupNames.pop_back();
}

} // namespace vkit
