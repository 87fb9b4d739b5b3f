// VInstallTransaction: one install of an up-to-date bundle in the place of an outdated one, journaled
// state by state: staged beside it, exchanged in one step, rolled back by the reverse step.
#pragma once

#include "VInstallJournal.h"

#include "errors/VErrorCodes.h"
#include "files/VFilePath.h"

#include <functional>

namespace vkit {
class VFolder;
class VString;
} // namespace vkit

namespace zq {

/// The install, from the staging of the up-to-date bundle B beside the installed bundle A to the set-aside
/// bundle's trip to the trash. Every change on disk is announced in the journal first (VInstallJournal,
/// EInstallState), so that VInstallRecovery can complete or undo a run killed at any point; the journal
/// is removed once nothing is left to do. The run's order:
///
///   Stage (before the caller is told to quit): journal "staging", B copied to a hidden sibling of A (the
///   library's one-call tree copy, complete or absent, flushed), journal "staged" with the copy's
///   identity. Nothing of A is touched: a failure, or Abandon, removes the copy and the journal.
///
///   Install (once the caller has quit): journal "exchanging" with the chosen "_old%04d" name, then one
///   exchange of A and the staged copy (retried five times, 3000 ms apart, UPZQ 11 after each refusal),
///   then the outdated bundle, now at the staged path, renamed to its set-aside name. Where the file
///   system cannot exchange, two renames: journal "moving-aside", A renamed aside; journal "moving-in",
///   the staged copy renamed into A's place (each retried the same way); between these two renames A's
///   place is empty. A failure after the first change puts the outdated bundle back (PutBack).
///
///   Finish (after the restart): journal "installed", the set-aside bundle to the trash (deleted when the
///   trash refuses it, kept when asked), journal removed.
///
///   With a watched restart (--verify-launch), BeginVerification first records "verifying": the set-aside
///   bundle stays until the restarted application passed. When it failed, Revert records "reverting"
///   with a free "_failed%04d" name, puts the outdated bundle back in A's place in one exchange with the
///   set-aside bundle (two renames where the file system cannot exchange) and gives the up-to-date bundle
///   the failed name, where it is kept.
class VInstallTransaction {
public:
    /// An install of inUpToDate (B) in the place of inInstalled (A); nothing is done yet.
    VInstallTransaction(const vkit::VFilePath& inInstalled, const vkit::VFilePath& inUpToDate);
    ~VInstallTransaction();
    VInstallTransaction(const VInstallTransaction&) = delete;
    VInstallTransaction& operator=(const VInstallTransaction&) = delete;

    /// Creates the journal and copies B to the staged path. On failure the copy's errors, UPZQ 13 ("from",
    /// "to") and nothing else are pushed (or the journal's error then UPZQ 205), the staged copy and the
    /// journal are removed, and A is untouched.
    [[nodiscard]] vkit::VError Stage();
    /// The staged copy (valid once Stage succeeded): the bundle that Install puts in A's place.
    const vkit::VFilePath& GetStagedPath() const noexcept { return fRecord.fStaged; }
    /// Before Install: removes the staged copy and the journal (the journal stays when the copy cannot be
    /// removed, so that a later start removes it). A is untouched. Pushes the removal's errors.
    void Abandon();

    /// Puts the staged copy in A's place, the outdated bundle under its set-aside name; logs where each
    /// bundle is. On failure A holds the outdated bundle again when it can be put back, the staged copy
    /// and the journal are removed, and the errors are pushed (the refusals' UPZQ 11 and their own errors,
    /// a journal's error then UPZQ 205). Answers the last error.
    [[nodiscard]] vkit::VError Install();
    /// The set-aside bundle's path once Install succeeded.
    const vkit::VFilePath& GetSetAsidePath() const noexcept { return fRecord.fSetAside; }
    /// After Install: records "installed", moves the set-aside bundle to the trash when inTrash (deleting
    /// it when the trash refuses it; both failures pushed), and removes the journal.
    void Finish(bool inTrash);
    /// After Install: puts the outdated bundle back in A's place (journal "rolling-back", then the
    /// exchange back, or the rename back after the two-rename path) and removes the up-to-date bundle;
    /// the journal is removed once A holds the outdated bundle. Pushes the failures; the log says where
    /// each bundle is.
    [[nodiscard]] vkit::VError PutBack();

