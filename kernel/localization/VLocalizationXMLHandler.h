// VLocalizationXMLHandler: the root handler of XLIFF files: the file's target language.
#pragma once

#include "localization/IXMLHandler.h"
#include "text/VObject.h"
#include "text/VString.h"

namespace vkit {

class VLocalizationManager;

/// Reads the "target-language" of each "file" element and decides whether the groups and units that
/// follow are loaded: when the language is the store's (any dialect), or always while language
/// checking is avoided. A file of the store's exact dialect replaces texts already loaded; another
/// dialect only adds. The flags keep the values the last "target-language" gave, from one file to the
/// next.
class VLocalizationXMLHandler : public VObject, public IXMLHandler {
public:
    explicit VLocalizationXMLHandler(VLocalizationManager& inManager);

    void SetAvoidLanguageChecking(bool inAvoid) noexcept { fAvoidLanguageChecking = inAvoid; }
    bool IsLanguageAccepted() const noexcept { return fLanguageAccepted; }
    bool IsReplacingExisting() const noexcept { return fReplaceExisting; }

    IXMLHandler* StartElement(const VString& inElementName) override;
    void EndElement(const VString&) override {}
    void SetAttribute(const VString& inName, const VString& inValue) override;
    void SetText(const VString&) override {}

private:
    VLocalizationManager& fManager;
    VString fLanguageCode; // the store's language as an RFC 3066 code with "-"
    bool fInFile = false;
    bool fLanguageAccepted = false;
    bool fReplaceExisting = true;
    bool fAvoidLanguageChecking = false;
};

} // namespace vkit
