// VProcessIPC: the command-line stage of the initialization, the default message loop and shut-down.
#include "runtime/VProcessIPC.h"

#include "cmdline/VCommandLineParser.h"
#include "runtime/VTask.h"

#include <cstring>

namespace vkit {

VProcessIPC* VProcessIPC::sInstance = nullptr;

VProcessIPC::VProcessIPC() {
    sInstance = this;
}

VProcessIPC::VProcessIPC(const VFilePath& inExecutable) : VProcess(inExecutable) {
    sInstance = this;
}

VProcessIPC::~VProcessIPC() {
    // The notifiers are deleted here, before the inter-process object, once they exist.
    fPlatform.DeInit();
    if (sInstance == this)
        sInstance = nullptr;
}

bool VProcessIPC::Init(uint32_t inFlags) {
    if (fIPCInitCalled)
        return fIPCInitSucceeded;
    if (!VProcess::Init(inFlags)) {
        fProposedExitStatus = 1;
        return false;
    }
    fIPCInitCalled = true;
    std::vector<VString> arguments = BuildArgumentList(sProcessCommandLineArgc, sProcessCommandLineArgv);
    int32_t result = kCommandLineContinue;
    {
        VCommandLineParser parser(arguments);
        result = DoParseCommandLine(parser);
    }
    fProposedExitStatus = result == kCommandLineContinue || result == kCommandLineHandled ? 0 : 1;
    if (result != kCommandLineContinue)
        return false;
    // The termination signals end the run the way a quit request does.
    if (!fPlatform.Init([] {
            if (VProcess* process = VProcess::Get())
                process->QuitAsynchronously();
        })) {
        fProposedExitStatus = 1;
        return false;
    }
    // The file-system notifier (kInitFlagFileSystemNotifier) and the sleep notifier are made here once
    // they exist.
    fIPCInitSucceeded = true;
    return true;
}

std::vector<VString> VProcessIPC::BuildArgumentList(int inCount, const char* const* inArgv) {
    std::vector<VString> arguments;
    if (inArgv == nullptr || inCount <= 0)
        return arguments;
    arguments.reserve(static_cast<size_t>(inCount));
    for (int i = 0; i < inCount; ++i) {
        const char* argument = inArgv[i];
        if (argument != nullptr && std::strncmp(argument, "-psn_", 5) == 0)
            continue;
        // An argument is often a path: its bytes outside UTF-8 are kept, so that it names the same item.
        if (argument != nullptr)
            arguments.emplace_back().AppendUTF8KeepingBytes(argument, std::strlen(argument));
        else
            arguments.emplace_back();
    }
    return arguments;
}

void VProcessIPC::DoRun() {
    while (IsRunning())
        VTask::ExecuteMessagesWithTimeout(100, true);
}

int32_t VProcessIPC::DoParseCommandLine(VCommandLineParser&) {
    return kCommandLineContinue;
}

} // namespace vkit
