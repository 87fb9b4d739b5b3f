// Tests of the process object: the once-only initialization and its order, the command-line stage and
// the exit statuses it proposes, the run and its quit, the termination signals, product versions, folder
// kinds, the install-folder check, the main bundle, and the settings files read at start-up
// ("spinlock.prm", "fileSystems.json").
#include "TestProcess.h"

#include "bags/VValueBag.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorTaskContext.h"
#include "errors/VErrorThrow.h"
#include "files/VFile.h"
#include "files/VFileSystem.h"
#include "files/VFileSystemNamespace.h"
#include "files/VFolder.h"
#include "logging/VLogger.h"
#include "runtime/SpinLock.h"
#include "runtime/VBundle.h"
#include "runtime/VSpinLockSettingsFile.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "support/StEnvironment.h"
#include "text/VIntlMgr.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace vkit;
using namespace vkit::testing;

namespace {

using Calls = std::vector<std::string>;

std::string FolderOfKind(const VProcess& inProcess, OsType inKind) {
    VFilePath path;
    return inProcess.GetFolderPath(inKind, path) ? PosixText(path) : "<none>";
}

} // namespace

struct StageCase {
    const char* fLabel;
    bool fSystemSupported;
    int32_t fCommandLineResult;
    bool fInit;
    int32_t fExitStatus;
};

TEST(VProcessTest, InitRunsItsStagesOnceAndProposesTheExitStatus) {
    const StageCase cases[] = {
        {"continue", true, VProcessIPC::kCommandLineContinue, true, 0},
        {"handled", true, VProcessIPC::kCommandLineHandled, false, 0},
        {"error", true, VProcessIPC::kCommandLineError, false, 1},
        {"other result", true, 3, false, 1},
        {"negative result", true, -1, false, 1},
        {"unsupported system", false, VProcessIPC::kCommandLineContinue, false, 1},
    };
    StEnvironment language("LANGUAGE", "fr_FR:en");
    for (const StageCase& row : cases) {
        SCOPED_TRACE(row.fLabel);
        {
            TestProcess process;
            process.fSystemSupported = row.fSystemSupported;
            process.fCommandLineResult = row.fCommandLineResult;
            EXPECT_EQ(process.Init(), row.fInit);
            EXPECT_EQ(process.Init(), row.fInit); // not retried
            EXPECT_EQ(process.fSystemChecks, 1);
            EXPECT_EQ(process.GetProposedExitStatus(), row.fExitStatus);
            EXPECT_EQ(process.fCalls, (row.fSystemSupported ? Calls{"init 80", "parse", "init 80"}
                                                            : Calls{"init 80", "init 80"}));
            EXPECT_EQ(VProcess::Get(), &process);
            EXPECT_EQ(process.IsRunning(), row.fSystemSupported);
            // The library is up unless the system check failed: only the program's own stage said stop.
            EXPECT_EQ(VErrorBase::IsInited(), row.fSystemSupported);
            ASSERT_EQ(VTaskMgr::Get() != nullptr, row.fSystemSupported);
            if (row.fSystemSupported) {
                // The international manager follows the user's language, and the main task cloned it.
                EXPECT_EQ(VTask::GetMain()->GetIntlMgr()->GetLocaleName(), "fr_FR");
                // The default flags make a started process logger.
                EXPECT_TRUE(process.GetLogger()->IsStarted());
                EXPECT_EQ(ILogger::GetProcessLogger(), process.GetLogger());
                EXPECT_EQ(VErrorBase::GetProcessLogger(), process.GetLogger());
            }
        }
        // The destructor brought everything down again.
        EXPECT_EQ(VProcess::Get(), nullptr);
        EXPECT_EQ(VTaskMgr::Get(), nullptr);
        EXPECT_FALSE(VErrorBase::IsInited());
        EXPECT_EQ(ILogger::GetProcessLogger(), nullptr);
    }
}

TEST(VProcessTest, ArgumentListDropsOnlyProcessSerialNumbers) {
    const char* argv[] = {"/bin/updater", "-psn_0_123", "-ps",         "-psn",
                          "-psn_",        "x-psn_1",    "caf\xC3\xA9", "/a\xFF"};
    std::vector<std::string> texts;
    for (const VString& argument : VProcessIPC::BuildArgumentList(8, argv))
        argument.AppendToUTF8KeepingBytes(texts.emplace_back());
    EXPECT_EQ(texts,
              (std::vector<std::string>{"/bin/updater", "-ps", "-psn", "x-psn_1", "caf\xC3\xA9", "/a\xFF"}));
    EXPECT_TRUE(VProcessIPC::BuildArgumentList(3, nullptr).empty());
}

