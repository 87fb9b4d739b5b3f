// VInstallTransaction: staging, the exchange or its two renames, the rollback and the finish of an install.
#include "VInstallTransaction.h"

#include "UpdaterErrors.h"
#include "UpdaterLog.h"
#include "VUpdateEngine.h"

#include "errors/StErrorContextInstaller.h"
#include "errors/VErrorThrow.h"
#include "files/IFileSystemObject.h"
#include "files/VFileErrorCodes.h"
#include "files/VFileOptions.h"
#include "files/VFolder.h"
#include "runtime/VTask.h"

#include <vector>

using vkit::FilePathStyle;
using vkit::VError;
using vkit::VFilePath;
using vkit::VFolder;
using vkit::VString;

namespace zq {

namespace {

constexpr int kRenameAttempts = 5;
constexpr int32_t kRenameRetryDelay = 3000; // ms: time for a bundle still busy after its application quit
constexpr int kLastSiblingNumber = 9999;
/// The staged copy's name: "." + A's name (cut so that the library's temporaries of the copy keep
/// within 255 bytes) + ".zq-" + the journal's first letters.
constexpr size_t kStagedNameRoom = 200;
constexpr vkit::VIndex kStagedIdLength = 8;

/// The parent folder's path of a folder path.
VFilePath ParentOf(const VFilePath& inPath) {
    VFilePath parent(inPath);
    parent.ToParent();
    return parent;
}

VFilePath StagedPathFor(const VFilePath& inInstalled, const VString& inJournalId) {
    VString installedName = NameOf(inInstalled);
    std::string bytes;
    installedName.AppendToUTF8KeepingBytes(bytes);
    size_t length = std::min<size_t>(bytes.size(), kStagedNameRoom);
    while (length > 0 && length < bytes.size() && (static_cast<unsigned char>(bytes[length]) & 0xC0) == 0x80)
        --length;
    VString name(".");
    name.AppendUTF8KeepingBytes(bytes.data(), length);
    name.AppendCString(".zq-");
    VString id(inJournalId);
    id.Truncate(kStagedIdLength);
    name.AppendString(id);
    VFilePath staged = ParentOf(inInstalled);
    staged.ToSubFolder(name);
    return staged;
}

} // namespace

VString NameOf(const VFilePath& inPath) {
    VString name;
    inPath.GetName(name);
    return name;
}

vkit::VItemIdentity IdentityAt(const VFilePath& inPath) {
    vkit::StErrorContextInstaller quiet(false, true);
    vkit::VItemIdentity identity;
    if (inPath.IsValid())
        (void)VFolder(inPath).GetIdentity(identity); // null when nothing is there
    return identity;
}

VFilePath LocateBundle(const VInstallRecord& inRecord, const vkit::VItemIdentity& inIdentity) {
    if (!inIdentity.IsNull()) {
        for (const VFilePath* place :
             {&inRecord.fInstalled, &inRecord.fStaged, &inRecord.fSetAside, &inRecord.fFailed})
            if (place->IsValid() && IdentityAt(*place) == inIdentity)
                return *place;
    }
    return VFilePath();
}

VError RemoveStagedCopy(const VFilePath& inStaged) {
    VError error = vkit::VE_OK;
    if (VFolder staged(inStaged); IdentityAt(inStaged).IsNull() == false)
        error = staged.DeleteForced();
    VString prefix(".");
    prefix.AppendString(NameOf(inStaged));
    prefix.AppendCString(".copy-");
    VFolder parent(ParentOf(inStaged));
    std::vector<vkit::VRefPtr<vkit::IFileSystemObject>> items;
    {
        vkit::StErrorContextInstaller quiet(false, true); // an unreadable folder leaves nothing to remove
        (void)parent.GetElements(items, vkit::kIterateFolders | vkit::kIterateInvisible);
    }
    for (const auto& item : items) {
        VString name = NameOf(item->GetPath());
        if (name.BeginsWithRaw(prefix)) {
            if (VError removal = VFolder(item->GetPath()).DeleteForced(); error == vkit::VE_OK)
                error = removal;
        }
    }
    return error;
}

VInstallTransaction::VInstallTransaction(const VFilePath& inInstalled, const VFilePath& inUpToDate) {
    fRecord.fInstalled = inInstalled;
    fRecord.fUpToDate = inUpToDate;
}

VInstallTransaction::~VInstallTransaction() = default;

bool VInstallTransaction::FindFreeSibling(const VFilePath& inSource, VFilePath& outPath,
                                          const VString* inSuffix) {
    VString baseName;
    inSource.GetFolderName(baseName, false);
    bool taken = true;
    for (int number = 1; taken && number <= kLastSiblingNumber; ++number) {
        outPath = inSource;
        VString name(baseName);
        if (inSuffix != nullptr && !inSuffix->IsEmpty())
            name.AppendPrintf("_%S%04d", inSuffix, number);
        else
            name.AppendPrintf("%04d", number);
        outPath.SetFolderName(name, false);
        taken = !IdentityAt(outPath).IsNull();
    }
    return !taken;
}

VError VInstallTransaction::Retried(const VFilePath& inShownFrom, const VFilePath& inTo,
                                    const std::function<VError()>& inAttempt) {
    VError error = inAttempt();
    for (int attempt = 1; error != vkit::VE_OK && attempt < kRenameAttempts; ++attempt) {
        vkit::VErrorBase* retried =
            MakeUpdaterError(VE_UPZQ_RENAME_RETRIED, {{kSrcPathKey, inShownFrom}, {kDstPathKey, inTo}});
        vkit::VTask::Sleep(kRenameRetryDelay);
        error = inAttempt();
        vkit::_PushRetainedError(retried);
    }
    return error;
}

VError VInstallTransaction::_Record(EInstallState inState) {
    fRecord.fState = inState;
    VError error = fJournal.Write(fRecord);
    if (error != vkit::VE_OK)
        PushUpdaterError(VE_UPZQ_JOURNAL_FAILED, {{kPathKey, fJournal.GetPath()}});
    return error;
}

VError VInstallTransaction::Stage() {
    if (VError error = fJournal.Create(); error != vkit::VE_OK) {
        PushUpdaterError(VE_UPZQ_JOURNAL_FAILED, {{kPathKey, fJournal.GetPath()}});
        return error;
    }
    fRecord.fStaged = StagedPathFor(fRecord.fInstalled, fJournal.GetId());
    (void)VFolder(fRecord.fInstalled).GetIdentity(fRecord.fOutdatedIdentity); // checked by the preflight
    if (VError error = _Record(EInstallState::kStaging); error != vkit::VE_OK) {
        (void)fJournal.Remove(); // nothing was changed on disk
        return error;
    }
    fJournalCreated = true;
    VString stagedText = fRecord.fStaged.GetPath(FilePathStyle::Posix);
    LogInfo("Staging the up-to-date application at %S...", &stagedText);
    VFolder parent(ParentOf(fRecord.fInstalled));
    VError error =
        VFolder(fRecord.fUpToDate).CopyTo(parent, NameOf(fRecord.fStaged), nullptr, vkit::kCopyOverwrite);
    if (error != vkit::VE_OK) {
        PushUpdaterError(VE_UPZQ_COPY_FAILED, {{kFromKey, fRecord.fUpToDate}, {kToKey, fRecord.fInstalled}});
        Abandon();
        return error;
    }
    // The staged copy's identity reaches the journal with the next record, before the exchange: until
    // then a recovery removes the copy by its name, as for a copy under way.
    fRecord.fUpToDateIdentity = IdentityAt(fRecord.fStaged);
    LogInfo("Up-to-date application copied to %S", &stagedText);
    return vkit::VE_OK;
}

void VInstallTransaction::Abandon() {
    if (!fJournalCreated)
        return;
    // Without the staged copy gone, the journal stays: the next start removes the copy.
    if (RemoveStagedCopy(fRecord.fStaged) == vkit::VE_OK)
        (void)fJournal.Remove(); // pushed; a journal left behind is recovered by the next start
    fJournalCreated = false;
}

VError VInstallTransaction::Install() {
    VString suffix("old");
    // A taken last candidate is not tested here: the rename onto it fails instead.
    (void)FindFreeSibling(fRecord.fInstalled, fRecord.fSetAside, &suffix);
    if (VError error = _Record(EInstallState::kExchanging); error != vkit::VE_OK) {
        Abandon();
        return error;
    }
    VFolder installed(fRecord.fInstalled);
    VFolder staged(fRecord.fStaged);
    bool refused = false;
    VError error = Retried(fRecord.fInstalled, fRecord.fStaged, [&] {
        VError attempt = installed.Exchange(staged, &refused);
        return refused ? vkit::VE_OK : attempt;
    });
    if (refused)
        return _InstallByRenames();
    if (error != vkit::VE_OK) {
        Abandon();
        return error;
    }
    VString installedText = fRecord.fInstalled.GetPath(FilePathStyle::Posix);
    LogInfo("Up-to-date application installed at %S", &installedText);
    if ((error = _SetAsideFromStaged()) != vkit::VE_OK) {
        (void)PutBack(); // pushed
        return error;
    }
    return vkit::VE_OK;
}

VError VInstallTransaction::_SetAsideFromStaged() {
    VError error = VFolder(fRecord.fStaged).Rename(NameOf(fRecord.fSetAside), nullptr);
    if (error != vkit::VE_OK && !IdentityAt(fRecord.fSetAside).IsNull()) {
        // The name chosen before the exchange was taken since: another one, recorded first.
        vkit::StErrorContextInstaller retry(true, true);
        VString suffix("old");
        (void)FindFreeSibling(fRecord.fInstalled, fRecord.fSetAside, &suffix);
        if ((error = _Record(EInstallState::kExchanging)) == vkit::VE_OK)
            error = VFolder(fRecord.fStaged).Rename(NameOf(fRecord.fSetAside), nullptr);
    }
    if (error != vkit::VE_OK)
        return error;
    VString setAsideText = fRecord.fSetAside.GetPath(FilePathStyle::Posix);
    LogInfo("Outdated application set aside as %S", &setAsideText);
    return vkit::VE_OK;
}

VError VInstallTransaction::_InstallByRenames() {
    fByRenames = true;
    VString installedText = fRecord.fInstalled.GetPath(FilePathStyle::Posix);
    LogInfo("The file system of %S cannot exchange two folders in one step: the application is replaced by "
            "two renames",
            &installedText);
    VError error = _Record(EInstallState::kMovingAside);
    if (error == vkit::VE_OK) {
        error = Retried(fRecord.fInstalled, fRecord.fSetAside, [this] {
            return VFolder(fRecord.fInstalled).Rename(NameOf(fRecord.fSetAside), nullptr);
        });
    }
    if (error != vkit::VE_OK) {
        Abandon();
        return error;
    }
    VString setAsideText = fRecord.fSetAside.GetPath(FilePathStyle::Posix);
    LogInfo("Outdated application set aside as %S", &setAsideText);
    // From here until the next rename, A's place is empty; the journal says where both bundles are.
    error = _Record(EInstallState::kMovingIn);
    if (error == vkit::VE_OK) {
        error = Retried(fRecord.fStaged, fRecord.fInstalled, [this] {
            return VFolder(fRecord.fStaged).Rename(NameOf(fRecord.fInstalled), nullptr);
        });
    }
    if (error != vkit::VE_OK) {
        (void)PutBack(); // pushed
        return error;
    }
    LogInfo("Up-to-date application installed at %S", &installedText);
    return vkit::VE_OK;
}

VError VInstallTransaction::PutBack() {
    LogInfo("Rolling back up-to-date application install");
    // Recorded first when it can be; the rollback goes on without it, since it decides from the disk.
    (void)_Record(EInstallState::kRollingBack);
    VFolder installed(fRecord.fInstalled);
    const bool outdatedStaged = IdentityAt(fRecord.fStaged) == fRecord.fOutdatedIdentity;
    const VFilePath& outdatedAt = outdatedStaged ? fRecord.fStaged : fRecord.fSetAside;
    const bool placeEmpty = IdentityAt(fRecord.fInstalled).IsNull();
    VError error = vkit::VE_OK;
    if (placeEmpty) {
        error = VFolder(outdatedAt).Rename(NameOf(fRecord.fInstalled), nullptr);
    } else {
        // The up-to-date bundle leaves A's place for the outdated one's, in one step where it can.
        bool refused = false;
        error = installed.Exchange(VFolder(outdatedAt), &refused);
        if (refused) {
            VFilePath removed = outdatedStaged ? fRecord.fSetAside : fRecord.fStaged;
            if ((error = installed.Rename(NameOf(removed), nullptr)) == vkit::VE_OK)
                error = VFolder(outdatedAt).Rename(NameOf(fRecord.fInstalled), nullptr);
        } else if (error == vkit::VE_OK && !outdatedStaged) {
            // The up-to-date bundle now bears the set-aside name: it goes where the staged copy was.
            error = VFolder(fRecord.fSetAside).Rename(NameOf(fRecord.fStaged), nullptr);
        }
    }
    VString installedText = fRecord.fInstalled.GetPath(FilePathStyle::Posix);
    if (IdentityAt(fRecord.fInstalled) != fRecord.fOutdatedIdentity) {
        VString journalText = fJournal.GetPath().GetPath(FilePathStyle::Posix);
        LogError("The outdated application could not be put back at %S: the journal %S says where each "
                 "bundle is; the next start of the updater tries again",
                 &installedText, &journalText);
        return error != vkit::VE_OK ? error : vkit::VE_FOLDER_CANNOT_RENAME;
    }
    LogInfo("Outdated application back at %S", &installedText);
    if (IdentityAt(fRecord.fSetAside) == fRecord.fUpToDateIdentity)
        (void)VFolder(fRecord.fSetAside).DeleteForced(); // pushed; the journal stays only for the staged path
    Abandon();
    return error;
}

void VInstallTransaction::Finish(bool inTrash) {
    VString setAsideText = fRecord.fSetAside.GetPath(FilePathStyle::Posix);
    // A recovery completes an exchanging or moving-in journal the same way as an installed one: only the
    // end of a watch, whose journal would keep the set-aside bundle, is recorded before the trash.
    if (inTrash &&
        (fRecord.fState != EInstallState::kVerifying || _Record(EInstallState::kInstalled) == vkit::VE_OK)) {
        VFolder setAside(fRecord.fSetAside);
        // A set-aside bundle the trash refuses is deleted; either failure makes the run fail.
        if (setAside.MoveToTrash() != vkit::VE_OK)
            (void)setAside.DeleteForced();
        else
            LogInfo("Outdated application %S moved to the trash", &setAsideText);
    } else {
        LogInfo("Outdated application kept at %S", &setAsideText);
    }
    (void)fJournal.Remove(); // pushed; the next start removes a journal left behind
    fJournalCreated = false;
}

VError VInstallTransaction::BeginVerification() {
    return _Record(EInstallState::kVerifying);
}

VError VInstallTransaction::Revert(bool& outPutBack) {
    outPutBack = false;
    VString suffix("failed");
    // A taken last candidate is not tested here: the rename onto it fails instead.
    (void)FindFreeSibling(fRecord.fInstalled, fRecord.fFailed, &suffix);
    VString installedText = fRecord.fInstalled.GetPath(FilePathStyle::Posix);
    LogInfo("Putting the outdated application back at %S", &installedText);
    if (VError error = _Record(EInstallState::kReverting); error != vkit::VE_OK)
        return error; // nothing changed: the up-to-date bundle stays installed
    VError error = CompleteRevert(fJournal, fRecord, outPutBack);
    VString upToDateText = LocateBundle(fRecord, fRecord.fUpToDateIdentity).GetPath(FilePathStyle::Posix);
    if (!outPutBack) {
        VString outdatedText = LocateBundle(fRecord, fRecord.fOutdatedIdentity).GetPath(FilePathStyle::Posix);
        VString journalText = fJournal.GetPath().GetPath(FilePathStyle::Posix);
        LogError(
            "The outdated application could not be put back at %S: it is at %S, the up-to-date one at "
            "%S; the journal %S says where each bundle is, and the next start of the updater tries again",
            &installedText, &outdatedText, &upToDateText, &journalText);
        return error;
    }
    LogInfo("Outdated application back at %S", &installedText);
    LogInfo("Up-to-date application that failed to start kept at %S", &upToDateText);
    (void)fJournal.Remove(); // pushed; a journal left behind is settled by the next start
    fJournalCreated = false;
    return error;
}

namespace {

/// Renames the up-to-date bundle at inFrom to ioRecord's failed name, first chosen anew and recorded
/// when another item took it since.
VError RenameToFailedName(const VInstallJournal& inJournal, VInstallRecord& ioRecord,
                          const VFilePath& inFrom) {
    if (!IdentityAt(ioRecord.fFailed).IsNull()) {
        VString suffix("failed");
        (void)VInstallTransaction::FindFreeSibling(ioRecord.fInstalled, ioRecord.fFailed, &suffix);
        if (VError error = inJournal.Write(ioRecord); error != vkit::VE_OK)
            return error;
    }
    return VFolder(inFrom).Rename(NameOf(ioRecord.fFailed), nullptr);
}

} // namespace

VError VInstallTransaction::CompleteRevert(const VInstallJournal& inJournal, VInstallRecord& ioRecord,
                                           bool& outPutBack) {
    VFolder installed(ioRecord.fInstalled);
    VFolder setAside(ioRecord.fSetAside);
    const vkit::VItemIdentity atPlace = IdentityAt(ioRecord.fInstalled);
    const bool outdatedAside =
        ioRecord.fSetAside.IsValid() && IdentityAt(ioRecord.fSetAside) == ioRecord.fOutdatedIdentity;
    VError error = vkit::VE_OK;
    if (outdatedAside && !ioRecord.fUpToDateIdentity.IsNull() && atPlace == ioRecord.fUpToDateIdentity) {
        bool refused = false;
        error = installed.Exchange(setAside, &refused);
        // Where the file system cannot exchange, A's place is empty between the two renames.
        if (refused && (error = RenameToFailedName(inJournal, ioRecord, ioRecord.fInstalled)) == vkit::VE_OK)
            error = setAside.Rename(NameOf(ioRecord.fInstalled), nullptr);
    } else if (outdatedAside && atPlace.IsNull()) {
        error = setAside.Rename(NameOf(ioRecord.fInstalled), nullptr);
    }
    outPutBack = IdentityAt(ioRecord.fInstalled) == ioRecord.fOutdatedIdentity;
    if (!outPutBack)
        return error != vkit::VE_OK ? error : vkit::VE_FOLDER_CANNOT_RENAME;
    if (error == vkit::VE_OK && IdentityAt(ioRecord.fSetAside) == ioRecord.fUpToDateIdentity)
        error = RenameToFailedName(inJournal, ioRecord, ioRecord.fSetAside);
    return error;
}

} // namespace zq
