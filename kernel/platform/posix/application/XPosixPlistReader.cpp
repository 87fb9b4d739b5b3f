// XPosixPlistReader: the property-list SAX handler, the Xerces-C set-up and the file read.
#include "platform/posix/application/XPosixPlistReader.h"

#include "platform/posix/application/XPosixXercesInit.h"
#include "platform/posix/errors/XPosixErrorText.h"
#include "platform/posix/shared/XPosixDescriptor.h"

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <string_view>
#include <utility>

namespace vkit {

namespace {

using xercesc::Attributes;
using xercesc::SAXParseException;

constexpr XMLSize_t kEntityExpansionLimit = 100;

std::string ToUTF8(const XMLCh* inText) {
    return inText != nullptr ? VString(inText).ToUTF8() : std::string();
}

/// Builds the entries while Xerces walks the document. Depth 1 is the root "plist", depth 2 the top
/// dictionary, depth 3 its keys and values; anything deeper belongs to a skipped array or dictionary.
class PlistHandler : public xercesc::DefaultHandler {
public:
    explicit PlistHandler(XPosixPlistReader::Entries& outEntries) : fEntries(outEntries) {}

    bool Failed() const noexcept { return !fMessage.empty(); }
    const std::string& GetMessage() const noexcept { return fMessage; }

    void startElement(const XMLCh*, const XMLCh*, const XMLCh* inName, const Attributes&) override {
        ++fDepth;
        if (Failed())
            return;
        std::u16string_view name(inName);
        if (fDepth == 1 && name != u"plist")
            _Fail("the root element is '" + ToUTF8(inName) + "', not 'plist'");
        else if (fDepth == 2 && (name != u"dict" || fSawDictionary))
            _Fail("the property list holds '" + ToUTF8(inName) + "' where one dictionary is expected");
        else if (fDepth == 2)
            fSawDictionary = true;
        else if (fDepth == 3)
            _StartEntryElement(name, inName);
    }

    void endElement(const XMLCh*, const XMLCh*, const XMLCh*) override {
        if (!Failed() && fDepth == 3)
            _EndEntryElement();
        else if (!Failed() && fDepth == 2 && fHaveKey)
            _Fail("the key '" + fKey.ToUTF8() + "' has no value");
        --fDepth;
    }

    void characters(const XMLCh* inChars, const XMLSize_t inLength) override {
        if (fDepth == 3 && fCapture)
            fText.append(inChars, inLength);
    }

    void endDocument() override {
        if (!Failed() && !fSawDictionary)
            _Fail("the property list holds no dictionary");
    }

    void error(const SAXParseException& inError) override { _FailAt(inError); }
    void fatalError(const SAXParseException& inError) override { _FailAt(inError); }
    void warning(const SAXParseException&) override {}

private:
    enum class Element { None, Key, Text, Skipped };

    void _StartEntryElement(std::u16string_view inName, const XMLCh* inRawName) {
        fText.clear();
        fCapture = false;
        if (inName == u"key") {
            if (fHaveKey) {
                _Fail("the key '" + fKey.ToUTF8() + "' has no value");
                return;
            }
            fElement = Element::Key;
            fCapture = true;
            return;
        }
        if (!fHaveKey) {
            _Fail("the value '" + ToUTF8(inRawName) + "' has no key");
            return;
        }
        if (inName == u"string" || inName == u"integer" || inName == u"real" || inName == u"date" ||
            inName == u"data") {
            fElement = Element::Text;
            fCapture = true;
        } else if (inName == u"true" || inName == u"false") {
            fElement = Element::Text;
            fText = inName;
        } else if (inName == u"array" || inName == u"dict") {
            fElement = Element::Skipped;
        } else {
            // Appended rather than added to a one-character literal: GCC 12 at -O3 warns wrongly there.
            _Fail(std::string(1, '\'').append(ToUTF8(inRawName)).append("' is not a property-list value"));
        }
    }

    void _EndEntryElement() {
        fCapture = false;
        if (fElement == Element::Key) {
            fKey = VString(std::as_const(fText).data(), static_cast<VIndex>(fText.size()));
            fHaveKey = true;
        } else if (fElement == Element::Text) {
            _Store(VString(std::as_const(fText).data(), static_cast<VIndex>(fText.size())));
        } else {
            fHaveKey = false;
        }
        fElement = Element::None;
    }

