// Tests of VFilePath: validity, walks, names and extensions, containment, relative and POSIX forms.
#include "files/VFilePath.h"
#include "files/VFolder.h"

#include <gtest/gtest.h>

#include <string>

using vkit::FilePathStyle;
using vkit::VFilePath;
using vkit::VString;

namespace {

std::string Text(const VFilePath& inPath) {
    return inPath.GetPath().ToUTF8();
}

std::string Posix(const VFilePath& inPath) {
    VString text;
    inPath.GetPosixPath(text);
    return text.ToUTF8();
}

VFilePath FromPosix(const char* inText) {
    return VFilePath(VString(inText), FilePathStyle::Posix);
}

std::string Name(const VFilePath& inPath) {
    VString name;
    inPath.GetName(name);
    return name.ToUTF8();
}

std::string FileName(const VFilePath& inPath, bool inWithExtension) {
    VString name;
    inPath.GetFileName(name, inWithExtension);
    return name.ToUTF8();
}

std::string FolderName(const VFilePath& inPath, bool inWithExtension) {
    VString name;
    inPath.GetFolderName(name, inWithExtension);
    return name.ToUTF8();
}

std::string Extension(const VFilePath& inPath) {
    VString extension;
    inPath.GetExtension(extension);
    return extension.ToUTF8();
}

} // namespace

TEST(VFilePathTest, FolderWalksUpToTheVolumeRootThenBecomesInvalid) {
    VFilePath path(VString("Disk:a:b:"));
    ASSERT_TRUE(path.IsValid());
    EXPECT_TRUE(path.IsFolder());
    EXPECT_FALSE(path.IsFile());
    EXPECT_EQ(Name(path), "b");
    EXPECT_EQ(path.GetDepth(), 3);

    EXPECT_TRUE(path.ToParent().IsValid());
    EXPECT_EQ(Text(path), "Disk:a:");
    EXPECT_TRUE(path.HasParent());
    EXPECT_TRUE(path.ToParent().IsFolder());
    EXPECT_EQ(Text(path), "Disk:");
    EXPECT_EQ(path.GetDepth(), 1);
    EXPECT_EQ(Name(path), "Disk");
    EXPECT_FALSE(path.HasParent());

    EXPECT_FALSE(path.ToParent().IsValid());
    EXPECT_EQ(Text(path), "");
    EXPECT_EQ(path.GetDepth(), 0);
    // An invalid path stays invalid and empty.
    EXPECT_FALSE(path.ToParent().IsValid());
}

TEST(VFilePathTest, ParentOfAFileIsItsFolderAndGetParentLeavesTheSourceAlone) {
    VFilePath file(VString("Disk:a:f.txt"));
    EXPECT_TRUE(file.IsFile());
    EXPECT_EQ(file.GetDepth(), 3);
    VFilePath parent;
    EXPECT_TRUE(file.GetParent(parent));
    EXPECT_EQ(Text(parent), "Disk:a:");
    EXPECT_EQ(Text(file), "Disk:a:f.txt");

    VFilePath folder;
    EXPECT_TRUE(file.GetFolder(folder));
    EXPECT_EQ(Text(folder), "Disk:a:");
    VFilePath same;
    EXPECT_TRUE(folder.GetFolder(same));
    EXPECT_EQ(Text(same), "Disk:a:");

    // A name with no ":" has no folder and no parent.
    VFilePath bare(VString("name"));
    ASSERT_TRUE(bare.IsValid());
    EXPECT_FALSE(bare.HasParent());
    EXPECT_FALSE(bare.GetParent(parent));
    EXPECT_FALSE(bare.ToFolder().IsValid());
}

