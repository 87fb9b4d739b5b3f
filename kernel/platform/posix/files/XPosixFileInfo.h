// XPosixFileInfo: the per-item system calls shared by files and folders (existence, modes, times, rename).
#pragma once

#include "errors/VErrorCodes.h"
#include "files/VFileOptions.h"

#include <cerrno>
#include <cstdint>
#include <string>

namespace vkit {

/// Times of an item in milliseconds since 1970-01-01 00:00 UTC.
struct XPosixItemTimes {
    int64_t fModification = 0;
    /// The birth time where the file system records it, else the modification time.
    int64_t fCreation = 0;
    int64_t fAccess = 0;
};

/// Calls on one item given by its POSIX path (no trailing "/" where links must not be followed). Each
/// answers 0 or the POSX error of the failing call.
class XPosixFileInfo {
public:
    XPosixFileInfo() = delete;

    /// The item itself (lstat) is a regular file or a symbolic link, dangling ones included.
    static bool IsFileOrLink(const std::string& inPath) noexcept;
    /// The item is a directory; with inFollow a final symbolic link is followed.
    static bool IsDirectory(const std::string& inPath, bool inFollow) noexcept;

    /// The permission bits (mode & 0777) of the item itself.
    [[nodiscard]] static VError GetPermissions(const std::string& inPath, uint16_t& outMode);
    /// Sets mode & 0777 on the item itself; a symbolic link has no bits of its own (ENOTSUP).
    [[nodiscard]] static VError SetPermissions(const std::string& inPath, uint16_t inMode);
    /// Adds read and write for owner, group and others (0666) to the item itself.
    [[nodiscard]] static VError MakeWritableByAll(const std::string& inPath);

    /// The size of the item, links followed.
    [[nodiscard]] static VError GetSize(const std::string& inPath, int64_t& outSize);
    /// The times of the item, links followed.
    [[nodiscard]] static VError GetTimes(const std::string& inPath, XPosixItemTimes& outTimes);
    /// The times of the item inName of the folder inFolder (AT_FDCWD: a path); a final link is followed
    /// only with inFollow.
    [[nodiscard]] static VError GetTimesAt(int inFolder, const char* inName, bool inFollow,
                                           XPosixItemTimes& outTimes);
    /// Sets the modification and access times (a null one is left as it is), links followed. The birth
    /// time cannot be set on Linux.
    [[nodiscard]] static VError SetTimes(const std::string& inPath, const int64_t* inModification,
                                         const int64_t* inAccess);

    /// kFileAttributeLocked when immutable, kFileAttributeInvisible when the name begins with ".";
    /// links followed when inFollow.
    [[nodiscard]] static VError GetAttributes(const std::string& inPath, bool inFollow,
                                              FileAttributes& outAttributes);
    /// Sets or clears the locked state; invisibility is the name's and cannot be set.
    [[nodiscard]] static VError SetAttributes(const std::string& inPath, FileAttributes inAttributes);

    /// Renames without ever replacing an existing item (renameat2 RENAME_NOREPLACE; where the file system
    /// refuses the flag, a plain rename after checking that the target is missing). EEXIST when it exists.
    [[nodiscard]] static VError RenameNoReplace(const std::string& inFrom, const std::string& inTo);
    /// The same between folders (AT_FDCWD: paths), for the tree copy's rename into place; the flag is
    /// also replaced where the kernel lacks renameat2 (ENOSYS). Returns 0 or the errno.
    static int RenameNoReplaceAt(int inFromFolder, const char* inFrom, int inToFolder,
                                 const char* inTo) noexcept;
    /// rename, replacing an existing file.
    [[nodiscard]] static VError Rename(const std::string& inFrom, const std::string& inTo);

    /// Swaps two existing items in one step (renameat2 RENAME_EXCHANGE, AT_FDCWD: paths): each then bears
    /// the other's name, and no moment exists at which either name is missing. Returns 0 or the errno;
    /// see IsExchangeRefused.
    static int ExchangeAt(int inFolder, const char* inName, int inOtherFolder,
                          const char* inOtherName) noexcept;
    /// True for the errors of ExchangeAt that say the file system (EINVAL) or the kernel (ENOSYS) cannot
    /// exchange items. EINVAL also answers an exchange of a folder with an item inside it.
    static constexpr bool IsExchangeRefused(int inErrno) noexcept {
        return inErrno == EINVAL || inErrno == ENOSYS;
    }

    /// What the file system holding the item (links followed) tells of itself (statvfs): the bytes this
    /// user may still take (f_bavail blocks of f_frsize bytes), the size, and whether it is mounted
    /// read-only (ST_RDONLY).
    [[nodiscard]] static VError GetVolumeInfo(const std::string& inPath, VVolumeInfo& outInfo);
};

} // namespace vkit
