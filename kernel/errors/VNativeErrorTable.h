// VNativeErrorTable: the translation of native error codes into the library's codes.
#pragma once

#include "errors/VErrorCodes.h"

namespace vkit {

/// The process-wide table of (native code, library code) pairs, filled once at start-up.
class VNativeErrorTable {
public:
    /// Fills the table (idempotent; also done on first lookup).
    static void Init();
    /// The library code for a native code (component CARB or POSX), or 0 when the table has none.
    [[nodiscard]] static VError Lookup(VError inNative);
};

/// The library code for an encoded native code: CARB and POSX codes through the table (a miss gives
/// inFallback); MACH and COCO codes with a number give inFallback; the unknown error (vkit 1) gives
/// inFallback; any other code is returned unchanged.
[[nodiscard]] VError EncodedNativeErrorToVError(VError inEncoded, VError inFallback);

/// The library code for an operating-system status: 0 for 0, the table's code on a hit, else the
/// encoded CARB code itself.
[[nodiscard]] VError MAC_MapCarbonErrorToVError(int32_t inStatus);

} // namespace vkit
