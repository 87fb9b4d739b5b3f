// IFolder: the same-folder test shared by every folder.
#include "files/IFolder.h"

namespace vkit {

bool IFolder::IsSameFolder(const IFolder* inOther) const {
    return inOther != nullptr && GetPath() == inOther->GetPath();
}

} // namespace vkit
