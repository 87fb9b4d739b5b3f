// Tests of the value converters: booleans, integer texts and their limits, texts, lists and file paths.
#include "cmdline/Argument.h"

#include "cmdline/VCommandLineParser.h"
#include "files/VFilePath.h"
#include "support/VTestTempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using vkit::FilePathStyle;
using vkit::VCommandLineParser;
using vkit::VFilePath;
using vkit::VString;
using vkit::Extension::CommandLineParser::Argument;

namespace {

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

} // namespace
