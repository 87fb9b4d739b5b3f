// Platform side of the command line's console: the standard streams and whether output is a terminal.
#pragma once

#include <string>
#include <string_view>

namespace vkit {

/// The standard streams as the command-line parser uses them. Writes go through the C library's
/// streams and are flushed at once, so that they keep their order with other writers of the streams.
class XPosixConsole {
public:
    XPosixConsole() = delete;

    /// True when standard output (descriptor 1) is a terminal.
    static bool IsStandardOutputTerminal() noexcept;
    /// Writes the bytes to standard output and flushes it.
    static void WriteStandardOutput(std::string_view inBytes) noexcept;
    /// Writes the bytes to standard error and flushes it.
    static void WriteStandardError(std::string_view inBytes) noexcept;
    /// Reads standard input (descriptor 0) to its end, appending to outBytes.
    /// Returns false when standard input is closed or a read fails; the bytes read so far stay.
    static bool ReadStandardInput(std::string& outBytes);
};

} // namespace vkit
