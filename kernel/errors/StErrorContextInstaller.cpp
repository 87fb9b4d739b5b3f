// StErrorContextInstaller: installing and removing a task's error context.
#include "errors/StErrorContextInstaller.h"

#include "errors/VErrorContext.h"
#include "errors/VErrorTaskContext.h"
#include "runtime/VTask.h"

namespace vkit {

StErrorContextInstaller::StErrorContextInstaller(bool inKeepErrors, bool inSilent) {
    _Init(inKeepErrors, inSilent);
}

StErrorContextInstaller::StErrorContextInstaller(std::initializer_list<VError> inFilteredCodes) {
    _Init(true, false);
    for (VError code : inFilteredCodes) {
        if (code == 0)
            break;
        fContext->AddErrorToFilter(code);
    }
}

void StErrorContextInstaller::_Init(bool inKeepErrors, bool inSilent) {
    fSilent = inSilent;
    fTaskContext = VTask::GetErrorContext(true);
    if (fTaskContext != nullptr) {
        fContext = RetainRefCountable(fTaskContext->PushNewContext(inKeepErrors, inSilent));
    } else {
        fContext = new VErrorContext;
        fContext->SetKeepingErrors(inKeepErrors);
        fContext->SetSilent(inSilent);
    }
}

StErrorContextInstaller::~StErrorContextInstaller() {
    if (fTaskContext != nullptr) {
        fTaskContext->PopContext();
        fTaskContext->RecycleContext(fContext);
    } else {
        fContext->Release();
    }
}

VError StErrorContextInstaller::GetLastError() const noexcept {
    return fContext->GetLastError();
}

} // namespace vkit
