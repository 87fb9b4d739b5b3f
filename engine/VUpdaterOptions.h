// VUpdaterOptions: the updater's command-line options, their declarations and the values they receive.
#pragma once

#include "text/VString.h"

#include <cstdint>
#include <vector>

namespace vkit {
class VCommandLineParser;
}

namespace zq {

/// The longest launch check --verify-launch accepts, in seconds.
constexpr int32_t kMaxVerifyLaunchSeconds = 3600;

/// The values of the updater's options, filled by a parse of the parser they were declared on. Kept
/// apart from the engine so that the manual page generator and the fuzz target declare the very same
/// table.
struct VUpdaterOptions {
    /// Declares the updater's seventeen entries on the parser in help-text order (paragraph, --pid,
    /// --silent, --install-path, --restart-params, --caller-log, --log-dir, --client-info, --outdated-app,
    /// --uptodate-app, the positional receiver, --restart-headless, --allow-downgrade, --verify-launch,
    /// --recover, paragraph, --version), bound to the fields below. The defaults of fCallerPid, fSilent,
    /// fRestartHeadless, fAllowDowngrade, fVerifyLaunch and fRecover are set just before their option is
    /// declared.
    void Declare(vkit::VCommandLineParser& ioParser);

    /// After a successful parse: checks that --verify-launch is within 0 to 3600 seconds, the number of
    /// positional arguments, and reconciles them with --outdated-app and --uptodate-app (an option given
    /// must equal its positional argument, compared ignoring case and accents; an option not given takes
    /// it). Writes one line to standard error per problem. Returns 0, or 1 when the seconds are out of
    /// range or the two bundle paths are not both known and agreed. With --recover no bundle path may be
    /// given (1 otherwise).
    int Reconcile();

    int32_t fCallerPid = -1;
    bool fSilent = false;
    /// Accepted and not used: the update is always installed at the outdated bundle's place.
    vkit::VString fInstallPath;
    vkit::VString fRestartParams;
    vkit::VString fCallerLog;
    vkit::VString fLogDir;
    vkit::VString fClientInfo;
    vkit::VString fOutdatedApp;
    vkit::VString fUpToDateApp;
    /// <dest> <src>: the outdated bundle, then the up-to-date bundle.
    std::vector<vkit::VString> fPositional;
    bool fRestartHeadless = false;
    /// A signed update may install a lower version than the installed one.
    bool fAllowDowngrade = false;
    /// Seconds the restarted application is watched for (0: not watched).
    int32_t fVerifyLaunch = 0;
    /// Only recover the installs that earlier runs left unfinished.
    bool fRecover = false;
    bool fVersion = false;
};

} // namespace zq
