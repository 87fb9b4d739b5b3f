// XPosixLibrary: dlopen and dlsym, with the dynamic loader's messages.
#include "platform/posix/shared/XPosixLibrary.h"

#include <dlfcn.h>

namespace vkit {

namespace {

std::string LastLoaderMessage() {
    const char* message = ::dlerror();
    return message != nullptr ? std::string(message) : std::string("unknown dynamic loader error");
}

} // namespace

bool XPosixLibrary::Open(const char* inPathOrName, std::string& outMessage) {
    // Its symbols stay its own (RTLD_LOCAL): they never stand in for another library's.
    fHandle = ::dlopen(inPathOrName, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (fHandle == nullptr)
        outMessage = LastLoaderMessage();
    return fHandle != nullptr;
}

void* XPosixLibrary::_GetSymbol(const char* inName, std::string& outMessage) const {
    if (fHandle == nullptr) {
        outMessage = "no library loaded";
        return nullptr;
    }
    ::dlerror(); // a null symbol is told from a missing one by dlerror alone
    void* symbol = ::dlsym(fHandle, inName);
    if (symbol == nullptr)
        outMessage = LastLoaderMessage();
    return symbol;
}

} // namespace vkit
