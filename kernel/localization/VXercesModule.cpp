// VXercesModule: the XML module (a shared object of its own): the Xerces-C SAX reader set up from the
// input, its events forwarded to the caller's functions.
#include "localization/VXMLModuleInterface.h"

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <memory>
#include <type_traits>

namespace {

/// Forwards the reader's events.
class EventForwarder : public xercesc::DefaultHandler {
public:
    explicit EventForwarder(const VXMLModuleEvents& inEvents) : fEvents(inEvents) {}

    void startElement(const XMLCh*, const XMLCh*, const XMLCh* inName,
                      const xercesc::Attributes& inAttributes) override {
        fEvents.fStartElement(fEvents.fContext, inName);
        for (XMLSize_t i = 0; i < inAttributes.getLength(); ++i)
            fEvents.fAttribute(fEvents.fContext, inAttributes.getQName(i), inAttributes.getValue(i));
    }
    void endElement(const XMLCh*, const XMLCh*, const XMLCh* inName) override {
        fEvents.fEndElement(fEvents.fContext, inName);
    }
    void characters(const XMLCh* inChars, const XMLSize_t inLength) override {
        fEvents.fCharacters(fEvents.fContext, inChars, inLength);
    }
    void error(const xercesc::SAXParseException& inError) override { _Report(inError); }
    void fatalError(const xercesc::SAXParseException& inError) override { _Report(inError); }
    void warning(const xercesc::SAXParseException&) override {}

    void Fail(const XMLCh* inMessage) const { fEvents.fError(fEvents.fContext, 0, 0, inMessage); }

private:
    void _Report(const xercesc::SAXParseException& inError) const {
        fEvents.fError(fEvents.fContext, inError.getLineNumber(), inError.getColumnNumber(),
                       inError.getMessage());
    }

    const VXMLModuleEvents& fEvents;
};

bool InitializeXerces() noexcept {
    try {
        xercesc::XMLPlatformUtils::Initialize();
        return true;
    } catch (...) {
        // Xerces reports a failed start-up only by throwing; the parse reports it.
        return false;
    }
}

std::unique_ptr<xercesc::SAX2XMLReader> MakeReader(const VXMLModuleInput& inInput,
                                                   xercesc::SecurityManager& inSecurity) {
    using xercesc::XMLUni;
    std::unique_ptr<xercesc::SAX2XMLReader> reader(xercesc::XMLReaderFactory::createXMLReader());
    reader->setFeature(XMLUni::fgSAX2CoreNameSpaces, inInput.fNamespaces);
    reader->setFeature(XMLUni::fgSAX2CoreNameSpacePrefixes, false);
    reader->setFeature(XMLUni::fgSAX2CoreValidation, inInput.fValidation != 0);
    reader->setFeature(XMLUni::fgXercesDynamic, inInput.fValidation == 2);
    reader->setFeature(XMLUni::fgXercesLoadExternalDTD, inInput.fLoadExternalDTD);
    reader->setFeature(XMLUni::fgXercesDisableDefaultEntityResolution, !inInput.fLoadExternalDTD);
    inSecurity.setEntityExpansionLimit(static_cast<XMLSize_t>(inInput.fEntityExpansionLimit));
    reader->setProperty(XMLUni::fgXercesSecurityManager, &inSecurity);
    return reader;
}

} // namespace

extern "C" __attribute__((visibility("default"))) void
vkit_xml_module_parse_1(const VXMLModuleInput* inInput, const VXMLModuleEvents* inEvents) {
    static_assert(std::is_same_v<decltype(&vkit_xml_module_parse_1), VXMLModuleParse>);
    EventForwarder forwarder(*inEvents);
    // Initialized once, whichever task parses first, and kept up until the process ends, so that
    // parses on several tasks never race a shut-down.
    static const bool sReady = InitializeXerces();
    if (!sReady) {
        forwarder.Fail(u"the XML parser could not be initialized");
        return;
    }
    // Xerces reports its own failures (memory, a broken reader) only by throwing: they end here.
    try {
        xercesc::SecurityManager security;
        auto reader = MakeReader(*inInput, security);
        reader->setContentHandler(&forwarder);
        reader->setErrorHandler(&forwarder);
        xercesc::MemBufInputSource source(inInput->fBytes, inInput->fSize, inInput->fSystemID);
        if (inInput->fEncoding != nullptr)
            source.setEncoding(inInput->fEncoding);
        reader->parse(source);
    } catch (const xercesc::XMLException& inError) {
        forwarder.Fail(inError.getMessage());
    } catch (const xercesc::SAXException& inError) {
        forwarder.Fail(inError.getMessage());
    } catch (const xercesc::OutOfMemoryException&) {
        forwarder.Fail(u"out of memory");
    }
}
