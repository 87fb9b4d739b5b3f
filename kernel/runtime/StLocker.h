// StLocker: holds a critical section for the lifetime of a scope.
#pragma once

#include "runtime/VCriticalSection.h"

namespace vkit {

/// Locks a critical section on construction and unlocks it on destruction.
class StLocker {
public:
    explicit StLocker(VCriticalSection& inSection) : fSection(inSection) { fSection.Lock(); }
    ~StLocker() { fSection.Unlock(); }
    StLocker(const StLocker&) = delete;
    StLocker& operator=(const StLocker&) = delete;

private:
    VCriticalSection& fSection;
};

} // namespace vkit
