// VUpdateEngine's reporting: its log file, the progress line for the caller, the failure alert and the
// localization store behind the error texts.
#include "UpdaterLog.h"
#include "VUpdateEngine.h"

#include "errors/VErrorBase.h"
#include "errors/VErrorContext.h"
#include "runtime/VSystem.h"
#include "text/VString.h"

#include <string>

using vkit::VString;

VUpdateEngine::~VUpdateEngine() {
    // The localization store, when one was made, is released here once the localization layer lands;
    // the paths and the base object go with the members.
}

bool VUpdateEngine::Init(uint32_t inFlags) {
    if (!VProcessIPC::Init(inFlags))
        return false;
    (void)_InitLocalizationManager(); // loading problems are not reported
    return true;
}

bool VUpdateEngine::_InitLog() {
    // Opens the log file writer in fLogFolderPath once the log file writer lands; UPZQ 101 when it fails.
    return false;
}

void VUpdateEngine::_DeInitLog() {
    // Flushes the process logger, then stops and deletes fLogFileLogger, once the logger lands.
}

bool VUpdateEngine::_InitLocalizationManager() {
    // Creates the localization store from the bundle's Resources once the localization layer lands.
    return true;
}

void VUpdateEngine::_LogProgressToCaller(const char* inStep, int inValue) {
    if (!fReportToCaller)
        return;
    std::string line(inStep);
    line += ',';
    line += std::to_string(inValue);
    line += '\n';
    (void)vkit::VSystem::WriteToStandardOutput(line); // a caller that stopped reading is not waited for
}

void VUpdateEngine::_ShowFailureAlert(const vkit::VErrorContext& inRunContext) {
    VString message;
    if (const vkit::VErrorBase* last = inRunContext.GetLast(); last != nullptr) {
        last->GetErrorDescription(message);
        if (message.IsEmpty())
            last->GetErrorString(message);
    }
    vkit::ENotificationResponse answer = vkit::eNotificationNo;
    (void)vkit::VSystem::DisplayNotification(VString(""), message, vkit::eNotificationButtonsYesNo, &answer);
}
