// VErrorTaskContext: pushing errors through the stack of contexts and popping contexts.
#include "errors/VErrorTaskContext.h"

#include "bags/VBagArray.h"
#include "bags/VValueBag.h"
#include "errors/IErrorLogger.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorContext.h"
#include "text/VLong.h"

namespace vkit {

namespace {

void LogErrors(const VErrorContext* inContext) {
    inContext->SendErrorsToLogger();
}

} // namespace

VErrorTaskContext::VErrorTaskContext() : fSpare(new VErrorContext) {}

VErrorTaskContext::~VErrorTaskContext() {
    for (VErrorContext* context : fStack)
        context->Release();
    ReleaseRefCountable(&fSpare);
}

bool VErrorTaskContext::PushError(VErrorBase* inError, bool* outFiltered) {
    if (outFiltered != nullptr)
        *outFiltered = false;
    if (inError == nullptr)
        return false;
    if (fStack.empty())
        PushNewContext(true, false);
    VErrorContext* top = fStack.back();
    if (!top->PushError(inError))
        return false;
    bool filtered = false;
    for (auto context = fStack.rbegin(); context != fStack.rend(); ++context) {
        if ((*context)->IsSilent()) {
            filtered = true;
            break;
        }
        if ((*context)->IsErrorFiltered(inError->GetError())) {
            top->SetSilent(true);
            filtered = true;
            break;
        }
    }
    if (outFiltered != nullptr)
        *outFiltered = filtered;
    return true;
}

void VErrorTaskContext::PushErrorsFromContext(const VErrorContext* inContext) {
    if (inContext == nullptr)
        return;
    // A copy of the list: the context may be this task's own top context, which the pushes grow.
    std::vector<VErrorBase*> errors = inContext->GetErrors();
    for (VErrorBase* error : errors)
        PushError(error);
}

void VErrorTaskContext::PushErrorsFromBag(const VValueBag& inBag) {
    const VBagArray* saved = inBag.GetElements(ErrorBagKeys::error);
    if (saved == nullptr)
        return;
    for (VIndex i = 1; i <= saved->GetCount(); ++i) {
        VErrorBase* error = new VErrorBase;
        VError loaded = error->LoadFromBag(*saved->GetNth(i));
        if (loaded == VE_OK)
            PushError(error);
        error->Release();
        if (loaded != VE_OK)
            break;
    }
}

VErrorContext* VErrorTaskContext::PushNewContext(bool inKeepErrors, bool inSilent) {
    VErrorContext* context = fSpare;
    fSpare = nullptr;
    if (context == nullptr)
        context = new VErrorContext;
    context->SetFailedForMemory(false);
    context->SetKeepingErrors(inKeepErrors);
    context->SetSilent(inSilent);
    fStack.push_back(context);
    return context;
}

void VErrorTaskContext::PopContext() {
    if (fStack.empty())
        return;
    VErrorContext* top = fStack.back();
    if (!top->IsEmpty() && top->IsKeepingErrors()) {
        if (fStack.size() >= 2) {
            fStack.pop_back();
            VErrorContext* below = fStack.back();
            if (top->IsSilent() && !below->IsSilent())
                LogErrors(top);
            below->PushErrors(top);
        } else {
            if (top->IsSilent())
                LogErrors(top);
            // The bottom context stays: a copy takes its place so the popped object can be recycled.
            fStack.back() = new VErrorContext(*top);
        }
    } else {
        fStack.pop_back();
    }
    top->Release();
}

void VErrorTaskContext::RecycleContext(VErrorContext* inContext) {
    if (inContext == nullptr)
        return;
    if (fSpare == nullptr && inContext->IsEmpty() && !inContext->HasFilter() &&
        !inContext->HasParametersForPushedErrors() && inContext->GetRefCount() == 1) {
        fSpare = inContext;
        return;
    }
    inContext->Release();
}

void VErrorTaskContext::MergeAndFlushLastContext(bool inSilent) {
    if (fStack.empty())
        return;
    VErrorContext* top = fStack.back();
    if (!top->IsEmpty() && top->IsKeepingErrors()) {
        if (inSilent)
            LogErrors(top);
        if (fStack.size() < 2)
            fStack.insert(fStack.begin(), new VErrorContext(*top));
        else
            fStack[fStack.size() - 2]->PushErrors(top);
    }
    top->Flush();
    top->SetSilent(inSilent);
}

VErrorBase* VErrorTaskContext::GetFirst() const noexcept {
    for (const VErrorContext* context : fStack)
        if (!context->IsEmpty())
            return context->GetFirst();
    return nullptr;
}

VErrorBase* VErrorTaskContext::GetLast() const noexcept {
    for (auto context = fStack.rbegin(); context != fStack.rend(); ++context)
        if (!(*context)->IsEmpty())
            return (*context)->GetLast();
    return nullptr;
}

VError VErrorTaskContext::GetLastError() const noexcept {
    return fStack.empty() ? VE_OK : fStack.back()->GetLastError();
}

VErrorBase* VErrorTaskContext::Find(VError inCode) const noexcept {
    for (const VErrorContext* context : fStack)
        if (VErrorBase* error = context->Find(inCode); error != nullptr)
            return error;
    return nullptr;
}

bool VErrorTaskContext::IsErrorFiltered(VError inCode) const noexcept {
    for (const VErrorContext* context : fStack)
        if (context->IsErrorFiltered(inCode))
            return true;
    return false;
}

bool VErrorTaskContext::FailedForMemory() const noexcept {
    return !fStack.empty() && fStack.back()->FailedForMemory();
}

void VErrorTaskContext::Flush() {
    if (!fStack.empty())
        fStack.back()->Flush();
}

void VErrorTaskContext::GetErrors(VErrorContext& outContext) const {
    for (const VErrorContext* context : fStack)
        outContext.PushErrors(context);
}

void VErrorTaskContext::BuildErrorStack(VValueBag& ioBag) const {
    static const StPackedDictionaryKey kErrorElement("__ERROR");
    static const StPackedDictionaryKey kMessage("message");
    static const StPackedDictionaryKey kComponentSignature("componentSignature");
    static const StPackedDictionaryKey kErrCode("errCode");
    VErrorContext all;
    GetErrors(all);
    for (const VErrorBase* error : all.GetErrors()) {
        VValueBag* element = new VValueBag;
        VString text;
        error->GetErrorDescription(text);
        element->SetString(kMessage, text);
        text.Clear();
        OsType component = ComponentFromVError(error->GetError());
        for (int shift = 24; shift >= 0; shift -= 8)
            text.AppendUniChar(static_cast<UniChar>((component >> shift) & 0xFF));
        element->SetString(kComponentSignature, text);
        element->SetAttribute(kErrCode, VLong(NumberFromVError(error->GetError())));
        ioBag.AddElement(kErrorElement, element);
        element->Release();
    }
}

} // namespace vkit
