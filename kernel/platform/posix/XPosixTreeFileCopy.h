// XPosixTreeFileCopy: copies one regular file or symbolic link of a tree between directory descriptors.
#pragma once

#include <atomic>
#include <sys/stat.h>

namespace vkit {

/// The per-item work of the tree copy. Items are named relative to open directory descriptors and opened
/// with O_NOFOLLOW, so that no symbolic link met in the tree is ever followed. Data is copied with a
/// reflink (FICLONE) where the file system supports it, else copy_file_range, else read/write; the first
/// method that the file system refuses as a whole is not tried again for later files. Owners are copied
/// only when the process runs as root; permission bits (07777) and access and modification times always.
/// One object serves every worker thread of one copy.
class XPosixTreeFileCopy {
public:
    /// Where a failure happened: the step (a system call name) and whether it acted on the source item.
    struct Failure {
        const char* fOperation = "";
        bool fOnSource = false;
    };

    XPosixTreeFileCopy() noexcept;

    /// Copies the regular file inName of inSourceDir to a new file inName of inDestDir (which must not
    /// exist), then its owner, mode and times. Returns 0, or the errno of the failing step described in
    /// outFailure. When the source item is no longer a regular file, a directory fails with EISDIR and a
    /// FIFO, socket or device is skipped (0, nothing created).
    int CopyRegular(int inSourceDir, int inDestDir, const char* inName, Failure& outFailure);

    /// Copies the symbolic link inName of inSourceDir as a link (its target text unchanged, never
    /// followed), then its owner and times. Returns 0 or the errno of the failing step. An item that is
    /// no longer a link is copied as what it now is when it is a regular file; a directory fails with
    /// EISDIR; other kinds are skipped.
    int CopyLink(int inSourceDir, int inDestDir, const char* inName, Failure& outFailure);

    /// Gives the item inRelative of inDir (a folder this copy created; "" for inDir itself) the owner
    /// (as root), mode and times of inStat. Returns 0 or the errno of the failing step.
    int ApplyFolderAttributes(int inDir, const char* inRelative, const struct stat& inStat,
                              Failure& outFailure) const;

    /// Runs inCall again while it fails with EINTR.
    template <typename Call>
    static auto RetryOnSignal(Call&& inCall) {
        for (;;) {
            auto result = inCall();
            if (!(result == -1 && IsInterrupted()))
                return result;
        }
    }

private:
    enum Method : int { kClone = 0, kCopyRange = 1, kReadWrite = 2 };

    static bool IsInterrupted() noexcept;
    // inMayRedirect: an item whose kind changed since the listing may be handed to the other copier once.
    int CopyRegular(int inSourceDir, int inDestDir, const char* inName, bool inMayRedirect,
                    Failure& outFailure);
    int CopyLink(int inSourceDir, int inDestDir, const char* inName, bool inMayRedirect, Failure& outFailure);
    int CopyData(int inSource, int inDest, off_t inSize, Failure& outFailure);
    static int CopyByReadWrite(int inSource, int inDest, Failure& outFailure);
    int ApplyFileAttributes(int inDest, const struct stat& inStat, bool inCreatedWithMode,
                            Failure& outFailure) const;
    /// The process's file creation mask, or -1 when it cannot be read.
    static int ReadCreationMask() noexcept;

    std::atomic<int> fMethod{kClone};
    bool fCopyOwners;
    uid_t fUser;
    gid_t fGroup;
    int fCreationMask;
};

} // namespace vkit
