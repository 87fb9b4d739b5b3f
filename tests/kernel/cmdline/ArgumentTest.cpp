// Tests of the value converters: booleans, integer texts and their limits, texts, lists and file paths.
#include "cmdline/Argument.h"

#include "cmdline/VCommandLineParser.h"
#include "errors/StErrorContextInstaller.h"
#include "errors/VErrorBase.h"
#include "files/VFile.h"
#include "files/VFilePath.h"
#include "files/VFolder.h"
#include "runtime/VTaskMgr.h"
#include "support/VTestTempFolder.h"
#include "json/VJSONValue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using vkit::FilePathStyle;
using vkit::StErrorContextInstaller;
using vkit::VCommandLineParser;
using vkit::VFile;
using vkit::VFilePath;
using vkit::VFolder;
using vkit::VJSONValue;
using vkit::VString;
using vkit::Extension::CommandLineParser::Argument;

namespace {

/// The file and JSON converters run on the main task with the error layer up, as in a process.
class ArgumentTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(vkit::VTaskMgr::Init());
        vkit::VErrorBase::Init();
    }
};

const ::testing::Environment* const sEnvironment =
    ::testing::AddGlobalTestEnvironment(new ArgumentTestEnvironment);

class ArgumentTest : public ::testing::Test {
protected:
    template <class T>
    bool Append(T& ioValue, const char* inText) {
        return Argument::Append(fParser, ioValue, VString(inText));
    }

    std::vector<VString> fArguments{VString("prog"), VString("x")};
    VCommandLineParser fParser{fArguments};
};

TEST_F(ArgumentTest, BooleanWords) {
    bool value = false;
    for (const char* text : {"1", "true", "TRUE", "True"}) {
        value = false;
        EXPECT_TRUE(Append(value, text)) << text;
        EXPECT_TRUE(value) << text;
    }
    for (const char* text : {"0", "false", "FALSE"}) {
        value = true;
        EXPECT_TRUE(Append(value, text)) << text;
        EXPECT_FALSE(value) << text;
    }
    for (const char* text : {"", "2", "yes", "on", " 1", "truee", "01"}) {
        value = true;
        EXPECT_FALSE(Append(value, text)) << text;
        EXPECT_TRUE(value) << "unchanged after " << text;
    }
}

TEST_F(ArgumentTest, IntegerTextsTrimmedAndReadInAutomaticBase) {
    int value = -1;
    EXPECT_TRUE(Append(value, " 42 "));
    EXPECT_EQ(value, 42);
    EXPECT_TRUE(Append(value, "\t\n+7\v\f\r"));
    EXPECT_EQ(value, 7);
    EXPECT_TRUE(Append(value, "010")); // a leading 0 is octal
    EXPECT_EQ(value, 8);
    EXPECT_TRUE(Append(value, "-12"));
    EXPECT_EQ(value, -12);
    value = 99;
    for (const char* text : {"0x10", "08", "", "   ", "-", "+-1", "4 2", "42abc", "1.5", "1e3", "4-"})
        EXPECT_FALSE(Append(value, text)) << text;
    EXPECT_EQ(value, 99);
}

TEST_F(ArgumentTest, IntegerTextsOfThirtyCharactersAtMost) {
    long long value = 0;
    const std::string thirty = "+" + std::string(27, '0') + "42"; // octal 42 after the sign and zeros
    ASSERT_EQ(thirty.size(), 30u);
    EXPECT_TRUE(Append(value, thirty.c_str()));
    EXPECT_EQ(value, 34);
    const std::string thirtyOne = "0" + thirty;
    EXPECT_FALSE(Append(value, thirtyOne.c_str()));
    const std::string digits31(31, '1');
    EXPECT_FALSE(Append(value, digits31.c_str()));
    // Surrounding white space does not count.
    EXPECT_TRUE(Append(value, ("  " + thirty + "  ").c_str()));
}

TEST_F(ArgumentTest, IntegerOverflowFails) {
    int small = 5;
    EXPECT_FALSE(Append(small, "99999999999999999999"));
    EXPECT_EQ(small, 5);
    long long value = 0;
    EXPECT_TRUE(Append(value, "9223372036854775807"));
    EXPECT_EQ(value, 9223372036854775807LL);
    EXPECT_FALSE(Append(value, "9223372036854775808"));
    EXPECT_TRUE(Append(value, "-9223372036854775808"));
    EXPECT_FALSE(Append(value, "-9223372036854775809"));
    unsigned long long big = 0;
    EXPECT_TRUE(Append(big, "18446744073709551615"));
    EXPECT_EQ(big, 18446744073709551615ULL);
    EXPECT_FALSE(Append(big, "18446744073709551616"));
    unsigned int unsignedValue = 0;
    EXPECT_TRUE(Append(unsignedValue, "4294967295"));
    EXPECT_EQ(unsignedValue, 4294967295u);
}

TEST_F(ArgumentTest, TextsAndListsNeverFail) {
    VString text("old");
    EXPECT_TRUE(Append(text, ""));
    EXPECT_TRUE(text.IsEmpty());
    std::vector<VString> list;
    EXPECT_TRUE(Append(list, "a"));
    EXPECT_TRUE(Append(list, ""));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].ToUTF8(), "a");
}