TEST(VFilePathTest, FileNamesAndExtensionsWithSeveralDots) {
    VFilePath path(VString("Disk:a:file.tar.gz"));
    EXPECT_EQ(Extension(path), "gz");
    EXPECT_EQ(FileName(path, false), "file.tar");
    EXPECT_EQ(FileName(path, true), "file.tar.gz");
    EXPECT_EQ(FolderName(path, true), "");

    VFilePath kept(path);
    EXPECT_TRUE(kept.SetFileName(VString("x"), false));
    EXPECT_EQ(Text(kept), "Disk:a:x.gz");
    VFilePath replaced(path);
    EXPECT_TRUE(replaced.SetFileName(VString("x"), true));
    EXPECT_EQ(Text(replaced), "Disk:a:x");
}

TEST(VFilePathTest, LeadingAndTrailingDotsInNames) {
    VFilePath profile(VString("Disk:home:.profile"));
    EXPECT_EQ(Extension(profile), "profile");
    EXPECT_EQ(FileName(profile, false), "");
    EXPECT_EQ(FileName(profile, true), ".profile");

    VFilePath trailing(VString("Disk:home:a."));
    EXPECT_EQ(Extension(trailing), "");
    EXPECT_EQ(FileName(trailing, false), "a");
    // No extension to keep: the new name stands alone.
    EXPECT_TRUE(trailing.SetFileName(VString("b"), false));
    EXPECT_EQ(Text(trailing), "Disk:home:b");

    // The "." of a folder before the last one is not an extension.
    VFilePath dotted(VString("Disk:v1.2:readme"));
    EXPECT_EQ(Extension(dotted), "");
    EXPECT_EQ(FileName(dotted, false), "readme");
}

TEST(VFilePathTest, FolderNamesAndExtensions) {
    VFilePath bundle(VString("Disk:Apps:Tool.app:"));
    EXPECT_EQ(FolderName(bundle, true), "Tool.app");
    EXPECT_EQ(FolderName(bundle, false), "Tool");
    EXPECT_EQ(Extension(bundle), "app");
    EXPECT_EQ(FileName(bundle, true), "");
    EXPECT_TRUE(bundle.MatchExtension(VString("app")));
    EXPECT_TRUE(bundle.MatchExtension(VString("APP"), false));
    EXPECT_FALSE(bundle.MatchExtension(VString("APP"), true));
    EXPECT_FALSE(bundle.MatchExtension(VString("pp.")));

    VFilePath root(VString("Disk:"));
    EXPECT_EQ(FolderName(root, true), "Disk:");
    EXPECT_EQ(Name(root), "Disk");

    VFilePath archive(VString("Disk:a:file.tar.gz"));
    EXPECT_TRUE(archive.MatchExtension(VString("gz")));
    EXPECT_TRUE(archive.MatchExtension(VString("tar.gz")));
    EXPECT_FALSE(archive.MatchExtension(VString("tar")));
}

TEST(VFilePathTest, SetNameKeepsTheKindAndRefusesSeparators) {
    VFilePath folder(VString("Disk:a:b:"));
    EXPECT_TRUE(folder.SetName(VString("c")));
    EXPECT_EQ(Text(folder), "Disk:a:c:");

    VFilePath file(VString("Disk:a:f.txt"));
    EXPECT_TRUE(file.SetName(VString("g")));
    EXPECT_EQ(Text(file), "Disk:a:g");

    VFilePath refused(VString("Disk:a:f.txt"));
    EXPECT_FALSE(refused.SetName(VString("a:b")));
    EXPECT_EQ(Text(refused), "Disk:a:f.txt");
    EXPECT_TRUE(refused.IsValid());
    EXPECT_FALSE(refused.SetFileName(VString("x:y"), true));
    EXPECT_FALSE(refused.SetName(VString("")));
    EXPECT_EQ(Text(refused), "Disk:a:f.txt");

    VFilePath folderRefused(VString("Disk:a:b:"));
    EXPECT_FALSE(folderRefused.SetFolderName(VString(":"), true));
    EXPECT_EQ(Text(folderRefused), "Disk:a:b:");

    // A volume root has no component to rename.
    VFilePath root(VString("Disk:"));
    EXPECT_FALSE(root.SetName(VString("Other")));
    EXPECT_FALSE(root.IsValid());
    EXPECT_EQ(Text(root), "");
}

