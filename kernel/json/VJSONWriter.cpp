// VJSONWriter: numbers, escaping, containers, pretty printing, cycles and the output cut.
#include "json/VJSONWriter.h"

#include "bags/VValueBag.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorThrow.h"
#include "json/VJSONArray.h"
#include "json/VJSONErrorCodes.h"
#include "json/VJSONObject.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace vkit {

namespace {

/// The largest integer written as such: 2^53 - 1, the last of the run of exact integers.
constexpr double kMaxExactInteger = 9007199254740991.0;

void AppendASCII(const char* inBegin, const char* inEnd, std::u16string& ioText) {
    for (const char* p = inBegin; p < inEnd; ++p)
        ioText.push_back(static_cast<UniChar>(static_cast<unsigned char>(*p)));
}

void AppendASCII(std::string_view inText, std::u16string& ioText) {
    AppendASCII(inText.data(), inText.data() + inText.size(), ioText);
}

bool NeedsEscape(UniChar inChar, bool inEscapeAmpersandApostrophe) noexcept {
    return inChar < 32 || inChar == 127 || inChar == u'"' || inChar == u'\\' ||
           (inEscapeAmpersandApostrophe && (inChar == u'&' || inChar == u'\''));
}

/// The escape of a character that needs one.
void AppendEscapeOf(UniChar inChar, std::u16string& ioText) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    ioText.push_back(u'\\');
    switch (inChar) {
    case 8:
        ioText.push_back(u'b');
        break;
    case 9:
        ioText.push_back(u't');
        break;
    case 10:
        ioText.push_back(u'n');
        break;
    case 12:
        ioText.push_back(u'f');
        break;
    case 13:
        ioText.push_back(u'r');
        break;
    case u'"':
    case u'\\':
        ioText.push_back(inChar);
        break;
    default: {
        const UniChar unit[] = {u'u', u'0', u'0', static_cast<UniChar>(kHex[(inChar >> 4) & 0xF]),
                                static_cast<UniChar>(kHex[inChar & 0xF])};
        ioText.append(unit, 5);
        break;
    }
    }
}

} // namespace

void VJSONWriter::AppendNumber(double inNumber, std::u16string& ioText) {
    if (!std::isfinite(inNumber)) {
        AppendASCII("null", ioText);
        return;
    }
    char buffer[40];
    std::to_chars_result result;
    if (std::trunc(inNumber) == inNumber && std::fabs(inNumber) <= kMaxExactInteger) {
        result = std::to_chars(buffer, buffer + sizeof(buffer), static_cast<int64_t>(inNumber));
    } else {
        // As printf's "%.14G" in the C locale: "." is the decimal point whatever the user's settings.
        result = std::to_chars(buffer, buffer + sizeof(buffer), inNumber, std::chars_format::general, 14);
        std::replace(buffer, result.ptr, 'e', 'E');
    }
    AppendASCII(buffer, result.ptr, ioText);
}

void VJSONWriter::AppendDate(uint32_t inDateWord, std::u16string& ioText) {
    char buffer[32];
    int length = std::snprintf(buffer, sizeof(buffer), "%04d-%02d-%02d", VJSONValue::DateYear(inDateWord),
                               VJSONValue::DateMonth(inDateWord), VJSONValue::DateDay(inDateWord));
    AppendASCII(buffer, buffer + std::clamp(length, 0, static_cast<int>(sizeof(buffer)) - 1), ioText);
}

void VJSONWriter::AppendEscaped(std::u16string_view inText, bool inEscapeAmpersandApostrophe,
                                std::u16string& ioText) {
    const UniChar* run = inText.data();
    const UniChar* end = run + inText.size();
    for (const UniChar* p = run; p < end; ++p) {
        if (!NeedsEscape(*p, inEscapeAmpersandApostrophe))
            continue;
        ioText.append(run, p);
        run = p + 1;
        AppendEscapeOf(*p, ioText);
    }
    ioText.append(run, end);
}

void VJSONWriter::ThrowCircularReference() {
    VErrorBase* error = new VErrorBase(VE_JSON_CIRCULAR_REFERENCE);
    error->GetBag().SetString(ErrorBagKeys::error_description, "A JSON object or array contains itself");
    _PushRetainedError(error);
}

