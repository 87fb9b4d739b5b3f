// XPosixTreeCopy: temporary sibling, copy run, syncfs, and the rename or exchange into place.
#include "platform/posix/files/XPosixTreeCopy.h"

#include "platform/posix/files/XPosixFileInfo.h"
#include "platform/posix/files/XPosixForcedDelete.h"
#include "platform/posix/files/XPosixItemRelation.h"
#include "platform/posix/files/XPosixTemporaryName.h"
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
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace vkit {

namespace {

constexpr unsigned kMaxThreads = 8;
constexpr std::string_view kTemporaryInfix = ".copy-";
// The former folder set aside where the file system cannot exchange: never taken for an abandoned
// temporary, since the destination may be missing while it lies there.
constexpr std::string_view kAsideInfix = ".former-";
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
    for (int attempt = 0; attempt < kMaxTemporaryAttempts; ++attempt) {
        if (!MakeTemporaryName(inPrefix, outName))
            return XPosixDescriptor();
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

/// Opens the source and the destination's parent, and checks that the destination lies outside the
/// source and is missing, or, with inReplace, a folder (not a link) that does not hold the source:
/// outReplacing then tells whether it exists.
XPosixTreeError OpenEnds(const std::string& inSource, const std::string& inParentPath,
                         const std::string& inName, const std::string& inDestination, bool inReplace,
                         XPosixDescriptor& outSource, XPosixDescriptor& outParent, bool& outReplacing) {
    outReplacing = false;
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
    if (::fstatat(outParent.Get(), inName.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!inReplace || !S_ISDIR(status.st_mode))
            return MakeError(EEXIST, inDestination, "copy");
        // Its removal would take the source with it.
        if (XPosixItemRelation::IsSameOrInside(outSource.Get(), status))
            return MakeError(EINVAL, inDestination, "copy onto a folder holding the source");
        outReplacing = true;
    } else if (int error = errno; error != ENOENT) {
        return MakeError(error, inDestination, "fstatat");
    }
    if (::fstat(outSource.Get(), &status) != 0) {
        int error = errno;
        return MakeError(error, inSource, "fstat");
    }
    if (XPosixItemRelation::IsSameOrInside(outParent.Get(), status))
        return MakeError(EINVAL, inDestination, "copy into itself");
    return XPosixTreeError();
}

/// Where the file system cannot exchange two items: renames inName aside under a new hidden name
/// (".<name>.former-XXXXXX", outAsideName), then the temporary into its place; when that second rename
/// fails, the first is undone. Answers 0 or the errno of the rename that failed, in outStep.
int ReplaceByRenames(int inParent, const std::string& inTemporaryName, const std::string& inName,
                     std::string& outAsideName, const char*& outStep) {
    outStep = "rename aside";
    std::string prefix = TemporaryPrefix(inName, kAsideInfix);
    int error = EEXIST;
    for (int attempt = 0; attempt < kMaxTemporaryAttempts && error == EEXIST; ++attempt) {
        if (!MakeTemporaryName(prefix, outAsideName))
            return errno;
        error = XPosixFileInfo::RenameNoReplaceAt(inParent, inName.c_str(), inParent, outAsideName.c_str());
    }
    if (error != 0)
        return error;
    outStep = "renameat2";
    error = XPosixFileInfo::RenameNoReplaceAt(inParent, inTemporaryName.c_str(), inParent, inName.c_str());
    if (error != 0)
        (void)XPosixFileInfo::RenameNoReplaceAt(inParent, outAsideName.c_str(), inParent,
                                                inName.c_str()); // the failure reported is the rename's
    return error;
}

/// Replaces the folder inName by the temporary: exchanged with it or, where the file system cannot
/// exchange, by two renames. outFormerName receives the name the former folder then bears. Answers 0 or
/// the errno of the failing step (ENOENT when the folder vanished meanwhile), in outStep.
int Replace(int inParent, const std::string& inTemporaryName, const std::string& inName,
            std::string& outFormerName, const char*& outStep) {
    outStep = "renameat2 RENAME_EXCHANGE";
    outFormerName = inTemporaryName;
    int error = XPosixFileInfo::ExchangeAt(inParent, inTemporaryName.c_str(), inParent, inName.c_str());
    return XPosixFileInfo::IsExchangeRefused(error)
               ? ReplaceByRenames(inParent, inTemporaryName, inName, outFormerName, outStep)
               : error;
}

/// Puts the complete temporary inTemporaryName in the place of inName, without replacing anything that
/// appeared meanwhile unless inReplacing, and flushes the parent, so that the new name is on disk.
/// outInPlace tells whether the copy reached its place; a folder it replaced is then removed.
XPosixTreeError PutInPlace(int inParent, const std::string& inParentPath, const std::string& inTemporaryName,
                           const std::string& inName, const std::string& inDestination, bool inReplacing,
                           bool& outInPlace) {
    std::string formerName;
    const char* step = "renameat2";
    int error = ENOENT;
    // Locked, the replaced folder is never taken for an abandoned temporary by another copy while it is
    // removed; the lock goes with the process should it be killed before the end.
    XPosixDescriptor former;
    if (inReplacing) {
        former = XPosixDescriptor::OpenAt(inParent, inName.c_str(),
                                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (former.IsValid())
            (void)::flock(former.Get(), LOCK_EX | LOCK_NB); // unlocked, it is removed all the same
        error = Replace(inParent, inTemporaryName, inName, formerName, step);
    }
    // Never there, or gone since it was seen: the copy takes the free place.
    if (error == ENOENT) {
        formerName.clear();
        step = "renameat2";
        error =
            XPosixFileInfo::RenameNoReplaceAt(inParent, inTemporaryName.c_str(), inParent, inName.c_str());
    }
    if (error != 0)
        return MakeError(error, inDestination, step);
    outInPlace = true;
    XPosixTreeError result;
    if (RetryAfterSignal([&] { return ::fsync(inParent); }) != 0) {
        int flushError = errno;
        result = MakeError(flushError, inParentPath, "fsync");
    }
    if (!formerName.empty()) {
        XPosixTreeError removal = XPosixForcedDelete::Delete(JoinPath(inParentPath, formerName));
        if (!result.IsError())
            result = removal;
    }
    return result;
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
    bool inPlace = false;
    return _Copy(inSource, inDestination, false, inPlace, inThreads);
}

XPosixTreeError XPosixTreeCopy::CopyReplacing(std::string_view inSource, std::string_view inDestination,
                                              bool& outInPlace, unsigned inThreads) {
    return _Copy(inSource, inDestination, true, outInPlace, inThreads);
}

XPosixTreeError XPosixTreeCopy::_Copy(std::string_view inSource, std::string_view inDestination,
                                      bool inReplace, bool& outInPlace, unsigned inThreads) {
    outInPlace = false;
    std::string source(WithoutTrailingSlashes(inSource));
    std::string destination(WithoutTrailingSlashes(inDestination));
    XPosixPathParts parts = SplitPath(destination);
    std::string parentPath(parts.fParent);
    std::string name(parts.fName);
    if (NamesNoItem(name))
        return MakeError(EINVAL, destination, "copy");
    XPosixDescriptor sourceRoot;
    XPosixDescriptor parent;
    bool replacing = false;
    if (XPosixTreeError error =
            OpenEnds(source, parentPath, name, destination, inReplace, sourceRoot, parent, replacing);
        error.IsError())
        return error;

    std::string prefix = TemporaryPrefix(name, kTemporaryInfix);
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
    if (!result.IsError())
        result =
            PutInPlace(parent.Get(), parentPath, temporaryName, name, destination, replacing, outInPlace);
    if (result.IsError() && !outInPlace)
        (void)XPosixForcedDelete::Delete(
            JoinPath(parentPath, temporaryName)); // the copy's failure is reported
    return result;
}

} // namespace vkit
