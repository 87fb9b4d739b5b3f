// Small helpers of the Linux file calls: errno capture as an error code, retry after EINTR.
#pragma once

#include "errors/VErrorCodes.h"

#include <cerrno>
#include <string>

namespace vkit {

/// The error code of the errno value current now; call it on the line after the failing call.
[[nodiscard]] inline VError LastPosixError() noexcept {
    return MakeVErrorFromPosix(errno);
}

/// Runs inCall again as long as it fails with EINTR; answers its last result.
template <class Call>
auto RetryAfterSignal(Call&& inCall) -> decltype(inCall()) {
    decltype(inCall()) result;
    do {
        result = inCall();
    } while (result == -1 && errno == EINTR);
    return result;
}

/// The path without its trailing "/" (the root "/" stays): a trailing "/" makes the system follow a
/// final symbolic link even where the call was asked not to.
inline std::string WithoutTrailingSlash(std::string inPath) {
    while (inPath.size() > 1 && inPath.back() == '/')
        inPath.pop_back();
    return inPath;
}

} // namespace vkit
