// VObject: the live tag and the default debug dump.
#include "text/VObject.h"

#include "text/VString.h"

#include <typeinfo>

namespace vkit {

VObject::~VObject() {
    // A volatile store: the compiler would otherwise drop a write to an object about to die.
    *static_cast<volatile uint64_t*>(&fLiveTag) = 0;
}

__attribute__((no_sanitize("address", "undefined", "thread"))) bool
VObject::IsLiveObjectAt(const void* inAddress) noexcept {
    const volatile uint64_t* tag = &static_cast<const VObject*>(inAddress)->fLiveTag;
    return *tag == TagFor(inAddress);
}

VString& VObject::DebugDump(VString& ioDump) const {
    ioDump.AppendCString(typeid(*this).name());
    return ioDump;
}

} // namespace vkit