    void _Store(VString&& inValue) {
        fHaveKey = false;
        for (auto& entry : fEntries) {
            if (entry.first == fKey) {
                entry.second = std::move(inValue);
                return;
            }
        }
        fEntries.emplace_back(std::move(fKey), std::move(inValue));
        fKey.Clear();
    }

    void _Fail(std::string inMessage) {
        if (!Failed())
            fMessage = std::move(inMessage);
    }

    void _FailAt(const SAXParseException& inError) {
        if (Failed())
            return;
        fMessage = "line " + std::to_string(inError.getLineNumber()) + ", column " +
                   std::to_string(inError.getColumnNumber()) + ": " + ToUTF8(inError.getMessage());
    }

    XPosixPlistReader::Entries& fEntries;
    std::string fMessage;
    std::u16string fText;
    VString fKey;
    int fDepth = 0;
    Element fElement = Element::None;
    bool fCapture = false;
    bool fHaveKey = false;
    bool fSawDictionary = false;
};

/// A reader that reads nothing but the text it is given.
std::unique_ptr<xercesc::SAX2XMLReader> MakeClosedReader(xercesc::SecurityManager& inSecurity) {
    using xercesc::XMLUni;
    std::unique_ptr<xercesc::SAX2XMLReader> reader(xercesc::XMLReaderFactory::createXMLReader());
    reader->setFeature(XMLUni::fgSAX2CoreNameSpaces, false);
    reader->setFeature(XMLUni::fgSAX2CoreValidation, false);
    reader->setFeature(XMLUni::fgXercesLoadExternalDTD, false);
    reader->setFeature(XMLUni::fgXercesDisableDefaultEntityResolution, true);
    inSecurity.setEntityExpansionLimit(kEntityExpansionLimit);
    reader->setProperty(XMLUni::fgXercesSecurityManager, &inSecurity);
    return reader;
}

/// Reads the whole file into outBytes; returns 0 or the errno of the failing call (EISDIR for a folder,
/// EFBIG past the cap).
int ReadWholeFile(const std::string& inPath, std::string& outBytes) {
    XPosixDescriptor file = XPosixDescriptor::OpenAt(AT_FDCWD, inPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (!file.IsValid())
        return errno;
    return ReadToEnd(file.Get(), outBytes, XPosixPlistReader::kMaxFileSize);
}

} // namespace

bool XPosixPlistReader::ReadFile(const std::string& inPosixPath, Entries& outEntries, Failure& outFailure) {
    outEntries.clear();
    std::string bytes;
    if (int error = ReadWholeFile(inPosixPath, bytes); error != 0) {
        outFailure.fErrno = error;
        outFailure.fMessage = XPosixErrorText::GetSystemMessage(error);
        return false;
    }
    return Parse(bytes.data(), bytes.size(), outEntries, outFailure);
}

bool XPosixPlistReader::Parse(const char* inBytes, size_t inLength, Entries& outEntries,
                              Failure& outFailure) {
    outEntries.clear();
    outFailure = Failure{};
    if (!XPosixXercesInit::Ensure()) {
        outFailure.fMessage = "the XML parser could not be initialized";
        return false;
    }
    PlistHandler handler(outEntries);
    // Xerces reports its own failures (memory, a broken reader) only by throwing: they end here.
    try {
        xercesc::SecurityManager security;
        auto reader = MakeClosedReader(security);
        reader->setContentHandler(&handler);
        reader->setErrorHandler(&handler);
        xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(inBytes), inLength,
                                          "property list");
        reader->parse(source);
    } catch (const xercesc::XMLException& inError) {
        outFailure.fMessage = ToUTF8(inError.getMessage());
    } catch (const xercesc::SAXException& inError) {
        outFailure.fMessage = ToUTF8(inError.getMessage());
    } catch (const xercesc::OutOfMemoryException&) {
        outFailure.fMessage = "out of memory";
    }
    if (outFailure.fMessage.empty() && handler.Failed())
        outFailure.fMessage = handler.GetMessage();
    if (outFailure.fMessage.empty())
        return true;
    outEntries.clear();
    return false;
}

} // namespace vkit
