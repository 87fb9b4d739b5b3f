// XPosixFolderReader: the one reader of folder entries in the platform layer.
#pragma once

#include "platform/posix/shared/XPosixDescriptor.h"

#include <cstddef>
#include <dirent.h>
#include <memory>
#include <string>

namespace vkit {

/// One entry of a folder: its name, valid until the next read, and its kind as a directory-entry type
/// (DT_DIR, DT_REG, DT_LNK, DT_FIFO, DT_SOCK, DT_CHR or DT_BLK), never DT_UNKNOWN.
struct XPosixFolderEntry {
    const char* fName = nullptr;
    unsigned char fType = 0;
};

/// Reads the entries of one folder in the order the file system gives them, straight from the folder's
/// descriptor with getdents64 (32 KiB of entries a call, no listing stream; the buffer is freed once the
/// listing is over). "." and ".." are never returned. An entry whose kind the file system leaves unknown
/// is looked up with fstatat, links not followed; an entry that vanished since it was listed (ENOENT) is
/// skipped. Any other failure ends the listing, and GetError, GetFailedStep and GetFailedName tell it.
/// The descriptor may serve calls on the items (openat, unlinkat) from other threads meanwhile.
class XPosixFolderReader {
public:
    XPosixFolderReader() noexcept = default;
    /// Reads the folder open (for reading, O_DIRECTORY) at inFolder.
    explicit XPosixFolderReader(XPosixDescriptor inFolder) noexcept : fFolder(std::move(inFolder)) {}

    /// Opens the folder inName of the folder inParent (AT_FDCWD: a path) and reads it from now on; a final
    /// symbolic link is followed only with inFollow (else ELOOP). Returns 0 or the errno of openat.
    int Open(int inParent, const char* inName, bool inFollow) noexcept;
    bool IsOpen() const noexcept { return fFolder.IsValid(); }
    /// The folder's descriptor.
    int Get() const noexcept { return fFolder.Get(); }

    /// The next entry; false at the end of the listing or on a failure, and from then on.
    bool Next(XPosixFolderEntry& outEntry);

    /// The errno that ended the listing early; 0 while it goes on and after a complete one.
    int GetError() const noexcept { return fError; }
    /// The step that failed, "getdents64" or "fstatat"; "" without a failure.
    const char* GetFailedStep() const noexcept { return fFailedStep; }
    /// The name of the entry whose lookup failed; "" when the folder itself failed or nothing did.
    const std::string& GetFailedName() const noexcept { return fFailedName; }

private:
    bool Fill();
    bool Fail(int inErrno, const char* inStep, const char* inName);

    XPosixDescriptor fFolder;
    std::unique_ptr<char[]> fBuffer;
    size_t fLength = 0;
    size_t fOffset = 0;
    bool fOver = false;
    int fError = 0;
    const char* fFailedStep = "";
    std::string fFailedName;
};

} // namespace vkit
