// XPosixProcessLauncher: pipes, posix_spawn, poll on the pipes and on a pidfd, waitpid and kill.
#include "platform/posix/process/XPosixProcessLauncher.h"

#include "platform/posix/runtime/XPosixSystem.h"
#include "platform/posix/shared/XPosixCalls.h"
#include "platform/posix/shared/XPosixSpawn.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vkit {

namespace {

constexpr uint64_t kNanosecondsPerMillisecond = 1000000ULL;
constexpr int32_t kTerminationWait = 5000;
// The longest sleep between two looks at a child's end where the system has no pidfd.
constexpr int kLongestPollInterval = 50;

/// Blocks SIGPIPE on the calling thread for the scope, so that writing to a child that has gone fails
/// with EPIPE instead of ending the process; a SIGPIPE the scope caused is taken off again.
class StSigpipeBlocked {
public:
    StSigpipeBlocked() noexcept {
        sigemptyset(&fSignal);
        sigaddset(&fSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &fSignal, &fPrevious);
        sigset_t pending;
        fWasPending = sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
    }
    ~StSigpipeBlocked() {
        if (fRaised && !fWasPending) {
            timespec none{};
            sigtimedwait(&fSignal, nullptr, &none);
        }
        pthread_sigmask(SIG_SETMASK, &fPrevious, nullptr);
    }
    StSigpipeBlocked(const StSigpipeBlocked&) = delete;
    StSigpipeBlocked& operator=(const StSigpipeBlocked&) = delete;

    void NoteRaised() noexcept { fRaised = true; }

private:
    sigset_t fSignal;
    sigset_t fPrevious;
    bool fWasPending = false;
    bool fRaised = false;
};

int MillisecondsUntil(uint64_t inDeadline, uint64_t inNow) noexcept {
    uint64_t milliseconds =
        (inDeadline - inNow + kNanosecondsPerMillisecond - 1) / kNanosecondsPerMillisecond;
    return static_cast<int>(std::min<uint64_t>(milliseconds, INT_MAX));
}

} // namespace

int32_t XPosixProcessLauncher::_OpenPipes(const Command& inCommand, XPosixDescriptor (&outChildEnds)[3]) {
    if (inCommand.fRedirectInput &&
        (XPosixSpawn::MakePipe(outChildEnds[0], fInput) != 0 || SetNonBlocking(fInput.Get()) != 0))
        return -1;
    if (inCommand.fRedirectOutput) {
        for (int stream = eOutput; stream <= eError; ++stream) {
            if (XPosixSpawn::MakePipe(fOutputs[stream], outChildEnds[stream + 1]) != 0 ||
                SetNonBlocking(fOutputs[stream].Get()) != 0)
                return -1;
        }
    }
    return 0;
}

