// Raising errors on the current task: the functions every layer calls to report a failure.
#pragma once

#include "errors/VErrorCodes.h"

namespace vkit {

class VErrorBase;
class VString;

/// Pushes an error for inCode on the current task with the parameters "p1", "p2", "p3" for the texts
/// given. Does nothing before the error layer is initialized (process start-up).
void _ThrowError(VError inCode, const VString* inP1 = nullptr, const VString* inP2 = nullptr,
                 const VString* inP3 = nullptr);

/// As _ThrowError; answers inCode, so that `return vThrowError(code);` reports and returns at once.
[[nodiscard]] VError vThrowError(VError inCode, const VString* inP1 = nullptr, const VString* inP2 = nullptr,
                                 const VString* inP3 = nullptr);

/// Pushes an error the caller made and hands over (released here). With a wrapper code that the
/// current task does not filter, an error for the wrapper is pushed first.
void _PushRetainedError(VErrorBase* inError, VError inWrapperCode = 0);

/// Pushes an error carrying a message of the caller's; answers inCode.
[[nodiscard]] VError vThrowUserGeneratedError(VError inCode, const VString& inMessage);

} // namespace vkit