TEST(VProcessTest, RunWithoutInitInitializesOrRaisesTheFailureOfInit) {
    // Each on a main task that the process did not make, so that Run gets past its first check.
    {
        StTaskMgrWithoutProcess taskMgr;
        TestProcess process;
        process.Run();
        EXPECT_EQ(process.fCalls, (Calls{"init 80", "parse", "run", "quit"}));
    }
    StTaskMgrWithoutProcess taskMgr;
    TestProcess process;
    process.fSystemSupported = false;
    ASSERT_FALSE(process.Init());
    process.Run();
    EXPECT_EQ(process.fCalls, (Calls{"init 80"}));
    ASSERT_EQ(VTask::GetLastError(), VE_APPLICATION_INIT_FAILED);
    VString description;
    VTask::GetErrorContext(false)->GetLast()->GetErrorDescription(description);
    EXPECT_EQ(description, "VApplication::DoInit failed");
}

TEST(VProcessTest, RunRunsTheMessageLoopUntilATerminationSignalThenQuits) {
    const std::pair<int, const char*> cases[] = {
        {SIGTERM, ""}, {SIGINT, "\n (ctrl-c has been received - quit)\n\n"}, {SIGQUIT, ""}};
    for (const auto& [signal, printed] : cases) {
        SCOPED_TRACE(signal);
        TestProcess process;
        int ran = 0;
        // The loop runs the message that raises the signal. Without its handler the signal would end the
        // test program; with it, the message loop ends.
        process.fRunBody = [&ran, signal = signal] {
            EXPECT_EQ(VTask::GetLastError(), VE_OK); // errors left from before the run were flushed
            VTask::GetMain()->PostMessage([&ran, signal] { ++ran, ::raise(signal); });
        };
        ASSERT_TRUE(process.Init());
        std::thread([&] { process.Run(); }).join(); // from another thread: nothing
        _ThrowError(MakeVError(MakeOsType("TEST"), 1));
        ::testing::internal::CaptureStdout();
        process.Run();
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), printed);
        EXPECT_EQ(ran, 1);
        EXPECT_FALSE(process.IsRunning());
        process.Run(); // the main task is dying: nothing
        EXPECT_EQ(process.fCalls, (Calls{"init 80", "parse", "run", "quit"}));
    }
}

TEST(VProcessTest, ProductVersionSplitsIntoItsParts) {
    const std::pair<const char*, const char*> cases[] = {
        // version: short, main, build, change list
        {"20.2 build 20.123456", "20.2|20|20.123456|123456"},
        {" 3.1.4 ", "3.1.4|3||0"},
        {"7 BUILD 7.42", "7|7|7.42|42"}, // the search ignores case
        {"1.0 build 815", "1.0|1|815|0"},
        {"1.0 build ", "1.0|1||0"},
        {"2 build 3 build 4.5", "2|2|3 build 4.5|5"}, // only the first "build " splits
        {nullptr, "|||0"},                            // no Info.plist
    };
    for (const auto& [version, parts] : cases) {
        SCOPED_TRACE(version != nullptr ? version : "no Info.plist");
        VTestTempFolder folder;
        std::string bundle = MakeSampleBundle(
            folder, "V.app",
            version == nullptr
                ? ""
                : MakeInfoPlist({{"CFBundleName", "V"}, {"CFBundleShortVersionString", version}}));
        TestProcess process(PosixPath(bundle + "/Contents/MacOS/tool"));
        VString text[3] = {VString("stale"), VString("stale"), VString("stale")};
        process.GetShortProductVersion(text[0]);
        process.GetMainProductVersion(text[1]);
        process.GetBuildNumber(text[2]);
        EXPECT_EQ(text[0].ToUTF8() + "|" + text[1].ToUTF8() + "|" + text[2].ToUTF8() + "|" +
                      std::to_string(process.GetChangeListNumber()),
                  parts);
        EXPECT_EQ(process.GetProductName(), version == nullptr ? "" : "V");
        EXPECT_EQ(process.GetLogSourceIdentifier(), version == nullptr ? "" : "V");
        EXPECT_EQ(process.GetProductVersion(), version == nullptr ? "" : version);
    }
}

