// The updater's log functions and the dump of an error context.
#include "UpdaterLog.h"

#include "errors/VErrorBase.h"
#include "errors/VErrorContext.h"
#include "text/VString.h"

#include <cstdarg>

using vkit::VString;

namespace {

/// The message level of the records: information or error.
enum class LogLevel { kInfo = 4, kError = 6 };

void Log(LogLevel inLevel, const char* inFormat, va_list inArgs) {
    VString text;
    text.VPrintf(inFormat, inArgs);
    // The record goes to the process logger once it exists.
    (void)inLevel;
}

/// The text an error shows the user: its description, else its error string.
void DescribeError(const vkit::VErrorBase& inError, VString& outText) {
    inError.GetErrorDescription(outText);
    if (outText.IsEmpty())
        inError.GetErrorString(outText);
}

} // namespace

void LogInfo(const char* inFormat, ...) {
    va_list args;
    va_start(args, inFormat);
    Log(LogLevel::kInfo, inFormat, args);
    va_end(args);
}

void LogError(const char* inFormat, ...) {
    va_list args;
    va_start(args, inFormat);
    Log(LogLevel::kError, inFormat, args);
    va_end(args);
}

void DumpErrorStack(const vkit::VErrorContext* inContext, bool inLastFirst) {
    if (inContext == nullptr)
        return;
    const std::vector<vkit::VErrorBase*>& errors = inContext->GetErrors();
    for (size_t i = 0; i < errors.size(); ++i) {
        VString text;
        DescribeError(*errors[inLastFirst ? errors.size() - 1 - i : i], text);
        LogError("%S", &text);
    }
}
