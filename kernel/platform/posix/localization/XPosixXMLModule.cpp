// XPosixXMLModule: the module's place beside the executable, loaded once.
#include "platform/posix/localization/XPosixXMLModule.h"

#include "platform/posix/application/XPosixBundle.h"
#include "platform/posix/shared/XPosixLibrary.h"
#include "platform/posix/shared/XPosixPathText.h"

#include <unistd.h>

namespace vkit {

namespace {

struct LoadedModule {
    VXMLModuleParse fParse = nullptr;
    std::string fMessage;
};

/// "<bundle>/Contents/Frameworks/<file>" when the executable lies in "<bundle>/Contents/MacOS/" and
/// that file exists, else the bare file name, for the dynamic loader's search.
std::string ModuleLocation() {
    std::string executable;
    if (XPosixBundle::GetExecutablePath(executable)) {
        XPosixPathParts macOS = SplitPath(SplitPath(executable).fParent);
        if (macOS.fName == "MacOS" && SplitPath(macOS.fParent).fName == "Contents") {
            std::string path = JoinPath(JoinPath(macOS.fParent, "Frameworks"), XPosixXMLModule::kFileName);
            if (::access(path.c_str(), F_OK) == 0)
                return path;
        }
    }
    return XPosixXMLModule::kFileName;
}

LoadedModule Load() {
    LoadedModule module;
    XPosixLibrary library;
    if (library.Open(ModuleLocation().c_str(), module.fMessage))
        module.fParse = library.GetFunction<VXMLModuleParse>(kVXMLModuleEntry, module.fMessage);
    return module;
}

} // namespace

VXMLModuleParse XPosixXMLModule::GetParse(std::string& outMessage) {
    // A function-local static is initialized exactly once, the other callers waiting for it.
    static const LoadedModule sModule = Load();
    outMessage = sModule.fMessage;
    return sModule.fParse;
}

} // namespace vkit
