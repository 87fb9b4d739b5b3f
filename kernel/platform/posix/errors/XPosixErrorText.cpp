// Platform side of error texts (C library).
#include "platform/posix/errors/XPosixErrorText.h"

#include <cerrno>
#include <cstring>

namespace vkit {

namespace {

// strerror_r comes in two flavours; both are handled so that the build does not depend on feature macros.
[[maybe_unused]] const char* Pick(int inResult, const char* inBuffer) {
    return (inResult == 0 || inResult == ERANGE) ? inBuffer : nullptr;
}
[[maybe_unused]] const char* Pick(const char* inResult, const char*) {
    return inResult;
}

} // namespace

std::string XPosixErrorText::GetSystemMessage(int inErrno) {
    char buffer[1024];
    buffer[0] = 0;
    const char* text = Pick(strerror_r(inErrno, buffer, sizeof(buffer)), buffer);
    return text == nullptr ? std::string() : std::string(text);
}

} // namespace vkit
