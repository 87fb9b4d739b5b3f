// VLog4jMsgFileLogger: the log file writer: a listener of the process logger writing one line per record.
#pragma once

#include "files/VFilePath.h"
#include "logging/ILogger.h"
#include "runtime/VCriticalSection.h"
#include "text/VObject.h"
#include "text/VString.h"
#include "text/VTime.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vkit {

class VSplitableLogFile;
class VValueBag;

/// Writes the records of the process logger to "<log name>_<n>.txt" in a folder (VSplitableLogFile),
/// one line per record: "<sequence> <local time with ms> [<source>] <LEVEL> - <message>"; the lines
/// of a batch that reach the file in one write carry the time at which the first was made. Start opens
/// the file and registers the writer as a listener of the process logger; Stop unregisters it, which
/// flushes the pending records to it first, then closes the file.
///
/// The listener runs on the process logger's reader task under the logger's listeners lock; Start,
/// Stop, Flush and the writing of a batch serialise on the writer's own lock, which is never held
/// while calling into the process logger. When the open file disappears (its folder removed), the
/// next batch pushes an error naming it on the writing task and writes into a file made again.
class VLog4jMsgFileLogger : public VObject {
public:
    /// A stopped writer for the folder inFolder (a folder path) and the base name inLogName.
    VLog4jMsgFileLogger(const VFilePath& inFolder, const VString& inLogName);
    /// Stops the writer.
    ~VLog4jMsgFileLogger() override;
    VLog4jMsgFileLogger(const VLog4jMsgFileLogger&) = delete;
    VLog4jMsgFileLogger& operator=(const VLog4jMsgFileLogger&) = delete;

    /// Opens file number inFileNumber, continued when it exists, and starts writing. Nothing when a
    /// file is open already, when the folder is not an existing folder or the name is empty; stays
    /// stopped when the file cannot be opened (the open's error is pushed). Answers IsStarted.
    bool Start(int32_t inFileNumber);
    /// Start with the highest number n for which files 1 to n exist (1 when file 1 does not), so that
    /// a program started again continues its most recent file.
    bool Start();
    void Stop();
    bool IsStarted() const noexcept { return fStarted.load(std::memory_order_acquire); }
    /// While paused, records reaching the writer are dropped.
    void Pause() noexcept { fPaused.store(true, std::memory_order_release); }
    void Resume() noexcept { fPaused.store(false, std::memory_order_release); }
    bool IsPaused() const noexcept { return fPaused.load(std::memory_order_acquire); }
    /// Flushes the open file.
    void Flush();

    /// Started and the level's bit set in the writer's own mask (information and above).
    bool ShouldLog(EMessageLevel inLevel) const noexcept;
    /// "DUMP", "TRACE", "ASSERT", "DEBUG", "INFO", "WARN", "ERROR", "FATAL"; "INFO" out of range.
    static const char* GetMessageLevelName(int32_t inLevel) noexcept;
    void GetLogFolderPath(VFilePath& outPath) const { outPath = fFolder; }
    void GetLogName(VString& outName) const { outName = fLogName; }
    /// The maximum number of files kept by the open file; no effect, and 0, when stopped.
    void SetLogMaxNumberToKeep(int32_t inCount);
    int32_t GetLogMaxNumberToKeep() const;

    /// The text form of a record: the source (with ".<component>" when the record names one), the
    /// level, and the message with "[<error number>] " in front when the record carries an error code
    /// and its other attributes after it, " (task=3, ...)" (" ()" when none is shown).
    static void GetLogInfosFromBag(const VValueBag& inRecord, VString& outSource, int32_t& outLevel,
                                   VString& outMessage);

    /// Writes one line, when started, not paused and the level passes the mask.
    void Log(const VString& inSource, int32_t inLevel, const VString& inMessage);
    void Log(const char* inSource, int32_t inLevel, const char* inMessage);

private:
    /// Lines of a batch waiting to be written together, at most (a line more may wait).
    static constexpr size_t kMaxPendingBytes = 64 * 1024;

