// XPosixTreeCopy: temporary sibling, copy run, syncfs and rename without replacing.
#include "platform/posix/XPosixTreeCopy.h"

#include "platform/posix/XPosixDescriptor.h"
#include "platform/posix/XPosixForcedDelete.h"
#include "platform/posix/XPosixTreeCopyRun.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <pthread.h>
#include <string>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace vkit {

namespace {

constexpr unsigned kMaxThreads = 8;
constexpr std::string_view kTemporaryInfix = ".copy-";
constexpr size_t kTemporarySuffixLength = 6;
constexpr size_t kMaxNameLength = 255;
constexpr int kMaxTemporaryAttempts = 64;
// Bounds the walk up from the destination to "/" in the inside-the-source check.
constexpr int kMaxFolderDepth = 4096;
// A background flush quicker than this found (almost) nothing to write; the next one waits a little.
constexpr long kIdleFlushNanoseconds = 2'000'000;
constexpr long kFlushPauseNanoseconds = 5'000'000;

XPosixTreeError MakeError(int inErrno, std::string inPath, const char* inOperation) {
    return XPosixTreeError{inErrno, std::move(inPath), inOperation};
}

std::string_view TrimTrailingSlashes(std::string_view inPath) {
    while (inPath.size() > 1 && inPath.back() == '/')
        inPath.remove_suffix(1);
    return inPath;
}

unsigned ThreadCount(unsigned inThreads) {
    if (inThreads == 0) {
        long processors = ::sysconf(_SC_NPROCESSORS_ONLN);
        inThreads = processors > 0 ? static_cast<unsigned>(processors) : 1;
    }
    return std::clamp(inThreads, 1u, kMaxThreads);
}

/// "." + name + ".copy-", the name cut (on a UTF-8 character boundary) so that the temporary's name,
/// with its random suffix, stays within the file system's limit.
std::string TemporaryPrefix(std::string_view inName) {
    size_t room = kMaxNameLength - 1 - kTemporaryInfix.size() - kTemporarySuffixLength;
    size_t length = std::min(inName.size(), room);
    while (length > 0 && length < inName.size() &&
           (static_cast<unsigned char>(inName[length]) & 0xC0) == 0x80)
        --length;
    std::string prefix(".");
    prefix.append(inName.substr(0, length)).append(kTemporaryInfix);
    return prefix;
}

/// True when the folder inFolder is the source or lies inside it (walking up by "..").
bool IsSameOrInside(int inFolder, const struct stat& inSource) {
    XPosixDescriptor current(::fcntl(inFolder, F_DUPFD_CLOEXEC, 0));
    for (int depth = 0; current.IsValid() && depth < kMaxFolderDepth; ++depth) {
        struct stat status;
        if (::fstat(current.Get(), &status) != 0)
            return false;
        if (status.st_dev == inSource.st_dev && status.st_ino == inSource.st_ino)
            return true;
        XPosixDescriptor parent(::openat(current.Get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        struct stat parentStatus;
        if (!parent.IsValid() || ::fstat(parent.Get(), &parentStatus) != 0 ||
            (parentStatus.st_dev == status.st_dev && parentStatus.st_ino == status.st_ino))
            return false;
        current.Reset(parent.Release());
    }
    return false;
}

/// Removes the temporaries of earlier copies to the same destination that were killed: a running copy
/// holds its temporary's lock, a dead one's lock went with its process. Failures are left alone.
void RemoveAbandonedTemporaries(int inParent, const std::string& inParentPath, const std::string& inPrefix) {
    int listingDescriptor = ::openat(inParent, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* listing = listingDescriptor < 0 ? nullptr : ::fdopendir(listingDescriptor);
    if (listing == nullptr) {
        if (listingDescriptor >= 0)
            ::close(listingDescriptor);
        return;
    }
    while (struct dirent* entry = ::readdir(listing)) {
        std::string_view name(entry->d_name);
        if (name.size() != inPrefix.size() + kTemporarySuffixLength || !name.starts_with(inPrefix))
            continue;
        XPosixDescriptor candidate(
            ::openat(inParent, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (candidate.IsValid() && ::flock(candidate.Get(), LOCK_EX | LOCK_NB) == 0)
            (void)XPosixForcedDelete::Delete(inParentPath + "/" + entry->d_name);
    }
    ::closedir(listing);
}

/// Creates the temporary folder (mode 0700, so that no other user can act inside it during the copy)
/// and returns its descriptor, locked; outName receives its name. -1 with errno on failure.
int CreateTemporary(int inParent, const std::string& inPrefix, std::string& outName) {
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < kMaxTemporaryAttempts; ++attempt) {
        unsigned char random[kTemporarySuffixLength];
        if (::getrandom(random, sizeof(random), 0) != static_cast<ssize_t>(sizeof(random)))
            return -1;
        outName = inPrefix;
        for (unsigned char byte : random)
            outName.push_back(kLetters[byte % (sizeof(kLetters) - 1)]);
        if (::mkdirat(inParent, outName.c_str(), 0700) != 0) {
            if (errno == EEXIST)
                continue;
            return -1;
        }
        int folder = ::openat(inParent, outName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (folder >= 0 && ::flock(folder, LOCK_EX) == 0)
            return folder;
        int error = errno;
        if (folder >= 0)
            ::close(folder);
        ::unlinkat(inParent, outName.c_str(), AT_REMOVEDIR);
        errno = error;
        return -1;
    }
    errno = EEXIST;
    return -1;
}

/// Moves the finished temporary to its final name without ever replacing an item of that name.
int RenameIntoPlace(int inParent, const std::string& inTemporary, const std::string& inName) {
    if (::renameat2(inParent, inTemporary.c_str(), inParent, inName.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL)
        return errno;
    struct stat status;
    if (::fstatat(inParent, inName.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    return ::renameat(inParent, inTemporary.c_str(), inParent, inName.c_str()) == 0 ? 0 : errno;
}

/// Opens the source and the destination's parent, and checks that the destination is missing and lies
/// outside the source.
XPosixTreeError OpenEnds(const std::string& inSource, const std::string& inParentPath,
                         const std::string& inName, const std::string& inDestination,
                         XPosixDescriptor& outSource, XPosixDescriptor& outParent) {
    outSource.Reset(::open(inSource.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!outSource.IsValid()) {
        int error = errno;
        return MakeError(error, inSource, "open");
    }
    outParent.Reset(::open(inParentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!outParent.IsValid()) {
        int error = errno;
        return MakeError(error, inParentPath, "open");
    }
    struct stat status;
    if (::fstatat(outParent.Get(), inName.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0)
        return MakeError(EEXIST, inDestination, "copy");
    if (int error = errno; error != ENOENT)
        return MakeError(error, inDestination, "fstatat");
    if (::fstat(outSource.Get(), &status) != 0) {
        int error = errno;
        return MakeError(error, inSource, "fstat");
    }
    if (IsSameOrInside(outParent.Get(), status))
        return MakeError(EINVAL, inDestination, "copy into itself");
    return XPosixTreeError();
}

/// True when the file system of the descriptor keeps its files in memory only: flushing it writes
/// nothing, but still walks its items.
bool IsInMemory(int inDescriptor) {
    struct statfs status;
    return ::fstatfs(inDescriptor, &status) == 0 &&
           (status.f_type == TMPFS_MAGIC || status.f_type == RAMFS_MAGIC);
}

/// Flushes the destination's file system over and over while the copy runs, so that the disk writes
/// the copy as it is made and the flush before the rename finds little left: the copy and the disk
/// work side by side instead of one after the other. Its failures are left to that last flush. Not
/// started on a file system in memory.
class BackgroundFlush {
public:
    explicit BackgroundFlush(int inDescriptor) : fDescriptor(inDescriptor) {
        fStarted = !IsInMemory(inDescriptor) && ::pthread_create(&fThread, nullptr, &Entry, this) == 0;
    }
    ~BackgroundFlush() { Stop(); }
    BackgroundFlush(const BackgroundFlush&) = delete;
    BackgroundFlush& operator=(const BackgroundFlush&) = delete;

    /// Waits for the flush under way, if any, and ends the thread.
    void Stop() {
        if (!fStarted)
            return;
        fStop.store(true, std::memory_order_relaxed);
        ::pthread_join(fThread, nullptr);
        fStarted = false;
    }

private:
    static long Now() {
        struct timespec now;
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        return now.tv_sec * 1'000'000'000L + now.tv_nsec;
    }

    static void* Entry(void* inFlush) {
        auto* flush = static_cast<BackgroundFlush*>(inFlush);
        while (!flush->fStop.load(std::memory_order_relaxed)) {
            long start = Now();
            (void)::syncfs(flush->fDescriptor);
            // Nothing written yet: no busy loop.
            if (Now() - start < kIdleFlushNanoseconds) {
                struct timespec pause = {0, kFlushPauseNanoseconds};
                ::nanosleep(&pause, nullptr);
            }
        }
        return nullptr;
    }

    int fDescriptor;
    pthread_t fThread{};
    bool fStarted = false;
    std::atomic<bool> fStop{false};
};

} // namespace

XPosixTreeError XPosixTreeCopy::Copy(std::string_view inSource, std::string_view inDestination,
                                     unsigned inThreads) {
    std::string source(TrimTrailingSlashes(inSource));
    std::string destination(TrimTrailingSlashes(inDestination));
    size_t slash = destination.rfind('/');
    std::string name = slash == std::string::npos ? destination : destination.substr(slash + 1);
    std::string parentPath =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : destination.substr(0, slash));
    if (name.empty() || name == "/" || name == "." || name == "..")
        return MakeError(EINVAL, destination, "copy");
    XPosixDescriptor sourceRoot;
    XPosixDescriptor parent;
    if (XPosixTreeError error = OpenEnds(source, parentPath, name, destination, sourceRoot, parent);
        error.IsError())
        return error;

    std::string prefix = TemporaryPrefix(name);
    RemoveAbandonedTemporaries(parent.Get(), parentPath, prefix);
    std::string temporaryName;
    XPosixDescriptor temporary(CreateTemporary(parent.Get(), prefix, temporaryName));
    if (!temporary.IsValid()) {
        int error = errno;
        return MakeError(error, parentPath + "/" + prefix + "XXXXXX", "mkdir");
    }

    BackgroundFlush flush(temporary.Get());
    XPosixTreeError result =
        XPosixTreeCopyRun(sourceRoot.Get(), temporary.Get(), source, destination, ThreadCount(inThreads))
            .Run();
    flush.Stop();
    if (!result.IsError() && ::syncfs(temporary.Get()) != 0) {
        int error = errno;
        result = MakeError(error, destination, "syncfs");
    }
    if (!result.IsError()) {
        if (int error = RenameIntoPlace(parent.Get(), temporaryName, name); error != 0)
            result = MakeError(error, destination, "renameat2");
    }
    if (result.IsError())
        (void)XPosixForcedDelete::Delete(parentPath + "/" + temporaryName);
    return result;
}

} // namespace vkit
