// VInstallJournal: the journal's JSON form, its durable writes, its lock and the list of journals.
#include "VInstallJournal.h"

#include "bags/VValueBag.h"
#include "errors/StErrorContextInstaller.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorContext.h"
#include "errors/VErrorThrow.h"
#include "files/IFileSystemObject.h"
#include "files/VFile.h"
#include "files/VFileDesc.h"
#include "files/VFileErrorCodes.h"
#include "files/VFolder.h"
#include "files/VMemoryBuffer.h"
#include "text/VUUID.h"
#include "json/VJSONErrorCodes.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "json/VJSONWriter.h"

#include <algorithm>
#include <cstring>
#include <string>

using vkit::FilePathStyle;
using vkit::VError;
using vkit::VFilePath;
using vkit::VJSONValue;
using vkit::VString;

namespace zq {

namespace {

constexpr int kFormatVersion = 1;
const char* const kJournalFolderName = "zq-updater";
const char* const kJournalExtension = ".journal";
const char* const kLockExtension = ".lock";
const char* const kAbandonedExtension = ".abandoned";

constexpr EInstallState kStates[] = {
    EInstallState::kStaging,     EInstallState::kStaged,    EInstallState::kExchanging,
    EInstallState::kMovingAside, EInstallState::kMovingIn,  EInstallState::kInstalled,
    EInstallState::kRollingBack, EInstallState::kVerifying, EInstallState::kReverting};

/// The journals' folder, created when missing; null with the folder's error pushed.
vkit::VFolder* RetainJournalFolder(bool inCreate) {
    vkit::VRefPtr<vkit::VFolder> state =
        vkit::AdoptRef(vkit::VFolder::RetainSystemFolder(vkit::eFolderUserState, inCreate));
    if (!state)
        return nullptr;
    auto* folder = new vkit::VFolder(*state, VString(kJournalFolderName), FilePathStyle::Posix);
    if (inCreate && !folder->Exists() && folder->Create() != vkit::VE_OK) {
        folder->Release();
        return nullptr;
    }
    return folder;
}

VFilePath PathFrom(const VJSONValue& inValue) {
    VString text;
    if (inValue.IsString())
        inValue.GetString(text);
    return text.IsEmpty() ? VFilePath() : VFilePath(text, FilePathStyle::Posix);
}

/// Identities as decimal texts: a JSON number would lose the bits of 64-bit values above 2^53.
VJSONValue IdentityValue(const vkit::VItemIdentity& inIdentity) {
    auto* object = new vkit::VJSONObject;
    object->SetProperty(VString("device"), VJSONValue(VString(std::to_string(inIdentity.fDevice).c_str())));
    object->SetProperty(VString("inode"), VJSONValue(VString(std::to_string(inIdentity.fInode).c_str())));
    VJSONValue value(object);
    object->Release();
    return value;
}

uint64_t NumberFrom(const VJSONValue& inValue) {
    VString text;
    if (inValue.IsString())
        inValue.GetString(text);
    std::string digits = text.ToUTF8();
    if (digits.empty() || digits.size() > 20 || !std::all_of(digits.begin(), digits.end(), ::isdigit))
        return 0;
    return std::stoull(digits);
}

vkit::VItemIdentity IdentityFrom(const VJSONValue& inValue) {
    return {NumberFrom(inValue.GetProperty(VString("device"))),
            NumberFrom(inValue.GetProperty(VString("inode")))};
}

/// The journal path's sibling with another extension.
VFilePath Sibling(const VFilePath& inFolder, const VString& inId, const char* inExtension) {
    VString name(inId);
    name.AppendCString(inExtension);
    VFilePath path(inFolder);
    path.ToSubFile(name);
    return path;
}

} // namespace

const char* InstallStateName(EInstallState inState) noexcept {
    switch (inState) {
    case EInstallState::kStaging:
        return "staging";
    case EInstallState::kStaged:
        return "staged";
    case EInstallState::kExchanging:
        return "exchanging";
    case EInstallState::kMovingAside:
        return "moving-aside";
    case EInstallState::kMovingIn:
        return "moving-in";
    case EInstallState::kInstalled:
        return "installed";
    case EInstallState::kRollingBack:
        return "rolling-back";
    case EInstallState::kVerifying:
        return "verifying";
    case EInstallState::kReverting:
        return "reverting";
    }
    return "unknown";
}

VInstallJournal::VInstallJournal() = default;
VInstallJournal::~VInstallJournal() = default;

VError VInstallJournal::Create() {
    vkit::VRefPtr<vkit::VFolder> folder = vkit::AdoptRef(RetainJournalFolder(true));
    if (!folder)
        return vkit::VE_FOLDER_CANNOT_CREATE;
    vkit::VUUID::Generate().GetString(fId);
    fPath = Sibling(folder->GetPath(), fId, kJournalExtension);
    bool busy = false;
    return _Lock(*folder, busy);
}

VError VInstallJournal::Open(const VFilePath& inJournal, bool& outBusy) {
    outBusy = false;
    fPath = inJournal;
    VString name;
    inJournal.GetFileName(name, false);
    fId = name;
    vkit::VRefPtr<vkit::VFolder> folder = vkit::AdoptRef(vkit::VFile(inJournal).RetainParentFolder());
    return _Lock(*folder, outBusy);
}

VError VInstallJournal::_Lock(const vkit::VFolder& inFolder, bool& outBusy) {
    fLockPath = Sibling(inFolder.GetPath(), fId, kLockExtension);
    vkit::VFileDesc* lock = nullptr;
    VError error = vkit::VE_OK;
    {
        // A lock held by another process is an answer, not a failure.
        vkit::StErrorContextInstaller attempt(true, true);
        error = vkit::VFile(fLockPath).Open(vkit::eFileAccessReadWrite, &lock, vkit::kOpenCreate);
        if (error == vkit::VE_ACCESS_DENIED) {
            outBusy = true;
            attempt.GetContext()->Flush();
        }
    }
    fLock.reset(lock);
    return outBusy ? vkit::VE_ACCESS_DENIED : error;
}

VError VInstallJournal::Write(const VInstallRecord& inRecord) const {
    auto* object = new vkit::VJSONObject;
    auto set = [object](const char* inName, const VJSONValue& inValue) {
        object->SetProperty(VString(inName), inValue);
    };
    set("format", VJSONValue(static_cast<double>(kFormatVersion)));
    set("state", VJSONValue(VString(InstallStateName(inRecord.fState))));
    set("installed", VJSONValue(inRecord.fInstalled.GetPath(FilePathStyle::Posix)));
    set("upToDate", VJSONValue(inRecord.fUpToDate.GetPath(FilePathStyle::Posix)));
    set("staged", VJSONValue(inRecord.fStaged.GetPath(FilePathStyle::Posix)));
    set("setAside", VJSONValue(inRecord.fSetAside.GetPath(FilePathStyle::Posix)));
    set("failed", VJSONValue(inRecord.fFailed.GetPath(FilePathStyle::Posix)));
    set("outdatedIdentity", IdentityValue(inRecord.fOutdatedIdentity));
    set("upToDateIdentity", IdentityValue(inRecord.fUpToDateIdentity));
    set("recoveryAttempts", VJSONValue(static_cast<double>(inRecord.fRecoveryAttempts)));
    VJSONValue value(object);
    object->Release();
    VString text;
    VError error = value.Stringify(text, vkit::VJSONWriter::kQuoteStrings | vkit::VJSONWriter::kPretty);
    if (error != vkit::VE_OK)
        return error;
    std::string bytes;
    text.AppendToUTF8KeepingBytes(bytes);
    bytes += '\n';
    return vkit::VFile(fPath).SetContentDurably(bytes.data(), bytes.size());
}

VError VInstallJournal::Read(VInstallRecord& outRecord) const {
    vkit::VMemoryBuffer content;
    VError error = vkit::VFile(fPath).GetContent(content);
    if (error != vkit::VE_OK)
        return error;
    VString text;
    text.AppendUTF8KeepingBytes(static_cast<const char*>(content.GetDataPtr()), content.GetDataSize());
    VJSONValue value;
    if ((error = value.ParseFromString(text)) != vkit::VE_OK)
        return error;
    VString state;
    value.GetProperty(VString("state")).GetString(state);
    bool known = false;
    for (EInstallState candidate : kStates) {
        if (state == VString(InstallStateName(candidate))) {
            outRecord.fState = candidate;
            known = true;
        }
    }
    outRecord.fInstalled = PathFrom(value.GetProperty(VString("installed")));
    outRecord.fUpToDate = PathFrom(value.GetProperty(VString("upToDate")));
    outRecord.fStaged = PathFrom(value.GetProperty(VString("staged")));
    outRecord.fSetAside = PathFrom(value.GetProperty(VString("setAside")));
    outRecord.fFailed = PathFrom(value.GetProperty(VString("failed")));
    outRecord.fOutdatedIdentity = IdentityFrom(value.GetProperty(VString("outdatedIdentity")));
    outRecord.fUpToDateIdentity = IdentityFrom(value.GetProperty(VString("upToDateIdentity")));
    outRecord.fRecoveryAttempts =
        static_cast<int32_t>(value.GetProperty(VString("recoveryAttempts")).GetNumber());
    VJSONValue format = value.GetProperty(VString("format"));
    if (!known || !format.IsNumber() || format.GetNumber() != kFormatVersion ||
        !outRecord.fInstalled.IsFolder() || !outRecord.fStaged.IsFolder() ||
        outRecord.fOutdatedIdentity.IsNull()) {
        vkit::VErrorBase* refused = new vkit::VErrorBase(vkit::VE_JSON_MALFORMED);
        VString description("Not a journal of this updater: ");
        description.AppendString(fPath.GetPath(FilePathStyle::Posix));
        refused->GetBag().SetString(vkit::ErrorBagKeys::error_description, description);
        vkit::_PushRetainedError(refused);
        return vkit::VE_JSON_MALFORMED;
    }
    return vkit::VE_OK;
}

bool VInstallJournal::Exists() const {
    return vkit::VFile(fPath).Exists();
}

VError VInstallJournal::Remove() {
    VError error = vkit::VFile(fPath).DeleteDurably();
    if (error == vkit::VE_OK) {
        _RemoveTemporaries();
        (void)vkit::VFile(fLockPath).Delete(); // a lock file left behind is removed by a later start
    }
    fLock.reset();
    return error;
}

VError VInstallJournal::Abandon(VFilePath& outKept) {
    VString name(fId);
    name.AppendCString(kAbandonedExtension);
    vkit::VFile* kept = nullptr;
    VError error = vkit::VFile(fPath).Rename(name, &kept);
    if (kept != nullptr) {
        outKept = kept->GetPath();
        kept->Release();
        (void)vkit::VFile(fLockPath).Delete(); // as in Remove
    }
    fLock.reset();
    return error;
}

void VInstallJournal::_RemoveTemporaries() const {
    vkit::StErrorContextInstaller quiet(false, true); // what stays is removed by a later start
    VString prefix(".");
    prefix.AppendString(fId);
    prefix.AppendCString(kJournalExtension);
    prefix.AppendCString(".tmp-");
    vkit::VFolder folder(vkit::VFilePath(fPath).ToParent());
    std::vector<vkit::VRefPtr<vkit::IFileSystemObject>> items;
    (void)folder.GetElements(items, vkit::kIterateFiles | vkit::kIterateInvisible);
    for (const auto& item : items) {
        VString name;
        item->GetPath().GetName(name);
        if (name.BeginsWithRaw(prefix))
            (void)vkit::VFile(item->GetPath()).Delete();
    }
}

void VInstallJournal::RemoveLeftovers() {
    vkit::StErrorContextInstaller quiet(false, true);
    vkit::VRefPtr<vkit::VFolder> folder = vkit::AdoptRef(RetainJournalFolder(false));
    std::vector<vkit::VRefPtr<vkit::IFileSystemObject>> items;
    if (!folder || folder->GetElements(items, vkit::kIterateFiles | vkit::kIterateInvisible) != vkit::VE_OK)
        return;
    for (const auto& item : items) {
        VString name;
        item->GetPath().GetName(name);
        VString id(name);
        if (name.EndsWithRaw(VString(kLockExtension))) {
            id.Truncate(name.GetLength() - static_cast<vkit::VIndex>(std::strlen(kLockExtension)));
        } else if (name.BeginsWithRaw(VString(".")) && name.FindRawString(VString(".journal.tmp-")) > 0) {
            id = VString(name.GetCPointer() + 1, name.FindRawString(VString(".journal.tmp-")) - 2);
        } else {
            continue;
        }
        VInstallJournal journal;
        journal.fPath = Sibling(folder->GetPath(), id, kJournalExtension);
        journal.fId = id;
        bool busy = false;
        // A journal there is the recovery's; a held lock is a running updater's.
        if (journal.Exists() || journal._Lock(*folder, busy) != vkit::VE_OK)
            continue;
        journal._RemoveTemporaries();
        (void)vkit::VFile(journal.fLockPath).Delete();
    }
}

VError VInstallJournal::List(std::vector<VFilePath>& outJournals) {
    outJournals.clear();
    vkit::VRefPtr<vkit::VFolder> folder;
    {
        // No state folder, or none of ours: no journal.
        vkit::StErrorContextInstaller quiet(false, true);
        folder = vkit::AdoptRef(RetainJournalFolder(false));
        if (!folder || !folder->Exists())
            return vkit::VE_OK;
    }
    std::vector<vkit::VRefPtr<vkit::IFileSystemObject>> items;
    VError error = folder->GetElements(items, vkit::kIterateFiles | vkit::kIterateInvisible);
    for (const auto& item : items) {
        VString name;
        item->GetPath().GetName(name);
        if (name.EndsWithRaw(VString(kJournalExtension)))
            outJournals.push_back(item->GetPath());
    }
    std::sort(outJournals.begin(), outJournals.end(), [](const VFilePath& inA, const VFilePath& inB) {
        return inA.GetPath().ToUTF8() < inB.GetPath().ToUTF8();
    });
    return error;
}

} // namespace zq
