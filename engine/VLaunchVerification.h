// VLaunchVerification: the launch check: the opener starts a bundle and watches it for a while, and its
// report becomes a verdict; the errors of a failed check and of the rollback that follows it.
#pragma once

#include "VUpdateEngine.h"

#include "errors/VErrorCodes.h"
#include "files/VFilePath.h"
#include "text/VString.h"

#include <cstdint>

namespace vkit {
class VMemoryBuffer;
}

namespace zq {

/// The errors of a failed launch check, pushed on the current error context (PushLaunchError) with the
/// parameters "path" and "otherPath" (POSIX paths), "seconds", "status", "signal" and "message".
/// The new version failed and the previous one was put back at "path"; the new one is kept at
/// "otherPath": it quit with "status" (240), was ended by "signal" (241), could not be started (242).
constexpr vkit::VError VE_UPZQ_LAUNCH_EXITED = vkit::MakeVError(kComponentUpdater, 240);
constexpr vkit::VError VE_UPZQ_LAUNCH_KILLED = vkit::MakeVError(kComponentUpdater, 241);
constexpr vkit::VError VE_UPZQ_LAUNCH_NOT_STARTED = vkit::MakeVError(kComponentUpdater, 242);
/// The new version at "path" failed and the previous one, at "otherPath", could not be put back.
constexpr vkit::VError VE_UPZQ_ROLLBACK_FAILED = vkit::MakeVError(kComponentUpdater, 243);
/// The previous version, put back at "path", failed too (the new one kept at "otherPath"): it quit with
/// "status" (244), was ended by "signal" (245), could not be started (246).
constexpr vkit::VError VE_UPZQ_PREVIOUS_EXITED = vkit::MakeVError(kComponentUpdater, 244);
constexpr vkit::VError VE_UPZQ_PREVIOUS_KILLED = vkit::MakeVError(kComponentUpdater, 245);
constexpr vkit::VError VE_UPZQ_PREVIOUS_NOT_STARTED = vkit::MakeVError(kComponentUpdater, 246);
/// The check itself failed ("message"): the new version stays at "path", the previous one at "otherPath".
constexpr vkit::VError VE_UPZQ_LAUNCH_UNCHECKED = vkit::MakeVError(kComponentUpdater, 247);
/// The new version that failed could not be renamed "otherPath": it stays at "path".
constexpr vkit::VError VE_UPZQ_FAILED_NOT_SET_ASIDE = vkit::MakeVError(kComponentUpdater, 248);

/// What the opener starts, with which arguments, and how long it watches.
struct VLaunchRequest {
    /// The opener program (zq-open, next to the updater).
    vkit::VFilePath fOpener;
    /// The bundle to start.
    vkit::VFilePath fBundle;
    /// The restart parameters file handed to the application (an empty path: none).
    vkit::VFilePath fRestartParams;
    /// "--headless" handed to the application.
    bool fHeadless = false;
    /// How long the opener watches the application; 0: it does not.
    int32_t fSeconds = 0;
};

/// What the launch check saw.
struct VLaunchVerdict {
    enum class EOutcome {
        kRunning,     ///< still running when the time had passed
        kExited,      ///< exited within the time, with the status fValue
        kKilled,      ///< ended within the time by the signal fValue
        kNotStarted,  ///< the opener could not start it (fMessage says why)
        kOpenerFailed ///< the opener could not be run, or ended without its report (fMessage says how)
    };
    EOutcome fOutcome = EOutcome::kOpenerFailed;
    /// The application's pid, once the opener reported the start (kOpenerFailed may have one).
    int32_t fPid = 0;
    /// The exit status (kExited) or the signal's number (kKilled).
    int32_t fValue = 0;
    /// kKilled: the signal as "SIGSEGV (11)", or its number alone when it has no name.
    vkit::VString fSignal;
    /// kNotStarted, kOpenerFailed: what the opener said, or what became of it.
    vkit::VString fMessage;
    /// The seconds the check lasted at most (the request's).
    int32_t fSeconds = 0;

    /// True when the application passed: still running, or exited with status 0.
    bool Passed() const noexcept {
        return fOutcome == EOutcome::kRunning || (fOutcome == EOutcome::kExited && fValue == 0);
    }
};

/// Runs the opener's command line and waits for it, reading both of its streams to the end (the
/// application it starts has none of them). Returns the launcher's error, 0 when the opener ran.
int32_t RunOpener(const vkit::VString& inCommandLine, vkit::VMemoryBuffer& outOutput,
                  vkit::VMemoryBuffer& outErrorOutput, int32_t& outExitStatus);

/// What a program wrote on one of its streams, as text, the line feeds at its end left out.
vkit::VString OutputText(const vkit::VMemoryBuffer& inBuffer);

/// The opener's command line for the request, every argument quoted as the launcher splits them: the
/// opener, "--watch <seconds>" when fSeconds is above 0, "-a" and the bundle, then "--args" with the
/// parameters file and "--headless" when given. With fSeconds 0 it is the restart's command line.
vkit::VString BuildLaunchCommandLine(const VLaunchRequest& inRequest);

/// Starts the bundle through the opener, which watches it for fSeconds (above 0) and reports its fate,
/// and waits for the opener (so about fSeconds). Logs the command line and what it saw. Pushes nothing:
/// the verdict says how the launch went, kOpenerFailed when the opener could not be run or ended
/// without a whole report.
VLaunchVerdict VerifyLaunch(const VLaunchRequest& inRequest);

/// The error for a launch that did not pass: of the new version (inPrevious false: 240, 241, 242, or 247
/// when the check failed) or of the previous version put back (244, 245, 246). VE_OK for one that passed.
vkit::VError LaunchErrorFor(const VLaunchVerdict& inVerdict, bool inPrevious) noexcept;

/// Pushes inCode (UPZQ 240 to 248) with the verdict's seconds, status, signal and message, "path" and
/// "otherPath" as the paths' POSIX texts.
void PushLaunchError(vkit::VError inCode, const VLaunchVerdict& inVerdict, const vkit::VFilePath& inPath,
                     const vkit::VFilePath& inOtherPath);

} // namespace zq
