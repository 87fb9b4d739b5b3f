// VJSONImporter: tokenizer, grammar and error reports of the JSON parser.
#include "json/VJSONImporter.h"

#include "bags/StPackedDictionaryKey.h"
#include "bags/VValueBag.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorThrow.h"
#include "files/IFile.h"
#include "json/VJSONArray.h"
#include "json/VJSONErrorCodes.h"
#include "json/VJSONObject.h"
#include "json/VJSONScalarReader.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>

namespace vkit {

namespace {

// Expected texts of the invalid-token reports.
constexpr const char* kExpectedValue = "\" 0-9 null true false { [";
constexpr const char* kExpectedElement = "\" 0-9 null true false { [ ]";
constexpr const char* kExpectedNumber = "+- 0-9 eE";
constexpr const char* kExpectedName = "\"";
constexpr const char* kExpectedFirstName = "\" }";
constexpr const char* kExpectedColon = ":";
constexpr const char* kExpectedAfterProperty = "} ,";
constexpr const char* kExpectedAfterElement = "] ,";

const StPackedDictionaryKey kKeyFound("found");
const StPackedDictionaryKey kKeyExpected("expected");
const StPackedDictionaryKey kKeyToken("token");
const StPackedDictionaryKey kKeySource("source");
const StPackedDictionaryKey kKeyLine("line");
const StPackedDictionaryKey kKeyPosition("position");
const StPackedDictionaryKey kKeyDepth("depth");

/// Characters (below 128) that end a bare word besides those below 33.
constexpr std::array<bool, 128> MakeWordEnds() {
    std::array<bool, 128> ends{};
    for (int c = 0; c < 33; ++c)
        ends[c] = true;
    for (char c : {'"', ',', ':', '[', ']', '{', '}'})
        ends[static_cast<unsigned char>(c)] = true;
    return ends;
}
constexpr std::array<bool, 128> kWordEnds = MakeWordEnds();

int32_t ClampToLong(ptrdiff_t inValue) noexcept {
    return static_cast<int32_t>(std::min<ptrdiff_t>(inValue, std::numeric_limits<int32_t>::max()));
}

} // namespace

VJSONImporter::VJSONImporter(const VString& inText, uint32_t inOptions) noexcept
    : fText(inText.GetCPointer()), fEnd(inText.GetCPointer() + inText.GetLength()), fPos(fText),
      fTokenStart(fText), fOptions(inOptions) {}

VJSONImporter::~VJSONImporter() = default;

VError VJSONImporter::ParseString(const VString& inText, VJSONValue& outValue, uint32_t inOptions) {
    VJSONImporter importer(inText, inOptions);
    return importer.Parse(outValue);
}

VError VJSONImporter::ParseFile(const IFile* inFile, VJSONValue& outValue, uint32_t inOptions) {
    if (inFile == nullptr) {
        outValue.SetUndefined();
        VString what("no JSON file to parse");
        return vThrowError(VE_UNKNOWN_ERROR, &what);
    }
    VString text;
    VError error = inFile->GetContentAsString(text, eCharSetUTF8, eCRM_None);
    if (error != VE_OK)
        return error;
    return _ParseFileText(*inFile, text, outValue, inOptions);
}

VError VJSONImporter::ParseFileContent(const IFile& inFile, VJSONValue& outValue, CharSet inCharSet) {
    VString text;
    VError error = inFile.GetContentAsString(text, inCharSet, eCRM_CR);
    if (error != VE_OK)
        return error;
    return _ParseFileText(inFile, text, outValue, kNonAmbiguousDates);
}

VError VJSONImporter::_ParseFileText(const IFile& inFile, const VString& inText, VJSONValue& outValue,
                                     uint32_t inOptions) {
    VJSONImporter importer(inText, inOptions);
    VString path;
    inFile.GetPath().GetPosixPath(path);
    importer.SetSourceName(path);
    return importer.Parse(outValue);
}

VError VJSONImporter::Parse(VJSONValue& outValue) {
    fPos = fText;
    fTokenStart = fText;
    fStack.clear();
    fMembers.clear();
    VJSONValue result;
    VError error = _ParseDocument(result);
    if (error != VE_OK && (fOptions & kUndefinedOnError) != 0)
        result.SetUndefined();
    outValue = std::move(result);
    return error;
}

// Grammar. Containers are frames of fStack; a member joins its container only once it is complete,
// so that after an error the outermost container holds its complete members only.

VError VJSONImporter::_ParseDocument(VJSONValue& ioResult) {
    VJSONValue value;
    Step step = _BeginValue(_NextToken(), kExpectedValue, kExpectedValue, value);
    for (;;) {
        switch (step) {
        case Step::Value:
            if (fStack.empty()) {
                ioResult = std::move(value);
                return VE_OK;
            }
            step = _AddToContainer(std::move(value), value);
            break;
        case Step::Opened:
            step = _ReadMember(true, value);
            break;
        case Step::Next:
            step = _ReadMember(false, value);
            break;
        case Step::Failed:
            if (!fStack.empty()) {
                _Fill(fStack.front(), fStack.size() > 1 ? fStack[1].fFirstMember : fMembers.size());
                ioResult = std::move(fStack.front().fContainer);
            }
            fStack.clear();
            fMembers.clear();
            return VE_JSON_MALFORMED;
        }
    }
}

VJSONImporter::Step VJSONImporter::_BeginValue(Token inToken, const char* inExpected,
                                               const char* inExpectedWord, VJSONValue& outValue) {
    switch (inToken) {
    case Token::ObjectStart:
        return _Open(true);
    case Token::ArrayStart:
        return _Open(false);
    case Token::String:
        _MakeString(outValue);
        return Step::Value;
    case Token::Word:
        return _StringToValue(fToken, inExpectedWord, outValue) ? Step::Value : Step::Failed;
    default:
        return _Invalid(inToken, inExpected);
    }
}

VJSONImporter::Step VJSONImporter::_Open(bool inObject) {
    if (fStack.size() >= kMaxDepth) {
        VErrorBase* error = new VErrorBase(VE_JSON_TOO_DEEP);
        error->GetBag().SetLong(kKeyDepth, static_cast<int32_t>(kMaxDepth));
        error->GetBag().SetString(ErrorBagKeys::error_description,
                                  "JSON objects and arrays nested deeper than {depth} levels");
        _PushRetainedError(error);
        _ThrowMalformed();
        return Step::Failed;
    }
    Frame& frame = fStack.emplace_back();
    frame.fFirstMember = fMembers.size();
    frame.fNameHash = 0;
    if (inObject) {
        frame.fObject = new VJSONObject;
        frame.fArray = nullptr;
        frame.fContainer.SetObject(frame.fObject);
        frame.fObject->Release();
    } else {
        frame.fArray = new VJSONArray;
        frame.fObject = nullptr;
        frame.fContainer.SetArray(frame.fArray);
        frame.fArray->Release();
    }
    return Step::Opened;
}

VJSONImporter::Step VJSONImporter::_Close(VJSONValue& outValue) {
    Frame& frame = fStack.back();
    _Fill(frame, fMembers.size());
    outValue = std::move(frame.fContainer);
    fStack.pop_back();
    return Step::Value;
}

void VJSONImporter::_Fill(Frame& ioFrame, size_t inEnd) {
    size_t first = ioFrame.fFirstMember;
    if (ioFrame.fObject != nullptr) {
        // A container filled before (a long one) grows geometrically rather than by exact steps.
        if (ioFrame.fObject->IsEmpty())
            ioFrame.fObject->Reserve(inEnd - first);
        for (size_t i = first; i < inEnd; ++i) {
            Member& member = fMembers[i];
            ioFrame.fObject->SetProperty(std::move(member.fName), member.fNameHash, std::move(member.fValue));
        }
    } else {
        if (ioFrame.fArray->IsEmpty())
            ioFrame.fArray->Reserve(inEnd - first);
        for (size_t i = first; i < inEnd; ++i)
            ioFrame.fArray->Push(std::move(fMembers[i].fValue));
    }
    fMembers.erase(fMembers.begin() + static_cast<ptrdiff_t>(first),
                   fMembers.begin() + static_cast<ptrdiff_t>(inEnd));
}

VJSONStringRef VJSONImporter::_MakeName(std::u16string_view inName, uint32_t& outHash) {
    outHash = VJSONStringBuffer::Hash(inName);
    if (inName.empty())
        return nullptr;
    if (fNameCache.empty())
        fNameCache.resize(kNameCacheSize);
    CachedName& cached = fNameCache[outHash % kNameCacheSize];
    if (cached.fName != nullptr && cached.fHash == outHash && cached.fName->View() == inName) {
        cached.fName->Retain();
        return VJSONStringRef(cached.fName.get());
    }
    VJSONStringRef name(VJSONStringBuffer::Create(inName));
    name->Retain();
    cached.fName.reset(name.get());
    cached.fHash = outHash;
    return name;
}

VJSONImporter::Step VJSONImporter::_ReadMember(bool inFirst, VJSONValue& outValue) {
    return fStack.back().fObject != nullptr ? _ReadObjectMember(inFirst, outValue)
                                            : _ReadArrayElement(inFirst, outValue);
}

VJSONImporter::Step VJSONImporter::_ReadObjectMember(bool inFirst, VJSONValue& outValue) {
    Token token = _NextToken();
    if (token == Token::ObjectEnd) {
        // A property already read means a comma came last.
        if (_HasMembers(fStack.back())) {
            _ThrowTokenError(VE_JSON_UNEXPECTED_COMMA, "}");
            return Step::Failed;
        }
        return _Close(outValue);
    }
    bool strict = (fOptions & kStrict) != 0;
    if (token != Token::String && (token != Token::Word || strict)) {
        const char* expected = (token == Token::Word || !inFirst) ? kExpectedName : kExpectedFirstName;
        return _Invalid(token, expected);
    }
    Frame& frame = fStack.back();
    frame.fName = _MakeName(fToken, frame.fNameHash);

    token = _NextToken();
    if (token != Token::Colon) {
        if (token == Token::Failed)
            return Step::Failed;
        // Only the first character there is shown: the token may be anything.
        std::u16string_view found =
            fTokenStart < fEnd ? std::u16string_view(fTokenStart, 1) : std::u16string_view();
        _ThrowInvalidToken(token == Token::End, found, kExpectedColon);
        return Step::Failed;
    }
    return _BeginValue(_NextToken(), kExpectedValue, kExpectedValue, outValue);
}

VJSONImporter::Step VJSONImporter::_ReadArrayElement(bool inFirst, VJSONValue& outValue) {
    Token token = _NextToken();
    if (token == Token::ArrayEnd) {
        if (_HasMembers(fStack.back())) {
            _ThrowTokenError(VE_JSON_UNEXPECTED_COMMA, "]");
            return Step::Failed;
        }
        return _Close(outValue);
    }
    return _BeginValue(token, inFirst ? kExpectedElement : kExpectedValue, kExpectedElement, outValue);
}

VJSONImporter::Step VJSONImporter::_AddToContainer(VJSONValue&& ioValue, VJSONValue& outValue) {
    Frame& frame = fStack.back();
    // Long containers take their members in batches, so that the pending list stays short.
    if (fMembers.size() - frame.fFirstMember >= kMaxPendingMembers)
        _Fill(frame, fMembers.size());
    Token token;
    if (frame.fObject != nullptr) {
        fMembers.push_back(Member{std::move(frame.fName), frame.fNameHash, std::move(ioValue)});
        token = _NextToken();
        if (token == Token::ObjectEnd)
            return _Close(outValue);
        if (token != Token::Comma)
            return _Invalid(token, kExpectedAfterProperty);
    } else {
        fMembers.push_back(Member{nullptr, 0, std::move(ioValue)});
        token = _NextToken();
        if (token == Token::ArrayEnd)
            return _Close(outValue);
        if (token != Token::Comma)
            return _Invalid(token, kExpectedAfterElement);
    }
    return Step::Next;
}

// Tokens.

VJSONImporter::Token VJSONImporter::_NextToken() {
    const UniChar* p = fPos;
    while (p < fEnd && *p < 33)
        ++p;
    fTokenStart = p;
    if (p == fEnd) {
        fPos = p;
        return Token::End;
    }
    fPos = p + 1;
    switch (*p) {
    case u'{':
        return Token::ObjectStart;
    case u'}':
        return Token::ObjectEnd;
    case u'[':
        return Token::ArrayStart;
    case u']':
        return Token::ArrayEnd;
    case u',':
        return Token::Comma;
    case u':':
        return Token::Colon;
    case u'"':
        return _ReadString();
    default:
        break;
    }
    // A bare word: its first character is none of the ends.
    const UniChar* end = p + 1;
    while (end < fEnd && (*end >= 128 || !kWordEnds[*end]))
        ++end;
    fToken = std::u16string_view(p, static_cast<size_t>(end - p));
    fPos = end;
    return Token::Word;
}

VJSONImporter::Token VJSONImporter::_ReadString() {
    // Most strings have no escape and no NUL: their token is a part of the text.
    const UniChar* start = fPos;
    for (const UniChar* p = start; p < fEnd; ++p) {
        UniChar c = *p;
        if (c == u'"') {
            fToken = std::u16string_view(start, static_cast<size_t>(p - start));
            fPos = p + 1;
            return Token::String;
        }
        if (c == u'\\' || c == 0)
            return _ReadEscapedString(p);
    }
    fToken = std::u16string_view(start, static_cast<size_t>(fEnd - start));
    return _Unterminated();
}

VJSONImporter::Token VJSONImporter::_ReadEscapedString(const UniChar* inFrom) {
    fScratch.assign(fPos, inFrom);
    const UniChar* p = inFrom;
    while (p < fEnd) {
        UniChar c = *p++;
        if (c == u'"') {
            fToken = fScratch;
            fPos = p;
            return Token::String;
        }
        if (c == 0)
            continue;
        if (c != u'\\') {
            fScratch.push_back(c);
            continue;
        }
        if (p == fEnd)
            break;
        p = VJSONScalarReader::AppendEscape(p, fEnd, fScratch);
    }
    fToken = fScratch;
    return _Unterminated();
}

VJSONImporter::Token VJSONImporter::_Unterminated() {
    fPos = fEnd;
    if ((fOptions & kStrict) == 0)
        return Token::String;
    _ThrowTokenError(VE_JSON_UNTERMINATED_STRING, "\"");
    return Token::Failed;
}

std::u16string_view VJSONImporter::_TokenText(Token inToken) const noexcept {
    switch (inToken) {
    case Token::String:
    case Token::Word:
        return fToken;
    case Token::End:
    case Token::Failed:
        return {};
    default:
        return std::u16string_view(fTokenStart, 1);
    }
}

// Values.

bool VJSONImporter::_StringToValue(std::u16string_view inWord, const char* inExpected, VJSONValue& outValue) {
    if (inWord == u"null") {
        outValue.SetNull();
        return true;
    }
    if (inWord == u"true" || inWord == u"false") {
        outValue.SetBool(inWord[0] == u't');
        return true;
    }
    if ((inWord[0] >= u'0' && inWord[0] <= u'9') || inWord[0] == u'-') {
        double number = 0;
        if (!VJSONScalarReader::ReadNumber(inWord, number)) {
            _ThrowInvalidToken(false, inWord, kExpectedNumber);
            return false;
        }
        outValue.SetNumber(number);
        return true;
    }
    if ((fOptions & kStrict) != 0) {
        _ThrowInvalidToken(false, inWord, inExpected);
        return false;
    }
    outValue.SetStringBuffer(VJSONStringRef(VJSONStringBuffer::Create(inWord)));
    return true;
}

void VJSONImporter::_MakeString(VJSONValue& outValue) {
    if ((fOptions & kDates) != 0 && VJSONScalarReader::ReadDate(fToken, (fOptions & kNonAmbiguousDates) != 0,
                                                                (fOptions & kISODates) != 0, outValue))
        return;
    outValue.SetStringBuffer(VJSONStringRef(VJSONStringBuffer::Create(fToken)));
}

// Error reports.

VJSONImporter::Step VJSONImporter::_Invalid(Token inToken, const char* inExpected) {
    // A failed token was reported by the tokenizer.
    if (inToken != Token::Failed)
        _ThrowInvalidToken(inToken == Token::End, _TokenText(inToken), inExpected);
    return Step::Failed;
}

void VJSONImporter::_ThrowInvalidToken(bool inAtEnd, std::u16string_view inFound, const char* inExpected) {
    if ((fOptions & kNoInvalidTokenError) != 0)
        return;
    VErrorBase* error = new VErrorBase(inAtEnd ? VE_JSON_UNEXPECTED_END : VE_JSON_INVALID_TOKEN);
    error->GetBag().SetString(kKeyFound, VString(inFound.data(), static_cast<VIndex>(inFound.size())));
    error->GetBag().SetString(kKeyExpected, VString(inExpected));
    error->GetBag().SetString(ErrorBagKeys::error_description,
                              inAtEnd ? "The JSON text ends where {expected} was expected"
                                      : "Invalid JSON token '{found}' where {expected} was expected");
    _PushRetainedError(error);
    _ThrowMalformed();
}

void VJSONImporter::_ThrowTokenError(VError inError, const char* inToken) {
    VErrorBase* error = new VErrorBase(inError);
    error->GetBag().SetString(kKeyToken, VString(inToken));
    error->GetBag().SetString(ErrorBagKeys::error_description,
                              inError == VE_JSON_UNTERMINATED_STRING
                                  ? "Unterminated JSON string: no closing {token}"
                                  : "Comma before '{token}' in the JSON text");
    _PushRetainedError(error);
    _ThrowMalformed();
}

void VJSONImporter::_GetTokenLocation(int32_t& outLine, int32_t& outPosition) const noexcept {
    // Lines are counted both ways (line feeds, carriage returns) and the larger count wins, so that
    // LF, CR and CRLF texts all number their lines.
    ptrdiff_t lineFeeds = 0;
    ptrdiff_t returns = 0;
    const UniChar* lastLineFeed = nullptr;
    const UniChar* lastReturn = nullptr;
    for (const UniChar* p = fText; p < fTokenStart; ++p) {
        if (*p == u'\n') {
            ++lineFeeds;
            lastLineFeed = p;
        } else if (*p == u'\r') {
            ++returns;
            lastReturn = p;
        }
    }
    const UniChar* lineStart = fText;
    if (lineFeeds > returns)
        lineStart = lastLineFeed + 1;
    else if (lastReturn != nullptr)
        lineStart = lastReturn + 1;
    const UniChar* firstNonBlank = fTokenStart;
    while (firstNonBlank < fEnd && *firstNonBlank < 33)
        ++firstNonBlank;
    outLine = ClampToLong(std::max(lineFeeds, returns) + 1);
    outPosition = ClampToLong(firstNonBlank - lineStart + 1);
}

void VJSONImporter::_ThrowMalformed() {
    int32_t line = 0;
    int32_t position = 0;
    _GetTokenLocation(line, position);
    VErrorBase* error = new VErrorBase(VE_JSON_MALFORMED);
    VValueBag& bag = error->GetBag();
    VString source;
    if (!fSourceName.IsEmpty()) {
        source = fSourceName;
        source.AppendCString(", ");
    }
    bag.SetString(kKeySource, source);
    bag.SetLong(kKeyLine, line);
    bag.SetLong(kKeyPosition, position);
    bag.SetString(ErrorBagKeys::error_description,
                  "Malformed JSON text ({source}line {line}, position {position})");
    _PushRetainedError(error);
}

} // namespace vkit
