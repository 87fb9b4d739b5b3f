// VUpdateEngine's reporting: its log file, the progress line for the caller, the failure alert and the
// localization store behind the error texts.
#include "UpdaterErrors.h"
#include "UpdaterLog.h"
#include "VUpdateEngine.h"

#include "bags/StPackedDictionaryKey.h"
#include "bags/VValueBag.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorContext.h"
#include "files/VFolder.h"
#include "localization/VComponentManager.h"
#include "localization/VLocalizationManager.h"
#include "localization/VUTIManager.h"
#include "logging/VLog4jMsgFileLogger.h"
#include "logging/VLogger.h"
#include "runtime/VSystem.h"
#include "text/VString.h"
#include "text/VTime.h"

#include <string>
#include <vector>

using vkit::VFilePath;
using vkit::VString;

namespace {

/// The components whose error texts the updater's localization files give.
constexpr vkit::OsType kLocalizedComponents[] = {vkit::MakeOsType("vkit"), vkit::MakeOsType("xmlc"),
                                                 vkit::MakeOsType("PW32"), zq::kComponentUpdater};

const vkit::StPackedDictionaryKey kLogFilePathKey("LogFilePath");

/// "YYYY-MM-DD_hh-mm-ss_log" for the local time now.
VString MakeLogName() {
    int16_t year, month, day, hour, minute, second, millisecond;
    vkit::VTime::Now().GetLocalTime(year, month, day, hour, minute, second, millisecond);
    VString name;
    name.Printf("%04d-%02d-%02d_%02d-%02d-%02d_log", year, month, day, hour, minute, second);
    return name;
}

} // namespace

VUpdateEngine::~VUpdateEngine() {
    if (fLocalizationManager == nullptr)
        return;
    // Nothing may ask the store for a text once it is gone.
    for (vkit::OsType component : kLocalizedComponents)
        vkit::VErrorBase::UnregisterLocalizer(component);
    SetLocalizer(nullptr);
    vkit::VUTIManager::SetLocalizationManager(nullptr);
    fLocalizationManager->Release();
}

bool VUpdateEngine::Init(uint32_t inFlags) {
    if (!VProcessIPC::Init(inFlags))
        return false;
    (void)_InitLocalizationManager(); // loading problems are not reported
    return true;
}

bool VUpdateEngine::_InitLog() {
    if (!fLogFolderPath.IsValid() || !fLogFolderPath.IsFolder())
        return false;
    vkit::VFolder folder(fLogFolderPath);
    // A folder that cannot be made leaves its error on the run's context: the update is then skipped.
    if (!folder.Exists() && folder.CreateRecursive() != vkit::VE_OK)
        return false;
    fLogFileLogger = std::make_unique<vkit::VLog4jMsgFileLogger>(fLogFolderPath, MakeLogName());
    (void)fLogFileLogger->Start(); // judged by IsStarted
    if (!fLogFileLogger->IsStarted())
        zq::PushUpdaterError(zq::VE_UPZQ_LOG_FAILED);
    return fLogFileLogger->IsStarted();
}

void VUpdateEngine::_DeInitLog() {
    if (vkit::VLogger* logger = GetLogger(); logger != nullptr)
        logger->Flush();
    if (fLogFileLogger != nullptr) {
        fLogFileLogger->Stop();
        fLogFileLogger.reset();
    }
}

bool VUpdateEngine::_InitLocalizationManager() {
    vkit::VRefPtr<vkit::VFolder> bundle = vkit::AdoptRef(RetainFolder(kFolderBundle));
    vkit::DialectCode language = vkit::VComponentManager::GetLocalizationLanguage(bundle.Get(), true, 0);
    fLocalizationManager = new vkit::VLocalizationManager(language);
    // A successful run asks for no text: the files are parsed only when one is asked for.
    fLocalizationManager->ParseOnFirstUse();
    (void)fLocalizationManager->LoadDefaultLocalizationFoldersForComponentOrPlugin(bundle.Get());
    SetLocalizer(fLocalizationManager);
    vkit::VUTIManager::SetLocalizationManager(fLocalizationManager);
    for (vkit::OsType component : kLocalizedComponents)
        vkit::VErrorBase::RegisterLocalizer(component, fLocalizationManager);
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
    VString logFile;
    if (fLogFileLogger != nullptr) {
        VFilePath folder;
        VString name;
        fLogFileLogger->GetLogFolderPath(folder);
        fLogFileLogger->GetLogName(name);
        name.AppendCString("_1.txt");
        VFilePath(folder, name, vkit::FilePathStyle::Posix).GetPosixPath(logFile);
        VString sentence =
            vkit::LocalizeString(VString("MoreInformationsAvailableInLogFile"),
                                 "More information is available in the log file '{LogFilePath}'");
        if (!sentence.IsEmpty()) {
            vkit::VValueBag values;
            values.SetString(kLogFilePathKey, logFile);
            sentence.Format(&values, true);
            message.AppendPrintf("\r\n%S", &sentence);
        }
    }
    // The buttons say what they do: the default one closes the alert, the other opens the log. The
    // header says that the update failed, also to a reader of the terminal.
    vkit::VNotificationOptions options;
    options.fAffirmativeLabel = vkit::LocalizeString(VString("AlertOpenLogButton"), "Open Log");
    options.fNegativeLabel = vkit::LocalizeString(VString("AlertCloseButton"), "Close");
    VString title = vkit::LocalizeString(VString("AlertUpdateFailed"), "The update failed.");
    vkit::ENotificationResponse answer = vkit::eNotificationNo;
    std::vector<VString> dialogFailures;
    (void)vkit::VSystem::DisplayNotification(title, message,
                                             vkit::eNotificationButtonsYesNo | vkit::eNotificationError,
                                             &answer, &options, &dialogFailures);
    // A desktop user never sees standard error: a dialog that failed is told in the log.
    for (const VString& failure : dialogFailures)
        LogError("The failure alert could not be shown: %S", &failure);
    if (answer == vkit::eNotificationYes && !logFile.IsEmpty())
        (void)vkit::VSystem::OpenWithDefaultApplication(logFile);
}
