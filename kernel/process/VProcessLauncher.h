// VProcessLauncher: runs a program as a child process, feeds its input, collects its output and status.
#pragma once

#include "errors/VErrorCodes.h"
#include "platform/posix/process/XPosixProcessLauncher.h"
#include "text/VString.h"

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace vkit {

class VFilePath;
class VMemoryBuffer;

/// Environment variables given to a child: name to value.
using VEnvironmentVariables = std::map<VString, VString, VStringLessCompareStrict>;

/// Pushed by Shutdown when the child outlived the wait-closing time-out and was killed with its group.
constexpr VError VE_PROCESS_WAIT_TIMED_OUT = MakeVError(kComponentVkit, 8);

/// One child process. The child leads a new process group, starts with an empty signal mask and
/// inherits no descriptor but 0, 1 and 2; its standard input, output and error go through pipes unless
/// told otherwise. Texts given to the system (program, arguments, working directory, environment) are
/// passed in UTF-8, each byte of a name outside UTF-8 (kept as U+DC00 + byte, see
/// VString::AppendUTF8KeepingBytes) passed as that byte. One task at a time uses a launcher. Start failures
/// return a number (-1, or the errno of the failing step) and push nothing.
class VProcessLauncher {
public:
    /// ExecuteCommandLine option: do not wait for the child and do not read its output.
    static constexpr int32_t kDoNotWait = 2;
    /// The size of one read of ExecuteCommandLine's rounds.
    static constexpr long kReadRoundSize = 4096;
    /// SetWaitClosingChildProcess: no limit (the default).
    static constexpr int32_t kNoTimeLimit = XPosixProcessLauncher::kNoTimeLimit;

    /// Receives each chunk of what the child writes.
    using DataHandler = std::function<void(const char* inData, size_t inSize)>;

    VProcessLauncher() = default;
    /// A child still running is shut down without being killed (waiting for it when someone waits).
    ~VProcessLauncher();
    VProcessLauncher(const VProcessLauncher&) = delete;
    VProcessLauncher& operator=(const VProcessLauncher&) = delete;

    /// Cuts a command line into words: spaces separate them; a word that begins with a double or single
    /// quote runs to the same quote (or the end), the quotes left out and the character after the closing
    /// quote skipped; a backslash makes the next character literal.
    static std::vector<VString> SplitCommandLine(const VString& inCommandLine);
    /// The argument in double quotes, each double quote and backslash in it after a backslash: the word
    /// that SplitCommandLine gives back exactly as inArgument, whatever it holds.
    static VString QuoteArgument(const VString& inArgument);

    /// The child starts in that folder (its POSIX path).
    void SetDefaultDirectory(const VFilePath& inFolder);
    /// Sets one variable of the child's environment; ignored for an empty name.
    void SetEnvironmentVariable(const VString& inName, const VString& inValue);
    /// Replaces the whole environment map; an empty map gives the child the parent's environment.
    void SetEnvironmentVariables(const VEnvironmentVariables& inVariables) { fEnvironment = inVariables; }
    /// Sets the program and argument 0 (appended when there is no argument yet).
    void SetBinaryPath(const VString& inPath);
    /// Clears the arguments, then splits inCommandLine (SplitCommandLine): the first word is the program,
    /// and every word, the first included, an argument.
    void CreateArgumentsFromFullCommandLine(const VString& inCommandLine);
    /// Appends an argument, wrapped in double quotes when inQuote; an empty one is ignored.
    void AddArgument(const VString& inArgument, bool inQuote = false);
    void ClearArguments() { fArguments.clear(); }
    /// Milliseconds after which the child's process group is killed and Shutdown reports the time-out
    /// (kNoTimeLimit: no
    /// limit; 0: nobody waits for the child, which Shutdown leaves running). The limit is acted upon
    /// whenever the launcher is called.
    void SetWaitClosingChildProcess(int32_t inMilliseconds) { fWaitClosingTimeout = inMilliseconds; }
    void SetRedirectStandardInput(bool inRedirect) { fRedirectInput = inRedirect; }
    /// Standard output and standard error through pipes (true) or the parent's.
    void SetRedirectStandardOutput(bool inRedirect) { fRedirectOutput = inRedirect; }
    /// Kept for callers of other systems: arguments are passed one by one and never need quoting.
    void SetQuoteArgumentsIfNeeded(bool inQuote) { fQuoteArgumentsIfNeeded = inQuote; }
    /// Shutdown with the kill flag, and the time-out, then also reach the child's whole process group.
    void EnableProcessTreeKill() { fProcessTreeKill = true; }

    /// Starts the program with the environment map set (see Start(map)).
    [[nodiscard]] int32_t Start() { return Start(fEnvironment); }
    /// Starts the program, looked up on PATH when it does not begin with "/", with the variables of
    /// inEnvironment (the parent's environment when the map is empty). Returns 0; -1 when a pipe cannot
    /// be made; or the errno that stopped the start (ENOENT: no such program or working directory;
    /// EACCES: not executable, or a folder; EINVAL: no program; EBUSY: a child still runs).
    [[nodiscard]] int32_t Start(const VEnvironmentVariables& inEnvironment);
    /// Reaps the child without blocking; true while it runs.
    bool IsRunning() { return fPlatform.IsRunning(); }
    /// Writes to the child's standard input (what the child writes meanwhile is kept for the reads), and
    /// closes it when asked. Returns 0, or -1 when no child runs, the input is closed or the child
    /// stopped reading.
    int32_t WriteToChild(const void* inData, uint32_t inSize, bool inCloseAfter);
    void CloseStandardInput() { fPlatform.CloseInput(); }
    /// Reads at most inSize bytes of the child's standard output without blocking: the count, 0 when none
    /// is there yet, -1 at the end of the stream, on error, for an empty buffer or a closed pipe.
    long ReadFromChild(char* outBuffer, long inSize) {
        return fPlatform.Read(XPosixProcessLauncher::eOutput, outBuffer, inSize);
    }
    /// The same for the child's standard error.
    long ReadErrorFromChild(char* outBuffer, long inSize) {
        return fPlatform.Read(XPosixProcessLauncher::eError, outBuffer, inSize);
    }
    /// Blocks until one of the two streams has data or has ended; false when both are closed.
    bool WaitForData() { return fPlatform.WaitForData(); }
    /// Reads both streams to their end, handing each chunk to its handler (a null handler drops it), then
    /// Shutdown(false, false); returns its result.
    int32_t ReadFromChildAndShutdown(const DataHandler& inOnOutput, const DataHandler& inOnError);
    /// Ends the relation with the child. When someone waits for it (time-out not 0), first waits for its
    /// end, keeping what it writes for the reads. A child still running is then, with inKill, sent
    /// SIGTERM, SIGQUIT and SIGKILL in turn, each given 5000 ms to end (to its whole group with the
    /// process-tree kill enabled); without inKill it is left running and reaped at a later start. With
    /// inKillTree and the process-tree kill enabled, the group is SIGKILLed at the end. Returns 0; when the
    /// time-out killed the child, VE_PROCESS_WAIT_TIMED_OUT is pushed first, naming the program.
    int32_t Shutdown(bool inKill, bool inKillTree);

    /// The child's pid; 0 before the start and once the child is reaped.
    int32_t GetPid() const { return fPlatform.GetPid(); }
    /// The exit code of the ended child (0 to 255), -127 when a signal ended it.
    int32_t GetExitStatus() const { return fPlatform.GetExitStatus(); }
    /// Sends SIGTERM; false for a pid below 1 or when it cannot be sent.
    static bool KillProcess(int32_t inPid) { return XPosixProcessLauncher::KillProcess(inPid); }

    /// Runs a command line to its end: splits it, applies the environment, working directory, extra
    /// arguments (after the split words) and process-tree kill; starts; writes inInput then closes the
    /// input; unless inOptions holds kDoNotWait, reads both streams in rounds of kReadRoundSize bytes into
    /// the buffers given (bytes without a buffer, or that a buffer cannot take, are dropped) until both
    /// end; then, unless outLauncher takes the launcher (running, not shut down), Shutdown(false,
    /// inKillProcessTree). outExitStatus receives the exit status once the command ran. Returns 0 (a
    /// time-out then has its error on the context) or the start's failure (2 for a program that does
    /// not exist).
    [[nodiscard]] static int32_t
    ExecuteCommandLine(const VString& inCommandLine, int32_t inOptions, VMemoryBuffer* inInput,
                       VMemoryBuffer* outOutput, VMemoryBuffer* outError,
                       const VEnvironmentVariables* inEnvironment, const VFilePath* inWorkingDirectory,
                       int32_t* outExitStatus, VProcessLauncher** outLauncher = nullptr,
                       const std::vector<VString>* inExtraArguments = nullptr, bool inQuoteArguments = true,
                       bool inKillProcessTree = false);

private:
    /// Reads both streams in rounds until both have ended, waiting whenever a round brings nothing.
    template <class ReadRound>
    void _ReadUntilBothEnd(ReadRound&& inReadRound);

    XPosixProcessLauncher fPlatform;
    VString fProgram;
    std::vector<VString> fArguments;
    VEnvironmentVariables fEnvironment;
    VString fDefaultDirectory;
    int32_t fWaitClosingTimeout = kNoTimeLimit;
    bool fRedirectInput = true;
    bool fRedirectOutput = true;
    bool fQuoteArgumentsIfNeeded = false;
    bool fProcessTreeKill = false;
};

} // namespace vkit
