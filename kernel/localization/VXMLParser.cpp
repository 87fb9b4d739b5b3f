// VXMLParser: the Xerces-C SAX reader set up from the options, and the handler stack it drives.
#include "localization/VXMLParser.h"

#include "bags/VValueBag.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorThrow.h"
#include "localization/IXMLHandler.h"
#include "platform/posix/application/XPosixXercesInit.h"

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <unicode/utf8.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace vkit {

namespace {

constexpr XMLSize_t kEntityExpansionLimit = 100;

const StPackedDictionaryKey kPathKey("path");
const StPackedDictionaryKey kLineKey("line");
const StPackedDictionaryKey kColumnKey("column");
const StPackedDictionaryKey kMessageKey("message");

/// Walks the document for the handlers and keeps the first error.
class HandlerStack : public xercesc::DefaultHandler {
public:
    explicit HandlerStack(IXMLHandler* inRoot) { fStack.push_back(RetainRefCountable(inRoot)); }
    ~HandlerStack() override {
        for (IXMLHandler* handler : fStack)
            ReleaseRefCountable(&handler);
    }
    HandlerStack(const HandlerStack&) = delete;
    HandlerStack& operator=(const HandlerStack&) = delete;

    bool Failed() const noexcept { return fFailed; }
    XMLFileLoc GetLine() const noexcept { return fLine; }
    XMLFileLoc GetColumn() const noexcept { return fColumn; }
    const VString& GetMessage() const noexcept { return fMessage; }

    void startElement(const XMLCh*, const XMLCh*, const XMLCh* inName,
                      const xercesc::Attributes& inAttributes) override {
        IXMLHandler* top = fStack.back();
        IXMLHandler* child = top != nullptr ? top->StartElement(VString(inName)) : nullptr;
        if (child != nullptr) {
            for (XMLSize_t i = 0; i < inAttributes.getLength(); ++i)
                child->SetAttribute(VString(inAttributes.getQName(i)), VString(inAttributes.getValue(i)));
        }
        fStack.push_back(child);
    }

    void endElement(const XMLCh*, const XMLCh*, const XMLCh* inName) override {
        IXMLHandler* top = fStack.back();
        fStack.pop_back();
        if (top != nullptr) {
            top->EndElement(VString(inName));
            top->Release();
        }
    }

    void characters(const XMLCh* inChars, const XMLSize_t inLength) override {
        if (IXMLHandler* top = fStack.back(); top != nullptr && inLength > 0)
            top->SetText(VString(inChars, static_cast<VIndex>(inLength)));
    }

    void error(const xercesc::SAXParseException& inError) override { _Fail(inError); }
    void fatalError(const xercesc::SAXParseException& inError) override { _Fail(inError); }
    void warning(const xercesc::SAXParseException&) override {}

    void FailWith(const XMLCh* inMessage) {
        if (!fFailed)
            fMessage = VString(inMessage);
        fFailed = true;
    }

    /// Replaces any error by one at a given place.
    void FailAt(XMLFileLoc inLine, XMLFileLoc inColumn, const VString& inMessage) {
        fFailed = true;
        fLine = inLine;
        fColumn = inColumn;
        fMessage = inMessage;
    }

private:
    void _Fail(const xercesc::SAXParseException& inError) {
        if (fFailed)
            return;
        fFailed = true;
        fLine = inError.getLineNumber();
        fColumn = inError.getColumnNumber();
        fMessage = VString(inError.getMessage());
    }

    std::vector<IXMLHandler*> fStack; // retained; null slots for skipped elements
    bool fFailed = false;
    XMLFileLoc fLine = 0;
    XMLFileLoc fColumn = 0;
    VString fMessage;
};

std::unique_ptr<xercesc::SAX2XMLReader> MakeReader(uint32_t inOptions, xercesc::SecurityManager& inSecurity) {
    using xercesc::SAX2XMLReader;
    using xercesc::XMLUni;
    std::unique_ptr<SAX2XMLReader> reader(xercesc::XMLReaderFactory::createXMLReader());
    reader->setFeature(XMLUni::fgSAX2CoreNameSpaces, (inOptions & VXMLParser::kNamespaces) != 0);
    reader->setFeature(XMLUni::fgSAX2CoreNameSpacePrefixes, false);
    bool always = (inOptions & VXMLParser::kValidateAlways) != 0;
    bool never = !always && (inOptions & VXMLParser::kValidateNever) != 0;
    reader->setFeature(XMLUni::fgSAX2CoreValidation, !never);
    reader->setFeature(XMLUni::fgXercesDynamic, !always && !never);
    bool loadExternal = (inOptions & VXMLParser::kLoadExternalDTD) != 0;
    reader->setFeature(XMLUni::fgXercesLoadExternalDTD, loadExternal);
    reader->setFeature(XMLUni::fgXercesDisableDefaultEntityResolution, !loadExternal);
    inSecurity.setEntityExpansionLimit(kEntityExpansionLimit);
    reader->setProperty(XMLUni::fgXercesSecurityManager, &inSecurity);
    return reader;
}

/// Whether a document is to be read as UTF-8: no UTF-16 or UTF-32 byte-order mark, and no XML
/// declaration naming another encoding.
bool IsUTF8Document(const unsigned char* inBytes, size_t inSize) {
    if (inSize >= 2 &&
        ((inBytes[0] == 0xFE && inBytes[1] == 0xFF) || (inBytes[0] == 0xFF && inBytes[1] == 0xFE)))
        return false;
    if (inSize >= 4 && inBytes[0] == 0 && inBytes[1] == 0)
        return false;
    if (inSize < 5 || std::memcmp(inBytes, "<?xml", 5) != 0)
        return true;
    std::string declaration(reinterpret_cast<const char*>(inBytes), std::min<size_t>(inSize, 256));
    declaration = declaration.substr(0, declaration.find("?>"));
    size_t encoding = declaration.find("encoding");
    if (encoding == std::string::npos)
        return true;
    size_t quote = declaration.find_first_of("\"'", encoding);
    if (quote == std::string::npos)
        return true;
    std::string name = declaration.substr(quote + 1, 5);
    for (char& c : name)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return name == "UTF-8" || name.substr(0, 4) == "UTF8";
}

/// The length of the longest prefix that is well-formed UTF-8; the line and column (in characters)
/// of the first byte after it.
size_t ValidUTF8Prefix(const unsigned char* inBytes, size_t inSize, XMLFileLoc& outLine,
                       XMLFileLoc& outColumn) {
    outLine = 1;
    outColumn = 1;
    int32_t length = static_cast<int32_t>(std::min<size_t>(inSize, INT32_MAX));
    for (int32_t index = 0; index < length;) {
        int32_t start = index;
        UChar32 c;
        U8_NEXT(inBytes, index, length, c);
        if (c < 0)
            return static_cast<size_t>(start);
        if (c == '\n') {
            ++outLine;
            outColumn = 1;
        } else {
            ++outColumn;
        }
    }
    return inSize;
}

[[nodiscard]] VError PushFailure(const HandlerStack& inHandler, const VString& inSystemID) {
    VErrorBase* error = new VErrorBase(VE_XML_PARSING_FAILED);
    VValueBag& parameters = error->GetBag();
    parameters.SetString(kPathKey, inSystemID);
    parameters.SetLong8(kLineKey, static_cast<int64_t>(inHandler.GetLine()));
    parameters.SetLong8(kColumnKey, static_cast<int64_t>(inHandler.GetColumn()));
    parameters.SetString(kMessageKey, inHandler.GetMessage());
    parameters.SetString(ErrorBagKeys::error_description,
                         VString("XML error in '{path}' at line {line}, column {column}: {message}"));
    _PushRetainedError(error);
    return VE_XML_PARSING_FAILED;
}

[[nodiscard]] VError ParseBytes(const void* inBytes, size_t inSize, IXMLHandler* inRoot, uint32_t inOptions,
                                const VString& inSystemID, const XMLCh* inEncoding) {
    // Xerces decodes its input ahead of the parse, so that a byte that is not UTF-8 would end it before
    // the elements in front of it are read: the text is parsed up to that byte, which is reported.
    const auto* bytes = static_cast<const XMLByte*>(inBytes);
    XMLFileLoc badLine = 0;
    XMLFileLoc badColumn = 0;
    size_t valid = inSize;
    if (inEncoding == nullptr && IsUTF8Document(bytes, inSize))
        valid = ValidUTF8Prefix(bytes, inSize, badLine, badColumn);
    HandlerStack handler(inRoot);
    if (!XPosixXercesInit::Ensure()) {
        handler.FailWith(u"the XML parser could not be initialized");
        return PushFailure(handler, inSystemID);
    }
    // Xerces reports its own failures (memory, a broken reader) only by throwing: they end here.
    try {
        xercesc::SecurityManager security;
        auto reader = MakeReader(inOptions, security);
        reader->setContentHandler(&handler);
        reader->setErrorHandler(&handler);
        std::u16string systemID(inSystemID.View());
        xercesc::MemBufInputSource source(bytes, valid, systemID.c_str());
        if (inEncoding != nullptr)
            source.setEncoding(inEncoding);
        reader->parse(source);
    } catch (const xercesc::XMLException& inError) {
        handler.FailWith(inError.getMessage());
    } catch (const xercesc::SAXException& inError) {
        handler.FailWith(inError.getMessage());
    } catch (const xercesc::OutOfMemoryException&) {
        handler.FailWith(u"out of memory");
    }
    if (valid < inSize) {
        VString message("invalid UTF-8 byte 0x");
        message.AppendCString(std::string(1, "0123456789ABCDEF"[bytes[valid] >> 4]).c_str());
        message.AppendCString(std::string(1, "0123456789ABCDEF"[bytes[valid] & 0xF]).c_str());
        handler.FailAt(badLine, badColumn, message);
    }
    return handler.Failed() ? PushFailure(handler, inSystemID) : VE_OK;
}

} // namespace

bool VXMLParser::Init() {
    return XPosixXercesInit::Ensure();
}

VError VXMLParser::Parse(const void* inBytes, size_t inSize, IXMLHandler* inRoot, uint32_t inOptions,
                         const VString& inSystemID) {
    return ParseBytes(inBytes, inSize, inRoot, inOptions, inSystemID, nullptr);
}

VError VXMLParser::Parse(const VString& inText, IXMLHandler* inRoot, uint32_t inOptions) {
    // The text's code units are given as they are, in the machine's order: UTF-16LE here.
    return ParseBytes(inText.GetCPointer(), static_cast<size_t>(inText.GetLength()) * sizeof(UniChar), inRoot,
                      inOptions, VString("frommem"), xercesc::XMLUni::fgUTF16LEncodingString);
}

} // namespace vkit
