// VInstallJournal: the durable record of one install, kept in the user's state folder while it runs.
#pragma once

#include "errors/VErrorCodes.h"
#include "files/VFileOptions.h"
#include "files/VFilePath.h"
#include "text/VString.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vkit {
class VFile;
class VFileDesc;
class VFolder;
} // namespace vkit

namespace zq {

/// The states of an install, in the order a successful one passes through them. Each is written to the
/// journal before the change it announces is made, so that a run killed at any point leaves a journal
/// that names every place where a bundle may be.
enum class EInstallState : int32_t {
    /// The up-to-date bundle is being copied to the staged path; the installed bundle is untouched.
    kStaging,
    /// The staged copy is complete and flushed; its identity is known. The installed bundle is untouched.
    /// Written by earlier versions; read and recovered as kStaging.
    kStaged,
    /// The staged copy and the installed bundle are being exchanged in one step; the outdated bundle will
    /// then be renamed from the staged path to the set-aside path.
    kExchanging,
    /// Two-rename fallback: the installed bundle is being renamed to the set-aside path.
    kMovingAside,
    /// Two-rename fallback: the staged copy is being renamed into the installed bundle's place.
    kMovingIn,
    /// The up-to-date bundle is installed and passed its watch; the set-aside bundle goes to the trash.
    /// (An unwatched install goes to the trash from kExchanging or kMovingIn, recovered the same way.)
    kInstalled,
    /// The outdated bundle is being put back: exchanged back, or renamed back.
    kRollingBack,
    /// The up-to-date bundle is installed and being restarted under watch (--verify-launch): the
    /// set-aside bundle is kept until the restarted application passed.
    kVerifying,
    /// The restarted up-to-date application failed: the outdated bundle is being put back in A's place
    /// from its set-aside name, and the up-to-date one renamed to the failed name.
    kReverting,
};

/// The journal's name of a state ("staging", "exchanging", ...).
const char* InstallStateName(EInstallState inState) noexcept;

/// What a journal says: the state, where each bundle may be, and the identities that tell them apart.
struct VInstallRecord {
    EInstallState fState = EInstallState::kStaging;
    /// The installed (outdated) bundle's place, A.
    vkit::VFilePath fInstalled;
    /// The up-to-date bundle as the caller gave it, B (only named in messages).
    vkit::VFilePath fUpToDate;
    /// The hidden sibling of A where B is copied.
    vkit::VFilePath fStaged;
    /// The free "_old%04d" sibling of A where the outdated bundle goes; invalid until chosen.
    vkit::VFilePath fSetAside;
    /// The free "_failed%04d" sibling of A where an up-to-date bundle that failed its launch goes;
    /// invalid until chosen (kReverting).
    vkit::VFilePath fFailed;
    /// The outdated bundle (A's folder when the install began) and the staged copy (null until staged).
    vkit::VItemIdentity fOutdatedIdentity;
    vkit::VItemIdentity fUpToDateIdentity;
    /// The recoveries begun on this journal.
    int32_t fRecoveryAttempts = 0;
};

/// One journal: "<id>.journal" (JSON: format version, state, paths, identities, recovery attempts)
/// in the folder "zq-updater" of the user's state folder, beside "<id>.lock", which the process working
/// on the journal holds locked (flock, exclusive) for as long as it does: a running updater's journal is
/// never touched by another process's recovery, and a killed one's lock goes with it. Paths are kept as
/// their POSIX text, bytes outside UTF-8 kept as they are.
class VInstallJournal {
public:
    VInstallJournal();
    ~VInstallJournal();
    VInstallJournal(const VInstallJournal&) = delete;
    VInstallJournal& operator=(const VInstallJournal&) = delete;

    /// A new journal with a fresh id, its lock taken; nothing written yet. Pushes the state folder's or
    /// the lock file's error.
    [[nodiscard]] vkit::VError Create();
    /// Takes the lock of the existing journal inJournal without waiting. outBusy is set, nothing pushed,
    /// when another process holds it; other failures push the lock file's error.
    [[nodiscard]] vkit::VError Open(const vkit::VFilePath& inJournal, bool& outBusy);

    /// Replaces the journal's content with inRecord, on disk when the call returns (VFile::
    /// SetContentDurably). Pushes the file's error.
    [[nodiscard]] vkit::VError Write(const VInstallRecord& inRecord) const;
    /// Reads the journal. Pushes the file's error, or the JSON parser's and vkit 550 for a journal that is
    /// not one this updater wrote.
    [[nodiscard]] vkit::VError Read(VInstallRecord& outRecord) const;
    /// True when the journal file is there.
    bool Exists() const;
    /// Removes the journal (on disk when the call returns), then its lock file, and lets the lock go.
    /// Pushes the file's error.
    [[nodiscard]] vkit::VError Remove();
    /// Renames the journal "<id>.abandoned", which no recovery reads, and lets the lock go. outKept
    /// receives the new path. Pushes the rename's error.
    [[nodiscard]] vkit::VError Abandon(vkit::VFilePath& outKept);

    /// The journal file's path.
    const vkit::VFilePath& GetPath() const noexcept { return fPath; }
    /// The journal's id (the name without extension): a UUID in hexadecimal.
    const vkit::VString& GetId() const noexcept { return fId; }

    /// Removes what runs killed before their journal existed, or while it was being replaced, left in
    /// the state folder: lock files without a journal and the temporaries of durable writes
    /// (".<id>.journal.tmp-XXXXXX"), each only when no process holds its id's lock. Failures are ignored.
    static void RemoveLeftovers();
    /// The journals of the state folder ("*.journal"), sorted by name. The folder missing: none, no
    /// error. Pushes the folder's error when it cannot be listed.
    [[nodiscard]] static vkit::VError List(std::vector<vkit::VFilePath>& outJournals);

private:
    [[nodiscard]] vkit::VError _Lock(const vkit::VFolder& inFolder, bool& outBusy);
    /// Removes the temporaries of this journal's durable writes that a killed write left.
    void _RemoveTemporaries() const;

    vkit::VFilePath fPath;
    vkit::VFilePath fLockPath;
    vkit::VString fId;
    std::unique_ptr<vkit::VFileDesc> fLock;
};

} // namespace zq
