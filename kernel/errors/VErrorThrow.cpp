// Raising errors on the current task.
#include "errors/VErrorThrow.h"

#include "bags/VValueBag.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorTaskContext.h"
#include "errors/VErrorUserGenerated.h"
#include "runtime/VTask.h"

namespace vkit {

void _ThrowError(VError inCode, const VString* inP1, const VString* inP2, const VString* inP3) {
    if (!VErrorBase::IsInited())
        return;
    VErrorBase* error = new VErrorBase(inCode);
    if (inP1 != nullptr)
        error->GetBag().SetString(ErrorBagKeys::p1, *inP1);
    if (inP2 != nullptr)
        error->GetBag().SetString(ErrorBagKeys::p2, *inP2);
    if (inP3 != nullptr)
        error->GetBag().SetString(ErrorBagKeys::p3, *inP3);
    VTask::PushError(error);
    error->Release();
}

VError vThrowError(VError inCode, const VString* inP1, const VString* inP2, const VString* inP3) {
    _ThrowError(inCode, inP1, inP2, inP3);
    return inCode;
}

void _PushRetainedError(VErrorBase* inError, VError inWrapperCode) {
    if (inError == nullptr)
        return;
    if (inWrapperCode != 0) {
        VErrorTaskContext* context = VTask::GetErrorContext(false);
        if (context == nullptr || !context->IsErrorFiltered(inError->GetError())) {
            VErrorBase* wrapper = new VErrorBase(inWrapperCode);
            VTask::PushError(wrapper);
            wrapper->Release();
        }
    }
    VTask::PushError(inError);
    inError->Release();
}

VError vThrowUserGeneratedError(VError inCode, const VString& inMessage) {
    VErrorUserGenerated* error = new VErrorUserGenerated(inCode, inMessage);
    VTask::PushError(error);
    error->Release();
    return inCode;
}

} // namespace vkit
