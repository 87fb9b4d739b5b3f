// XPosixBundleScan: the walker on the calling thread and the reading threads of one scan.
#include "platform/posix/signing/XPosixBundleScan.h"

#include "platform/posix/shared/XPosixFolderReader.h"
#include "platform/posix/shared/XPosixPathText.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <sched.h>
#include <sys/stat.h>

namespace vkit {

namespace {

// Files waiting for a reader: each keeps its folder's descriptor open, so the bound keeps descriptors
// bounded too.
constexpr size_t kMaxQueuedFiles = 256;
constexpr size_t kReadSize = 256 * 1024;
constexpr unsigned kMaxThreads = 8;

unsigned AvailableProcessors() {
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof(set), &set) != 0)
        return 1;
    return static_cast<unsigned>(std::max(1, CPU_COUNT(&set)));
}

/// One file to read: the folder it lies in (shared with the walker and the folder's other files), its
/// name, and its entry, whose address stays put while the walk appends others (a deque).
struct FileJob {
    std::shared_ptr<XPosixFolderReader> fFolder;
    std::string fName;
    VManifestEntry* fEntry = nullptr;
};

class ScanRun {
public:
    ScanRun(std::string inRoot, const IContentDigest& inDigest)
        : fRoot(std::move(inRoot)), fDigest(inDigest) {}

    XPosixTreeError Run(unsigned inThreads, std::vector<VManifestEntry>& outEntries, uint32_t& outRootMode);

private:
    void Walk(const std::shared_ptr<XPosixFolderReader>& inFolder, const std::string& inRelative);
    bool AddItem(const std::shared_ptr<XPosixFolderReader>& inFolder, const std::string& inRelative,
                 const char* inName);
    void Enqueue(FileJob inJob);
    void Work();
    void Read(const FileJob& inJob, IContentDigest& ioDigest, unsigned char* ioBuffer);
    /// Records the first failure and stops the scan.
    void Fail(int inErrno, const std::string& inRelative, const char* inStep);
    static void* WorkerEntry(void* inRun);

    std::string fRoot;
    const IContentDigest& fDigest;
    std::deque<VManifestEntry> fEntries; // appended by the walker only

    std::mutex fLock;
    std::condition_variable fWorkReady; // a file was queued or the walk ended
    std::condition_variable fRoomReady; // a file was taken
    std::deque<FileJob> fQueue;
    bool fWalkOver = false;
    size_t fWorkers = 0;
    std::unique_ptr<IContentDigest> fWalkerDigest; // reads the files itself when no thread started
    std::atomic<bool> fFailed{false};
    XPosixTreeError fError;
};

XPosixTreeError ScanRun::Run(unsigned inThreads, std::vector<VManifestEntry>& outEntries,
                             uint32_t& outRootMode) {
    auto root = std::make_shared<XPosixFolderReader>();
    struct stat status;
    if (int error = root->Open(AT_FDCWD, fRoot.c_str(), true); error != 0) {
        Fail(error, "", "open");
        return fError;
    }
    if (::fstat(root->Get(), &status) != 0) {
        int error = errno;
        Fail(error, "", "fstat");
        return fError;
    }
    outRootMode = status.st_mode & 07777;
    std::vector<pthread_t> workers;
    for (unsigned i = 0; i < inThreads; ++i) {
        pthread_t thread;
        if (::pthread_create(&thread, nullptr, &WorkerEntry, this) != 0)
            break;
        workers.push_back(thread);
    }
    fWorkers = workers.size();
    Walk(root, std::string());
    root.reset();
    {
        std::lock_guard<std::mutex> hold(fLock);
        fWalkOver = true;
    }
    fWorkReady.notify_all();
    Work();
    for (pthread_t thread : workers)
        ::pthread_join(thread, nullptr);
    outEntries.assign(std::make_move_iterator(fEntries.begin()), std::make_move_iterator(fEntries.end()));
    return fError;
}

void ScanRun::Walk(const std::shared_ptr<XPosixFolderReader>& inFolder, const std::string& inRelative) {
    XPosixFolderEntry entry;
    while (!fFailed.load(std::memory_order_relaxed) && inFolder->Next(entry)) {
        std::string relative = JoinPath(inRelative, entry.fName);
        if (!AddItem(inFolder, relative, entry.fName) || entry.fType != DT_DIR)
            continue;
        auto folder = std::make_shared<XPosixFolderReader>();
        if (int error = folder->Open(inFolder->Get(), entry.fName, false); error != 0)
            Fail(error, relative, "open");
        else
            Walk(folder, relative);
    }
    if (inFolder->GetError() != 0)
        Fail(inFolder->GetError(), JoinPath(inRelative, inFolder->GetFailedName()),
             inFolder->GetFailedStep());
}

