// XPosixSpawn: posix_spawn with its file actions and attributes, PATH lookup, waitpid, pidfd_open, the
// watch set.
#include "platform/posix/shared/XPosixSpawn.h"

#include "platform/posix/shared/XPosixCalls.h"
#include "platform/posix/shared/XPosixPathText.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vkit {

namespace {

std::mutex sWatchedLock;
std::vector<pid_t> sWatched;
// Read without the lock so that starts pay nothing while no child is watched.
std::atomic<size_t> sWatchedCount{0};

bool IsRegularFile(const std::string& inPath) {
    struct stat info {};
    return ::stat(inPath.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

int MoveAboveStandardDescriptors(XPosixDescriptor& ioDescriptor) noexcept {
    if (ioDescriptor.Get() > STDERR_FILENO)
        return 0;
    int moved = ::fcntl(ioDescriptor.Get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    int error = errno;
    if (moved < 0)
        return error;
    ioDescriptor.Reset(moved);
    return 0;
}

int PrepareFileActions(const XPosixSpawn::Request& inRequest,
                       posix_spawn_file_actions_t& ioActions) noexcept {
    for (int target = 0; target < 3; ++target) {
        int source = inRequest.fStandard[target];
        int error = 0;
        if (source == XPosixSpawn::kNullDevice)
            error = posix_spawn_file_actions_addopen(&ioActions, target, "/dev/null", O_RDWR, 0);
        else if (source >= 0)
            error = posix_spawn_file_actions_adddup2(&ioActions, source, target);
        if (error != 0)
            return error;
    }
    if (inRequest.fWorkingDirectory != nullptr) {
        if (int error = posix_spawn_file_actions_addchdir_np(&ioActions, inRequest.fWorkingDirectory))
            return error;
    }
    return posix_spawn_file_actions_addclosefrom_np(&ioActions, STDERR_FILENO + 1);
}

int PrepareAttributes(const XPosixSpawn::Request& inRequest, posix_spawnattr_t& ioAttributes) noexcept {
    sigset_t signals;
    sigemptyset(&signals);
    if (int error = posix_spawnattr_setsigmask(&ioAttributes, &signals))
        return error;
    // A parent that ignores SIGPIPE must not hand that on: programs expect to die on a closed pipe.
    sigaddset(&signals, SIGPIPE);
    if (int error = posix_spawnattr_setsigdefault(&ioAttributes, &signals))
        return error;
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (inRequest.fNewSession) {
        flags |= POSIX_SPAWN_SETSID;
    } else {
        flags |= POSIX_SPAWN_SETPGROUP;
        if (int error = posix_spawnattr_setpgroup(&ioAttributes, 0))
            return error;
    }
    return posix_spawnattr_setflags(&ioAttributes, flags);
}

/// The parent's environment with inExtra laid over it.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& inExtra) {
    std::vector<std::string> entries;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        std::string_view text(*entry);
        std::string_view name = text.substr(0, text.find('='));
        bool replaced = std::any_of(inExtra.begin(), inExtra.end(), [&](const std::string& inEntry) {
            return inEntry.size() > name.size() && inEntry.compare(0, name.size(), name) == 0 &&
                   inEntry[name.size()] == '=';
        });
        if (!replaced)
            entries.emplace_back(text);
    }
    entries.insert(entries.end(), inExtra.begin(), inExtra.end());
    return entries;
}

/// Reads both pipes to their end (either may be -1: none), appending to the texts, so that a child
/// filling one of them is never left waiting while the other is read.
void ReadBothToEnd(int inOutput, std::string& ioOutput, int inError, std::string& ioError) {
    struct pollfd ends[2] = {{inOutput, POLLIN, 0}, {inError, POLLIN, 0}};
    std::string* texts[2] = {&ioOutput, &ioError};
    char buffer[4096];
    while (ends[0].fd >= 0 || ends[1].fd >= 0) {
        if (RetryAfterSignal([&] { return ::poll(ends, 2, -1); }) < 0)
            return;
        for (int i = 0; i < 2; ++i) {
            if (ends[i].fd < 0 || ends[i].revents == 0)
                continue;
            ssize_t count = RetryAfterSignal([&] { return ::read(ends[i].fd, buffer, sizeof(buffer)); });
            if (count <= 0)
                ends[i].fd = -1; // ended, or unreadable: what came is kept
            else
                texts[i]->append(buffer, static_cast<size_t>(count));
        }
    }
}

} // namespace

int XPosixSpawn::Start(const Request& inRequest, int& outPid) noexcept {
    outPid = 0;
    if (inRequest.fProgram == nullptr || *inRequest.fProgram == 0 || inRequest.fArguments == nullptr)
        return EINVAL;
    ReapWatched();
    posix_spawn_file_actions_t actions;
    if (int error = posix_spawn_file_actions_init(&actions))
        return error;
    posix_spawnattr_t attributes;
    int error = posix_spawnattr_init(&attributes);
    if (error == 0) {
        error = PrepareFileActions(inRequest, actions);
        if (error == 0)
            error = PrepareAttributes(inRequest, attributes);
        pid_t pid = 0;
        if (error == 0)
            error = posix_spawn(&pid, inRequest.fProgram, &actions, &attributes, inRequest.fArguments,
                                inRequest.fEnvironment != nullptr ? inRequest.fEnvironment : environ);
        if (error == 0)
            outPid = pid;
        posix_spawnattr_destroy(&attributes);
    }
    posix_spawn_file_actions_destroy(&actions);
    return error;
}

int XPosixSpawn::MakePipe(XPosixDescriptor& outRead, XPosixDescriptor& outWrite) noexcept {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return errno;
    XPosixDescriptor readEnd(ends[0]);
    XPosixDescriptor writeEnd(ends[1]);
    if (int error = MoveAboveStandardDescriptors(readEnd))
        return error;
    if (int error = MoveAboveStandardDescriptors(writeEnd))
        return error;
    outRead = std::move(readEnd);
    outWrite = std::move(writeEnd);
    return 0;
}

std::vector<char*> XPosixSpawn::PointerArray(const std::vector<std::string>& inTexts) {
    std::vector<char*> pointers;
    pointers.reserve(inTexts.size() + 1);
    for (const std::string& text : inTexts)
        pointers.push_back(const_cast<char*>(text.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

bool XPosixSpawn::FindProgram(const std::string& inProgram, std::string& outPath) {
    outPath = inProgram;
    if (inProgram.empty())
        return false;
    if (inProgram[0] == '/')
        return IsRegularFile(inProgram);
    if (IsRegularFile(inProgram))
        return true;
    const char* path = std::getenv("PATH");
    if (path == nullptr)
        path = std::getenv("path");
    if (path == nullptr)
        return false;
    std::string_view directories(path);
    while (!directories.empty()) {
        size_t end = std::min(directories.find(':'), directories.size());
        std::string_view directory = directories.substr(0, end);
        directories.remove_prefix(std::min(end + 1, directories.size()));
        if (directory.empty())
            continue;
        std::string candidate = JoinPath(directory, inProgram);
        if (IsRegularFile(candidate)) {
            outPath = std::move(candidate);
            return true;
        }
    }
    return false;
}

int XPosixSpawn::DecodeWaitStatus(int inWaitStatus) noexcept {
    if (WIFEXITED(inWaitStatus))
        return WEXITSTATUS(inWaitStatus);
    return WIFSIGNALED(inWaitStatus) ? -127 : 0;
}

XPosixDescriptor XPosixSpawn::OpenProcessDescriptor(int inPid) noexcept {
    // The C library's pidfd_open wrapper lacks C linkage in this glibc's header: the system call itself.
    return XPosixDescriptor(static_cast<int>(::syscall(SYS_pidfd_open, inPid, 0)));
}

int XPosixSpawn::TryReap(int inPid, int& outExitStatus) noexcept {
    int status = 0;
    pid_t result = RetryAfterSignal([&] { return ::waitpid(inPid, &status, WNOHANG); });
    if (result == 0)
        return 0;
    if (result != inPid)
        return -1;
    outExitStatus = DecodeWaitStatus(status);
    return 1;
}

bool XPosixSpawn::WaitForExit(int inPid, int& outExitStatus) noexcept {
    int status = 0;
    if (RetryAfterSignal([&] { return ::waitpid(inPid, &status, 0); }) != inPid)
        return false;
    outExitStatus = DecodeWaitStatus(status);
    return true;
}

void XPosixSpawn::Watch(int inPid) {
    std::lock_guard<std::mutex> lock(sWatchedLock);
    sWatched.push_back(inPid);
    sWatchedCount.store(sWatched.size(), std::memory_order_release);
}

void XPosixSpawn::ReapWatched() noexcept {
    if (sWatchedCount.load(std::memory_order_acquire) == 0)
        return;
    std::lock_guard<std::mutex> lock(sWatchedLock);
    int status = 0;
    std::erase_if(sWatched, [&](pid_t inPid) { return TryReap(inPid, status) != 0; });
    sWatchedCount.store(sWatched.size(), std::memory_order_release);
}

int XPosixSpawn::Run(const std::vector<std::string>& inArguments,
                     const std::vector<std::string>& inExtraEnvironment, int* outExitStatus,
                     std::string* outOutput, std::string* outErrorOutput) {
    std::string program;
    if (inArguments.empty() || !FindProgram(inArguments[0], program))
        return ENOENT;
    std::vector<std::string> environment;
    if (!inExtraEnvironment.empty())
        environment = MergedEnvironment(inExtraEnvironment);
    std::vector<char*> arguments = PointerArray(inArguments);
    std::vector<char*> entries = PointerArray(environment);
    std::string* texts[2] = {outExitStatus != nullptr ? outOutput : nullptr,
                             outExitStatus != nullptr ? outErrorOutput : nullptr};
    XPosixDescriptor reads[2];
    XPosixDescriptor writes[2];
    Request request;
    request.fProgram = program.c_str();
    request.fArguments = arguments.data();
    request.fEnvironment = environment.empty() ? nullptr : entries.data();
    request.fStandard[0] = kNullDevice;
    for (int i = 0; i < 2; ++i) {
        if (texts[i] != nullptr) {
            if (int error = MakePipe(reads[i], writes[i]))
                return error;
        }
        request.fStandard[i + 1] = texts[i] != nullptr ? writes[i].Get() : kNullDevice;
    }
    int pid = 0;
    int error = Start(request, pid);
    writes[0].Close();
    writes[1].Close();
    if (error != 0)
        return error;
    if (outExitStatus == nullptr) {
        Watch(pid);
        return 0;
    }
    // What could be read is kept; the exit status is the answer.
    std::string unused;
    ReadBothToEnd(reads[0].Get(), texts[0] != nullptr ? *texts[0] : unused, reads[1].Get(),
                  texts[1] != nullptr ? *texts[1] : unused);
    return WaitForExit(pid, *outExitStatus) ? 0 : ECHILD;
}

} // namespace vkit
