// XPosixFileCopier: the copy of one regular file or symbolic link, for the single-file copy and the tree
// copy alike, with the one cascade of data-copy methods.
#pragma once

#include "errors/VErrorCodes.h"

#include <atomic>
#include <string>
#include <sys/stat.h>

namespace vkit {

/// Where a copy failed: the step (a system call such as "copy_file_range") and whether it acted on the
/// source item.
struct XPosixCopyStep {
    const char* fOperation = "";
    bool fOnSource = false;
};

/// Copies single items the way "cp -a" does: a regular file's data by a reflink (FICLONE) where the file
/// system shares blocks, else copy_file_range, else read and write; a symbolic link as a link (its target
/// text unchanged, never followed); permission bits (07777), access and modification times, and owners
/// when the process runs as root.
///
/// The cascade: a method that the file systems refuse as a whole (EOPNOTSUPP, ENOTTY, EXDEV, ENOSYS) is
/// not tried again by this object for later files; one refused for this file only (EINVAL, and ETXTBSY
/// for a reflink) is passed over for this file alone. copy_file_range stopped by such an error hands over
/// to read and write at the byte where it stopped. Any other error fails the copy.
///
/// Items are named relative to open folder descriptors (AT_FDCWD: paths) and opened with O_NOFOLLOW, so
/// that no symbolic link met is ever followed. An item whose kind changed since the caller looked is
/// copied as what it now is when it is a file or a link; a folder fails with EISDIR. A target created and
/// then failed is removed. One object may serve several threads.
class XPosixFileCopier {
public:
    enum EMethod : int { eClone = 0, eCopyRange = 1, eReadWrite = 2 };

    /// inForTree: FIFOs, sockets and devices are skipped (0, nothing made), as the tree copy's listing
    /// skips them, and the creation mask is read once, so that a file created with its bits needs no
    /// chmod; otherwise they fail with ENOTSUP. inReplace: an existing target (other than a folder) is
    /// unlinked once the source has proved copyable, so that a missing or unreadable source costs nothing.
    explicit XPosixFileCopier(bool inForTree, bool inReplace = false) noexcept;

    /// The single-file copy: the item at inSource to inTarget, which must not exist (EEXIST) unless
    /// inReplace. Answers 0 or the POSX error of the failing call.
    [[nodiscard]] static VError CopyItem(const std::string& inSource, const std::string& inTarget,
                                         bool inReplace);

    /// Copies the item inName of the folder inSourceFolder to a new item inName of inDestFolder, as a
    /// link when inIsLink (as the caller's listing says), else as a regular file. Returns 0 or the errno
    /// of the failing step, described in outStep.
    int Copy(int inSourceFolder, int inDestFolder, const char* inName, bool inIsLink,
             XPosixCopyStep& outStep);

    /// Gives the item inName of inFolder ("": inFolder itself) the owner (as root), permission bits (none
    /// for a link) and times of inStatus; inCreatedWithMode: it was created with those bits, so that only
    /// what the creation mask took away needs a call. Returns 0 or the errno of the failing step.
    int ApplyAttributes(int inFolder, const char* inName, const struct stat& inStatus, bool inCreatedWithMode,
                        XPosixCopyStep& outStep) const;

    /// The first method of the cascade that this object still tries.
    EMethod GetMethod() const noexcept {
        return static_cast<EMethod>(fMethod.load(std::memory_order_relaxed));
    }

private:
    struct Item {
        int fSourceFolder;
        const char* fSourceName;
        int fDestFolder;
        const char* fDestName;
    };

    // inMayRedirect: an item whose kind changed since the listing may be handed to the other copy once.
    int CopyRegular(const Item& inItem, bool inMayRedirect, XPosixCopyStep& outStep);
    int CopyLink(const Item& inItem, bool inMayRedirect, XPosixCopyStep& outStep);
    /// The answer for an item that is no file or link: EISDIR for a folder, else ENOTSUP or 0 (skipped).
    int Refuse(const struct stat& inStatus, XPosixCopyStep& outStep) const;
    int CopyData(int inSource, int inDest, off_t inSize, XPosixCopyStep& outStep);
    /// Whether a failure of inMethod hands over to the next method; a refusal of the method as a whole
    /// is remembered.
    bool FallsThrough(int inErrno, EMethod inMethod) noexcept;

    std::atomic<int> fMethod{eClone};
    bool fSkipSpecialFiles;
    bool fReplace;
    bool fCopyOwners;
    uid_t fUser;
    gid_t fGroup;
    /// The process's file creation mask, or -1 when unknown (a chmod then follows every creation).
    int fCreationMask = -1;
};

} // namespace vkit
