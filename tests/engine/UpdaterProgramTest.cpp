// Whole-program tests of the built updater: its bundle layout and its exit statuses.
#include "runtime/VBundle.h"
#include "support/VTestTempFolder.h"

#include <gtest/gtest.h>

#include <string>

using namespace vkit;
using namespace vkit::testing;

namespace {

const std::string kUpdater = VKIT_UPDATER_PATH;
const std::string kBundle = VKIT_UPDATER_BUNDLE;

/// Runs the updater with arguments; its output goes to a file of the test's folder.
int RunUpdater(const VTestTempFolder& inFolder, const std::string& inArguments) {
    return RunShell("'" + kUpdater + "' " + inArguments + " > '" + (inFolder / "output.txt") + "' 2>&1");
}

std::string PosixText(const VFilePath& inPath) {
    VString text;
    inPath.GetPosixPath(text);
    return text.ToUTF8();
}

} // namespace

TEST(UpdaterProgramTest, ProgramLiesInItsOwnBundle) {
    EXPECT_EQ(kUpdater, kBundle + "/Contents/MacOS/updater");
    VBundle bundle;
    ASSERT_TRUE(bundle.Open(VFilePath(VString((kBundle + "/").c_str()), FilePathStyle::Posix)));
    VString value;
    ASSERT_TRUE(bundle.GetInfoString(VBundle::kNameKey, value));
    EXPECT_EQ(value, "ZQ Updater");
    ASSERT_TRUE(bundle.GetInfoString(VBundle::kShortVersionKey, value));
    EXPECT_EQ(value, VKIT_PROJECT_VERSION);
    ASSERT_TRUE(bundle.GetInfoString(VBundle::kDevelopmentRegionKey, value));
    EXPECT_EQ(value, "en");
    EXPECT_EQ(PosixText(bundle.GetExecutablePath()), kUpdater);
    EXPECT_EQ(RunShell("test -d '" + kBundle + "/Contents/Resources'"), 0);
}

TEST(UpdaterProgramTest, MissingBundlesFailTheUpdate) {
    VTestTempFolder folder;
    EXPECT_EQ(RunUpdater(folder, "--silent '" + (folder / "A.app") + "' '" + (folder / "B.app") + "'"), 2)
        << ReadFile(folder / "output.txt");
    EXPECT_EQ(ReadFile(folder / "output.txt"), "");
}

TEST(UpdaterProgramTest, ProcessSerialNumberArgumentIsIgnored) {
    VTestTempFolder folder;
    EXPECT_EQ(RunUpdater(folder, "-psn_0_123 --version"), 0) << ReadFile(folder / "output.txt");
}

TEST(UpdaterProgramTest, RunsFromACopyOfItsBundle) {
    // The program finds its bundle from where it runs, not from where it was built.
    VTestTempFolder folder;
    ASSERT_EQ(RunShell("cp -R '" + kBundle + "' '" + (folder / "Copy.app") + "'"), 0);
    EXPECT_EQ(RunShell("'" + (folder / "Copy.app/Contents/MacOS/updater") + "' --version > /dev/null 2>&1"),
              0);
}
