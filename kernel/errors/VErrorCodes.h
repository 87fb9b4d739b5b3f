// Error codes: a four-character component signature in the high half, the error number in the low.
#pragma once

#include <cstdint>

namespace vkit {

/// An error code; 0 means no error.
using VError = uint64_t;
/// A four-character code: four ASCII characters, the first in the most significant byte.
using OsType = uint32_t;

/// The four-character code of a 4-letter text ("vkit").
constexpr OsType MakeOsType(const char (&inText)[5]) {
    return (static_cast<OsType>(static_cast<unsigned char>(inText[0])) << 24) |
           (static_cast<OsType>(static_cast<unsigned char>(inText[1])) << 16) |
           (static_cast<OsType>(static_cast<unsigned char>(inText[2])) << 8) |
           static_cast<OsType>(static_cast<unsigned char>(inText[3]));
}

constexpr OsType kComponentVkit = MakeOsType("vkit");
constexpr OsType kComponentPosix = MakeOsType("POSX");
constexpr OsType kComponentMach = MakeOsType("MACH");
constexpr OsType kComponentCarbon = MakeOsType("CARB");
constexpr OsType kComponentCocoa = MakeOsType("COCO");

[[nodiscard]] constexpr VError MakeVError(OsType inComponent, int32_t inNumber) {
    return (static_cast<VError>(inComponent) << 32) | static_cast<uint32_t>(inNumber);
}
constexpr OsType ComponentFromVError(VError inError) {
    return static_cast<OsType>(inError >> 32);
}
constexpr int32_t NumberFromVError(VError inError) {
    return static_cast<int32_t>(static_cast<uint32_t>(inError & 0xFFFFFFFFu));
}
[[nodiscard]] constexpr VError MakeVErrorFromPosix(int inErrno) {
    return MakeVError(kComponentPosix, inErrno);
}

/// Errors of the library named by the error layer itself.
constexpr VError VE_OK = 0;
constexpr VError VE_UNKNOWN_ERROR = MakeVError(kComponentVkit, 1);
constexpr VError VE_INVALID_PARAMETER = MakeVError(kComponentVkit, 3);       // a null or invalid argument
constexpr VError VE_APPLICATION_INIT_FAILED = MakeVError(kComponentVkit, 4); // "VApplication::DoInit failed"
constexpr VError VE_ACCESS_DENIED = MakeVError(kComponentVkit, 5);
constexpr VError VE_USER_ABORT = MakeVError(kComponentVkit, 6);
constexpr VError VE_MEMORY_FULL = MakeVError(kComponentVkit, 100);

} // namespace vkit
