// VProcessIPC: the process object with the command-line stage, the inter-process object and a message loop.
#pragma once

#include "platform/posix/application/XPosixProcessIPC.h"
#include "runtime/VProcess.h"

#include <cstdint>
#include <vector>

namespace vkit {

class VCommandLineParser;

/// A VProcess that, once the library is up, builds the argument list from sProcessCommandLineArgc and
/// sProcessCommandLineArgv and hands a command-line parser on it to DoParseCommandLine, whose result
/// decides whether the program goes on; it then brings up the platform inter-process object, whose
/// termination signals (SIGTERM, SIGINT, SIGQUIT) call QuitAsynchronously. Its default DoRun executes the
/// main task's messages until the process quits.
class VProcessIPC : public VProcess {
public:
    /// Results of DoParseCommandLine: go on; a command-line error (a message was written); the command
    /// line was fully handled (help or version printed).
    static constexpr int32_t kCommandLineContinue = 0;
    static constexpr int32_t kCommandLineError = 1;
    static constexpr int32_t kCommandLineHandled = 2;

    /// The VProcessIPC part of the process object, from its construction to its destruction.
    static VProcessIPC* sInstance;
    static VProcessIPC* Get() noexcept { return sInstance; }

    VProcessIPC();
    ~VProcessIPC() override;

    /// VProcess::Init, then the command-line stage: DoParseCommandLine with a parser on the argument
    /// list. Returns
    /// false when the library failed (proposed exit status 1), when DoParseCommandLine answered 2 (status
    /// 0: the command line was fully handled) or anything but 0 (status 1), or when the inter-process
    /// object failed (status 1). A second call runs nothing and returns the first call's result.
    bool Init(uint32_t inFlags = kDefaultInitFlags) override;

    /// The exit status proposed when Init stopped early: 1 until the command line was handled.
    int32_t GetProposedExitStatus() const noexcept { return fProposedExitStatus; }

    /// The argument list: each of the inCount strings of inArgv, in order, converted to VString (bytes
    /// outside UTF-8 kept, VString::AppendUTF8KeepingBytes), except
    /// those whose first five characters are "-psn_" (the serial number a desktop may add). The program's
    /// own path stays first.
    static std::vector<VString> BuildArgumentList(int inCount, const char* const* inArgv);

protected:
    /// As VProcessIPC() for another executable (see VProcess(const VFilePath&)).
    explicit VProcessIPC(const VFilePath& inExecutable);

    /// Executes the main task's messages, waiting at most 100 ms each round, while IsRunning.
    void DoRun() override;

    /// The program's command-line stage: declares its options on ioParser and parses. Returns
    /// kCommandLineContinue (here), kCommandLineError or kCommandLineHandled.
    virtual int32_t DoParseCommandLine(VCommandLineParser& ioParser);

private:
    bool fIPCInitCalled = false;
    bool fIPCInitSucceeded = false;
    XPosixProcessIPC fPlatform;
    // The file-system notifier (kInitFlagFileSystemNotifier) and the sleep notifier join here once they
    // exist.
    int32_t fProposedExitStatus = 1;
};

} // namespace vkit
