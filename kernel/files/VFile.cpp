// VFile: construction, queries, creation, deletion, renaming, moving, copying and opening of files.
#include "files/VFile.h"

#include "bags/VValueBag.h"
#include "errors/VErrorThrow.h"
#include "files/VFileDesc.h"
#include "files/VFileError.h"
#include "files/VMemoryBuffer.h"

#include <memory>

namespace vkit {

namespace {

const StPackedDictionaryKey kDestinationKey("destination");
const StPackedDictionaryKey kOptionsKey("options");
const StPackedDictionaryKey kAccessKey("access");

void AddDestination(VFileError& ioError, const VFilePath& inDestination, FileCopyOptions inOptions) {
    VFileError::SetPathParameter(ioError.GetBag(), kDestinationKey, inDestination);
    ioError.GetBag().SetLong8(kOptionsKey, inOptions);
}

/// The file a copy or move writes: inDestination, or the source's name inside it when it is a folder path.
VFilePath TargetOf(const VFilePath& inSource, const VFilePath& inDestination) {
    VFilePath target(inDestination);
    if (target.IsFolder()) {
        VString name;
        inSource.GetName(name);
        target.ToSubFile(name);
    }
    return target;
}

} // namespace

VFile::VFile(const VFolder& inParent, const VString& inRelative, FilePathStyle inStyle)
    : VFileSystemObject(VFilePath(inParent.GetPath(), inRelative, inStyle, false), inParent) {}

VError VFile::_ReportWithDestination(VError inResult, VError inOperation, const VFilePath& inDestination,
                                     FileCopyOptions inOptions) const {
    return VFileError::Report(fPath, inResult, inOperation, [&](VFileError& ioError) {
        AddDestination(ioError, inDestination, inOptions);
    });
}

VError VFile::_CheckDestination(const VFilePath& inTarget, VError inOperation, const VFilePath& inDestination,
                                FileCopyOptions inOptions) const {
    VFileError* error = nullptr;
    VError firstCode = inOperation;
    if (fPath.IsValid() && inDestination.IsValid()) {
        error = _MakeTargetError(inTarget, inOperation, true);
        firstCode = VE_OK;
    } else {
        error = new VFileError(this, inOperation);
    }
    if (error == nullptr)
        return VE_OK;
    AddDestination(*error, inDestination, inOptions);
    return error->Push(firstCode);
}

bool VFile::Exists() const {
    return fPath.IsFile() && fImpl.Exists();
}

void VFile::GetNameWithoutExtension(VString& outName) const {
    fPath.GetFileName(outName, false);
}

VError VFile::SetTimeAttributes(const VTime* inLastModification, const VTime*,
                                const VTime* inLastAccess) const {
    int64_t modification = 0;
    int64_t access = 0;
    bool withModification = _ToUnixMilliseconds(inLastModification, modification);
    bool withAccess = _ToUnixMilliseconds(inLastAccess, access);
    if (!withModification && !withAccess)
        return VE_OK;
    return _Report(fImpl.SetTimes(withModification ? &modification : nullptr, withAccess ? &access : nullptr),
                   VE_FILE_CANNOT_SET_ATTRIBUTES);
}

VError VFile::GetFileAttributes(FileAttributes* outAttributes) const {
    FileAttributes attributes = 0;
    VError error = _Report(fImpl.GetAttributes(attributes), VE_FILE_CANNOT_GET_ATTRIBUTES);
    if (outAttributes != nullptr)
        *outAttributes = attributes;
    return error;
}

VError VFile::SetFileAttributes(FileAttributes inAttributes) const {
    return _Report(fImpl.SetAttributes(inAttributes), VE_FILE_CANNOT_SET_ATTRIBUTES);
}

VError VFile::MAC_MakeWritableByAll() const {
    return _Report(fImpl.MakeWritableByAll(), VE_FILE_CANNOT_SET_ATTRIBUTES);
}

bool VFile::IsWritable() const {
    return fImpl.IsWritable();
}

VError VFile::GetSize(int64_t* outSize) const {
    int64_t size = 0;
    VError error = _Report(fImpl.GetSize(size), VE_FILE_CANNOT_GET_ATTRIBUTES);
    if (outSize != nullptr)
        *outSize = size;
    return error;
}

VError VFile::Create(FileCopyOptions inOptions) const {
    return VFileError::Report(
        fPath, fImpl.Create(inOptions), VE_FILE_CANNOT_CREATE,
        [&](VFileError& ioError) { ioError.GetBag().SetLong8(kOptionsKey, inOptions); });
}

VError VFile::Delete() const {
    if (!fPath.IsValid())
        return VFileError::Throw(fPath, VE_FILE_CANNOT_DELETE);
    return _Report(fImpl.Delete(), VE_FILE_CANNOT_DELETE);
}

VError VFile::SetContentDurably(const void* inData, size_t inSize) const {
    XPosixTreeError failure = fImpl.ReplaceContentDurably(inData, inSize);
    return VFileError::Report(fPath, failure.GetCode(), VE_FILE_CANNOT_WRITE, [&](VFileError& ioError) {
        ioError.SetFailedStep(failure.fOperation, failure.fPath);
    });
}

VError VFile::DeleteDurably() const {
    XPosixTreeError failure = fImpl.DeleteDurably();
    return VFileError::Report(fPath, failure.GetCode(), VE_FILE_CANNOT_DELETE, [&](VFileError& ioError) {
        ioError.SetFailedStep(failure.fOperation, failure.fPath);
    });
}

VError VFile::MoveToTrash() const {
    std::string message;
    return VFileError::Report(fPath, fImpl.MoveToTrash(message), VE_FILE_CANNOT_DELETE,
                              [&](VFileError& ioError) { ioError.SetSystemMessage(message); });
}

VError VFile::Rename(const VString& inNewName, VFile** outFile) const {
    VFilePath newPath;
    VError error = _Rename(inNewName, newPath);
    if (outFile != nullptr)
        *outFile = error == VE_OK ? new VFile(newPath, fFileSystem) : nullptr;
    return error;
}

VError VFile::Move(const VFilePath& inDestination, VFile** outFile, FileCopyOptions inOptions) const {
    return _Move(inDestination, nullptr, outFile, inOptions);
}

VError VFile::Move(const VFolder& inDestination, VFile** outFile, FileCopyOptions inOptions) const {
    return _Move(inDestination.GetPath(), inDestination.GetFileSystem(), outFile, inOptions);
}

VError VFile::Move(const VFile& inDestination, FileCopyOptions inOptions) const {
    return _Move(inDestination.GetPath(), inDestination.GetFileSystem(), nullptr, inOptions);
}

VError VFile::_Move(const VFilePath& inDestination, VFileSystem* inFileSystem, VFile** outFile,
                    FileCopyOptions inOptions) const {
    if (outFile != nullptr)
        *outFile = nullptr;
    VFilePath target = TargetOf(fPath, inDestination);
    // A file moved onto itself (a hard link, a path through a linked parent) is refused: across file
    // systems the move would remove the target before copying the source.
    if (VError error = _CheckDestination(target, VE_FILE_CANNOT_MOVE, inDestination, inOptions);
        error != VE_OK)
        return error;
    VFilePath sourceFolder;
    VFilePath targetFolder;
    fPath.GetFolder(sourceFolder);
    target.GetFolder(targetFolder);
    // Inside one folder a plain rename; elsewhere, or when that fails, the platform's move.
    bool renamed = sourceFolder.GetPath() == targetFolder.GetPath() && fImpl.RenameReplacing(target) == VE_OK;
    VError error = VE_OK;
    if (!renamed)
        error = _ReportWithDestination(fImpl.Move(target, inOptions), VE_FILE_CANNOT_MOVE, inDestination,
                                       inOptions);
    if (error == VE_OK && outFile != nullptr)
        *outFile = new VFile(target, inFileSystem);
    return error;
}

VError VFile::CopyTo(const VFilePath& inDestination, VFile** outFile, FileCopyOptions inOptions) const {
    if (outFile != nullptr)
        *outFile = nullptr;
    VFilePath target = TargetOf(fPath, inDestination);
    // Only an overwrite removes the target: checked then, before it goes.
    if ((inOptions & kCopyOverwrite) != 0 || !fPath.IsValid() || !inDestination.IsValid()) {
        if (VError error = _CheckDestination(target, VE_FILE_CANNOT_COPY, inDestination, inOptions);
            error != VE_OK)
            return error;
    }
    VError error = _ReportWithDestination(fImpl.CopyTo(target, inOptions), VE_FILE_CANNOT_COPY, inDestination,
                                          inOptions);
    if (error == VE_OK && outFile != nullptr)
        *outFile = new VFile(target, _FileSystemHolding(fFileSystem, target));
    return error;
}

VError VFile::CopyTo(const VFolder& inDestination, VFile** outFile, FileCopyOptions inOptions) const {
    if (outFile != nullptr)
        *outFile = nullptr;
    VFile* copy = nullptr;
    VError error = CopyTo(inDestination.GetPath(), outFile != nullptr ? &copy : nullptr, inOptions);
    if (copy != nullptr) {
        *outFile =
            new VFile(copy->GetPath(), _FileSystemHolding(inDestination.GetFileSystem(), copy->GetPath()));
        copy->Release();
    }
    return error;
}

VError VFile::CopyTo(const VFile& inDestination, FileCopyOptions inOptions) const {
    return CopyTo(inDestination.GetPath(), nullptr, inOptions);
}

VError VFile::CopyFrom(const VFile& inSource, FileCopyOptions inOptions) const {
    return inSource.CopyTo(fPath, nullptr, inOptions);
}

VError VFile::Open(FileAccess inAccess, VFileDesc** outDesc, FileOpenOptions inOptions) const {
    if (outDesc != nullptr)
        *outDesc = nullptr;
    int fd = -1;
    VError error = VFileError::Report(fPath, fImpl.Open(inAccess, inOptions, fd), VE_FILE_CANNOT_OPEN,
                                      [&](VFileError& ioError) {
                                          ioError.GetBag().SetLong(kAccessKey, inAccess);
                                          ioError.GetBag().SetLong8(kOptionsKey, inOptions);
                                      });
    if (error != VE_OK)
        return error;
    VFileDesc* desc = new VFileDesc(fPath, fd, inAccess);
    if (outDesc != nullptr)
        *outDesc = desc;
    else
        delete desc;
    return VE_OK;
}

VError VFile::GetContent(VMemoryBuffer& outContent) const {
    outContent.Clear();
    VFileDesc* opened = nullptr;
    VError error = Open(eFileAccessRead, &opened, kOpenFollowLinks);
    std::unique_ptr<VFileDesc> desc(opened);
    int64_t size = 0;
    if (error == VE_OK)
        error = desc->GetSize(&size);
    if (error == VE_OK && !outContent.SetDataSize(static_cast<size_t>(size)))
        error = vThrowError(VE_MEMORY_FULL);
    if (error == VE_OK)
        error = desc->GetData(outContent.GetDataPtr(), static_cast<size_t>(size), 0);
    if (error != VE_OK)
        outContent.Clear();
    return error;
}

VError VFile::GetData(void* outBuffer, size_t inCount, int64_t inPosition, size_t* outRead) const {
    if (outRead != nullptr)
        *outRead = 0;
    VFileDesc* opened = nullptr;
    VError error = Open(eFileAccessRead, &opened, kOpenFollowLinks);
    std::unique_ptr<VFileDesc> desc(opened);
    return error != VE_OK ? error : desc->GetData(outBuffer, inCount, inPosition, outRead);
}

VError VFile::_OpenAndWrite(const void* inData, size_t inSize, bool inAppend) const {
    if (VRefPtr<VFolder> parent = AdoptRef(RetainParentFolder()); parent) {
        VError error = parent->CreateRecursive(false);
        if (error != VE_OK)
            return error;
    }
    VFileDesc* opened = nullptr;
    FileOpenOptions options = kOpenFollowLinks | kOpenCreate | (inAppend ? 0 : kOpenTruncate);
    VError error = Open(eFileAccessReadWrite, &opened, options);
    std::unique_ptr<VFileDesc> desc(opened);
    int64_t position = 0;
    if (error == VE_OK)
        error = inAppend ? desc->GetSize(&position) : desc->SetSize(static_cast<int64_t>(inSize));
    if (error == VE_OK)
        error = desc->PutData(inData, inSize, position);
    return error;
}

VError VFile::SetContent(const void* inData, size_t inSize) const {
    return _OpenAndWrite(inData, inSize, false);
}

VError VFile::AppendContent(const void* inData, size_t inSize) const {
    return _OpenAndWrite(inData, inSize, true);
}

} // namespace vkit