TEST(VFilePathTest, SetFileNameOnAFolderMakesAFileInIt) {
    VFilePath path(VString("Disk:a:"));
    EXPECT_TRUE(path.SetFileName(VString("new.txt"), false));
    EXPECT_TRUE(path.IsFile());
    EXPECT_EQ(Text(path), "Disk:a:new.txt");
}

TEST(VFilePathTest, SetFolderNameKeepsTheExtensionWhenAsked) {
    VFilePath path(VString("Disk:Apps:Tool.app:"));
    VFilePath kept(path);
    EXPECT_TRUE(kept.SetFolderName(VString("Tool_old0001"), false));
    EXPECT_EQ(Text(kept), "Disk:Apps:Tool_old0001.app:");
    EXPECT_TRUE(path.SetFolderName(VString("Other"), true));
    EXPECT_EQ(Text(path), "Disk:Apps:Other:");

    VFilePath file(VString("Disk:a:f"));
    EXPECT_FALSE(file.SetFolderName(VString("x"), true));
    EXPECT_EQ(Text(file), "Disk:a:f");
}

TEST(VFilePathTest, SetExtensionAddsReplacesAndRemoves) {
    VFilePath file(VString("Disk:a:notes"));
    EXPECT_TRUE(file.SetExtension(VString("txt")));
    EXPECT_EQ(Text(file), "Disk:a:notes.txt");
    EXPECT_TRUE(file.SetFileExtension(VString("md")));
    EXPECT_EQ(Text(file), "Disk:a:notes.md");
    EXPECT_TRUE(file.SetFileExtension(VString("")));
    EXPECT_EQ(Text(file), "Disk:a:notes");

    VFilePath trailing(VString("Disk:a:b."));
    EXPECT_TRUE(trailing.SetFileExtension(VString("c")));
    EXPECT_EQ(Text(trailing), "Disk:a:b.c");

    // Removing the extension of ".profile" would leave no name at all.
    VFilePath profile(VString("Disk:a:.profile"));
    EXPECT_FALSE(profile.SetFileExtension(VString("")));
    EXPECT_EQ(Text(profile), "Disk:a:.profile");
    EXPECT_FALSE(profile.SetFileExtension(VString("a:b")));

    VFilePath folder(VString("Disk:a:Tool.app:"));
    EXPECT_TRUE(folder.SetExtension(VString("bak")));
    EXPECT_EQ(Text(folder), "Disk:a:Tool.bak:");
    EXPECT_TRUE(folder.SetFolderExtension(VString("")));
    EXPECT_EQ(Text(folder), "Disk:a:Tool:");
    EXPECT_FALSE(folder.SetFileExtension(VString("x")));
    EXPECT_FALSE(file.SetFolderExtension(VString("x")));
}

TEST(VFilePathTest, SubFolderAndSubFileOnlyExtendFolders) {
    VFilePath file(VString("Disk:a:f"));
    file.ToSubFolder(VString("x"));
    file.ToSubFile(VString("y"));
    EXPECT_EQ(Text(file), "Disk:a:f");

    VFilePath folder(VString("Disk:a:"));
    EXPECT_TRUE(folder.ToSubFolder(VString("b")).IsFolder());
    EXPECT_EQ(Text(folder), "Disk:a:b:");
    EXPECT_TRUE(folder.ToSubFile(VString("c.txt")).IsFile());
    EXPECT_EQ(Text(folder), "Disk:a:b:c.txt");

    VFilePath invalid;
    invalid.ToSubFolder(VString("x"));
    EXPECT_FALSE(invalid.IsValid());
    EXPECT_EQ(Text(invalid), "");
}

TEST(VFilePathTest, DoubleSeparatorStepsResolveUpwards) {
    VFilePath stepped(VString("Disk:a:b::c"));
    EXPECT_TRUE(stepped.IsValid());
    EXPECT_EQ(Text(stepped), "Disk:a:c");

    VFilePath toRoot(VString("Disk:a::"));
    EXPECT_TRUE(toRoot.IsFolder());
    EXPECT_EQ(Text(toRoot), "Disk:");

    VFilePath twoUp(VString("Disk:a:b:::c:"));
    EXPECT_EQ(Text(twoUp), "Disk:c:");

    VFilePath downAndUp(VString("Disk:a::b:c::d"));
    EXPECT_EQ(Text(downAndUp), "Disk:b:d");
}

