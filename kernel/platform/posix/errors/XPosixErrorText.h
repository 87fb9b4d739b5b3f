// Platform side of error texts: the C library's message for an errno value.
#pragma once

#include <string>

namespace vkit {

class XPosixErrorText {
public:
    /// The reentrant C library text for inErrno (strerror_r, 1024-byte buffer); empty when the call
    /// fails other than by truncation or gives no text.
    static std::string GetSystemMessage(int inErrno);
};

} // namespace vkit
