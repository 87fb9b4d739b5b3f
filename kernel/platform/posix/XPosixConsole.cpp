// Linux implementation of the command line's console: stdio writes, isatty, read(2) of descriptor 0.
#include "platform/posix/XPosixConsole.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

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
    char block[1024];
    for (;;) {
        ssize_t count = ::read(STDIN_FILENO, block, sizeof(block));
        if (count > 0) {
            outBytes.append(block, static_cast<size_t>(count));
        } else if (count == 0) {
            return true;
        } else if (errno != EINTR) {
            return false;
        }
    }
}

} // namespace vkit
