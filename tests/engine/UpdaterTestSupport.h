// The whole-program tests' fixture: sample bundles, a private home with its trash, stand-in programs,
// and runs of the built updater with their status, streams and log.
#pragma once

#include "support/VTestTempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vkit::testing {

/// One run of the updater: its exit status, what it wrote on each stream, and the lines of its log with
/// the sequence number, time and source left out ("INFO Updater starting - ..."), oldest first.
struct UpdaterRun {
    int fStatus = -1;
    std::string fOut;
    std::string fErr;
    std::vector<std::string> fLog;
};

/// Each test gets its folder: "Applications/" for the outdated bundle, "Downloads/" for the up-to-date
/// one, "Logs/", a home whose trash the updater uses, and "bin/" first on the updater's PATH.
class UpdaterTest : public ::testing::Test {
public:
    UpdaterTest();
    ~UpdaterTest() override;

    /// A bundle at inPath whose Resources hold a sample tree (modes, links, hidden items, a 3 MB file)
    /// plus "version.txt", and whose program appends "<version> <arguments>" to AppOutput().
    void MakeBundle(const std::string& inPath, const std::string& inVersion) const;
    /// Runs the updater with these arguments (shell words) and environment settings ("NAME=value"
    /// words, before the program), standard input from /dev/null. inPrefix runs before the updater (a
    /// tracer, for instance).
    UpdaterRun Run(const std::string& inArguments, const std::string& inEnvironment = "",
                   const std::string& inPrefix = "") const;
    /// Writes an executable stand-in program into bin/.
    void WriteProgram(const std::string& inName, const std::string& inScript) const;

    /// What the sample bundles' programs recorded, once a line holding inText is there (waits up to
    /// 10 s: the opener does not wait for the application).
    std::string AppOutputWith(const std::string& inText) const;
    std::string AppOutput() const { return fFolder / "app-output.txt"; }
    /// The names in the user's trash.
    std::vector<std::string> Trash() const;
    std::string TrashFolder() const { return fFolder / "home/.local/share/Trash/files"; }

    /// Mounts a tmpfs of inMegabytes at inPath (created), unmounted with the fixture. False when this
    /// system does not let the test mount one.
    bool MountSmallFileSystem(const std::string& inPath, int inMegabytes);
    /// A copy of a tree, made with cp -a, to compare with later.
    std::string Snapshot(const std::string& inPath, const std::string& inName) const;
    /// The native text of a folder's POSIX path, as the engine's path parameters hold it.
    static std::string NativeFolderText(const std::string& inPosixPath);

    VTestTempFolder fFolder;
    std::string fUpdater;
    std::vector<std::string> fMounts;
    const std::string fOutdated;
    const std::string fUpToDate;
    const std::string fLogs;
};

/// The built updater and its bundle.
std::string UpdaterPath();
std::string UpdaterBundle();

/// True when inLines holds inExpected in that order (other lines may come between).
::testing::AssertionResult HoldsInOrder(const std::vector<std::string>& inLines,
                                        const std::vector<std::string>& inExpected);

} // namespace vkit::testing
