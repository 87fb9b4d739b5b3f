// XPosixTreeCopyRun: one tree copy in progress: the walker, the worker threads and their queue.
#pragma once

#include "platform/posix/files/XPosixFileCopier.h"
#include "platform/posix/files/XPosixTreeError.h"
#include "platform/posix/shared/XPosixFolderReader.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace vkit {

/// Copies the content of one open folder into another, empty, open folder. The calling thread walks
/// the source depth first through directory descriptors, creating each folder in the destination as it
/// meets it; regular files and links are queued for a pool of worker threads, which the walker joins
/// once the walk is over. FIFOs, sockets and devices are skipped. When everything is copied, the folders
/// get their owners (as root), modes and times, deepest first, so that writing their content neither
/// meets a read-only folder nor moves their times; the destination root gets those of the source root.
///
/// Open descriptors stay bounded: a folder's pair of descriptors is closed as soon as the walker has
/// left it and its last queued item is copied, and the walker waits while too many are open.
class XPosixTreeCopyRun {
public:
    /// inSourceRoot and inDestRoot are borrowed descriptors; the paths only name items in failures
    /// (inDestPath as the caller knows the destination, not the temporary it is built in). inThreads
    /// worker threads are started besides the caller (at least one is used even when none starts).
    XPosixTreeCopyRun(int inSourceRoot, int inDestRoot, std::string inSourcePath, std::string inDestPath,
                      unsigned inThreads);
    ~XPosixTreeCopyRun();
    XPosixTreeCopyRun(const XPosixTreeCopyRun&) = delete;
    XPosixTreeCopyRun& operator=(const XPosixTreeCopyRun&) = delete;

    /// Runs the copy; returns success or the first failure (errno, path, step), after which no new
    /// item is started.
    XPosixTreeError Run();

private:
    /// One folder being copied: its source listing and its destination.
    struct Folder {
        XPosixFolderReader fSource;
        XPosixDescriptor fDest;
        std::string fRelative; // "" for the root, else "a/b"
        int fReferences = 1;   // the walker's, plus one per queued item; under fLock
    };
    /// A folder's attributes, set once everything is copied.
    struct FolderAttributes {
        std::string fRelative;
        struct stat fStatus;
    };
    struct Item {
        Folder* fFolder = nullptr;
        std::string fName;
        bool fIsLink = false;
    };
    /// The source root's listing and the destination root, or null with fError set.
    Folder* OpenRoot();
    void Walk(Folder* inFolder);
    bool EnterFolder(Folder* inParent, const char* inName);
    void Enqueue(Folder* inFolder, const char* inName, bool inIsLink);
    void Work();
    void CopyItem(const Item& inItem);
    void Release(Folder* inFolder);
    void WaitForRoom(bool inForItem);
    void ApplyFolderAttributes();
    /// Records the first failure and stops the copy; answers false.
    bool Fail(int inErrno, const Folder* inFolder, const char* inName, bool inOnSource,
              const char* inOperation);
    static void* WorkerEntry(void* inRun);

    int fSourceRoot;
    int fDestRoot;
    std::string fSourcePath;
    std::string fDestPath;
    unsigned fThreads;
    size_t fMaxOpenFolders;
    size_t fStartedWorkers = 0;

    XPosixFileCopier fCopier{true};
    std::vector<FolderAttributes> fFolderAttributes; // walker only, in creation order

    std::mutex fLock;
    std::condition_variable fWorkReady; // an item was queued or the walk ended
    std::condition_variable fRoomReady; // a folder was closed or an item taken
    std::deque<Item> fQueue;
    size_t fOpenFolders = 0;
    size_t fWalkDepth = 0;
    bool fWalkOver = false;
    std::atomic<bool> fFailed{false};
    XPosixTreeError fError;
};

} // namespace vkit
