// Tests of paths: VFilePath (validity, walks, names and extensions, containment, relative forms) and the
// conversions between native, POSIX and Windows texts (VURL, XPosixPath).
#include "files/VFilePath.h"
#include "files/VFolder.h"
#include "files/VURL.h"
#include "platform/posix/files/XPosixPath.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>

using vkit::EURLPathStyle;
using vkit::FilePathStyle;
using vkit::VFilePath;
using vkit::VString;
using vkit::VURL;
using vkit::XPosixPath;

namespace {

std::string Text(const VFilePath& inPath) {
    return inPath.GetPath().ToUTF8();
}

/// The text a getter of the path gives.
template <class... Arguments>
std::string Get(const VFilePath& inPath, void (VFilePath::*inGetter)(VString&, Arguments...) const,
                Arguments... inArguments) {
    VString text;
    (inPath.*inGetter)(text, inArguments...);
    return text.ToUTF8();
}

std::string Posix(const VFilePath& inPath) {
    return Get(inPath, &VFilePath::GetPosixPath);
}

VFilePath FromPosix(const char* inText) {
    return VFilePath(VString(inText), FilePathStyle::Posix);
}

/// "1 " or "0 " for a modifier's answer, then the path's text.
std::string After(bool inDone, const VFilePath& inPath) {
    return (inDone ? "1 " : "0 ") + Text(inPath);
}

std::string Bits(std::initializer_list<bool> inBits) {
    std::string bits;
    for (bool bit : inBits)
        bits += bit ? "1" : "0";
    return bits;
}

using Argument = const VString&;

/// The path a text gives read against this one as its base (the same from a folder), or "(invalid)".
std::string Relative(const VFilePath& inBase, Argument inText, FilePathStyle inStyle, bool inAlways) {
    VFilePath path(inBase, inText, inStyle, inAlways);
    VFilePath fromFolder;
    if (!(fromFolder.FromRelativePath(vkit::VFolder(inBase), inText, inStyle, inAlways) == path))
        return "(differs from a folder base)";
    return path.IsValid() ? Text(path) : "(invalid)";
}

/// What a getter of another path (parent or folder) answers, that path, and this one.
std::string Other(const VFilePath& inPath, bool (VFilePath::*inGetter)(VFilePath&) const) {
    VFilePath other;
    bool done = (inPath.*inGetter)(other);
    return After(done, other) + " " + Text(inPath);
}

/// The text of the path relative to a base given as native text, after whether it lies within it.
std::string Within(const VFilePath& inPath, Argument inBase,
                   bool (VFilePath::*inGetter)(const VFilePath&, VString&) const) {
    VString text;
    bool inside = (inPath.*inGetter)(VFilePath(inBase), text);
    return Bits({inside, inPath.IsSameOrChildOf(VFilePath(inBase))}) + " " + text.ToUTF8();
}

// What one operation, named by a letter, gives: a getter's text, or a modifier's answer and the path.
const std::map<char, std::string (*)(VFilePath&, Argument)> kOperations = {
    {'T', [](VFilePath& p, Argument) { return Text(p); }},
    {'P', [](VFilePath& p, Argument) { return Posix(p); }},
    {'n', [](VFilePath& p, Argument) { return Get(p, &VFilePath::GetName); }},
    {'x', [](VFilePath& p, Argument) { return Get(p, &VFilePath::GetExtension); }},
    {'f', [](VFilePath& p, Argument) { return Get(p, &VFilePath::GetFileName, false); }},
    {'F', [](VFilePath& p, Argument) { return Get(p, &VFilePath::GetFileName, true); }},
    {'d', [](VFilePath& p, Argument) { return Get(p, &VFilePath::GetFolderName, false); }},
    {'D', [](VFilePath& p, Argument) { return Get(p, &VFilePath::GetFolderName, true); }},
    {'#', [](VFilePath& p, Argument) { return std::to_string(p.GetDepth()); }},
    // The kind: valid, folder, file, has a parent.
    {'k',
     [](VFilePath& p, Argument) {
         return Bits({p.IsValid(), p.IsFolder(), p.IsFile(), p.HasParent()});
     }},
    {'u', [](VFilePath& p, Argument) { return After(p.ToParent().IsValid(), p); }},
    {'g', [](VFilePath& p, Argument) { return Other(p, &VFilePath::GetParent); }},
    {'G', [](VFilePath& p, Argument) { return Other(p, &VFilePath::GetFolder); }},
    {'o', [](VFilePath& p, Argument) { return After(p.ToFolder().IsValid(), p); }},
    {'N', [](VFilePath& p, Argument a) { return After(p.SetName(a), p); }},
    {'S', [](VFilePath& p, Argument a) { return After(p.SetFileName(a, true), p); }},
    {'s', [](VFilePath& p, Argument a) { return After(p.SetFileName(a, false), p); }},
    {'R', [](VFilePath& p, Argument a) { return After(p.SetFolderName(a, true), p); }},
    {'r', [](VFilePath& p, Argument a) { return After(p.SetFolderName(a, false), p); }},
    {'e', [](VFilePath& p, Argument a) { return After(p.SetExtension(a), p); }},
    {'E', [](VFilePath& p, Argument a) { return After(p.SetFileExtension(a), p); }},
    {'X', [](VFilePath& p, Argument a) { return After(p.SetFolderExtension(a), p); }},
    // The extension matched, ignoring and then minding case and diacritics.
    {'m',
     [](VFilePath& p, Argument a) {
         return Bits({p.MatchExtension(a), p.MatchExtension(a, true)});
     }},
    {'+', [](VFilePath& p, Argument a) { return After(p.ToSubFolder(a).IsFolder(), p); }},
    {'*', [](VFilePath& p, Argument a) { return After(p.ToSubFile(a).IsFile(), p); }},
    {'b', [](VFilePath& p, Argument) { return (p.RemoveBlanks(), After(p.IsValid(), p)); }},
    {'a', [](VFilePath& p, Argument a) { return Relative(p, a, FilePathStyle::Posix, false); }},
    {'A', [](VFilePath& p, Argument a) { return Relative(p, a, FilePathStyle::Posix, true); }},
    {'h', [](VFilePath& p, Argument a) { return Relative(p, a, FilePathStyle::Native, false); }},
    {'l', [](VFilePath& p, Argument a) { return Within(p, a, &VFilePath::GetRelativePath); }},
    {'L', [](VFilePath& p, Argument a) { return Within(p, a, &VFilePath::GetRelativePosixPath); }},
    // Containment in the argument: child, raw child, same or child; and the argument in the path.
    {'c',
     [](VFilePath& p, Argument a) {
         VFilePath o(a);
         return Bits({p.IsChildOf(o), p.IsChildOfRawPath(o), p.IsSameOrChildOf(o), o.IsChildOf(p)});
     }},
};

// Operations applied in turn to a path read from native text (or POSIX text when it starts with "/"),
// their results joined by "|".
struct PathCase {
    const char* fPath;
    const char* fOperations;
    const char* fArgument;
    const char* fExpected;
};

const PathCase kPathCases[] = {
    // Walks up to the volume root, then the path is empty and invalid, and stays so.
    {"Disk:a:b:", "kn#u", "", "1101|b|3|1 Disk:a:"},
    {"Disk:a:", "uk#nuk#u", "", "1 Disk:|1100|1|Disk|0 |0000|0|0 "},
    {"Disk:a:f.txt", "k#gGo", "", "1011|3|1 Disk:a: Disk:a:f.txt|1 Disk:a: Disk:a:f.txt|1 Disk:a:"},
    {"Disk:a:", "G", "", "1 Disk:a: Disk:a:"},
    {"name", "kgo", "", "1010|0  name|0 "},
    // Names and extensions.
    {"Disk:a:file.tar.gz", "xfFD", "", "gz|file.tar|file.tar.gz|"},
    {"Disk:home:.profile", "xfF", "", "profile||.profile"},
    {"Disk:home:a.", "xfs", "b", "|a|1 Disk:home:b"},
    {"Disk:v1.2:readme", "xf", "", "|readme"},
    {"Disk:Apps:Tool.app:", "Ddxm", "app", "Tool.app|Tool|app|11"},
    {"Disk:Apps:Tool.app:", "Fm", "APP", "|10"},
    {"Disk:Apps:Tool.app:", "m", "pp.", "00"},
    {"Disk:", "Dn", "", "Disk:|Disk"},
    {"/data/a:b/c:d.txt", "TFxP", "", "Root:data:a/b:c/d.txt|c/d.txt|txt|/data/a:b/c:d.txt"},
    {"/tmp/\xF0\x9F\x98\x80/", "DP", "", "\xF0\x9F\x98\x80|/tmp/\xF0\x9F\x98\x80/"},
    {"Disk:a:file.tar.gz", "m", "tar.gz", "11"},
    {"Disk:a:file.tar.gz", "m", "tar", "00"},
    // Renaming keeps the kind and refuses separators and empty names.
    {"Disk:a:b:", "N", "c", "1 Disk:a:c:"},
    {"Disk:a:f.txt", "N", "g", "1 Disk:a:g"},
    {"Disk:a:f.txt", "NSk", "a:b", "0 Disk:a:f.txt|0 Disk:a:f.txt|1011"},
    {"Disk:a:f.txt", "N", "", "0 Disk:a:f.txt"},
    {"Disk:a:b:", "R", ":", "0 Disk:a:b:"},
    {"Disk:", "N", "Other", "0 "},
    {"Disk:a:file.tar.gz", "s", "x", "1 Disk:a:x.gz"},
    {"Disk:a:file.tar.gz", "S", "x", "1 Disk:a:x"},
    {"Disk:a:", "sk", "new.txt", "1 Disk:a:new.txt|1011"},
    {"Disk:Apps:Tool.app:", "r", "Tool_old0001", "1 Disk:Apps:Tool_old0001.app:"},
    {"Disk:Apps:Tool.app:", "R", "Other", "1 Disk:Apps:Other:"},
    {"Disk:a:f", "R", "x", "0 Disk:a:f"},
    {"Disk:a:f", "s", "", "0 Disk:a:f"},
    // Extensions added, replaced and removed; ".profile" would lose its whole name.
    {"Disk:a:notes", "eX", "txt", "1 Disk:a:notes.txt|0 Disk:a:notes.txt"},
    {"Disk:a:notes.txt", "E", "md", "1 Disk:a:notes.md"},
    {"Disk:a:notes.md", "E", "", "1 Disk:a:notes"},
    {"Disk:a:b.", "E", "c", "1 Disk:a:b.c"},
    {"Disk:a:.profile", "E", "", "0 Disk:a:.profile"},
    {"Disk:a:.profile", "E", "a:b", "0 Disk:a:.profile"},
    {"Disk:a:Tool.app:", "eE", "bak", "1 Disk:a:Tool.bak:|0 Disk:a:Tool.bak:"},
    {"Disk:a:Tool.bak:", "X", "", "1 Disk:a:Tool:"},
    // Only folders are extended.
    {"Disk:a:f", "+*", "x", "0 Disk:a:f|1 Disk:a:f"},
    {"Disk:a:", "+*", "b", "1 Disk:a:b:|1 Disk:a:b:b"},
    {"", "+", "x", "0 "},
    // Doubled separators step up; steps above the volume make no path, and invalid texts are kept.
    {"Disk:a:b::c", "kT", "", "1011|Disk:a:c"},
    {"Disk:a::", "kT", "", "1100|Disk:"},
    {"Disk:a:b:::c:", "T", "", "Disk:c:"},
    {":a:b", "knPNeT", "x", "0000|||0 :a:b|0 :a:b|:a:b"},
    {"Disk::", "kT", "", "0000|Disk::"},
    {"Disk:a:::x", "kT", "", "0000|Disk:a:::x"},
    {"  Disk : my docs :  a.txt ", "b", "", "1 Disk:my docs:a.txt"},
    {" :a", "kb", "", "1011|0 :a"},
    // POSIX texts: full paths live in the "Root" volume, steps and doubled slashes are resolved.
    {"/home/ann/", "kTP", "", "1101|Root:home:ann:|/home/ann/"},
    {"/home/ann/x.txt", "kTP", "", "1011|Root:home:ann:x.txt|/home/ann/x.txt"},
    {"/", "kTP", "", "1100|Root:|/"},
    {"/Root/x", "TP", "", "Root:Root:x|/Root/x"},
    {"/a//b/./c/../d", "T", "", "Root:a:b:d"},
    {"/a/b/..", "T", "", "Root:a:"},
    {"/../etc/passwd", "kT", "", "1011|Root:etc:passwd"},
    {"Disk:Users:ann:", "P", "", "/Disk/Users/ann/"},
    {"Disk:", "P", "", "/Disk/"},
    // Containment: the parent must be a folder path, and the path itself is no child of itself.
    {"Disk:a:b:c.txt", "c", "Disk:a:", "1110"},
    {"Disk:a:", "c", "Disk:a:", "0010"},
    {"Disk:a:", "c", "Disk:a:b:c.txt", "0001"},
    {"Disk:ab:c", "c", "Disk:a:", "0000"},
    {"Disk:ab:c", "c", "Disk:a", "0000"},
    {"Disk:ab:c", "c", "", "0000"},
    {"", "c", "Disk:a:", "0000"},
    // Texts read against a base: a full POSIX text ignores it; leaving the volume makes no path.
    {"Root:home:", "a", "ann/docs/x.txt", "Root:home:ann:docs:x.txt"},
    {"Root:home:", "a", "../etc/", "Root:etc:"},
    {"Root:home:", "a", "./a/./b", "Root:home:a:b"},
    {"Root:home:", "a", "/tmp/x", "Root:tmp:x"},
    {"Root:home:", "a", "../../../x", "(invalid)"},
    {"Root:home:", "h", "ann:b::c", "Root:home:ann:c"},
    {"Root:srv:", "A", "a/b", "Root:srv:a:b"},
    {"Root:srv:f", "A", "a", "(invalid)"},
    // The text relative to a folder base, names compared exactly; outside it, the full text.
    {"Root:home:ann:a:b/c.txt", "lL", "Root:home:", "11 ann:a:b/c.txt|11 ann/a/b:c.txt"},
    {"Root:home:", "lL", "Root:home:", "11 |11 "},
    {"Root:etc:passwd", "lL", "Root:home:", "00 Root:etc:passwd|00 /etc/passwd"},
    {"Root:home:ann:x", "l", "Root:home", "00 Root:home:ann:x"},
    {"Disk:docs:\u00e9:x", "L", "Disk:Docs:\u00e9:", "00 /Disk/docs/\u00e9/x"},
    {"Disk:Docs:e\u0301:x", "l", "Disk:Docs:\u00e9:", "00 Disk:Docs:e\u0301:x"},
    {":x", "lL", "Root:home:", "00 :x|00 "},
};

TEST(VFilePathTest, Table) {
    for (const PathCase& row : kPathCases) {
        SCOPED_TRACE(std::string(row.fPath) + " " + row.fOperations + " " + row.fArgument);
        VFilePath path = row.fPath[0] == '/' ? FromPosix(row.fPath) : VFilePath(VString(row.fPath));
        std::string results;
        for (const char* operation = row.fOperations; *operation != 0; ++operation)
            results +=
                (operation == row.fOperations ? "" : "|") + kOperations.at(*operation)(path, row.fArgument);
        EXPECT_EQ(results, row.fExpected);
    }
    EXPECT_EQ(Text(FromPosix(Posix(VFilePath(VString("Disk:Users:ann:"))).c_str())), "Root:Disk:Users:ann:");
    // Relative POSIX text read without a base: a name at the front reads as a volume name.
    EXPECT_EQ(Text(FromPosix("a/b/")), "a:b:");
    EXPECT_FALSE(FromPosix("../x").IsValid() || FromPosix("").IsValid() || VFilePath().IsValid());
    VFilePath withNul(VString("Disk:a\0b:", 9));
    EXPECT_FALSE(withNul.IsValid());
    EXPECT_EQ(withNul.GetPath().GetLength(), 9);
}

TEST(VFilePathTest, ResolveRelativePosixRemovesStepsAndRefusesDoubledSlashes) {
    // clang-format off
    const std::pair<const char*, const char*> cases[] = {
        {"a/./b", "a/b"}, {"a/b/../c", "a/c"}, {"a/b/../../c/", "c/"}, {"../x", "../x"},
        {"a/../../x", "../x"}, {"../../a/../b", "../../b"}, {"a/..", ""}, {"a/b/..", "a/"}, {"./", ""},
        {"/a/../b", "/b"}, {"/a/.", "/a/"}, {"", ""}, {"a//b", "(refused)"}, {"//a", "(refused)"},
        {"a/b//", "(refused)"},
    };
    // clang-format on
    for (auto [input, expected] : cases) {
        VString text(input);
        bool resolved = VFilePath::ResolveRelativePosix(text);
        EXPECT_EQ(resolved                 ? text.ToUTF8()
                  : text.ToUTF8() == input ? "(refused)"
                                           : "(changed)",
                  expected)
            << input;
    }
}

// A text converted: 'n' POSIX to native, 'p' native to POSIX, 'r' relative native to POSIX, 'w' relative
// POSIX to Windows, 'W' Windows to POSIX, 'h' native to Windows, 'H' Windows to native, 'P' POSIX to POSIX,
// 'N' relative native to native. Full POSIX paths live in the "Root" volume; the relative POSIX rule counts
// separators and skips "." steps at the start of a component; the relative native rule turns runs of
// separators into steps; Windows style exchanges slashes only; pairs without a rule leave the text alone.
struct ConvertCase {
    const char* fText;
    char fConversion;
    const char* fExpected;
};

// clang-format off
const ConvertCase kConvertCases[] = {
    {"/home/ann/", 'n', "Root:home:ann:"}, {"/home/ann/x.txt", 'n', "Root:home:ann:x.txt"},
    {"/", 'n', "Root:"}, {"Root:home:ann:", 'p', "/home/ann/"}, {"Root:", 'p', "/"}, {"Root", 'p', "/"},
    {"", 'p', ""}, {"Disk:a", 'p', "/Disk/a"}, {"a/b/", 'n', "a:b:"}, {"../x", 'n', ":x"},
    {"a/../b", 'n', "a::b"}, {"../../x/", 'n', "::x:"}, {"./a/./b", 'n', "a:b"}, {"././a", 'n', "a"},
    {"a:b/c", 'n', "a/b:c"}, {"a./b", 'n', "a.:b"}, {"x../y", 'n', "x..:y"},
    {".hidden/..", 'n', ".hidden:.."}, {"", 'n', ""}, {"../", 'n', ":"}, {"a:b:", 'r', "a/b/"},
    {"a::b", 'r', "a/../b"}, {"a:::", 'r', "a/../../"}, {":x", 'r', "../x"}, {"::x", 'r', "../../x"},
    {":", 'r', ""}, {"a/b:c", 'r', "a:b/c"}, {"", 'r', ""}, {"a/b/c", 'w', "a\\b\\c"},
    {"C:\\x\\y", 'W', "C:/x/y"}, {"a:b\\c", 'h', "a:b\\c"}, {"a\\b:c", 'H', "a\\b:c"}, {"/a/b", 'P', "/a/b"},
    {"a::b", 'N', "a::b"},
};
// clang-format on

TEST(VURLTest, Table) {
    constexpr EURLPathStyle kPosix = EURLPathStyle::Posix, kNative = EURLPathStyle::Hfs,
                            kWindows = EURLPathStyle::Windows;
    const std::map<char, std::tuple<EURLPathStyle, EURLPathStyle, bool>> conversions = {
        {'n', {kPosix, kNative, false}},   {'p', {kNative, kPosix, false}},
        {'r', {kNative, kPosix, true}},    {'w', {kPosix, kWindows, true}},
        {'W', {kWindows, kPosix, false}},  {'h', {kNative, kWindows, false}},
        {'H', {kWindows, kNative, false}}, {'P', {kPosix, kPosix, false}},
        {'N', {kNative, kNative, true}}};
    for (const ConvertCase& row : kConvertCases) {
        SCOPED_TRACE(row.fText);
        auto [from, to, relative] = conversions.at(row.fConversion);
        VString text(row.fText);
        VURL::Convert(text, from, to, relative);
        EXPECT_EQ(text.ToUTF8(), row.fExpected);
    }
}

std::string NativeOfUTF8(const std::string& inPosix, bool inIsFolder = false) {
    VString native;
    EXPECT_TRUE(XPosixPath::PosixToNative(std::string_view(inPosix), inIsFolder, native)) << inPosix;
    return native.ToUTF8();
}

std::string PosixUTF8(const VString& inNative) {
    std::string posix = "stale";
    XPosixPath::NativeToPosixUTF8(inNative.View(), posix);
    return posix;
}

/// The native text GetFilePathFromPosixPath makes of a system path, "(invalid)" for an invalid path.
std::string FromSystem(std::string_view inPosix, bool inIsFolder) {
    VFilePath path;
    XPosixPath::GetFilePathFromPosixPath(inPosix, inIsFolder, path);
    return path.IsValid() ? path.GetPath().ToUTF8() : "(invalid)";
}

struct ToNativeCase {
    const char* fPosix;
    bool fIsFolder;
    const char* fNative;
};

// UTF-8 in without normalization; ":" and "/" exchanged; a last name of ":" is a file named "/"; the folder
// flag makes a folder path.
// clang-format off
const ToNativeCase kToNativeCases[] = {
    {"/home/Zo\xC3\xAB/", false, "Root:home:Zo\xC3\xAB:"},
    {"/home/Zoe\xCC\x88/", false, "Root:home:Zoe\xCC\x88:"},
    {"/a:b/\xF0\x9F\x98\x80", false, "Root:a/b:\xF0\x9F\x98\x80"}, {"/a/:", false, "Root:a:/"},
    {"/:/", false, "Root:/:"}, {"/", true, "Root:"}, {"/a/b", true, "Root:a:b:"},
    {"/a/b/", true, "Root:a:b:"}, {"/a/b/..", true, "Root:a:"}, {"/a/.", false, "Root:a"},
    {"/a/.", true, "Root:a:"},
};
// clang-format on

TEST(XPosixPathTest, Table) {
    for (const ToNativeCase& row : kToNativeCases) {
        SCOPED_TRACE(row.fPosix);
        EXPECT_EQ(NativeOfUTF8(row.fPosix, row.fIsFolder), row.fNative);
    }
    EXPECT_EQ(PosixUTF8(VString("Root:a/b:\xF0\x9F\x98\x80:")), "/a:b/\xF0\x9F\x98\x80/");
    EXPECT_EQ(PosixUTF8(VString("Vol/x:a/b")), "/Vol/x/a:b");
    EXPECT_EQ(PosixUTF8(VString("")), "");
    // Only U+DC80 to U+DCFF stand for bytes; another unpaired surrogate cannot be written as UTF-8.
    const char16_t units[] = {u'R', u'o', u'o', u't', u':', 0xD800, u'x', 0xDC00};
    EXPECT_EQ(PosixUTF8(VString(units, 8)), "/\xEF\xBF\xBDx\xEF\xBF\xBD");
    // Only full paths convert.
    VString native("stale");
    EXPECT_FALSE(XPosixPath::PosixToNative(std::u16string_view(u"a/b"), false, native));
    EXPECT_TRUE(native.IsEmpty());
    EXPECT_FALSE(XPosixPath::PosixToNative(std::string_view(""), false, native));
}

TEST(XPosixPathTest, PathsReadFromTheSystem) {
    EXPECT_EQ(FromSystem("/tmp/dir", true), "Root:tmp:dir:");
    EXPECT_EQ(FromSystem("/tmp/file", false), "Root:tmp:file");
    EXPECT_EQ(FromSystem("x/y", true), "x:y:") << "not a full path: read as FromFullPath reads POSIX text";
    EXPECT_EQ(FromSystem("../y", false), "(invalid)");
    // A NUL read from somewhere else still makes an invalid path, never a shorter one.
    EXPECT_EQ(FromSystem(std::string_view("/a\0b", 4), false), "(invalid)");
    EXPECT_EQ(FromSystem(std::string_view("/a\0b/..", 7), false), "(invalid)");
    EXPECT_FALSE(VFilePath(VString("/x/a\0b/../", 11), FilePathStyle::Posix).IsValid());
    VFilePath path;
    XPosixPath::GetFilePathFromPosixPath(static_cast<const char*>(nullptr), false, path);
    EXPECT_TRUE(!path.IsValid() && path.GetPath().IsEmpty());
    std::string posix = "stale";
    EXPECT_FALSE(XPosixPath::GetPosixPath(path, posix));
    EXPECT_EQ(posix, "");
    XPosixPath::GetPosixPathFromString(VString("e\xCC\x81:/"), posix);
    EXPECT_EQ(posix, "e\xCC\x81:/");
}

} // namespace
