// The engine's errors and their path parameters.
#include "UpdaterErrors.h"

#include "bags/VValueBag.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorThrow.h"
#include "files/VFilePath.h"

vkit::VErrorBase* MakeUpdaterError(vkit::VError inCode, std::initializer_list<UpdaterErrorPath> inPaths) {
    auto* error = new vkit::VErrorBase(inCode);
    for (const UpdaterErrorPath& parameter : inPaths)
        error->GetBag().SetString(parameter.fName, parameter.fPath.GetPath());
    return error;
}

void PushUpdaterError(vkit::VError inCode, std::initializer_list<UpdaterErrorPath> inPaths) {
    vkit::_PushRetainedError(MakeUpdaterError(inCode, inPaths));
}
