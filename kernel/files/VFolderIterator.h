// VFolderIterator: the sub-folders of a folder, one VFolder at a time.
#pragma once

#include "files/VFSObjectIterator.h"

namespace vkit {

class VFolder;

/// Lists a folder's sub-folders (kIterateFiles is ignored). A symbolic link to a folder is reported,
/// as its target folder, only with kIterateResolveLinks.
class VFolderIterator : public VFSObjectIterator<VFolder> {
public:
    VFolderIterator(const VFolder* inFolder, FileIteratorOptions inOptions = kIterateFolders);
};

} // namespace vkit
