// VFSObjectIterator: the iteration over one folder's items shared by the file and folder iterators.
#pragma once

#include "errors/VErrorCodes.h"
#include "files/FileAttributeAccessor.h"
#include "files/VFileOptions.h"

#include <cstdint>
#include <memory>

namespace vkit {

class VFolder;
class XPosixFSObjectIterator;

/// Walks the items of one folder in the order the directory gives them (no sorting), one object at a
/// time: VFileIterator (Object = VFile) and VFolderIterator (Object = VFolder). FIFOs, sockets and
/// devices are never reported. Each item is built with the folder's file system; when the folder has
/// one, items outside its root (resolved links) are left out. An iterator belongs to one task.
///
///     for (VFileIterator it(folder, kIterateFiles); it.IsValid(); ++it)
///         it->GetName(name);
template <class Object>
class VFSObjectIterator {
public:
    /// Retains inFolder and moves to its first item. A folder that cannot be opened, or that is empty,
    /// gives an iterator that is over at once (no error is pushed).
    VFSObjectIterator(const VFolder* inFolder, FileIteratorOptions inOptions);
    ~VFSObjectIterator();
    VFSObjectIterator(const VFSObjectIterator&) = delete;
    VFSObjectIterator& operator=(const VFSObjectIterator&) = delete;

    /// The current item (owned by the iterator: Retain it to keep it), or null when the iteration is over.
    Object* Current() const noexcept { return fCurrent; }
    Object* operator->() const noexcept { return fCurrent; }
    Object& operator*() const noexcept { return *fCurrent; }
    bool IsValid() const noexcept { return fCurrent != nullptr; }

    /// Releases the current item and moves to the next one.
    VFSObjectIterator& operator++();

    /// 1-based position of the current item; 0 before the first.
    int32_t GetPos() const noexcept { return fIndex; }

    /// Once the iteration is over: the POSX error that ended it early (the folder could not be opened
    /// or read), 0 when it listed everything. Nothing is pushed.
    [[nodiscard]] VError GetError() const noexcept { return fError; }

    /// The current item's times without another lookup; null when the iteration is over.
    const FileAttributeAccessor* GetAttributeAccessor() const noexcept { return fAccessor.get(); }

private:
    void _Next();

    const VFolder* fFolder;
    Object* fCurrent = nullptr;
    int32_t fIndex = 0;
    FileIteratorOptions fOptions;
    VError fError = VE_OK;
    std::unique_ptr<XPosixFSObjectIterator> fPlatformIterator;
    std::unique_ptr<FileAttributeAccessor> fAccessor;
};

} // namespace vkit
