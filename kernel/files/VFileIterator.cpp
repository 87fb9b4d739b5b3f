// VFileIterator: the file iteration's options.
#include "files/VFileIterator.h"

#include "files/VFile.h"

namespace vkit {

VFileIterator::VFileIterator(const VFolder* inFolder, FileIteratorOptions inOptions)
    : VFSObjectIterator<VFile>(inFolder, inOptions & ~kIterateFolders) {}

} // namespace vkit
