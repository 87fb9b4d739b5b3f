// XPosixPlistReader: the property-list expat handlers and the file read.
#include "platform/posix/application/XPosixPlistReader.h"

#include "platform/posix/errors/XPosixErrorText.h"
#include "platform/posix/shared/XPosixCalls.h"
#include "platform/posix/shared/XPosixDescriptor.h"

// Debian's expat is built with DTD support, which brings the amplification limit; its header declares
// that limit's settings only when told so.
#define XML_DTD
#include <expat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string_view>
#include <utility>

namespace vkit {

namespace {

/// Entities may swell the text this much before the amplification limit applies; a property list
/// declares no entity at all.
constexpr unsigned long long kAmplificationThreshold = 64 * 1024;

/// Builds the entries while expat walks the document. Depth 1 is the root "plist", depth 2 the top
/// dictionary, depth 3 its keys and values; anything deeper belongs to a skipped array or dictionary.
class PlistHandler {
public:
    PlistHandler(XML_Parser inParser, XPosixPlistReader::Entries& outEntries)
        : fParser(inParser), fEntries(outEntries) {}

    bool Failed() const noexcept { return !fMessage.empty(); }
    const std::string& GetMessage() const noexcept { return fMessage; }

    static void XMLCALL StartElement(void* inHandler, const XML_Char* inName, const XML_Char**) {
        static_cast<PlistHandler*>(inHandler)->_Start(inName);
    }
    static void XMLCALL EndElement(void* inHandler, const XML_Char*) {
        static_cast<PlistHandler*>(inHandler)->_End();
    }
    static void XMLCALL Characters(void* inHandler, const XML_Char* inChars, int inLength) {
        auto* handler = static_cast<PlistHandler*>(inHandler);
        if (handler->fDepth == 3 && handler->fCapture)
            handler->fText.append(inChars, static_cast<size_t>(inLength));
    }

    void EndDocument() {
        if (!Failed() && !fSawDictionary)
            _Fail("the property list holds no dictionary");
    }

    /// The parser's own failure, unless a handler failed first (which is what stopped the parser).
    void FailAtParserError() {
        if (Failed())
            return;
        fMessage = "line " + std::to_string(XML_GetCurrentLineNumber(fParser)) + ", column " +
                   std::to_string(XML_GetCurrentColumnNumber(fParser) + 1) + ": " +
                   XML_ErrorString(XML_GetErrorCode(fParser));
    }

private:
    enum class Element { None, Key, Text, Skipped };

    // Expat may still deliver an event or two after the parser was stopped: they change nothing.
    void _Start(std::string_view inName) {
        ++fDepth;
        if (Failed())
            return;
        if (fDepth == 1 && inName != "plist")
            _Fail("the root element is '" + std::string(inName) + "', not 'plist'");
        else if (fDepth == 2 && (inName != "dict" || fSawDictionary))
            _Fail("the property list holds '" + std::string(inName) + "' where one dictionary is expected");
        else if (fDepth == 2)
            fSawDictionary = true;
        else if (fDepth == 3)
            _StartEntryElement(inName);
    }

    void _End() {
        if (!Failed() && fDepth == 3)
            _EndEntryElement();
        else if (!Failed() && fDepth == 2 && fHaveKey)
            _Fail("the key '" + fKey + "' has no value");
        --fDepth;
    }

    void _StartEntryElement(std::string_view inName) {
        fText.clear();
        fCapture = false;
        if (inName == "key") {
            if (fHaveKey) {
                _Fail("the key '" + fKey + "' has no value");
                return;
            }
            fElement = Element::Key;
            fCapture = true;
            return;
        }
        if (!fHaveKey) {
            _Fail("the value '" + std::string(inName) + "' has no key");
            return;
        }
        if (inName == "string" || inName == "integer" || inName == "real" || inName == "date" ||
            inName == "data") {
            fElement = Element::Text;
            fCapture = true;
        } else if (inName == "true" || inName == "false") {
            fElement = Element::Text;
            fText = inName;
        } else if (inName == "array" || inName == "dict") {
            fElement = Element::Skipped;
        } else {
            // Appended rather than added to a one-character literal: GCC 12 at -O3 warns wrongly there.
            _Fail(std::string(1, '\'').append(inName).append("' is not a property-list value"));
        }
    }

    void _EndEntryElement() {
        fCapture = false;
        if (fElement == Element::Key) {
            fKey = std::move(fText);
            fHaveKey = true;
        } else if (fElement == Element::Text) {
            _Store(std::move(fText));
        } else {
            fHaveKey = false;
        }
        fText.clear();
        fElement = Element::None;
    }

    void _Store(std::string&& inValue) {
        fHaveKey = false;
        auto same = std::find_if(fEntries.begin(), fEntries.end(),
                                 [this](const auto& inEntry) { return inEntry.first == fKey; });
        if (same != fEntries.end())
            same->second = std::move(inValue);
        else
            fEntries.emplace_back(std::move(fKey), std::move(inValue));
        fKey.clear();
    }

    /// Keeps the first reason and stops the parser: nothing after it counts.
    void _Fail(std::string inMessage) {
        if (Failed())
            return;
        fMessage = std::move(inMessage);
        (void)XML_StopParser(fParser, XML_FALSE); // the parse then ends with XML_ERROR_ABORTED
    }

    XML_Parser fParser;
    XPosixPlistReader::Entries& fEntries;
    std::string fMessage;
    std::string fText;
    std::string fKey;
    int fDepth = 0;
    Element fElement = Element::None;
    bool fCapture = false;
    bool fHaveKey = false;
    bool fSawDictionary = false;
};

struct ParserFree {
    void operator()(XML_Parser inParser) const noexcept { XML_ParserFree(inParser); }
};

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
    // The encoding comes from the document (a byte-order mark or the XML declaration), UTF-8 otherwise.
    std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreate(nullptr));
    if (parser == nullptr) {
        outFailure.fMessage = "the XML parser could not be initialized";
        return false;
    }
    // No handler for external entities and no parameter-entity parsing: nothing outside the text is read.
    (void)XML_SetBillionLaughsAttackProtectionActivationThreshold(parser.get(), kAmplificationThreshold);
    PlistHandler handler(parser.get(), outEntries);
    XML_SetUserData(parser.get(), &handler);
    XML_SetElementHandler(parser.get(), &PlistHandler::StartElement, &PlistHandler::EndElement);
    XML_SetCharacterDataHandler(parser.get(), &PlistHandler::Characters);
    bool parsed = true;
    do {
        int piece = static_cast<int>(std::min<size_t>(inLength, INT_MAX));
        inLength -= static_cast<size_t>(piece);
        parsed = XML_Parse(parser.get(), inBytes, piece, inLength == 0) == XML_STATUS_OK;
        inBytes += piece;
    } while (parsed && inLength > 0);
    if (parsed)
        handler.EndDocument();
    else
        handler.FailAtParserError();
    if (!handler.Failed())
        return true;
    outFailure.fMessage = handler.GetMessage();
    outEntries.clear();
    return false;
}

} // namespace vkit
