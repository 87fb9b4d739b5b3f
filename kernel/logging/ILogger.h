// ILogger: the logger interface, the message levels, the log listeners and the process-wide logging
// settings.
#pragma once

#include "errors/IErrorLogger.h"
#include "text/IRefCountable.h"
#include "text/VString.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vkit {

class VErrorBase;
class VValueBag;

/// The level of a log record. The value is also the level's bit number in a level mask; a record
/// without a level is an information record.
enum EMessageLevel : int32_t {
    EML_Dump = 0,
    EML_Trace = 1,
    EML_Assert = 2,
    EML_Debug = 3,
    EML_Information = 4,
    EML_Warning = 5,
    EML_Error = 6,
    EML_Fatal = 7
};

/// The level mask of a new logger: information, warning, error and fatal.
constexpr uint32_t kDefaultLogLevelMask = 0xF0;

/// Receives the records of a logger in batches, in the order in which they were logged. A logger
/// retains its listeners while they are registered.
class ILogListener : public IRefCountable {
public:
    /// One batch of records, oldest first. The records belong to the logger and are only read.
    virtual void Put(const std::vector<const VValueBag*>& inRecords) = 0;
};

/// A logger of message records (value bags whose attributes are named by ILoggerBagKeys). Any task
/// may log; the records reach the registered listeners in batches.
class ILogger : public IRefCountable, public IErrorLogger {
public:
    /// Lets records pass the level check.
    virtual void Start() = 0;
    /// Ends the task that hands records to the listeners, when there is one.
    virtual void Stop() = 0;
    /// Turns the level check and the hand-over on again, filtering the records kept meanwhile.
    virtual void EnableFlush() = 0;
    /// Keeps every record, whatever its level, until EnableFlush.
    virtual void DisableFlush() = 0;
    virtual bool IsStarted() const = 0;
    /// Whether a record of inLevel would be kept: every level while flush is disabled; otherwise none
    /// before Start, then the levels whose bit is set in the mask.
    virtual bool ShouldLog(EMessageLevel inLevel) const = 0;
    /// Keeps a record (retained) when its level passes; a null record is ignored.
    virtual void LogBag(const VValueBag* inRecord) = 0;
    /// Builds and keeps a record of inMessage when inLevel passes; an empty inSource takes the process's
    /// log source.
    virtual void LogMessage(EMessageLevel inLevel, const VString& inMessage, const VString& inSource) = 0;
    /// Hands the kept records to the listeners (nothing while flush is disabled).
    virtual void Flush() = 0;
    /// Set or clear one level's bit in the mask; each answers the bit's previous state.
    virtual bool WithTrace(bool inSet) = 0;
    virtual bool WithDump(bool inSet) = 0;
    virtual bool WithDebug(bool inSet) = 0;
    virtual bool WithWarning(bool inSet) = 0;
    virtual bool WithError(bool inSet) = 0;
    virtual bool WithFatal(bool inSet) = 0;
    virtual bool WithAssert(bool inSet) = 0;
    virtual bool WithInfo(bool inSet) = 0;
    /// Registers a listener (retained), served before those registered earlier; false for null or
    /// for a listener already registered.
    virtual bool AddLogListener(ILogListener* inListener) = 0;
    /// Flushes, then unregisters and releases the listener; false for null or an unknown listener.
    virtual bool RemoveLogListener(ILogListener* inListener) = 0;

    /// Logs an error-level record of the error: its code, task, parameters, description, component
    /// and stack crawl. Nothing when the error level does not pass or the error is null.
    void LogErrorIfNecessary(const VErrorBase* inError) override;
    /// Logs an assert-level record with the message, file name and line number when that level passes.
    void LogAssertIfNecessary(const VString& inMessage, const VString& inFileName, int32_t inLineNumber);

    /// The next number of the process-wide sequence (1 on the first call); atomic.
    static uint64_t GetSequenceNumber() noexcept;
    /// The one-line form of a stack crawl: the frames joined by " <- ", each without the namespace
    /// prefix "vkit::", the prefix "non-virtual thunk to ", its parameter list and a trailing " const".
    static VString GetStackCrawlLine(const std::vector<VString>& inFrames);

    /// The process logger: the one the process object made at start-up, null when none. Setting it
    /// also makes it the error layer's logger. Changed only at start-up and shut-down.
    static ILogger* GetProcessLogger() noexcept;
    static void SetProcessLogger(ILogger* inLogger) noexcept;
    /// The source of records that name none: the process object's log source identifier. Set at
    /// start-up, before other tasks log; read without a lock.
    static const VString& GetProcessLogSource() noexcept;
    /// The same source as UTF-8, kept beside it for the writers of log lines.
    static const std::string& GetProcessLogSourceUTF8() noexcept;
    static void SetProcessLogSource(const VString& inSource);

protected:
    ~ILogger() override = default;
};

} // namespace vkit
