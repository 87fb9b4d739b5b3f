// VUpdateEngine: the updater's process object: its options, its run sequence and its stages.
#pragma once

#include "errors/VErrorCodes.h"
#include "files/VFilePath.h"
#include "runtime/VProcessIPC.h"

#include <cstdint>

namespace vkit {
class StErrorContextInstaller;
class VCommandLineParser;
class VLocalizationManager;
class VLog4jMsgFileLogger;
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
    /// Starts the updater's log file in fLogFolderPath (UPZQ 101 on failure).
    void _InitLog();
    /// Flushes the process logger and closes the log file.
    void _DeInitLog();
    /// Creates the localization store and registers it as the process and error localizer.
    void _InitLocalizationManager();
    /// The update stage: bundle checks, client customization, caller progress, wait, swap, restart,
    /// trash; each step runs only while the stage's context holds no error.
    void _ApplyUpdate();
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
};
