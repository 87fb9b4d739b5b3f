// VProcess: the initialization and de-initialization sequences, the run, versions, folders and tokens.
#include "runtime/VProcess.h"

#include "errors/VErrorBase.h"
#include "errors/VErrorThrow.h"
#include "files/VFile.h"
#include "files/VFileOptions.h"
#include "files/VFileSystemNamespace.h"
#include "files/VFolder.h"
#include "logging/VLogger.h"
#include "platform/posix/application/XPosixProcessIPC.h"
#include "runtime/SpinLock.h"
#include "runtime/StLocker.h"
#include "runtime/VActivityToken.h"
#include "runtime/VSpinLockSettingsFile.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "text/VIntlMgr.h"

#include <atomic>

namespace vkit {

int sProcessCommandLineArgc = 0;
char** sProcessCommandLineArgv = nullptr;

VProcess* VProcess::sInstance = nullptr;

namespace {

/// The process whose activity tokens the running tasks hold (tasks may end on their own threads while
/// the process de-initializes).
std::atomic<VProcess*> sTokenOwner{nullptr};

constexpr const char* kInitFailedTitle = "Initialization failed";
constexpr const char* kSystemTooOld1012 = "This application needs at least OS X 10.12";
constexpr const char* kSystemTooOld107 = "This application needs at least OS X 10.7";
constexpr const char* kCaseSensitiveVolume =
    "Please install the application on a case insensitive file system.";

void ShowInitFailedAlert(const char* inMessage) {
    VSystem::DisplayNotification(VString(kInitFailedTitle), VString(inMessage), eNotificationButtonsOK);
}

} // namespace

VProcess::VProcess() : fFileSystemNamespace(new VFileSystemNamespace) {
    fMainBundle.OpenMain();
    _ReadProductInfo();
}

VProcess::VProcess(const VFilePath& inExecutable) : fFileSystemNamespace(new VFileSystemNamespace) {
    fMainBundle.OpenForExecutable(inExecutable);
    _ReadProductInfo();
}

void VProcess::_ReadProductInfo() {
    fLastActivityTime = VSystem::GetCurrentTime();
    fMainBundle.GetInfoString(VBundle::kNameKey, fProductName);
    fMainBundle.GetInfoString(VBundle::kShortVersionKey, fProductVersion);
    fLogSourceIdentifier = fProductName;
    // The process's alerts are shown under its name.
    VSystem::SetApplicationName(fProductName);
}

VProcess::~VProcess() {
    ReleaseRefCountable(&fFileSystemNamespace);
    if (fInitCalled)
        _DeInit();
}

bool VProcess::Init(uint32_t inFlags) {
    if (fInitCalled)
        return fInitSucceeded;
    fInitCalled = true;
    fInitSucceeded = _Init(inFlags);
    return fInitSucceeded;
}

bool VProcess::_Init(uint32_t inFlags) {
    // 1. minimum system; tested after step 2, so that the instance is known even when it fails.
    bool systemSupported = DoCheckSystemVersion(eOSVersion_10_12);
    // 2. the process object
    sInstance = this;
    fFiberedTasks = (inFlags & kInitFlagFiberedTasks) != 0;
    if (!systemSupported)
        return false;
    // 3. international manager for the user's language, the process default
    if (!_InitIntlMgr())
        return false;
    // 4. files, file kinds and resource files: brought up here once they exist
    // 5. install-folder case check: not run on Linux (see _CheckCaseInsensitiveInstallFolder)
    // 6. task manager, the main task on this thread, spin-lock tuning ("spinlock.prm", read by the
    // task manager through the reader installed here)
    SpinLock::SetSettingsReader(&VSpinLockSettingsFile::ReadForProcess);
    if (!VTaskMgr::Init(inFlags))
        return false;
    // Each running task holds an activity token of the process, until the task manager is gone.
    sTokenOwner.store(this);
    VTaskMgr::sActivityRegistrar.store([](VActivityToken* inToken, bool inRegister) {
        if (VProcess* process = sTokenOwner.load(); process != nullptr) {
            if (inRegister)
                process->RegisterActivityToken(inToken);
            else
                process->UnregisterActivityToken(inToken);
        }
    });
    // 7. errors
    VErrorBase::Init();
    // 8. debugging and progress managers: brought up here once they exist
    // 9. file-system namespaces
    if (!_Init_FileSystems())
        return false;
    // 10. JSON class store "zq" and its root classes: created here once JSON classes exist
    // 11. process logger
    if ((inFlags & kInitFlagLogger) != 0)
        _InitLogger();
    return true;
}

bool VProcess::_Init_FileSystems() {
    VError error = VE_OK;
    if (VFolder* documents = VFolder::RetainSystemFolder(eFolderUserDocuments, false); documents != nullptr) {
        error = fFileSystemNamespace->RegisterFileSystem(VString(".USER_HOME_DIRECTORY"), documents, 16);
        documents->Release();
    }
    if (error == VE_OK) {
        if (VFolder* resources = RetainFolder(kFolderResources); resources != nullptr) {
            error = fFileSystemNamespace->RegisterFileSystem(VString(".PRODUCT_RESOURCES"), resources, 0);
            resources->Release();
        }
    }
    if (error == VE_OK) {
        if (VFile* definitions = RetainFile(kFolderResources, VString("fileSystems.json"));
            definitions != nullptr) {
            error = fFileSystemNamespace->LoadFromDefinitionFile(definitions);
            definitions->Release();
        }
    }
    return error == VE_OK;
}

void VProcess::_DeInit() {
    if (sInstance == this)
        sInstance = nullptr;
    // debugging manager: de-initialized here once it exists
    VErrorBase::DeInit();
    VTaskMgr::DeInit();
    VTaskMgr::sActivityRegistrar.store(nullptr);
    sTokenOwner.store(nullptr);
    // resource files, file kinds, files, progress manager: de-initialized here once they exist
    _ReleaseIntlMgr();
    _ReleaseLogger();
    // ICU data of the international layer: released here once the text library offers it
}

bool VProcess::_InitIntlMgr() {
    // An empty locale name takes the user's first language.
    fIntlMgr = VIntlMgr::Create(VString());
    if (fIntlMgr == nullptr)
        return false;
    VIntlMgr::SetDefaultMgr(fIntlMgr);
    return true;
}

void VProcess::_ReleaseIntlMgr() {
    if (fIntlMgr == nullptr)
        return;
    // Every task has ended: nobody reads the default any more, so the references it holds can go too.
    if (VIntlMgr::GetDefaultMgr() == fIntlMgr)
        VIntlMgr::ReleaseDefaultMgrs();
    ReleaseRefCountable(&fIntlMgr);
}

void VProcess::_InitLogger() {
    fLogger = new VLogger;
    ILogger::SetProcessLogSource(GetLogSourceIdentifier());
    ILogger::SetProcessLogger(fLogger);
    fLogger->Start();
}

void VProcess::_ReleaseLogger() {
    if (fLogger == nullptr)
        return;
    if (ILogger::GetProcessLogger() == fLogger)
        ILogger::SetProcessLogger(nullptr);
    fLogger->Stop();
    ReleaseRefCountable(&fLogger);
}

VLogger* VProcess::GetLogger(EMessageLevel inLevel) const {
    return fLogger != nullptr && fLogger->ShouldLog(inLevel) ? fLogger : nullptr;
}

bool VProcess::DoCheckSystemVersion(SystemVersion inVersion) {
    if (VSystem::IsSystemVersionOrAbove(inVersion))
        return true;
    ShowInitFailedAlert(inVersion == eOSVersion_10_12 ? kSystemTooOld1012 : kSystemTooOld107);
    return false;
}

void VProcess::Run() {
    VTask* main = VTask::GetMain();
    if (main == nullptr || VTask::GetCurrent() != main || main->GetState() != eTaskStateRunning)
        return;
    if (!fInitCalled)
        Init(kDefaultInitFlags);
    if (!fInitSucceeded) {
        // Run has no result: the error on the main task's context is what the caller reads.
        (void)vThrowUserGeneratedError(VE_APPLICATION_INIT_FAILED, VString("VApplication::DoInit failed"));
        return;
    }
    VTask::FlushErrors();
    // Messaging on the process object starts here once the message mixin exists.
    DoRun();
    DoQuit();
    main->Kill();
    // Messaging on the process object stops here once the message mixin exists.
}

bool VProcess::IsRunning() const {
    VTask* main = VTask::GetMain();
    return main != nullptr && !main->IsDying();
}

void VProcess::QuitAsynchronously(const VString*) {
    if (VTask* main = VTask::GetMain()) {
        main->Kill();
        main->SetMessageQueueEvent();
    }
}

bool VProcess::_SplitVersionAtBuild(VString& outBefore, VString& outAfter) const {
    VIndex matchLength = 0;
    VIndex position =
        VIntlMgr::GetDefaultMgr()->FindString(fProductVersion, VString("build "), 1, false, &matchLength);
    if (position == 0)
        return false;
    fProductVersion.GetSubString(1, position - 1, outBefore);
    VIndex rest = position + matchLength;
    fProductVersion.GetSubString(rest, fProductVersion.GetLength() - rest + 1, outAfter);
    return true;
}

void VProcess::GetBuildNumber(VString& outNumber) const {
    VString before;
    if (!_SplitVersionAtBuild(before, outNumber))
        outNumber.Clear();
    outNumber.TrimSpaces();
}

void VProcess::GetShortProductVersion(VString& outVersion) const {
    VString after;
    if (!_SplitVersionAtBuild(outVersion, after))
        outVersion = fProductVersion;
    outVersion.TrimSpaces();
}

void VProcess::GetMainProductVersion(VString& outVersion) const {
    GetShortProductVersion(outVersion);
    if (VIndex dot = outVersion.FindUniChar(u'.'); dot > 0)
        outVersion.Truncate(dot - 1);
}

int32_t VProcess::GetChangeListNumber() const {
    VString build;
    GetBuildNumber(build);
    VIndex dot = build.FindLastUniChar(u'.');
    if (dot == 0)
        return 0;
    build.SubString(dot + 1, build.GetLength() - dot);
    return build.GetLong();
}

int32_t VProcess::GetSystemID() noexcept {
    return XPosixProcessIPC::GetCurrentProcessID();
}

bool VProcess::IsProcessRunning(int32_t inProcessID) noexcept {
    return VSystem::IsProcessRunning(inProcessID);
}

VFilePath VProcess::GetExecutableFolderPath() const {
    VFilePath folder;
    GetExecutableFilePath().GetFolder(folder);
    return folder;
}

bool VProcess::GetFolderPath(OsType inKind, VFilePath& outPath) const {
    return ComputeFolderPath(GetExecutableFolderPath(), inKind, outPath);
}

bool VProcess::ComputeFolderPath(const VFilePath& inExecutableFolder, OsType inKind, VFilePath& outPath) {
    outPath = inExecutableFolder;
    if (!outPath.IsFolder()) {
        outPath.Clear();
        return false;
    }
    switch (inKind) {
    case kFolderExecutable:
        break;
    case kFolderContents:
        outPath.ToParent();
        break;
    case kFolderBundle:
        outPath.ToParent().ToParent();
        break;
    case kFolderResources:
        outPath.ToParent().ToSubFolder("Resources");
        break;
    case kFolderNativeComponents:
        outPath.ToParent().ToSubFolder("Native Components");
        break;
    case kFolderJSONSchemas:
        outPath.ToParent().ToSubFolder("Resources").ToSubFolder("JSONSchemas");
        break;
    case kFolderDTD:
        outPath.ToParent().ToSubFolder("Resources").ToSubFolder("DTD");
        break;
    case kFolderXSD:
        outPath.ToParent().ToSubFolder("Resources").ToSubFolder("XSD");
        break;
    case kFolderXSL:
        outPath.ToParent().ToSubFolder("Resources").ToSubFolder("XSL");
        break;
    default:
        outPath.Clear();
        return false;
    }
    return outPath.IsValid();
}

VFolder* VProcess::RetainFolder(OsType inKind) const {
    VFilePath path;
    return GetFolderPath(inKind, path) ? new VFolder(path) : nullptr;
}

VFile* VProcess::RetainExecutableFile() const {
    const VFilePath& path = GetExecutableFilePath();
    return path.IsFile() ? new VFile(path) : nullptr;
}

VFile* VProcess::RetainFile(OsType inKind, const VString& inFileName, OsType inFallbackKind) const {
    VFile* file = _RetainExistingFile(inKind, inFileName);
    if (file == nullptr && inFallbackKind != 0)
        file = _RetainExistingFile(inFallbackKind, inFileName);
    return file;
}

VFile* VProcess::_RetainExistingFile(OsType inKind, const VString& inFileName) const {
    VFilePath path;
    if (!GetFolderPath(inKind, path) || !path.ToSubFile(inFileName).IsFile())
        return nullptr;
    VFile* file = new VFile(path);
    if (file->Exists())
        return file;
    file->Release();
    return nullptr;
}

void VProcess::RegisterActivityToken(VActivityToken* inToken) {
    StLocker lock(fActivityLock);
    fActivityTokens.insert(inToken);
}

void VProcess::UnregisterActivityToken(VActivityToken* inToken) {
    StLocker lock(fActivityLock);
    if (fActivityTokens.erase(inToken) != 0 && fActivityTokens.empty())
        fLastActivityTime = VSystem::GetCurrentTime();
}

bool VProcess::HasSomeActivityTokens(uint32_t inMilliseconds) {
    StLocker lock(fActivityLock);
    return !fActivityTokens.empty() || VSystem::GetCurrentTime() - fLastActivityTime < inMilliseconds;
}

bool VProcess::_CheckCaseInsensitiveInstallFolder() const {
    VFilePath resources;
    return !GetFolderPath(kFolderResources, resources) || CheckCaseInsensitiveFolder(resources);
}

bool VProcess::CheckCaseInsensitiveFolder(const VFilePath& inFolder) {
    VString name;
    inFolder.GetFolderName(name);
    VFilePath altered(inFolder);
    if (!name.IsEmpty()) {
        UniChar first = name[0];
        if (first >= u'a' && first <= u'z')
            name.Replace(VString(static_cast<UniChar>(first - u'a' + u'A')), 1, 1);
        else if (first >= u'A' && first <= u'Z')
            name.Replace(VString(static_cast<UniChar>(first - u'A' + u'a')), 1, 1);
        altered.SetFolderName(name);
    }
    bool exists = VFolder(inFolder).Exists();
    bool alteredExists = VFolder(altered).Exists();
    if (exists == alteredExists)
        return true;
    ShowInitFailedAlert(kCaseSensitiveVolume);
    return false;
}

} // namespace vkit
