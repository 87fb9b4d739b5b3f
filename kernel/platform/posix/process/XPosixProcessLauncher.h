// XPosixProcessLauncher: one child process on Linux: its start, its pipes, its end and its signals.
#pragma once

#include "files/VMemoryBuffer.h"
#include "platform/posix/shared/XPosixDescriptor.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vkit {

/// The running side of VProcessLauncher (see there for the behaviour). No thread and no signal handler
/// watches the child: its end is awaited with poll on a pidfd (or waitpid polls where pidfds are missing),
/// and the wait-closing time-out is acted upon whenever the launcher is called.
class XPosixProcessLauncher {
public:
    /// The wait-closing time-out that means no limit.
    static constexpr int32_t kNoTimeLimit = INT32_MAX;
    /// Reads smaller than this are served from one read of this size (a pipe's capacity), so that a
    /// caller reading in small rounds does not pay a system call for each.
    static constexpr long kRefillSize = 65536;

    /// The two streams that come from the child.
    enum EStream { eOutput = 0, eError = 1 };

    /// What Start runs, in UTF-8.
    struct Command {
        /// Looked up on PATH when it does not begin with "/" (XPosixSpawn::FindProgram).
        std::string fProgram;
        /// The argument vector, element 0 first; empty gives the program alone.
        std::vector<std::string> fArguments;
        /// "name=value" entries; empty gives the parent's environment.
        std::vector<std::string> fEnvironment;
        /// Empty keeps the parent's working directory.
        std::string fWorkingDirectory;
        bool fRedirectInput = true;
        /// Standard output and standard error go through pipes.
        bool fRedirectOutput = true;
        /// Milliseconds; 0: nobody waits for the child; kNoTimeLimit: no limit.
        int32_t fWaitClosingTimeout = kNoTimeLimit;
        bool fProcessTreeKill = false;
    };

    XPosixProcessLauncher() = default;
    XPosixProcessLauncher(const XPosixProcessLauncher&) = delete;
    XPosixProcessLauncher& operator=(const XPosixProcessLauncher&) = delete;

    /// 0, -1 when a pipe cannot be made or the status pipe reports a failure, or the errno that stopped the
    /// start (EINVAL without a program, EBUSY while a child runs).
    int32_t Start(const Command& inCommand);
    /// Reaps the child without blocking; true while it runs.
    bool IsRunning();
    /// Reads at most inSize bytes without blocking: the count, 0 when nothing is there yet, -1 at the end
    /// of the stream, on error, for an empty buffer or a closed pipe.
    long Read(EStream inStream, char* outBuffer, long inSize);
    /// Blocks until a stream has data or has ended (or the time-out fired); false when both are closed.
    bool WaitForData();
    /// Writes everything to the child's standard input, keeping what the child writes meanwhile for Read
    /// (so that a child that answers while it reads cannot block the write); closes the input when asked.
    /// Returns 0, or -1 when no child runs, the input is closed or the child stopped reading.
    int32_t Write(const void* inData, size_t inSize, bool inCloseAfter);
    void CloseInput() noexcept { fInput.Close(); }
    /// Waits for the child's end when someone waits (kills its group at the time-out), else leaves it to
    /// the watch set; with inKill ends it with SIGTERM, SIGQUIT, then SIGKILL, 5000 ms each; with
    /// inKillTree and the process-tree kill enabled, SIGKILLs its process group. Returns false when the
    /// time-out fired.
    bool Shutdown(bool inKill, bool inKillTree);

    int32_t GetPid() const noexcept { return fPid; }
    int32_t GetExitStatus() const noexcept { return fExitStatus; }
    /// Sends SIGTERM; false for a negative pid or when kill fails.
    static bool KillProcess(int32_t inPid) noexcept;

private:
    int32_t _OpenPipes(const Command& inCommand, XPosixDescriptor (&outChildEnds)[3]);
    /// Waits at most inMilliseconds (negative: no limit) for the child's end; true once it is reaped.
    bool _WaitForEnd(int32_t inMilliseconds);
    /// Sends inSignal to the child (or its group) and waits up to inMilliseconds for its end.
    bool _TerminateAndWait(int inSignal, int32_t inMilliseconds);
    bool _Reap();
    /// Reads what the pipe holds, at most kRefillSize bytes, at the end of fPending: the count, 0 when
    /// nothing is there yet, -1 at the end of the stream or on error (the pipe is then closed).
    long _Refill(EStream inStream);
    /// Reads everything the pipe holds into fPending (so that a wait never blocks a child writing to a full
    /// pipe).
    void _Drain(EStream inStream);
    /// Kills the child's group once the time-out has passed; answers the milliseconds left (-1: none).
    int _CheckTimeOut();

    XPosixDescriptor fInput;
    XPosixDescriptor fOutputs[2];
    XPosixDescriptor fPidDescriptor;
    /// What was read from each stream and not yet handed out, from fPendingOffset on.
    VMemoryBuffer fPending[2];
    size_t fPendingOffset[2] = {0, 0};
    int32_t fPid = 0;
    int32_t fProcessGroup = 0;
    int32_t fExitStatus = 0;
    int32_t fWaitClosingTimeout = kNoTimeLimit;
    uint64_t fDeadline = 0;
    bool fIsRunning = false;
    bool fTimedOut = false;
    bool fProcessTreeKill = false;
};

} // namespace vkit
