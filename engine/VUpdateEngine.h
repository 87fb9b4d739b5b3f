// VUpdateEngine: the updater's process object: its options, its run sequence and its stages.
#pragma once

#include "errors/VErrorCodes.h"
#include "files/VFilePath.h"
#include "runtime/VProcessIPC.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vkit {
class StErrorContextInstaller;
class VCommandLineParser;
class VErrorContext;
class VFolder;
class VJSONObject;
class VLocalizationManager;
class VLog4jMsgFileLogger;
class VString;
} // namespace vkit

namespace zq {
class VInstallTransaction;
struct VLaunchRequest;
struct VLaunchVerdict;
} // namespace zq

namespace zq {

/// The component of the engine's errors.
constexpr vkit::OsType kComponentUpdater = vkit::MakeOsType("UPZQ");
/// The engine's errors, all pushed on the current error context.
constexpr vkit::VError VE_UPZQ_WAIT_FAILED = vkit::MakeVError(kComponentUpdater, 1);
constexpr vkit::VError VE_UPZQ_UP_TO_DATE_APP_MISSING = vkit::MakeVError(kComponentUpdater, 2); // "path"
constexpr vkit::VError VE_UPZQ_OUTDATED_APP_MISSING = vkit::MakeVError(kComponentUpdater, 3);   // "path"
constexpr vkit::VError VE_UPZQ_RENAME_RETRIED =
    vkit::MakeVError(kComponentUpdater, 11); // "srcPath", "dstPath"
constexpr vkit::VError VE_UPZQ_INSTALL_PARENT_FAILED = vkit::MakeVError(kComponentUpdater, 12); // "path"
constexpr vkit::VError VE_UPZQ_COPY_FAILED = vkit::MakeVError(kComponentUpdater, 13);         // "from", "to"
constexpr vkit::VError VE_UPZQ_SAME_OR_NESTED_APPS = vkit::MakeVError(kComponentUpdater, 14); // "path"
constexpr vkit::VError VE_UPZQ_CLIENT_INFO_INVALID = vkit::MakeVError(kComponentUpdater, 41);
constexpr vkit::VError VE_UPZQ_INSTALL_FAILED = vkit::MakeVError(kComponentUpdater, 100);
constexpr vkit::VError VE_UPZQ_LOG_FAILED = vkit::MakeVError(kComponentUpdater, 101);
constexpr vkit::VError VE_UPZQ_RESTART_FAILED = vkit::MakeVError(kComponentUpdater, 120);
/// The install's own errors (200 to 219): the preflight's refusals, made before anything changes on disk,
/// the journal's and the recovery's.
constexpr vkit::VError VE_UPZQ_READ_ONLY_FILE_SYSTEM = vkit::MakeVError(kComponentUpdater, 200); // "path"
constexpr vkit::VError VE_UPZQ_FOLDER_NOT_WRITABLE =
    vkit::MakeVError(kComponentUpdater, 201);                                            // "path", "folder"
constexpr vkit::VError VE_UPZQ_STICKY_FOLDER = vkit::MakeVError(kComponentUpdater, 202); // "path", "folder"
constexpr vkit::VError VE_UPZQ_PLACE_LOCKED = vkit::MakeVError(kComponentUpdater, 203);  // "path", "folder"
constexpr vkit::VError VE_UPZQ_NOT_ENOUGH_SPACE =
    vkit::MakeVError(kComponentUpdater, 204); // "path", "needed", "free"
constexpr vkit::VError VE_UPZQ_JOURNAL_FAILED = vkit::MakeVError(kComponentUpdater, 205); // "path"
constexpr vkit::VError VE_UPZQ_RECOVERY_FAILED =
    vkit::MakeVError(kComponentUpdater, 206); // "path", "journal", "attempt", "outdated_at", "uptodate_at"
constexpr vkit::VError VE_UPZQ_RECOVERY_GIVEN_UP =
    vkit::MakeVError(kComponentUpdater, 207); // "path", "journal", "outdated_at", "uptodate_at"
constexpr vkit::VError VE_UPZQ_UPDATE_PENDING = vkit::MakeVError(kComponentUpdater, 208); // "path", "journal"

} // namespace zq

