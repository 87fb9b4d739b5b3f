// Error codes of the JSON parser and writer.
#pragma once

#include "errors/VErrorCodes.h"

namespace vkit {

/// Malformed JSON; follows every other parse error, with "source", "line" and "position".
constexpr VError VE_JSON_MALFORMED = MakeVError(kComponentVkit, 550);
/// A token that cannot come at that place; "found" (the token text) and "expected".
constexpr VError VE_JSON_INVALID_TOKEN = MakeVError(kComponentVkit, 551);
/// The text ended inside a quoted string (strict mode); "token".
constexpr VError VE_JSON_UNTERMINATED_STRING = MakeVError(kComponentVkit, 552);
/// A comma right before a closing bracket or brace; "token".
constexpr VError VE_JSON_UNEXPECTED_COMMA = MakeVError(kComponentVkit, 553);
/// The text ended where a token was needed; "found" (empty) and "expected".
constexpr VError VE_JSON_UNEXPECTED_END = MakeVError(kComponentVkit, 554);
/// Objects and arrays nested deeper than the parser accepts; "depth" (the limit).
constexpr VError VE_JSON_TOO_DEEP = MakeVError(kComponentVkit, 555);
/// A container met again while it is being written (a cycle).
constexpr VError VE_JSON_CIRCULAR_REFERENCE = MakeVError(kComponentVkit, 900);

} // namespace vkit
