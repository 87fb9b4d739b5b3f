// TestProcess: a process object for the tests, recording its hooks and with failures to inject.
#pragma once

#include "cmdline/StOptionsInfos.h"
#include "cmdline/VCommandLineParser.h"
#include "runtime/VProcessIPC.h"
#include "runtime/VTaskMgr.h"
#include "text/VIntlMgr.h"

#include <functional>
#include <string>
#include <vector>

namespace vkit::testing {

/// A VProcessIPC whose system check and command-line stage answer what the test sets, and which
/// records the calls of its hooks in fCalls ("init <flags>", "parse", "run", "quit").
class TestProcess : public VProcessIPC {
public:
    TestProcess() = default;
    /// A process object standing for another executable (its bundle, product and folders).
    explicit TestProcess(const VFilePath& inExecutable) : VProcessIPC(inExecutable) {}

    bool Init(uint32_t inFlags = kDefaultInitFlags) override {
        fCalls.push_back("init " + std::to_string(inFlags));
        return VProcessIPC::Init(inFlags);
    }

    /// The library's own minimum-system check.
    bool BaseSystemCheck(SystemVersion inVersion) { return VProcessIPC::DoCheckSystemVersion(inVersion); }
    /// The install-folder check on this process's Resources folder.
    bool CheckInstallFolder() const { return _CheckCaseInsensitiveInstallFolder(); }

    bool fSystemSupported = true;
    int fSystemChecks = 0;
    int32_t fCommandLineResult = kCommandLineContinue;
    std::vector<VString> fArguments;
    std::vector<std::string> fCalls;
    /// Runs at the start of DoRun.
    std::function<void()> fRunBody;
    /// DoRun goes on with VProcessIPC's message loop.
    bool fRunMessageLoop = false;

protected:
    bool DoCheckSystemVersion(SystemVersion inVersion) override {
        ++fSystemChecks;
        return fSystemSupported && VProcessIPC::DoCheckSystemVersion(inVersion);
    }
    int32_t DoParseCommandLine(VCommandLineParser& ioParser) override {
        fCalls.push_back("parse");
        fArguments = ioParser.GetOptions().GetArguments();
        return fCommandLineResult;
    }
    void DoRun() override {
        fCalls.push_back("run");
        if (fRunBody)
            fRunBody();
        if (fRunMessageLoop)
            VProcessIPC::DoRun();
    }
    void DoQuit() override { fCalls.push_back("quit"); }
};

/// A task manager started without a process object (before one, or instead of one). Its main task needs
/// an international manager: a default one is set here first. Once every task has ended the guard
/// releases the defaults, so that none outlives the test whether or not a process object replaced it.
class StTaskMgrWithoutProcess {
public:
    StTaskMgrWithoutProcess() : fIntlMgr(VIntlMgr::Create(VString("en_US"))) {
        VIntlMgr::SetDefaultMgr(fIntlMgr);
        fStarted = VTaskMgr::Init();
    }
    ~StTaskMgrWithoutProcess() {
        VTaskMgr::DeInit();
        VIntlMgr::ReleaseDefaultMgrs();
        fIntlMgr->Release();
    }
    StTaskMgrWithoutProcess(const StTaskMgrWithoutProcess&) = delete;
    StTaskMgrWithoutProcess& operator=(const StTaskMgrWithoutProcess&) = delete;

    bool Started() const { return fStarted; }

private:
    VIntlMgr* fIntlMgr;
    bool fStarted = false;
};

} // namespace vkit::testing
