// The engine's errors: made with the paths they name and pushed on the current error context.
#pragma once

#include "errors/VErrorCodes.h"

#include <initializer_list>

namespace vkit {
class StPackedDictionaryKey;
class VErrorBase;
class VFilePath;
} // namespace vkit

/// One path parameter of an engine error: its name ("path", "from", ...) and the path, whose native
/// text the parameter holds.
struct UpdaterErrorPath {
    const vkit::StPackedDictionaryKey& fName;
    const vkit::VFilePath& fPath;
};

/// A new error for inCode with these path parameters, for the current task; the caller pushes it.
vkit::VErrorBase* MakeUpdaterError(vkit::VError inCode, std::initializer_list<UpdaterErrorPath> inPaths = {});
/// Makes the error and pushes it on the current error context.
void PushUpdaterError(vkit::VError inCode, std::initializer_list<UpdaterErrorPath> inPaths = {});