TEST(VFilePathTest, InvalidTextsKeepTheirText) {
    VFilePath leading(VString(":a:b"));
    EXPECT_FALSE(leading.IsValid());
    EXPECT_EQ(Text(leading), ":a:b");
    EXPECT_FALSE(leading.IsFolder());
    EXPECT_FALSE(leading.IsFile());
    EXPECT_EQ(Name(leading), "");
    EXPECT_EQ(Posix(leading), "");
    EXPECT_EQ(leading.GetPath(FilePathStyle::Posix).GetLength(), 0);

    VFilePath withNul(VString("Disk:a\0b:", 9));
    EXPECT_FALSE(withNul.IsValid());
    EXPECT_EQ(withNul.GetPath().GetLength(), 9);

    EXPECT_FALSE(VFilePath(VString("")).IsValid());
    EXPECT_FALSE(VFilePath().IsValid());

    // Steps above the volume name cannot be taken.
    VFilePath aboveRoot(VString("Disk::"));
    EXPECT_FALSE(aboveRoot.IsValid());
    EXPECT_EQ(Text(aboveRoot), "Disk::");
    EXPECT_FALSE(VFilePath(VString("Disk:a:::x")).IsValid());

    // Operations leave an invalid path alone.
    EXPECT_FALSE(leading.SetName(VString("x")));
    EXPECT_FALSE(leading.SetExtension(VString("x")));
    EXPECT_EQ(Text(leading), ":a:b");
}

TEST(VFilePathTest, RemoveBlanksTrimsAroundSeparatorsAndChecksAgain) {
    VFilePath path(VString("  Disk : my docs :  a.txt "));
    path.RemoveBlanks();
    EXPECT_TRUE(path.IsValid());
    EXPECT_EQ(Text(path), "Disk:my docs:a.txt");

    VFilePath leading(VString(" :a"));
    ASSERT_TRUE(leading.IsValid());
    leading.RemoveBlanks();
    EXPECT_FALSE(leading.IsValid());
}

TEST(VFilePathTest, PosixFoldersAndFilesRoundTrip) {
    VFilePath folder = FromPosix("/home/ann/");
    EXPECT_TRUE(folder.IsFolder());
    EXPECT_EQ(Text(folder), "Root:home:ann:");
    EXPECT_EQ(Posix(folder), "/home/ann/");

    VFilePath file = FromPosix("/home/ann/x.txt");
    EXPECT_TRUE(file.IsFile());
    EXPECT_EQ(Text(file), "Root:home:ann:x.txt");
    EXPECT_EQ(Posix(file), "/home/ann/x.txt");
    EXPECT_EQ(file.GetPath(FilePathStyle::Posix).ToUTF8(), "/home/ann/x.txt");
    EXPECT_EQ(file.GetPath(FilePathStyle::Native).ToUTF8(), "Root:home:ann:x.txt");

    VFilePath root = FromPosix("/");
    EXPECT_TRUE(root.IsFolder());
    EXPECT_EQ(Text(root), "Root:");
    EXPECT_EQ(Posix(root), "/");

    // A top-level folder that happens to be called like the volume.
    VFilePath named = FromPosix("/Root/x");
    EXPECT_EQ(Text(named), "Root:Root:x");
    EXPECT_EQ(Posix(named), "/Root/x");
}

