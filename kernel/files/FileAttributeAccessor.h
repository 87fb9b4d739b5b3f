// FileAttributeAccessor: the current item's times, read from what the folder iteration already knows.
#pragma once

#include "errors/VErrorCodes.h"

namespace vkit {

class VFilePath;
class VTime;
class XPosixFSObjectIterator;

/// Handed out by an iterator for its current item: the item's times come from the status record read
/// while iterating (or read once, without following a final link, when the listing did not need it),
/// without another lookup by path. Valid until the iterator moves on.
class FileAttributeAccessor {
public:
    /// inReader and inItemPath belong to the iterator and must outlive the accessor.
    FileAttributeAccessor(XPosixFSObjectIterator& inReader, const VFilePath& inItemPath) noexcept
        : fReader(inReader), fItemPath(inItemPath) {}
    FileAttributeAccessor(const FileAttributeAccessor&) = delete;
    FileAttributeAccessor& operator=(const FileAttributeAccessor&) = delete;

    /// The current item's modification, creation (birth; the modification time where the file system
    /// does not record it) and last-access times in UTC with milliseconds; each output may be null.
    /// Answers 0, or 600 when the times cannot be read: the system error and a file error naming the
    /// item are pushed.
    [[nodiscard]] VError GetTime(VTime* outModification, VTime* outCreation, VTime* outAccess) const;

private:
    XPosixFSObjectIterator& fReader;
    const VFilePath& fItemPath;
};

} // namespace vkit
