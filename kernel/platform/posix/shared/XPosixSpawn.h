// XPosixSpawn: the one way the library starts a child process (posix_spawn), looks a program up on PATH,
// refers to a process by a descriptor, and reaps the children that nobody waits for.
#pragma once

#include "platform/posix/shared/XPosixDescriptor.h"

#include <string>
#include <vector>

namespace vkit {

/// Starting child processes, shared by the process launcher, the alert and the opening of files. The
/// watched children (started without anyone waiting for their end) are kept in one process-wide set
/// and reaped by a later start once they have ended, so that none stays a zombie.
class XPosixSpawn {
public:
    XPosixSpawn() = delete;

    /// What one of the child's descriptors 0, 1 and 2 becomes: a descriptor of the parent (3 or above,
    /// so that no mapping overwrites another one's source), or one of these.
    static constexpr int kInherit = -1;    ///< the parent's descriptor of the same number
    static constexpr int kNullDevice = -2; ///< /dev/null, open for reading and writing

    struct Request {
        /// The program as given to the system: no PATH search (see FindProgram).
        const char* fProgram = nullptr;
        /// NULL-terminated argument vector, element 0 first.
        char* const* fArguments = nullptr;
        /// NULL-terminated "name=value" entries; null gives the parent's environment.
        char* const* fEnvironment = nullptr;
        /// The child's working directory; null keeps the parent's.
        const char* fWorkingDirectory = nullptr;
        int fStandard[3] = {kInherit, kInherit, kInherit};
        /// The child leads a new session, detached from any terminal, rather than a new process group.
        bool fNewSession = false;
    };

    /// Starts a child that leads a new process group (or session), with an empty signal mask, the default
    /// action for SIGPIPE, and no descriptor but 0, 1 and 2. The watched children that have ended are
    /// reaped first. Returns 0 and the child's pid, or the errno of the failing step: ENOENT for a missing
    /// program or working directory, EACCES for a program that is not executable or is a folder.
    static int Start(const Request& inRequest, int& outPid) noexcept;

    /// Makes a pipe whose two ends are close-on-exec and numbered 3 or above (a parent whose standard
    /// descriptors are closed would otherwise get 0 to 2, which the child's mapping overwrites). Returns 0
    /// or the errno of the failing call.
    static int MakePipe(XPosixDescriptor& outRead, XPosixDescriptor& outWrite) noexcept;

    /// The NULL-terminated array of the texts' C strings (an argument vector or an environment), valid
    /// while inTexts lives.
    static std::vector<char*> PointerArray(const std::vector<std::string>& inTexts);

    /// The program lookup: a program that does not begin with "/" and does not name a regular file
    /// relative to the working directory is searched in each directory of PATH (or, when unset, "path"),
    /// in order; the first regular file found is the answer. Returns false, outPath = inProgram, when
    /// none is found.
    static bool FindProgram(const std::string& inProgram, std::string& outPath);

    /// The exit status of a waitpid status: the exit code (0 to 255), -127 for a child ended by a signal,
    /// 0 for a stopped one.
    static int DecodeWaitStatus(int inWaitStatus) noexcept;

    /// Reaps the child without blocking: 1 when it had ended (outExitStatus set), 0 while it runs, -1 when
    /// it cannot be waited for (not a child, already reaped).
    static int TryReap(int inPid, int& outExitStatus) noexcept;

    /// Waits for the child's end (resuming after signals). Returns false when it cannot be waited for.
    static bool WaitForExit(int inPid, int& outExitStatus) noexcept;

    /// A descriptor that refers to the process inPid (pidfd_open): it becomes readable (POLLIN) once the
    /// process has ended, whether or not it is a child of this one, and it names that process alone
    /// even should its number be reused. Invalid, with errno set, on failure: ESRCH when no such process
    /// is visible, ENOSYS where the kernel has no pidfd.
    static XPosixDescriptor OpenProcessDescriptor(int inPid) noexcept;

    /// Keeps a child that nobody waits for: a later Start reaps it once it has ended.
    static void Watch(int inPid);
    /// Reaps the watched children that have ended, and forgets them.
    static void ReapWatched() noexcept;

    /// Runs a program of the system found on PATH (inArguments[0]), its standard input on /dev/null,
    /// with the parent's environment plus inExtraEnvironment ("name=value", replacing a variable of the
    /// same name). With outExitStatus the call waits for the end, and outOutput and outErrorOutput (when
    /// given) receive the child's standard output and standard error; without it the child is watched and
    /// the call returns at once, both streams going to /dev/null. Returns 0 or the errno that stopped the
    /// start (ENOENT: not on PATH).
    static int Run(const std::vector<std::string>& inArguments,
                   const std::vector<std::string>& inExtraEnvironment, int* outExitStatus,
                   std::string* outOutput, std::string* outErrorOutput = nullptr);
};

} // namespace vkit