TEST(VFilePathTest, PosixNamesHoldingColonsAndNonAsciiNamesRoundTrip) {
    VFilePath colon = FromPosix("/data/a:b/c:d.txt");
    EXPECT_EQ(Text(colon), "Root:data:a/b:c/d.txt");
    EXPECT_EQ(Posix(colon), "/data/a:b/c:d.txt");
    EXPECT_EQ(FileName(colon, true), "c/d.txt");
    EXPECT_EQ(Extension(colon), "txt");

    // Composed and decomposed forms are different names on Linux: both are kept exactly.
    const char* composed = "/home/Zo\xC3\xAB/\xC3\xA9t\xC3\xA9.txt";
    const char* decomposed = "/home/Zoe\xCC\x88/e\xCC\x81te\xCC\x81.txt";
    EXPECT_EQ(Posix(FromPosix(composed)), composed);
    EXPECT_EQ(Posix(FromPosix(decomposed)), decomposed);
    EXPECT_FALSE(FromPosix(composed) == FromPosix(decomposed));

    const char* emoji = "/tmp/\xF0\x9F\x98\x80/";
    VFilePath emojiPath = FromPosix(emoji);
    EXPECT_EQ(FolderName(emojiPath, true), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Posix(emojiPath), emoji);
}

TEST(VFilePathTest, PosixStepsAndDoubledSlashesAreResolved) {
    EXPECT_EQ(Text(FromPosix("/a//b/./c/../d")), "Root:a:b:d");
    EXPECT_EQ(Text(FromPosix("/a/b/..")), "Root:a:");
    EXPECT_EQ(Text(FromPosix("/a/../")), "Root:");
    EXPECT_EQ(Text(FromPosix("/a/./")), "Root:a:");
    // ".." at the root stays at the root, as the system does.
    VFilePath up = FromPosix("/../etc/passwd");
    EXPECT_TRUE(up.IsValid());
    EXPECT_EQ(Text(up), "Root:etc:passwd");
}

TEST(VFilePathTest, OtherVolumeNamesAreTopLevelFolders) {
    VFilePath path(VString("Disk:Users:ann:"));
    EXPECT_EQ(Posix(path), "/Disk/Users/ann/");
    EXPECT_EQ(Text(FromPosix(Posix(path).c_str())), "Root:Disk:Users:ann:");
    EXPECT_EQ(Posix(VFilePath(VString("Disk:"))), "/Disk/");
}

TEST(VFilePathTest, RelativePosixTextIsReadByTheRelativeRule) {
    // Not beginning with "/": the relative rule, so a name at the front reads as a volume name.
    VFilePath relative = FromPosix("a/b/");
    EXPECT_TRUE(relative.IsValid());
    EXPECT_EQ(Text(relative), "a:b:");
    EXPECT_FALSE(FromPosix("../x").IsValid());
    EXPECT_FALSE(FromPosix("").IsValid());
}

TEST(VFilePathTest, IsChildOfExcludesThePathItselfAndIsSameOrChildOfIncludesIt) {
    VFilePath parent(VString("Disk:a:"));
    VFilePath child(VString("Disk:a:b:c.txt"));
    VFilePath sibling(VString("Disk:ab:c"));
    VFilePath file(VString("Disk:a"));

    EXPECT_TRUE(child.IsChildOf(parent));
    EXPECT_TRUE(child.IsSameOrChildOf(parent));
    EXPECT_TRUE(child.IsChildOfRawPath(parent));

    EXPECT_FALSE(parent.IsChildOf(parent));
    EXPECT_TRUE(parent.IsSameOrChildOf(parent));
    EXPECT_FALSE(parent.IsChildOfRawPath(parent));

    EXPECT_FALSE(sibling.IsChildOf(parent));
    EXPECT_FALSE(sibling.IsSameOrChildOf(parent));
    EXPECT_FALSE(parent.IsChildOf(child));

    // The parent must be a folder path: "Disk:a" is a prefix of "Disk:ab:c" but not its folder.
    EXPECT_FALSE(sibling.IsChildOf(file));
    EXPECT_FALSE(sibling.IsSameOrChildOf(file));
    EXPECT_FALSE(child.IsChildOf(VFilePath()));
    EXPECT_FALSE(VFilePath().IsSameOrChildOf(parent));
}

