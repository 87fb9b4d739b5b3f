// VXMLParser: the options given to the XML module, and the handler stack its events drive.
#include "localization/VXMLParser.h"

#include "bags/VValueBag.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorThrow.h"
#include "localization/IXMLHandler.h"
#include "localization/VXMLModuleInterface.h"
#include "platform/posix/localization/XPosixXMLModule.h"

#include <unicode/utf8.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace vkit {

namespace {

constexpr uint64_t kEntityExpansionLimit = 100;

const StPackedDictionaryKey kPathKey("path");
const StPackedDictionaryKey kLineKey("line");
const StPackedDictionaryKey kColumnKey("column");
const StPackedDictionaryKey kMessageKey("message");

/// Walks the document for the handlers and keeps the first error.
class HandlerStack {
public:
    explicit HandlerStack(IXMLHandler* inRoot) { fStack.push_back(RetainRefCountable(inRoot)); }
    ~HandlerStack() {
        for (IXMLHandler* handler : fStack)
            ReleaseRefCountable(&handler);
    }
    HandlerStack(const HandlerStack&) = delete;
    HandlerStack& operator=(const HandlerStack&) = delete;

    bool Failed() const noexcept { return fFailed; }
    uint64_t GetLine() const noexcept { return fLine; }
    uint64_t GetColumn() const noexcept { return fColumn; }
    const VString& GetMessage() const noexcept { return fMessage; }

    /// The module's events, forwarded to this stack.
    VXMLModuleEvents GetEvents() {
        return {this, &_StartElement, &_Attribute, &_EndElement, &_Characters, &_Error};
    }

    void FailWith(const VString& inMessage) { _Fail(0, 0, inMessage); }

    /// Replaces any error by one at a given place.
    void FailAt(uint64_t inLine, uint64_t inColumn, const VString& inMessage) {
        fFailed = true;
        fLine = inLine;
        fColumn = inColumn;
        fMessage = inMessage;
    }

private:
    static HandlerStack& _Of(void* inContext) { return *static_cast<HandlerStack*>(inContext); }

    static void _StartElement(void* inContext, const char16_t* inName) {
        std::vector<IXMLHandler*>& stack = _Of(inContext).fStack;
        IXMLHandler* top = stack.back();
        stack.push_back(top != nullptr ? top->StartElement(VString(inName)) : nullptr);
    }

    static void _Attribute(void* inContext, const char16_t* inName, const char16_t* inValue) {
        if (IXMLHandler* element = _Of(inContext).fStack.back(); element != nullptr)
            element->SetAttribute(VString(inName), VString(inValue));
    }

    static void _EndElement(void* inContext, const char16_t* inName) {
        std::vector<IXMLHandler*>& stack = _Of(inContext).fStack;
        IXMLHandler* top = stack.back();
        stack.pop_back();
        if (top != nullptr) {
            top->EndElement(VString(inName));
            top->Release();
        }
    }

    static void _Characters(void* inContext, const char16_t* inChars, size_t inLength) {
        if (IXMLHandler* top = _Of(inContext).fStack.back(); top != nullptr && inLength > 0)
            top->SetText(VString(inChars, static_cast<VIndex>(inLength)));
    }

    static void _Error(void* inContext, uint64_t inLine, uint64_t inColumn, const char16_t* inMessage) {
        _Of(inContext)._Fail(inLine, inColumn, VString(inMessage));
    }

    void _Fail(uint64_t inLine, uint64_t inColumn, const VString& inMessage) {
        if (fFailed)
            return;
        FailAt(inLine, inColumn, inMessage);
    }

    std::vector<IXMLHandler*> fStack; // retained; null slots for skipped elements
    bool fFailed = false;
    uint64_t fLine = 0;
    uint64_t fColumn = 0;
    VString fMessage;
};

VXMLModuleInput MakeInput(uint32_t inOptions) {
    VXMLModuleInput input{};
    bool always = (inOptions & VXMLParser::kValidateAlways) != 0;
    bool never = !always && (inOptions & VXMLParser::kValidateNever) != 0;
    input.fValidation = always ? 1 : never ? 0 : 2;
    input.fNamespaces = (inOptions & VXMLParser::kNamespaces) != 0;
    input.fLoadExternalDTD = (inOptions & VXMLParser::kLoadExternalDTD) != 0;
    input.fEntityExpansionLimit = kEntityExpansionLimit;
    return input;
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
size_t ValidUTF8Prefix(const unsigned char* inBytes, size_t inSize, uint64_t& outLine, uint64_t& outColumn) {
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
                                const VString& inSystemID, const char16_t* inEncoding) {
    // The parser decodes its input ahead of the parse, so that a byte that is not UTF-8 would end it before
    // the elements in front of it are read: the text is parsed up to that byte, which is reported.
    const auto* bytes = static_cast<const unsigned char*>(inBytes);
    uint64_t badLine = 0;
    uint64_t badColumn = 0;
    size_t valid = inSize;
    if (inEncoding == nullptr && IsUTF8Document(bytes, inSize))
        valid = ValidUTF8Prefix(bytes, inSize, badLine, badColumn);
    HandlerStack handler(inRoot);
    std::string whyNot;
    VXMLModuleParse parse = XPosixXMLModule::GetParse(whyNot);
    if (parse == nullptr) {
        handler.FailWith(VString("the XML parser could not be loaded: ") + VString(whyNot));
        return PushFailure(handler, inSystemID);
    }
    std::u16string systemID(inSystemID.View());
    VXMLModuleInput input = MakeInput(inOptions);
    input.fBytes = bytes;
    input.fSize = valid;
    input.fSystemID = systemID.c_str();
    input.fEncoding = inEncoding;
    VXMLModuleEvents events = handler.GetEvents();
    parse(&input, &events);
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
    std::string whyNot;
    return XPosixXMLModule::GetParse(whyNot) != nullptr;
}

VError VXMLParser::Parse(const void* inBytes, size_t inSize, IXMLHandler* inRoot, uint32_t inOptions,
                         const VString& inSystemID) {
    return ParseBytes(inBytes, inSize, inRoot, inOptions, inSystemID, nullptr);
}

VError VXMLParser::Parse(const VString& inText, IXMLHandler* inRoot, uint32_t inOptions) {
    // The text's code units are given as they are, in the machine's order: UTF-16LE here.
    return ParseBytes(inText.GetCPointer(), static_cast<size_t>(inText.GetLength()) * sizeof(UniChar), inRoot,
                      inOptions, VString("frommem"), u"UTF-16LE");
}

} // namespace vkit
