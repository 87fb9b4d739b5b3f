// The text of a bag saved as an XML document.
#include "bags/BagXMLText.h"

#include "bags/VValueBag.h"

namespace vkit {

void GetBagXMLText(const VValueBag& inBag, const VString& inRootElementName, bool inIndented,
                   VString& outText) {
    outText.FromCString(kBagXMLDeclarationUTF8);
    inBag.DumpXML(outText, inRootElementName, inIndented);
}

} // namespace vkit
