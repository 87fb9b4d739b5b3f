// Tests of the "spinlock.prm" reader: the settings of the right types, wrong types, missing and broken
// files, and the reader of the process object's executable folder.
#include "SampleBundle.h"

#include "runtime/VProcess.h"
#include "runtime/VSpinLockSettingsFile.h"
#include "support/VTestTempFolder.h"

#include <gtest/gtest.h>

#include <string>

using namespace vkit;
using namespace vkit::testing;

namespace {

/// Settings with every field set, to see what a read leaves untouched.
SpinLock::Settings Prefilled() {
    SpinLock::Settings settings;
    settings.fMode = VString("before");
    settings.fMaxSpins = -1;
    settings.fYieldAfterCheckEvent = false;
    return settings;
}

void ExpectPrefilled(const SpinLock::Settings& inSettings) {
    ASSERT_TRUE(inSettings.fMode.has_value());
    EXPECT_EQ(inSettings.fMode->ToUTF8(), "before");
    EXPECT_EQ(inSettings.fMaxSpins, -1);
    EXPECT_EQ(inSettings.fYieldAfterCheckEvent, false);
}

class SpinLockSettingsFileTest : public ::testing::Test {
protected:
    /// Reads inContent written as "spinlock.prm"; fStandardError receives what the read wrote there.
    bool Read(const std::string& inContent, SpinLock::Settings& ioSettings) {
        fFolder.WriteFile("spinlock.prm", inContent);
        ::testing::internal::CaptureStderr();
        bool read = VSpinLockSettingsFile::Read(PosixPath(fFolder.Path() + "/"), ioSettings);
        fStandardError = ::testing::internal::GetCapturedStderr();
        return read;
    }

    VTestTempFolder fFolder;
    std::string fStandardError;
};

} // namespace

TEST_F(SpinLockSettingsFileTest, ReadsEachSettingOfItsType) {
    SpinLock::Settings settings;
    ASSERT_TRUE(Read(R"({"mode": "alwaysSleep", "maxSpins": 12.9, "yieldAfterCheckEvent": true, "other": 1})",
                     settings));
    ASSERT_TRUE(settings.fMode.has_value());
    EXPECT_EQ(settings.fMode->ToUTF8(), "alwaysSleep");
    // The number is passed as it is; Configure truncates it.
    EXPECT_EQ(settings.fMaxSpins, 12.9);
    EXPECT_EQ(settings.fYieldAfterCheckEvent, true);
    EXPECT_TRUE(fStandardError.empty());
}

TEST_F(SpinLockSettingsFileTest, ReadsUTF8WithAByteOrderMark) {
    SpinLock::Settings settings;
    ASSERT_TRUE(Read("\xEF\xBB\xBF{\"mode\": \"loopMaxSpinsAndYields\"}", settings));
    EXPECT_EQ(settings.fMode->ToUTF8(), "loopMaxSpinsAndYields");
    EXPECT_FALSE(settings.fMaxSpins.has_value());
    EXPECT_FALSE(settings.fYieldAfterCheckEvent.has_value());
}

TEST_F(SpinLockSettingsFileTest, ValuesOfOtherTypesAreIgnored) {
    SpinLock::Settings settings = Prefilled();
    ASSERT_TRUE(Read(R"({"mode": 3, "maxSpins": "7", "yieldAfterCheckEvent": 1})", settings));
    ExpectPrefilled(settings);
    // Null and nested values are no strings, numbers or booleans either.
    ASSERT_TRUE(Read(R"({"mode": null, "maxSpins": [7], "yieldAfterCheckEvent": {"a": true}})", settings));
    ExpectPrefilled(settings);
}

TEST_F(SpinLockSettingsFileTest, MissingFileReadsNothing) {
    SpinLock::Settings settings = Prefilled();
    EXPECT_FALSE(VSpinLockSettingsFile::Read(PosixPath(fFolder.Path() + "/"), settings));
    ExpectPrefilled(settings);
    // A folder of that name is no settings file.
    fFolder.MakeFolder("spinlock.prm");
    EXPECT_FALSE(VSpinLockSettingsFile::Read(PosixPath(fFolder.Path() + "/"), settings));
    ExpectPrefilled(settings);
}

TEST_F(SpinLockSettingsFileTest, BrokenFileReadsNothingAndSaysWhichFile) {
    for (const char* broken : {"{\"mode\": ", "{\"mode\": \"alwaysSleep\",}", ""}) {
        SpinLock::Settings settings = Prefilled();
        EXPECT_FALSE(Read(broken, settings)) << broken;
        ExpectPrefilled(settings);
        EXPECT_NE(fStandardError.find(fFolder / "spinlock.prm"), std::string::npos) << fStandardError;
    }
}

TEST_F(SpinLockSettingsFileTest, TopLevelOtherThanAnObjectReadsNothing) {
    for (const char* other : {R"([{"mode": "alwaysSleep"}])", "\"alwaysSleep\"", "12", "null"}) {
        SpinLock::Settings settings = Prefilled();
        EXPECT_FALSE(Read(other, settings)) << other;
        ExpectPrefilled(settings);
        EXPECT_TRUE(fStandardError.empty()) << fStandardError;
    }
}

TEST(SpinLockSettingsFileProcessTest, NoProcessObjectReadsNothing) {
    ASSERT_EQ(VProcess::Get(), nullptr);
    SpinLock::Settings settings;
    EXPECT_FALSE(VSpinLockSettingsFile::ReadForProcess(settings));
    EXPECT_FALSE(settings.fMode.has_value());
}
