// VUpdateEngine: the updater's process object: its options, its run sequence and its stages.
#pragma once

#include "errors/VErrorCodes.h"
#include "files/VFilePath.h"
#include "runtime/VProcessIPC.h"

#include <cstdint>

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
    /// The run: opens the log, runs the update stage unless the log failed, logs the outcome.
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
    /// Polls the process table every 500 ms until fCallerPid is gone, for at most 60 s, then waits 1 s
    /// more. A negative pid skips the wait. False, with UPZQ 1 pushed, when the process outlived the wait.
    bool _WaitForPidToQuit();
    /// Sets inOutdated aside under a free "_old%04d" name, copies inUpToDate into the place of inInstall,
    /// and rolls back (partial copy deleted, set-aside folder renamed back) when that fails. Answers the
    /// set-aside folder (the caller releases it), or null when nothing is left set aside; failures are
    /// pushed on the current error context.
    vkit::VFolder* _SwapApplications(const vkit::VFolder& inOutdated, const vkit::VFolder& inUpToDate,
                                     const vkit::VFolder& inInstall);
    /// outPath = inSource's sibling named after inSource's folder name without extension, "_<suffix>"
    /// (or nothing without a suffix), a four-digit number from 1, and the extension: the first such name
    /// that no folder takes, trying up to 9999. False when even number 9999 is taken.
    static bool _ComputeTempFolderPath(const vkit::VFilePath& inSource, vkit::VFilePath& outPath,
                                       const vkit::VString* inSuffix);
    /// Writes the client's link file into the up-to-date bundle and makes its executable runnable, from
    /// the JSON file fClientInfoPath (UPZQ 41 when it is not an object with a "ServerPlatform" string).
    /// True when no error was pushed.
    bool _FinishClientCustomization();
    /// Writes "Contents/Database/EnginedServer.ZQlink" into the bundle at inBundlePath when the object
    /// holds a "BuildIPAdress" string. Always true; failures are pushed.
    bool _SetIPAdressOnClientPref(const vkit::VJSONObject& inClientInfo, const vkit::VFilePath& inBundlePath);
    /// Adds the three execute bits to the up-to-date bundle's executable when one is missing. True when
    /// no error was pushed.
    bool _FinishMacClientCustomization(const vkit::VJSONObject& inClientInfo);
    /// Restarts the application installed at inInstallPath through the opener, passing the restart
    /// parameters file and the headless switch. False, with UPZQ 120 pushed, when the command could not
    /// be run; the opener's own exit status is only logged.
    bool _LaunchApplication(const vkit::VFilePath& inInstallPath) const;
    /// The update stage: bundle checks, client customization, caller progress, wait, swap, restart,
    /// trash; each step runs only while the stage's context holds no error.
    void _ApplyUpdate();
    /// The update stage's second half: the swap, the restart and the set-aside bundle moved to the trash,
    /// each only while inStageContext holds no error.
    void _InstallAndRestart(const vkit::VFolder& inOutdated, const vkit::VFolder& inUpToDate,
                            const vkit::StErrorContextInstaller& inStageContext);
    /// The failure alert: the last error's description, the sentence naming the log file, the buttons
    /// "No" (default) and "Yes"; "Yes" opens the log file.
    void _ShowFailureAlert(const vkit::VErrorContext& inRunContext);
    /// The command line that restarts the application installed at inInstallPath.
    vkit::VString _BuildRestartCommandLine(const vkit::VFilePath& inInstallPath) const;
    /// True when the guard's context holds an error.
    static bool _HoldsError(const vkit::StErrorContextInstaller& inContext) noexcept;

    vkit::VFilePath fLogFolderPath;
    vkit::VFilePath fClientInfoPath;
    vkit::VFilePath fOutdatedAppPath;
    vkit::VFilePath fUpToDateAppPath;
    vkit::VFilePath fInstallPath;
    vkit::VLog4jMsgFileLogger* fLogFileLogger = nullptr;        // owned; closed by DoQuit
    vkit::VLocalizationManager* fLocalizationManager = nullptr; // one reference owned
    int32_t fCallerPid = -1;
    bool fReportToCaller = false;
    bool fSilent = false;
    vkit::VFilePath fRestartParamsPath;
    bool fRestartHeadless = false;
    /// --allow-downgrade: the signature check accepts a lower version (zq::CheckUpdateTrust).
    bool fAllowDowngrade = false;
};