TEST(VProcessTest, FoldersAndFilesOfEachKind) {
    VTestTempFolder folder;
    std::string bundle = MakeSampleBundle(folder, "Tool.app", "");
    folder.WriteFile("Tool.app/Contents/Resources/both.json", "{}");
    folder.WriteFile("Tool.app/Contents/MacOS/both.json", "{}");
    folder.MakeFolder("Tool.app/Contents/Resources/folder.json");
    TestProcess process(PosixPath(bundle + "/Contents/MacOS/tool"));
    const std::pair<OsType, const char*> kinds[] = {
        {VProcess::kFolderExecutable, "/Contents/MacOS/"},
        {VProcess::kFolderBundle, "/"},
        {VProcess::kFolderXSL, "/Contents/Resources/XSL/"},
        {MakeOsType("exec"), nullptr},
    };
    for (const auto& [kind, path] : kinds) {
        VRefPtr<VFolder> kindFolder = AdoptRef(process.RetainFolder(kind)); // whether or not it exists
        EXPECT_EQ(kindFolder ? PosixText(kindFolder->GetPath()) : "<none>", path ? bundle + path : "<none>");
    }
    auto found = [&](OsType inKind, const char* inName, OsType inFallback) {
        VRefPtr<VFile> file = AdoptRef(process.RetainFile(inKind, VString(inName), inFallback));
        return file ? PosixText(file->GetPath()).substr(bundle.size()) : "<none>";
    };
    const OsType resources = VProcess::kFolderResources, executable = VProcess::kFolderExecutable;
    EXPECT_EQ(found(resources, "both.json", executable), "/Contents/Resources/both.json");
    EXPECT_EQ(found(resources, "folder.json", 0), "<none>"); // a folder of that name is no file
    EXPECT_EQ(found(MakeOsType("ABCD"), "both.json", executable), "/Contents/MacOS/both.json");
    EXPECT_EQ(FolderOfKind(TestProcess(PosixPath("/tool")), VProcess::kFolderContents),
              "<none>"); // above "/"
}

TEST(VProcessTest, CaseCheckFailsWhenOnlyOneSpellingExists) {
    VTestTempFolder folder;
    folder.MakeFolder("Both/resources");
    // Each made but the last; "Both/Resources" next to "Both/resources".
    const std::pair<const char*, bool> cases[] = {
        {"Only/Resources", false}, {"Lower/resources", false}, {"Apps/Apps", false},
        {"Zed/Zed", false},        {"Low/apps", false},        {"Low/zed", false},
        {"Digit/3rd", true},       {"Both/Resources", true},   {"Neither/Resources", true},
    };
    for (const auto& [path, passes] : cases) {
        SCOPED_TRACE(path);
        if (path != cases[std::size(cases) - 1].first)
            folder.MakeFolder(path);
        EXPECT_EQ(VProcess::CheckCaseInsensitiveFolder(PosixPath(folder / path + "/")), passes);
    }
    // The process checks its own Resources folder.
    std::string bundle = MakeSampleBundle(folder, "Case.app", "");
    folder.MakeFolder("Case.app/Contents/Resources");
    EXPECT_FALSE(TestProcess(PosixPath(bundle + "/Contents/MacOS/case")).CheckInstallFolder());
}

TEST(VProcessTest, MainBundleIsFoundFromTheRunningExecutable) {
    TestProcess self;
    EXPECT_EQ(PosixText(self.GetExecutableFilePath()), VKIT_APPLICATION_TESTS_PATH);
    EXPECT_EQ(self.GetProductName(), ""); // the test program does not lie in a bundle
    VTestTempFolder folder;
    std::string bundle =
        MakeSampleBundle(folder, "Child.app",
                         MakeInfoPlist({{"CFBundleName", "Child Tool"},
                                        {"CFBundleShortVersionString", "20.2 build 20.123456"}}));
    std::string executable = bundle + "/Contents/MacOS/child";
    ASSERT_EQ(RunShell("cp '" + std::string(VKIT_APPLICATION_TESTS_PATH) + "' '" + executable + "'"), 0);
    std::string report = folder / "report.txt";
    ASSERT_EQ(RunShell("VKIT_PROCESS_CHILD_REPORT='" + report + "' '" + executable +
                       "' --gtest_also_run_disabled_tests --gtest_filter=VProcessChild.* > '" +
                       (folder / "child.log") + "' 2>&1"),
              0)
        << ReadFile(folder / "child.log");
    EXPECT_EQ(ReadFile(report), "Child Tool\n20.2 build 20.123456\n" + executable + "\n" + bundle + "/\n0\n");
}

