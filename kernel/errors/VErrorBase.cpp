// VErrorBase: error texts, saving to bags, localizers.
#include "errors/VErrorBase.h"

#include "bags/VValueBag.h"
#include "errors/IErrorLogger.h"
#include "errors/ILocalizer.h"
#include "errors/VErrorThrow.h"
#include "errors/VNativeErrorTable.h"
#include "platform/posix/errors/XPosixErrorText.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "text/VLong.h"
#include "text/VLong8.h"

#include <atomic>
#include <map>

namespace vkit {

const StPackedDictionaryKey ErrorBagKeys::error_code("error_code");
const StPackedDictionaryKey ErrorBagKeys::task_id("task_id");
const StPackedDictionaryKey ErrorBagKeys::task_name("task_name");
const StPackedDictionaryKey ErrorBagKeys::parameters("parameters");
const StPackedDictionaryKey ErrorBagKeys::error("error");
const StPackedDictionaryKey ErrorBagKeys::p1("p1");
const StPackedDictionaryKey ErrorBagKeys::p2("p2");
const StPackedDictionaryKey ErrorBagKeys::p3("p3");
const StPackedDictionaryKey ErrorBagKeys::error_description("error_description");
const StPackedDictionaryKey ErrorBagKeys::action_description("action_description");

namespace {

// Changed only during start-up and shut-down, when no other task runs: no lock.
std::map<OsType, ILocalizer*>& Localizers() {
    static std::map<OsType, ILocalizer*> sLocalizers;
    return sLocalizers;
}

std::atomic<bool> sInited{false};
std::atomic<IErrorLogger*> sProcessLogger{nullptr};

/// The four signature characters ("%c%c%c%c"); with inAsText, only those before the first zero byte,
/// as "%.4s" reads them (a zero signature gives nothing).
void AppendSignature(VString& ioText, OsType inComponent, bool inAsText = false) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        auto character = static_cast<UniChar>((inComponent >> shift) & 0xFF);
        if (inAsText && character == 0)
            return;
        ioText.AppendUniChar(character);
    }
}

} // namespace

VErrorBase::VErrorBase() : fParameters(new VValueBag) {}

VErrorBase::VErrorBase(VError inCode) : fError(inCode), fParameters(new VValueBag) {
    if (VTask* task = VTask::GetCurrent(); task != nullptr) {
        fTaskID = task->GetID();
        task->GetName(fTaskName);
    }
}

VErrorBase::VErrorBase(const VErrorBase& inOther)
    : VObject(inOther), IRefCountable(), fError(inOther.fError), fTaskID(inOther.fTaskID),
      fTaskName(inOther.fTaskName), fParameters(new VValueBag(*inOther.fParameters)) {}

VErrorBase::~VErrorBase() {
    fParameters->Release();
}

void VErrorBase::GetErrorString(VString& outText) const {
    outText.Clear();
    outText.AppendCString("Error code: ");
    outText.AppendLong(NumberFromVError(fError));
    outText.AppendCString(" (");
    AppendSignature(outText, ComponentFromVError(fError), true);
    outText.AppendUniChar(u')');
}

void VErrorBase::GetErrorDescription(VString& outText) const {
    outText.Clear();
    if (fError != VE_OK) {
        ILocalizer* localizer = GetLocalizer(ComponentFromVError(fError));
        if (localizer != nullptr && CallLocalizer(localizer, fError, fParameters, outText))
            return;
        outText.Clear();
        GetNativeErrorText(fError, outText);
    }
    if (outText.IsEmpty() && fParameters->GetString(ErrorBagKeys::error_description, outText) &&
        !outText.IsEmpty()) {
        outText.Format(fParameters, true);
        return;
    }
    if (outText.IsEmpty())
        GetErrorString(outText);
}

void VErrorBase::GetActionDescription(VString& outText) const {
    outText.Clear();
    if (fParameters->GetString(ErrorBagKeys::action_description, outText))
        outText.Format(fParameters, true);
}

void VErrorBase::GetLocation(VString& outText) const {
    outText.Clear();
    OsType component = ComponentFromVError(fError);
    if (component == kComponentVkit) {
        outText.AppendCString("vkitcore");
        return;
    }
    outText.AppendCString("component: '");
    AppendSignature(outText, component);
    outText.AppendUniChar(u'\'');
}

void VErrorBase::GetTaskName(VString& outName, int32_t* outTaskID) const {
    outName = fTaskName;
    if (outTaskID != nullptr)
        *outTaskID = fTaskID;
}

