// VFSObjectIterator: the shared iteration, instantiated for files and folders.
#include "files/VFSObjectIterator.h"

#include "files/VFile.h"
#include "files/VFileSystem.h"
#include "files/VFolder.h"
#include "platform/posix/files/XPosixFSObjectIterator.h"
#include "platform/posix/files/XPosixPath.h"

#include <string>

namespace vkit {

template <class Object>
VFSObjectIterator<Object>::VFSObjectIterator(const VFolder* inFolder, FileIteratorOptions inOptions)
    : fFolder(RetainRefCountable(inFolder)), fOptions(inOptions) {
    if (fFolder == nullptr)
        return;
    fPlatformIterator = std::make_unique<XPosixFSObjectIterator>(fFolder->GetImpl().GetPosixPath(), fOptions);
    _Next();
}

template <class Object>
VFSObjectIterator<Object>::~VFSObjectIterator() {
    fAccessor.reset();
    ReleaseRefCountable(&fCurrent);
    ReleaseRefCountable(&fFolder);
}

template <class Object>
VFSObjectIterator<Object>& VFSObjectIterator<Object>::operator++() {
    if (fPlatformIterator != nullptr)
        _Next();
    return *this;
}

template <class Object>
void VFSObjectIterator<Object>::_Next() {
    fAccessor.reset();
    ReleaseRefCountable(&fCurrent);
    VFileSystem* fileSystem = fFolder->GetFileSystem();
    std::string posixPath;
    bool isFolder = false;
    VFilePath path;
    while (fPlatformIterator->GetNextPath(posixPath, isFolder)) {
        XPosixPath::GetFilePathFromPosixPath(posixPath, isFolder, path);
        // A resolved link may lead out of the file system the folder belongs to.
        if (fileSystem != nullptr && !path.IsChildOfRawPath(fileSystem->GetRoot()))
            continue;
        fCurrent = new Object(posixPath.c_str(), path, fileSystem);
        fAccessor = std::make_unique<FileAttributeAccessor>(*fPlatformIterator, fCurrent->GetPath());
        ++fIndex;
        return;
    }
    fError = fPlatformIterator->GetError();
    fPlatformIterator.reset();
}

template class VFSObjectIterator<VFile>;
template class VFSObjectIterator<VFolder>;

} // namespace vkit
