// XPosixXMLModule: finding and loading the XML module that runs Xerces-C for VXMLParser.
#pragma once

#include "localization/VXMLModuleInterface.h"

#include <string>

namespace vkit {

/// The XML module, "libvkitxml.so": in a bundle, in its "Contents/Frameworks/" folder beside the
/// "Contents/MacOS/" folder of the executable; for a program outside a bundle (the tests), along the
/// program's run path.
class XPosixXMLModule {
public:
    static constexpr const char* kFileName = "libvkitxml.so";

    XPosixXMLModule() = delete;

    /// The module's parse function, the module loaded by the first call of the process (whichever task
    /// makes it; the others wait). Returns null, outMessage saying why (the dynamic loader's text), when
    /// the module cannot be loaded; every call gives the same answer.
    static VXMLModuleParse GetParse(std::string& outMessage);
};

} // namespace vkit
