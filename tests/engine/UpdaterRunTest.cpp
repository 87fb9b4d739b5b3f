// Whole-program tests of the update: the built updater on real bundles, checked by its exit status, its
// streams, its log, the disk and the trash afterwards.
#include "engine/UpdaterTestSupport.h"

#include "support/VTestTrees.h"

#include <cctype>
#include <functional>
#include <ostream>

using namespace vkit::testing;

namespace {

/// One update scenario: what is on disk before, the arguments, and what must hold after.
struct Scenario {
    const char* fLabel;
    std::function<void(UpdaterTest&)> fSetUp;
    std::function<std::string(UpdaterTest&)> fArguments;
    int fStatus;
    std::function<std::vector<std::string>(UpdaterTest&)> fLog;
    std::function<void(UpdaterTest&, const UpdaterRun&)> fCheck;
};

std::string Quoted(const std::string& inText) {
    return "'" + inText + "'";
}

/// The two bundles as the last arguments, with the log folder.
std::string Bundles(UpdaterTest& inTest) {
    return "--log-dir " + Quoted(inTest.fLogs) + " " + Quoted(inTest.fOutdated) + " " +
           Quoted(inTest.fUpToDate);
}

/// The outdated bundle 1.0, the up-to-date one 2.0, and snapshots "A" and "B" of both.
void TwoBundles(UpdaterTest& inTest) {
    inTest.MakeBundle(inTest.fOutdated, "1.0");
    inTest.MakeBundle(inTest.fUpToDate, "2.0");
    inTest.Snapshot(inTest.fOutdated, "A");
    inTest.Snapshot(inTest.fUpToDate, "B");
}

std::string SnapshotOf(UpdaterTest& inTest, const char* inName) {
    return inTest.fFolder / (std::string("snapshots/") + inName);
}

std::string Opener(UpdaterTest& inTest) {
    return inTest.fUpdater.substr(0, inTest.fUpdater.rfind('/')) + "/zq-open";
}

std::string RestartLine(UpdaterTest& inTest) {
    return "INFO Restarting installed application (\"" + Opener(inTest) + "\" -a \"" + inTest.fOutdated +
           "/\")...";
}

/// The place of the outdated bundle holds exactly the up-to-date tree and the up-to-date bundle is
/// unchanged.
void ExpectInstalled(UpdaterTest& inTest) {
    EXPECT_EQ(CompareTrees(SnapshotOf(inTest, "B"), inTest.fOutdated), "");
    EXPECT_EQ(CompareTrees(SnapshotOf(inTest, "B"), inTest.fUpToDate), "");
}

/// Nothing moved: the outdated bundle is whole at its place and nothing was set aside.
void ExpectUntouched(UpdaterTest& inTest) {
    EXPECT_EQ(CompareTrees(SnapshotOf(inTest, "A"), inTest.fOutdated), "");
    EXPECT_EQ(ListNamesWithPrefix(inTest.fFolder / "Applications", ""),
              std::vector<std::string>{"Sample.app"});
    EXPECT_TRUE(inTest.Trash().empty());
}

const std::string kUpToDateMissing = "The up-to-date application was not found at \"";
const std::string kOutdatedMissing = "The application to update was not found at \"";
const std::string kInstallFailed = "The up-to-date application could not be installed.";

const Scenario kScenarios[] = {
    {"the update succeeds", TwoBundles, Bundles, 0,
     [](UpdaterTest& t) -> std::vector<std::string> {
         return {"INFO Updater starting - ",
                 "INFO Waiting for external process to quit",
                 "INFO Skipping process wait (negative pid)",
                 "INFO Proceeding with up-to-date application install...",
                 "INFO Proceeding with up-to-date application restart...",
                 RestartLine(t),
                 "INFO Updated application restarted, returned 0",
                 "INFO Up-to-date application restarted",
                 "INFO Update successful - "};
     },
     [](UpdaterTest& t, const UpdaterRun& run) {
         ExpectInstalled(t);
         EXPECT_EQ(t.Trash(), std::vector<std::string>{"Sample_old0001.app"});
         EXPECT_EQ(CompareTrees(SnapshotOf(t, "A"), t.TrashFolder() + "/Sample_old0001.app"), "");
         EXPECT_EQ(t.AppOutputWith("2.0"), "2.0 \n");
         EXPECT_EQ(run.fOut + run.fErr, "");
     }},
    {"both bundles missing", nullptr, Bundles, 2,
     [](UpdaterTest& t) -> std::vector<std::string> {
         return {"INFO Updater starting - ",
                 "ERROR " + kUpToDateMissing + UpdaterTest::NativeFolderText(t.fUpToDate) + "\".",
                 "ERROR " + kOutdatedMissing + UpdaterTest::NativeFolderText(t.fOutdated) + "\".",
                 "INFO Update failed - "};
     },
     [](UpdaterTest& t, const UpdaterRun& run) {
         // The alert, on standard error without a graphical session: the last error and the log file.
         std::string message = kUpToDateMissing + UpdaterTest::NativeFolderText(t.fUpToDate) + "\".\r\n" +
                               "More information is available in the log file '" + t.fLogs + "/";
         EXPECT_EQ(run.fErr.rfind(message, 0), 0u) << run.fErr;
         EXPECT_EQ(run.fErr.substr(run.fErr.size() - 12), "_log_1.txt'\n");
         EXPECT_EQ(run.fOut, "");
     }},
    {"silent: no alert", nullptr, [](UpdaterTest& t) { return "--silent " + Bundles(t); }, 2,
     [](UpdaterTest&) -> std::vector<std::string> { return {"INFO Update failed - "}; },
     [](UpdaterTest&, const UpdaterRun& run) { EXPECT_EQ(run.fErr, ""); }},
    {"the first set-aside name is taken",
     [](UpdaterTest& t) {
         TwoBundles(t);
         t.fFolder.WriteFile("Applications/Sample_old0001.app/marker", "kept");
     },
     Bundles, 0, [](UpdaterTest&) -> std::vector<std::string> { return {"INFO Update successful - "}; },
     [](UpdaterTest& t, const UpdaterRun&) {
         ExpectInstalled(t);
         EXPECT_EQ(t.Trash(), std::vector<std::string>{"Sample_old0002.app"});
         EXPECT_EQ(ReadFile(t.fFolder / "Applications/Sample_old0001.app/marker"), "kept");
     }},
    {"a bundle name without extension",
     [](UpdaterTest& t) {
         t.MakeBundle(t.fFolder / "Applications/Sample", "1.0");
         t.MakeBundle(t.fFolder / "Downloads/Sample", "2.0");
     },
     [](UpdaterTest& t) {
         return Quoted(t.fFolder / "Applications/Sample") + " " + Quoted(t.fFolder / "Downloads/Sample");
     },
     0, [](UpdaterTest&) -> std::vector<std::string> { return {}; },
     [](UpdaterTest& t, const UpdaterRun&) {
         EXPECT_EQ(t.Trash(), std::vector<std::string>{"Sample_old0001"});
         EXPECT_EQ(ReadFile(t.fFolder / "Applications/Sample/Contents/Resources/version.txt"), "2.0");
     }},
    {"the up-to-date bundle inside the outdated one",
     [](UpdaterTest& t) {
         t.MakeBundle(t.fOutdated, "1.0");
         t.MakeBundle(t.fOutdated + "/Contents/Update.app", "2.0");
         t.Snapshot(t.fOutdated, "A");
     },
     [](UpdaterTest& t) {
         return "--log-dir " + Quoted(t.fLogs) + " " + Quoted(t.fOutdated) + " " +
                Quoted(t.fOutdated + "/Contents/Update.app");
     },
     2,
     [](UpdaterTest& t) -> std::vector<std::string> {
         return {"ERROR Up-to-date application install failed", "ERROR " + kInstallFailed,
                 "ERROR The up-to-date application is the application to update, or lies inside it: \"" +
                     UpdaterTest::NativeFolderText(t.fOutdated) + "\".",
                 "INFO Update failed - "};
     },
     [](UpdaterTest& t, const UpdaterRun&) { ExpectUntouched(t); }},
    {"the restart fails: the new bundle stays, the old one stays set aside",
     [](UpdaterTest& t) {
         TwoBundles(t);
         // A copy of the updater's bundle without its opener.
         RunShell("cp -a '" + UpdaterBundle() + "' '" + (t.fFolder / "Updater.app") + "'");
         RunShell("rm '" + (t.fFolder / "Updater.app/Contents/MacOS/zq-open") + "'");
         t.fUpdater = t.fFolder / "Updater.app/Contents/MacOS/updater";
     },
     Bundles, 2,
     [](UpdaterTest& t) -> std::vector<std::string> {
         return {RestartLine(t),
                 "ERROR Failed to restart updated application (returned error 2 - exit status 0)",
                 "ERROR Up-to-date application restart failed",
                 "ERROR The updated application could not be restarted.", "INFO Update failed - "};
     },
     [](UpdaterTest& t, const UpdaterRun&) {
         ExpectInstalled(t);
         EXPECT_EQ(CompareTrees(SnapshotOf(t, "A"), t.fFolder / "Applications/Sample_old0001.app"), "");
         EXPECT_TRUE(t.Trash().empty());
     }},
    {"the log folder cannot be created: the alert shows even when silent",
     [](UpdaterTest& t) {
         TwoBundles(t);
         t.fFolder.WriteFile("file", "");
     },
     [](UpdaterTest& t) {
         return "--silent --log-dir " + Quoted(t.fFolder / "file/Logs") + " " + Quoted(t.fOutdated) + " " +
                Quoted(t.fUpToDate);
     },
     2, [](UpdaterTest&) -> std::vector<std::string> { return {}; },
     [](UpdaterTest& t, const UpdaterRun& run) {
         EXPECT_EQ(run.fErr, "The folder \"" + UpdaterTest::NativeFolderText(t.fFolder / "file") +
                                 "\" could not be created.\n");
         ExpectUntouched(t);
     }},
    {"the copy fails for want of space: rolled back to the exact old bundle",
     [](UpdaterTest& t) {
         if (!t.MountSmallFileSystem(t.fFolder / "Applications", 8))
             GTEST_SKIP() << "cannot mount a tmpfs here";
         TwoBundles(t);
         t.fFolder.WriteFile("Downloads/Sample.app/Contents/Resources/large", std::string(10 << 20, 'x'));
     },
     Bundles, 2,
     [](UpdaterTest& t) -> std::vector<std::string> {
         return {"INFO Rolling back up-to-date application install",
                 "ERROR Up-to-date application install failed", "ERROR " + kInstallFailed,
                 "ERROR The up-to-date application \"" + UpdaterTest::NativeFolderText(t.fUpToDate) +
                     "\" could not be copied to \"" + UpdaterTest::NativeFolderText(t.fOutdated) + "\".",
                 "INFO Update failed - "};
     },
     [](UpdaterTest& t, const UpdaterRun&) { ExpectUntouched(t); }},
};

void PrintTo(const Scenario& inScenario, std::ostream* outStream) {
    *outStream << inScenario.fLabel;
}

class UpdaterScenarioTest : public UpdaterTest, public ::testing::WithParamInterface<Scenario> {};

TEST_P(UpdaterScenarioTest, Run) {
    const Scenario& scenario = GetParam();
    if (scenario.fSetUp)
        scenario.fSetUp(*this);
    if (IsSkipped())
        return;
    UpdaterRun run = Run(scenario.fArguments(*this));
    EXPECT_EQ(run.fStatus, scenario.fStatus) << run.fErr;
    EXPECT_TRUE(HoldsInOrder(run.fLog, scenario.fLog(*this)));
    scenario.fCheck(*this, run);
}

INSTANTIATE_TEST_SUITE_P(Updates, UpdaterScenarioTest, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<Scenario>& inInfo) {
                             std::string name;
                             for (const char* c = inInfo.param.fLabel; *c != 0 && *c != ':'; ++c)
                                 if (std::isalnum(static_cast<unsigned char>(*c)))
                                     name += (name.empty() || c[-1] == ' ')
                                                 ? static_cast<char>(std::toupper(*c))
                                                 : *c;
                             return name;
                         });

} // namespace

