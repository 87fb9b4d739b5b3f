// The whole-program tests' fixture: sample bundles, a private home with its trash, stand-in programs,
// and runs of the built updater with their status, streams and log.
#pragma once

#include "support/VTestTempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vkit::testing {

/// One run of the updater: its exit status, what it wrote on each stream, its log as written, and the
/// log's lines with the sequence number, time and source left out ("INFO Updater starting - ..."),
/// oldest first.
struct UpdaterRun {
    int fStatus = -1;
    std::string fOut;
    std::string fErr;
    std::string fRawLog;
    std::vector<std::string> fLog;
};

/// Each test gets its folder {F} with two sample bundles, {F}/templates/1.0 and {F}/templates/2.0,
/// whose Resources hold a sample tree (modes, links, hidden items, a 3 MB file) and whose program
/// appends "<version> <arguments>" to {F}/app-output.txt. The updater's log goes to {L} = {F}/Logs, its
/// home, with the trash, is {F}/home, and {F}/bin comes first on its PATH.
class UpdaterTest : public ::testing::Test {
public:
    UpdaterTest();
    ~UpdaterTest() override;

    /// The text with {F}, {L}, {A} and {B} (the outdated and up-to-date bundles' POSIX paths), {open} (the
    /// opener next to the updater), {bundle} (the built updater's bundle), {updater} (the updater run) and
    /// {log} (the log file, once there is one) replaced.
    std::string Expand(const std::string& inText) const;
    /// Runs the expanded shell command; returns its status.
    int Shell(const std::string& inCommand) const;
    /// Runs the updater (fUpdater) with the expanded arguments (shell words) and environment settings
    /// ("NAME=value" words), standard input from /dev/null; inPrefix runs it (a tracer, for instance).
    UpdaterRun Run(const std::string& inArguments, const std::string& inEnvironment = "",
                   const std::string& inPrefix = "") const;
    /// What the sample programs recorded, once it holds inText or after 10 s (the opener does not wait for
    /// the application).
    std::string AppOutputWith(const std::string& inText) const;
    /// The names in a folder ({F}-relative), sorted.
    std::vector<std::string> Names(const std::string& inFolder) const;

    VTestTempFolder fFolder;
    std::string fOutdated;
    std::string fUpToDate;
    std::string fUpdater;
};

/// Makes this process adopt the orphans of what it starts (a child subreaper), ends and reaps its children,
/// and describes those an update must not leave: an opener, a zombie (unless inZombiesAllowed: an
/// unwatched restart leaves the application to its adopter), a process with more than its standard
/// streams open; "" when there is none.
std::string EndAdopted(bool inZombiesAllowed);

/// The text as one shell word, in single quotes.
std::string ShellQuoted(const std::string& inText);

/// True when inLines holds lines beginning with each of inExpected ("\n"-separated) in that order;
/// other lines may come between.
::testing::AssertionResult HoldsInOrder(const std::vector<std::string>& inLines,
                                        const std::string& inExpected);

} // namespace vkit::testing
