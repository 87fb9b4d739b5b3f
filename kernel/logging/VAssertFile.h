// VAssertFile: the assert file of the debugging aids, beside the application bundle.
#pragma once

#include "files/VFilePath.h"
#include "text/VString.h"

#include <string>

namespace vkit {

/// Failed assertions and reported errors written to "<bundle path without extension>_asserts.txt".
/// Disabled until Enable: a program that does not enable it never writes the file. Each write opens
/// the file, writes and closes it: the first in the process empties it and writes the banner "ZQ log
/// file opened on <date>"; a file found above kMaxSize bytes is renamed with a counter appended (0,
/// then 1, 2, ...) and started again with the banner "<counter + 1> nth log opened on <date>".
/// Writes from several tasks are serialised.
class VAssertFile {
public:
    static constexpr int64_t kMaxSize = 10485760;

    VAssertFile() = delete;

    /// Enables the file for the bundle folder inBundleFolder (another file than before is emptied by
    /// its first write); a path that is not a folder disables it.
    static void Enable(const VFilePath& inBundleFolder);
    static void Disable();
    static bool IsEnabled();
    /// The POSIX path of the file, empty while disabled.
    static std::string GetPosixPath();

    /// Appends inText; with inWithTimeStamp a line feed, the local time ("%m/%d/%y, %X") and a line
    /// feed come first. Nothing while disabled.
    static void Write(const VString& inText, bool inWithTimeStamp);
};

} // namespace vkit
