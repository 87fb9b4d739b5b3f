// VErrorBase: an error object, its code, the task it arose on and its parameters.
#pragma once

#include "errors/VErrorCodes.h"
#include "text/IRefCountable.h"
#include "text/VObject.h"
#include "text/VString.h"

#include <utility>
#include <vector>

namespace vkit {

class ILocalizer;
class IErrorLogger;
class VValueBag;
class StPackedDictionaryKey;

/// Names of the bag attributes and elements of the error vocabulary.
struct ErrorBagKeys {
    static const StPackedDictionaryKey error_code; // 64-bit integer
    static const StPackedDictionaryKey task_id;    // 32-bit integer
    static const StPackedDictionaryKey task_name;  // string
    static const StPackedDictionaryKey parameters; // element holding the parameter bag
    static const StPackedDictionaryKey error;      // element of one saved error
    static const StPackedDictionaryKey p1;         // parameters of the throwing functions
    static const StPackedDictionaryKey p2;
    static const StPackedDictionaryKey p3;
    static const StPackedDictionaryKey error_description;
    static const StPackedDictionaryKey action_description;
};

/// An error: a 64-bit code, the task current when it was made, and a bag of named parameters that
/// its texts may refer to as "{name}". Reference counted; created with one reference.
class VErrorBase : public VObject, public IRefCountable {
public:
    VErrorBase();
    /// An error for inCode on the current task (task id and name recorded; 0 and empty off tasks).
    explicit VErrorBase(VError inCode);
    /// Copies code and task identity and clones the parameters.
    VErrorBase(const VErrorBase& inOther);
    VErrorBase& operator=(const VErrorBase&) = delete;
    ~VErrorBase() override;

    [[nodiscard]] VError GetError() const noexcept { return fError; }
    int32_t GetTaskID() const noexcept { return fTaskID; }
    const VValueBag& GetBag() const noexcept { return *fParameters; }
    VValueBag& GetBag() noexcept { return *fParameters; }

    /// "Error code: <number> (<signature>)".
    virtual void GetErrorString(VString& outText) const;
    /// The localized text of the code, else the system's text of a native code, else the parameter
    /// "error_description", else GetErrorString; placeholders filled from the parameters.
    virtual void GetErrorDescription(VString& outText) const;
    /// The parameter "action_description" with its placeholders filled; empty when absent.
    virtual void GetActionDescription(VString& outText) const;
    /// "vkitcore" for the library's errors, else "component: '<signature>'".
    virtual void GetLocation(VString& outText) const;
    /// The task's name, and its id through outTaskID when given.
    virtual void GetTaskName(VString& outName, int32_t* outTaskID = nullptr) const;
    /// Error string, description, location, action (each when not empty) and the task, one a line.
    virtual void DumpToString(VString& outText) const;
    VString& DebugDump(VString& ioDump) const override;

    /// The call stack captured for the error, innermost frame first; empty unless one was set (the
    /// library itself captures none). A copy of an error starts without one.
    const std::vector<VString>& GetStackCrawl() const noexcept { return fStackCrawl; }
    void SetStackCrawl(std::vector<VString> inFrames) { fStackCrawl = std::move(inFrames); }

    /// Stores "error_code", "task_id", "task_name" and the "parameters" element.
    void SaveToBag(VValueBag& ioBag) const;
    /// Reads what SaveToBag wrote (missing attributes clear their field). Answers 0.
    [[nodiscard]] VError LoadFromBag(const VValueBag& inBag);

    // Localizers: one per component signature, process-wide, changed only at start-up and shut-down.
    static void RegisterLocalizer(OsType inComponent, ILocalizer* inLocalizer);
    static void UnregisterLocalizer(OsType inComponent);
    static ILocalizer* GetLocalizer(OsType inComponent);
    /// Asks the localizer for the text of inError and fills its placeholders from inParameters;
    /// clears outText and answers false when it has none. Without a code, answers true.
    static bool CallLocalizer(ILocalizer* inLocalizer, VError inError, const VValueBag* inParameters,
                              VString& outText);

    /// Brings the error layer up (the process start-up calls it): the native-code table is filled and
    /// thrown errors are recorded from now on. DeInit stops it.
    static void Init();
    static void DeInit();
    /// True between Init and DeInit: _ThrowError records nothing outside that span.
    static bool IsInited();

    /// The process logger to which errors leaving a silent context are handed; null for none.
    static void SetProcessLogger(IErrorLogger* inLogger);
    static IErrorLogger* GetProcessLogger();

protected:
    /// The text of a native code (POSX, MACH, CARB, COCO); empty for other components.
    static void GetNativeErrorText(VError inError, VString& outText);

private:
    VError fError = VE_OK;
    int32_t fTaskID = 0;
    VString fTaskName;
    VValueBag* fParameters;
    std::vector<VString> fStackCrawl;
};

} // namespace vkit