bool ScanRun::AddItem(const std::shared_ptr<XPosixFolderReader>& inFolder, const std::string& inRelative,
                      const char* inName) {
    struct stat status;
    if (::fstatat(inFolder->Get(), inName, &status, AT_SYMLINK_NOFOLLOW) != 0) {
        int error = errno;
        Fail(error, inRelative, "fstatat");
        return false;
    }
    VManifestEntry& entry = fEntries.emplace_back();
    entry.fPath = inRelative;
    entry.fMode = status.st_mode & 07777;
    if (S_ISDIR(status.st_mode)) {
        entry.fKind = EManifestKind::kFolder;
    } else if (S_ISREG(status.st_mode)) {
        entry.fKind = EManifestKind::kFile;
        Enqueue(FileJob{inFolder, inName, &entry});
    } else if (S_ISLNK(status.st_mode)) {
        entry.fKind = EManifestKind::kLink;
        if (int error =
                ReadLinkText(inFolder->Get(), inName, entry.fTarget, static_cast<size_t>(status.st_size))) {
            Fail(error, inRelative, "readlinkat");
            return false;
        }
    } else {
        entry.fKind = EManifestKind::kOther;
    }
    return true;
}

void ScanRun::Enqueue(FileJob inJob) {
    if (fWorkers == 0) {
        if (fWalkerDigest == nullptr)
            fWalkerDigest = fDigest.Clone();
        std::unique_ptr<unsigned char[]> buffer(new unsigned char[kReadSize]);
        return Read(inJob, *fWalkerDigest, buffer.get());
    }
    {
        std::unique_lock<std::mutex> hold(fLock);
        fRoomReady.wait(hold, [&] { return fQueue.size() < kMaxQueuedFiles || fFailed.load(); });
        fQueue.push_back(std::move(inJob));
    }
    fWorkReady.notify_one();
}

void* ScanRun::WorkerEntry(void* inRun) {
    static_cast<ScanRun*>(inRun)->Work();
    return nullptr;
}

void ScanRun::Work() {
    std::unique_ptr<IContentDigest> digest = fDigest.Clone();
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kReadSize]);
    for (;;) {
        FileJob job;
        {
            std::unique_lock<std::mutex> hold(fLock);
            fWorkReady.wait(hold, [&] { return !fQueue.empty() || fWalkOver || fFailed.load(); });
            if (fQueue.empty() || fFailed.load())
                return;
            job = std::move(fQueue.front());
            fQueue.pop_front();
        }
        fRoomReady.notify_one();
        Read(job, *digest, buffer.get());
    }
}

void ScanRun::Read(const FileJob& inJob, IContentDigest& ioDigest, unsigned char* ioBuffer) {
    // O_NONBLOCK: an item swapped for a FIFO since the listing must not block the open.
    XPosixDescriptor file = XPosixDescriptor::OpenAt(
        inJob.fFolder->Get(), inJob.fName.c_str(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    struct stat status;
    if (!file.IsValid() || ::fstat(file.Get(), &status) != 0) {
        int error = errno;
        return Fail(error, inJob.fEntry->fPath, file.IsValid() ? "fstat" : "open");
    }
    if (!S_ISREG(status.st_mode))
        return Fail(EINVAL, inJob.fEntry->fPath, "replaced while read");
    (void)::posix_fadvise(file.Get(), 0, 0, POSIX_FADV_SEQUENTIAL); // a hint only
    ioDigest.Reset();
    uint64_t size = 0;
    for (;;) {
        ssize_t count = RetryAfterSignal([&] { return ::read(file.Get(), ioBuffer, kReadSize); });
        if (count < 0) {
            int error = errno;
            return Fail(error, inJob.fEntry->fPath, "read");
        }
        if (count == 0)
            break;
        ioDigest.Update(ioBuffer, static_cast<size_t>(count));
        size += static_cast<uint64_t>(count);
    }
    inJob.fEntry->fMode = status.st_mode & 07777;
    inJob.fEntry->fSize = size;
    inJob.fEntry->fDigest = ioDigest.Finish();
}

void ScanRun::Fail(int inErrno, const std::string& inRelative, const char* inStep) {
    {
        std::lock_guard<std::mutex> hold(fLock);
        if (!fFailed.load()) {
            fError = XPosixTreeError{inErrno, JoinPath(fRoot, inRelative), inStep};
            fFailed.store(true);
        }
    }
    fWorkReady.notify_all();
    fRoomReady.notify_all();
}

} // namespace

XPosixTreeError XPosixBundleScan::Scan(const std::string& inRoot, const IContentDigest& inDigest,
                                       std::vector<VManifestEntry>& outEntries, uint32_t& outRootMode,
                                       unsigned inThreads) {
    outEntries.clear();
    outRootMode = 0;
    unsigned threads = inThreads != 0 ? inThreads : std::min(AvailableProcessors(), kMaxThreads);
    ScanRun run(std::string(WithoutTrailingSlashes(inRoot)), inDigest);
    XPosixTreeError error = run.Run(threads, outEntries, outRootMode);
    if (error.IsError())
        outEntries.clear();
    return error;
}

} // namespace vkit