    class VLog4jLogListener : public ILogListener {
    public:
        explicit VLog4jLogListener(VLog4jMsgFileLogger& inOwner) : fOwner(inOwner) {}
        void Put(const std::vector<const VValueBag*>& inRecords) override { fOwner._Put(inRecords); }

    protected:
        /// Embedded in its writer: the references of the process logger never delete it.
        void DoOnRefCountZero() override {}

    private:
        VLog4jMsgFileLogger& fOwner;
    };

    /// What a walk over a record's attributes finds: the positions of its message and source, its
    /// level, error code and component, and its shown attributes as the text " (label=value, ...".
    struct RecordParts {
        VIndex fMessageIndex = 0;
        VIndex fSourceIndex = 0;
        uint64_t fErrorCode = 0;
        uint32_t fComponent = 0;
        int32_t fLevel = EML_Information;
        std::string fExtras;
    };

    void _Put(const std::vector<const VValueBag*>& inRecords);
    static void _ReadRecord(const VValueBag& inRecord, RecordParts& outParts, VString& ioScratch);
    /// Append the source (with ".<component>") and the message (with "[<number>] " and the extra
    /// fields; inEndLine adds the line feed) of the text form, in UTF-8.
    static void _AppendSource(const VValueBag& inRecord, const RecordParts& inParts, std::string& ioText,
                              VString& ioScratch);
    static void _AppendMessage(const VValueBag& inRecord, const RecordParts& inParts, std::string& ioText,
                               VString& ioScratch, bool inEndLine);
    /// _AppendSource and _ContinueLine to fLine for a record that names no source: the process's
    /// source with the component, then "] <LEVEL> - ", kept from one record to the next (the caller
    /// holds the lock). _MakeProcessSource makes that text again for fSourceBase.
    void _AppendProcessSource(uint32_t inComponent, int32_t inLevel);
    void _MakeProcessSource(uint32_t inComponent, int32_t inLevel);
    /// A line, appended to the lines waiting in fLine: _BeginLine writes "<sequence> <time> [" when a
    /// line of fParts.fLevel is to be written (false otherwise), _ContinueLine "] <LEVEL> - " and
    /// _EndLine the line feed; _WriteLines writes the waiting lines to the file as one entry. The
    /// caller holds the lock.
    bool _BeginLine();
    void _ContinueLine(int32_t inLevel);
    void _EndLine();
    void _WriteLines();
    /// Writes one line when started, not paused and the level passes (the caller holds the lock).
    void _WriteLine(std::string_view inSource, int32_t inLevel, std::string_view inMessage);
    /// Makes the file again when it disappeared (or failed to open at a split), pushing an error once.
    void _EnsureFile();
    /// Sets fTimeText to the local time of now as "YYYY-MM-DDThh:mm:ss.mmm", the date and time part
    /// kept from the last call within the same second.
    void _ReadTime();

    mutable VCriticalSection fLock;
    VTime fStartTime;
    VFilePath fFolder;
    VString fLogName;
    std::unique_ptr<VSplitableLogFile> fFile; // guarded by fLock
    std::atomic<bool> fStarted{false};
    std::atomic<bool> fPaused{false};
    uint32_t fLevelMask = kDefaultLogLevelMask;
    VLog4jLogListener fListener{*this};
    bool fFileLost = false; // guarded by fLock: an error was pushed for the missing file
    std::string fTimeText;  // guarded by fLock, as the buffers below
    int64_t fTimeSecond = -1;
    RecordParts fParts;
    VString fScratch;
    std::string fLine; // the lines waiting to be written
    // The text from the source to the message of records naming no source, for fSourceBase,
    // fSourceComponent and fSourceLevel.
    std::string fSourceText;
    std::string fSourceBase;
    uint32_t fSourceComponent = 0;
    int32_t fSourceLevel = EML_Information;
};

} // namespace vkit
