// The text of a bag saved as an XML document: the XML declaration followed by the bag's element.
#pragma once

#include "text/VString.h"

namespace vkit {

class VValueBag;

/// The declaration that starts a bag document stored in UTF-8.
inline constexpr char kBagXMLDeclarationUTF8[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

/// Sets outText to the whole XML document of a bag as a bag file holds it (to be stored in UTF-8):
/// the declaration immediately followed, without a line feed, by the bag's element named
/// inRootElementName (VValueBag::DumpXML).
void GetBagXMLText(const VValueBag& inBag, const VString& inRootElementName, bool inIndented,
                   VString& outText);

} // namespace vkit
