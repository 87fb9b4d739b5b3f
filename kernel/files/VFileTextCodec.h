// VFileTextCodec: the character sets and line ends of text files, and the conversions of their content.
#pragma once

#include "text/VString.h"

#include <cstddef>
#include <cstdint>

namespace vkit {

class VMemoryBuffer;

/// The character sets in which text files are read and written.
enum CharSet : int32_t {
    eCharSetUTF8 = 1,
    eCharSetUTF16LittleEndian = 2,
    eCharSetUTF16BigEndian = 3,
    /// ISO 8859-1: one byte per character; characters above U+00FF are written as "?".
    eCharSetLatin1 = 4,
};

/// The line ends wanted in a text.
enum ECarriageReturnMode : int32_t {
    /// Line ends are kept as they are.
    eCRM_None = 0,
    /// Every line end (CR, LF or CR LF) becomes CR.
    eCRM_CR = 1,
    /// Every line end becomes LF.
    eCRM_LF = 2,
    /// Every line end becomes CR LF.
    eCRM_CRLF = 3,
};

/// Decoding and encoding of whole text contents.
class VFileTextCodec {
public:
    VFileTextCodec() = delete;

    /// Decodes inSize bytes into outText. A byte-order mark at the start (UTF-8, UTF-16 little or big
    /// endian) takes precedence over inCharSet and is not part of the text. Invalid UTF-8 sequences and
    /// an odd last byte of UTF-16 become U+FFFD.
    static void FromBlockWithOptionalBOM(const void* inData, size_t inSize, CharSet inCharSet,
                                         VString& outText);
    /// Encodes inText into outData (replacing its content), the set's byte-order mark first when
    /// inWithBOM and the text is not empty (Latin-1 has none). False when memory is exhausted.
    static bool ToBlock(const VString& inText, CharSet inCharSet, bool inWithBOM, VMemoryBuffer& outData);
    /// Converts every line end (CR LF, CR or LF) of ioText to the mode's; eCRM_None leaves the text.
    static void ConvertCarriageReturns(VString& ioText, ECarriageReturnMode inMode);
};

} // namespace vkit
