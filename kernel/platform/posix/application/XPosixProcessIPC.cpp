// XPosixProcessIPC: the termination signals, handed from their handler to a thread through a pipe, and
// the process id.
#include "platform/posix/application/XPosixProcessIPC.h"

#include "platform/posix/shared/XPosixCalls.h"
#include "platform/posix/shared/XPosixSpawn.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace vkit {

namespace {

constexpr int kTerminationSignals[3] = {SIGTERM, SIGINT, SIGQUIT};
// The write end of the pipe of the initialized object; -1 when none.
std::atomic<int> sSignalWrite{-1};

extern "C" void OnTerminationSignal(int inSignal) {
    int savedErrno = errno;
    if (inSignal == SIGINT) {
        static const char kMessage[] = "\n (ctrl-c has been received - quit)\n\n";
        (void)!::write(STDOUT_FILENO, kMessage, sizeof(kMessage) - 1);
    }
    unsigned char signal = static_cast<unsigned char>(inSignal);
    int descriptor = sSignalWrite.load(std::memory_order_relaxed);
    if (descriptor >= 0)
        (void)!::write(descriptor, &signal, 1);
    errno = savedErrno;
}

} // namespace

bool XPosixProcessIPC::Init(std::function<void()> inOnTermination) {
    if (IsInited() || sSignalWrite.load() >= 0)
        return false;
    if (XPosixSpawn::MakePipe(fSignalRead, fSignalWrite) != 0 || SetNonBlocking(fSignalWrite.Get()) != 0) {
        fSignalRead.Close();
        fSignalWrite.Close();
        return false;
    }
    fOnTermination = std::move(inOnTermination);
    sSignalWrite.store(fSignalWrite.Get());
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    size_t installed = 0;
    while (installed < 3 && ::sigaction(kTerminationSignals[installed], &action, &fPrevious[installed]) == 0)
        ++installed;
    if (installed == 3) {
        try {
            fThread = std::thread([this] { _Watch(); });
            return true;
        } catch (const std::system_error&) {
        }
    }
    while (installed > 0) {
        --installed;
        ::sigaction(kTerminationSignals[installed], &fPrevious[installed], nullptr);
    }
    sSignalWrite.store(-1);
    fSignalRead.Close();
    fSignalWrite.Close();
    return false;
}

void XPosixProcessIPC::DeInit() noexcept {
    if (!IsInited())
        return;
    for (size_t index = 0; index < 3; ++index)
        ::sigaction(kTerminationSignals[index], &fPrevious[index], nullptr);
    // A 0 byte ends the thread.
    sSignalWrite.store(-1);
    unsigned char stop = 0;
    // The thread reads each byte as it comes: the pipe has room for this one.
    (void)WriteAll(fSignalWrite.Get(), &stop, 1);
    fThread.join();
    fSignalWrite.Close();
    fSignalRead.Close();
}

void XPosixProcessIPC::_Watch() const {
    unsigned char signal = 0;
    while (RetryAfterSignal([&] { return ::read(fSignalRead.Get(), &signal, 1); }) == 1 && signal != 0) {
        if (fOnTermination)
            fOnTermination();
    }
}

int32_t XPosixProcessIPC::GetCurrentProcessID() noexcept {
    return static_cast<int32_t>(getpid());
}

} // namespace vkit
