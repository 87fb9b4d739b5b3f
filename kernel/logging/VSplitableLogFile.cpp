// VSplitableLogFile: opening, splitting and writing numbered log files.
#include "logging/VSplitableLogFile.h"

#include "errors/StErrorContextInstaller.h"
#include "files/VFile.h"
#include "files/VFileError.h"
#include "files/VFolder.h"

namespace vkit {

int32_t VSplitableLogFile::sDefaultMaxLogsToKeep = 50;

namespace {

std::string PosixText(const VFilePath& inPath) {
    VString text;
    inPath.GetPosixPath(text);
    return text.ToUTF8();
}

} // namespace

VSplitableLogFile::VSplitableLogFile(const VFilePath& inFolder, const VString& inBaseName,
                                     int32_t inFileNumber, bool inBinary)
    : fFolder(inFolder), fBaseName(inBaseName), fFileNumber(inFileNumber),
      fMaxNumberToKeep(sDefaultMaxLogsToKeep), fBinary(inBinary) {}

VSplitableLogFile::~VSplitableLogFile() {
    Close();
}

void VSplitableLogFile::BuildLogFileName(const VString& inBaseName, int32_t inFileNumber, VString& outName) {
    BuildLogFileNameWithExt(inBaseName, inFileNumber, VString(), outName);
}

void VSplitableLogFile::BuildLogFileNameWithExt(const VString& inBaseName, int32_t inFileNumber,
                                                const VString& inExtension, VString& outName) {
    outName = inBaseName;
    outName.AppendUniChar(u'_').AppendLong(inFileNumber);
    if (inExtension.IsEmpty())
        outName.AppendCString(".txt");
    else
        outName.AppendString(inExtension);
}

void VSplitableLogFile::GetCurrentFileName(VString& outName) const {
    BuildLogFileNameWithExt(fBaseName, fFileNumber, fExtension, outName);
}

VFilePath VSplitableLogFile::_PathOfNumber(int32_t inFileNumber) const {
    VString name;
    BuildLogFileNameWithExt(fBaseName, inFileNumber, fExtension, name);
    VFilePath path(fFolder);
    path.ToSubFile(name);
    return path;
}

VFilePath VSplitableLogFile::GetCurrentFilePath() const {
    return _PathOfNumber(fFileNumber);
}

bool VSplitableLogFile::Open(bool inTruncate, bool inFindFreeNumber) {
    if (fStream.IsOpen()) {
        fStream.Write(fHeader.data(), fHeader.size());
        fJustOpened = true;
        return true;
    }
    VFilePath path = GetCurrentFilePath();
    while (inFindFreeNumber && XPosixLogStream::Exists(PosixText(path)))
        path = _PathOfNumber(++fFileNumber);
    {
        // A folder that cannot be made shows in the open's error below.
        StErrorContextInstaller silent(false, true);
        VFolder folder(fFolder);
        if (!folder.Exists())
            (void)folder.CreateRecursive();
    }
    int error = fStream.Open(PosixText(path), inTruncate, fBinary);
    fJustOpened = true;
    if (error != 0) {
        (void)VFileError::Report(path, MakeVErrorFromPosix(error),
                                 VE_FILE_CANNOT_OPEN); // pushed; false says it
        return false;
    }
    fStream.Write(fHeader.data(), fHeader.size());
    return true;
}

bool VSplitableLogFile::Open(int32_t inFileNumber, bool inTruncate) {
    fFileNumber = inFileNumber;
    return Open(inTruncate, false);
}

void VSplitableLogFile::Close() {
    if (!fStream.IsOpen())
        return;
    fStream.Write(fFooter.data(), fFooter.size());
    fStream.Close();
}

void VSplitableLogFile::Flush() {
    fStream.Flush();
}

void VSplitableLogFile::SetLogNumber(int32_t inFileNumber, bool inTruncate) {
    fFileNumber = inFileNumber;
    if (fStream.IsOpen()) {
        Close();
        Open(inTruncate, false);
    }
}

int32_t VSplitableLogFile::CheckLogSize() {
    if (!fStream.IsOpen() || fStream.GetPosition() <= kMaxLogSize)
        return fFileNumber;
    Close();
    int32_t previous = fFileNumber;
    fFileNumber = previous + 1;
    if (fMaxNumberToKeep >= 1 && fMaxNumberToKeep <= previous) {
        VFile oldest(_PathOfNumber(fFileNumber - fMaxNumberToKeep));
        if (oldest.Exists())
            (void)oldest.Delete(); // a failure is pushed by the file; the split goes on
    }
    Open(true, false);
    return fFileNumber;
}

void VSplitableLogFile::_BeginEntry() {
    CheckLogSize();
    if (!fStream.IsOpen())
        return;
    if (fJustOpened)
        fJustOpened = false;
    else
        fStream.Write(fEntrySeparator.data(), fEntrySeparator.size());
}

void VSplitableLogFile::AppendString(const char* inText, size_t inLength) {
    _BeginEntry();
    fStream.Write(inText, inLength);
}

void VSplitableLogFile::AppendString(const VString& inText) {
    std::string text = inText.ToUTF8();
    AppendString(text.data(), text.size());
}

} // namespace vkit
