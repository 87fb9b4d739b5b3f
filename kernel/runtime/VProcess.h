// VProcess: the one process object: library start-up and shut-down, the run, product facts and folders.
#pragma once

#include "errors/VErrorCodes.h"
#include "files/VFilePath.h"
#include "logging/ILogger.h"
#include "runtime/VBundle.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VSystem.h"
#include "text/VObject.h"
#include "text/VString.h"

#include <cstdint>
#include <set>

namespace vkit {

class ILocalizer;
class VActivityToken;
class VFile;
class VFileSystemNamespace;
class VFolder;
class VIntlMgr;
class VLogger;

/// The argument count and vector of main, stored by the entry point before the process object is built;
/// the command-line stage of VProcessIPC::Init reads them.
extern int sProcessCommandLineArgc;
extern char** sProcessCommandLineArgv;

/// The process object: one instance of a class derived from VProcess per program, which the entry point
/// constructs, initializes and runs on the main thread. Init brings the library's services up in a fixed
/// order, Run calls DoRun then DoQuit on the main task, and the destructor brings the services down in
/// the reverse order. Product name and version come from the main bundle's Info.plist, the folders of
/// GetFolderPath from the place of the executable.
///
/// Only the activity tokens are shared with other tasks (under the object's critical section); the
/// rest is used on the main task, and QuitAsynchronously may be called from any task.
class VProcess : public VObject {
public:
    /// Init flags: tasks run as fibers (threads on Linux), create the process logger, create the
    /// file-system notifier (VProcessIPC).
    static constexpr uint32_t kInitFlagFiberedTasks = 0x02;
    static constexpr uint32_t kInitFlagLogger = 0x10;
    static constexpr uint32_t kInitFlagFileSystemNotifier = 0x40;
    /// The flags of the entry point, also used by Run when Init was not called.
    static constexpr uint32_t kDefaultInitFlags = kInitFlagLogger | kInitFlagFileSystemNotifier;

    /// Folder kinds of GetFolderPath. E is the folder that holds the executable (in a bundle,
    /// "Contents/MacOS/").
    static constexpr OsType kFolderExecutable = MakeOsType("EXEC");       // E
    static constexpr OsType kFolderBundle = MakeOsType("BNDL");           // the parent of the parent of E
    static constexpr OsType kFolderContents = MakeOsType("PLST");         // the parent of E
    static constexpr OsType kFolderResources = MakeOsType("RSRC");        // "Resources" in the parent of E
    static constexpr OsType kFolderNativeComponents = MakeOsType("NCMP"); // "Native Components" there
    static constexpr OsType kFolderJSONSchemas = MakeOsType("JSNs");      // "JSONSchemas" in RSRC
    static constexpr OsType kFolderDTD = MakeOsType("DTDs");              // "DTD" in RSRC
    static constexpr OsType kFolderXSD = MakeOsType("XSDs");              // "XSD" in RSRC
    static constexpr OsType kFolderXSL = MakeOsType("XSLs");              // "XSL" in RSRC

    /// The process object from the start of its initialization to its de-initialization, else null.
    static VProcess* sInstance;
    static VProcess* Get() noexcept { return sInstance; }

    /// A process object for the running executable: reads the product name and version from the main
    /// bundle. Brings nothing up.
    VProcess();
    /// De-initializes the library when Init was called (see _DeInit).
    ~VProcess() override;
    VProcess(const VProcess&) = delete;
    VProcess& operator=(const VProcess&) = delete;

    // Virtual operations, in slot order.

