// ILogger: the records made for errors and assertions, the sequence counter and the process-wide
// logging settings.
#include "logging/ILogger.h"

#include "bags/VValueBag.h"
#include "errors/VErrorBase.h"
#include "logging/ILoggerBagKeys.h"

#include <atomic>

namespace vkit {

namespace {

std::atomic<uint64_t> sSequenceNumber{0};
std::atomic<ILogger*> sProcessLogger{nullptr};

/// The process's log source and its UTF-8 form. Set at start-up before other tasks log, like the error
/// layer's localizers: no lock.
struct ProcessLogSourceTexts {
    VString fSource;
    std::string fUTF8;
};

ProcessLogSourceTexts& ProcessLogSource() {
    static ProcessLogSourceTexts sSource;
    return sSource;
}

/// A frame of a stack crawl as the one-line form shows it.
VString ShortFrame(const VString& inFrame) {
    static const VString kNamespace("vkit::");
    static const VString kThunk("non-virtual thunk to ");
    static const VString kConst(" const");
    VString frame(inFrame);
    frame.ExchangeAll(kNamespace, VString());
    if (frame.BeginsWithRaw(kThunk))
        frame.Remove(1, kThunk.GetLength());
    if (frame.EndsWithRaw(kConst))
        frame.Truncate(frame.GetLength() - kConst.GetLength());
    // The parameter list is the balanced pair of parentheses that ends the frame.
    int depth = 0;
    for (VIndex i = frame.GetLength(); i >= 1 && frame.GetUniChar(frame.GetLength()) == u')'; --i) {
        UniChar unit = frame.GetUniChar(i);
        depth += unit == u')' ? 1 : (unit == u'(' ? -1 : 0);
        if (depth == 0) {
            frame.Truncate(i - 1);
            break;
        }
    }
    return frame;
}

} // namespace

void ILogger::LogErrorIfNecessary(const VErrorBase* inError) {
    if (inError == nullptr || !ShouldLog(EML_Error))
        return;
    VValueBag* record = new VValueBag;
    ILoggerBagKeys::level.Set(*record, EML_Error);
    inError->SaveToBag(*record);
    VString text;
    inError->GetErrorDescription(text);
    ILoggerBagKeys::message.Set(*record, text);
    if (OsType component = ComponentFromVError(inError->GetError()); component != 0)
        ILoggerBagKeys::component_signature.Set(*record, component);
    // Tasks carry no properties of their own here: no "jobId", and the process's source.
    ILoggerBagKeys::source.Set(*record, GetProcessLogSource());
    if (!inError->GetStackCrawl().empty())
        ILoggerBagKeys::stack_crawl.Set(*record, GetStackCrawlLine(inError->GetStackCrawl()));
    LogBag(record);
    record->Release();
}

void ILogger::LogAssertIfNecessary(const VString& inMessage, const VString& inFileName,
                                   int32_t inLineNumber) {
    if (!ShouldLog(EML_Assert))
        return;
    VValueBag* record = new VValueBag;
    ILoggerBagKeys::level.Set(*record, EML_Assert);
    ILoggerBagKeys::file_name.Set(*record, inFileName);
    ILoggerBagKeys::line_number.Set(*record, inLineNumber);
    ILoggerBagKeys::message.Set(*record, inMessage);
    LogBag(record);
    record->Release();
}

uint64_t ILogger::GetSequenceNumber() noexcept {
    return sSequenceNumber.fetch_add(1, std::memory_order_relaxed) + 1;
}

VString ILogger::GetStackCrawlLine(const std::vector<VString>& inFrames) {
    static const VString kSeparator(" <- ");
    VString line;
    for (const VString& frame : inFrames) {
        if (!line.IsEmpty())
            line.AppendString(kSeparator);
        line.AppendString(ShortFrame(frame));
    }
    return line;
}

ILogger* ILogger::GetProcessLogger() noexcept {
    return sProcessLogger.load(std::memory_order_acquire);
}

void ILogger::SetProcessLogger(ILogger* inLogger) noexcept {
    sProcessLogger.store(inLogger, std::memory_order_release);
    VErrorBase::SetProcessLogger(inLogger);
}

const VString& ILogger::GetProcessLogSource() noexcept {
    return ProcessLogSource().fSource;
}

const std::string& ILogger::GetProcessLogSourceUTF8() noexcept {
    return ProcessLogSource().fUTF8;
}

void ILogger::SetProcessLogSource(const VString& inSource) {
    ProcessLogSource().fSource = inSource;
    ProcessLogSource().fUTF8 = inSource.ToUTF8();
}

} // namespace vkit
