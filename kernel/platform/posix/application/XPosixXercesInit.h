// XPosixXercesInit: the one place where the process brings up the Xerces-C XML parser.
#pragma once

namespace vkit {

/// Xerces-C needs one process-wide initialization before any of its parsers is made. Every reader built
/// on it (property lists, XLIFF files) calls Ensure first; the parser then stays up until the process
/// ends, so that readers on several tasks never race a shut-down.
class XPosixXercesInit {
public:
    XPosixXercesInit() = delete;

    /// Initializes Xerces-C on the first call, whichever task makes it; later calls only read the
    /// outcome. Returns whether Xerces-C is usable (the same answer on every call).
    static bool Ensure() noexcept;
};

} // namespace vkit
