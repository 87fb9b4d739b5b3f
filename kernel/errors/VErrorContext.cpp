// VErrorContext: pushing, merging, searching and saving errors.
#include "errors/VErrorContext.h"

#include "bags/VBagArray.h"
#include "bags/VValueBag.h"
#include "errors/IErrorLogger.h"
#include "errors/VErrorBase.h"

#include <algorithm>

namespace vkit {

VErrorContext::VErrorContext(const VErrorContext& inOther)
    : VObject(inOther), IRefCountable(), fFilter(inOther.fFilter),
      fParameters(inOther.fParameters != nullptr ? inOther.fParameters->Clone() : nullptr),
      fFailedForMemory(inOther.fFailedForMemory), fSilent(inOther.fSilent), fKeepErrors(inOther.fKeepErrors) {
    fErrors.reserve(inOther.fErrors.size());
    for (VErrorBase* error : inOther.fErrors)
        fErrors.push_back(RetainRefCountable(error));
}

VErrorContext::~VErrorContext() {
    Flush();
    ReleaseRefCountable(&fParameters);
}

void VErrorContext::_Append(VErrorBase* inError) {
    if (fParameters != nullptr)
        inError->GetBag().UnionClone(fParameters);
    fErrors.push_back(RetainRefCountable(inError));
}

bool VErrorContext::PushError(VErrorBase* inError) {
    if (inError == nullptr)
        return false;
    if (inError->GetError() == VE_MEMORY_FULL)
        fFailedForMemory = true;
    _Append(inError);
    return true;
}

void VErrorContext::PushErrors(const VErrorContext* inOther) {
    if (inOther == nullptr || inOther == this)
        return;
    for (VErrorBase* error : inOther->fErrors)
        _Append(error);
    fFailedForMemory = inOther->fFailedForMemory;
}

void VErrorContext::Flush() {
    for (VErrorBase* error : fErrors)
        error->Release();
    fErrors.clear();
    fFailedForMemory = false;
}

VError VErrorContext::GetLastError() const noexcept {
    return fErrors.empty() ? VE_OK : fErrors.back()->GetError();
}

VErrorBase* VErrorContext::Find(VError inCode) const noexcept {
    auto found = std::find_if(fErrors.begin(), fErrors.end(),
                              [inCode](const VErrorBase* inError) { return inError->GetError() == inCode; });
    return found == fErrors.end() ? nullptr : *found;
}

bool VErrorContext::FindAny(std::initializer_list<VError> inCodes) const noexcept {
    for (VError code : inCodes) {
        if (code == 0)
            break;
        if (Find(code) != nullptr)
            return true;
    }
    return false;
}

bool VErrorContext::IsErrorFiltered(VError inCode) const noexcept {
    return std::find(fFilter.begin(), fFilter.end(), inCode) != fFilter.end();
}

VValueBag* VErrorContext::GetParametersForPushedErrors(bool inCreate) {
    if (fParameters == nullptr && inCreate)
        fParameters = new VValueBag;
    return fParameters;
}

void VErrorContext::SaveToBag(VValueBag& ioBag) const {
    for (const VErrorBase* error : fErrors) {
        VValueBag* saved = new VValueBag;
        error->SaveToBag(*saved);
        ioBag.AddElement(ErrorBagKeys::error, saved);
        saved->Release();
    }
}

VError VErrorContext::LoadFromBag(const VValueBag& inBag) {
    const VBagArray* saved = inBag.GetElements(ErrorBagKeys::error);
    if (saved == nullptr)
        return VE_OK;
    for (VIndex i = 1; i <= saved->GetCount(); ++i) {
        VErrorBase* error = new VErrorBase;
        VError loaded = error->LoadFromBag(*saved->GetNth(i));
        if (loaded == VE_OK)
            PushError(error);
        error->Release();
        if (loaded != VE_OK)
            return loaded;
    }
    return VE_OK;
}

void VErrorContext::SendErrorsToLogger() const {
    IErrorLogger* logger = VErrorBase::GetProcessLogger();
    if (logger == nullptr)
        return;
    for (const VErrorBase* error : fErrors)
        logger->LogErrorIfNecessary(error);
}

} // namespace vkit
