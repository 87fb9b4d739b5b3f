// Whole-program tests of the update: the built updater on real bundles, checked by its exit status, its
// streams, its log, the disk and the trash afterwards.
#include "engine/UpdaterTestSupport.h"
#include "kernel/signing/SigningTestSupport.h"

#include "support/VTestTrees.h"

#include <algorithm>

#include <ostream>
#include <regex>

using namespace vkit::testing;

namespace {

/// One update: the disk before (shell, placeholders of UpdaterTest::Expand), the arguments, and what
/// must hold after. The outdated bundle's place holds the old bundle ("old", as it was after the set-up),
/// the new one ("new") or nothing (""); the set-aside bundle is kept in Applications or trashed.
struct Scenario {
    const char* fLabel;
    const char* fSetUp;
    const char* fArguments;
    int fStatus;
    const char* fLog; // lines, each the start of a log line, in order
    const char* fErr; // the start of standard error
    const char* fPlace;
    const char* fKept;              // the set-aside name left next to the outdated bundle, or ""
    const char* fTrashed;           // the set-aside name in the trash, or ""
    const char* fUpdater = "";      // another updater than the built one
    const char* fStarted = nullptr; // what the applications started recorded; null: "2.0 \n" on success
};

void PrintTo(const Scenario& inScenario, std::ostream* outStream) {
    *outStream << inScenario.fLabel;
}

const char* const kBoth = "cp -a {F}/templates/1.0 {A} && cp -a {F}/templates/2.0 {B}";
const char* const kRun = "--log-dir {L} {A} {B}";
const char* const kRefused = "--caller-log 1 --log-dir {L} {A} {B}";
const char* const kWatched = "--verify-launch 2 --log-dir {L} {A} {B}";
/// The set-up of a watched update whose new version, once it recorded its start, runs the shell line x.
#define NEW_DOES(x)                                                                                          \
    "echo '" x "' >> {F}/templates/2.0/Contents/MacOS/sample && cp -a {F}/templates/1.0 {A} && cp -a "       \
    "{F}/templates/2.0 {B}"
#define WATCHED "INFO Launching application, watched for 2 s (\"{open}\" --watch 2 -a \"{A}/\")...\n"
/// The log of a new version that failed at its start, and the alert's end: the previous one back, the
/// failed one kept, the previous one restarted.
#define PUT_BACK                                                                                             \
    "ERROR Up-to-date application failed to start\nINFO Outdated application back at {A}/\nINFO Up-to-date " \
    "application that failed to start kept at {F}/Applications/Sample_failed0001.app/\nINFO Proceeding "     \
    "with outdated application restart...\n" WATCHED
#define FAILED "ZQ Updater: The update failed.\nThe new version of the application "
#define PLACES                                                                                               \
    " the previous version was put back at \"{A}/\" and restarted, and the new version was kept at "         \
    "\"{F}/Applications/Sample_failed0001.app/\".\r\n"

/// The set-up of an update by a copy of the updater's bundle without its opener.
const char* const kNoOpener = "cp -a {F}/templates/1.0 {A} && cp -a {F}/templates/2.0 {B} && cp -a {bundle} "
                              "{F}/Updater.app && rm {F}/Updater.app/Contents/MacOS/zq-open";
/// The log of an update that succeeded, its restart not watched.
const char* const kSucceeded =
    "INFO Updater starting - \nINFO Install place {A}/ checked: \n"
    "INFO Staging the up-to-date application at {F}/Applications/.Sample.app.zq-\n"
    "INFO Up-to-date application copied to {F}/Applications/.Sample.app.zq-\n"
    "INFO Waiting for external process to quit\n"
    "INFO Skipping process wait (negative pid)\nINFO Proceeding with up-to-date application install...\n"
    "INFO Up-to-date application installed at {A}/\n"
    "INFO Outdated application set aside as {F}/Applications/Sample_old0001.app/\n"
    "INFO Proceeding with up-to-date application restart...\n"
    "INFO Restarting installed application (\"{open}\" -a \"{A}/\")...\n"
    "INFO Updated application restarted, returned 0\nINFO Up-to-date application restarted\n"
    "INFO Update successful - ";

const Scenario kScenarios[] = {
    {"the update succeeds", kBoth, kRun, 0, kSucceeded, "", "new", "", "Sample_old0001.app"},
    {"a watch of 0 s: as without it", kBoth, "--verify-launch 0 --log-dir {L} {A} {B}", 0, kSucceeded, "",
     "new", "", "Sample_old0001.app"},
    {"both bundles missing, the later error logged first", "", kRun, 2,
     "INFO Updater starting - \nERROR The up-to-date application was not found at \"{B}/\".\n"
     "ERROR The application to update was not found at \"{A}/\".\nINFO Update failed - ",
     "ZQ Updater: The update failed.\nThe up-to-date application was not found at \"{B}/\".\r\n"
     "More information is available in the log file '{log}'\n",
     "", "", ""},
    {"silent", "", "--silent --log-dir {L} {A} {B}", 2, "INFO Update failed - ", "", "", "", ""},
    {"the first set-aside name is taken",
     "mkdir {F}/Applications/Sample_old0001.app && cp -a {F}/templates/1.0 {A} && cp -a {F}/templates/2.0 "
     "{B}",
     kRun, 0, "INFO Outdated application set aside as {F}/Applications/Sample_old0002.app/", "", "new",
     "Sample_old0001.app", "Sample_old0002.app"},
    {"a bundle name without extension",
     "cp -a {F}/templates/1.0 {F}/Applications/Sample && cp -a {F}/templates/2.0 {F}/Downloads/Sample",
     "{F}/Applications/Sample {F}/Downloads/Sample", 0, "", "", "", "", "Sample_old0001"},
    {"the up-to-date bundle inside the outdated one",
     "cp -a {F}/templates/1.0 {A} && cp -a {F}/templates/2.0 {A}/Contents/Update.app",
     "--log-dir {L} {A} {A}/Contents/Update.app", 2,
     "ERROR Up-to-date application install failed\nERROR The up-to-date application could not be installed.\n"
     "ERROR The up-to-date application is the application to update, or lies inside it: \"{A}/\".",
     "ZQ Updater: The update failed.\nThe up-to-date application could not be installed.", "old", "", ""},
    {"the restart fails: the new bundle stays, the old one stays set aside", kNoOpener, kRun, 2,
     "ERROR Failed to restart updated application (returned error 2 - exit status 0)\n"
     "ERROR Up-to-date application restart failed\nERROR The updated application could not be restarted.",
     "ZQ Updater: The update failed.\nThe updated application could not be restarted.", "new",
     "Sample_old0001.app", "", "{F}/Updater.app/Contents/MacOS/updater"},
    {"the log folder cannot be created: the alert shows even when silent",
     "touch {F}/file && cp -a {F}/templates/1.0 {A} && cp -a {F}/templates/2.0 {B}",
     "--silent --log-dir {F}/file/Logs {A} {B}", 2, "",
     "ZQ Updater: The update failed.\nThe folder \"{F}/file/\" could not be created.\n", "old", "", ""},
    // Refused before anything changes, and before the caller is told to quit (no progress line).
    {"no space for the up-to-date bundle",
     "mount -t tmpfs -o size=8m tmpfs {F}/Applications 2> /dev/null || exit 77; cp -a {F}/templates/1.0 {A} "
     "&& cp -a {F}/templates/2.0 {B} && head -c 10000000 /dev/zero > {B}/Contents/large",
     kRefused, 2,
     "INFO Install place {A}/ checked: \nERROR There is not enough free space beside the application "
     "\"{A}/\" "
     "for the up-to-date one: ",
     "ZQ Updater: The update failed.\nThere is not enough free space beside the application \"{A}/\" for the "
     "up-to-date one: ",
     "old", "", ""},
    {"the folder of the application mounted read-only",
     "cp -a {F}/templates/1.0 {A} && cp -a {F}/templates/2.0 {B} && (mount --bind {F}/Applications "
     "{F}/Applications && mount -o remount,bind,ro {F}/Applications) 2> /dev/null || exit 77",
     kRefused, 2, "ERROR The application \"{A}/\" cannot be updated: its file system is mounted read-only.",
     "ZQ Updater: The update failed.\nThe application \"{A}/\" cannot be updated: its file system is mounted "
     "read-only.",
     "old", "", ""},
    {"the application on a read-only file system",
     "mount -t tmpfs -o size=64m tmpfs {F}/Applications 2> /dev/null || exit 77; cp -a {F}/templates/1.0 {A} "
     "&& cp -a {F}/templates/2.0 {B} && mount -o remount,ro {F}/Applications",
     kRefused, 2, "ERROR The application \"{A}/\" cannot be updated: its file system is mounted read-only.",
     "", "old", "", ""},
    {"the folder of the application immutable",
     "cp -a {F}/templates/1.0 {A} && cp -a {F}/templates/2.0 {B} && (chattr +i {F}/Applications 2> /dev/null "
     "|| exit 77)",
     kRefused, 2,
     "ERROR The application \"{A}/\" cannot be updated: it or its folder \"{F}/Applications/\" is locked",
     "ZQ Updater: The update failed.\nThe application \"{A}/\" cannot be updated: it or its folder", "old",
     "", ""},
    {"recovery alone, with nothing to recover", kBoth, "--recover --log-dir {L}", 0,
     "INFO Updater starting - \nINFO Recovery successful - ", "", "old", "", ""},
    // The restart watched: the outdated bundle goes to the trash only after the watch.
    {"watched: the new version runs", NEW_DOES("exec sleep 30"), kWatched, 0,
     WATCHED "INFO Application started (pid \nINFO Up-to-date application restarted\n"
             "INFO Outdated application {F}/Applications/Sample_old0001.app/ moved to the trash",
     "", "new", "", "Sample_old0001.app"},
    {"watched: the new version exits 0 at once", kBoth, kWatched, 0,
     WATCHED "INFO Application started (pid \nINFO Up-to-date application restarted\nINFO Outdated", "",
     "new", "", "Sample_old0001.app"},
    {"watched: the new version exits 3 at once", NEW_DOES("exit 3"), kWatched, 2,
     PUT_BACK "INFO Application started (pid \nINFO Update failed",
     FAILED "quit within 2 s of its start, with the exit status 3:" PLACES, "old", "Sample_failed0001.app",
     "", "", "2.0 \n1.0 \n"},
    {"watched: the new version ends by SIGSEGV after half the time", NEW_DOES("sleep 1; kill -SEGV $$"),
     kWatched, 2, PUT_BACK, FAILED "was ended by the signal SIGSEGV (11) within 2 s of its start:" PLACES,
     "old", "Sample_failed0001.app", "", "", "2.0 \n1.0 \n"},
    {"watched: the opener cannot be run: both bundles stay", kNoOpener, kWatched, 2,
     "ERROR Application launch not checked: the opener could not be run",
     "ZQ Updater: The update failed.\nThe start of the new version of the application at \"{A}/\" could not "
     "be checked (the opener could not be run",
     "new", "Sample_old0001.app", "", "{F}/Updater.app/Contents/MacOS/updater"},
    {"watched: the previous version fails too",
     NEW_DOES("exit 3") " && echo 'exit 4' >> {A}/Contents/MacOS/sample", kWatched, 2,
     PUT_BACK "INFO Application started (pid \nERROR The new version of the application quit",
     "ZQ Updater: The update failed.\nThe previous version of the application, put back at \"{A}/\", quit "
     "too "
     "within 2 s of its start, with the exit status 4; the new version that did not start was kept at "
     "\"{F}/Applications/Sample_failed0001.app/\".\r\n",
     "old", "Sample_failed0001.app", "", "", "2.0 \n1.0 \n"},
};

class UpdaterScenarioTest : public UpdaterTest, public ::testing::WithParamInterface<Scenario> {};

TEST_P(UpdaterScenarioTest, Run) {
    const Scenario& s = GetParam();
    (void)EndAdopted(true); // what earlier tests left
    int setUp = Shell(s.fSetUp);
    if (setUp == 77)
        GTEST_SKIP() << "this system does not let the test mount a tmpfs";
    ASSERT_EQ(setUp, 0);
    if (*s.fUpdater != 0)
        fUpdater = Expand(s.fUpdater);
    Shell("cp -a {A} {F}/before 2> /dev/null");
    UpdaterRun run = Run(Expand(s.fArguments));
    EXPECT_EQ(run.fStatus, s.fStatus) << run.fErr;
    EXPECT_TRUE(HoldsInOrder(run.fLog, Expand(s.fLog)));
    EXPECT_EQ(run.fErr.substr(0, Expand(s.fErr).size()), Expand(s.fErr));
    EXPECT_EQ(run.fOut, "");
    // Each line: sequence number, local time with milliseconds, source and component, level, message
    // and its extra fields.
    EXPECT_TRUE(
        run.fRawLog.empty() ||
        std::regex_search(run.fRawLog, std::regex("^1 [0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}"
                                                  "\\.[0-9]{3} \\[ZQ Updater\\.ZQUP\\] INFO - Updater "
                                                  "starting - .+ \\(\\)\n2 ")))
        << run.fRawLog;
    const std::string place = s.fPlace;
    const std::string trash = "home/.local/share/Trash/files";
    std::string expected = place == "new" ? "templates/2.0" : "before";
    EXPECT_EQ(place.empty() ? "" : CompareTrees(fFolder / expected, fOutdated), "");
    EXPECT_EQ(place == "new" ? CompareTrees(fFolder / "templates/2.0", fUpToDate) : "", "");
    // The set-aside bundle is the old one, whole, wherever it went.
    std::vector<std::string> applications{"Sample.app", s.fKept};
    std::erase(applications, "");
    EXPECT_EQ(place.empty() ? applications : Names("Applications"), applications);
    std::vector<std::string> trashed{s.fTrashed};
    std::erase(trashed, "");
    EXPECT_EQ(Names(trash), trashed);
    EXPECT_EQ(trashed.empty() || place.empty()
                  ? ""
                  : CompareTrees(fFolder / "before", fFolder / (trash + "/" + trashed[0])),
              "");
    // A version that failed at its start is kept whole. The application restarts exactly when the update
    // succeeded, unless a watch says otherwise; no journal is left, nor, after a watch, any opener or
    // unreaped process.
    if (std::string(s.fKept).find("_failed") != std::string::npos) {
        EXPECT_EQ(CompareTrees(fUpToDate, fFolder / ("Applications/" + std::string(s.fKept))), "");
    }
    const bool restarted = s.fStatus == 0 && place != "old";
    const std::string started = s.fStarted != nullptr ? s.fStarted : restarted ? "2.0 \n" : "";
    EXPECT_EQ(AppOutputWith(started), started);
    EXPECT_EQ(Names("home/.local/state/zq-updater"), std::vector<std::string>{});
    EXPECT_EQ(EndAdopted(std::string(s.fArguments) != kWatched), "");
}

INSTANTIATE_TEST_SUITE_P(Updates, UpdaterScenarioTest, ::testing::ValuesIn(kScenarios));

} // namespace

