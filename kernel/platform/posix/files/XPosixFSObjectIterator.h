// XPosixFSObjectIterator: reads a folder's entries for the file and folder iterators.
#pragma once

#include "platform/posix/files/XPosixFileInfo.h"
#include "platform/posix/shared/XPosixFolderReader.h"

#include <cstdint>
#include <string>

namespace vkit {

/// The directory reader under VFileIterator and VFolderIterator. It lists the folder's real path (links
/// in the folder's own path resolved), in the order the directory gives its entries. FIFOs, sockets and
/// devices are never reported. Options are the iterators' flags (2 folders, 4 files and links, 8 invisible
/// items, 16 links resolved to their targets); an item is invisible when its name begins with ".".
class XPosixFSObjectIterator {
public:
    static constexpr uint32_t kFolders = 2;
    static constexpr uint32_t kFiles = 4;
    static constexpr uint32_t kInvisible = 8;
    static constexpr uint32_t kResolveLinks = 16;

    /// Opens the folder inPosixPath; a folder that cannot be opened, or whose real path cannot be read,
    /// lists nothing (GetError tells why).
    XPosixFSObjectIterator(const std::string& inPosixPath, uint32_t inOptions);
    ~XPosixFSObjectIterator();
    XPosixFSObjectIterator(const XPosixFSObjectIterator&) = delete;
    XPosixFSObjectIterator& operator=(const XPosixFSObjectIterator&) = delete;

    /// Moves to the next item that qualifies: outPosixPath receives its full POSIX path (a resolved
    /// link's target path), outIsFolder whether it is a folder. False when the folder is exhausted (or
    /// could not be read), after which the reader is closed.
    bool GetNextPath(std::string& outPosixPath, bool& outIsFolder);

    /// The current item's times (a resolved link's target's), read without following a final link.
    /// EINVAL before the first item or after the last; otherwise 0 or the POSX error of the call.
    [[nodiscard]] VError GetTimes(XPosixItemTimes& outTimes);

    /// The POSX error that ended the listing early: the folder could not be opened or read, or an entry
    /// of unknown kind could not be looked up. 0 while the listing goes on and after a complete one;
    /// entries that vanish while it is read are skipped.
    [[nodiscard]] VError GetError() const noexcept {
        return fError != 0 ? MakeVErrorFromPosix(fError) : VE_OK;
    }

private:
    bool ResolveLink(std::string& ioPath, bool& outIsFolder);
    void Close() noexcept;

    uint32_t fOptions;
    int fError = 0;
    XPosixFolderReader fListing;
    std::string fFolderPath; // the real path, ending with "/"
    std::string fCurrentName;
    std::string fCurrentPath; // a resolved link's target
    bool fHasCurrent = false;
    bool fCurrentResolved = false;
};

} // namespace vkit