    /// Initializes the library once: the minimum system, the international manager for the user's
    /// language (made the process default), the task manager with the main task on the calling thread,
    /// the error layer, then the services that later layers add. Returns false at the first step that
    /// fails (a too old system shows the alert "Initialization failed"). A second call runs nothing and
    /// returns the first call's result.
    virtual bool Init(uint32_t inFlags = kDefaultInitFlags);
    /// Kills the main task and sets its message-queue event, so that a waiting loop wakes up and
    /// IsRunning turns false. Any task may call it; the reason is not used.
    virtual void QuitAsynchronously(const VString* inReason = nullptr);
    /// A new folder object for a kind (kFolder...), whether or not the folder exists; the caller releases
    /// it. Null for another code or without an executable.
    virtual VFolder* RetainFolder(OsType inKind) const;
    /// The text that identifies the process in log records: the product name.
    virtual VString GetLogSourceIdentifier() const { return fLogSourceIdentifier; }

    /// The run, on the main task: calls Init with kDefaultInitFlags when it was not called, then DoRun and
    /// DoQuit, then kills the main task. Returns at once without a main task, from another thread than
    /// the main task or when the main task is not running. When initialization failed, pushes vkit 4
    /// ("VApplication::DoInit failed") on the calling task and runs nothing.
    void Run();
    /// True while the main task exists and is not dying.
    bool IsRunning() const;

    /// "CFBundleName" of the main bundle, empty when absent.
    const VString& GetProductName() const noexcept { return fProductName; }
    /// "CFBundleShortVersionString" of the main bundle, empty when absent.
    const VString& GetProductVersion() const noexcept { return fProductVersion; }
    /// The text after the first "build " of the product version (found with the current international
    /// comparison), trimmed; empty when "build " is absent.
    void GetBuildNumber(VString& outNumber) const;
    /// The text before "build ", trimmed; the whole version, trimmed, when "build " is absent.
    void GetShortProductVersion(VString& outVersion) const;
    /// The short version up to, not including, its first "."; the whole short version without ".".
    void GetMainProductVersion(VString& outVersion) const;
    /// The build number's part after its last "." read as an integer; 0 when it holds no ".".
    int32_t GetChangeListNumber() const;

    /// The id of this process.
    static int32_t GetSystemID() noexcept;
    /// True when a null signal can be sent to the process or fails other than with "no such process".
    static bool IsProcessRunning(int32_t inProcessID) noexcept;

    /// The main bundle (no bundle when the executable does not lie in one).
    const VBundle& GetMainBundle() const noexcept { return fMainBundle; }
    /// The executable file; empty and invalid when the system did not tell it.
    const VFilePath& GetExecutableFilePath() const noexcept { return fMainBundle.GetExecutablePath(); }
    /// A new file object on the executable (the caller releases it); null when it is unknown.
    VFile* RetainExecutableFile() const;
    /// The file inFileName in the folder of inKind when it exists there; else, when inFallbackKind is not
    /// 0, the same name in the folder of inFallbackKind when it exists there; else null. The caller
    /// releases the file.
    VFile* RetainFile(OsType inKind, const VString& inFileName, OsType inFallbackKind = 0) const;
    /// The folder holding the executable (E of the folder kinds); empty and invalid without one.
    VFilePath GetExecutableFolderPath() const;
    /// The folder path of a kind (kFolder...), whether or not the folder exists. Returns false, outPath
    /// emptied, for another code or without an executable.
    bool GetFolderPath(OsType inKind, VFilePath& outPath) const;
    /// The folder path of a kind for the executable folder inExecutableFolder (as GetFolderPath).
    static bool ComputeFolderPath(const VFilePath& inExecutableFolder, OsType inKind, VFilePath& outPath);

    /// Adds a token (not owned) to the set of activities in progress.
    void RegisterActivityToken(VActivityToken* inToken);
    /// Removes a token; when the set becomes empty, the last-activity time is now.
    void UnregisterActivityToken(VActivityToken* inToken);
    /// True when a token is registered or fewer than inMilliseconds passed since the last activity
    /// (construction, or the last unregistering that emptied the set).
    bool HasSomeActivityTokens(uint32_t inMilliseconds);

    /// The process logger (made and started by Init with kInitFlagLogger), null without one.
    VLogger* GetLogger() const noexcept { return fLogger; }
    /// The process logger when it keeps records of inLevel, else null.
    VLogger* GetLogger(EMessageLevel inLevel) const;