int32_t XPosixProcessLauncher::Start(const Command& inCommand) {
    if (!_Reap())
        return EBUSY;
    if (inCommand.fProgram.empty())
        return EINVAL;
    fInput.Close();
    for (int stream = eOutput; stream <= eError; ++stream) {
        fOutputs[stream].Close();
        fPending[stream].Clear();
        fPendingOffset[stream] = 0;
    }
    fExitStatus = 0;
    fProcessGroup = 0;
    fTimedOut = false;
    fDeadline = 0;
    std::string program;
    XPosixSpawn::FindProgram(inCommand.fProgram, program);

    // The status pipe: the child's copy of the write end goes at the latest with its exec, so the read
    // below sees the end of the stream once the child is under way; anything else fails the start.
    XPosixDescriptor statusRead;
    XPosixDescriptor statusWrite;
    XPosixDescriptor childEnds[3];
    if (XPosixSpawn::MakePipe(statusRead, statusWrite) != 0 || _OpenPipes(inCommand, childEnds) != 0) {
        fInput.Close();
        fOutputs[eOutput].Close();
        fOutputs[eError].Close();
        return -1;
    }
    std::vector<char*> arguments = XPosixSpawn::PointerArray(inCommand.fArguments);
    if (inCommand.fArguments.empty())
        arguments.insert(arguments.begin(), const_cast<char*>(inCommand.fProgram.c_str()));
    std::vector<char*> environment = XPosixSpawn::PointerArray(inCommand.fEnvironment);
    XPosixSpawn::Request request;
    request.fProgram = program.c_str();
    request.fArguments = arguments.data();
    request.fEnvironment = inCommand.fEnvironment.empty() ? nullptr : environment.data();
    request.fWorkingDirectory =
        inCommand.fWorkingDirectory.empty() ? nullptr : inCommand.fWorkingDirectory.c_str();
    for (int descriptor = 0; descriptor < 3; ++descriptor)
        request.fStandard[descriptor] =
            childEnds[descriptor].IsValid() ? childEnds[descriptor].Get() : XPosixSpawn::kInherit;
    int pid = 0;
    int error = XPosixSpawn::Start(request, pid);
    for (XPosixDescriptor& end : childEnds)
        end.Close();
    statusWrite.Close();
    if (error != 0) {
        fInput.Close();
        fOutputs[eOutput].Close();
        fOutputs[eError].Close();
        return error;
    }
    fPid = pid;
    fProcessGroup = -pid;
    fIsRunning = true;
    fWaitClosingTimeout = inCommand.fWaitClosingTimeout;
    fProcessTreeKill = inCommand.fProcessTreeKill;
    char status[4];
    if (RetryAfterSignal([&] { return ::read(statusRead.Get(), status, sizeof(status)); }) != 0) {
        ::kill(pid, SIGKILL);
        Shutdown(false, false);
        return -1;
    }
    // Where the system has no pidfd, the waits fall back on looking with waitpid.
    // (The C library's pidfd_open wrapper lacks C linkage in this glibc's header.)
    fPidDescriptor.Reset(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    if (fWaitClosingTimeout > 0 && fWaitClosingTimeout < kNoTimeLimit)
        fDeadline = XPosixSystem::GetMonotonicNanoseconds() +
                    static_cast<uint64_t>(fWaitClosingTimeout) * kNanosecondsPerMillisecond;
    return 0;
}

int XPosixProcessLauncher::_CheckTimeOut() {
    if (fDeadline == 0)
        return -1;
    uint64_t now = XPosixSystem::GetMonotonicNanoseconds();
    if (now < fDeadline)
        return MillisecondsUntil(fDeadline, now);
    fDeadline = 0;
    fTimedOut = true;
    // The child leads its group unless it moved; never the group of this process.
    pid_t group = fIsRunning ? ::getpgid(fPid) : -fProcessGroup;
    if (group > 0 && group != ::getpgrp())
        ::killpg(group, SIGKILL);
    else if (fIsRunning)
        ::kill(fPid, SIGKILL);
    return -1;
}

bool XPosixProcessLauncher::_Reap() {
    if (!fIsRunning)
        return true;
    int status = 0;
    int result = XPosixSpawn::TryReap(fPid, status);
    if (result == 0)
        return false;
    fExitStatus = result > 0 ? status : 0;
    fIsRunning = false;
    fPid = 0;
    fPidDescriptor.Close();
    return true;
}

bool XPosixProcessLauncher::IsRunning() {
    _CheckTimeOut();
    return !_Reap();
}

long XPosixProcessLauncher::Read(EStream inStream, char* outBuffer, long inSize) {
    if (outBuffer == nullptr || inSize <= 0)
        return -1;
    VMemoryBuffer& pending = fPending[inStream];
    size_t& offset = fPendingOffset[inStream];
    if (offset == pending.GetDataSize()) {
        XPosixDescriptor& pipe = fOutputs[inStream];
        if (!pipe.IsValid())
            return -1;
        _CheckTimeOut();
        if (inSize < kRefillSize) {
            if (long count = _Refill(inStream); count <= 0)
                return count;
        } else {
            ssize_t count =
                RetryAfterSignal([&] { return ::read(pipe.Get(), outBuffer, static_cast<size_t>(inSize)); });
            int error = errno;
            if (count > 0 || (count < 0 && error == EAGAIN))
                return count > 0 ? count : 0;
            pipe.Close();
            return -1;
        }
    }
    size_t count = std::min(static_cast<size_t>(inSize), pending.GetDataSize() - offset);
    std::memcpy(outBuffer, static_cast<const char*>(pending.GetDataPtr()) + offset, count);
    offset += count;
    if (offset == pending.GetDataSize()) {
        pending.Clear();
        offset = 0;
    }
    return static_cast<long>(count);
}

long XPosixProcessLauncher::_Refill(EStream inStream) {
    XPosixDescriptor& pipe = fOutputs[inStream];
    VMemoryBuffer& pending = fPending[inStream];
    size_t size = pending.GetDataSize();
    if (!pipe.IsValid())
        return -1;
    if (!pending.SetDataSize(size + kRefillSize)) {
        pipe.Close(); // out of memory: the rest of the stream is dropped
        return -1;
    }
    char* end = static_cast<char*>(pending.GetDataPtr()) + size;
    ssize_t count = RetryAfterSignal([&] { return ::read(pipe.Get(), end, kRefillSize); });
    int error = errno;
    pending.SetDataSize(size + static_cast<size_t>(count > 0 ? count : 0));
    if (count > 0 || (count < 0 && error == EAGAIN))
        return count > 0 ? count : 0;
    pipe.Close();
    return -1;
}

void XPosixProcessLauncher::_Drain(EStream inStream) {
    while (_Refill(inStream) > 0) {
    }
}

bool XPosixProcessLauncher::WaitForData() {
    for (;;) {
        pollfd entries[2];
        nfds_t count = 0;
        for (int stream = eOutput; stream <= eError; ++stream) {
            if (fPendingOffset[stream] < fPending[stream].GetDataSize())
                return true;
            if (fOutputs[stream].IsValid())
                entries[count++] = {fOutputs[stream].Get(), POLLIN, 0};
        }
        if (count == 0)
            return false;
        int ready = ::poll(entries, count, _CheckTimeOut());
        int error = errno;
        if (ready > 0 || (ready < 0 && error != EINTR))
            return true;
    }
}

int32_t XPosixProcessLauncher::Write(const void* inData, size_t inSize, bool inCloseAfter) {
    if (!fIsRunning || !fInput.IsValid())
        return -1;
    StSigpipeBlocked sigpipeBlocked;
    const char* bytes = static_cast<const char*>(inData);
    int32_t result = 0;
    while (inSize > 0) {
        ssize_t written = RetryAfterSignal([&] { return ::write(fInput.Get(), bytes, inSize); });
        int error = errno;
        if (written >= 0) {
            bytes += written;
            inSize -= static_cast<size_t>(written);
            continue;
        }
        if (error != EAGAIN) {
            if (error == EPIPE)
                sigpipeBlocked.NoteRaised();
            result = -1;
            break;
        }
        // The input is full: wait for room, taking in what the child writes meanwhile.
        pollfd entries[3] = {{fInput.Get(), POLLOUT, 0}, {-1, POLLIN, 0}, {-1, POLLIN, 0}};
        for (int stream = eOutput; stream <= eError; ++stream)
            entries[stream + 1].fd = fOutputs[stream].IsValid() ? fOutputs[stream].Get() : -1;
        if (::poll(entries, 3, _CheckTimeOut()) > 0) {
            for (int stream = eOutput; stream <= eError; ++stream) {
                if (entries[stream + 1].revents != 0)
                    _Drain(static_cast<EStream>(stream));
            }
        }
    }
    if (inCloseAfter)
        fInput.Close();
    return result;
}

bool XPosixProcessLauncher::_WaitForEnd(int32_t inMilliseconds) {
    uint64_t limit = inMilliseconds < 0
                         ? 0
                         : XPosixSystem::GetMonotonicNanoseconds() +
                               static_cast<uint64_t>(inMilliseconds) * kNanosecondsPerMillisecond;
    int interval = 1;
    while (!_Reap()) {
        int timeout = _CheckTimeOut();
        if (limit != 0) {
            uint64_t now = XPosixSystem::GetMonotonicNanoseconds();
            if (now >= limit)
                return _Reap();
            int left = MillisecondsUntil(limit, now);
            timeout = timeout < 0 ? left : std::min(timeout, left);
        }
        pollfd entries[3] = {{fPidDescriptor.Get(), POLLIN, 0}, {-1, POLLIN, 0}, {-1, POLLIN, 0}};
        if (!fPidDescriptor.IsValid()) {
            timeout = timeout < 0 ? interval : std::min(timeout, interval);
            interval = std::min(interval * 2, kLongestPollInterval);
        }
        // A child blocked on a full pipe would never end: what it writes is kept for Read.
        for (int stream = eOutput; stream <= eError; ++stream)
            entries[stream + 1].fd = fOutputs[stream].IsValid() ? fOutputs[stream].Get() : -1;
        if (::poll(entries, 3, timeout) > 0) {
            for (int stream = eOutput; stream <= eError; ++stream) {
                if (entries[stream + 1].revents != 0)
                    _Drain(static_cast<EStream>(stream));
            }
        }
    }
    return true;
}

bool XPosixProcessLauncher::_TerminateAndWait(int inSignal, int32_t inMilliseconds) {
    pid_t target = fProcessTreeKill ? fProcessGroup : fPid;
    if (::kill(target, inSignal) != 0) {
        int error = errno;
        _Reap();
        return error == ESRCH;
    }
    return _WaitForEnd(inMilliseconds > 0 ? inMilliseconds : 30);
}

bool XPosixProcessLauncher::Shutdown(bool inKill, bool inKillTree) {
    if (fIsRunning && fWaitClosingTimeout >= 1)
        _WaitForEnd(-1);
    bool timedOut = fTimedOut;
    if (!_Reap()) {
        fInput.Close();
        fOutputs[eOutput].Close();
        fOutputs[eError].Close();
        if (inKill) {
            (void)(_TerminateAndWait(SIGTERM, kTerminationWait) ||
                   _TerminateAndWait(SIGQUIT, kTerminationWait) ||
                   _TerminateAndWait(SIGKILL, kTerminationWait));
        }
        if (!_Reap())
            XPosixSpawn::Watch(fPid);
        fIsRunning = false;
        fPid = 0;
        fPidDescriptor.Close();
    }
    if (inKillTree && fProcessTreeKill && fProcessGroup != 0)
        ::kill(fProcessGroup, SIGKILL);
    fDeadline = 0;
    return !timedOut;
}

bool XPosixProcessLauncher::KillProcess(int32_t inPid) noexcept {
    return inPid > 0 && ::kill(inPid, SIGTERM) == 0;
}

} // namespace vkit
