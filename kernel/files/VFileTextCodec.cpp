// VFileTextCodec: byte-order marks, UTF-8, UTF-16 and Latin-1 texts, line-end conversion.
#include "files/VFileTextCodec.h"

#include "files/VMemoryBuffer.h"

#include <string>

namespace vkit {

namespace {

constexpr unsigned char kUTF8BOM[] = {0xEF, 0xBB, 0xBF};
constexpr UniChar kReplacement = 0xFFFD;

void DecodeUTF16(const unsigned char* inData, size_t inSize, bool inBigEndian, VString& outText) {
    size_t count = inSize / 2;
    outText.Clear();
    if (!outText.EnsureSize(static_cast<VIndex>(count + 1)))
        return;
    UniChar* out = outText.GetCPointerForWrite();
    for (size_t i = 0; i < count; ++i) {
        unsigned char first = inData[2 * i];
        unsigned char second = inData[2 * i + 1];
        out[i] = static_cast<UniChar>(inBigEndian ? (first << 8) | second : (second << 8) | first);
    }
    if (inSize % 2 != 0)
        out[count++] = kReplacement;
    outText.Validate(static_cast<VIndex>(count));
}

void DecodeLatin1(const unsigned char* inData, size_t inSize, VString& outText) {
    outText.Clear();
    if (!outText.EnsureSize(static_cast<VIndex>(inSize)))
        return;
    UniChar* out = outText.GetCPointerForWrite();
    for (size_t i = 0; i < inSize; ++i)
        out[i] = inData[i];
    outText.Validate(static_cast<VIndex>(inSize));
}

bool EncodeUTF16(const VString& inText, bool inBigEndian, bool inWithBOM, VMemoryBuffer& outData) {
    size_t count = static_cast<size_t>(inText.GetLength()) + (inWithBOM ? 1 : 0);
    if (!outData.SetDataSize(count * 2))
        return false;
    unsigned char* out = static_cast<unsigned char*>(outData.GetDataPtr());
    auto put = [&](UniChar inUnit) {
        *out++ = static_cast<unsigned char>(inBigEndian ? inUnit >> 8 : inUnit & 0xFF);
        *out++ = static_cast<unsigned char>(inBigEndian ? inUnit & 0xFF : inUnit >> 8);
    };
    if (inWithBOM)
        put(0xFEFF);
    for (VIndex i = 0; i < inText.GetLength(); ++i)
        put(inText[i]);
    return true;
}

bool EncodeLatin1(const VString& inText, VMemoryBuffer& outData) {
    if (!outData.SetDataSize(static_cast<size_t>(inText.GetLength())))
        return false;
    unsigned char* out = static_cast<unsigned char*>(outData.GetDataPtr());
    for (VIndex i = 0; i < inText.GetLength(); ++i)
        out[i] = inText[i] <= 0xFF ? static_cast<unsigned char>(inText[i]) : '?';
    return true;
}

} // namespace

void VFileTextCodec::FromBlockWithOptionalBOM(const void* inData, size_t inSize, CharSet inCharSet,
                                              VString& outText) {
    const unsigned char* data = static_cast<const unsigned char*>(inData);
    if (inSize >= 3 && data[0] == kUTF8BOM[0] && data[1] == kUTF8BOM[1] && data[2] == kUTF8BOM[2]) {
        outText.FromUTF8(reinterpret_cast<const char*>(data + 3), inSize - 3);
    } else if (inSize >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        DecodeUTF16(data + 2, inSize - 2, false, outText);
    } else if (inSize >= 2 && data[0] == 0xFE && data[1] == 0xFF) {
        DecodeUTF16(data + 2, inSize - 2, true, outText);
    } else if (inCharSet == eCharSetUTF16LittleEndian || inCharSet == eCharSetUTF16BigEndian) {
        DecodeUTF16(data, inSize, inCharSet == eCharSetUTF16BigEndian, outText);
    } else if (inCharSet == eCharSetLatin1) {
        DecodeLatin1(data, inSize, outText);
    } else {
        outText.FromUTF8(reinterpret_cast<const char*>(data), inSize);
    }
}

bool VFileTextCodec::ToBlock(const VString& inText, CharSet inCharSet, bool inWithBOM,
                             VMemoryBuffer& outData) {
    outData.Clear();
    bool withBOM = inWithBOM && !inText.IsEmpty();
    switch (inCharSet) {
    case eCharSetUTF16LittleEndian:
    case eCharSetUTF16BigEndian:
        return EncodeUTF16(inText, inCharSet == eCharSetUTF16BigEndian, withBOM, outData);
    case eCharSetLatin1:
        return EncodeLatin1(inText, outData);
    default:
        break;
    }
    std::string utf8;
    if (withBOM)
        utf8.assign(reinterpret_cast<const char*>(kUTF8BOM), sizeof(kUTF8BOM));
    inText.AppendToUTF8(utf8);
    return outData.PutData(0, utf8.data(), utf8.size());
}

void VFileTextCodec::ConvertCarriageReturns(VString& ioText, ECarriageReturnMode inMode) {
    if (inMode == eCRM_None)
        return;
    const char16_t* lineEnd = inMode == eCRM_CR ? u"\r" : inMode == eCRM_LF ? u"\n" : u"\r\n";
    std::u16string converted;
    converted.reserve(static_cast<size_t>(ioText.GetLength()));
    std::u16string_view text = ioText.View();
    for (size_t i = 0; i < text.size(); ++i) {
        UniChar unit = text[i];
        if (unit != u'\r' && unit != u'\n') {
            converted.push_back(unit);
            continue;
        }
        if (unit == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        converted.append(lineEnd);
    }
    if (converted != text)
        ioText.FromUniChars(converted.data(), static_cast<VIndex>(converted.size()));
}

} // namespace vkit