VError VJSONWriter::StringifyValue(const VJSONValue& inValue, VString& outText) {
    fOut.clear();
    fOpen.clear();
    fLevel = 0;
    fFailed = false;
    fLineBreak.assign(1, u'\n');
    _WriteValue(inValue);
    if (fFailed) {
        outText.Clear();
        return VE_JSON_CIRCULAR_REFERENCE;
    }
    if (_CutReached()) {
        fOut.resize(kCutLength);
        fOut.append(u"...");
    }
    outText.FromUniChars(fOut.data(), static_cast<VIndex>(fOut.size()));
    return VE_OK;
}

bool VJSONWriter::_WriteValue(const VJSONValue& inValue) {
    switch (inValue.GetType()) {
    case eJSONNull:
    case eJSONUndefined:
        AppendASCII("null", fOut);
        break;
    case eJSONFalse:
        AppendASCII("false", fOut);
        break;
    case eJSONTrue:
        AppendASCII("true", fOut);
        break;
    case eJSONNumber:
        AppendNumber(inValue.fPayload.fNumber, fOut);
        break;
    case eJSONString:
        _WriteString(inValue.GetStringView());
        break;
    case eJSONDate: {
        bool quote = (fOptions & kQuoteStrings) != 0;
        if (quote)
            fOut.push_back(u'"');
        AppendDate(inValue.fPayload.fDate, fOut);
        if (quote)
            fOut.push_back(u'"');
        break;
    }
    case eJSONObject:
        return _WriteObject(*inValue.fPayload.fObject);
    case eJSONArray:
        return _WriteArray(*inValue.fPayload.fArray);
    }
    return _Continue();
}

void VJSONWriter::_WriteString(std::u16string_view inText) {
    bool quote = (fOptions & kQuoteStrings) != 0;
    if (quote)
        fOut.push_back(u'"');
    AppendEscaped(inText, (fOptions & kEscapeAmpersandApostrophe) != 0, fOut);
    if (quote)
        fOut.push_back(u'"');
}

bool VJSONWriter::_IsOpen(const void* inContainer) const noexcept {
    return std::find(fOpen.begin(), fOpen.end(), inContainer) != fOpen.end();
}

bool VJSONWriter::_WriteCircular() {
    if ((fOptions & kCircularAsText) != 0) {
        fOut.append(u"\"[circular]\"");
        return _Continue();
    }
    ThrowCircularReference();
    fFailed = true;
    return false;
}

void VJSONWriter::_NewLine() {
    if ((fOptions & kPretty) != 0)
        fOut.append(fLineBreak);
}

bool VJSONWriter::_WriteObject(const VJSONObject& inObject) {
    if (_IsOpen(&inObject))
        return _WriteCircular();
    size_t count = static_cast<size_t>(inObject.GetCountPropertiesByIndex());
    if (count == 0) {
        fOut.append(u"{}");
        return _Continue();
    }
    bool pretty = (fOptions & kPretty) != 0;
    fOpen.push_back(&inObject);
    fOut.push_back(u'{');
    ++fLevel;
    fLineBreak.push_back(u'\t');
    bool going = true;
    for (size_t i = 0; i < count && going; ++i) {
        if (i > 0)
            fOut.push_back(u',');
        _NewLine();
        _WriteString(inObject.GetNameAt(i));
        fOut.push_back(u':');
        if (pretty)
            fOut.push_back(u' ');
        going = _WriteValue(inObject.GetValueAt(i));
    }
    --fLevel;
    fLineBreak.pop_back();
    fOpen.pop_back();
    if (!going)
        return false;
    _NewLine();
    fOut.push_back(u'}');
    return _Continue();
}

bool VJSONWriter::_WriteArray(const VJSONArray& inArray) {
    if (_IsOpen(&inArray))
        return _WriteCircular();
    size_t count = inArray.GetCount();
    if (count == 0) {
        fOut.append(u"[]");
        return _Continue();
    }
    fOpen.push_back(&inArray);
    fOut.push_back(u'[');
    ++fLevel;
    fLineBreak.push_back(u'\t');
    bool going = true;
    for (size_t i = 0; i < count && going; ++i) {
        if (i > 0)
            fOut.push_back(u',');
        _NewLine();
        going = _WriteValue(inArray[i]);
    }
    --fLevel;
    fLineBreak.pop_back();
    fOpen.pop_back();
    if (!going)
        return false;
    _NewLine();
    fOut.push_back(u']');
    return _Continue();
}

} // namespace vkit
