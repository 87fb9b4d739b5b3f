// VSodium: the start of libsodium, which signing, keys and content digests call before their first use.
#pragma once

namespace vkit {

/// libsodium must be started once before use: it then picks the fastest implementation of each
/// primitive for the processor and opens its random source.
class VSodium {
public:
    VSodium() = delete;
    /// Starts libsodium once per process (later calls do nothing). Returns false when it cannot start
    /// (no random source); nothing of it may then be used.
    static bool Init() noexcept;
};

} // namespace vkit
