// StErrorContextInstaller: a scoped guard that gives a stretch of code its own error context.
#pragma once

#include "errors/VErrorCodes.h"

#include <initializer_list>

namespace vkit {

class VErrorContext;
class VErrorTaskContext;

/// Installs a new error context on the current task for the guard's lifetime (a free-standing one
/// when no task is current). When the guard ends, the context is popped: kept errors pass to the
/// context below (see VErrorTaskContext::PopContext).
class StErrorContextInstaller {
public:
    /// A context with these flags. keep errors false drops every error raised inside; silent hands
    /// the errors to the logger when they leave it for a context that is not silent.
    explicit StErrorContextInstaller(bool inKeepErrors = true, bool inSilent = false);
    /// A context that keeps errors, is not silent, and filters these codes (a 0 ends the list):
    /// raising one of them makes the context silent.
    explicit StErrorContextInstaller(std::initializer_list<VError> inFilteredCodes);
    /// The same with one code: guard(code) filters it (an error code never stands for the flags above;
    /// a call with an int is ambiguous and does not compile).
    explicit StErrorContextInstaller(VError inFilteredCode) : StErrorContextInstaller({inFilteredCode}) {}
    template <class... Codes>
    StErrorContextInstaller(VError inFirst, VError inSecond, Codes... inOthers)
        : StErrorContextInstaller({inFirst, inSecond, static_cast<VError>(inOthers)...}) {}
    StErrorContextInstaller(const StErrorContextInstaller&) = delete;
    StErrorContextInstaller& operator=(const StErrorContextInstaller&) = delete;
    ~StErrorContextInstaller();

    VErrorContext* GetContext() const noexcept { return fContext; }
    /// The code of the context's last error, 0 when it holds none.
    [[nodiscard]] VError GetLastError() const noexcept;

private:
    void _Init(bool inKeepErrors, bool inSilent);

    VErrorTaskContext* fTaskContext = nullptr;
    VErrorContext* fContext = nullptr;
    bool fSilent = false;
};

} // namespace vkit
