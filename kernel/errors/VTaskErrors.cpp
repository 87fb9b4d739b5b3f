// The task's error operations: each task keeps its VErrorTaskContext in its error-context slot.
#include "errors/VErrorBase.h"
#include "errors/VErrorContext.h"
#include "errors/VErrorTaskContext.h"
#include "runtime/VTask.h"

namespace vkit {

VErrorTaskContext* VTask::GetErrorContext(bool inCreate) {
    VTask* task = VTask::GetCurrent();
    if (task == nullptr)
        return nullptr;
    VErrorTaskContext* context = static_cast<VErrorTaskContext*>(task->GetErrorContextSlot());
    if (context == nullptr && inCreate) {
        context = new VErrorTaskContext;
        task->SetErrorContextSlot(context);
    }
    return context;
}

void VTask::PushError(VErrorBase* inError) {
    if (inError == nullptr)
        return;
    if (VErrorTaskContext* context = GetErrorContext(true); context != nullptr)
        context->PushError(inError);
}

void VTask::PushRetainedError(VErrorBase* inError) {
    PushError(inError);
    ReleaseRefCountable(&inError);
}

void VTask::PushErrors(const VErrorContext* inContext) {
    if (inContext == nullptr)
        return;
    if (VErrorTaskContext* context = GetErrorContext(true); context != nullptr)
        context->PushErrorsFromContext(inContext);
}

bool VTask::FailedForMemory() {
    VErrorTaskContext* context = GetErrorContext(false);
    return context != nullptr && context->FailedForMemory();
}

void VTask::FlushErrors() {
    if (VErrorTaskContext* context = GetErrorContext(false); context != nullptr)
        context->Flush();
}

VError VTask::GetLastError() {
    VErrorTaskContext* context = GetErrorContext(false);
    return context == nullptr ? VE_OK : context->GetLastError();
}

} // namespace vkit