TEST_F(ArgumentTest, FilePathResolvedAgainstTheDisk) {
    vkit::testing::VTestTempFolder folder;
    std::string file = folder.WriteFile("dir/file.txt", "x");
    std::filesystem::create_symlink(file, folder / "link");
    VFilePath path;

    EXPECT_TRUE(Argument::Append(path, VString((folder / "dir").c_str())));
    EXPECT_TRUE(path.IsFolder());
    EXPECT_EQ(path, VFilePath(VString((folder / "dir/").c_str()), FilePathStyle::Posix));

    EXPECT_TRUE(Argument::Append(path, VString((folder / "dir/../link").c_str())));
    EXPECT_EQ(path, VFilePath(VString(file.c_str()), FilePathStyle::Posix));

    EXPECT_TRUE(Argument::Append(path, VString(".")));
    std::string workingFolder = std::filesystem::current_path().string();
    if (workingFolder != "/")
        workingFolder += "/";
    EXPECT_EQ(path, VFilePath(VString(workingFolder.c_str()), FilePathStyle::Posix));
}

TEST_F(ArgumentTest, FilePathOfMissingItemTakenAsItStands) {
    VFilePath path;
    EXPECT_TRUE(Argument::Append(path, VString("/no/such/folder/item.app")));
    EXPECT_EQ(path, VFilePath(VString("/no/such/folder/item.app"), FilePathStyle::Posix));
    EXPECT_TRUE(path.IsFile());
    EXPECT_TRUE(Argument::Append(path, VString("")));
    EXPECT_FALSE(path.IsValid());
    EXPECT_TRUE(path.GetPath().IsEmpty());
}

TEST_F(ArgumentTest, FileMustExistAndBeAFile) {
    vkit::testing::VTestTempFolder folder;
    std::string file = folder.WriteFile("dir/file.txt", "x");
    std::filesystem::create_symlink(file, folder / "link");
    VFile* target = nullptr;
    ASSERT_TRUE(Argument::Append(target, VString((folder / "link").c_str())));
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->GetPath(), VFilePath(VString(file.c_str()), FilePathStyle::Posix));

    // The previous file is released whatever the outcome.
    VFile* previous = target;
    previous->Retain();
    for (const std::string& text : {folder / "dir", folder / "missing.txt", std::string()}) {
        EXPECT_FALSE(Argument::Append(target, VString(text.c_str()))) << text;
        EXPECT_EQ(target, nullptr) << text;
    }
    EXPECT_EQ(previous->GetRefCount(), 1);
    previous->Release();
}

TEST_F(ArgumentTest, FolderMustExistAndBeAFolder) {
    vkit::testing::VTestTempFolder folder;
    std::string file = folder.WriteFile("dir/file.txt", "x");
    VFolder* target = nullptr;
    ASSERT_TRUE(Append(target, (folder / "dir/../dir").c_str()));
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->GetPath(), VFilePath(VString((folder / "dir/").c_str()), FilePathStyle::Posix));
    EXPECT_FALSE(Append(target, file.c_str()));
    EXPECT_EQ(target, nullptr);
}

TEST_F(ArgumentTest, FileOptionRejectionMessage) {
    std::vector<VString> arguments{VString("prog"), VString("--input"), VString("/no/such/file")};
    VCommandLineParser parser(arguments);
    VFile* input = nullptr;
    parser.AddOption(u'i', VString("input"), &input, VString("Input"), true);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(parser.Parse(), 1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "invalid value for argument '-i, --input' got \"/no/such/file\" expected an existing file\n");
    EXPECT_EQ(input, nullptr);
}

TEST_F(ArgumentTest, JSONValueByTheKindItHolds) {
    VJSONValue text;
    text.SetString(VString("old"));
    EXPECT_TRUE(Append(text, "{not json"));
    EXPECT_EQ(text.GetStringView(), u"{not json");

    VJSONValue undefined;
    EXPECT_TRUE(Append(undefined, "{\"a\": [1, 2]}"));
    ASSERT_TRUE(undefined.IsObject());
    EXPECT_TRUE(undefined.GetProperty(VString("a")).IsArray());

    VJSONValue flag;
    flag.SetBool(false);
    EXPECT_TRUE(Append(flag, "On"));
    EXPECT_EQ(flag.GetType(), vkit::eJSONTrue);
    EXPECT_TRUE(Append(flag, "off"));
    EXPECT_EQ(flag.GetType(), vkit::eJSONFalse);
    EXPECT_TRUE(Append(flag, "1"));
    EXPECT_EQ(flag.GetType(), vkit::eJSONTrue);
    EXPECT_FALSE(Append(flag, "maybe"));
    EXPECT_EQ(flag.GetType(), vkit::eJSONTrue);

    VJSONValue number(3.0);
    EXPECT_FALSE(Append(number, "4"));
    EXPECT_TRUE(number.IsNumber());
}

TEST_F(ArgumentTest, JSONParseFailureLeavesNoErrorBehind) {
    StErrorContextInstaller context;
    VJSONValue object;
    EXPECT_TRUE(Append(object, "{}"));
    EXPECT_TRUE(object.IsObject());
    EXPECT_FALSE(Append(object, "{\"a\": "));
    EXPECT_TRUE(object.IsObject()) << "unchanged after a failure";
    EXPECT_EQ(context.GetLastError(), 0u);
}

} // namespace
