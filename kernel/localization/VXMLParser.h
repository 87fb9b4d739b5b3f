// VXMLParser: the SAX parser of XML texts in memory, driving a stack of element handlers.
#pragma once

#include "errors/VErrorCodes.h"
#include "text/VObject.h"
#include "text/VString.h"

#include <cstddef>
#include <cstdint>

namespace vkit {

class IXMLHandler;

/// The component of the library's XML errors.
constexpr OsType kComponentXML = MakeOsType("xmlc");
/// A document that is not well-formed XML (or fails validation): parameters "path", "line",
/// "column" and "message".
constexpr VError VE_XML_PARSING_FAILED = MakeVError(kComponentXML, 1);

/// Parses an XML document held in memory with the Xerces-C SAX parser, which runs in the XML module
/// (VXMLModuleInterface.h), loaded by the first parse of the process. The parser keeps a stack of
/// handlers, the root's at the bottom: for each element the handler on top gives the child's handler
/// (StartElement), which receives the element's attributes and is pushed; an element without handler
/// is skipped with all its content. Character data goes to the handler on top; at an element's end
/// its handler receives EndElement and is released.
///
/// External DTDs and entities are never read unless kLoadExternalDTD is asked, and entity expansion is
/// limited. The first fatal error stops the parse: it is pushed on the task's error context with the
/// document's name and position; what the handlers received before it stays theirs.
class VXMLParser : public VObject {
public:
    /// Options of Parse.
    static constexpr uint32_t kValidateAlways = 1;
    static constexpr uint32_t kValidateNever = 2;
    static constexpr uint32_t kNamespaces = 4;
    static constexpr uint32_t kLoadExternalDTD = 8;
    static constexpr uint32_t kReportDefaultedAttributes = 16;

    /// Loads the XML module now rather than at the first parse; false when it cannot be loaded (a
    /// parse then pushes the reason).
    static bool Init();

    /// Parses inSize bytes (the encoding read from a byte-order mark or the XML declaration, UTF-8
    /// otherwise) for inRoot, which receives the document's root element. inSystemID names the document
    /// in errors (a path, or "frommem"). Answers VE_OK or the error pushed.
    [[nodiscard]] VError Parse(const void* inBytes, size_t inSize, IXMLHandler* inRoot, uint32_t inOptions,
                               const VString& inSystemID);
    /// Parses a text (given to the parser as UTF-16), named "frommem".
    [[nodiscard]] VError Parse(const VString& inText, IXMLHandler* inRoot, uint32_t inOptions);
};

} // namespace vkit
