// The updater's log functions and the dump of an error context.
#include "UpdaterLog.h"

#include "errors/VErrorBase.h"
#include "errors/VErrorContext.h"
#include "logging/VLogger.h"
#include "runtime/VProcess.h"
#include "text/VString.h"

using vkit::VString;

namespace {

/// The engine's component in log records.
constexpr uint32_t kUpdaterLogComponent = vkit::MakeOsType("ZQUP");

/// The text an error shows the user: its description, else its error string.
void DescribeError(const vkit::VErrorBase& inError, VString& outText) {
    inError.GetErrorDescription(outText);
    if (outText.IsEmpty())
        inError.GetErrorString(outText);
}

} // namespace

void Log(vkit::EMessageLevel inLevel, const char* inFormat, va_list inArgs) {
    vkit::VProcess* process = vkit::VProcess::Get();
    vkit::VLogger* logger = process != nullptr ? process->GetLogger() : nullptr;
    if (logger != nullptr)
        logger->LogVPrintf(inLevel, kUpdaterLogComponent, inFormat, inArgs);
}

void LogInfo(const char* inFormat, ...) {
    va_list args;
    va_start(args, inFormat);
    Log(vkit::EML_Information, inFormat, args);
    va_end(args);
}

void LogError(const char* inFormat, ...) {
    va_list args;
    va_start(args, inFormat);
    Log(vkit::EML_Error, inFormat, args);
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
