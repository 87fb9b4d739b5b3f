// Tests of the process object: the once-only initialization and its order, the run, product versions,
// folder kinds, activity tokens, process queries, the install-folder check, the main bundle, and the
// settings files read at start-up ("spinlock.prm", "fileSystems.json").
#include "SampleBundle.h"
#include "TestProcess.h"

#include "bags/VValueBag.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorTaskContext.h"
#include "errors/VErrorThrow.h"
#include "files/IFile.h"
#include "files/VFile.h"
#include "files/VFileOptions.h"
#include "files/VFileSystem.h"
#include "files/VFileSystemNamespace.h"
#include "files/VFolder.h"
#include "logging/VLogger.h"
#include "runtime/SpinLock.h"
#include "runtime/VActivityToken.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "support/StEnvironment.h"
#include "text/VIntlMgr.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace vkit;
using namespace vkit::testing;

namespace {

using Calls = std::vector<std::string>;

/// A process object standing for "<bundle>/Contents/MacOS/tool" of a sample bundle with that version.
class VersionedProcess {
public:
    explicit VersionedProcess(const char* inVersion)
        : fBundle(MakeSampleBundle(
              fFolder, "Versioned.app",
              MakeInfoPlist({{"CFBundleName", "Versioned"}, {"CFBundleShortVersionString", inVersion}}))),
          fProcess(PosixPath(fBundle + "/Contents/MacOS/tool")) {}

    std::string Build() const { return Get(&VProcess::GetBuildNumber); }
    std::string Short() const { return Get(&VProcess::GetShortProductVersion); }
    std::string Main() const { return Get(&VProcess::GetMainProductVersion); }
    int32_t ChangeList() const { return fProcess.GetChangeListNumber(); }
    const TestProcess& Process() const { return fProcess; }

private:
    std::string Get(void (VProcess::*inGetter)(VString&) const) const {
        VString text("stale");
        (fProcess.*inGetter)(text);
        return text.ToUTF8();
    }

    VTestTempFolder fFolder;
    std::string fBundle;
    TestProcess fProcess;
};

std::string FolderOfKind(const VProcess& inProcess, OsType inKind) {
    VFilePath path;
    return inProcess.GetFolderPath(inKind, path) ? PosixText(path) : "<none>";
}

} // namespace

TEST(VProcessTest, InitRunsOnceAndKeepsItsFirstResult) {
    {
        TestProcess process;
        EXPECT_TRUE(process.Init());
        EXPECT_TRUE(process.Init());
        EXPECT_EQ(process.fSystemChecks, 1);
        EXPECT_EQ(process.fCalls, (Calls{"init 80", "parse", "init 80"}));
        EXPECT_EQ(VProcess::Get(), &process);
        EXPECT_NE(VTaskMgr::Get(), nullptr);
        EXPECT_TRUE(VTask::IsCurrentMain());
        EXPECT_TRUE(VErrorBase::IsInited());
        EXPECT_TRUE(process.IsRunning());
    }
    // The destructor brought everything down again.
    EXPECT_EQ(VProcess::Get(), nullptr);
    EXPECT_EQ(VProcessIPC::Get(), nullptr);
    EXPECT_EQ(VTaskMgr::Get(), nullptr);
    EXPECT_FALSE(VErrorBase::IsInited());
}

TEST(VProcessTest, FailedInitStopsBeforeTheLibraryAndIsNotRetried) {
    TestProcess process;
    process.fSystemSupported = false;
    EXPECT_FALSE(process.Init());
    EXPECT_FALSE(process.Init());
    EXPECT_EQ(process.fSystemChecks, 1);
    EXPECT_EQ(process.GetProposedExitStatus(), 1);
    // The instance is set before the system check's result is looked at; nothing after it ran.
    EXPECT_EQ(VProcess::Get(), &process);
    EXPECT_EQ(VTaskMgr::Get(), nullptr);
    EXPECT_EQ(process.GetIntlMgr(), nullptr);
    EXPECT_FALSE(VErrorBase::IsInited());
    EXPECT_FALSE(process.IsRunning());
}

