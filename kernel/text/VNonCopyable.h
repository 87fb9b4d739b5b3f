// VNonCopyable: a base that forbids copying and assigning the classes derived from it.
#pragma once

namespace vkit {

/// Derive from it to make a class impossible to copy or assign (moves are forbidden too).
class VNonCopyable {
protected:
    VNonCopyable() noexcept = default;
    ~VNonCopyable() = default;

public:
    VNonCopyable(const VNonCopyable&) = delete;
    VNonCopyable& operator=(const VNonCopyable&) = delete;
};

} // namespace vkit
