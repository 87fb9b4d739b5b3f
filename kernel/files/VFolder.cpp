// VFolder: construction, queries, creation and deletion of folders, renaming, moving and the trash.
#include "files/VFolder.h"

#include "bags/VValueBag.h"
#include "files/VFile.h"
#include "files/VFileError.h"
#include "files/VFileIterator.h"
#include "files/VFolderIterator.h"
#include "platform/posix/files/XPosixPath.h"
#include "runtime/VTaskMgr.h"

#include <atomic>
#include <vector>

namespace vkit {

namespace {

const StPackedDictionaryKey kDestinationKey("destination");

VFilePath RelativeFolderPath(const VFolder& inParent, const VString& inRelative, FilePathStyle inStyle) {
    VString relative(inRelative);
    UniChar separator = inStyle == FilePathStyle::Posix ? u'/' : VFilePath::kSeparator;
    if (relative.IsEmpty() || relative[relative.GetLength() - 1] != separator)
        relative.AppendUniChar(separator);
    return VFilePath(inParent.GetPath(), relative, inStyle, inParent.GetFileSystem() != nullptr);
}

} // namespace

VFolder::VFolder(const VFolder& inParent, const VString& inRelative, FilePathStyle inStyle)
    : VFileSystemObject(RelativeFolderPath(inParent, inRelative, inStyle), inParent) {}

bool VFolder::Exists() const {
    return fPath.IsFolder() && fImpl.Exists(true);
}

void VFolder::GetNameWithoutExtension(VString& outName) const {
    fPath.GetFolderName(outName, false);
}

VFolder* VFolder::RetainRelativeFolder(const VString& inRelativePath, FilePathStyle inStyle) const {
    return new VFolder(*this, inRelativePath, inStyle);
}

IFile* VFolder::_RetainRelativeIFile(const VString& inRelativePath, FilePathStyle inStyle) const {
    return new VFile(*this, inRelativePath, inStyle);
}

namespace {

/// Visits the items one iterator lists; answers the visitor's first error or the listing's.
template <class Iterator>
[[nodiscard]] VError VisitAll(Iterator&& ioItems, const IFolder::ItemVisitor& inVisitor,
                              const VFilePath& inFolder) {
    for (; ioItems.IsValid(); ++ioItems) {
        if (VError error = inVisitor(*ioItems); error != VE_OK)
            return error;
    }
    return VFileError::Report(inFolder, ioItems.GetError(), VE_FOLDER_CANNOT_GET_ATTRIBUTES);
}

} // namespace

VError VFolder::Iterate(const ItemVisitor& inVisitor, FileIteratorOptions inOptions) const {
    VError error = VE_OK;
    if ((inOptions & kIterateFolders) != 0)
        error = VisitAll(VFolderIterator(this, inOptions), inVisitor, fPath);
    if (error == VE_OK && (inOptions & kIterateFiles) != 0)
        error = VisitAll(VFileIterator(this, inOptions), inVisitor, fPath);
    return error;
}

VError VFolder::GetElements(std::vector<VRefPtr<IFileSystemObject>>& outElements,
                            FileIteratorOptions inOptions) const {
    return Iterate(
        [&](IFileSystemObject& inItem) {
            outElements.emplace_back(&inItem);
            return VE_OK;
        },
        inOptions);
}

bool VFolder::IsEmpty() const {
    bool empty = true;
    // An unreadable folder lists nothing, as its iteration would.
    return !Exists() || fImpl.IsEmpty(empty) != VE_OK || empty;
}

VError VFolder::Create() const {
    if (Exists())
        return VE_OK;
    return _Report(fImpl.Create(), VE_FOLDER_CANNOT_CREATE);
}

VError VFolder::CreateRecursive(bool inMakeWritableByAll) const {
    if (Exists())
        return VE_OK;
    if (VRefPtr<VFolder> parent = AdoptRef(RetainParentFolder()); parent) {
        VError error = parent->CreateRecursive(inMakeWritableByAll);
        if (error != VE_OK)
            return error;
    }
    VError error = Create();
    return error == VE_OK && inMakeWritableByAll ? MakeWritableByAll() : error;
}

VError VFolder::MakeWritableByAll() const {
    return _Report(fImpl.MakeWritableByAll(), VE_FOLDER_CANNOT_SET_ATTRIBUTES);
}

VError VFolder::Delete(bool inRecursive) const {
    if (IsEmpty())
        return _Report(fImpl.Delete(), VE_FOLDER_CANNOT_DELETE);
    if (!inRecursive)
        return VFileError::Throw(fPath, VE_FOLDER_NOT_EMPTY);
    VError error = DeleteContents(true);
    return error != VE_OK ? error : _Report(fImpl.Delete(), VE_FOLDER_CANNOT_DELETE);
}

VError VFolder::DeleteContents(bool inRecursive) const {
    std::vector<XPosixFolderItem> items;
    XPosixListOptions options =
        kListFiles | kListInvisible | kListSpecialFiles | (inRecursive ? kListFolders : 0);
    VError error = _Report(fImpl.ListItems(options, items), VE_FOLDER_CANNOT_DELETE);
    for (const XPosixFolderItem& item : items) {
        if (error != VE_OK)
            break;
        if (!item.fIsFolder)
            continue;
        VFolder folder(item.fPosixPath.c_str(), item.fPath, fFileSystem);
        error = folder.DeleteContents(true);
        VTaskMgr::YieldNow();
        if (error == VE_OK)
            error = folder.Delete(false);
    }
    for (const XPosixFolderItem& item : items) {
        if (error != VE_OK)
            break;
        if (item.fIsFolder)
            continue;
        // FIFOs, sockets and devices go too: a folder holding one could not be removed.
        error = VFile(item.fPosixPath.c_str(), item.fPath, fFileSystem).Delete();
    }
    return error;
}

VError VFolder::DeleteForced() const {
    XPosixTreeError restore;
    XPosixTreeError failure = fImpl.DeleteForced(restore);
    // A parent left unlocked or writable is told on the context; the delete's own result is what counts.
    (void)VFileError::Report(
        fPath, restore.GetCode(), VE_FOLDER_CANNOT_SET_ATTRIBUTES,
        [&](VFileError& ioError) { ioError.SetFailedStep(restore.fOperation, restore.fPath); });
    return VFileError::Report(fPath, failure.GetCode(), VE_FOLDER_CANNOT_DELETE, [&](VFileError& ioError) {
        ioError.SetFailedStep(failure.fOperation, failure.fPath);
    });
}

VError VFolder::MoveToTrash() const {
    if (!Exists())
        return VE_OK;
    std::string message;
    return VFileError::Report(fPath, fImpl.MoveToTrash(message), VE_FOLDER_CANNOT_MOVE_TO_TRASH,
                              [&](VFileError& ioError) { ioError.SetSystemMessage(message); });
}

VError VFolder::Rename(const VString& inNewName, VFolder** outFolder) const {
    VFilePath newPath;
    VError error = _Rename(inNewName, newPath);
    if (outFolder != nullptr)
        *outFolder = error == VE_OK ? new VFolder(newPath, fFileSystem) : nullptr;
    return error;
}

VError VFolder::Move(const VFolder& inDestinationParent, VFolder** outFolder) const {
    return Move(inDestinationParent, VString(), outFolder);
}

VError VFolder::Move(const VFolder& inDestinationParent, const VString& inNewName,
                     VFolder** outFolder) const {
    if (outFolder != nullptr)
        *outFolder = nullptr;
    VString name(inNewName);
    if (name.IsEmpty())
        fPath.GetName(name);
    VFilePath destination(inDestinationParent.GetPath());
    destination.ToSubFolder(name);
    VError error = _CheckDestination(destination, VE_FOLDER_CANNOT_RENAME, true, true);
    if (error != VE_OK)
        return error;
    bool copied = false;
    XPosixTreeError failure = fImpl.Move(destination, copied);
    error = VFileError::Report(fPath, failure.GetCode(), VE_FOLDER_CANNOT_RENAME, [&](VFileError& ioError) {
        VFileError::SetPathParameter(ioError.GetBag(), kDestinationKey, destination);
        ioError.SetFailedStep(failure.fOperation, failure.fPath);
        // The copy is whole and stays: only what the removal left of the source remains here.
        if (copied)
            ioError.SetReason("the folder was copied whole to \"{destination}\"; what could not be "
                              "removed of the source is left in place");
    });
    if (error == VE_OK && outFolder != nullptr)
        *outFolder = new VFolder(destination, inDestinationParent.GetFileSystem());
    return error;
}

VFolder* VFolder::RetainSystemFolder(ESystemFolderKind inKind, bool inCreate) {
    if (inKind < eFolderExecutable || inKind == 3 || inKind > eFolderUserState)
        return nullptr;
    std::string posixPath;
    VError error = XPosixFolder::GetSystemFolderPath(inKind, inCreate, posixPath);
    VFilePath path;
    if (!posixPath.empty())
        XPosixPath::GetFilePathFromPosixPath(posixPath, true, path);
    if (error != VE_OK) {
        // The caller learns of the failure from the null folder; the error stands on the context.
        (void)VFileError::Report(path, error,
                                 inCreate ? VE_FOLDER_CANNOT_CREATE : VE_FOLDER_CANNOT_GET_ATTRIBUTES);
        return nullptr;
    }
    return new VFolder(posixPath.c_str(), path, nullptr);
}

// Copies.

namespace {

std::atomic<VFolder::ListingHook> sListingHook{nullptr};

} // namespace

void VFolder::SetListingHookForTests(ListingHook inHook) noexcept {
    sListingHook.store(inHook, std::memory_order_release);
}

VError VFolder::CopyTo(const VFolder& inDestinationParent, VFolder** outFolder,
                       FileCopyOptions inOptions) const {
    VString name;
    fPath.GetName(name);
    return CopyTo(inDestinationParent, name, outFolder, inOptions);
}

VError VFolder::_CheckDestination(const VFilePath& inDestination, VError inOperation, bool inOnItems,
                                  bool inHoldsToo) const {
    VFileError* error = nullptr;
    if (fPath == inDestination || inDestination.IsChildOf(fPath)) {
        error = new VFileError(this, inOperation);
        error->SetReason(fPath == inDestination ? "the destination is the item itself"
                                                : "the destination lies inside the item");
    } else if (inOnItems) {
        error = _MakeTargetError(inDestination, inOperation, inHoldsToo);
    }
    if (error == nullptr)
        return VE_OK;
    VFileError::SetPathParameter(error->GetBag(), kDestinationKey, inDestination);
    return error->Push(VE_OK);
}

VError VFolder::CopyTo(const VFolder& inDestinationParent, const VString& inName, VFolder** outFolder,
                       FileCopyOptions inOptions) const {
    if (outFolder != nullptr)
        *outFolder = nullptr;
    VError error = _CheckDestination(inDestinationParent.GetPath(), VE_FOLDER_CANNOT_COPY, false, false);
    if (error != VE_OK)
        return error;
    VRefPtr<VFolder> target = AdoptRef(new VFolder(inDestinationParent, inName, FilePathStyle::Native));
    // Before an existing target is removed: it must not be the source, hold it or lie inside it.
    if ((error = _CheckDestination(target->GetPath(), VE_FOLDER_CANNOT_COPY, true, true)) != VE_OK)
        return error;
    // An overwrite never falls back on the item-by-item copy: that would write into the target.
    error = (inOptions & kCopyOverwrite) != 0 ? _CopyInOneCall(*target) : CopyContentsTo(*target, inOptions);
    if (outFolder != nullptr)
        *outFolder = target.Forget();
    return error;
}

VError VFolder::_CopyInOneCall(const VFolder& inTarget) const {
    bool inPlace = false;
    XPosixTreeError failure = fImpl.CopyTreeReplacing(inTarget.GetPath(), inPlace);
    return VFileError::Report(fPath, failure.GetCode(), VE_FOLDER_CANNOT_COPY, [&](VFileError& ioError) {
        ioError.GetBag().SetString(kDestinationKey, inTarget.GetPath().GetPath());
        ioError.SetFailedStep(failure.fOperation, failure.fPath);
        if (inPlace)
            ioError.SetReason("the complete copy is in place at \"{destination}\", what it replaced may "
                              "remain beside it under a hidden name");
    });
}

VError VFolder::Exchange(const VFolder& inOther, bool* outRefused) const {
    if (outRefused != nullptr)
        *outRefused = false;
    bool refused = false;
    VError error = fImpl.Exchange(inOther.GetImpl().GetPosixPath(), refused);
    if (refused && outRefused != nullptr) {
        *outRefused = true;
        return VE_FOLDER_CANNOT_EXCHANGE;
    }
    return VFileError::Report(
        fPath, error, refused ? VE_FOLDER_CANNOT_EXCHANGE : VE_FOLDER_CANNOT_RENAME,
        [&](VFileError& ioError) {
            VFileError::SetPathParameter(ioError.GetBag(), kDestinationKey, inOther.GetPath());
            ioError.SetFailedStep("renameat2 RENAME_EXCHANGE", inOther.GetImpl().GetPosixPath());
        });
}

VError VFolder::GetIdentity(VItemIdentity& outIdentity) const {
    outIdentity = VItemIdentity();
    return _Report(fImpl.GetIdentity(outIdentity.fDevice, outIdentity.fInode),
                   VE_FOLDER_CANNOT_GET_ATTRIBUTES);
}

VError VFolder::GetAllocatedSize(uint64_t& outBytes) const {
    XPosixTreeError failure = fImpl.MeasureTree(outBytes);
    if (failure.IsError())
        outBytes = 0;
    return VFileError::Report(
        fPath, failure.GetCode(), VE_FOLDER_CANNOT_GET_ATTRIBUTES,
        [&](VFileError& ioError) { ioError.SetFailedStep(failure.fOperation, failure.fPath); });
}

VError VFolder::CopyContentsTo(const VFolder& inDestination, FileCopyOptions inOptions) const {
    // Also checked when the destination is missing: created inside the source, it would be copied into
    // itself without end.
    VError error = _CheckDestination(inDestination.GetPath(), VE_FOLDER_CANNOT_COPY, true, false);
    if (error != VE_OK)
        return error;
    // The source is listed first, so that a missing or unreadable source leaves no empty destination.
    std::vector<XPosixFolderItem> items;
    XPosixListOptions options = kListFolders | kListFiles | kListFollowFolderLink;
    if ((inOptions & kCopySkipInvisible) == 0)
        options |= kListInvisible;
    if ((error = _Report(fImpl.ListItems(options, items), VE_FOLDER_CANNOT_COPY)) != VE_OK)
        return error;
    bool created = !inDestination.Exists();
    if (created && (error = inDestination.Create()) != VE_OK)
        return error;
    error = _CopyItems(items, inDestination, inOptions);
    if (created && (error == VE_OK || (inOptions & kCopyContinueOnError) != 0)) {
        VError attributesError = _CopyAttributesTo(inDestination);
        if (error == VE_OK)
            error = attributesError;
    }
    return error;
}

VError VFolder::_CopyItems(const std::vector<XPosixFolderItem>& inItems, const VFolder& inDestination,
                           FileCopyOptions inOptions) const {
    if (ListingHook hook = sListingHook.load(std::memory_order_acquire); hook != nullptr)
        hook(*this);
    VError first = VE_OK;
    const bool goOn = (inOptions & kCopyContinueOnError) != 0;
    // Sub-folders first, depth first, then the files of this level.
    for (bool folders : {true, false}) {
        for (const XPosixFolderItem& item : inItems) {
            if (item.fIsFolder != folders)
                continue;
            VError error = folders ? VFolder(item.fPosixPath.c_str(), item.fPath, fFileSystem)
                                         .CopyTo(inDestination, nullptr, inOptions)
                                   : VFile(item.fPosixPath.c_str(), item.fPath, fFileSystem)
                                         .CopyTo(inDestination, nullptr, inOptions);
            if (error != VE_OK && first == VE_OK)
                first = error;
            if (error != VE_OK && !goOn)
                return first;
        }
    }
    return first;
}

VError VFolder::_CopyAttributesTo(const VFolder& inDestination) const {
    uint16_t mode = 0;
    XPosixItemTimes times;
    VError error = fImpl.GetPermissions(mode);
    if (error == VE_OK)
        error = fImpl.GetTimes(times);
    if (error != VE_OK)
        return _Report(error, VE_FOLDER_CANNOT_COPY);
    error = inDestination.fImpl.SetPermissions(mode);
    if (error == VE_OK)
        error = inDestination.fImpl.SetTimes(&times.fModification, &times.fAccess);
    return VFileError::Report(inDestination.GetPath(), error, VE_FOLDER_CANNOT_COPY);
}

} // namespace vkit
