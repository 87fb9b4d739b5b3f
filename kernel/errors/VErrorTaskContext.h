// VErrorTaskContext: a task's stack of error contexts.
#pragma once

#include "errors/VErrorCodes.h"
#include "text/IRefCountable.h"
#include "text/VObject.h"

#include <vector>

namespace vkit {

class VErrorBase;
class VErrorContext;
class VValueBag;

/// The stack of error contexts of one task, bottom first, with one spare empty context kept for
/// reuse. Owned by its task and used only on it: no lock.
class VErrorTaskContext : public VObject, public IRefCountable {
public:
    VErrorTaskContext();
    VErrorTaskContext(const VErrorTaskContext&) = delete;
    VErrorTaskContext& operator=(const VErrorTaskContext&) = delete;
    ~VErrorTaskContext() override;

    /// Pushes the error on the top context (making a bottom context when the stack is empty), then
    /// tells through outFiltered whether a silent context or a filter above the bottom withholds it
    /// (a filter also makes the top context silent). False for a null error.
    bool PushError(VErrorBase* inError, bool* outFiltered = nullptr);
    void PushErrorsFromContext(const VErrorContext* inContext);
    /// Loads and pushes one error per "error" element; stops at the first that fails to load.
    void PushErrorsFromBag(const VValueBag& inBag);

    /// Pushes a new top context with these flags (the spare when there is one) and returns it.
    VErrorContext* PushNewContext(bool inKeepErrors, bool inSilent);
    /// Removes the top context: its errors, when kept, pass to the context below (logged when they
    /// leave a silent context for one that is not); the bottom context is replaced by a copy.
    void PopContext();
    /// Keeps the context as the spare when it is clean and only referenced once, else releases it.
    void RecycleContext(VErrorContext* inContext);
    /// Hands the top context's errors down (or copies it to the bottom when it is alone), logging
    /// them first when inSilent is true; then empties it and sets its silent flag to inSilent.
    void MergeAndFlushLastContext(bool inSilent);

    VErrorContext* GetTop() const noexcept { return fStack.empty() ? nullptr : fStack.back(); }
    size_t GetDepth() const noexcept { return fStack.size(); }
    /// First error of the lowest context that has errors, or null.
    VErrorBase* GetFirst() const noexcept;
    /// Last error of the highest context that has errors, or null.
    VErrorBase* GetLast() const noexcept;
    /// Code of the last error of the top context only; 0 when it has none.
    [[nodiscard]] VError GetLastError() const noexcept;
    /// First error with that code, searching from the bottom.
    VErrorBase* Find(VError inCode) const noexcept;
    /// True when any context of the stack filters the code.
    bool IsErrorFiltered(VError inCode) const noexcept;
    bool FailedForMemory() const noexcept;
    /// Empties the top context.
    void Flush();
    /// Merges every context, bottom first, into outContext.
    void GetErrors(VErrorContext& outContext) const;
    /// Merges every context's errors bottom first and adds for each an element "__ERROR" with
    /// "message", "componentSignature" and "errCode".
    void BuildErrorStack(VValueBag& ioBag) const;

private:
    VErrorContext* fSpare = nullptr;
    std::vector<VErrorContext*> fStack;
};

} // namespace vkit