TEST(VProcessTest, InternationalManagerFollowsTheUserLanguageAndComesBeforeTheTasks) {
    StEnvironment language("LANGUAGE", "fr_FR:en");
    TestProcess process;
    ASSERT_TRUE(process.Init());
    ASSERT_NE(process.GetIntlMgr(), nullptr);
    EXPECT_EQ(process.GetIntlMgr()->GetLocaleName(), "fr_FR");
    // The main task cloned the process's manager, so it was made first.
    EXPECT_EQ(VTask::GetMain()->GetIntlMgr()->GetLocaleName(), "fr_FR");
}

TEST(VProcessTest, LoggerFlagMakesAStartedProcessLoggerUntilTheEnd) {
    for (uint32_t flags : {VProcess::kDefaultInitFlags, VProcess::kInitFlagFileSystemNotifier}) {
        SCOPED_TRACE(flags);
        bool wanted = (flags & VProcess::kInitFlagLogger) != 0;
        {
            TestProcess process;
            ASSERT_TRUE(process.Init(flags));
            VLogger* logger = process.GetLogger();
            ASSERT_EQ(logger != nullptr, wanted);
            EXPECT_EQ(ILogger::GetProcessLogger(), logger);
            EXPECT_EQ(VErrorBase::GetProcessLogger(), logger);
            if (wanted) {
                EXPECT_TRUE(logger->IsStarted());
                EXPECT_EQ(process.GetLogger(EML_Information), logger);
                EXPECT_EQ(process.GetLogger(EML_Debug), nullptr);
            }
        }
        EXPECT_EQ(ILogger::GetProcessLogger(), nullptr);
        EXPECT_EQ(VErrorBase::GetProcessLogger(), nullptr);
    }
}

TEST(VProcessTest, RunCallsDoRunThenDoQuitAndEndsTheMainTask) {
    TestProcess process;
    ASSERT_TRUE(process.Init());
    // Errors left from before the run are flushed.
    _ThrowError(MakeVError(MakeOsType("TEST"), 1));
    ASSERT_NE(VTask::GetLastError(), VE_OK);
    process.fRunBody = [&] { EXPECT_EQ(VTask::GetLastError(), VE_OK); };
    process.Run();
    EXPECT_EQ(process.fCalls, (Calls{"init 80", "parse", "run", "quit"}));
    EXPECT_FALSE(process.IsRunning());
    // A second run finds the main task dying and does nothing.
    process.Run();
    EXPECT_EQ(process.fCalls.size(), 4u);
}

TEST(VProcessTest, RunInitializesWhenInitWasNotCalled) {
    StTaskMgrWithoutProcess taskMgr;
    ASSERT_TRUE(taskMgr.Started());
    TestProcess process;
    process.Run();
    EXPECT_EQ(process.fCalls, (Calls{"init 80", "parse", "run", "quit"}));
}

