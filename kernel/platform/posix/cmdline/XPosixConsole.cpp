// Linux implementation of the command line's console: stdio writes, isatty, read(2) of descriptor 0.
#include "platform/posix/cmdline/XPosixConsole.h"

#include "platform/posix/shared/XPosixCalls.h"

#include <cstdio>

namespace vkit {

namespace {

void WriteAndFlush(FILE* inStream, std::string_view inBytes) noexcept {
    if (!inBytes.empty())
        std::fwrite(inBytes.data(), 1, inBytes.size(), inStream);
    std::fflush(inStream);
}

} // namespace

bool XPosixConsole::IsStandardOutputTerminal() noexcept {
    return ::isatty(STDOUT_FILENO) == 1;
}

void XPosixConsole::WriteStandardOutput(std::string_view inBytes) noexcept {
    WriteAndFlush(stdout, inBytes);
}

void XPosixConsole::WriteStandardError(std::string_view inBytes) noexcept {
    WriteAndFlush(stderr, inBytes);
}

bool XPosixConsole::ReadStandardInput(std::string& outBytes) {
    return ReadToEnd(STDIN_FILENO, outBytes) == 0;
}

} // namespace vkit
