// Tests of bundles: opening a bundle folder, finding the bundle of an executable, and their failures.
#include "SampleBundle.h"
#include "TestProcess.h"

#include "errors/VErrorBase.h"
#include "errors/VErrorTaskContext.h"
#include "runtime/VBundle.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace vkit;
using namespace vkit::testing;

namespace {

/// Bundle tests run on a main task with the error layer up, so that pushed errors can be read back.
class VBundleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fTaskMgr.Started());
        VErrorBase::Init();
    }
    void TearDown() override { VErrorBase::DeInit(); }

    static std::string Info(const VBundle& inBundle, const char* inKey) {
        VString value;
        return inBundle.GetInfoString(inKey, value) ? value.ToUTF8() : "<absent>";
    }

    /// The description of the last error of the task, empty when none.
    static std::string LastErrorText() {
        VErrorTaskContext* context = VTask::GetErrorContext(false);
        VErrorBase* error = context != nullptr ? context->GetLast() : nullptr;
        if (error == nullptr)
            return std::string();
        VString text;
        error->GetErrorDescription(text);
        return text.ToUTF8();
    }

    StTaskMgrWithoutProcess fTaskMgr;
    VTestTempFolder fFolder;
};

} // namespace

TEST_F(VBundleTest, OpenReadsInfoAndFindsTheExecutable) {
    std::string bundle = MakeSampleBundle(fFolder, "Sample.app",
                                          MakeInfoPlist({{"CFBundleName", "Sample"},
                                                         {"CFBundleShortVersionString", "2.5"},
                                                         {"CFBundleExecutable", "sample"}}));
    VBundle sample;
    ASSERT_TRUE(sample.Open(PosixPath(bundle + "/"))) << LastErrorText();
    EXPECT_TRUE(sample.IsBundle());
    EXPECT_TRUE(sample.HasInfo());
    EXPECT_EQ(Info(sample, VBundle::kNameKey), "Sample");
    EXPECT_EQ(Info(sample, VBundle::kShortVersionKey), "2.5");
    EXPECT_EQ(Info(sample, VBundle::kIconFileKey), "<absent>");
    EXPECT_EQ(sample.GetInfoCount(), 3u);
    EXPECT_EQ(PosixText(sample.GetExecutablePath()), bundle + "/Contents/MacOS/sample");
    EXPECT_EQ(PosixText(sample.GetInfoFilePath()), bundle + "/Contents/Info.plist");
    EXPECT_EQ(VTask::GetLastError(), VE_OK);
}

TEST_F(VBundleTest, ExecutableNameMustStayInsideTheBundle) {
    for (const char* name : {"../../../bin/sh", "..", "a/b", ""}) {
        std::string bundle =
            MakeSampleBundle(fFolder, "Odd.app", MakeInfoPlist({{"CFBundleExecutable", name}}));
        VBundle odd;
        ASSERT_TRUE(odd.Open(PosixPath(bundle + "/")));
        EXPECT_FALSE(odd.GetExecutablePath().IsValid()) << name;
    }
    // Linux names may hold ":", which the native form writes as "/".
    std::string bundle =
        MakeSampleBundle(fFolder, "Colon.app", MakeInfoPlist({{"CFBundleExecutable", "a:b"}}));
    VBundle colon;
    ASSERT_TRUE(colon.Open(PosixPath(bundle + "/")));
    EXPECT_EQ(PosixText(colon.GetExecutablePath()), bundle + "/Contents/MacOS/a:b");
}

TEST_F(VBundleTest, OpenWithoutInfoPlistFailsNamingTheFile) {
    std::string bundle = MakeSampleBundle(fFolder, "Bare.app", "");
    VBundle bare;
    EXPECT_FALSE(bare.Open(PosixPath(bundle + "/")));
    EXPECT_TRUE(bare.IsBundle());
    EXPECT_FALSE(bare.HasInfo());
    EXPECT_FALSE(bare.GetExecutablePath().IsValid());
    EXPECT_EQ(VTask::GetLastError(), MakeVErrorFromPosix(ENOENT));
    EXPECT_EQ(LastErrorText(), "read '" + bundle + "/Contents/Info.plist': No such file or directory");
}

