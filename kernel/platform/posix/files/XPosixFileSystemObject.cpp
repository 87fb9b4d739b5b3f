// XPosixFileSystemObject: the calls on the POSIX path of a file or folder: trash, modes, times, attributes,
// volume and rename rights.
#include "platform/posix/files/XPosixFileSystemObject.h"

#include "platform/posix/files/XPosixPath.h"
#include "platform/posix/files/XPosixRenameAccess.h"
#include "platform/posix/files/XPosixTrash.h"

#include <utility>

namespace vkit {

void XPosixFileSystemObject::_Init(const IFileSystemObject* inOwner, std::string inPosixPath) noexcept {
    fOwner = inOwner;
    fPosixPath = std::move(inPosixPath);
}

VError XPosixFileSystemObject::MoveToTrash(std::string& outMessage) const {
    return XPosixTrash::MoveToTrash(fPosixPath, outMessage);
}

VError XPosixFileSystemObject::GetPermissions(uint16_t& outMode) const {
    return XPosixFileInfo::GetPermissions(fPosixPath, outMode);
}

VError XPosixFileSystemObject::SetPermissions(uint16_t inMode) const {
    return XPosixFileInfo::SetPermissions(fPosixPath, inMode);
}

VError XPosixFileSystemObject::GetTimes(XPosixItemTimes& outTimes) const {
    return XPosixFileInfo::GetTimes(fPosixPath, outTimes);
}

VError XPosixFileSystemObject::SetTimes(const int64_t* inModification, const int64_t* inAccess) const {
    return XPosixFileInfo::SetTimes(fPosixPath, inModification, inAccess);
}

VError XPosixFileSystemObject::GetAttributes(FileAttributes& outAttributes) const {
    return XPosixFileInfo::GetAttributes(fPosixPath, true, outAttributes);
}

VError XPosixFileSystemObject::GetVolumeInfo(VVolumeInfo& outInfo) const {
    return XPosixFileInfo::GetVolumeInfo(fPosixPath, outInfo);
}

VError XPosixFileSystemObject::GetRenameAccess(ERenameAccess& outAccess) const {
    return XPosixRenameAccess::Check(fPosixPath, outAccess);
}

EItemRelation XPosixFileSystemObject::RelationTo(const VFilePath& inTarget) const {
    return XPosixItemRelation::Relate(fPosixPath, XPosixPath::GetPosixPath(inTarget));
}

} // namespace vkit
