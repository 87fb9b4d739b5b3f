// XPosixProcessIPC: the Linux inter-process object and the process id.
#include "platform/posix/XPosixProcessIPC.h"

#include <unistd.h>

namespace vkit {

bool XPosixProcessIPC::Init() noexcept {
    fInited = true;
    return true;
}

void XPosixProcessIPC::DeInit() noexcept {
    fInited = false;
}

int32_t XPosixProcessIPC::GetCurrentProcessID() noexcept {
    return static_cast<int32_t>(getpid());
}

} // namespace vkit