namespace {

TEST_F(UpdaterTest, CallerLogIsOneLineThenTheEndOfOutputBeforeTheWait) {
    TwoBundles(*this);
    // The caller: a process that lives until the test ends it, after it saw the updater's output end
    // while the updater still waited for it.
    std::string script = fFolder.WriteFile("caller.sh", R"(
        sleep 60 & caller=$!
        mkfifo "$1/progress"
        "$2" --caller-log 1 --pid $caller --log-dir "$3" "$4" "$5" > "$1/progress" 2> "$1/err.txt" & updater=$!
        cat "$1/progress" > "$1/out.txt"
        kill -0 $updater && echo waiting > "$1/alive.txt"
        kill $caller; wait $caller 2> /dev/null
        wait $updater; echo $? > "$1/status.txt"
        echo $caller > "$1/caller.txt"
    )");
    std::string home = fFolder / "home";
    RunShell("HOME='" + home + "' XDG_DATA_HOME='" + home + "/.local/share' sh '" + script + "' '" +
             fFolder.Path() + "' '" + fUpdater + "' '" + fLogs + "' '" + fOutdated + "' '" + fUpToDate + "'");
    EXPECT_EQ(ReadFile(fFolder / "out.txt"), "waitquit,-1\n");
    EXPECT_EQ(ReadFile(fFolder / "alive.txt"), "waiting\n");
    EXPECT_EQ(ReadFile(fFolder / "status.txt"), "0\n") << ReadFile(fFolder / "err.txt");
    std::string caller = ReadFile(fFolder / "caller.txt");
    caller.pop_back();
    UpdaterRun run = Run("--version"); // reads the log of the run above
    EXPECT_TRUE(HoldsInOrder(run.fLog, {"INFO Waiting for process " + caller + " to quit",
                                        "INFO Process " + caller + " has quit. Proceeding.",
                                        "INFO Update successful - "}));
}

TEST_F(UpdaterTest, AlertIsInTheUsersLanguageAndItsYesOpensTheLog) {
    // A stand-in dialog answers with the status in answer.txt; a stand-in opener records its file.
    WriteProgram("zenity", "printf '%s\\n' \"$@\" > '" + (fFolder / "zenity.txt") + "'; exit $(cat '" +
                               (fFolder / "answer.txt") + "')");
    WriteProgram("xdg-open", "echo \"$1\" > '" + (fFolder / "opened.txt") + "'");
    struct Case {
        const char* fLabel;
        const char* fEnvironment;
        const char* fAnswer;
        std::string fMessageStart;
        bool fOpensLog;
    };
    const std::string upToDate = UpdaterTest::NativeFolderText(fUpToDate);
    const Case cases[] = {
        {"no graphical session: standard error, in French", "LANG=fr_FR.UTF-8", "0",
         "L'application à jour est introuvable à l'emplacement « " + upToDate +
             " ».\r\nPlus d'informations sont disponibles dans le fichier journal « ",
         false},
        {"the dialog answered No", "DISPLAY=:99 LANG=C", "1", "", false},
        {"the dialog answered Yes", "DISPLAY=:99 LANGUAGE=en", "0", "", true},
        {"the dialog closed", "DISPLAY=:99", "8", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fLabel);
        RunShell("rm -rf '" + fLogs + "' '" + (fFolder / "zenity.txt") + "' '" + (fFolder / "opened.txt") +
                 "'");
        fFolder.WriteFile("answer.txt", c.fAnswer);
        UpdaterRun run = Run(Bundles(*this), c.fEnvironment);
        EXPECT_EQ(run.fStatus, 2);
        if (!c.fMessageStart.empty()) {
            EXPECT_EQ(run.fErr.rfind(c.fMessageStart, 0), 0u) << run.fErr;
            continue;
        }
        EXPECT_EQ(run.fErr, "");
        std::string log = fLogs + "/" + ListNamesWithPrefix(fLogs, "")[0];
        EXPECT_EQ(ReadFile(fFolder / "zenity.txt"),
                  "--question\n--text=" + kUpToDateMissing + upToDate +
                      "\".\r\nMore information is available in the log file '" + log +
                      "'\n--no-markup\n--ok-label=Yes\n--cancel-label=No\n--default-cancel\n");
        // The opener is not waited for.
        for (int attempt = 0; c.fOpensLog && attempt < 100 && ReadFile(fFolder / "opened.txt").empty();
             ++attempt)
            RunShell("sleep 0.1");
        EXPECT_EQ(ReadFile(fFolder / "opened.txt"), c.fOpensLog ? log + "\n" : "");
    }
}

} // namespace

