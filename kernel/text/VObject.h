// VObject: the base of the library's objects, carrying the tag by which live objects are recognised.
#pragma once

#include <cstdint>

namespace vkit {

class VString;

/// Base class of every object of the library.
/// Each object carries a tag derived from its own address, set by the constructors and cleared by the
/// destructor, so that VCppMemMgr::CheckVObject can tell a live object from a stale or foreign pointer
/// without any registry (constructing an object touches nothing but the object itself).
class VObject {
public:
    VObject() noexcept : fLiveTag(TagFor(this)) {}
    VObject(const VObject&) noexcept : fLiveTag(TagFor(this)) {}
    VObject& operator=(const VObject&) noexcept { return *this; }
    virtual ~VObject();

    /// Appends a description of the object for debugging (the "%V" conversion); the default appends
    /// the class name. Returns the buffer.
    virtual VString& DebugDump(VString& ioDump) const;

    /// True when the memory at inAddress, known to be readable, holds a live object (constructed and
    /// not yet destroyed). Reads the tag without sanitizer checks: the memory may be freed or foreign.
    static bool IsLiveObjectAt(const void* inAddress) noexcept;

    /// The tag a live object at that address holds.
    static uint64_t TagFor(const void* inAddress) noexcept {
        return reinterpret_cast<uintptr_t>(inAddress) ^ kLiveMagic;
    }

private:
    static constexpr uint64_t kLiveMagic = 0x564B49544F424A45ULL; // "VKITOBJE"
    uint64_t fLiveTag;
};

} // namespace vkit
