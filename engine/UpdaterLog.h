// The updater's log: printf-like records of the engine handed to the process logger, and the dump of an
// error context into it.
#pragma once

#include "logging/ILogger.h"

#include <cstdarg>

namespace vkit {
class VErrorContext;
} // namespace vkit

/// Formats the text (VString::VPrintf: "%S" takes a VString*, "%s" a C string) and logs it at the
/// information level as a record of the engine's component "ZQUP". Without a process logger the text
/// goes nowhere.
void LogInfo(const char* inFormat, ...);
/// As LogInfo, at the error level.
void LogError(const char* inFormat, ...);
/// The record of LogInfo and LogError at any level: "message", "level" (left out at the default level,
/// information) and "component_signature" "ZQUP", handed to the process logger's LogBag.
void Log(vkit::EMessageLevel inLevel, const char* inFormat, va_list inArgs);

/// Logs every error of inContext at the error level, each by its description (its error string when it
/// has none), from the last to the first with inLastFirst. Nothing for a null or empty context.
void DumpErrorStack(const vkit::VErrorContext* inContext, bool inLastFirst);
