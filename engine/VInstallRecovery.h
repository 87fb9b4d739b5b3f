// VInstallRecovery: the installs that a killed or stopped updater left unfinished, completed or undone.
#pragma once

#include "VInstallJournal.h"

#include "errors/VErrorCodes.h"
#include "files/VFilePath.h"

#include <vector>

namespace zq {

/// Runs over the journals of the user's state folder (VInstallJournal::List) on every start of the
/// updater, before anything else changes, and leaves exactly one complete bundle, outdated or up-to-date,
/// at each journal's installed place, no staged copy and no journal. It decides from the disk, by the
/// identities the journal recorded, never from the state alone:
///
/// - the outdated bundle at the place: the install is undone (the staged copy removed);
/// - the up-to-date bundle at the place: it is completed (the outdated bundle, still at the staged path,
///   renamed to a free "_old%04d" name, recorded first, then moved to the trash, or named in the log when
///   the trash refuses it);
/// - the place empty (killed between the two renames of a file system that cannot exchange): the staged
///   copy is renamed into it when it is there, else the set-aside bundle back;
/// - a run stopped while it watched the restarted application ("verifying"): completed as above, but
///   the outdated bundle is kept at its set-aside name, named in the log, since its successor was never
///   seen to start;
/// - a run stopped while it put the outdated bundle back after a failed start ("reverting"): the revert
///   is completed (VInstallTransaction::CompleteRevert), nothing is restarted;
/// - anything else: nothing is guessed, the attempt fails.
///
/// Each attempt is counted in the journal before it begins, so that a recovery killed itself is resumed
/// by the next start; a journal whose third attempt fails is given up (renamed "<id>.abandoned", UPZQ
/// 207 naming where each bundle is). A journal locked by a running updater is left alone.
class VInstallRecovery {
public:
    /// The attempts a journal gets before it is given up.
    static constexpr int32_t kMaxAttempts = 3;

    /// Recovers every journal; logs what it found and did. Pushes UPZQ 206 (to be tried again) or 207
    /// (given up) for each journal that could not be recovered, after the errors that stopped it.
    /// Returns VE_OK when nothing is left to do.
    [[nodiscard]] vkit::VError RecoverAll();

    /// The installed places that another running updater is updating, or whose unfinished install could
    /// not be recovered: no new install may begin there.
    const std::vector<vkit::VFilePath>& GetPendingPlaces() const noexcept { return fPendingPlaces; }

private:
    /// One journal; false when it is left unrecovered (its errors pushed).
    bool _Recover(const vkit::VFilePath& inJournal);
    /// Makes the disk match one of the two outcomes; false when neither can be reached.
    bool _Settle(VInstallJournal& ioJournal, VInstallRecord& ioRecord);
    /// The revert of a failed start completed; false when it cannot be.
    bool _Revert(VInstallJournal& ioJournal, VInstallRecord& ioRecord);
    /// The outdated bundle, at the staged path, renamed to a free set-aside name (recorded first).
    bool _SetAside(VInstallJournal& ioJournal, VInstallRecord& ioRecord);
    /// Pushes UPZQ 206 or, after the last attempt, gives the journal up with UPZQ 207.
    void _Fail(VInstallJournal& ioJournal, const VInstallRecord& inRecord);

    std::vector<vkit::VFilePath> fPendingPlaces;
};

} // namespace zq
