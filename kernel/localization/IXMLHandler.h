// IXMLHandler: the handler of one XML element for VXMLParser.
#pragma once

#include "text/IRefCountable.h"

namespace vkit {

class VString;

/// Receives one element of a document from VXMLParser: its attributes, its character data and its
/// end, and gives the handler of each child element.
class IXMLHandler : public IRefCountable {
public:
    /// The handler of a child element named inElementName, retained for the parser (which releases it
    /// at the child's end); this handler itself may answer. Null ignores the child and its content.
    virtual IXMLHandler* StartElement(const VString& inElementName) = 0;
    /// The end of an element this handler was given for (its own, or a child's it answered itself).
    virtual void EndElement(const VString& inElementName) = 0;
    /// One attribute of the element, as written in the document.
    virtual void SetAttribute(const VString& inName, const VString& inValue) = 0;
    /// A piece of the element's character data (several pieces may come).
    virtual void SetText(const VString& inText) = 0;
};

} // namespace vkit