void VErrorBase::DumpToString(VString& outText) const {
    outText.Clear();
    VString line;
    GetErrorString(line);
    outText.AppendString(line).AppendUniChar(u'\n');
    GetErrorDescription(line);
    if (!line.IsEmpty())
        outText.AppendString(line).AppendUniChar(u'\n');
    GetLocation(line);
    if (!line.IsEmpty())
        outText.AppendString(line).AppendUniChar(u'\n');
    GetActionDescription(line);
    if (!line.IsEmpty())
        outText.AppendString(line).AppendUniChar(u'\n');
    if (fTaskName.IsEmpty())
        outText.AppendPrintf("task %d\n", fTaskID);
    else
        outText.AppendPrintf("task %d, name: '%S'\n", fTaskID, &fTaskName);
}

VString& VErrorBase::DebugDump(VString& ioDump) const {
    if (IsInited()) {
        VString text;
        DumpToString(text);
        return ioDump.AppendString(text);
    }
    ioDump.AppendCString("Error code: ");
    ioDump.AppendLong(NumberFromVError(fError));
    ioDump.AppendCString(", component: '");
    AppendSignature(ioDump, ComponentFromVError(fError), true);
    ioDump.AppendCString("', task ID: ");
    return ioDump.AppendLong(fTaskID);
}

void VErrorBase::SaveToBag(VValueBag& ioBag) const {
    ioBag.SetAttribute(ErrorBagKeys::error_code, VLong8(static_cast<int64_t>(fError)));
    ioBag.SetAttribute(ErrorBagKeys::task_id, VLong(fTaskID));
    ioBag.SetString(ErrorBagKeys::task_name, fTaskName);
    ioBag.ReplaceElement(ErrorBagKeys::parameters, fParameters);
}

VError VErrorBase::LoadFromBag(const VValueBag& inBag) {
    VLong8 code;
    fError = inBag.GetAttribute(ErrorBagKeys::error_code, code) ? static_cast<VError>(code.GetLong8()) : 0;
    VLong taskID;
    fTaskID = inBag.GetAttribute(ErrorBagKeys::task_id, taskID) ? taskID.GetLong() : 0;
    if (!inBag.GetString(ErrorBagKeys::task_name, fTaskName))
        fTaskName.Clear();
    if (const VValueBag* parameters = inBag.GetUniqueElement(ErrorBagKeys::parameters);
        parameters != nullptr) {
        if (VValueBag* clone = parameters->Clone(); clone != nullptr) {
            fParameters->Release();
            fParameters = clone;
        }
    }
    return VE_OK;
}

void VErrorBase::RegisterLocalizer(OsType inComponent, ILocalizer* inLocalizer) {
    Localizers()[inComponent] = inLocalizer;
}

void VErrorBase::UnregisterLocalizer(OsType inComponent) {
    Localizers().erase(inComponent);
}

ILocalizer* VErrorBase::GetLocalizer(OsType inComponent) {
    auto& localizers = Localizers();
    auto found = localizers.find(inComponent);
    return found == localizers.end() ? nullptr : found->second;
}

bool VErrorBase::CallLocalizer(ILocalizer* inLocalizer, VError inError, const VValueBag* inParameters,
                               VString& outText) {
    if (inError == VE_OK)
        return true;
    if (inLocalizer != nullptr && inLocalizer->LocalizeErrorMessage(inError, outText)) {
        outText.Format(inParameters, true);
        return true;
    }
    outText.Clear();
    return false;
}

void VErrorBase::Init() {
    VNativeErrorTable::Init();
    sInited.store(true, std::memory_order_release);
    // The runtime sits below this layer: it reports its own failures (thread creation) through this.
    VTaskMgr::sErrorReporter = [](uint64_t inError) { _ThrowError(inError); };
}

void VErrorBase::DeInit() {
    VTaskMgr::sErrorReporter = nullptr;
    sInited.store(false, std::memory_order_release);
}

bool VErrorBase::IsInited() {
    return sInited.load(std::memory_order_acquire);
}

void VErrorBase::SetProcessLogger(IErrorLogger* inLogger) {
    sProcessLogger.store(inLogger, std::memory_order_release);
}

IErrorLogger* VErrorBase::GetProcessLogger() {
    return sProcessLogger.load(std::memory_order_acquire);
}

void VErrorBase::GetNativeErrorText(VError inError, VString& outText) {
    outText.Clear();
    int32_t number = NumberFromVError(inError);
    switch (ComponentFromVError(inError)) {
    case kComponentPosix:
        outText.AppendCString(XPosixErrorText::GetSystemMessage(number).c_str());
        break;
    // These carry the codes of other systems; Linux has no text for them.
    case kComponentMach:
        outText.AppendPrintf("Mach kernel error %d", number);
        break;
    case kComponentCarbon:
        outText.AppendPrintf("Operating system status %d.", number);
        break;
    case kComponentCocoa:
        outText.AppendPrintf("Cocoa error %d", number);
        break;
    default:
        break;
    }
}

} // namespace vkit
