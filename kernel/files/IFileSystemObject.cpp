// IFileSystemObject: the helpers files and folders share: paths with their file system, times.
#include "files/IFileSystemObject.h"

#include "files/VFileSystem.h"
#include "text/VTime.h"

namespace vkit {

namespace {

const int64_t kUnixEpoch = VTime::ComputeJulianDay(1970, 1, 1) * VTime::kMillisecondsPerDay;

void SetTime(int64_t inUnixMilliseconds, VTime* outTime) {
    if (outTime != nullptr)
        outTime->FromMilliseconds(kUnixEpoch + inUnixMilliseconds);
}

} // namespace

void IFileSystemObject::_BuildPathWithFileSystem(const VFilePath& inPath, const VFileSystem* inFileSystem,
                                                 VString& outText) {
    VString relative;
    if (inFileSystem != nullptr && inPath.GetRelativePosixPath(inFileSystem->GetRoot(), relative)) {
        outText.Clear();
        outText.AppendUniChar(u'/');
        outText.AppendString(inFileSystem->GetName());
        outText.AppendUniChar(u'/');
        outText.AppendString(relative);
        return;
    }
    inPath.GetPosixPath(outText);
}

void IFileSystemObject::_SetTimes(int64_t inModification, int64_t inCreation, int64_t inAccess,
                                  VTime* outModification, VTime* outCreation, VTime* outAccess) {
    SetTime(inModification, outModification);
    SetTime(inCreation, outCreation);
    SetTime(inAccess, outAccess);
}

bool IFileSystemObject::_ToUnixMilliseconds(const VTime* inTime, int64_t& outMilliseconds) {
    if (inTime == nullptr || inTime->IsNull())
        return false;
    outMilliseconds = inTime->GetMilliseconds() - kUnixEpoch;
    return true;
}

} // namespace vkit
