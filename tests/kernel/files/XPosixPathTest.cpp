// Tests of XPosixPath: the Linux native/POSIX conversions, UTF-8 in and out, paths read from the system.
#include "platform/posix/XPosixPath.h"

#include "files/VFilePath.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using vkit::FilePathStyle;
using vkit::VFilePath;
using vkit::VString;
using vkit::XPosixPath;

namespace {

std::string NativeOfUTF8(const std::string& inPosix, bool inIsFolder = false) {
    VString native;
    EXPECT_TRUE(XPosixPath::PosixToNative(std::string_view(inPosix), inIsFolder, native));
    return native.ToUTF8();
}

std::string PosixUTF8(const VString& inNative) {
    std::string posix = "stale";
    XPosixPath::NativeToPosixUTF8(inNative.View(), posix);
    return posix;
}

/// A canonical full POSIX path: no empty, "." or ".." components.
std::string RandomPosixPath(std::mt19937& ioRandom) {
    const char* names[] = {"a",  "Root", "x:y", ":",     "b\xC3\xA9", "e\xCC\x81", "\xF0\x9F\x98\x80",
                           ".h", "...",  "a b", "\\c\t", "..x",       "\x7F",      "\xE4\xB8\xAD"};
    std::string path = "/";
    int count = static_cast<int>(ioRandom() % 5);
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            path += "/";
        path += names[ioRandom() % std::size(names)];
    }
    if (count > 0 && ioRandom() % 2 == 0)
        path += "/";
    return path;
}

} // namespace

TEST(XPosixPathTest, UTF8InAndOutWithoutNormalization) {
    EXPECT_EQ(NativeOfUTF8("/home/Zo\xC3\xAB/"), "Root:home:Zo\xC3\xAB:");
    EXPECT_EQ(NativeOfUTF8("/home/Zoe\xCC\x88/"), "Root:home:Zoe\xCC\x88:");
    EXPECT_EQ(NativeOfUTF8("/a:b/\xF0\x9F\x98\x80"), "Root:a/b:\xF0\x9F\x98\x80");
    EXPECT_EQ(PosixUTF8(VString("Root:a/b:\xF0\x9F\x98\x80:")), "/a:b/\xF0\x9F\x98\x80/");
    EXPECT_EQ(PosixUTF8(VString("Vol/x:a/b")), "/Vol/x/a:b");
    // A last name of ":" is a file named "/" in native form, not a folder.
    EXPECT_EQ(NativeOfUTF8("/a/:"), "Root:a:/");
    EXPECT_EQ(NativeOfUTF8("/:/"), "Root:/:");
    EXPECT_EQ(PosixUTF8(VString("")), "");
}

TEST(XPosixPathTest, UnpairedSurrogatesBecomeReplacementCharacters) {
    // Only U+DC80 to U+DCFF stand for bytes; another unpaired surrogate cannot be written as UTF-8.
    const char16_t units[] = {u'R', u'o', u'o', u't', u':', 0xD800, u'x', 0xDC00};
    EXPECT_EQ(PosixUTF8(VString(units, 8)), "/\xEF\xBF\xBDx\xEF\xBF\xBD");
}

TEST(XPosixPathTest, OnlyFullPathsConvert) {
    VString native("stale");
    EXPECT_FALSE(XPosixPath::PosixToNative(std::u16string_view(u"a/b"), false, native));
    EXPECT_TRUE(native.IsEmpty());
    EXPECT_FALSE(XPosixPath::PosixToNative(std::string_view(""), false, native));
    EXPECT_TRUE(XPosixPath::PosixToNative(std::string_view("/"), true, native));
    EXPECT_EQ(native.ToUTF8(), "Root:");
}

TEST(XPosixPathTest, FolderFlagMakesAFolderPath) {
    EXPECT_EQ(NativeOfUTF8("/a/b", true), "Root:a:b:");
    EXPECT_EQ(NativeOfUTF8("/a/b/", true), "Root:a:b:");
    EXPECT_EQ(NativeOfUTF8("/a/b/..", true), "Root:a:");
    EXPECT_EQ(NativeOfUTF8("/a/.", false), "Root:a");
    EXPECT_EQ(NativeOfUTF8("/a/.", true), "Root:a:");
}

