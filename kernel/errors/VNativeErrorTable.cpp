// VNativeErrorTable: native-to-library error translation.
#include "errors/VNativeErrorTable.h"

#include <array>
#include <utility>

namespace vkit {

namespace {

[[nodiscard]] constexpr VError Carb(int32_t inStatus) {
    return MakeVError(kComponentCarbon, inStatus);
}
[[nodiscard]] constexpr VError Posx(int32_t inErrno) {
    return MakeVError(kComponentPosix, inErrno);
}
[[nodiscard]] constexpr VError Vkit(int32_t inNumber) {
    return MakeVError(kComponentVkit, inNumber);
}

// Constant data: "filling at start-up" costs nothing and lookups need no lock.
constexpr std::array<std::pair<VError, VError>, 14> kTable{{
    {Carb(-108), Vkit(100)},
    {Carb(-39), Vkit(200)},
    {Carb(-34), Vkit(658)},
    {Carb(-43), Vkit(600)},
    {Carb(-120), Vkit(650)},
    {Carb(-45), Vkit(5)},
    {Carb(-46), Vkit(5)},
    {Carb(-192), Vkit(401)},
    {Carb(-37), Vkit(614)},
    {Carb(-54), Vkit(5)},
    {Carb(-128), Vkit(6)},
    {Posx(2), Vkit(600)},
    {Posx(13), Vkit(5)},
    {0, Vkit(1)}, // end marker
}};

} // namespace

void VNativeErrorTable::Init() {}

VError VNativeErrorTable::Lookup(VError inNative) {
    for (const auto& [native, library] : kTable) {
        if (native == 0)
            break;
        if (native == inNative)
            return library;
    }
    return 0;
}

VError EncodedNativeErrorToVError(VError inEncoded, VError inFallback) {
    OsType component = ComponentFromVError(inEncoded);
    if (component == kComponentCarbon || component == kComponentPosix) {
        VError library = VNativeErrorTable::Lookup(inEncoded);
        return library != 0 ? library : inFallback;
    }
    if ((component == kComponentMach || component == kComponentCocoa) && NumberFromVError(inEncoded) != 0)
        return inFallback;
    if (inEncoded == VE_UNKNOWN_ERROR)
        return inFallback;
    return inEncoded;
}

VError MAC_MapCarbonErrorToVError(int32_t inStatus) {
    if (inStatus == 0)
        return 0;
    VError encoded = Carb(inStatus);
    VError library = VNativeErrorTable::Lookup(encoded);
    return library != 0 ? library : encoded;
}

} // namespace vkit
