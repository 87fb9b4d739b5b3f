// VTestTempFolder: a fresh temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include <functional>
#include <string>

namespace vkit::testing {

/// Creates a new folder under $TMPDIR (or /tmp) and removes it, whatever it holds, on destruction:
/// permissions and immutable attributes that would stop the removal are lifted first.
class VTestTempFolder {
public:
    VTestTempFolder();
    ~VTestTempFolder();
    VTestTempFolder(const VTestTempFolder&) = delete;
    VTestTempFolder& operator=(const VTestTempFolder&) = delete;

    /// The folder's POSIX path, without a trailing "/".
    const std::string& Path() const { return fPath; }
    /// Path() + "/" + inRelative.
    std::string operator/(const std::string& inRelative) const { return fPath + "/" + inRelative; }

    /// Writes a file (creating its parent folders); returns its path.
    std::string WriteFile(const std::string& inRelative, const std::string& inContent) const;
    /// Creates a folder and its parents; returns its path.
    std::string MakeFolder(const std::string& inRelative) const;

    /// Removes a tree, lifting what would stop it (used by the destructor).
    static void RemoveTree(const std::string& inPath);

private:
    std::string fPath;
};

/// Runs a shell command; returns its exit status (or -1).
int RunShell(const std::string& inCommand);
/// Reads a whole file; empty when it cannot be read.
std::string ReadFile(const std::string& inPath);
/// Polls inCondition every 10 ms, at most 20 s, until it holds; answers its last value.
bool Eventually(const std::function<bool()>& inCondition);

} // namespace vkit::testing
