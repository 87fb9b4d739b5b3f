// VLog4jMsgFileLogger: starting and stopping the writer, the text form of records, the log lines.
#include "logging/VLog4jMsgFileLogger.h"

#include "bags/VValueBag.h"
#include "errors/StErrorContextInstaller.h"
#include "files/VFileError.h"
#include "files/VFolder.h"
#include "logging/ILoggerBagKeys.h"
#include "logging/VSplitableLogFile.h"
#include "platform/posix/logging/XPosixLogStream.h"
#include "runtime/StLocker.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>

namespace vkit {

namespace {

constexpr const char* kLevelNames[] = {"DUMP", "TRACE", "ASSERT", "DEBUG", "INFO", "WARN", "ERROR", "FATAL"};
/// What stands between the source and the message of a line, for each level.
constexpr std::string_view kLevelTags[] = {"] DUMP - ", "] TRACE - ", "] ASSERT - ", "] DEBUG - ",
                                           "] INFO - ", "] WARN - ",  "] ERROR - ",  "] FATAL - "};

std::string_view LevelTag(int32_t inLevel) noexcept {
    return kLevelTags[inLevel >= EML_Dump && inLevel <= EML_Fatal ? inLevel : EML_Information];
}

bool FileExists(const VFilePath& inFolder, const VString& inName, int32_t inNumber) {
    VString fileName;
    VSplitableLogFile::BuildLogFileName(inName, inNumber, fileName);
    VFilePath path(inFolder);
    VString posix;
    path.ToSubFile(fileName).GetPosixPath(posix);
    return XPosixLogStream::Exists(posix.ToUTF8());
}

void AppendSignature(std::string& ioText, uint32_t inComponent) {
    char text[8];
    char* end = text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        auto c = static_cast<unsigned char>((inComponent >> shift) & 0xFF);
        // A signature is four ASCII characters; any other byte is written as the character it codes.
        if (c < 0x80) {
            *end++ = static_cast<char>(c);
        } else {
            *end++ = static_cast<char>(0xC0 | (c >> 6));
            *end++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    ioText.append(text, end);
}

/// True when an attribute's name is the key's, compared here eight bytes at a time: the names are
/// short and most records hold only hidden keys, so that this runs for nearly every attribute.
bool IsKey(std::string_view inName, const StPackedDictionaryKey& inKey) noexcept {
    const size_t length = inName.size();
    if (length != inKey.GetKeyLength())
        return false;
    const char* name = inName.data();
    const char* key = inKey.GetKey();
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t nameWord = 0;
        uint64_t keyWord = 0;
        std::memcpy(&nameWord, name + i, 8);
        std::memcpy(&keyWord, key + i, 8);
        if (nameWord != keyWord)
            return false;
    }
    for (; i < length; ++i) {
        if (name[i] != key[i])
            return false;
    }
    return true;
}

/// Appends a shown attribute to the extra fields: its label and its value as text, line feeds
/// written as " ; ".
void AppendExtraField(const VValueBag& inRecord, VIndex inIndex, std::string_view inKey,
                      std::string_view inLabel, std::string& ioExtras, VString& ioScratch) {
    ioExtras.append(ioExtras.empty() ? " (" : ", ");
    if (inLabel.empty())
        ioExtras.append(inKey).append(1, '=');
    else
        ioExtras.append(inLabel);
    size_t start = ioExtras.size();
    inRecord.AppendNthAttributeUTF8(inIndex, ioExtras, ioScratch);
    for (size_t feed = ioExtras.find('\n', start); feed != std::string::npos;
         feed = ioExtras.find('\n', feed))
        ioExtras.replace(feed, 1, " ; ");
}

} // namespace

VLog4jMsgFileLogger::VLog4jMsgFileLogger(const VFilePath& inFolder, const VString& inLogName)
    : fFolder(inFolder), fLogName(inLogName) {
    _MakeProcessSource(fSourceComponent, fSourceLevel);
}

VLog4jMsgFileLogger::~VLog4jMsgFileLogger() {
    Stop();
}

bool VLog4jMsgFileLogger::Start(int32_t inFileNumber) {
    bool started = false;
    {
        StLocker lock(fLock);
        if (fFile != nullptr || !fFolder.IsFolder() || fLogName.IsEmpty() || !VFolder(fFolder).Exists())
            return IsStarted();
        auto file = std::make_unique<VSplitableLogFile>(fFolder, fLogName, inFileNumber, false);
        if (file->Open(false, false)) {
            fFile = std::move(file);
            fStartTime = VTime::Now();
            fFileLost = false;
            fStarted.store(true, std::memory_order_release);
            started = true;
        }
    }
    // Registered outside the lock: the process logger calls the listener under its own lock.
    if (started) {
        if (ILogger* logger = ILogger::GetProcessLogger())
            logger->AddLogListener(&fListener);
    }
    return started;
}

bool VLog4jMsgFileLogger::Start() {
    if (!fFolder.IsFolder() || fLogName.IsEmpty())
        return false;
    // The last of the files 1, 2, ... that exist without a gap: 1 when file 1 itself is missing.
    int32_t number = 1;
    while (FileExists(fFolder, fLogName, number) && FileExists(fFolder, fLogName, number + 1))
        ++number;
    return Start(number);
}

void VLog4jMsgFileLogger::Stop() {
    bool open;
    {
        StLocker lock(fLock);
        open = fFile != nullptr;
    }
    // Unregistered before the lock is taken: removing flushes the pending records to the listener,
    // which takes the lock.
    if (open) {
        if (ILogger* logger = ILogger::GetProcessLogger())
            logger->RemoveLogListener(&fListener);
    }
    StLocker lock(fLock);
    fFile.reset();
    fStarted.store(false, std::memory_order_release);
    fStartTime = VTime();
}

void VLog4jMsgFileLogger::Flush() {
    StLocker lock(fLock);
    if (fFile != nullptr)
        fFile->Flush();
}

bool VLog4jMsgFileLogger::ShouldLog(EMessageLevel inLevel) const noexcept {
    return IsStarted() && ((fLevelMask >> (static_cast<uint32_t>(inLevel) % 32)) & 1) != 0;
}

const char* VLog4jMsgFileLogger::GetMessageLevelName(int32_t inLevel) noexcept {
    return inLevel >= EML_Dump && inLevel <= EML_Fatal ? kLevelNames[inLevel] : kLevelNames[EML_Information];
}

void VLog4jMsgFileLogger::SetLogMaxNumberToKeep(int32_t inCount) {
    StLocker lock(fLock);
    if (fFile != nullptr)
        fFile->SetMaxNumberToKeep(inCount);
}

int32_t VLog4jMsgFileLogger::GetLogMaxNumberToKeep() const {
    StLocker lock(fLock);
    return fFile != nullptr ? fFile->GetMaxNumberToKeep() : 0;
}

void VLog4jMsgFileLogger::GetLogInfosFromBag(const VValueBag& inRecord, VString& outSource, int32_t& outLevel,
                                             VString& outMessage) {
    RecordParts parts;
    VString scratch;
    _ReadRecord(inRecord, parts, scratch);
    std::string text;
    _AppendSource(inRecord, parts, text, scratch);
    outSource.FromUTF8(text.data(), text.size());
    outLevel = parts.fLevel;
    text.clear();
    _AppendMessage(inRecord, parts, text, scratch, false);
    outMessage.FromUTF8(text.data(), text.size());
}

void VLog4jMsgFileLogger::_ReadRecord(const VValueBag& inRecord, RecordParts& outParts, VString& ioScratch) {
    outParts.fMessageIndex = 0;
    outParts.fSourceIndex = 0;
    outParts.fErrorCode = 0;
    outParts.fComponent = 0;
    outParts.fLevel = ILoggerBagKeys::level.GetDefault();
    outParts.fExtras.clear();
    int64_t number = 0;
    // One walk over the attributes: the hidden keys are read, the others become the extra fields.
    for (VIndex i = 1; i <= inRecord.GetAttributesCount(); ++i) {
        std::string_view key = inRecord.GetNthAttributeKey(i);
        std::string_view label;
        if (IsKey(key, ILoggerBagKeys::message)) {
            outParts.fMessageIndex = i;
        } else if (IsKey(key, ILoggerBagKeys::source)) {
            outParts.fSourceIndex = i;
        } else if (IsKey(key, ILoggerBagKeys::component_signature)) {
            inRecord.GetNthAttributeInteger(i, number);
            outParts.fComponent = static_cast<uint32_t>(number);
        } else if (IsKey(key, ILoggerBagKeys::level)) {
            inRecord.GetNthAttributeInteger(i, number);
            outParts.fLevel = static_cast<int32_t>(number);
        } else if (IsKey(key, ILoggerBagKeys::error_code)) {
            inRecord.GetNthAttributeInteger(i, number);
            outParts.fErrorCode = static_cast<uint64_t>(number);
        } else if (ILoggerBagKeys::GetLabel(key, label)) {
            AppendExtraField(inRecord, i, key, label, outParts.fExtras, ioScratch);
        }
    }
    if (outParts.fComponent == 0)
        outParts.fComponent = static_cast<uint32_t>(outParts.fErrorCode >> 32);
}

void VLog4jMsgFileLogger::_AppendSource(const VValueBag& inRecord, const RecordParts& inParts,
                                        std::string& ioText, VString& ioScratch) {
    size_t start = ioText.size();
    if (inParts.fSourceIndex != 0)
        inRecord.AppendNthAttributeUTF8(inParts.fSourceIndex, ioText, ioScratch);
    else
        ioText.append(ILogger::GetProcessLogSourceUTF8());
    if (inParts.fComponent != 0) {
        if (ioText.size() > start)
            ioText += '.';
        AppendSignature(ioText, inParts.fComponent);
    }
}

void VLog4jMsgFileLogger::_AppendProcessSource(uint32_t inComponent, int32_t inLevel) {
    // Most records name no source and have the same component and level: the text from the source
    // to the message is made once (_Put looks at the process's source once a batch).
    if (inComponent != fSourceComponent || inLevel != fSourceLevel)
        _MakeProcessSource(inComponent, inLevel);
    fLine.append(fSourceText);
}

void VLog4jMsgFileLogger::_MakeProcessSource(uint32_t inComponent, int32_t inLevel) {
    fSourceComponent = inComponent;
    fSourceLevel = inLevel;
    fSourceText = fSourceBase;
    if (inComponent != 0) {
        if (!fSourceBase.empty())
            fSourceText += '.';
        AppendSignature(fSourceText, inComponent);
    }
    fSourceText.append(LevelTag(inLevel));
}

void VLog4jMsgFileLogger::_AppendMessage(const VValueBag& inRecord, const RecordParts& inParts,
                                         std::string& ioText, VString& ioScratch, bool inEndLine) {
    if (inParts.fErrorCode != 0)
        ioText.append(1, '[').append(std::to_string(NumberFromVError(inParts.fErrorCode))).append("] ");
    if (inParts.fMessageIndex != 0)
        inRecord.AppendNthAttributeUTF8(inParts.fMessageIndex, ioText, ioScratch);
    if (inParts.fExtras.empty())
        ioText.append(inEndLine ? " ()\n" : " ()");
    else
        ioText.append(inParts.fExtras).append(inEndLine ? ")\n" : ")");
}

void VLog4jMsgFileLogger::_Put(const std::vector<const VValueBag*>& inRecords) {
    StLocker lock(fLock);
    if (fFile == nullptr)
        return;
    _EnsureFile();
    if (const std::string& source = ILogger::GetProcessLogSourceUTF8(); source != fSourceBase) {
        fSourceBase = source;
        _MakeProcessSource(fSourceComponent, fSourceLevel);
    }
    // The lines are assembled in one buffer, straight from the records, and written together. The
    // records were filled on other tasks: their memory is asked for two records ahead (the bag) and
    // one ahead (its attributes), so that reading one overlaps loading the next ones.
    const size_t count = inRecords.size();
    for (size_t i = 0; i < std::min<size_t>(count, 2); ++i)
        VValueBag::PrefetchBag(inRecords[i]);
    for (size_t i = 0; i < count; ++i) {
        const VValueBag* record = inRecords[i];
        if (i + 2 < count)
            VValueBag::PrefetchBag(inRecords[i + 2]);
        if (i + 1 < count)
            inRecords[i + 1]->PrefetchAttributes();
        _ReadRecord(*record, fParts, fScratch);
        if (!_BeginLine())
            continue;
        if (fParts.fSourceIndex == 0) {
            _AppendProcessSource(fParts.fComponent, fParts.fLevel);
        } else {
            _AppendSource(*record, fParts, fLine, fScratch);
            _ContinueLine(fParts.fLevel);
        }
        _AppendMessage(*record, fParts, fLine, fScratch, true);
    }
    _WriteLines();
    fFile->Flush();
}

void VLog4jMsgFileLogger::_EnsureFile() {
    bool lost = !fFile->IsOpen() || fFile->IsUnlinked();
    if (!lost)
        return;
    if (!fFileLost && fFile->IsOpen()) {
        // The records written since the file disappeared are gone with it: say so once (pushed, and
        // nothing more to do with the code).
        (void)VFileError::Report(fFile->GetCurrentFilePath(), MakeVErrorFromPosix(ENOENT),
                                 VE_FILE_CANNOT_WRITE);
    }
    fFile->Close();
    if (fFileLost) {
        // Already reported: try again quietly until the file can be made.
        StErrorContextInstaller quiet(false, true);
        fFileLost = !fFile->Open(false, false);
    } else {
        fFileLost = !fFile->Open(false, false);
    }
}

void VLog4jMsgFileLogger::Log(const VString& inSource, int32_t inLevel, const VString& inMessage) {
    StLocker lock(fLock);
    _WriteLine(inSource.ToUTF8(), inLevel, inMessage.ToUTF8());
}

void VLog4jMsgFileLogger::Log(const char* inSource, int32_t inLevel, const char* inMessage) {
    StLocker lock(fLock);
    _WriteLine(inSource != nullptr ? inSource : "", inLevel, inMessage != nullptr ? inMessage : "");
}

void VLog4jMsgFileLogger::_WriteLine(std::string_view inSource, int32_t inLevel, std::string_view inMessage) {
    fParts.fLevel = inLevel;
    if (!_BeginLine())
        return;
    fLine.append(inSource);
    _ContinueLine(inLevel);
    fLine.append(inMessage);
    _EndLine();
    _WriteLines();
}

// The line "%llu %s [%s] %s - %s\n", assembled here to write a message of any length whole.

bool VLog4jMsgFileLogger::_BeginLine() {
    if (fFile == nullptr || IsPaused() || !ShouldLog(static_cast<EMessageLevel>(fParts.fLevel)))
        return false;
    // The file is checked for its size before each entry: the lines waiting are written first when the
    // file would be split before this one, so that a split falls between the same lines as when each
    // line is an entry of its own.
    if (!fLine.empty() &&
        (fLine.size() >= kMaxPendingBytes ||
         fFile->GetSize() + static_cast<int64_t>(fLine.size()) > VSplitableLogFile::kMaxLogSize))
        _WriteLines();
    // The lines that reach the file in one write carry the time at which the first of them was made
    // (they are made within microseconds of each other): the clock is read once per write.
    if (fLine.empty())
        _ReadTime();
    // "<sequence> <time> [", made aside and appended at once.
    char start[96];
    char* end = std::to_chars(start, start + 24, ILogger::GetSequenceNumber()).ptr;
    *end++ = ' ';
    end = std::copy_n(fTimeText.data(), std::min<size_t>(fTimeText.size(), 64), end);
    *end++ = ' ';
    *end++ = '[';
    fLine.append(start, end);
    return true;
}

void VLog4jMsgFileLogger::_ContinueLine(int32_t inLevel) {
    fLine.append(LevelTag(inLevel));
}

void VLog4jMsgFileLogger::_EndLine() {
    fLine.append(1, '\n');
}

void VLog4jMsgFileLogger::_WriteLines() {
    if (fLine.empty())
        return;
    fFile->AppendString(fLine.data(), fLine.size());
    fLine.clear();
    // A huge message does not keep its memory past its batch.
    if (fLine.capacity() > 4 * kMaxPendingBytes)
        fLine.shrink_to_fit();
}

void VLog4jMsgFileLogger::_ReadTime() {
    // Only the milliseconds change within a second: the local date and time are made once a second.
    int64_t milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
    int64_t second = milliseconds / 1000;
    if (second != fTimeSecond || fTimeText.size() != 23) {
        static const int64_t kUnixEpoch = VTime::ComputeJulianDay(1970, 1, 1) * VTime::kMillisecondsPerDay;
        VTime now;
        now.FromMilliseconds(kUnixEpoch + milliseconds);
        VString text;
        now.GetRfc3339String(text, eRfc3339Local);
        fTimeText = text.ToUTF8();
        fTimeSecond = second;
    }
    int32_t fraction = static_cast<int32_t>(milliseconds % 1000);
    if (fTimeText.size() == 23) {
        fTimeText[20] = static_cast<char>('0' + fraction / 100);
        fTimeText[21] = static_cast<char>('0' + fraction / 10 % 10);
        fTimeText[22] = static_cast<char>('0' + fraction % 10);
    }
}

} // namespace vkit
