// The engine's errors and their path parameters.
#include "UpdaterErrors.h"

#include "bags/StPackedDictionaryKey.h"
#include "errors/StErrorContextInstaller.h"
#include "errors/VErrorContext.h"
#include "errors/VErrorThrow.h"
#include "files/VFileError.h"

namespace zq {

const vkit::StPackedDictionaryKey kPathKey("path");
const vkit::StPackedDictionaryKey kSrcPathKey("srcPath");
const vkit::StPackedDictionaryKey kDstPathKey("dstPath");
const vkit::StPackedDictionaryKey kFromKey("from");
const vkit::StPackedDictionaryKey kToKey("to");
const vkit::StPackedDictionaryKey kFolderKey("folder");
const vkit::StPackedDictionaryKey kJournalKey("journal");
const vkit::StPackedDictionaryKey kOutdatedAtKey("outdated_at");
const vkit::StPackedDictionaryKey kUpToDateAtKey("uptodate_at");

vkit::VErrorBase* MakeUpdaterError(vkit::VError inCode, std::initializer_list<UpdaterErrorPath> inPaths) {
    auto* error = new vkit::VErrorBase(inCode);
    for (const UpdaterErrorPath& parameter : inPaths)
        vkit::VFileError::SetPathParameter(error->GetBag(), parameter.fName, parameter.fPath);
    return error;
}

void PushUpdaterError(vkit::VError inCode, std::initializer_list<UpdaterErrorPath> inPaths) {
    vkit::_PushRetainedError(MakeUpdaterError(inCode, inPaths));
}

bool HoldsError(const vkit::StErrorContextInstaller& inContext) noexcept {
    const vkit::VErrorContext* context = inContext.GetContext();
    return context != nullptr && !context->IsEmpty();
}

} // namespace zq
