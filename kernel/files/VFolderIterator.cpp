// VFolderIterator: the folder iteration's options.
#include "files/VFolderIterator.h"

#include "files/VFolder.h"

namespace vkit {

VFolderIterator::VFolderIterator(const VFolder* inFolder, FileIteratorOptions inOptions)
    : VFSObjectIterator<VFolder>(inFolder, inOptions & ~kIterateFiles) {}

} // namespace vkit
