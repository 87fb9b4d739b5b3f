// VBundle: finding a bundle from its executable or its folder, and reading its Info.plist.
#include "runtime/VBundle.h"

#include "errors/VErrorThrow.h"
#include "platform/posix/application/XPosixBundle.h"
#include "platform/posix/application/XPosixPlistReader.h"
#include "platform/posix/files/XPosixPath.h"

#include <string>

namespace vkit {

namespace {

/// The executable named by an Info.plist must stay inside "Contents/MacOS/".
bool IsPlainFileName(const VString& inName) {
    return !inName.IsEmpty() && inName != "." && inName != ".." && inName.FindUniChar(u'/') == 0;
}

/// True when inFolder's own name is exactly inName (bundle folder names are case-sensitive on Linux).
bool FolderNamed(const VFilePath& inFolder, const char* inName) {
    VString name;
    inFolder.GetFolderName(name);
    return name == inName;
}

} // namespace

void VBundle::_Clear() noexcept {
    fFolderPath.Clear();
    fExecutablePath.Clear();
    fInfo.clear();
    fHasInfo = false;
}

bool VBundle::OpenMain() {
    _Clear();
    std::string executable;
    if (!XPosixBundle::GetExecutablePath(executable))
        return false;
    VFilePath path;
    XPosixPath::GetFilePathFromPosixPath(executable, false, path);
    return OpenForExecutable(path);
}

bool VBundle::OpenForExecutable(const VFilePath& inExecutable) {
    _Clear();
    if (!inExecutable.IsFile())
        return false;
    fExecutablePath = inExecutable;
    VFilePath macOS;
    VFilePath contents;
    VFilePath bundle;
    if (!inExecutable.GetFolder(macOS) || !FolderNamed(macOS, "MacOS") || !macOS.GetParent(contents) ||
        !FolderNamed(contents, "Contents") || !contents.GetParent(bundle))
        return false;
    fFolderPath = std::move(bundle);
    return _ReadInfo(false);
}

bool VBundle::Open(const VFilePath& inFolder) {
    _Clear();
    if (!inFolder.IsFolder()) {
        VString message("open bundle '");
        message.AppendString(inFolder.IsValid() ? inFolder.GetPath(FilePathStyle::Posix)
                                                : inFolder.GetPath());
        message.AppendCString("': not a folder path");
        // Told by the false result; the error stands on the context.
        (void)vThrowUserGeneratedError(VE_UNKNOWN_ERROR, message);
        return false;
    }
    fFolderPath = inFolder;
    if (!_ReadInfo(true))
        return false;
    VString executable;
    if (GetInfoString(kExecutableKey, executable) && IsPlainFileName(executable)) {
        // A ":" in a POSIX name is a "/" in a native one.
        executable.ExchangeAll(VString(VFilePath::kSeparator), VString(u'/'));
        fExecutablePath = fFolderPath;
        fExecutablePath.ToSubFolder("Contents").ToSubFolder("MacOS").ToSubFile(executable);
    }
    return true;
}

VFilePath VBundle::GetInfoFilePath() const {
    VFilePath path(fFolderPath);
    path.ToSubFolder("Contents").ToSubFile("Info.plist");
    return path;
}

bool VBundle::GetInfoString(const VString& inKey, VString& outValue) const {
    for (const auto& entry : fInfo) {
        if (entry.first == inKey) {
            outValue = entry.second;
            return true;
        }
    }
    outValue.Clear();
    return false;
}

bool VBundle::_ReadInfo(bool inReportErrors) {
    std::string posixPath = XPosixPath::GetPosixPath(GetInfoFilePath());
    XPosixPlistReader::Entries entries;
    XPosixPlistReader::Failure failure;
    if (XPosixPlistReader::ReadFile(posixPath, entries, failure)) {
        fInfo.reserve(entries.size());
        for (const auto& [key, value] : entries)
            fInfo.emplace_back(VString(key.data(), key.size()), VString(value.data(), value.size()));
        fHasInfo = true;
        return true;
    }
    if (inReportErrors) {
        std::string message = "read '" + posixPath + "': " + failure.fMessage;
        VError code = failure.fErrno != 0 ? MakeVErrorFromPosix(failure.fErrno) : VE_UNKNOWN_ERROR;
        // Told by the false result; the error stands on the context.
        (void)vThrowUserGeneratedError(code, VString(message));
    }
    return false;
}

} // namespace vkit
