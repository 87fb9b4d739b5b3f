// XPosixTreeCopyRun: the walker and worker threads of one tree copy.
#include "platform/posix/XPosixTreeCopyRun.h"

#include "platform/posix/XPosixDirectoryEntry.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
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
    // The root's listing gets its own descriptors: closing the listing must not close the caller's.
    int source = ::fcntl(fSourceRoot, F_DUPFD_CLOEXEC, 0);
    int dest = source < 0 ? -1 : ::fcntl(fDestRoot, F_DUPFD_CLOEXEC, 0);
    DIR* listing = dest < 0 ? nullptr : ::fdopendir(source);
    struct stat rootStatus;
    if (listing == nullptr || ::fstat(source, &rootStatus) != 0) {
        fError = XPosixTreeError{errno, fSourcePath, "opendir"};
        fFailed.store(true);
        if (listing != nullptr)
            ::closedir(listing);
        else if (source >= 0)
            ::close(source);
        if (dest >= 0)
            ::close(dest);
        return nullptr;
    }
    fFolderAttributes.push_back(FolderAttributes{std::string(), rootStatus});
    fOpenFolders = 1;
    fWalkDepth = 1;
    return new Folder{listing, dest, std::string(), 1};
}

void* XPosixTreeCopyRun::WorkerEntry(void* inRun) {
    static_cast<XPosixTreeCopyRun*>(inRun)->Work();
    return nullptr;
}

void XPosixTreeCopyRun::Walk(Folder* inFolder) {
    DIR* listing = inFolder->fSource;
    int source = ::dirfd(listing);
    for (;;) {
        if (fFailed.load(std::memory_order_relaxed))
            break;
        int error = 0;
        struct dirent* entry = ReadEntry(listing, error);
        if (entry == nullptr) {
            if (error != 0)
                Fail(error, inFolder, "", true, "readdir");
            break;
        }
        const char* name = entry->d_name;
        if (IsDotOrDotDot(name))
            continue;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat status;
            if (::fstatat(source, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
                error = errno;
                Fail(error, inFolder, name, true, "fstatat");
                break;
            }
            type = TypeFromMode(status.st_mode);
        }
        if (type == DT_DIR) {
            if (!EnterFolder(inFolder, name))
                break;
        } else if (type == DT_REG || type == DT_LNK) {
            Enqueue(inFolder, name, type == DT_LNK);
        }
        // FIFOs, sockets and devices are not copied: the item-by-item copy never lists them either.
    }
    {
        std::lock_guard<std::mutex> hold(fLock);
        --fWalkDepth;
    }
    Release(inFolder);
}

bool XPosixTreeCopyRun::EnterFolder(Folder* inParent, const char* inName) {
    WaitForRoom(false);
    int source = FileCopier::RetryOnSignal([&] {
        return ::openat(::dirfd(inParent->fSource), inName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    });
    if (source < 0) {
        int error = errno;
        Fail(error, inParent, inName, true, "open");
        return false;
    }
    struct stat status;
    DIR* listing = nullptr;
    if (::fstat(source, &status) != 0 || (listing = ::fdopendir(source)) == nullptr) {
        int error = errno;
        Fail(error, inParent, inName, true, "opendir");
        ::close(source);
        return false;
    }
    // Created private to the copy; its own mode comes once its content is in.
    if (::mkdirat(inParent->fDest, inName, 0700) != 0) {
        int error = errno;
        Fail(error, inParent, inName, false, "mkdir");
        ::closedir(listing);
        return false;
    }
    int dest = ::openat(inParent->fDest, inName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dest < 0) {
        int error = errno;
        Fail(error, inParent, inName, false, "open");
        ::closedir(listing);
        return false;
    }
    std::string relative =
        inParent->fRelative.empty() ? std::string(inName) : inParent->fRelative + "/" + inName;
    fFolderAttributes.push_back(FolderAttributes{relative, status});
    Folder* folder = new Folder{listing, dest, std::move(relative), 1};
    {
        std::lock_guard<std::mutex> hold(fLock);
        ++fOpenFolders;
        ++fWalkDepth;
    }
    Walk(folder);
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
    int source = ::dirfd(inItem.fFolder->fSource);
    const char* name = inItem.fName.c_str();
    FileCopier::Failure failure;
    int error = inItem.fIsLink ? fCopier.CopyLink(source, inItem.fFolder->fDest, name, failure)
                               : fCopier.CopyRegular(source, inItem.fFolder->fDest, name, failure);
    if (error != 0)
        Fail(error, inItem.fFolder, name, failure.fOnSource, failure.fOperation);
}

void XPosixTreeCopyRun::Release(Folder* inFolder) {
    {
        std::lock_guard<std::mutex> hold(fLock);
        if (--inFolder->fReferences > 0)
            return;
        --fOpenFolders;
    }
    fRoomReady.notify_one();
    ::closedir(inFolder->fSource);
    ::close(inFolder->fDest);
    delete inFolder;
}

void XPosixTreeCopyRun::ApplyFolderAttributes() {
    // Deepest first: a folder made read-only or unsearchable must not stop its sub-folders' turn.
    for (auto it = fFolderAttributes.rbegin(); it != fFolderAttributes.rend(); ++it) {
        FileCopier::Failure failure;
        int error = fCopier.ApplyFolderAttributes(fDestRoot, it->fRelative.c_str(), it->fStatus, failure);
        if (error != 0) {
            fError =
                XPosixTreeError{error, it->fRelative.empty() ? fDestPath : fDestPath + "/" + it->fRelative,
                                failure.fOperation};
            fFailed.store(true);
            return;
        }
    }
}

void XPosixTreeCopyRun::Fail(int inErrno, const Folder* inFolder, const char* inName, bool inOnSource,
                             const char* inOperation) {
    {
        std::lock_guard<std::mutex> hold(fLock);
        if (fFailed.load(std::memory_order_relaxed))
            return;
        fError = XPosixTreeError{inErrno, ItemPath(inFolder, inName, inOnSource), inOperation};
        fFailed.store(true);
    }
    fRoomReady.notify_all();
    fWorkReady.notify_all();
}

std::string XPosixTreeCopyRun::ItemPath(const Folder* inFolder, const char* inName, bool inOnSource) const {
    std::string path = inOnSource ? fSourcePath : fDestPath;
    if (!inFolder->fRelative.empty())
        path.append("/").append(inFolder->fRelative);
    if (*inName != 0)
        path.append("/").append(inName);
    return path;
}

} // namespace vkit
