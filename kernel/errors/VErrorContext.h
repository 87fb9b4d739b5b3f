// VErrorContext: one level of a task's error stack, holding the errors pushed while it is on top.
#pragma once

#include "errors/VErrorCodes.h"
#include "text/IRefCountable.h"
#include "text/VObject.h"

#include <initializer_list>
#include <vector>

namespace vkit {

class VErrorBase;
class VValueBag;

/// An ordered list of retained errors (oldest first) with a filter of codes and the flags that decide
/// how its errors travel when it is removed: silent (errors leaving it are logged) and keep errors.
class VErrorContext : public VObject, public IRefCountable {
public:
    VErrorContext() = default;
    /// Copies the errors (retained), the filter, the parameters and the flags.
    VErrorContext(const VErrorContext& inOther);
    VErrorContext& operator=(const VErrorContext&) = delete;
    ~VErrorContext() override;

    /// Appends the error (retained) after merging the context's parameters for pushed errors into
    /// its bag; vkit 100 marks the context failed for memory. False for a null error.
    bool PushError(VErrorBase* inError);
    /// Appends every error of the other context the same way; takes over its failed-for-memory flag.
    void PushErrors(const VErrorContext* inOther);
    /// Releases every error and clears failed for memory.
    void Flush();

    bool IsEmpty() const noexcept { return fErrors.empty(); }
    const std::vector<VErrorBase*>& GetErrors() const noexcept { return fErrors; }
    VErrorBase* GetFirst() const noexcept { return fErrors.empty() ? nullptr : fErrors.front(); }
    VErrorBase* GetLast() const noexcept { return fErrors.empty() ? nullptr : fErrors.back(); }
    /// The code of the last error, 0 when there is none.
    [[nodiscard]] VError GetLastError() const noexcept;
    /// The first error with that code, or null.
    VErrorBase* Find(VError inCode) const noexcept;
    /// Whether any error has one of the codes (a 0 in the list ends it).
    bool FindAny(std::initializer_list<VError> inCodes) const noexcept;

    void AddErrorToFilter(VError inCode) { fFilter.push_back(inCode); }
    bool IsErrorFiltered(VError inCode) const noexcept;
    bool HasFilter() const noexcept { return !fFilter.empty(); }

    /// The parameters merged into every error pushed here; created empty when inCreate is true.
    VValueBag* GetParametersForPushedErrors(bool inCreate);
    bool HasParametersForPushedErrors() const noexcept { return fParameters != nullptr; }

    bool IsSilent() const noexcept { return fSilent; }
    void SetSilent(bool inSilent) noexcept { fSilent = inSilent; }
    bool IsKeepingErrors() const noexcept { return fKeepErrors; }
    void SetKeepingErrors(bool inKeep) noexcept { fKeepErrors = inKeep; }
    bool FailedForMemory() const noexcept { return fFailedForMemory; }
    void SetFailedForMemory(bool inFailed) noexcept { fFailedForMemory = inFailed; }

    /// One "error" element per error, in order.
    void SaveToBag(VValueBag& ioBag) const;
    /// Pushes a new error for each "error" element. Answers 0, or vkit 100 when one cannot be made.
    [[nodiscard]] VError LoadFromBag(const VValueBag& inBag);
    /// Hands every error to the process logger (nothing without one).
    void SendErrorsToLogger() const;

private:
    void _Append(VErrorBase* inError);

    std::vector<VErrorBase*> fErrors;
    std::vector<VError> fFilter;
    VValueBag* fParameters = nullptr;
    bool fFailedForMemory = false;
    bool fSilent = false;
    bool fKeepErrors = true;
};

} // namespace vkit
