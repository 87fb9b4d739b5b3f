// XPosixXercesInit: the once-only Xerces-C initialization.
#include "platform/posix/application/XPosixXercesInit.h"

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLException.hpp>

namespace vkit {

namespace {

bool InitializeXerces() noexcept {
    try {
        xercesc::XMLPlatformUtils::Initialize();
        return true;
    } catch (...) {
        // Xerces reports a failed start-up only by throwing; the answer is the readers' to report.
        return false;
    }
}

} // namespace

bool XPosixXercesInit::Ensure() noexcept {
    // A function-local static is initialized exactly once, the other callers waiting for it.
    static const bool sReady = InitializeXerces();
    return sReady;
}

} // namespace vkit