namespace {

TEST_F(UpdaterTest, CallerLogIsOneLineThenTheEndOfOutputBeforeTheWait) {
    // The caller lives until the test ends it, after it saw the updater's output end while the updater
    // still waited for it.
    Shell(std::string(kBoth) +
          " && cd {F} && (sleep 60 & caller=$!; mkfifo progress; HOME={F}/home "
          "XDG_DATA_HOME={F}/home/.local/share XDG_STATE_HOME={F}/home/.local/state "
          "{bundle}/Contents/MacOS/updater --caller-log 1 "
          "--pid $caller --log-dir {L} {A} {B} > progress 2> err.txt & updater=$!; "
          "cat progress > out.txt; kill -0 $updater && echo waiting > alive.txt; kill $caller; "
          "wait $caller 2> /dev/null; wait $updater; echo $? > status.txt; echo $caller > caller.txt)");
    EXPECT_EQ(ReadFile(fFolder / "out.txt") + ReadFile(fFolder / "alive.txt") +
                  ReadFile(fFolder / "status.txt"),
              "waitquit,-1\nwaiting\n0\n");
    std::string caller = ReadFile(fFolder / "caller.txt");
    caller = caller.substr(0, caller.find('\n'));
    EXPECT_TRUE(HoldsInOrder(Run("--version").fLog, "INFO Waiting for process " + caller +
                                                        " to quit\nINFO Process " + caller +
                                                        " has quit. Proceeding.\nINFO Update successful"));
}

TEST_F(UpdaterTest, AlertIsInTheUsersLanguageAndItsYesOpensTheLog) {
    // A stand-in dialog records its arguments and locale, complains on standard error and answers with
    // the status in answer.txt; a stand-in opener records its file.
    Shell(R"(printf '#!/bin/sh\nprintf "%%s\\n" "$@" "LC_ALL=$LC_ALL" > {F}/dialog.txt; echo "no theme" >&2
exit $(cat {F}/answer.txt)\n' > {F}/bin/zenity;
             printf '#!/bin/sh\necho "$1" > {F}/opened.txt\n' > {F}/bin/xdg-open; chmod +x {F}/bin/*)");
    struct Case {
        const char* fLabel;
        const char* fEnvironment;
        const char* fAnswer;
        const char* fErr;
        const char* fDialog;
        const char* fOpened;
        const char* fLog = ""; // a log line's start after "Update failed"
    };
    const std::string english =
        "--question\n--title=ZQ Updater\n--text=The update failed.\n\nThe up-to-date "
        "application was not found at \"{B}/\".\nMore information is available in "
        "the log file '{log}'\n--no-markup\n--ok-label=Open Log\n--cancel-label=Close\n"
        "--default-cancel\n--icon-name=dialog-error\nLC_ALL=";
    const std::string inCLocale = english + "C.UTF-8\n";
    const std::string inUTF8Locale = english + "\n";
    const std::string french =
        "--question\n--title=ZQ Updater\n--text=La mise à jour a échoué.\n\nL'application à jour est "
        "introuvable à l'emplacement « {B}/ ».\nPlus d'informations sont disponibles dans le fichier journal "
        "« {log} »\n--no-markup\n--ok-label=Ouvrir le journal\n--cancel-label=Fermer\n--default-cancel\n"
        "--icon-name=dialog-error\nLC_ALL=C.UTF-8\n";
    const char* const kFallback =
        "ZQ Updater: The update failed.\nThe up-to-date application was not found at "
        "\"{B}/\".\r\nMore information is available in the log file '{log}'\n";
    const Case cases[] = {
        {"no graphical session: standard error, in French", "LANG=fr_FR.UTF-8", "0",
         "ZQ Updater: La mise à jour a échoué.\nL'application à jour est introuvable à l'emplacement « {B}/ "
         "».\r\nPlus d'informations sont disponibles dans le fichier journal « {log} »\n",
         "", ""},
        {"the dialog answered No", "DISPLAY=:99 LANG=C", "6", "", inCLocale.c_str(), ""},
        {"the dialog answered Yes", "DISPLAY=:99 LANGUAGE=en LANG=C.UTF-8", "0", "", inUTF8Locale.c_str(),
         "{log}\n"},
        {"the dialog closed, in French in the C locale", "DISPLAY=:99 LANGUAGE=fr LANG=", "8", "",
         french.c_str(), ""},
        {"the dialog failed: told in the log, the text on standard error", "DISPLAY=:99 LANG=C", "1",
         kFallback, inCLocale.c_str(), "",
         "ERROR The failure alert could not be shown: zenity exited with status 1: no theme"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fLabel);
        Shell("rm -rf {L} {F}/dialog.txt {F}/opened.txt; echo " + std::string(c.fAnswer) +
              " > {F}/answer.txt");
        UpdaterRun run = Run(kRun, std::string("LC_ALL= LC_CTYPE= ") + c.fEnvironment);
        EXPECT_EQ(run.fStatus, 2);
        EXPECT_EQ(run.fErr, Expand(c.fErr));
        EXPECT_EQ(ReadFile(fFolder / "dialog.txt"), Expand(c.fDialog));
        EXPECT_TRUE(HoldsInOrder(run.fLog, "INFO Update failed\n" + std::string(c.fLog)));
        // The opener is not waited for.
        Shell(*c.fOpened != 0 ? "for i in $(seq 100); do [ -s {F}/opened.txt ] && break; sleep 0.1; done"
                              : "");
        EXPECT_EQ(ReadFile(fFolder / "opened.txt"), Expand(c.fOpened));
    }
}

TEST_F(UpdaterTest, ClientCustomizationWritesTheLinkFileBeforeAnythingMoves) {
    struct Case {
        const char* fLabel;
        const char* fClientInfo;
        const char* fLinkFile; // the attributes between is_remote and remote_shared_resources; null: none
        const char* fParserError = ""; // the parser's error, logged after the refusal (last error first)
    };
    const Case cases[] = {
        {"address, port and name",
         R"({"ServerPlatform":"mac","BuildIPAdress":"10.0.0.5","BuildIPPort":"19813",
          "PublishName":"Sales & <Co>","Other":1})",
         R"(server_database_name="Sales &amp; &lt;Co&gt;" server_path="10.0.0.5:19813" cache_folder_name="")"},
        {"no port", R"({"ServerPlatform":"mac","BuildIPAdress":"10.0.0.5","BuildCacheFolderNameClient":"c"})",
         R"(server_database_name="" server_path="10.0.0.5" cache_folder_name="c")"},
        {"a numeric port is left out", R"({"ServerPlatform":"mac","BuildIPAdress":"h","BuildIPPort":19813})",
         R"(server_database_name="" server_path="h" cache_folder_name="")"},
        {"no address: no link file", R"({"ServerPlatform":"linux"})", ""},
        {"no platform", R"({"BuildIPAdress":"10.0.0.5"})", nullptr},
        {"a platform that is not a string", R"({"ServerPlatform":1,"BuildIPAdress":"10.0.0.5"})", nullptr},
        {"not an object", R"(["ServerPlatform"])", nullptr},
        {"not JSON", R"({"ServerPlatform":)", nullptr, "ERROR Malformed JSON text ({F}/info.json, line 1"},
        {"cut off after a member", R"({"ServerPlatform":"mac","BuildIPAdress":"10.0.0.5",)", nullptr,
         "ERROR Malformed JSON text ({F}/info.json, line 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fLabel);
        Shell(std::string("rm -rf {L} {A} {B} {F}/before {F}/Applications/* && ") + kBoth +
              " && chmod 644 {B}/Contents/MacOS/sample && cp -a {A} {F}/before");
        fFolder.WriteFile("info.json", c.fClientInfo);
        UpdaterRun run = Run("--silent --client-info {F}/info.json " + std::string(kRun));
        const std::string linkFile = "/Contents/Database/EnginedServer.ZQlink";
        if (c.fLinkFile == nullptr) {
            // Refused before the wait: nothing moved, nothing written into either bundle.
            EXPECT_EQ(run.fStatus, 2);
            std::string parserError = *c.fParserError != 0 ? std::string(c.fParserError) + "\n" : "";
            EXPECT_TRUE(HoldsInOrder(run.fLog, Expand("ERROR The client customization file is not a JSON "
                                                      "object holding a \"ServerPlatform\" text.\n" +
                                                      parserError + "INFO Update failed")));
            EXPECT_EQ(CompareTrees(fFolder / "before", fOutdated) + ReadFile(fUpToDate + linkFile), "");
            continue;
        }
        std::string expected = *c.fLinkFile == 0
                                   ? ""
                                   : R"(<?xml version="1.0" encoding="UTF-8"?><database_shortcut )"
                                     R"(is_remote="true" )" +
                                         std::string(c.fLinkFile) + R"( remote_shared_resources="false"/>)";
        EXPECT_EQ(run.fStatus, 0);
        EXPECT_EQ(ReadFile(fUpToDate + linkFile) + ReadFile(fOutdated + linkFile), expected + expected);
        EXPECT_EQ(ModeOf(fOutdated + "/Contents/MacOS/sample"), 0755);
    }
}

} // namespace

namespace {

TEST_F(UpdaterTest, RestartPassesTheParametersFileAndTheHeadlessSwitch) {
    struct Case {
        const char* fOptions;
        const char* fCommandLine;           // logged after the opener's path; null: not compared
        const char* fArguments;             // what the restarted application receives
        const char* fBundle = "Sample.app"; // the outdated bundle, in {F}/Applications
    };
    // Every byte of the paths reaches the application, whatever the launcher's splitting makes of quotes,
    // backslashes and bytes outside UTF-8.
    const Case cases[] = {
        {"", " -a \"{A}/\"", ""},
        {"--restart-params={F}/p.ZQlink", " -a \"{A}/\" --args \"{F}/p.ZQlink\"", "{F}/p.ZQlink"},
        {"--restart-params={F}/p.ZQlink --restart-headless",
         " -a \"{A}/\" --args \"{F}/p.ZQlink\" --headless", "{F}/p.ZQlink --headless"},
        {"--restart-params= --restart-headless", " -a \"{A}/\" --args --headless", "--headless"},
        {"", " -a \"{F}/Applications/Ann\\\"s/Sample.app/\"", "", "Ann\"s/Sample.app"},
        {"", " -a \"{F}/Applications/a\\\\b/Sample.app/\"", "", "a\\b/Sample.app"},
        {"", nullptr, "", "-d $HOME 'q' \"w\" \\b \xC3(\xFF/-n $x 'q' \"w\" \\b \xFE.app"},
        {"'--restart-params={F}/-p $HOME '\\''q'\\'' \"w\" \\b \xFF.ZQlink' --restart-headless", nullptr,
         "{F}/-p $HOME 'q' \"w\" \\b \xFF.ZQlink --headless"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fBundle + std::string(" ") + c.fOptions);
        fOutdated = fFolder / ("Applications/" + std::string(c.fBundle));
        const std::string outdated = ShellQuoted(fOutdated);
        Shell("rm -rf {L} {F}/Applications {F}/app-output.txt {B} {F}/home/.local/share/Trash && mkdir -p "
              "\"$(dirname " +
              outdated + ")\" && cp -a {F}/templates/1.0 " + outdated + " && cp -a {F}/templates/2.0 {B}");
        UpdaterRun run = Run(std::string(c.fOptions) + " --log-dir {L} " + outdated + " {B}");
        EXPECT_EQ(run.fStatus, 0);
        if (c.fCommandLine != nullptr) {
            EXPECT_TRUE(HoldsInOrder(run.fLog, Expand("INFO Restarting installed application (\"{open}\"" +
                                                      std::string(c.fCommandLine) + ")...")));
        }
        EXPECT_EQ(AppOutputWith("2.0"), Expand("2.0 " + std::string(c.fArguments) + "\n"));
    }
    // An opener that cannot start the application answers 1: reported with what it said, and the update
    // still succeeded.
    fOutdated = fFolder / "Applications/Sample.app";
    Shell(std::string("rm -rf {L} {A} {B} && ") + kBoth + " && rm {B}/Contents/MacOS/sample");
    UpdaterRun run = Run(kRun);
    EXPECT_EQ(run.fStatus, 0);
    EXPECT_TRUE(HoldsInOrder(run.fLog, "INFO Updated application restarted, returned 1\nINFO zq-open: cannot "
                                       "start\nINFO Update successful"));
}

} // namespace

namespace {

TEST_F(UpdaterTest, SignedUpdatesAreCheckedOnTheStagedCopyBeforeTheCallerIsToldToQuit) {
    SignedBundles bundles;
    fOutdated = bundles.A();
    fUpToDate = bundles.B();
    const std::string rows[] = {"signed and matching", "one byte changed",
                                "a file added",        "the signature of another key",
                                "a lower version",     "a rotation to a new key signed by the installed key"};
    for (const TamperCase& row : kTamperCases) {
        if (std::find(std::begin(rows), std::end(rows), row.fLabel) == std::end(rows))
            continue;
        SCOPED_TRACE(row.fLabel);
        bundles.SetUp(row);
        Shell("rm -rf {L} {F}/before && cp -a {A} {F}/before");
        UpdaterRun run = Run(std::string(row.fAllowDowngrade ? "--allow-downgrade " : "") + kRefused);
        // Refused: the caller never told to quit, the installed bundle as it was, nothing left beside it.
        EXPECT_EQ(run.fStatus, row.fUpzq == 0 ? 0 : 2);
        EXPECT_EQ(run.fOut, row.fUpzq == 0 ? "waitquit,-1\n" : "");
        EXPECT_EQ(CompareTrees(row.fUpzq == 0 ? bundles.B() : fFolder / "before", fOutdated), "");
        EXPECT_NE(
            run.fRawLog.find(row.fUpzq == 0 ? "signature verified" : "[" + std::to_string(row.fUpzq) + "]"),
            std::string::npos)
            << run.fRawLog;
        EXPECT_EQ(ListNamesWithPrefix(bundles.fFolder.Path(), ".A.app"), std::vector<std::string>{});
        EXPECT_EQ(Names("home/.local/state/zq-updater"), std::vector<std::string>{});
    }
    // B altered once staged, while the updater waits for the caller: the checked copy is what is installed.
    bundles.SetUp(kTamperCases[0]);
    Shell("cd {F} && rm -rf {L} && mkfifo staged && (sleep 60 & caller=$!; HOME={F}/home "
          "XDG_DATA_HOME={F}/home/.local/share XDG_STATE_HOME={F}/home/.local/state {updater} --caller-log 1 "
          "--pid $caller --log-dir {L} {A} {B} "
          "> staged 2> err.txt & updater=$!; read line < staged; printf X | dd "
          "of={B}/Contents/Resources/data.bin "
          "bs=1 seek=100 conv=notrunc status=none; kill $caller; wait $updater; echo $? > status.txt)");
    EXPECT_EQ(ReadFile(fFolder / "status.txt"), "0\n");
    EXPECT_EQ(
        Shell(bundles.Expand("{bundle}/Contents/MacOS/zq-sign verify --public-key {K1} {A} > /dev/null")), 0);
    EXPECT_NE(Shell("cmp -s {A}/Contents/Resources/data.bin {B}/Contents/Resources/data.bin"), 0);
}

TEST_F(UpdaterTest, LoadsTheXMLParserAndGIOOnlyInTheRunsThatUseThem) {
    // The dynamic loader lists every library it loads, at start or later, in a file per process; the
    // updater's is the one that hands control to it.
    struct Case {
        const char* fLabel;
        const char* fSetUp;
        const char* fArguments;
        int fStatus;
        bool fXML; // the XML module and Xerces-C: a localized text was asked for
        bool fGIO; // something went to the trash
    };
    const Case cases[] = {
        {"the version", "", "--version", 0, false, false},
        {"a successful update", kBoth, kRun, 0, false, true},
        {"a failed update, its alert in French", "", kRun, 2, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fLabel);
        Shell(std::string("rm -rf {L} {A} {B} {F}/ld {F}/Applications/* && mkdir {F}/ld && ") +
              (*c.fSetUp != 0 ? c.fSetUp : "true"));
        UpdaterRun run = Run(c.fArguments, "LANG=fr_FR.UTF-8 LD_DEBUG=files LD_DEBUG_OUTPUT={F}/ld/ld");
        EXPECT_EQ(run.fStatus, c.fStatus) << run.fErr;
        Shell("cat $(grep -lF 'transferring control: {updater}' {F}/ld/*) > {F}/loaded.txt");
        std::string loaded = ReadFile(fFolder / "loaded.txt");
        ASSERT_NE(loaded.find("file=libc.so"), std::string::npos) << "no loader output";
        const std::pair<const char*, bool> libraries[] = {
            {"libvkitxml.so", c.fXML}, {"libxerces-c", c.fXML}, {"libgio-2.0.so", c.fGIO}};
        for (const auto& [library, expected] : libraries)
            EXPECT_EQ(loaded.find(library) != std::string::npos, expected) << library;
    }
}

} // namespace