TEST(XPosixPathTest, PathsReadFromTheSystem) {
    VFilePath path;
    XPosixPath::GetFilePathFromPosixPath("/tmp/dir", true, path);
    EXPECT_TRUE(path.IsFolder());
    EXPECT_EQ(path.GetPath().ToUTF8(), "Root:tmp:dir:");
    XPosixPath::GetFilePathFromPosixPath("/tmp/file", false, path);
    EXPECT_TRUE(path.IsFile());
    XPosixPath::GetFilePathFromPosixPath(static_cast<const char*>(nullptr), false, path);
    EXPECT_FALSE(path.IsValid());
    EXPECT_TRUE(path.GetPath().IsEmpty());
    // Not a full path: read as FromFullPath reads POSIX text.
    XPosixPath::GetFilePathFromPosixPath("x/y", true, path);
    EXPECT_EQ(path.GetPath().ToUTF8(), "x:y:");
    XPosixPath::GetFilePathFromPosixPath("../y", false, path);
    EXPECT_FALSE(path.IsValid());
    // A NUL read from somewhere else still makes an invalid path, never a shorter one.
    XPosixPath::GetFilePathFromPosixPath(std::string_view("/a\0b", 4), false, path);
    EXPECT_FALSE(path.IsValid());
    XPosixPath::GetFilePathFromPosixPath(std::string_view("/a\0b/..", 7), false, path);
    EXPECT_FALSE(path.IsValid());
    EXPECT_FALSE(VFilePath(VString("/x/a\0b/../", 11), FilePathStyle::Posix).IsValid());
    std::string posix = "stale";
    EXPECT_FALSE(XPosixPath::GetPosixPath(path, posix));
    EXPECT_EQ(posix, "");
}

TEST(XPosixPathTest, SystemTextOfPaths) {
    VFilePath path(VString("/srv/a:b/\xC3\xA9.txt"), FilePathStyle::Posix);
    EXPECT_EQ(XPosixPath::GetPosixPath(path), "/srv/a:b/\xC3\xA9.txt");
    EXPECT_EQ(XPosixPath::GetPosixPath(VFilePath()), "");
    std::string text;
    XPosixPath::GetPosixPathFromString(VString("e\xCC\x81:/"), text);
    EXPECT_EQ(text, "e\xCC\x81:/");
}

TEST(XPosixPathTest, CanonicalFullPathsRoundTripThroughEveryEntryPoint) {
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        std::string posix = RandomPosixPath(random);
        VString fromUTF8;
        ASSERT_TRUE(XPosixPath::PosixToNative(std::string_view(posix), false, fromUTF8));
        VString fromUTF16;
        ASSERT_TRUE(XPosixPath::PosixToNative(VString(posix).View(), false, fromUTF16));
        ASSERT_EQ(fromUTF8, fromUTF16) << posix;

        VFilePath path;
        path.FromNativeText(VString(fromUTF8));
        ASSERT_TRUE(path.IsValid()) << posix;
        ASSERT_EQ(path.IsFolder(), posix.back() == '/') << posix;
        ASSERT_EQ(XPosixPath::GetPosixPath(path), posix);
        VString posix16;
        path.GetPosixPath(posix16);
        ASSERT_EQ(posix16, VString(posix));
        VFilePath again(posix16, FilePathStyle::Posix);
        ASSERT_TRUE(again == path) << posix;
    }
}

TEST(XPosixPathTest, LongPathsConvertWhole) {
    std::string posix;
    for (int i = 0; i < 20000; ++i)
        posix += "/d" + std::to_string(i);
    posix += "/";
    VFilePath path(VString(posix), FilePathStyle::Posix);
    ASSERT_TRUE(path.IsFolder());
    EXPECT_EQ(path.GetDepth(), 20001);
    EXPECT_EQ(XPosixPath::GetPosixPath(path), posix);
    // Going down and back up again leaves the root.
    std::string steps;
    for (int i = 0; i < 20000; ++i)
        steps += "/d";
    for (int i = 0; i < 20000; ++i)
        steps += "/..";
    EXPECT_EQ(NativeOfUTF8(steps), "Root:");
}
