// VXMLModuleInterface: the C interface between VXMLParser and the XML module that runs Xerces-C for it.
#pragma once

#include <cstddef>
#include <cstdint>

/// Xerces-C and the libraries it brings (dozens, through its network access) take longer to load than
/// the rest of a program's start-up, and only a document parse needs them: they live in a module of
/// their own, loaded on the first parse. The module exports one function, named kVXMLModuleEntry, of
/// type VXMLModuleParse; a change of the structures below changes that name.
extern "C" {

/// What to parse and how.
struct VXMLModuleInput {
    const unsigned char* fBytes;
    size_t fSize;
    /// The document's name in the parser's messages (UTF-16, 0-terminated).
    const char16_t* fSystemID;
    /// The encoding to read the bytes in (UTF-16, 0-terminated); null: from the document.
    const char16_t* fEncoding;
    /// 0 never validate, 1 always, 2 when the document has a grammar.
    uint32_t fValidation;
    bool fNamespaces;
    /// Read an external DTD; otherwise no external DTD and no external entity is read.
    bool fLoadExternalDTD;
    /// Entity expansions allowed in one document.
    uint64_t fEntityExpansionLimit;
};

/// The document's events, in document order, each with fContext. Texts are UTF-16; names and values
/// are 0-terminated, character data has its length. An element's attributes follow its start.
struct VXMLModuleEvents {
    void* fContext;
    void (*fStartElement)(void* inContext, const char16_t* inName);
    void (*fAttribute)(void* inContext, const char16_t* inName, const char16_t* inValue);
    void (*fEndElement)(void* inContext, const char16_t* inName);
    void (*fCharacters)(void* inContext, const char16_t* inChars, size_t inLength);
    /// A failure of the document (line and column from 1) or of the parser (line and column 0). More
    /// than one may come; the first is the one to report.
    void (*fError)(void* inContext, uint64_t inLine, uint64_t inColumn, const char16_t* inMessage);
};

/// Parses the document, reporting through the events. Brings Xerces-C up on its first call.
using VXMLModuleParse = void (*)(const VXMLModuleInput* inInput, const VXMLModuleEvents* inEvents);

inline constexpr const char* kVXMLModuleEntry = "vkit_xml_module_parse_1";

} // extern "C"