// The child side of MainBundleIsFoundFromTheRunningExecutable, run from a copy of this program.
TEST(VProcessChild, DISABLED_ReportsTheMainBundle) {
    const char* report = std::getenv("VKIT_PROCESS_CHILD_REPORT");
    ASSERT_NE(report, nullptr);
    TestProcess process;
    std::ofstream(report) << process.GetProductName().ToUTF8() << '\n'
                          << process.GetProductVersion().ToUTF8() << '\n'
                          << PosixText(process.GetExecutableFilePath()) << '\n'
                          << FolderOfKind(process, VProcess::kFolderBundle) << '\n';
    // Once the executable's file is gone, its path names nothing: no main bundle.
    ASSERT_EQ(std::remove(PosixText(process.GetExecutableFilePath()).c_str()), 0);
    std::ofstream(report, std::ios::app) << VBundle().OpenMain() << '\n';
}

TEST(VProcessTest, InitReadsTheSettingsFilesOfTheBundle) {
    VTestTempFolder folder;
    std::string bundle = MakeSampleBundle(folder, "Named.app", MakeInfoPlist({{"CFBundleName", "Named"}}));
    folder.WriteFile("Named.app/Contents/Resources/fileSystems.json",
                     R"([{"name": "TEMPLATES", "path": "Templates", "parent": ".PRODUCT_RESOURCES"}])");
    folder.WriteFile("Named.app/Contents/MacOS/spinlock.prm",
                     R"({"mode": "loopMaxSpinsAndYields", "maxSpins": 40.9, "yieldAfterCheckEvent": true})");
    // The same file in Resources is not looked at.
    folder.WriteFile("Named.app/Contents/Resources/spinlock.prm", R"({"mode": "alwaysSleep"})");
    {
        TestProcess process(PosixPath(bundle + "/Contents/MacOS/tool"));
        ASSERT_TRUE(process.Init());
        EXPECT_EQ(SpinLock::GetStrategy(), SpinLock::EStrategy::LoopMaxSpinsAndYields);
        EXPECT_EQ(SpinLock::GetMaxSpins(), 40u);
        EXPECT_TRUE(SpinLock::GetYieldAfterCheckEvent());
        // The entry names a folder inside the resources root registered before it.
        VRefPtr<VFileSystem> root =
            AdoptRef(process.GetFileSystemNamespace()->RetainFileSystem(VString("TEMPLATES"), 0));
        EXPECT_EQ(PosixText(root->GetRoot()), bundle + "/Contents/Resources/Templates/");
        EXPECT_EQ(process.GetFileSystemNamespace()->RetainFileSystem(VString(".USER_HOME_DIRECTORY"),
                                                                     kLookupRestricted),
                  nullptr);
    }
    SpinLock::Settings settings{VString("maxSpinsThenLoopYields"), 1, false};
    EXPECT_TRUE(SpinLock::Configure(settings));
    EXPECT_FALSE(VSpinLockSettingsFile::ReadForProcess(settings)); // no process object
}

TEST(VProcessTest, InitFailsOnABrokenFileSystemsJson) {
    VTestTempFolder folder;
    std::string bundle = MakeSampleBundle(folder, "Broken.app", MakeInfoPlist({{"CFBundleName", "Broken"}}));
    std::string definitions =
        folder.WriteFile("Broken.app/Contents/Resources/fileSystems.json", "[{\"name\": ");
    TestProcess process(PosixPath(bundle + "/Contents/MacOS/tool"));
    EXPECT_FALSE(process.Init());
    EXPECT_EQ(VTask::GetLastError(), VE_FS_INVALID_DEFINITION_FILE);
    VString path;
    ASSERT_TRUE(VTask::GetErrorContext(false)->GetLast()->GetBag().GetString("path", path));
    EXPECT_EQ(path.ToUTF8(), definitions);
}
