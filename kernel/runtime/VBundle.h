// VBundle: an application bundle on disk: its folder, its executable and the texts of its Info.plist.
#pragma once

#include "files/VFilePath.h"
#include "text/VObject.h"
#include "text/VString.h"

#include <cstddef>
#include <utility>
#include <vector>

namespace vkit {

/// An application bundle: a folder "Name.app/" holding "Contents/Info.plist" (an XML property list),
/// the executable in "Contents/MacOS/" and the resources in "Contents/Resources/". The information keys
/// are read once, when the bundle is opened; values that are texts, numbers, dates or booleans are kept
/// as text ("true", "false"), arrays and nested dictionaries are left out.
///
/// The main bundle is found from the running executable: when it lies in "Contents/MacOS/" of a folder,
/// that folder is the bundle; otherwise there is no bundle and the information queries answer empty.
class VBundle : public VObject {
public:
    /// Information keys the library reads.
    static constexpr const char* kNameKey = "CFBundleName";
    static constexpr const char* kShortVersionKey = "CFBundleShortVersionString";
    static constexpr const char* kExecutableKey = "CFBundleExecutable";
    static constexpr const char* kIconFileKey = "CFBundleIconFile";
    static constexpr const char* kDevelopmentRegionKey = "CFBundleDevelopmentRegion";

    /// No bundle, no executable, no information.
    VBundle() = default;

    /// Opens the bundle of the running executable (see OpenForExecutable). Returns false, with no bundle
    /// and no executable, when the system does not tell where the executable lies.
    bool OpenMain();

    /// Takes inExecutable (a file path) as the executable; when it lies in "Contents/MacOS/" of a folder,
    /// that folder is the bundle and its Info.plist is read. Reports no error: without a bundle, or with an
    /// Info.plist that is missing or unreadable, the information stays empty. Returns whether the
    /// information was read.
    bool OpenForExecutable(const VFilePath& inExecutable);

    /// Opens the bundle folder inFolder (a folder path) and reads its Info.plist; the executable is
    /// "Contents/MacOS/" followed by the "CFBundleExecutable" value (none when absent or when the value is
    /// not a plain file name). Returns false when inFolder is not a valid folder path or Info.plist cannot
    /// be read: an error naming the file and the reason is pushed (code "POSX" with the errno of the
    /// failing call, else vkit 1 for content that is not a property list with a dictionary).
    bool Open(const VFilePath& inFolder);

    /// True when a bundle folder is known.
    bool IsBundle() const noexcept { return fFolderPath.IsValid(); }
    /// True when the Info.plist was read.
    bool HasInfo() const noexcept { return fHasInfo; }
    /// The bundle folder; empty and invalid when there is no bundle.
    const VFilePath& GetFolderPath() const noexcept { return fFolderPath; }
    /// The executable file; empty and invalid when unknown.
    const VFilePath& GetExecutablePath() const noexcept { return fExecutablePath; }
    /// The path of "Contents/Info.plist" in the bundle folder; empty and invalid without a bundle.
    VFilePath GetInfoFilePath() const;

    /// The value of an information key. Returns false, outValue emptied, when the key is absent.
    bool GetInfoString(const VString& inKey, VString& outValue) const;
    /// The number of information keys read.
    size_t GetInfoCount() const noexcept { return fInfo.size(); }

private:
    void _Clear() noexcept;
    /// Reads the Info.plist of fFolderPath; with inReportErrors, a failure pushes an error.
    bool _ReadInfo(bool inReportErrors);

    VFilePath fFolderPath;
    VFilePath fExecutablePath;
    std::vector<std::pair<VString, VString>> fInfo;
    bool fHasInfo = false;
};

} // namespace vkit
