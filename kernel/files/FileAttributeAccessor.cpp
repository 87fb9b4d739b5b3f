// FileAttributeAccessor: times of the iterator's current item as VTime values.
#include "files/FileAttributeAccessor.h"

#include "files/VFileError.h"
#include "platform/posix/files/XPosixFSObjectIterator.h"
#include "text/VTime.h"

namespace vkit {

namespace {

const int64_t kUnixEpoch = VTime::ComputeJulianDay(1970, 1, 1) * VTime::kMillisecondsPerDay;

void SetTime(int64_t inUnixMilliseconds, VTime* outTime) {
    if (outTime != nullptr)
        outTime->FromMilliseconds(kUnixEpoch + inUnixMilliseconds);
}

} // namespace

VError FileAttributeAccessor::GetTime(VTime* outModification, VTime* outCreation, VTime* outAccess) const {
    XPosixItemTimes times;
    if (VError error = fReader.GetTimes(times); error != VE_OK)
        return VFileError::Report(fItemPath, error, VE_FILE_NOT_FOUND);
    SetTime(times.fModification, outModification);
    SetTime(times.fCreation, outCreation);
    SetTime(times.fAccess, outAccess);
    return VE_OK;
}

} // namespace vkit
