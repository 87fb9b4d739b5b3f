// VJSONScalarReader: reading the scalar texts of JSON: number words, string escapes and date forms.
#pragma once

#include "text/VString.h"

#include <string>
#include <string_view>

namespace vkit {

class VJSONValue;

/// The pieces of JSON text reading that work on one token's text, shared by the parser and the
/// value conversions.
class VJSONScalarReader {
public:
    VJSONScalarReader() = delete;

    /// The value of a hexadecimal digit (either case), -1 for another character.
    static int HexDigit(UniChar inChar) noexcept {
        if (inChar >= u'0' && inChar <= u'9')
            return inChar - u'0';
        if (inChar >= u'a' && inChar <= u'f')
            return inChar - u'a' + 10;
        if (inChar >= u'A' && inChar <= u'F')
            return inChar - u'A' + 10;
        return -1;
    }

    /// Reads a word by the JSON number grammar: an optional "-", "0" or digits, optionally "." and
    /// digits, optionally "e" or "E", a sign ("+", "-" or U+2212) and digits, and nothing after it.
    /// Numbers beyond the range of doubles give infinities or zeros. False when the word breaks the
    /// grammar.
    static bool ReadNumber(std::u16string_view inWord, double& outNumber);

    /// Appends the character of the escape that starts at inAfterBackslash (the character after a
    /// backslash, which must be there): \b \f \n \r \t, \u with four hexadecimal digits, or any other
    /// character as itself ("u" too when four digits do not follow). Returns where the text goes on.
    static const UniChar* AppendEscape(const UniChar* inAfterBackslash, const UniChar* inEnd,
                                       std::u16string& ioText);

    /// Makes a date of a quoted string's text: with inNonAmbiguous a valid date-only text
    /// "YYYY-MM-DD", otherwise a date-time between "!!" marks (VTime::FromXMLString); with inISO also
    /// an RFC 3339 date, alone or with a time ("YYYY-MM-DDThh:mm:ss..."). The date is that of the UTC
    /// time; texts that read as no date, or as a time without one, are not dates. False, with the
    /// value untouched, when the text is no date.
    static bool ReadDate(std::u16string_view inText, bool inNonAmbiguous, bool inISO, VJSONValue& outValue);
};

} // namespace vkit
