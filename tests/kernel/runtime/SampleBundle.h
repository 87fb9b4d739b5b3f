// Sample bundles for the application tests: Info.plist texts and bundle folders in a temporary folder.
#pragma once

#include "files/VFilePath.h"
#include "support/VTestTempFolder.h"
#include "text/VString.h"

#include <initializer_list>
#include <string>
#include <utility>

namespace vkit::testing {

/// An Info.plist whose top-level dictionary maps each key to a string.
inline std::string MakeInfoPlist(std::initializer_list<std::pair<const char*, const char*>> inStrings) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
    for (const auto& [key, value] : inStrings)
        text += std::string("  <key>") + key + "</key>\n  <string>" + value + "</string>\n";
    return text + "</dict>\n</plist>\n";
}

/// Creates inName (a "X.app" folder) with Contents/MacOS/ and, when inInfoPlist is not empty,
/// Contents/Info.plist; returns the bundle's POSIX path without a trailing "/".
inline std::string MakeSampleBundle(const VTestTempFolder& inFolder, const std::string& inName,
                                    const std::string& inInfoPlist) {
    inFolder.MakeFolder(inName + "/Contents/MacOS");
    if (!inInfoPlist.empty())
        inFolder.WriteFile(inName + "/Contents/Info.plist", inInfoPlist);
    return inFolder / inName;
}

/// The path of a POSIX text (a folder path when it ends with "/").
inline VFilePath PosixPath(const std::string& inPosix) {
    return VFilePath(VString(inPosix.c_str()), FilePathStyle::Posix);
}

/// The POSIX text of a path.
inline std::string PosixText(const VFilePath& inPath) {
    VString text;
    inPath.GetPosixPath(text);
    return text.ToUTF8();
}

} // namespace vkit::testing
