// XPosixTreeCopyRun: the walker and worker threads of one tree copy.
#include "platform/posix/files/XPosixTreeCopyRun.h"

#include "platform/posix/shared/XPosixPathText.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <memory>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vkit {

namespace {

// Items waiting for a worker; the walker waits beyond this so that a huge folder does not fill memory.
constexpr size_t kMaxQueuedItems = 4096;
constexpr size_t kMaxOpenFoldersCeiling = 256;
// Descriptors left to the rest of the process, and per worker (a file's source and destination).
constexpr size_t kReservedDescriptors = 64;

/// Folders that queued items may keep open, each holding two descriptors, within the process's limit.
size_t MaxOpenFolders(unsigned inThreads) {
    struct rlimit limit;
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return kMaxOpenFoldersCeiling;
    size_t reserved = kReservedDescriptors + 2 * size_t{inThreads};
    size_t available = limit.rlim_cur > reserved ? static_cast<size_t>(limit.rlim_cur) - reserved : 0;
    return std::clamp<size_t>(available / 4, 1, kMaxOpenFoldersCeiling);
}

} // namespace

XPosixTreeCopyRun::XPosixTreeCopyRun(int inSourceRoot, int inDestRoot, std::string inSourcePath,
                                     std::string inDestPath, unsigned inThreads)
    : fSourceRoot(inSourceRoot), fDestRoot(inDestRoot), fSourcePath(std::move(inSourcePath)),
      fDestPath(std::move(inDestPath)), fThreads(inThreads), fMaxOpenFolders(MaxOpenFolders(inThreads)) {}

XPosixTreeCopyRun::~XPosixTreeCopyRun() = default;

XPosixTreeError XPosixTreeCopyRun::Run() {
    Folder* root = OpenRoot();
    if (root == nullptr)
        return fError;
    std::vector<pthread_t> workers;
    workers.reserve(fThreads);
    for (unsigned i = 0; i < fThreads; ++i) {
        pthread_t thread;
        if (::pthread_create(&thread, nullptr, &WorkerEntry, this) != 0)
            break;
        workers.push_back(thread);
    }
    fStartedWorkers = workers.size();

    Walk(root);
    {
        std::lock_guard<std::mutex> hold(fLock);
        fWalkOver = true;
    }
    fWorkReady.notify_all();
    Work();
    for (pthread_t thread : workers)
        ::pthread_join(thread, nullptr);

    if (!fFailed.load())
        ApplyFolderAttributes();
    return fError;
}

XPosixTreeCopyRun::Folder* XPosixTreeCopyRun::OpenRoot() {
    // The root's folder gets descriptors of its own: closing it must not close the caller's.
    auto root = std::make_unique<Folder>();
    root->fSource = XPosixFolderReader(XPosixDescriptor::Duplicate(fSourceRoot));
    root->fDest = XPosixDescriptor::Duplicate(fDestRoot);
    struct stat rootStatus;
    if (!root->fSource.IsOpen() || !root->fDest.IsValid() || ::fstat(fSourceRoot, &rootStatus) != 0) {
        int error = errno;
        Fail(error, root.get(), "", true, "open");
        return nullptr;
    }
    fFolderAttributes.push_back(FolderAttributes{std::string(), rootStatus});
    fOpenFolders = 1;
    fWalkDepth = 1;
    return root.release();
}

void* XPosixTreeCopyRun::WorkerEntry(void* inRun) {
    static_cast<XPosixTreeCopyRun*>(inRun)->Work();
    return nullptr;
}

void XPosixTreeCopyRun::Walk(Folder* inFolder) {
    XPosixFolderReader& listing = inFolder->fSource;
    XPosixFolderEntry entry;
    while (!fFailed.load(std::memory_order_relaxed) && listing.Next(entry)) {
        if (entry.fType == DT_DIR) {
            if (!EnterFolder(inFolder, entry.fName))
                break;
        } else if (entry.fType == DT_REG || entry.fType == DT_LNK) {
            Enqueue(inFolder, entry.fName, entry.fType == DT_LNK);
        }
        // FIFOs, sockets and devices are not copied: the item-by-item copy never lists them either.
    }
    if (listing.GetError() != 0)
        Fail(listing.GetError(), inFolder, listing.GetFailedName().c_str(), true, listing.GetFailedStep());
    {
        std::lock_guard<std::mutex> hold(fLock);
        --fWalkDepth;
    }
    Release(inFolder);
}

