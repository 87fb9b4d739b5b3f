// VSplitableLogFile: a numbered log file in a folder, replaced by the next number beyond 10 MiB.
#pragma once

#include "files/VFilePath.h"
#include "platform/posix/logging/XPosixLogStream.h"
#include "text/VObject.h"
#include "text/VString.h"

#include <cstdint>
#include <string>

namespace vkit {

/// The log file "<base name>_<number><extension>" (extension ".txt" unless another one is set) in a
/// folder. Before every entry the file is checked: once it holds more than kMaxLogSize bytes it is
/// closed and the next number is opened emptied, the oldest numbered file being deleted so that at
/// most GetMaxNumberToKeep numbered files remain. Texts are written as UTF-8.
///
/// Takes no lock: its owner's lock guards it.
class VSplitableLogFile : public VObject {
public:
    /// A file is split once it holds more than this many bytes.
    static constexpr int64_t kMaxLogSize = 10485760;
    /// The number of files kept by new log files.
    static int32_t sDefaultMaxLogsToKeep;

    /// A closed log file; binary selects the C modes "wb" and "ab" instead of "w" and "a".
    VSplitableLogFile(const VFilePath& inFolder, const VString& inBaseName, int32_t inFileNumber,
                      bool inBinary);
    /// Closes the file (writing the footer).
    ~VSplitableLogFile() override;
    VSplitableLogFile(const VSplitableLogFile&) = delete;
    VSplitableLogFile& operator=(const VSplitableLogFile&) = delete;

    /// Opens the current number, emptied (inTruncate) or continued; with inFindFreeNumber the number
    /// first grows past every existing file. The folder and its missing parents are created, their
    /// errors silenced. Answers false on failure, pushing the open's error naming the path. When a
    /// file is already open, writes the header again and answers true.
    bool Open(bool inTruncate, bool inFindFreeNumber);
    /// Sets the number, then opens it (no search).
    bool Open(int32_t inFileNumber, bool inTruncate);
    /// Writes the footer and closes the file, when one is open.
    void Close();
    void Flush();
    /// Sets the number; when a file is open, closes it and opens the new number.
    void SetLogNumber(int32_t inFileNumber, bool inTruncate);

    /// Splits the file when it holds more than kMaxLogSize bytes: closes it, deletes the oldest file
    /// beyond the maximum to keep, opens the next number emptied. Answers the current number.
    int32_t CheckLogSize();

    /// Each checks the size first, then writes the entry separator (unless the file was just opened)
    /// and the text; nothing without an open file.
    void AppendString(const char* inText, size_t inLength);
    void AppendString(const VString& inText);

    bool IsOpen() const noexcept { return fStream.IsOpen(); }
    /// The size of the open file, written so far; -1 when none is open.
    int64_t GetSize() const noexcept { return fStream.GetPosition(); }
    /// True when the open file was removed (or its folder) since it was opened.
    bool IsUnlinked() const noexcept { return fStream.IsUnlinked(); }
    int32_t GetFileNumber() const noexcept { return fFileNumber; }
    const VFilePath& GetFolder() const noexcept { return fFolder; }
    int32_t GetMaxNumberToKeep() const noexcept { return fMaxNumberToKeep; }
    void SetMaxNumberToKeep(int32_t inCount) noexcept { fMaxNumberToKeep = inCount; }
    void SetHeader(const VString& inHeader) { fHeader = inHeader.ToUTF8(); }
    void SetFooter(const VString& inFooter) { fFooter = inFooter.ToUTF8(); }
    void SetEntrySeparator(const VString& inSeparator) { fEntrySeparator = inSeparator.ToUTF8(); }
    /// The extension with its ".", or empty for ".txt".
    void SetExtension(const VString& inExtension) { fExtension = inExtension; }

    /// The name of the current file.
    void GetCurrentFileName(VString& outName) const;
    /// The path of the current file.
    VFilePath GetCurrentFilePath() const;
    /// inBaseName, "_", the number, ".txt".
    static void BuildLogFileName(const VString& inBaseName, int32_t inFileNumber, VString& outName);
    /// As BuildLogFileName with inExtension (with its ".") when it is not empty.
    static void BuildLogFileNameWithExt(const VString& inBaseName, int32_t inFileNumber,
                                        const VString& inExtension, VString& outName);

private:
    VFilePath _PathOfNumber(int32_t inFileNumber) const;
    /// Writes the separator unless the file was just opened.
    void _BeginEntry();

    XPosixLogStream fStream;
    VFilePath fFolder;
    VString fBaseName;
    int32_t fFileNumber;
    int32_t fMaxNumberToKeep;
    std::string fHeader;
    std::string fFooter;
    VString fExtension;
    std::string fEntrySeparator;
    bool fJustOpened = false;
    bool fBinary;
};

} // namespace vkit
