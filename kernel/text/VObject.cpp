// VObject: the live tag and the default debug dump.
#include "text/VObject.h"

#include "text/VString.h"

#include <cstdlib>
#include <cxxabi.h>
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
    // The class name as written in the code ("vkit::VFile"), not its mangled form.
    const char* mangled = typeid(*this).name();
    int status = 0;
    char* readable = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    ioDump.AppendCString(status == 0 && readable != nullptr ? readable : mangled);
    std::free(readable);
    return ioDump;
}

} // namespace vkit