TEST_F(VBundleTest, OpenWithBrokenInfoPlistFailsWithTheParserReason) {
    std::string bundle = MakeSampleBundle(fFolder, "Broken.app", "<plist><dict><key>A</key></plist>");
    VBundle broken;
    EXPECT_FALSE(broken.Open(PosixPath(bundle + "/")));
    EXPECT_EQ(VTask::GetLastError(), VE_UNKNOWN_ERROR);
    EXPECT_EQ(LastErrorText().rfind("read '" + bundle + "/Contents/Info.plist': line 1, column ", 0), 0u)
        << LastErrorText();
}

TEST_F(VBundleTest, OpenRefusesAFilePath) {
    VBundle bundle;
    EXPECT_FALSE(bundle.Open(PosixPath("/tmp/Sample.app")));
    EXPECT_FALSE(bundle.IsBundle());
    EXPECT_EQ(VTask::GetLastError(), VE_UNKNOWN_ERROR);
}

TEST_F(VBundleTest, ExecutableInContentsMacOSMakesTheBundle) {
    std::string bundle = MakeSampleBundle(fFolder, "Tool.app", MakeInfoPlist({{"CFBundleName", "Tool"}}));
    VBundle tool;
    EXPECT_TRUE(tool.OpenForExecutable(PosixPath(bundle + "/Contents/MacOS/tool")));
    EXPECT_EQ(PosixText(tool.GetFolderPath()), bundle + "/");
    EXPECT_EQ(PosixText(tool.GetExecutablePath()), bundle + "/Contents/MacOS/tool");
    EXPECT_EQ(Info(tool, VBundle::kNameKey), "Tool");
}

TEST_F(VBundleTest, ExecutableOutsideABundleHasNoInformation) {
    VBundle plain;
    EXPECT_FALSE(plain.OpenForExecutable(PosixPath(fFolder / "bin/tool")));
    EXPECT_FALSE(plain.IsBundle());
    EXPECT_EQ(PosixText(plain.GetExecutablePath()), fFolder / "bin/tool");
    EXPECT_EQ(Info(plain, VBundle::kNameKey), "<absent>");
    // Linux names are case-sensitive: "contents" is not the bundle layout.
    std::string lower = fFolder.MakeFolder("Lower.app/contents/MacOS");
    fFolder.WriteFile("Lower.app/contents/Info.plist", MakeInfoPlist({{"CFBundleName", "Lower"}}));
    EXPECT_FALSE(plain.OpenForExecutable(PosixPath(lower + "/tool")));
    EXPECT_FALSE(plain.IsBundle());
    // A folder is no executable.
    EXPECT_FALSE(plain.OpenForExecutable(PosixPath(fFolder.Path() + "/")));
    EXPECT_FALSE(plain.GetExecutablePath().IsValid());
}

TEST_F(VBundleTest, ExecutableBundleWithoutInfoPlistIsSilent) {
    std::string bundle = MakeSampleBundle(fFolder, "Bare.app", "");
    VBundle bare;
    EXPECT_FALSE(bare.OpenForExecutable(PosixPath(bundle + "/Contents/MacOS/bare")));
    EXPECT_TRUE(bare.IsBundle());
    EXPECT_FALSE(bare.HasInfo());
    EXPECT_EQ(VTask::GetLastError(), VE_OK);
}

TEST_F(VBundleTest, MainBundleStartsFromTheRunningExecutable) {
    VBundle main;
    main.OpenMain();
    EXPECT_EQ(PosixText(main.GetExecutablePath()), VKIT_APPLICATION_TESTS_PATH);
    // The test program does not lie in a bundle.
    EXPECT_FALSE(main.IsBundle());
}