TEST(VFilePathTest, ContainmentComparesNamesExactly) {
    // On Linux "Docs", "docs" and a decomposed "é" are other names than "Docs" and "é".
    VFilePath parent(VString("Disk:Docs:\u00e9:"));
    VString rest;
    for (const char* text : {"Disk:docs:\u00e9:x", "Disk:Docs:e\u0301:x", "Disk:DOCS:\u00e9:"})
        EXPECT_FALSE(VFilePath(VString(text)).IsSameOrChildOf(parent) ||
                     VFilePath(VString(text)).GetRelativePath(parent, rest));
}

TEST(VFilePathTest, RelativePathsFromAFolderBase) {
    VFilePath base(VString("Root:home:"));
    VFilePath path(base, VString("ann/docs/x.txt"), FilePathStyle::Posix);
    EXPECT_EQ(Text(path), "Root:home:ann:docs:x.txt");

    VFilePath up(base, VString("../etc/"), FilePathStyle::Posix);
    EXPECT_EQ(Text(up), "Root:etc:");

    VFilePath dotted(base, VString("./a/./b"), FilePathStyle::Posix);
    EXPECT_EQ(Text(dotted), "Root:home:a:b");

    // A full POSIX text ignores the base.
    VFilePath full(base, VString("/tmp/x"), FilePathStyle::Posix);
    EXPECT_EQ(Text(full), "Root:tmp:x");

    VFilePath native(base, VString("ann:b::c"), FilePathStyle::Native);
    EXPECT_EQ(Text(native), "Root:home:ann:c");

    // Leaving the volume is not a path.
    VFilePath escaped(base, VString("../../../x"), FilePathStyle::Posix);
    EXPECT_FALSE(escaped.IsValid());
}

TEST(VFilePathTest, AlwaysRelativeNeedsAFolderBaseAndAppendsEveryText) {
    VFilePath base(VString("Root:srv:"));
    VFilePath inside(base, VString("a/b"), FilePathStyle::Posix, true);
    EXPECT_EQ(Text(inside), "Root:srv:a:b");

    VFilePath fileBase(VString("Root:srv:f"));
    VFilePath refused(fileBase, VString("a"), FilePathStyle::Posix, true);
    EXPECT_FALSE(refused.IsValid());
    EXPECT_EQ(Text(refused), "");

    VFilePath slash(base, VString("/x"), FilePathStyle::Posix, true);
    EXPECT_TRUE(slash.IsSameOrChildOf(base));

    // The same from a folder object.
    EXPECT_TRUE(
        inside.FromRelativePath(vkit::VFolder(base), VString("b"), FilePathStyle::Posix, true).IsValid());
    EXPECT_FALSE(
        inside.FromRelativePath(vkit::VFolder(fileBase), VString("b"), FilePathStyle::Posix, true).IsValid());
}

TEST(VFilePathTest, RelativePathIsComputedAgainstAFolderBase) {
    VFilePath base(VString("Root:home:"));
    VFilePath path(VString("Root:home:ann:a:b/c.txt"));
    VString text;
    EXPECT_TRUE(path.GetRelativePath(base, text));
    EXPECT_EQ(text.ToUTF8(), "ann:a:b/c.txt");
    EXPECT_TRUE(path.GetRelativePosixPath(base, text));
    EXPECT_EQ(text.ToUTF8(), "ann/a/b:c.txt");

    EXPECT_TRUE(base.GetRelativePath(base, text));
    EXPECT_EQ(text.ToUTF8(), "");

    VFilePath outside(VString("Root:etc:passwd"));
    EXPECT_FALSE(outside.GetRelativePath(base, text));
    EXPECT_EQ(text.ToUTF8(), "Root:etc:passwd");
    EXPECT_FALSE(outside.GetRelativePosixPath(base, text));
    EXPECT_EQ(text.ToUTF8(), "/etc/passwd");

    // The base must be a folder.
    VFilePath fileBase(VString("Root:home"));
    EXPECT_FALSE(path.GetRelativePath(fileBase, text));
    EXPECT_FALSE(VFilePath(VString(":x")).GetRelativePosixPath(base, text));
    EXPECT_EQ(text.ToUTF8(), "");
}

