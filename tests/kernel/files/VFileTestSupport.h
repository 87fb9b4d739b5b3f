// Shared by the file and folder tests: the task and error layer, error capture, disk helpers.
#pragma once

#include "bags/VValueBag.h"
#include "errors/StErrorContextInstaller.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorContext.h"
#include "files/VFile.h"
#include "files/VFileErrorCodes.h"
#include "files/VFileIterator.h"
#include "files/VFileSystem.h"
#include "files/VFolder.h"
#include "files/VFolderIterator.h"
#include "kernel/errors/ErrorsTestEnvironment.h"
#include "runtime/VTaskMgr.h"
#include "support/VTestTempFolder.h"
#include "support/VTestTrees.h"
#include "text/VTime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vkit::testing {

// The file tests run on the main task of a task manager with the error layer up.
inline const ::testing::Environment* const sFilesEnvironment =
    ::testing::AddGlobalTestEnvironment(new ErrorsTestEnvironment);

/// The codes of the errors a guard's context holds, oldest first.
inline std::vector<VError> Codes(const StErrorContextInstaller& inGuard) {
    std::vector<VError> codes;
    for (const VErrorBase* error : inGuard.GetContext()->GetErrors())
        codes.push_back(error->GetError());
    return codes;
}

/// What a failure with inErrno pushes: the system error, then inCode; nothing for 0.
inline std::vector<VError> Pushed(int inErrno, VError inCode) {
    return inErrno == 0 ? std::vector<VError>() : std::vector<VError>{MakeVErrorFromPosix(inErrno), inCode};
}

/// Every error of the guard's context in full, for assertion messages.
inline std::string Dump(const StErrorContextInstaller& inGuard) {
    std::string text;
    for (const VErrorBase* error : inGuard.GetContext()->GetErrors()) {
        VString dump;
        error->DumpToString(dump);
        text += dump.ToUTF8();
    }
    return text.empty() ? std::string("(no error)") : text;
}

/// The string parameter of the guard's last error.
inline std::string LastParameter(const StErrorContextInstaller& inGuard, const char* inName) {
    const VErrorBase* error = inGuard.GetContext()->GetLast();
    VString value;
    if (error == nullptr || !error->GetBag().GetString(inName, value))
        return "(none)";
    return value.ToUTF8();
}

inline VRefPtr<VFolder> FolderAt(const std::string& inPosixPath) {
    return AdoptRef(new VFolder(VString(inPosixPath + "/"), FilePathStyle::Posix));
}

inline VRefPtr<VFile> FileAt(const std::string& inPosixPath) {
    return AdoptRef(new VFile(VString(inPosixPath), FilePathStyle::Posix));
}

/// The native text of the path of a file (or folder, with inFolder) at a POSIX path.
inline std::string NativeOf(const std::string& inPosixPath, bool inFolder = false) {
    return (inFolder ? FolderAt(inPosixPath)->GetPath() : FileAt(inPosixPath)->GetPath()).GetPath().ToUTF8();
}

/// What the disk holds at each name under inRoot, in one line: "name=content" for a file, "name->target"
/// for a link, "name/" for a folder, "name?" when there is nothing.
inline std::string Disk(const std::string& inRoot, std::initializer_list<std::string> inNames) {
    std::string state;
    for (const std::string& name : inNames) {
        std::string path = inRoot + "/" + name;
        struct stat info;
        state += (state.empty() ? "" : " ") + name;
        if (::lstat(path.c_str(), &info) != 0)
            state += "?";
        else if (S_ISLNK(info.st_mode))
            state += "->" + LinkTarget(path);
        else
            state += S_ISDIR(info.st_mode) ? "/" : "=" + ReadFile(path);
    }
    return state;
}

} // namespace vkit::testing
