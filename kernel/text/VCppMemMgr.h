// VCppMemMgr: the memory manager, which tells live library objects from stale or foreign pointers.
#pragma once

namespace vkit {

class VObject;

/// The process memory manager. Allocation goes through the C++ allocator; what the manager adds is the
/// live-object check used by the formatter.
class VCppMemMgr {
public:
    /// Creates the process memory manager (called once by the entry point); false when it cannot be
    /// created. The allocator keeps the memory freed after a burst of small objects (log records,
    /// error parameters) for the next burst, instead of handing it back to the system and faulting it
    /// in again.
    [[nodiscard]] static bool Init();

    /// The live library object at inAddress, or null when the address holds none: null, misaligned,
    /// unreadable memory, a destroyed object or something that is not a VObject. Takes no lock and
    /// reads the memory through the platform's safe probe when it is not on the caller's stack.
    static const VObject* CheckVObject(const void* inAddress) noexcept;
};

} // namespace vkit
