// The application tests' helpers: a process object recording its hooks and with failures to inject,
// and sample bundles (Info.plist texts and bundle folders in a temporary folder).
#pragma once

#include "cmdline/VCommandLineParser.h"
#include "files/VFilePath.h"
#include "runtime/VProcessIPC.h"
#include "runtime/VTaskMgr.h"
#include "support/VTestTempFolder.h"
#include "text/VIntlMgr.h"
#include "text/VString.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace vkit::testing {

/// An Info.plist whose top-level dictionary maps each key to a string.
inline std::string MakeInfoPlist(std::initializer_list<std::pair<const char*, const char*>> inStrings) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
    for (const auto& [key, value] : inStrings)
        text += std::string("  <key>") + key + "</key>\n  <string>" + value + "</string>\n";
    return text + "</dict>\n</plist>\n";
}

/// Creates inName (a "X.app" folder) with Contents/MacOS/ and, when inInfoPlist is not empty,
/// Contents/Info.plist; returns the bundle's POSIX path without a trailing "/".
inline std::string MakeSampleBundle(const VTestTempFolder& inFolder, const std::string& inName,
                                    const std::string& inInfoPlist) {
    inFolder.MakeFolder(inName + "/Contents/MacOS");
    if (!inInfoPlist.empty())
        inFolder.WriteFile(inName + "/Contents/Info.plist", inInfoPlist);
    return inFolder / inName;
}

/// The path of a POSIX text (a folder path when it ends with "/").
inline VFilePath PosixPath(const std::string& inPosix) {
    return VFilePath(VString(inPosix.c_str()), FilePathStyle::Posix);
}

/// The POSIX text of a path.
inline std::string PosixText(const VFilePath& inPath) {
    VString text;
    inPath.GetPosixPath(text);
    return text.ToUTF8();
}

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

    /// The install-folder check on this process's Resources folder.
    bool CheckInstallFolder() const { return _CheckCaseInsensitiveInstallFolder(); }

    bool fSystemSupported = true;
    int fSystemChecks = 0;
    int32_t fCommandLineResult = kCommandLineContinue;
    std::vector<std::string> fCalls;
    /// Runs at the start of DoRun, which then goes on with VProcessIPC's message loop.
    std::function<void()> fRunBody;

protected:
    bool DoCheckSystemVersion(SystemVersion inVersion) override {
        ++fSystemChecks;
        return fSystemSupported && VProcessIPC::DoCheckSystemVersion(inVersion);
    }
    int32_t DoParseCommandLine(VCommandLineParser&) override {
        fCalls.push_back("parse");
        return fCommandLineResult;
    }
    void DoRun() override {
        fCalls.push_back("run");
        if (fRunBody) {
            fRunBody();
            VProcessIPC::DoRun();
        }
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

    bool Started() const { return fStarted; }

private:
    VIntlMgr* fIntlMgr;
    bool fStarted = false;
};

} // namespace vkit::testing
