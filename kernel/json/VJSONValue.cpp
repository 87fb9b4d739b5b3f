// VJSONValue: payload ownership, conversions and the parse and write entry points.
#include "json/VJSONValue.h"

#include "files/IFile.h"
#include "text/VTime.h"
#include "json/VJSONArray.h"
#include "json/VJSONImporter.h"
#include "json/VJSONObject.h"
#include "json/VJSONScalarReader.h"
#include "json/VJSONWriter.h"

#include <algorithm>
#include <string>

namespace vkit {

std::atomic<uint32_t> VJSONValue::sStamp{0};

const VString VJSONValue::sNullText("null");
const VString VJSONValue::sTrueText("true");
const VString VJSONValue::sFalseText("false");
const VString VJSONValue::sObjectText("[object Object]");

namespace {

VJSONValue MakeConstant(EJSONType inType) {
    VJSONValue value;
    switch (inType) {
    case eJSONNull:
        value.SetNull();
        break;
    case eJSONTrue:
        value.SetBool(true);
        break;
    case eJSONFalse:
        value.SetBool(false);
        break;
    default:
        break;
    }
    return value;
}

} // namespace

const VJSONValue VJSONValue::sNull = MakeConstant(eJSONNull);
const VJSONValue VJSONValue::sTrue = MakeConstant(eJSONTrue);
const VJSONValue VJSONValue::sFalse = MakeConstant(eJSONFalse);
const VJSONValue VJSONValue::sUndefined = MakeConstant(eJSONUndefined);

VJSONValue::VJSONValue(const VString& inText) : VJSONValue() {
    SetString(inText);
}

VJSONValue::VJSONValue(const VTime& inTime) : VJSONValue() {
    SetTime(inTime);
}

VJSONValue::VJSONValue(VJSONObject* inObject) noexcept : VJSONValue() {
    SetObject(inObject);
}

VJSONValue::VJSONValue(VJSONArray* inArray) noexcept : VJSONValue() {
    SetArray(inArray);
}

VJSONValue& VJSONValue::operator=(const VJSONValue& inOther) noexcept {
    if (this != &inOther) {
        // Taken and retained first: the other value may live inside the container this value releases.
        EJSONType type = inOther.fType;
        Payload payload = inOther.fPayload;
        if (inOther._IsShared())
            inOther._RetainPayload();
        if (_IsShared())
            _ReleasePayload();
        fType = type;
        fPayload = payload;
    }
    fStamp = _NextStamp();
    return *this;
}

VJSONValue& VJSONValue::operator=(VJSONValue&& inOther) noexcept {
    if (this != &inOther) {
        Payload payload = inOther.fPayload;
        EJSONType type = inOther.fType;
        inOther.fType = eJSONUndefined;
        if (_IsShared())
            _ReleasePayload();
        fType = type;
        fPayload = payload;
    }
    fStamp = _NextStamp();
    return *this;
}

void VJSONValue::_RetainPayload() const noexcept {
    switch (fType) {
    case eJSONString:
        fPayload.fString->Retain();
        break;
    case eJSONObject:
        fPayload.fObject->Retain();
        break;
    case eJSONArray:
        fPayload.fArray->Retain();
        break;
    default:
        break;
    }
}

void VJSONValue::_ReleasePayload() noexcept {
    switch (fType) {
    case eJSONString:
        fPayload.fString->Release();
        break;
    case eJSONObject:
        fPayload.fObject->Release();
        break;
    case eJSONArray:
        fPayload.fArray->Release();
        break;
    default:
        break;
    }
    fPayload.fNumber = 0;
}

void VJSONValue::SetString(const VString& inText) {
    if (inText.IsNull()) {
        SetNull();
        return;
    }
    SetStringBuffer(VJSONStringRef(VJSONStringBuffer::Create(inText.View())));
}

void VJSONValue::SetStringBuffer(VJSONStringRef inBuffer) noexcept {
    _Set(eJSONString);
    fPayload.fString = inBuffer.release();
}

void VJSONValue::SetObject(VJSONObject* inObject) noexcept {
    RetainRefCountable(inObject);
    _Set(inObject != nullptr ? eJSONObject : eJSONNull);
    fPayload.fObject = inObject;
}

void VJSONValue::SetArray(VJSONArray* inArray) noexcept {
    RetainRefCountable(inArray);
    _Set(inArray != nullptr ? eJSONArray : eJSONNull);
    fPayload.fArray = inArray;
}

void VJSONValue::SetDate(int32_t inYear, int32_t inMonth, int32_t inDay) noexcept {
    _Set(eJSONDate);
    fPayload.fDate = (static_cast<uint32_t>(static_cast<uint16_t>(inYear)) << 16) |
                     ((static_cast<uint32_t>(inMonth) & 0xFF) << 8) | (static_cast<uint32_t>(inDay) & 0xFF);
}

void VJSONValue::SetTime(const VTime& inTime) {
    if (inTime.IsNull())
        SetNull();
    else
        SetDate(inTime.GetYear(), inTime.GetMonth(), inTime.GetDay());
}

bool VJSONValue::GetTime(VTime& outTime) const {
    if (fType != eJSONDate) {
        outTime.SetNull();
        return false;
    }
    outTime.FromUTCTime(static_cast<int16_t>(DateYear(fPayload.fDate)),
                        static_cast<int16_t>(DateMonth(fPayload.fDate)),
                        static_cast<int16_t>(DateDay(fPayload.fDate)), 0, 0, 0, 0);
    return true;
}

void VJSONValue::GetString(VString& outText) const {
    switch (fType) {
    case eJSONNull:
    case eJSONUndefined:
        outText.SetNull();
        break;
    case eJSONFalse:
        outText = sFalseText;
        break;
    case eJSONTrue:
        outText = sTrueText;
        break;
    case eJSONString: {
        std::u16string_view text = GetStringView();
        outText.FromUniChars(text.data(), static_cast<VIndex>(text.size()));
        break;
    }
    case eJSONNumber: {
        std::u16string text;
        VJSONWriter::AppendNumber(fPayload.fNumber, text);
        outText.FromUniChars(text.data(), static_cast<VIndex>(text.size()));
        break;
    }
    case eJSONObject:
        outText = sObjectText;
        break;
    case eJSONArray: {
        std::vector<const VJSONArray*> open;
        outText.Clear();
        _GetArrayString(outText, open);
        break;
    }
    case eJSONDate: {
        std::u16string text;
        VJSONWriter::AppendDate(fPayload.fDate, text);
        outText.FromUniChars(text.data(), static_cast<VIndex>(text.size()));
        break;
    }
    }
}

void VJSONValue::_GetArrayString(VString& ioText, std::vector<const VJSONArray*>& ioOpen) const {
    const VJSONArray* array = fPayload.fArray;
    if (std::find(ioOpen.begin(), ioOpen.end(), array) != ioOpen.end()) {
        VJSONWriter::ThrowCircularReference();
        return;
    }
    ioOpen.push_back(array);
    VString element;
    for (size_t i = 0; i < array->GetCount(); ++i) {
        if (i > 0)
            ioText.AppendUniChar(u',');
        const VJSONValue& value = (*array)[i];
        if (value.IsArray()) {
            value._GetArrayString(ioText, ioOpen);
        } else {
            value.GetString(element);
            ioText.AppendString(element);
        }
    }
    ioOpen.pop_back();
}

double VJSONValue::GetNumber() const {
    switch (fType) {
    case eJSONTrue:
        return 1;
    case eJSONNumber:
        return fPayload.fNumber;
    case eJSONString: {
        std::u16string_view text = GetStringView();
        if (text.size() >= 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
            double value = 0;
            for (size_t i = 2; i < text.size(); ++i) {
                int digit = VJSONScalarReader::HexDigit(text[i]);
                if (digit < 0)
                    break;
                value = value * 16 + digit;
            }
            return value;
        }
        return VString(text.data(), static_cast<VIndex>(text.size())).GetReal();
    }
    default:
        return 0;
    }
}

bool VJSONValue::GetBool() const noexcept {
    switch (fType) {
    case eJSONTrue:
    case eJSONObject:
    case eJSONArray:
        return true;
    case eJSONString:
        return fPayload.fString != nullptr;
    case eJSONNumber:
        return fPayload.fNumber != 0;
    case eJSONDate:
        return fPayload.fDate != 0;
    default:
        return false;
    }
}

bool VJSONValue::GetDate(int32_t& outYear, int32_t& outMonth, int32_t& outDay) const noexcept {
    if (fType != eJSONDate) {
        outYear = outMonth = outDay = 0;
        return false;
    }
    outYear = DateYear(fPayload.fDate);
    outMonth = DateMonth(fPayload.fDate);
    outDay = DateDay(fPayload.fDate);
    return true;
}

VJSONValue VJSONValue::GetProperty(const VString& inName) const {
    if (fType != eJSONObject)
        return VJSONValue();
    return fPayload.fObject->GetProperty(inName);
}

void VJSONValue::SetProperty(const VString& inName, const VJSONValue& inValue) {
    if (fType == eJSONObject)
        fPayload.fObject->SetProperty(inName, inValue);
}

VError VJSONValue::ParseFromString(const VString& inText, bool inDates, bool inNonAmbiguousDates) {
    uint32_t options = 0;
    if (inDates)
        options = inNonAmbiguousDates ? VJSONImporter::kDates | VJSONImporter::kNonAmbiguousDates
                                      : VJSONImporter::kDates | VJSONImporter::kISODates;
    return VJSONImporter::ParseString(inText, *this, options);
}

VError VJSONValue::LoadFromFile(const IFile& inFile, bool inDates) {
    uint32_t options = inDates ? VJSONImporter::kDates | VJSONImporter::kISODates : 0;
    return VJSONImporter::ParseFile(&inFile, *this, options);
}

VError VJSONValue::SaveToFile(const IFile& inFile, uint32_t inWriterOptions) const {
    VString text;
    VError error = Stringify(text, inWriterOptions);
    if (error != VE_OK)
        return error;
    return inFile.SetContentAsString(text, eCharSetUTF8, eCRM_None, false);
}

VError VJSONValue::Stringify(VString& outText, uint32_t inOptions) const {
    VJSONWriter writer(inOptions);
    return writer.StringifyValue(*this, outText);
}

} // namespace vkit
