// IErrorLogger: where errors handed to "the process logger" go (the logger registers itself).
#pragma once

namespace vkit {

class VErrorBase;

/// The part of the process logger that the error layer calls: errors leaving a silent context are
/// logged through it. The logging library implements it and registers it with
/// VErrorBase::SetProcessLogger.
class IErrorLogger {
public:
    virtual ~IErrorLogger() = default;
    /// Logs the error when the logger's settings ask for it.
    virtual void LogErrorIfNecessary(const VErrorBase* inError) = 0;
};

} // namespace vkit