/// Keys of the client customization file (a JSON object): the server's platform (required), address,
/// port, published database name and the client's cache folder name.
extern const char* const BABuildServerPlatform;
extern const char* const BABuildInfoIPAdress;
extern const char* const BABuildInfoIPPort;
extern const char* const BABuildInfoPublishName;
extern const char* const BABuildCacheFolderNameClient;

/// The update engine. The entry point constructs it, calls Init (library, command line, localization),
/// Run (DoRun then DoQuit on the main task) and reads the outcome from the main task's error context:
/// every stage reports failure only by pushing errors, and the run stops at the first stage whose
/// context then holds one. Everything runs on the main task.
class VUpdateEngine : public vkit::VProcessIPC {
public:
    /// Every field at its default: paths empty, no caller process (-1), every switch off.
    VUpdateEngine();
    /// Releases the localization store if there is one; the log file writer is closed by DoQuit.
    ~VUpdateEngine() override;

    /// VProcessIPC::Init (library and command line), then the localization store. Returns false when
    /// the base initialization stopped; GetProposedExitStatus then tells the exit status.
    bool Init(uint32_t inFlags) override;

    /// The exit status for the main task's last error after Run: 0 without error, 1 for vkit 4 (the
    /// initialization failed), 2 for any other error (the update failed).
    static int ExitStatusForError(vkit::VError inLastError) noexcept;

protected:
    /// The run: opens the log, recovers unfinished installs, runs the update stage unless the log failed
    /// or the run only recovers, logs the outcome.
    void DoRun() override;
    /// Closes the log.
    void DoQuit() override;
    /// Declares the updater's options (VUpdaterOptions), parses, checks the two bundle paths and stores
    /// the values in the fields. Answers kCommandLineContinue, kCommandLineError after writing the
    /// messages to standard error (the fields keep their defaults), or kCommandLineHandled when the help
    /// or, for --version, the bundle's version was printed.
    int32_t DoParseCommandLine(vkit::VCommandLineParser& ioParser) override;

private:
    /// Starts the updater's log file in fLogFolderPath: false without a log folder (no error), or when
    /// the folder cannot be created (its error stays) or the writer does not start (UPZQ 101).
    bool _InitLog();
    /// Flushes the process logger and closes the log file.
    void _DeInitLog();
    /// Creates the localization store from the bundle's Resources and registers it as the process
    /// localizer and as the error localizer of "vkit", "xmlc", "PW32" and "UPZQ".
    bool _InitLocalizationManager();
    /// With fReportToCaller, writes "<step>,<value>" and a line feed on standard output and flushes it.
    void _LogProgressToCaller(const char* inStep, int inValue);
    /// Waits for fCallerPid to end, for at most 60 s, woken as soon as it ends (a pidfd, looked at least
    /// every 500 ms; the process table every 500 ms where the system gives none), then 1 s more. A negative
    /// pid skips the wait. False, with UPZQ 1 pushed, when the process outlived the wait.
    bool _WaitForPidToQuit();
    /// The recovery of the installs that earlier runs left unfinished (zq::VInstallRecovery); its errors
    /// stay on the current context. Fills fPendingPlaces.
    void _RecoverInstalls();
    /// Writes the client's link file into the bundle at inBundlePath and makes its executable runnable,
    /// from the JSON file fClientInfoPath (UPZQ 41 when it is not an object with a "ServerPlatform"
    /// string). True when no error was pushed.
    bool _FinishClientCustomization(const vkit::VFilePath& inBundlePath);
    /// Writes "Contents/Database/EnginedServer.ZQlink" into the bundle at inBundlePath when the object
    /// holds a "BuildIPAdress" string. Always true; failures are pushed.
    bool _SetIPAdressOnClientPref(const vkit::VJSONObject& inClientInfo, const vkit::VFilePath& inBundlePath);
    /// Adds the three execute bits to the executable of the bundle at inBundlePath when one is missing.
    /// True when no error was pushed.
    bool _FinishMacClientCustomization(const vkit::VJSONObject& inClientInfo,
                                       const vkit::VFilePath& inBundlePath);
    /// Restarts the application installed at inInstallPath through the opener, passing the restart
    /// parameters file and the headless switch. False, with UPZQ 120 pushed, when the command could not
    /// be run; the opener's own exit status is only logged.
    bool _LaunchApplication(const vkit::VFilePath& inInstallPath) const;
    /// The restart watched for fVerifyLaunchSeconds (zq::VerifyLaunch), after the journal recorded it (a
    /// journal that cannot be written: restarted unwatched, the set-aside bundle kept, the run failed):
    /// passed, the set-aside bundle goes to the trash; failed, the outdated bundle is put back
    /// (zq::VInstallTransaction::Revert) and restarted the same way, and UPZQ 240 to 242 are pushed (then
    /// 244 to 246 when the outdated one failed too, 243 when it could not be put back, 248 when the failed
    /// one kept its set-aside name); a check that could not be made pushes 247 and keeps both bundles.
    void _RestartVerified(zq::VInstallTransaction& ioTransaction);
    /// After a watched restart that failed (inVerdict): the outdated bundle put back, restarted by
    /// inRequest, and the errors of both launches, or of the revert, pushed.
    void _PutBackAndRestart(zq::VInstallTransaction& ioTransaction, const zq::VLaunchRequest& inRequest,
                            const zq::VLaunchVerdict& inVerdict);
    /// The update stage: bundle checks, client customization of an unsigned update, preflight, staging,
    /// signature check, client customization of a signed update (on the staged copy), caller progress,
    /// wait, swap, restart, trash; each step runs only while the stage's context holds no error.
    void _ApplyUpdate();
    /// The update stage's second half, once the caller has quit: the swap, the restart (watched with
    /// --verify-launch: _RestartVerified) and the set-aside bundle moved to the trash, each only while
    /// inStageContext holds no error.
    void _InstallAndRestart(zq::VInstallTransaction& ioTransaction,
                            const vkit::StErrorContextInstaller& inStageContext);
    /// The failure alert, at error level, headed "The update failed.": the last error's description, the
    /// sentence naming the log file, the buttons "Close" (the negative one, default) and "Open Log" (the
    /// affirmative one), which opens the log file. A dialog program that failed is logged.
    void _ShowFailureAlert(const vkit::VErrorContext& inRunContext);
    /// The command line that restarts the application installed at inInstallPath.
    vkit::VString _BuildRestartCommandLine(const vkit::VFilePath& inInstallPath) const;
    /// The opener next to the updater's executable.
    vkit::VFilePath _GetOpenerPath() const;

    vkit::VFilePath fLogFolderPath;
    vkit::VFilePath fClientInfoPath;
    vkit::VFilePath fOutdatedAppPath;
    vkit::VFilePath fUpToDateAppPath;
    vkit::VFilePath fInstallPath;
    std::unique_ptr<vkit::VLog4jMsgFileLogger> fLogFileLogger;  // closed by DoQuit
    vkit::VLocalizationManager* fLocalizationManager = nullptr; // one reference owned
    int32_t fCallerPid = -1;
    bool fReportToCaller = false;
    bool fSilent = false;
    vkit::VFilePath fRestartParamsPath;
    bool fRestartHeadless = false;
    /// --allow-downgrade: the signature check accepts a lower version (zq::CheckUpdateTrust).
    bool fAllowDowngrade = false;
    /// --verify-launch: seconds the restarted application is watched for (zq::VerifyLaunch); 0: not watched.
    int32_t fVerifyLaunchSeconds = 0;
    /// --recover: the run recovers unfinished installs and updates nothing.
    bool fRecoverOnly = false;
    /// The installed places whose unfinished install is still pending (another updater runs there, or
    /// its recovery failed): no update begins there.
    std::vector<vkit::VFilePath> fPendingPlaces;
};
