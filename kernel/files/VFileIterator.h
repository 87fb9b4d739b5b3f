// VFileIterator: the files of a folder, one VFile at a time.
#pragma once

#include "files/VFSObjectIterator.h"

namespace vkit {

class VFile;

/// Lists a folder's regular files and symbolic links (kIterateFolders is ignored). With
/// kIterateResolveLinks a link is reported as its target when that is a file, and skipped when it
/// dangles or leads to a folder; without it every link is a file, whatever it points to.
class VFileIterator : public VFSObjectIterator<VFile> {
public:
    VFileIterator(const VFolder* inFolder, FileIteratorOptions inOptions = kIterateFiles);
};

} // namespace vkit
