// Tests of VURL::Convert: POSIX, native and Windows styles, full and relative texts.
#include "files/VURL.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using vkit::EURLPathStyle;
using vkit::VString;
using vkit::VURL;

namespace {

std::string Convert(const char* inText, EURLPathStyle inFrom, EURLPathStyle inTo, bool inRelative) {
    VString text(inText);
    VURL::Convert(text, inFrom, inTo, inRelative);
    return text.ToUTF8();
}

std::string PosixToNative(const char* inText) {
    return Convert(inText, EURLPathStyle::Posix, EURLPathStyle::Hfs, false);
}

std::string NativeToPosix(const char* inText, bool inRelative) {
    return Convert(inText, EURLPathStyle::Hfs, EURLPathStyle::Posix, inRelative);
}

} // namespace

TEST(VURLTest, PosixFullPathsBecomeRootVolumePaths) {
    EXPECT_EQ(PosixToNative("/home/ann/"), "Root:home:ann:");
    EXPECT_EQ(PosixToNative("/home/ann/x.txt"), "Root:home:ann:x.txt");
    EXPECT_EQ(PosixToNative("/"), "Root:");
    EXPECT_EQ(NativeToPosix("Root:home:ann:", false), "/home/ann/");
    EXPECT_EQ(NativeToPosix("Root:", false), "/");
    EXPECT_EQ(NativeToPosix("Root", false), "/");
    EXPECT_EQ(NativeToPosix("", false), "");
    // Another first component is a top-level folder of "/".
    EXPECT_EQ(NativeToPosix("Disk:a", false), "/Disk/a");
}

TEST(VURLTest, RelativePosixRuleCountsSeparatorsAndSkipsDotSteps) {
    EXPECT_EQ(PosixToNative("a/b/"), "a:b:");
    EXPECT_EQ(PosixToNative("../x"), ":x");
    EXPECT_EQ(PosixToNative("a/../b"), "a::b");
    EXPECT_EQ(PosixToNative("../../x/"), "::x:");
    EXPECT_EQ(PosixToNative("./a/./b"), "a:b");
    EXPECT_EQ(PosixToNative("././a"), "a");
    EXPECT_EQ(PosixToNative("a:b/c"), "a/b:c");
    // Steps only count at the start of a component.
    EXPECT_EQ(PosixToNative("a./b"), "a.:b");
    EXPECT_EQ(PosixToNative("x../y"), "x..:y");
    EXPECT_EQ(PosixToNative(".hidden/.."), ".hidden:..");
    EXPECT_EQ(PosixToNative(""), "");
    EXPECT_EQ(PosixToNative("../"), ":");
}

TEST(VURLTest, RelativeNativeRuleTurnsSeparatorRunsIntoSteps) {
    EXPECT_EQ(NativeToPosix("a:b:", true), "a/b/");
    EXPECT_EQ(NativeToPosix("a::b", true), "a/../b");
    EXPECT_EQ(NativeToPosix("a:::", true), "a/../../");
    EXPECT_EQ(NativeToPosix(":x", true), "../x");
    EXPECT_EQ(NativeToPosix("::x", true), "../../x");
    EXPECT_EQ(NativeToPosix(":", true), "");
    EXPECT_EQ(NativeToPosix("a/b:c", true), "a:b/c");
    EXPECT_EQ(NativeToPosix("", true), "");
}

TEST(VURLTest, WindowsStyleExchangesSlashesOnly) {
    EXPECT_EQ(Convert("a/b/c", EURLPathStyle::Posix, EURLPathStyle::Windows, true), "a\\b\\c");
    EXPECT_EQ(Convert("C:\\x\\y", EURLPathStyle::Windows, EURLPathStyle::Posix, false), "C:/x/y");
    // Pairs without a rule leave the text as it is.
    EXPECT_EQ(Convert("a:b\\c", EURLPathStyle::Hfs, EURLPathStyle::Windows, false), "a:b\\c");
    EXPECT_EQ(Convert("a\\b:c", EURLPathStyle::Windows, EURLPathStyle::Hfs, false), "a\\b:c");
    EXPECT_EQ(Convert("/a/b", EURLPathStyle::Posix, EURLPathStyle::Posix, false), "/a/b");
    EXPECT_EQ(Convert("a::b", EURLPathStyle::Hfs, EURLPathStyle::Hfs, true), "a::b");
}

TEST(VURLTest, RelativeTextsRoundTripBetweenPosixAndNative) {
    // Relative POSIX texts made of leading "../" steps and names joined by "/" and "../" steps.
    const char* names[] = {"a", "b\xC3\xA9", "x:y", ".h", "..z", "\xF0\x9F\x98\x80", "n.", "Root"};
    std::mt19937 random(42);
    for (int round = 0; round < 2000; ++round) {
        std::string posix;
        for (int i = static_cast<int>(random() % 3); i > 0; --i)
            posix += "../";
        int count = 1 + static_cast<int>(random() % 4);
        for (int n = 0; n < count; ++n) {
            posix += names[random() % std::size(names)];
            bool last = n + 1 == count;
            if (last && random() % 2 == 0)
                break;
            posix += "/";
            for (int i = static_cast<int>(random() % 3); i > 0; --i)
                posix += "../";
        }
        VString text(posix);
        VURL::Convert(text, EURLPathStyle::Posix, EURLPathStyle::Hfs, true);
        VString native(text);
        VURL::Convert(text, EURLPathStyle::Hfs, EURLPathStyle::Posix, true);
        ASSERT_EQ(text.ToUTF8(), posix) << "native: " << native.ToUTF8();
        VURL::Convert(text, EURLPathStyle::Posix, EURLPathStyle::Hfs, true);
        ASSERT_EQ(text, native) << posix;
    }
}