    /// The international manager made at initialization (null before).
    VIntlMgr* GetIntlMgr() const noexcept { return fIntlMgr; }
    /// The localizer of LocalizeString and error messages (not owned), null until one is set.
    ILocalizer* GetLocalizer() const noexcept { return fLocalizer; }
    void SetLocalizer(ILocalizer* inLocalizer) noexcept { fLocalizer = inLocalizer; }
    /// The process's file-system namespace (named roots such as ".PRODUCT_RESOURCES"), created empty
    /// with the process object and filled by Init.
    VFileSystemNamespace* GetFileSystemNamespace() const noexcept { return fFileSystemNamespace; }
    /// True when Init was called with kInitFlagFiberedTasks.
    bool IsFiberedTasks() const noexcept { return fFiberedTasks; }

    /// The install-folder check for one folder: changes the case of the first letter of the folder's
    /// name and tests both spellings; when exactly one exists, the file system is case-sensitive, the
    /// alert "Initialization failed" / "Please install the application on a case insensitive file
    /// system." is shown (without waiting) and the result is false. True when both or neither exist.
    static bool CheckCaseInsensitiveFolder(const VFilePath& inFolder);

protected:
    /// A process object standing for the executable inExecutable instead of the running one (its bundle,
    /// product and folders): for tools and tests that act as another program.
    explicit VProcess(const VFilePath& inExecutable);

    /// The program's work, called by Run on the main task. Does nothing here.
    virtual void DoRun() {}
    /// Called by Run after DoRun. Does nothing here.
    virtual void DoQuit() {}
    /// The minimum-system check of Init: when the system is older than inVersion, shows the alert
    /// "Initialization failed" (without waiting) and returns false. Always satisfied on Linux.
    virtual bool DoCheckSystemVersion(SystemVersion inVersion);

    /// The install-folder check on the Resources folder (CheckCaseInsensitiveFolder). Start-up does not
    /// run it on Linux, whose file systems are case-sensitive by design.
    bool _CheckCaseInsensitiveInstallFolder() const;

private:
    void _ReadProductInfo();
    /// The file inFileName in the folder of inKind, when that file exists; else null.
    VFile* _RetainExistingFile(OsType inKind, const VString& inFileName) const;
    /// The steps of the initialization, in their fixed order.
    bool _Init(uint32_t inFlags);
    /// The de-initialization, in its fixed order.
    void _DeInit();
    bool _InitIntlMgr();
    void _ReleaseIntlMgr();
    /// Makes and starts the process logger, and makes it the logger of the error layer.
    void _InitLogger();
    /// Stops and releases the process logger.
    void _ReleaseLogger();
    /// Registers the named roots: the user's documents folder as ".USER_HOME_DIRECTORY" (option 16,
    /// hidden from restricted lookups), the Resources folder as ".PRODUCT_RESOURCES", then the roots
    /// listed in "fileSystems.json" of the Resources folder when it exists. False when a registration
    /// or the definition file failed (its error is pushed).
    bool _Init_FileSystems();
    /// The product version split at "build ": the texts before and after it, untrimmed; false when
    /// "build " is absent.
    bool _SplitVersionAtBuild(VString& outBefore, VString& outAfter) const;

    VCriticalSection fActivityLock;
    std::set<VActivityToken*> fActivityTokens; // guarded by fActivityLock
    uint32_t fLastActivityTime = 0;            // guarded by fActivityLock
    bool fInitCalled = false;
    bool fInitSucceeded = false;
    bool fFiberedTasks = false;
    VIntlMgr* fIntlMgr = nullptr;
    ILocalizer* fLocalizer = nullptr;
    VBundle fMainBundle;
    VString fProductName;
    VString fProductVersion;
    VString fLogSourceIdentifier;
    VFileSystemNamespace* fFileSystemNamespace;
    VLogger* fLogger = nullptr;
    // The resource file and the JSON class store join these fields as their layers land.
};

} // namespace vkit