namespace {

TEST_F(UpdaterTest, ClientCustomizationWritesTheLinkFileBeforeAnythingMoves) {
    struct Case {
        const char* fLabel;
        const char* fClientInfo;
        int fStatus;
        const char* fLinkFile; // null: none written
    };
    const char* const kHeader =
        R"(<?xml version="1.0" encoding="UTF-8"?><database_shortcut is_remote="true" )";
    const Case cases[] = {
        {"address, port and name",
         R"({"ServerPlatform":"mac","BuildIPAdress":"10.0.0.5","BuildIPPort":"19813",
          "PublishName":"Sales & <Co>","Other":1})",
         0,
         R"(server_database_name="Sales &amp; &lt;Co&gt;" server_path="10.0.0.5:19813" cache_folder_name="" )"},
        {"no port", R"({"ServerPlatform":"mac","BuildIPAdress":"10.0.0.5","BuildCacheFolderNameClient":"c"})",
         0, R"(server_database_name="" server_path="10.0.0.5" cache_folder_name="c" )"},
        {"a numeric port is left out", R"({"ServerPlatform":"mac","BuildIPAdress":"h","BuildIPPort":19813})",
         0, R"(server_database_name="" server_path="h" cache_folder_name="" )"},
        {"no address: no link file", R"({"ServerPlatform":"linux"})", 0, nullptr},
        {"no platform", R"({"BuildIPAdress":"10.0.0.5"})", 2, nullptr},
        {"a platform that is not a string", R"({"ServerPlatform":1,"BuildIPAdress":"10.0.0.5"})", 2, nullptr},
        {"not an object", R"(["ServerPlatform"])", 2, nullptr},
        {"not JSON", R"({"ServerPlatform":)", 2, nullptr},
    };
    int row = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fLabel);
        std::string folder = "row" + std::to_string(++row);
        std::string outdated = fFolder / (folder + "/A.app");
        std::string upToDate = fFolder / (folder + "/B.app");
        MakeBundle(outdated, "1.0");
        MakeBundle(upToDate, "2.0");
        RunShell("chmod 644 '" + upToDate + "/Contents/MacOS/sample'");
        std::string before = Snapshot(outdated, folder);
        std::string info = fFolder.WriteFile(folder + "/info.json", c.fClientInfo);
        RunShell("rm -rf " + Quoted(fLogs));
        UpdaterRun run = Run("--silent --log-dir " + Quoted(fLogs) + " --client-info " + Quoted(info) + " " +
                             Quoted(outdated) + " " + Quoted(upToDate));
        EXPECT_EQ(run.fStatus, c.fStatus);
        EXPECT_EQ(
            HoldsInOrder(run.fLog, {"ERROR The client customization file is not a JSON object holding a "
                                    "\"ServerPlatform\" text.",
                                    "INFO Update failed - "}),
            c.fStatus != 0);
        std::string linkFile = "/Contents/Database/EnginedServer.ZQlink";
        if (c.fStatus != 0) {
            // Refused before the wait: nothing moved, nothing written into either bundle.
            EXPECT_EQ(CompareTrees(before, outdated), "");
            EXPECT_FALSE(ItemExists(upToDate + linkFile));
            continue;
        }
        std::string expected = c.fLinkFile == nullptr ? ""
                                                      : kHeader + std::string(c.fLinkFile) +
                                                            R"(remote_shared_resources="false"/>)";
        EXPECT_EQ(ReadFile(upToDate + linkFile), expected);
        EXPECT_EQ(ReadFile(outdated + linkFile), expected);
        EXPECT_EQ(ModeOf(outdated + "/Contents/MacOS/sample"), 0755);
    }
}

} // namespace
