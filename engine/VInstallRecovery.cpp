// VInstallRecovery: each journal's bundles located by identity, the install completed or undone.
#include "VInstallRecovery.h"

#include "UpdaterErrors.h"
#include "UpdaterLog.h"
#include "VInstallTransaction.h"
#include "VUpdateEngine.h"

#include "bags/VValueBag.h"
#include "errors/StErrorContextInstaller.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorThrow.h"
#include "files/VFolder.h"

using vkit::FilePathStyle;
using vkit::VError;
using vkit::VFilePath;
using vkit::VFolder;
using vkit::VString;

namespace zq {

namespace {

const vkit::StPackedDictionaryKey kAttemptKey("attempt");

/// The error of a journal left unrecovered, naming where each bundle was found ("-": nowhere).
void PushUnrecovered(VError inCode, const VInstallRecord& inRecord, const VFilePath& inJournal) {
    VFilePath outdatedAt = LocateBundle(inRecord, inRecord.fOutdatedIdentity);
    VFilePath upToDateAt = LocateBundle(inRecord, inRecord.fUpToDateIdentity);
    vkit::VErrorBase* error = MakeUpdaterError(inCode, {{kPathKey, inRecord.fInstalled},
                                                        {kJournalKey, inJournal},
                                                        {kOutdatedAtKey, outdatedAt},
                                                        {kUpToDateAtKey, upToDateAt}});
    vkit::VValueBag& bag = error->GetBag();
    if (!outdatedAt.IsValid())
        bag.SetString(kOutdatedAtKey, VString("-"));
    if (!upToDateAt.IsValid())
        bag.SetString(kUpToDateAtKey, VString("-"));
    bag.SetString(kAttemptKey, VString(std::to_string(inRecord.fRecoveryAttempts).c_str()));
    vkit::_PushRetainedError(error);
}

} // namespace

VError VInstallRecovery::RecoverAll() {
    std::vector<VFilePath> journals;
    VError error = VInstallJournal::List(journals);
    for (const VFilePath& journal : journals) {
        if (!_Recover(journal) && error == vkit::VE_OK)
            error = VE_UPZQ_RECOVERY_FAILED;
    }
    VInstallJournal::RemoveLeftovers();
    return error;
}

bool VInstallRecovery::_Recover(const VFilePath& inJournal) {
    VInstallJournal journal;
    bool busy = false;
    VError error = journal.Open(inJournal, busy);
    VInstallRecord record;
    VString journalText = inJournal.GetPath(FilePathStyle::Posix);
    if (busy) {
        vkit::StErrorContextInstaller quiet(false, true); // a journal being replaced may be unreadable
        if (journal.Read(record) == vkit::VE_OK)
            fPendingPlaces.push_back(record.fInstalled);
        LogInfo("The journal %S belongs to an updater that is running: left alone", &journalText);
        return true;
    }
    if (error != vkit::VE_OK)
        return false;
    if (!journal.Exists()) {
        (void)journal.Remove(); // finished meanwhile: only the lock file was left
        return true;
    }
    if (journal.Read(record) != vkit::VE_OK) {
        // Nothing in it can be trusted to find the bundles: kept aside for a person to read.
        VFilePath kept;
        (void)journal.Abandon(kept);
        PushUnrecovered(VE_UPZQ_RECOVERY_GIVEN_UP, record, kept);
        return false;
    }
    if (record.fRecoveryAttempts >= kMaxAttempts) {
        _Fail(journal, record);
        return false;
    }
    ++record.fRecoveryAttempts;
    if (journal.Write(record) != vkit::VE_OK) {
        PushUpdaterError(VE_UPZQ_JOURNAL_FAILED, {{kPathKey, inJournal}});
        fPendingPlaces.push_back(record.fInstalled);
        return false;
    }
    VString installedText = record.fInstalled.GetPath(FilePathStyle::Posix);
    LogInfo("Recovering an interrupted update of %S (journal %S, state %s, attempt %d of %d)", &installedText,
            &journalText, InstallStateName(record.fState), record.fRecoveryAttempts, kMaxAttempts);
    if (_Settle(journal, record))
        return true;
    _Fail(journal, record);
    return false;
}

bool VInstallRecovery::_Settle(VInstallJournal& ioJournal, VInstallRecord& ioRecord) {
    if (ioRecord.fState == EInstallState::kReverting)
        return _Revert(ioJournal, ioRecord);
    VString installedText = ioRecord.fInstalled.GetPath(FilePathStyle::Posix);
    vkit::VItemIdentity atPlace = IdentityAt(ioRecord.fInstalled);
    if (atPlace.IsNull()) {
        // Killed between the two renames: the up-to-date copy goes in when it is whole, else the outdated
        // bundle comes back.
        const bool upToDateStaged = !ioRecord.fUpToDateIdentity.IsNull() &&
                                    IdentityAt(ioRecord.fStaged) == ioRecord.fUpToDateIdentity;
        const VFilePath& source = upToDateStaged ? ioRecord.fStaged : ioRecord.fSetAside;
        if (IdentityAt(source).IsNull() ||
            VFolder(source).Rename(NameOf(ioRecord.fInstalled), nullptr) != vkit::VE_OK)
            return false;
        atPlace = IdentityAt(ioRecord.fInstalled);
    }
    if (atPlace == ioRecord.fOutdatedIdentity) {
        if (RemoveStagedCopy(ioRecord.fStaged) != vkit::VE_OK)
            return false;
        LogInfo("Recovered: the outdated application is at %S; the up-to-date copy was removed",
                &installedText);
        return ioJournal.Remove() == vkit::VE_OK;
    }
    if (ioRecord.fUpToDateIdentity.IsNull() || atPlace != ioRecord.fUpToDateIdentity)
        return false; // something else took the place: nothing is guessed
    LogInfo("Recovered: the up-to-date application is installed at %S", &installedText);
    if (IdentityAt(ioRecord.fStaged) == ioRecord.fOutdatedIdentity && !_SetAside(ioJournal, ioRecord))
        return false;
    if (RemoveStagedCopy(ioRecord.fStaged) != vkit::VE_OK)
        return false;
    VString setAsideText = ioRecord.fSetAside.GetPath(FilePathStyle::Posix);
    if (ioRecord.fState == EInstallState::kVerifying) {
        // The restarted application was never seen to pass: the outdated bundle is the user's way back.
        LogInfo("Outdated application kept at %S: the up-to-date application's start was not verified",
                &setAsideText);
    } else if (ioRecord.fSetAside.IsValid() && IdentityAt(ioRecord.fSetAside) == ioRecord.fOutdatedIdentity) {
        vkit::StErrorContextInstaller trash(false, true); // a refusal keeps the bundle, named below
        if (VFolder(ioRecord.fSetAside).MoveToTrash() == vkit::VE_OK)
            LogInfo("Outdated application %S moved to the trash", &setAsideText);
        else
            LogInfo("Outdated application kept at %S: the trash refused it", &setAsideText);
    } else {
        LogInfo("The outdated application was already moved to the trash");
    }
    return ioJournal.Remove() == vkit::VE_OK;
}

bool VInstallRecovery::_Revert(VInstallJournal& ioJournal, VInstallRecord& ioRecord) {
    bool putBack = false;
    if (VInstallTransaction::CompleteRevert(ioJournal, ioRecord, putBack) != vkit::VE_OK)
        return false;
    VString installedText = ioRecord.fInstalled.GetPath(FilePathStyle::Posix);
    VString failedText = LocateBundle(ioRecord, ioRecord.fUpToDateIdentity).GetPath(FilePathStyle::Posix);
    LogInfo("Recovered: the outdated application is back at %S; the up-to-date application that failed "
            "to start is kept at %S",
            &installedText, &failedText);
    return ioJournal.Remove() == vkit::VE_OK;
}

bool VInstallRecovery::_SetAside(VInstallJournal& ioJournal, VInstallRecord& ioRecord) {
    VString suffix("old");
    if (!ioRecord.fSetAside.IsValid() || !IdentityAt(ioRecord.fSetAside).IsNull())
        (void)VInstallTransaction::FindFreeSibling(ioRecord.fInstalled, ioRecord.fSetAside, &suffix);
    if (ioJournal.Write(ioRecord) != vkit::VE_OK)
        return false;
    if (VFolder(ioRecord.fStaged).Rename(NameOf(ioRecord.fSetAside), nullptr) != vkit::VE_OK)
        return false;
    VString setAsideText = ioRecord.fSetAside.GetPath(FilePathStyle::Posix);
    LogInfo("Outdated application set aside as %S", &setAsideText);
    return true;
}

void VInstallRecovery::_Fail(VInstallJournal& ioJournal, const VInstallRecord& inRecord) {
    fPendingPlaces.push_back(inRecord.fInstalled);
    if (inRecord.fRecoveryAttempts < kMaxAttempts) {
        PushUnrecovered(VE_UPZQ_RECOVERY_FAILED, inRecord, ioJournal.GetPath());
        return;
    }
    VFilePath kept = ioJournal.GetPath();
    (void)ioJournal.Abandon(kept); // pushed; a journal that stays is given up again at the next start
    PushUnrecovered(VE_UPZQ_RECOVERY_GIVEN_UP, inRecord, kept);
}

} // namespace zq
