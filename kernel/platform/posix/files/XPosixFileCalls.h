// XPosixFileCalls: errno as the error code of the file calls.
#pragma once

#include "errors/VErrorCodes.h"

#include <cerrno>

namespace vkit {

/// The error code of an errno value: 0 for 0, else the POSX code.
[[nodiscard]] constexpr VError VErrorFromErrno(int inErrno) noexcept {
    return inErrno == 0 ? VE_OK : MakeVErrorFromPosix(inErrno);
}

/// The error code of the errno value current now; call it on the line after the failing call.
[[nodiscard]] inline VError LastPosixError() noexcept {
    return MakeVErrorFromPosix(errno);
}

} // namespace vkit
