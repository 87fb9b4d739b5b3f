// VLocalizationXMLHandler: the language of each file and the handlers of its groups and units.
#include "localization/VLocalizationXMLHandler.h"

#include "localization/VLocalizationGroupHandler.h"
#include "localization/VLocalizationManager.h"
#include "localization/VLocalizationTransUnitHandler.h"
#include "text/VIntlMgr.h"

namespace vkit {

VLocalizationXMLHandler::VLocalizationXMLHandler(VLocalizationManager& inManager) : fManager(inManager) {
    VIntlMgr::GetRFC3066CodeFromDialectCode(inManager.GetLocalizationLanguage(), fLanguageCode, u'-');
}

IXMLHandler* VLocalizationXMLHandler::StartElement(const VString& inElementName) {
    fInFile = inElementName == "file";
    if (!fInFile && (fLanguageAccepted || fAvoidLanguageChecking)) {
        if (inElementName == "group")
            return new VLocalizationGroupHandler(fManager, fReplaceExisting);
        if (inElementName == "trans-unit")
            return new VLocalizationTransUnitHandler(fManager, fReplaceExisting);
    }
    // Anything else, and everything of a file in another language, stays with the root: nothing under
    // it is recorded.
    Retain();
    return this;
}

void VLocalizationXMLHandler::SetAttribute(const VString& inName, const VString& inValue) {
    if (!fInFile || !(inName == "target-language"))
        return;
    int32_t match = VIntlMgr::Compare2RFC3066LanguageCodes(fLanguageCode, inValue);
    fLanguageAccepted = match >= 1;
    if (fLanguageAccepted)
        fReplaceExisting = match == 4;
}

} // namespace vkit