TEST(VProcessTest, RunAfterAFailedInitRaisesVkit4AndRunsNothing) {
    // A main task that the process did not make, so that Run gets past its first check.
    StTaskMgrWithoutProcess taskMgr;
    ASSERT_TRUE(taskMgr.Started());
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

TEST(VProcessTest, RunFromAnotherThreadDoesNothing) {
    TestProcess process;
    ASSERT_TRUE(process.Init());
    std::thread other([&] { process.Run(); });
    other.join();
    EXPECT_EQ(process.fCalls, (Calls{"init 80", "parse"}));
    EXPECT_TRUE(process.IsRunning());
}

TEST(VProcessTest, QuitAsynchronouslyFromAnotherTaskEndsTheMessageLoop) {
    TestProcess process;
    ASSERT_TRUE(process.Init());
    bool messageRan = false;
    std::thread quitter;
    process.fRunMessageLoop = true;
    process.fRunBody = [&] {
        quitter = std::thread([&] {
            // The loop executes the main task's messages: this one quits from the main task itself.
            VTask::GetMain()->PostMessage([&] { messageRan = true; });
            process.QuitAsynchronously();
        });
    };
    process.Run();
    quitter.join();
    EXPECT_FALSE(process.IsRunning());
    EXPECT_EQ(process.fCalls, (Calls{"init 80", "parse", "run", "quit"}));
    (void)messageRan; // may or may not have run before the quit was seen
}

TEST(VProcessTest, PostedMessagesRunInTheDefaultLoopUntilOneQuits) {
    TestProcess process;
    ASSERT_TRUE(process.Init());
    int ran = 0;
    process.fRunMessageLoop = true;
    process.fRunBody = [&] {
        VTask* main = VTask::GetMain();
        main->PostMessage([&] { ++ran; });
        main->PostMessage([&] {
            ++ran;
            process.QuitAsynchronously();
        });
    };
    process.Run();
    EXPECT_EQ(ran, 2);
    EXPECT_FALSE(process.IsRunning());
}

TEST(VProcessTest, VersionWithBuildSplitsIntoItsParts) {
    VersionedProcess process("20.2 build 20.123456");
    EXPECT_EQ(process.Process().GetProductName(), "Versioned");
    EXPECT_EQ(process.Process().GetLogSourceIdentifier(), "Versioned");
    EXPECT_EQ(process.Process().GetProductVersion(), "20.2 build 20.123456");
    EXPECT_EQ(process.Short(), "20.2");
    EXPECT_EQ(process.Main(), "20");
    EXPECT_EQ(process.Build(), "20.123456");
    EXPECT_EQ(process.ChangeList(), 123456);
}

TEST(VProcessTest, VersionWithoutBuildHasNoBuildNumber) {
    VersionedProcess process(" 3.1.4 ");
    EXPECT_EQ(process.Short(), "3.1.4");
    EXPECT_EQ(process.Main(), "3");
    EXPECT_EQ(process.Build(), "");
    EXPECT_EQ(process.ChangeList(), 0);
}

TEST(VProcessTest, VersionEdgeCases) {
    // The search for "build " uses the international comparison, which ignores case.
    VersionedProcess upper("7 BUILD 7.42");
    EXPECT_EQ(upper.Short(), "7");
    EXPECT_EQ(upper.Main(), "7");
    EXPECT_EQ(upper.Build(), "7.42");
    EXPECT_EQ(upper.ChangeList(), 42);
    // A build number without "." has no change list; a trailing "build " gives an empty number.
    EXPECT_EQ(VersionedProcess("1.0 build 815").ChangeList(), 0);
    VersionedProcess trailing("1.0 build ");
    EXPECT_EQ(trailing.Build(), "");
    EXPECT_EQ(trailing.Short(), "1.0");
    // Only the first "build " splits.
    VersionedProcess twice("2 build 3 build 4.5");
    EXPECT_EQ(twice.Build(), "3 build 4.5");
    EXPECT_EQ(twice.ChangeList(), 5);
    // Without Info.plist every text is empty.
    TestProcess bare(PosixPath("/nowhere/Bare.app/Contents/MacOS/bare"));
    EXPECT_EQ(bare.GetProductName(), "");
    VString text("stale");
    bare.GetShortProductVersion(text);
    EXPECT_EQ(text, "");
    EXPECT_EQ(bare.GetChangeListNumber(), 0);
}

TEST(VProcessTest, FolderKindsAreComputedFromTheExecutableFolder) {
    TestProcess process(PosixPath("/opt/Tool.app/Contents/MacOS/tool"));
    EXPECT_EQ(PosixText(process.GetExecutableFilePath()), "/opt/Tool.app/Contents/MacOS/tool");
    EXPECT_EQ(FolderOfKind(process, VProcess::kFolderExecutable), "/opt/Tool.app/Contents/MacOS/");
    EXPECT_EQ(FolderOfKind(process, VProcess::kFolderBundle), "/opt/Tool.app/");
    EXPECT_EQ(FolderOfKind(process, VProcess::kFolderContents), "/opt/Tool.app/Contents/");
    EXPECT_EQ(FolderOfKind(process, VProcess::kFolderResources), "/opt/Tool.app/Contents/Resources/");
    EXPECT_EQ(FolderOfKind(process, VProcess::kFolderNativeComponents),
              "/opt/Tool.app/Contents/Native Components/");
    EXPECT_EQ(FolderOfKind(process, VProcess::kFolderJSONSchemas),
              "/opt/Tool.app/Contents/Resources/JSONSchemas/");
    EXPECT_EQ(FolderOfKind(process, VProcess::kFolderDTD), "/opt/Tool.app/Contents/Resources/DTD/");
    EXPECT_EQ(FolderOfKind(process, VProcess::kFolderXSD), "/opt/Tool.app/Contents/Resources/XSD/");
    EXPECT_EQ(FolderOfKind(process, VProcess::kFolderXSL), "/opt/Tool.app/Contents/Resources/XSL/");
    EXPECT_EQ(MakeOsType("BNDL"), 0x424E444Cu);
}

TEST(VProcessTest, UnknownFolderKindAndMissingExecutableGiveNoFolder) {
    TestProcess process(PosixPath("/opt/Tool.app/Contents/MacOS/tool"));
    for (OsType kind : {MakeOsType("ABCD"), MakeOsType("exec"), OsType{0}})
        EXPECT_EQ(FolderOfKind(process, kind), "<none>");
    // Outside a bundle the kinds still follow the executable's folder.
    TestProcess plain(PosixPath("/usr/bin/tool"));
    EXPECT_EQ(FolderOfKind(plain, VProcess::kFolderBundle), "/");
    EXPECT_EQ(FolderOfKind(plain, VProcess::kFolderResources), "/usr/Resources/");
    // Above the root there is no folder.
    TestProcess rooted(PosixPath("/tool"));
    EXPECT_EQ(FolderOfKind(rooted, VProcess::kFolderExecutable), "/");
    EXPECT_EQ(FolderOfKind(rooted, VProcess::kFolderContents), "<none>");
    VFilePath path(VString("stale"));
    EXPECT_FALSE(VProcess::ComputeFolderPath(VFilePath(), VProcess::kFolderExecutable, path));
    EXPECT_FALSE(path.IsValid());
}

TEST(VProcessTest, RetainFolderGivesAFolderObjectOfEveryKind) {
    TestProcess process(PosixPath("/opt/Tool.app/Contents/MacOS/tool"));
    for (OsType kind :
         {VProcess::kFolderExecutable, VProcess::kFolderBundle, VProcess::kFolderContents,
          VProcess::kFolderResources, VProcess::kFolderNativeComponents, VProcess::kFolderJSONSchemas,
          VProcess::kFolderDTD, VProcess::kFolderXSD, VProcess::kFolderXSL}) {
        VFolder* folder = process.RetainFolder(kind);
        ASSERT_NE(folder, nullptr) << kind;
        // Returned whether or not it exists.
        EXPECT_FALSE(folder->Exists());
        EXPECT_EQ(PosixText(folder->GetPath()), FolderOfKind(process, kind));
        folder->Release();
    }
    EXPECT_EQ(process.RetainFolder(MakeOsType("RSRc")), nullptr);
    EXPECT_EQ(TestProcess(VFilePath()).RetainFolder(VProcess::kFolderExecutable), nullptr);
}

TEST(VProcessTest, RetainFileLooksInTheKindThenInTheFallback) {
    VTestTempFolder folder;
    std::string bundle = MakeSampleBundle(folder, "Files.app", "");
    folder.WriteFile("Files.app/Contents/Resources/both.json", "{}");
    folder.WriteFile("Files.app/Contents/MacOS/both.json", "{}");
    folder.WriteFile("Files.app/Contents/MacOS/spinlock.prm", "{}");
    folder.MakeFolder("Files.app/Contents/Resources/folder.json");
    TestProcess process(PosixPath(bundle + "/Contents/MacOS/files"));
    auto found = [&](OsType inKind, const char* inName, OsType inFallback) {
        VFile* file = process.RetainFile(inKind, VString(inName), inFallback);
        std::string path = file != nullptr ? PosixText(file->GetPath()) : "<none>";
        if (file != nullptr)
            file->Release();
        return path;
    };
    EXPECT_EQ(found(VProcess::kFolderResources, "both.json", VProcess::kFolderExecutable),
              bundle + "/Contents/Resources/both.json");
    EXPECT_EQ(found(VProcess::kFolderResources, "spinlock.prm", VProcess::kFolderExecutable),
              bundle + "/Contents/MacOS/spinlock.prm");
    EXPECT_EQ(found(VProcess::kFolderResources, "spinlock.prm", 0), "<none>");
    EXPECT_EQ(found(VProcess::kFolderResources, "missing", VProcess::kFolderExecutable), "<none>");
    // A folder of that name is no file.
    EXPECT_EQ(found(VProcess::kFolderResources, "folder.json", 0), "<none>");
    EXPECT_EQ(found(MakeOsType("ABCD"), "both.json", VProcess::kFolderExecutable),
              bundle + "/Contents/MacOS/both.json");

    VFile* executable = process.RetainExecutableFile();
    ASSERT_NE(executable, nullptr);
    EXPECT_EQ(PosixText(executable->GetPath()), bundle + "/Contents/MacOS/files");
    executable->Release();
    EXPECT_EQ(TestProcess(VFilePath()).RetainExecutableFile(), nullptr);
}

TEST(VProcessTest, ActivityTokensKeepTheProcessBusy) {
    TestProcess process(PosixPath("/opt/tool"));
    VActivityToken download(VString("download"));
    VActivityToken job(VString("job"));
    process.RegisterActivityToken(&download);
    process.RegisterActivityToken(&job);
    EXPECT_TRUE(process.HasSomeActivityTokens(0));
    process.UnregisterActivityToken(&download);
    EXPECT_TRUE(process.HasSomeActivityTokens(0));
    process.UnregisterActivityToken(&job);
    // Nothing registered: busy only within the given span after the last activity.
    EXPECT_FALSE(process.HasSomeActivityTokens(0));
    EXPECT_TRUE(process.HasSomeActivityTokens(UINT32_MAX));
    process.UnregisterActivityToken(&job);
    EXPECT_FALSE(process.HasSomeActivityTokens(0));
}

TEST(VProcessTest, ActivityTokensFromSeveralThreads) {
    TestProcess process(PosixPath("/opt/tool"));
    constexpr int kThreads = 4;
    constexpr int kRounds = 2000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&process] {
            VActivityToken token;
            for (int round = 0; round < kRounds; ++round) {
                process.RegisterActivityToken(&token);
                EXPECT_TRUE(process.HasSomeActivityTokens(0));
                process.UnregisterActivityToken(&token);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_FALSE(process.HasSomeActivityTokens(0));
}

TEST(VProcessTest, SystemIDIsThisProcess) {
    std::string stat = ReadFile("/proc/self/stat");
    EXPECT_EQ(std::to_string(VProcess::GetSystemID()), stat.substr(0, stat.find(' ')));
    EXPECT_TRUE(VProcess::IsProcessRunning(VProcess::GetSystemID()));
    // A shell that has ended and was waited for is no longer running.
    VTestTempFolder folder;
    ASSERT_EQ(RunShell("sh -c 'echo $$ > " + (folder / "pid") + "'"), 0);
    int32_t ended = std::atoi(ReadFile(folder / "pid").c_str());
    ASSERT_GT(ended, 0);
    EXPECT_FALSE(VProcess::IsProcessRunning(ended));
}

TEST(VProcessTest, SystemVersionCheckIsSatisfiedOnLinux) {
    TestProcess process(PosixPath("/opt/tool"));
    EXPECT_TRUE(process.BaseSystemCheck(eOSVersion_10_12));
    EXPECT_TRUE(process.BaseSystemCheck(eOSVersion_15));
    EXPECT_TRUE(process.BaseSystemCheck(static_cast<SystemVersion>(99)));
}

TEST(VProcessTest, CaseCheckFailsWhenOnlyOneSpellingExists) {
    VTestTempFolder folder;
    folder.MakeFolder("Only/Resources");
    EXPECT_FALSE(VProcess::CheckCaseInsensitiveFolder(PosixPath(folder / "Only/Resources/")));
    folder.MakeFolder("Both/Resources");
    folder.MakeFolder("Both/resources");
    EXPECT_TRUE(VProcess::CheckCaseInsensitiveFolder(PosixPath(folder / "Both/Resources/")));
    EXPECT_TRUE(VProcess::CheckCaseInsensitiveFolder(PosixPath(folder / "Neither/Resources/")));
    // Lower case changes to upper case the same way.
    folder.MakeFolder("Lower/resources");
    EXPECT_FALSE(VProcess::CheckCaseInsensitiveFolder(PosixPath(folder / "Lower/resources/")));
    // A name that does not begin with a letter has one spelling only.
    folder.MakeFolder("Digit/3rd");
    EXPECT_TRUE(VProcess::CheckCaseInsensitiveFolder(PosixPath(folder / "Digit/3rd/")));
    // The process checks its own Resources folder.
    std::string bundle = MakeSampleBundle(folder, "Case.app", "");
    folder.MakeFolder("Case.app/Contents/Resources");
    EXPECT_FALSE(TestProcess(PosixPath(bundle + "/Contents/MacOS/case")).CheckInstallFolder());
}

TEST(VProcessTest, ProcessOfTheRunningExecutableIsNotInABundle) {
    TestProcess process;
    std::string executable = VKIT_APPLICATION_TESTS_PATH;
    EXPECT_EQ(PosixText(process.GetExecutableFilePath()), executable);
    EXPECT_EQ(FolderOfKind(process, VProcess::kFolderExecutable),
              executable.substr(0, executable.rfind('/') + 1));
    EXPECT_EQ(process.GetProductName(), "");
    EXPECT_EQ(process.GetProductVersion(), "");
}

TEST(VProcessTest, MainBundleIsFoundFromTheRunningExecutable) {
    VTestTempFolder folder;
    std::string bundle =
        MakeSampleBundle(folder, "Child.app",
                         MakeInfoPlist({{"CFBundleName", "Child Tool"},
                                        {"CFBundleShortVersionString", "20.2 build 20.123456"}}));
    std::string executable = bundle + "/Contents/MacOS/child";
    ASSERT_EQ(RunShell("cp '" + std::string(VKIT_APPLICATION_TESTS_PATH) + "' '" + executable + "'"), 0);
    std::string report = folder / "report.txt";
    ASSERT_EQ(RunShell("VKIT_PROCESS_CHILD_REPORT='" + report + "' '" + executable +
                       "' --gtest_filter=VProcessChild.ReportsTheMainBundle > '" + (folder / "child.log") +
                       "' 2>&1"),
              0)
        << ReadFile(folder / "child.log");
    EXPECT_EQ(ReadFile(report), "Child Tool\n20.2 build 20.123456\n" + executable + "\n" + bundle + "/\n");
}

// The child side of MainBundleIsFoundFromTheRunningExecutable, run from a copy of this program.
TEST(VProcessChild, ReportsTheMainBundle) {
    const char* report = std::getenv("VKIT_PROCESS_CHILD_REPORT");
    if (report == nullptr)
        GTEST_SKIP() << "runs only as the child of VProcessTest.MainBundleIsFoundFromTheRunningExecutable";
    TestProcess process;
    std::ofstream(report) << process.GetProductName().ToUTF8() << '\n'
                          << process.GetProductVersion().ToUTF8() << '\n'
                          << PosixText(process.GetExecutableFilePath()) << '\n'
                          << FolderOfKind(process, VProcess::kFolderBundle) << '\n';
}

TEST(VProcessTest, InitRegistersTheResourcesAndDocumentsRoots) {
    VTestTempFolder folder;
    std::string bundle = MakeSampleBundle(folder, "Roots.app", MakeInfoPlist({{"CFBundleName", "Roots"}}));
    std::string documents = folder.MakeFolder("home/Documents");
    std::string userDirs =
        folder.WriteFile("config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"" + documents + "\"\n");
    StEnvironment config("XDG_CONFIG_HOME", (folder / "config").c_str());
    TestProcess process(PosixPath(bundle + "/Contents/MacOS/tool"));
    ASSERT_TRUE(process.Init());
    VFileSystemNamespace* names = process.GetFileSystemNamespace();
    ASSERT_NE(names, nullptr);

    VRefPtr<VFileSystem> resources = AdoptRef(names->RetainFileSystem(VString(".PRODUCT_RESOURCES"), 0));
    ASSERT_TRUE(resources);
    EXPECT_EQ(PosixText(resources->GetRoot()), bundle + "/Contents/Resources/");

    // The documents folder is registered when the system names one, and never shown to restricted
    // lookups.
    VRefPtr<VFileSystem> home = AdoptRef(names->RetainFileSystem(VString(".USER_HOME_DIRECTORY"), 0));
    VFolder* systemDocuments = VFolder::RetainSystemFolder(eFolderUserDocuments, false);
    EXPECT_EQ(home.Get() != nullptr, systemDocuments != nullptr);
    ReleaseRefCountable(&systemDocuments);
    EXPECT_EQ(names->RetainFileSystem(VString(".USER_HOME_DIRECTORY"), kLookupRestricted), nullptr);
}

namespace {

/// Puts the spin-lock defaults back once the process object of a test is gone.
class StSpinLockDefaults {
public:
    StSpinLockDefaults() = default;
    ~StSpinLockDefaults() {
        SpinLock::Settings defaults;
        defaults.fMode = VString("maxSpinsThenLoopYields");
        defaults.fMaxSpins = 1;
        defaults.fYieldAfterCheckEvent = false;
        EXPECT_TRUE(SpinLock::Configure(defaults));
    }
    StSpinLockDefaults(const StSpinLockDefaults&) = delete;
    StSpinLockDefaults& operator=(const StSpinLockDefaults&) = delete;
};

} // namespace

TEST(VProcessTest, InitAppliesTheSpinLockSettingsBesideTheExecutable) {
    StSpinLockDefaults restore;
    VTestTempFolder folder;
    std::string bundle = MakeSampleBundle(folder, "Tuned.app", MakeInfoPlist({{"CFBundleName", "Tuned"}}));
    folder.WriteFile("Tuned.app/Contents/MacOS/spinlock.prm",
                     R"({"mode": "loopMaxSpinsAndYields", "maxSpins": 40.9, "yieldAfterCheckEvent": true})");
    // The same file in Resources is not looked at.
    folder.WriteFile("Tuned.app/Contents/Resources/spinlock.prm", R"({"mode": "alwaysSleep"})");
    TestProcess process(PosixPath(bundle + "/Contents/MacOS/tool"));
    ASSERT_TRUE(process.Init());
    EXPECT_EQ(SpinLock::GetStrategy(), SpinLock::EStrategy::LoopMaxSpinsAndYields);
    EXPECT_EQ(SpinLock::GetMaxSpins(), 40u);
    EXPECT_TRUE(SpinLock::GetYieldAfterCheckEvent());
}

TEST(VProcessTest, InitKeepsTheSpinLockDefaultsWithoutAUsableSettingsFile) {
    StSpinLockDefaults restore;
    VTestTempFolder folder;
    std::string bundle = MakeSampleBundle(folder, "Plain.app", MakeInfoPlist({{"CFBundleName", "Plain"}}));
    for (const char* content :
         {"", "{\"mode\": \"alwaysSleep\", \"maxSpins\": ", "[\"alwaysSleep\"]",
          "{\"mode\": \"noSuchMode\", \"maxSpins\": \"9\", \"yieldAfterCheckEvent\": 1}"}) {
        if (*content != '\0')
            folder.WriteFile("Plain.app/Contents/MacOS/spinlock.prm", content);
        ::testing::internal::CaptureStderr();
        {
            TestProcess process(PosixPath(bundle + "/Contents/MacOS/tool"));
            EXPECT_TRUE(process.Init()) << content;
            EXPECT_EQ(SpinLock::GetStrategy(), SpinLock::EStrategy::MaxSpinsThenLoopYields) << content;
            EXPECT_EQ(SpinLock::GetMaxSpins(), 1u) << content;
            EXPECT_FALSE(SpinLock::GetYieldAfterCheckEvent()) << content;
        }
        std::string standardError = ::testing::internal::GetCapturedStderr();
        // Only the file that does not parse is reported, by its path.
        bool broken = std::string(content).starts_with("{\"mode\": \"alwaysSleep\"");
        EXPECT_EQ(standardError.find(folder / "Plain.app/Contents/MacOS/spinlock.prm") != std::string::npos,
                  broken)
            << content << ": " << standardError;
    }
}

TEST(VProcessTest, InitRegistersTheRootsOfFileSystemsJson) {
    VTestTempFolder folder;
    std::string bundle = MakeSampleBundle(folder, "Named.app", MakeInfoPlist({{"CFBundleName", "Named"}}));
    std::string data = folder.MakeFolder("data");
    folder.WriteFile(
        "Named.app/Contents/Resources/fileSystems.json",
        "[{\"name\": \"DATA\", \"path\": \"" + data +
            "\", \"writable\": true},"
            " {\"name\": \"TEMPLATES\", \"path\": \"Templates\", \"parent\": \".PRODUCT_RESOURCES\"}]");
    TestProcess process(PosixPath(bundle + "/Contents/MacOS/tool"));
    ASSERT_TRUE(process.Init());
    VFileSystemNamespace* names = process.GetFileSystemNamespace();

    VRefPtr<VFileSystem> dataRoot = AdoptRef(names->RetainFileSystem(VString("DATA"), 0));
    ASSERT_TRUE(dataRoot);
    EXPECT_EQ(PosixText(dataRoot->GetRoot()), data + "/");
    EXPECT_TRUE(dataRoot->IsWritable());
    // The second entry names a folder inside the resources root registered just before.
    VRefPtr<VFileSystem> templates = AdoptRef(names->RetainFileSystem(VString("TEMPLATES"), 0));
    ASSERT_TRUE(templates);
    EXPECT_EQ(PosixText(templates->GetRoot()), bundle + "/Contents/Resources/Templates/");
    EXPECT_FALSE(templates->IsWritable());
    // Paths of the form "/name/relative" now reach into them.
    VRefPtr<IFile> file = AdoptRef(names->RetainFile(VString("/DATA/sub/x.txt"), nullptr, 0, false));
    ASSERT_TRUE(file);
    EXPECT_EQ(PosixText(file->GetPath()), data + "/sub/x.txt");
}

TEST(VProcessTest, InitFailsOnABrokenFileSystemsJson) {
    VTestTempFolder folder;
    std::string bundle = MakeSampleBundle(folder, "Broken.app", MakeInfoPlist({{"CFBundleName", "Broken"}}));
    std::string definitions =
        folder.WriteFile("Broken.app/Contents/Resources/fileSystems.json", "[{\"name\": ");
    TestProcess process(PosixPath(bundle + "/Contents/MacOS/tool"));
    EXPECT_FALSE(process.Init());
    EXPECT_EQ(VTask::GetLastError(), VE_FS_INVALID_DEFINITION_FILE);
    VErrorTaskContext* context = VTask::GetErrorContext(false);
    ASSERT_NE(context, nullptr);
    ASSERT_NE(context->GetLast(), nullptr);
    VString path;
    ASSERT_TRUE(context->GetLast()->GetBag().GetString("path", path));
    EXPECT_EQ(path.ToUTF8(), definitions);
}
