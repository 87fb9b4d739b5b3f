// VCppMemMgr: the live-object check.
#include "text/VCppMemMgr.h"

#include "platform/posix/text/XPosixMemory.h"
#include "text/VObject.h"

#include <cstdint>

namespace vkit {

bool VCppMemMgr::Init() {
    XPosixMemory::KeepFreedMemory();
    return true;
}

const VObject* VCppMemMgr::CheckVObject(const void* inAddress) noexcept {
    uintptr_t address = reinterpret_cast<uintptr_t>(inAddress);
    if (address == 0 || (address % alignof(VObject)) != 0)
        return nullptr;
    if (!XPosixMemory::IsReadable(inAddress, sizeof(VObject)))
        return nullptr;
    return VObject::IsLiveObjectAt(inAddress) ? static_cast<const VObject*>(inAddress) : nullptr;
}

} // namespace vkit
