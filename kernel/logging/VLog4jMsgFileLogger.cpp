// VLog4jMsgFileLogger: starting and stopping the writer, the text form of records, the log lines.
#include "logging/VLog4jMsgFileLogger.h"

#include "bags/VValueBag.h"
#include "errors/StErrorContextInstaller.h"
#include "files/VFileError.h"
#include "files/VFolder.h"
#include "logging/ILoggerBagKeys.h"
#include "logging/VSplitableLogFile.h"
#include "platform/posix/XPosixLogStream.h"
#include "runtime/StLocker.h"
#include "text/VValueSingle.h"

#include <cerrno>

namespace vkit {

namespace {

constexpr const char* kLevelNames[] = {"DUMP", "TRACE", "ASSERT", "DEBUG", "INFO", "WARN", "ERROR", "FATAL"};

bool FileExists(const VFilePath& inFolder, const VString& inName, int32_t inNumber) {
    VString fileName;
    VSplitableLogFile::BuildLogFileName(inName, inNumber, fileName);
    VFilePath path(inFolder);
    VString posix;
    path.ToSubFile(fileName).GetPosixPath(posix);
    return XPosixLogStream::Exists(posix.ToUTF8());
}

void AppendSignature(VString& ioText, uint32_t inComponent) {
    for (int shift = 24; shift >= 0; shift -= 8)
        ioText.AppendUniChar(static_cast<UniChar>((inComponent >> shift) & 0xFF));
}

/// Appends the record's shown attributes as " (label=value, ...)".
void AppendExtraFields(const VValueBag& inRecord, VString& ioMessage) {
    static const VString kLineFeed("\n");
    static const VString kLineFeedReplacement(" ; ");
    ioMessage.AppendCString(" (");
    bool first = true;
    VString value;
    for (VIndex i = 1; i <= inRecord.GetAttributesCount(); ++i) {
        std::string_view key = inRecord.GetNthAttributeKey(i);
        std::string_view label;
        if (!ILoggerBagKeys::GetLabel(key, label))
            continue;
        if (!first)
            ioMessage.AppendCString(", ");
        first = false;
        if (label.empty())
            ioMessage.AppendUTF8(key.data(), key.size()).AppendUniChar(u'=');
        else
            ioMessage.AppendUTF8(label.data(), label.size());
        value.Clear();
        if (const VValueSingle* attribute = inRecord.GetNthAttribute(i, nullptr))
            attribute->GetString(value);
        if (value.FindUniChar(u'\n') != 0)
            value.ExchangeAll(kLineFeed, kLineFeedReplacement);
        ioMessage.AppendString(value);
    }
    ioMessage.AppendUniChar(u')');
}

} // namespace

VLog4jMsgFileLogger::VLog4jMsgFileLogger(const VFilePath& inFolder, const VString& inLogName)
    : fFolder(inFolder), fLogName(inLogName) {}

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
    int32_t number = 1;
    while (FileExists(fFolder, fLogName, number + 1))
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
    outMessage.Clear();
    ILoggerBagKeys::message.Get(inRecord, outMessage);
    uint64_t errorCode = 0;
    ILoggerBagKeys::error_code.Get(inRecord, errorCode);
    outLevel = ILoggerBagKeys::level.Get(inRecord);
    if (!ILoggerBagKeys::source.Get(inRecord, outSource))
        outSource = ILogger::GetProcessLogSource();
    uint32_t component = 0;
    if (!ILoggerBagKeys::component_signature.Get(inRecord, component) || component == 0)
        component = static_cast<uint32_t>(errorCode >> 32);
    if (component != 0) {
        if (!outSource.IsEmpty())
            outSource.AppendUniChar(u'.');
        AppendSignature(outSource, component);
    }
    if (errorCode != 0) {
        VString prefix;
        prefix.AppendUniChar(u'[').AppendLong(NumberFromVError(errorCode)).AppendCString("] ");
        outMessage.Insert(prefix, 1);
    }
    AppendExtraFields(inRecord, outMessage);
}

void VLog4jMsgFileLogger::_Put(const std::vector<const VValueBag*>& inRecords) {
    StLocker lock(fLock);
    if (fFile == nullptr)
        return;
    _EnsureFile();
    VString source;
    VString message;
    int32_t level = EML_Information;
    for (const VValueBag* record : inRecords) {
        GetLogInfosFromBag(*record, source, level, message);
        Log(source, level, message);
    }
    fFile->Flush();
}

void VLog4jMsgFileLogger::_EnsureFile() {
    bool lost = !fFile->IsOpen() || fFile->IsUnlinked();
    if (!lost)
        return;
    if (!fFileLost && fFile->IsOpen()) {
        // The records written since the file disappeared are gone with it: say so once.
        VFileError::Report(fFile->GetCurrentFilePath(), MakeVErrorFromPosix(ENOENT), VE_FILE_CANNOT_WRITE);
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
    Log(inSource.ToUTF8().c_str(), inLevel, inMessage.ToUTF8().c_str());
}

void VLog4jMsgFileLogger::Log(const char* inSource, int32_t inLevel, const char* inMessage) {
    StLocker lock(fLock);
    if (fFile == nullptr || IsPaused() || !ShouldLog(static_cast<EMessageLevel>(inLevel)))
        return;
    const std::string& time = _TimeText();
    unsigned long long sequence = ILogger::GetSequenceNumber();
    fFile->AppendFormattedString("%llu %s [%s] %s - %s\n", sequence, time.c_str(), inSource,
                                 GetMessageLevelName(inLevel), inMessage);
}

const std::string& VLog4jMsgFileLogger::_TimeText() {
    VTime now = VTime::Now();
    int64_t milliseconds = now.GetMilliseconds();
    int64_t second = milliseconds / 1000;
    if (second != fTimeSecond || fTimeText.size() != 23) {
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
    return fTimeText;
}

} // namespace vkit
