// XPosixTreeCopy: temporary sibling, copy run, syncfs and rename without replacing.
#include "platform/posix/files/XPosixTreeCopy.h"

#include "platform/posix/files/XPosixFileInfo.h"
#include "platform/posix/files/XPosixForcedDelete.h"
#include "platform/posix/files/XPosixItemRelation.h"
#include "platform/posix/files/XPosixTreeCopyRun.h"
#include "platform/posix/runtime/XPosixSystem.h"
#include "platform/posix/shared/XPosixDescriptor.h"
#include "platform/posix/shared/XPosixFolderReader.h"
#include "platform/posix/shared/XPosixPathText.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>
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
// A background flush quicker than this found (almost) nothing to write; the next one waits a little.
constexpr uint64_t kIdleFlushNanoseconds = 2'000'000;
constexpr long kFlushPauseNanoseconds = 5'000'000;

XPosixTreeError MakeError(int inErrno, std::string inPath, const char* inOperation) {
    return XPosixTreeError{inErrno, std::move(inPath), inOperation};
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

/// Removes the temporaries of earlier copies to the same destination that were killed: a running copy
/// holds its temporary's lock, a dead one's lock went with its process. Failures are left alone.
void RemoveAbandonedTemporaries(int inParent, const std::string& inParentPath, const std::string& inPrefix) {
    XPosixFolderReader listing;
    if (listing.Open(inParent, ".", false) != 0)
        return;
    XPosixFolderEntry entry;
    while (listing.Next(entry)) {
        std::string_view name(entry.fName);
        if (entry.fType != DT_DIR || name.size() != inPrefix.size() + kTemporarySuffixLength ||
            !name.starts_with(inPrefix))
            continue;
        XPosixDescriptor candidate =
            XPosixDescriptor::OpenAt(inParent, entry.fName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        // Another copy's temporary, left as it is.
        if (candidate.IsValid() && ::flock(candidate.Get(), LOCK_EX | LOCK_NB) == 0)
            (void)XPosixForcedDelete::Delete(JoinPath(inParentPath, name));
    }
}

/// Creates the temporary folder (mode 0700, so that no other user can act inside it during the copy)
/// and returns its descriptor, locked; outName receives its name. Invalid, with errno set, on failure.
XPosixDescriptor CreateTemporary(int inParent, const std::string& inPrefix, std::string& outName) {
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < kMaxTemporaryAttempts; ++attempt) {
        unsigned char random[kTemporarySuffixLength];
        if (::getrandom(random, sizeof(random), 0) != static_cast<ssize_t>(sizeof(random)))
            return XPosixDescriptor();
        outName = inPrefix;
        for (unsigned char byte : random)
            outName.push_back(kLetters[byte % (sizeof(kLetters) - 1)]);
        if (::mkdirat(inParent, outName.c_str(), 0700) != 0) {
            if (errno == EEXIST)
                continue;
            return XPosixDescriptor();
        }
        XPosixDescriptor folder = XPosixDescriptor::OpenAt(inParent, outName.c_str(),
                                                           O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (folder.IsValid() && ::flock(folder.Get(), LOCK_EX) == 0)
            return folder;
        int error = errno;
        folder.Close();
        ::unlinkat(inParent, outName.c_str(), AT_REMOVEDIR);
        errno = error;
        return XPosixDescriptor();
    }
    errno = EEXIST;
    return XPosixDescriptor();
}

/// Opens the source and the destination's parent, and checks that the destination is missing and lies
/// outside the source.
XPosixTreeError OpenEnds(const std::string& inSource, const std::string& inParentPath,
                         const std::string& inName, const std::string& inDestination,
                         XPosixDescriptor& outSource, XPosixDescriptor& outParent) {
    outSource = XPosixDescriptor::OpenAt(AT_FDCWD, inSource.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (!outSource.IsValid()) {
        int error = errno;
        return MakeError(error, inSource, "open");
    }
    outParent = XPosixDescriptor::OpenAt(AT_FDCWD, inParentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
    if (XPosixItemRelation::IsSameOrInside(outParent.Get(), status))
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
    static void* Entry(void* inFlush) {
        auto* flush = static_cast<BackgroundFlush*>(inFlush);
        while (!flush->fStop.load(std::memory_order_relaxed)) {
            uint64_t start = XPosixSystem::GetMonotonicNanoseconds();
            (void)::syncfs(flush->fDescriptor);
            // Nothing written yet: no busy loop.
            if (XPosixSystem::GetMonotonicNanoseconds() - start < kIdleFlushNanoseconds) {
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
    std::string source(WithoutTrailingSlashes(inSource));
    std::string destination(WithoutTrailingSlashes(inDestination));
    XPosixPathParts parts = SplitPath(destination);
    std::string parentPath(parts.fParent);
    std::string name(parts.fName);
    if (NamesNoItem(name))
        return MakeError(EINVAL, destination, "copy");
    XPosixDescriptor sourceRoot;
    XPosixDescriptor parent;
    if (XPosixTreeError error = OpenEnds(source, parentPath, name, destination, sourceRoot, parent);
        error.IsError())
        return error;

    std::string prefix = TemporaryPrefix(name);
    RemoveAbandonedTemporaries(parent.Get(), parentPath, prefix);
    std::string temporaryName;
    XPosixDescriptor temporary = CreateTemporary(parent.Get(), prefix, temporaryName);
    if (!temporary.IsValid()) {
        int error = errno;
        return MakeError(error, JoinPath(parentPath, prefix + "XXXXXX"), "mkdir");
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
        // Never replacing an item that appeared meanwhile.
        if (int error = XPosixFileInfo::RenameNoReplaceAt(parent.Get(), temporaryName.c_str(), parent.Get(),
                                                          name.c_str());
            error != 0)
            result = MakeError(error, destination, "renameat2");
    }
    if (result.IsError())
        (void)XPosixForcedDelete::Delete(
            JoinPath(parentPath, temporaryName)); // the copy's failure is reported
    return result;
}

} // namespace vkit