TEST(VFilePathTest, RelativePosixTextOutOfTheBaseFails) {
    // What a namespace lookup does: build from the root, then take the text relative to it again.
    VFilePath root(VString("Root:srv:files:"));
    VFilePath inside(root, VString("a/../b/c"), FilePathStyle::Posix, true);
    VString text;
    EXPECT_TRUE(inside.GetRelativePosixPath(root, text));
    EXPECT_EQ(text.ToUTF8(), "b/c");

    VFilePath escaped(root, VString("../../etc/passwd"), FilePathStyle::Posix, true);
    ASSERT_TRUE(escaped.IsValid());
    EXPECT_FALSE(escaped.GetRelativePosixPath(root, text));
    EXPECT_EQ(text.ToUTF8(), "/etc/passwd");
}

TEST(VFilePathTest, ResolveRelativePosixRemovesStepsAndRefusesDoubledSlashes) {
    struct Case {
        const char* text;
        bool resolved;
        const char* result;
    };
    const Case cases[] = {
        {"a/./b", true, "a/b"},  {"a/b/../c", true, "a/c"},   {"a/b/../../c/", true, "c/"},
        {"../x", true, "../x"},  {"a/../../x", true, "../x"}, {"../../a/../b", true, "../../b"},
        {"a/..", true, ""},      {"a/b/..", true, "a/"},      {"./", true, ""},
        {"/a/../b", true, "/b"}, {"/a/.", true, "/a/"},       {"", true, ""},
        {"a//b", false, "a//b"}, {"//a", false, "//a"},       {"a/b//", false, "a/b//"},
    };
    for (const Case& c : cases) {
        VString text(c.text);
        EXPECT_EQ(VFilePath::ResolveRelativePosix(text), c.resolved) << c.text;
        EXPECT_EQ(text.ToUTF8(), c.result) << c.text;
    }
}

TEST(VFilePathTest, CopiesAreIndependentValues) {
    VFilePath original(VString("Disk:a:b:"));
    VFilePath copy(original);
    copy.ToSubFile(VString("x"));
    EXPECT_EQ(Text(original), "Disk:a:b:");
    VFilePath assigned;
    assigned.FromFilePath(copy);
    EXPECT_TRUE(assigned == copy);
    assigned.FromFilePath(assigned);
    EXPECT_EQ(Text(assigned), "Disk:a:b:x");

    VFilePath invalid(VString(":x"));
    VFilePath invalidCopy = invalid;
    EXPECT_FALSE(invalidCopy.IsValid());
    EXPECT_EQ(Text(invalidCopy), ":x");

    // Rebuilding a path from its own text.
    original.FromFullPath(original.GetPath(), FilePathStyle::Native);
    EXPECT_EQ(Text(original), "Disk:a:b:");
    VFilePath posix = FromPosix("/a/b/");
    posix.FromRelativePath(posix, VString("c"), FilePathStyle::Native);
    EXPECT_EQ(Text(posix), "Root:a:b:c");
    posix.FromFullPath(posix.GetPath(FilePathStyle::Posix), FilePathStyle::Posix);
    EXPECT_EQ(Text(posix), "Root:a:b:c");
}

TEST(VFilePathTest, DebugDumpTruncatesToTheBuffer) {
    VFilePath path(VString("Disk:\xC3\xA9t\xC3\xA9:"));
    char buffer[64];
    int size = sizeof(buffer);
    path.DebugDump(buffer, size);
    EXPECT_EQ(std::string(buffer), "Disk:\xC3\xA9t\xC3\xA9:");
    EXPECT_EQ(size, 11);
    char small[5];
    size = sizeof(small);
    path.DebugDump(small, size);
    EXPECT_EQ(std::string(small), "Disk");
    EXPECT_EQ(size, 4);
    VString dump;
    path.DebugDump(dump);
    EXPECT_EQ(dump, path.GetPath());
}