bool XPosixTreeCopyRun::EnterFolder(Folder* inParent, const char* inName) {
    WaitForRoom(false);
    auto folder = std::make_unique<Folder>();
    if (int error = folder->fSource.Open(inParent->fSource.Get(), inName, false); error != 0)
        return Fail(error, inParent, inName, true, "open");
    struct stat status;
    if (::fstat(folder->fSource.Get(), &status) != 0) {
        int error = errno;
        return Fail(error, inParent, inName, true, "fstat");
    }
    // Created private to the copy; its own mode comes once its content is in.
    if (::mkdirat(inParent->fDest.Get(), inName, 0700) != 0) {
        int error = errno;
        return Fail(error, inParent, inName, false, "mkdir");
    }
    folder->fDest = XPosixDescriptor::OpenAt(inParent->fDest.Get(), inName,
                                             O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (!folder->fDest.IsValid()) {
        int error = errno;
        return Fail(error, inParent, inName, false, "open");
    }
    folder->fRelative =
        inParent->fRelative.empty() ? std::string(inName) : inParent->fRelative + "/" + inName;
    fFolderAttributes.push_back(FolderAttributes{folder->fRelative, status});
    {
        std::lock_guard<std::mutex> hold(fLock);
        ++fOpenFolders;
        ++fWalkDepth;
    }
    Walk(folder.release());
    return !fFailed.load(std::memory_order_relaxed);
}

void XPosixTreeCopyRun::Enqueue(Folder* inFolder, const char* inName, bool inIsLink) {
    if (fStartedWorkers == 0) {
        CopyItem(Item{inFolder, inName, inIsLink});
        return;
    }
    WaitForRoom(true);
    {
        std::lock_guard<std::mutex> hold(fLock);
        ++inFolder->fReferences;
        fQueue.push_back(Item{inFolder, inName, inIsLink});
    }
    fWorkReady.notify_one();
}

void XPosixTreeCopyRun::WaitForRoom(bool inForItem) {
    std::unique_lock<std::mutex> hold(fLock);
    fRoomReady.wait(hold, [&] {
        if (fFailed.load(std::memory_order_relaxed))
            return true;
        if (inForItem)
            return fQueue.size() < kMaxQueuedItems;
        // Folders on the walker's path are always allowed: only those kept by queued items count.
        return fOpenFolders - fWalkDepth < fMaxOpenFolders;
    });
}

void XPosixTreeCopyRun::Work() {
    for (;;) {
        Item item;
        {
            std::unique_lock<std::mutex> hold(fLock);
            fWorkReady.wait(hold, [&] { return !fQueue.empty() || fWalkOver; });
            if (fQueue.empty())
                return;
            item = std::move(fQueue.front());
            fQueue.pop_front();
        }
        fRoomReady.notify_one();
        if (!fFailed.load(std::memory_order_relaxed))
            CopyItem(item);
        Release(item.fFolder);
    }
}

void XPosixTreeCopyRun::CopyItem(const Item& inItem) {
    const char* name = inItem.fName.c_str();
    XPosixCopyStep step;
    int error =
        fCopier.Copy(inItem.fFolder->fSource.Get(), inItem.fFolder->fDest.Get(), name, inItem.fIsLink, step);
    if (error != 0)
        Fail(error, inItem.fFolder, name, step.fOnSource, step.fOperation);
}

void XPosixTreeCopyRun::Release(Folder* inFolder) {
    {
        std::lock_guard<std::mutex> hold(fLock);
        if (--inFolder->fReferences > 0)
            return;
        --fOpenFolders;
    }
    fRoomReady.notify_one();
    delete inFolder;
}

void XPosixTreeCopyRun::ApplyFolderAttributes() {
    // Deepest first: a folder made read-only or unsearchable must not stop its sub-folders' turn.
    for (auto it = fFolderAttributes.rbegin(); it != fFolderAttributes.rend(); ++it) {
        XPosixCopyStep step;
        int error = fCopier.ApplyAttributes(fDestRoot, it->fRelative.c_str(), it->fStatus, false, step);
        if (error != 0) {
            fError = XPosixTreeError{error, JoinPath(fDestPath, it->fRelative), step.fOperation};
            fFailed.store(true);
            return;
        }
    }
}

bool XPosixTreeCopyRun::Fail(int inErrno, const Folder* inFolder, const char* inName, bool inOnSource,
                             const char* inOperation) {
    {
        std::lock_guard<std::mutex> hold(fLock);
        if (fFailed.load(std::memory_order_relaxed))
            return false;
        std::string path =
            JoinPath(JoinPath(inOnSource ? fSourcePath : fDestPath, inFolder->fRelative), inName);
        fError = XPosixTreeError{inErrno, std::move(path), inOperation};
        fFailed.store(true);
    }
    fRoomReady.notify_all();
    fWorkReady.notify_all();
    return false;
}

} // namespace vkit