    /// After Install, before a watched restart: records "verifying". Pushes the journal's error and UPZQ
    /// 205.
    [[nodiscard]] vkit::VError BeginVerification();
    /// After a watched restart that failed: chooses the free "_failed%04d" sibling of A, records
    /// "reverting", then CompleteRevert; logs where each bundle is. outPutBack is set when A holds the
    /// outdated bundle again; the journal is then removed, else it stays for the next start to complete
    /// the revert. Pushes the journal's, the exchange's and the renames' errors; answers the last one
    /// (with outPutBack set: the up-to-date bundle kept its set-aside name).
    [[nodiscard]] vkit::VError Revert(bool& outPutBack);
    /// The journal's record: where each bundle may be and how to tell them apart.
    const VInstallRecord& GetRecord() const noexcept { return fRecord; }

    /// The revert of ioRecord from whatever the disk holds, decided by the identities: the up-to-date
    /// bundle at A and the outdated one at the set-aside name are exchanged (or A is renamed to the failed
    /// name, then the outdated bundle into A's place); A empty, the outdated bundle is renamed back; then
    /// the up-to-date bundle, still at the set-aside name, gets the failed name (another free one,
    /// recorded first, when that was taken since). Nothing else is guessed. outPutBack is set when A
    /// holds the outdated bundle. Answers VE_OK once both bundles are at their places; pushes the
    /// failures.
    [[nodiscard]] static vkit::VError CompleteRevert(const VInstallJournal& inJournal,
                                                     VInstallRecord& ioRecord, bool& outPutBack);

    /// outPath = inSource's sibling named after its folder name without extension, "_<suffix>" (nothing
    /// without a suffix), a four-digit number from 1, and the extension: the first such name no item
    /// takes, trying up to 9999. False when even number 9999 is taken.
    static bool FindFreeSibling(const vkit::VFilePath& inSource, vkit::VFilePath& outPath,
                                const vkit::VString* inSuffix);
    /// Renames inFrom to the name of inTo (a sibling), never replacing an item, retried as a refused
    /// swap is: after each failure but the last, UPZQ 11 ("srcPath" inShownFrom, "dstPath" inTo) is
    /// prepared, the task waits 3000 ms, tries again and records it. inAttempt makes one attempt.
    [[nodiscard]] static vkit::VError Retried(const vkit::VFilePath& inShownFrom, const vkit::VFilePath& inTo,
                                              const std::function<vkit::VError()>& inAttempt);

private:
    /// Records inState durably before the change it announces; pushes the journal's error and UPZQ 205.
    [[nodiscard]] vkit::VError _Record(EInstallState inState);
    /// The swap by two renames, for a file system that cannot exchange.
    [[nodiscard]] vkit::VError _InstallByRenames();
    /// Renames the outdated bundle from the staged path to a free set-aside name (recorded first).
    [[nodiscard]] vkit::VError _SetAsideFromStaged();
    /// The staged copy and its abandoned copy temporaries removed.
    [[nodiscard]] vkit::VError _RemoveStaged() const;

    VInstallRecord fRecord;
    VInstallJournal fJournal;
    /// The swap went by two renames (the set-aside bundle is then put back by a rename).
    bool fByRenames = false;
    bool fJournalCreated = false;
};

/// Removes the staged path's tree and the library's temporaries of copies to it (".<name>.copy-XXXXXX")
/// that a killed copy left: the staged path is private to one journal, whose lock is held. Pushes the
/// removal's error.
[[nodiscard]] vkit::VError RemoveStagedCopy(const vkit::VFilePath& inStaged);

/// The last component of inPath, without a folder's trailing separator.
vkit::VString NameOf(const vkit::VFilePath& inPath);

/// The identity of the folder at inPath; null, nothing pushed, when nothing is there or it cannot be
/// looked at.
vkit::VItemIdentity IdentityAt(const vkit::VFilePath& inPath);

/// Where the bundle of inIdentity is among the record's places (A, the staged, set-aside and failed
/// paths); an invalid path when in none.
vkit::VFilePath LocateBundle(const VInstallRecord& inRecord, const vkit::VItemIdentity& inIdentity);

} // namespace zq
