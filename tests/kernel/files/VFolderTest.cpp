// Tests of VFolder: existence, creation, deletion, copies, renaming, moving, the trash, system folders,
// and that no recursive operation follows a link out of its tree.
#include "VFileTestSupport.h"

#include "bags/VValueBag.h"
#include "files/VFileErrorCodes.h"
#include "files/VFileSystem.h"
#include "support/VTestTempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace vkit;
using namespace vkit::testing;

// While sVanishingName is set, readdir here gives entries without their type (as file systems that do
// not record it do), so that the reader looks each up, and removes that entry just before giving it.
static std::string sVanishingName;

extern "C" struct dirent* readdir(DIR* inDirectory) {
    static const auto sReal = reinterpret_cast<struct dirent* (*)(DIR*)>(::dlsym(RTLD_NEXT, "readdir"));
    struct dirent* entry = sReal(inDirectory);
    if (entry != nullptr && !sVanishingName.empty()) {
        entry->d_type = DT_UNKNOWN;
        if (sVanishingName == entry->d_name)
            ::unlinkat(::dirfd(inDirectory), entry->d_name, 0);
    }
    return entry;
}

namespace {

const ::testing::Environment* const sEnvironment =
    ::testing::AddGlobalTestEnvironment(new FilesTestEnvironment);

constexpr VError kPosixENOENT = MakeVErrorFromPosix(ENOENT);
constexpr VError kPosixEEXIST = MakeVErrorFromPosix(EEXIST);

class VFolderTest : public ::testing::Test {
protected:
    /// A folder outside every tree the test works on, reached only through links.
    std::string MakeSentinel() {
        fTemp.WriteFile("sentinel/keep.txt", "keep");
        return fTemp / "sentinel";
    }
    void ExpectSentinelIntact() {
        EXPECT_EQ(ReadFile(fTemp / "sentinel/keep.txt"), "keep");
        EXPECT_EQ(Mode(fTemp / "sentinel"), 0755u);
    }

    VTestTempFolder fTemp;
};

TEST_F(VFolderTest, ExistsNeedsAFolderPathAndADirectory) {
    fTemp.MakeFolder("dir");
    fTemp.WriteFile("file", "x");
    EXPECT_TRUE(FolderAt(fTemp / "dir")->Exists());
    EXPECT_FALSE(FolderAt(fTemp / "file")->Exists());
    // A file path naming a directory is not a folder.
    VFolder filePathFolder(VString((fTemp / "dir").c_str()), FilePathStyle::Posix);
    EXPECT_FALSE(filePathFolder.Exists());
    ASSERT_EQ(::symlink((fTemp / "dir").c_str(), (fTemp / "link").c_str()), 0);
    EXPECT_TRUE(FolderAt(fTemp / "link")->Exists()) << "links to folders are followed";
}

TEST_F(VFolderTest, CreateOnAnExistingFolderPushesNothing) {
    fTemp.MakeFolder("dir");
    StErrorContextInstaller guard;
    EXPECT_EQ(FolderAt(fTemp / "dir")->Create(), VE_OK);
    EXPECT_TRUE(Codes(guard).empty()) << Dump(guard);
}

TEST_F(VFolderTest, CreateWithoutParentPushesTheSystemErrorThenTheFolderError) {
    StErrorContextInstaller guard;
    VRefPtr<VFolder> folder = FolderAt(fTemp / "missing/dir");
    // ENOENT translates to 600.
    EXPECT_EQ(folder->Create(), VE_FILE_NOT_FOUND);
    EXPECT_EQ(Codes(guard), (std::vector<VError>{kPosixENOENT, VE_FILE_NOT_FOUND})) << Dump(guard);
    EXPECT_EQ(LastParameter(guard, "path"), folder->GetPath().GetPath().ToUTF8());
    EXPECT_EQ(LastParameter(guard, "name"), "dir");
    VString description;
    guard.GetContext()->GetLast()->GetErrorDescription(description);
    EXPECT_NE(description.ToUTF8().find("No such file or directory"), std::string::npos)
        << description.ToUTF8();
}

TEST_F(VFolderTest, CreateRecursiveMakesEveryMissingLevel) {
    StErrorContextInstaller guard;
    EXPECT_EQ(FolderAt(fTemp / "a/b/c")->CreateRecursive(true), VE_OK) << Dump(guard);
    EXPECT_TRUE(FolderAt(fTemp / "a/b/c")->Exists());
    EXPECT_EQ(Mode(fTemp / "a/b/c") & 0222, 0222u) << "made writable by all";
    EXPECT_EQ(Mode(fTemp.Path()) & 0022, 0u) << "an existing level is left alone";
}

TEST_F(VFolderTest, FilteredFileErrorIsPushedAlone) {
    StErrorContextInstaller guard{VE_FILE_NOT_FOUND, VE_OK};
    EXPECT_EQ(FolderAt(fTemp / "missing/dir")->Create(), VE_FILE_NOT_FOUND);
    EXPECT_EQ(Codes(guard), std::vector<VError>{VE_FILE_NOT_FOUND}) << Dump(guard);
}

TEST_F(VFolderTest, DeleteWithoutRecursionRefusesAFolderHoldingOneInvisibleFile) {
    fTemp.WriteFile("dir/.hidden", "x");
    StErrorContextInstaller guard;
    EXPECT_EQ(FolderAt(fTemp / "dir")->Delete(false), VE_FOLDER_NOT_EMPTY);
    EXPECT_EQ(Codes(guard), (std::vector<VError>{VE_FOLDER_NOT_EMPTY, VE_FOLDER_NOT_EMPTY})) << Dump(guard);
    EXPECT_TRUE(ItemExists(fTemp / "dir/.hidden"));
}

TEST_F(VFolderTest, DeleteRemovesEmptyAndWholeTrees) {
    fTemp.MakeFolder("empty");
    fTemp.WriteFile("tree/a/b/.c", "1");
    fTemp.WriteFile("tree/d", "2");
    ASSERT_EQ(::mkfifo((fTemp / "tree/a/fifo").c_str(), 0600), 0);
    StErrorContextInstaller guard;
    EXPECT_EQ(FolderAt(fTemp / "empty")->Delete(false), VE_OK) << Dump(guard);
    EXPECT_EQ(FolderAt(fTemp / "tree")->Delete(true), VE_OK) << Dump(guard);
    EXPECT_FALSE(ItemExists(fTemp / "empty"));
    EXPECT_FALSE(ItemExists(fTemp / "tree"));
}

TEST_F(VFolderTest, RecursiveDeleteRemovesLinksWithoutFollowingThem) {
    std::string sentinel = MakeSentinel();
    fTemp.WriteFile("tree/sub/file", "x");
    ASSERT_EQ(::symlink(sentinel.c_str(), (fTemp / "tree/sub/to-sentinel").c_str()), 0);
    ASSERT_EQ(::symlink((sentinel + "/keep.txt").c_str(), (fTemp / "tree/to-file").c_str()), 0);
    StErrorContextInstaller guard;
    EXPECT_EQ(FolderAt(fTemp / "tree")->Delete(true), VE_OK) << Dump(guard);
    EXPECT_FALSE(ItemExists(fTemp / "tree"));
    ExpectSentinelIntact();
}

TEST_F(VFolderTest, DeleteContentsOfALinkToAFolderFailsAndLeavesTheTarget) {
    std::string sentinel = MakeSentinel();
    ASSERT_EQ(::symlink(sentinel.c_str(), (fTemp / "link").c_str()), 0);
    StErrorContextInstaller guard;
    EXPECT_NE(FolderAt(fTemp / "link")->Delete(true), VE_OK);
    ExpectSentinelIntact();
}

TEST_F(VFolderTest, CopyIntoItsOwnSubFolderIsRefusedAndCopiesNothing) {
    fTemp.WriteFile("src/sub/file", "x");
    VRefPtr<VFolder> source = FolderAt(fTemp / "src");
    VRefPtr<VFolder> sub = FolderAt(fTemp / "src/sub");
    for (FileCopyOptions options : {FileCopyOptions(0), kCopyOverwrite}) {
        StErrorContextInstaller guard;
        VFolder* copy = reinterpret_cast<VFolder*>(1);
        EXPECT_EQ(source->CopyTo(*sub, &copy, options), VE_FOLDER_CANNOT_COPY);
        EXPECT_EQ(copy, nullptr);
        EXPECT_EQ(Codes(guard), std::vector<VError>{VE_FOLDER_CANNOT_COPY}) << Dump(guard);
        EXPECT_EQ(LastParameter(guard, "destination"), sub->GetPath().GetPath().ToUTF8());
        EXPECT_EQ(TreeOf(fTemp / "src"),
                  (std::vector<std::string>{"/sub 493 folder", "/sub/file 420 file x"}));
    }
    StErrorContextInstaller guard;
    EXPECT_EQ(source->CopyTo(*source, nullptr, 0), VE_FOLDER_CANNOT_COPY) << "into itself";
    EXPECT_EQ(source->CopyContentsTo(*FolderAt(fTemp / "src/new"), 0), VE_FOLDER_CANNOT_COPY);
    EXPECT_FALSE(ItemExists(fTemp / "src/new"));
}

/// A source tree with every kind of item the copy must keep: modes, hidden items, links, empty folders.
std::string MakeSourceTree(const VTestTempFolder& inTemp, const std::string& inSentinel) {
    inTemp.WriteFile("src/App/Contents/Info.plist", "<plist/>");
    inTemp.WriteFile("src/App/Contents/MacOS/run", "#!/bin/sh\n");
    ::chmod((inTemp / "src/App/Contents/MacOS/run").c_str(), 0751);
    inTemp.WriteFile("src/App/.hidden", "h");
    inTemp.MakeFolder("src/App/empty");
    inTemp.MakeFolder("src/App/private");
    ::chmod((inTemp / "src/App/private").c_str(), 0700);
    ::symlink("Contents/Info.plist", (inTemp / "src/App/relative-link").c_str());
    ::symlink(inSentinel.c_str(), (inTemp / "src/App/to-sentinel").c_str());
    ::symlink("nowhere", (inTemp / "src/App/dangling").c_str());
    return inTemp / "src/App";
}

TEST_F(VFolderTest, CopyWithOverwriteLeavesExactlyTheSourceTree) {
    std::string source = MakeSourceTree(fTemp, MakeSentinel());
    fTemp.WriteFile("dst/App/stale.txt", "old");
    fTemp.WriteFile("dst/App/Contents/Info.plist", "old");
    fTemp.WriteFile("dst/App/Contents/Old/deep", "old");
    StErrorContextInstaller guard;
    VFolder* copy = nullptr;
    EXPECT_EQ(FolderAt(source)->CopyTo(*FolderAt(fTemp / "dst"), &copy, kCopyOverwrite), VE_OK)
        << Dump(guard);
    VRefPtr<VFolder> copyRef = AdoptRef(copy);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetPath().GetPath().ToUTF8(), FolderAt(fTemp / "dst/App")->GetPath().GetPath().ToUTF8());
    EXPECT_EQ(TreeOf(fTemp / "dst/App"), TreeOf(source));
    EXPECT_TRUE(IsLink(fTemp / "dst/App/to-sentinel"));
    EXPECT_EQ(LinkText(fTemp / "dst/App/relative-link"), "Contents/Info.plist");
    ExpectSentinelIntact();
}

TEST_F(VFolderTest, ItemByItemCopyKeepsModesTimesLinksAndHiddenItems) {
    std::string source = MakeSourceTree(fTemp, MakeSentinel());
    struct timespec times[2] = {{1000000000, 0}, {1200000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (source + "/Contents").c_str(), times, 0), 0);
    ASSERT_EQ(::chmod(source.c_str(), 0750), 0);
    StErrorContextInstaller guard;
    EXPECT_EQ(FolderAt(source)->CopyContentsTo(*FolderAt(fTemp / "copy"), 0), VE_OK) << Dump(guard);
    EXPECT_EQ(TreeOf(fTemp / "copy"), TreeOf(source));
    EXPECT_EQ(Mode(fTemp / "copy"), 0750u) << "a destination the copy made takes the source's mode";
    struct stat info;
    ASSERT_EQ(::stat((fTemp / "copy/Contents").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, 1200000000);
    ExpectSentinelIntact();
}

TEST_F(VFolderTest, CopyOfAMissingFolderFailsAndLeavesNoDestination) {
    fTemp.MakeFolder("dst");
    for (FileCopyOptions options : {FileCopyOptions(0), kCopyOverwrite}) {
        StErrorContextInstaller guard;
        EXPECT_EQ(FolderAt(fTemp / "missing")->CopyTo(*FolderAt(fTemp / "dst"), nullptr, options),
                  VE_FILE_NOT_FOUND)
            << Dump(guard);
        EXPECT_FALSE(ItemExists(fTemp / "dst/missing"));
    }
}

TEST_F(VFolderTest, CopySkipsInvisibleItemsWhenAsked) {
    fTemp.WriteFile("src/.hidden", "h");
    fTemp.WriteFile("src/.hidden-dir/x", "h");
    fTemp.WriteFile("src/shown", "s");
    StErrorContextInstaller guard;
    EXPECT_EQ(FolderAt(fTemp / "src")->CopyContentsTo(*FolderAt(fTemp / "copy"), kCopySkipInvisible), VE_OK)
        << Dump(guard);
    EXPECT_EQ(TreeOf(fTemp / "copy"), std::vector<std::string>{"/shown 420 file s"});
}

TEST_F(VFolderTest, ListingsSurviveAnEntryThatVanishesWhileTheyAreRead) {
    StErrorContextInstaller guard;
    std::vector<VRefPtr<IFileSystemObject>> elements;
    for (char step : {'e', 'c', 'd'}) {
        fTemp.WriteFile("src/gone", "g");
        fTemp.WriteFile("src/sub/kept", "k");
        sVanishingName = "gone";
        VError error = step == 'e'
                           ? FolderAt(fTemp / "src")->GetElements(elements, kIterateFiles | kIterateFolders)
                       : step == 'c' ? FolderAt(fTemp / "src")->CopyContentsTo(*FolderAt(fTemp / "copy"), 0)
                                     : FolderAt(fTemp / "src")->DeleteContents(true);
        sVanishingName.clear();
        EXPECT_EQ(error, VE_OK) << step << Dump(guard);
    }
    // GetElements gave the sub-folder; a missing folder fails.
    EXPECT_EQ(elements.size(), 1u);
    EXPECT_EQ(FolderAt(fTemp / "missing")->GetElements(elements, kIterateFiles), VE_FILE_NOT_FOUND);
}

// In a folder holding src/a, src/src/b, App/x, app/ and the link src/self -> ".". Operations, all with
// kCopyOverwrite: 'f' file copy and 'm' file move onto fTo, 'F' folder copy into fTo under its own name.
struct TargetCase {
    const char* fLabel;
    char fOperation;
    const char* fFrom;
    const char* fTo;
    VError fExpected;
};

const TargetCase kTargetCases[] = {
    {"file onto itself", 'f', "src/a", "src/a", VE_FILE_CANNOT_COPY},
    {"file through a linked parent", 'f', "src/a", "src/self/a", VE_FILE_CANNOT_COPY},
    {"file moved onto itself", 'm', "src/a", "src/self/a", VE_FILE_CANNOT_MOVE},
    {"folder into its own parent", 'F', "src", ".", VE_FOLDER_CANNOT_COPY},
    {"folder into an ancestor, onto the folder holding it", 'F', "src/src", ".", VE_FOLDER_CANNOT_COPY},
    {"folder onto itself through a linked parent", 'F', "src/src", "src/self", VE_FOLDER_CANNOT_COPY},
    {"folder into one whose name differs only in case", 'F', "App", "app", VE_OK},
};

TEST_F(VFolderTest, TargetsThatAreOrHoldOrLieInTheSourceAreRefusedWithNothingChanged) {
    fTemp.WriteFile("src/a", "a");
    fTemp.WriteFile("src/src/b", "b");
    fTemp.WriteFile("App/x", "x");
    fTemp.MakeFolder("app");
    ASSERT_EQ(::symlink(".", (fTemp / "src/self").c_str()), 0);
    std::vector<std::string> before = TreeOf(fTemp.Path());
    for (const TargetCase& row : kTargetCases) {
        StErrorContextInstaller guard;
        const std::string from = fTemp / row.fFrom, to = fTemp / row.fTo;
        VError error = row.fOperation == 'F' ? FolderAt(from)->CopyTo(*FolderAt(to), nullptr, kCopyOverwrite)
                       : row.fOperation == 'f'
                           ? FileAt(from)->CopyTo(FileAt(to)->GetPath(), nullptr, kCopyOverwrite)
                           : FileAt(from)->Move(FileAt(to)->GetPath(), nullptr, kCopyOverwrite);
        EXPECT_EQ(error, row.fExpected) << row.fLabel << Dump(guard);
        // Refused with a file error that says why, the disk as it was.
        EXPECT_EQ(TreeOf(fTemp.Path()) == before, row.fExpected != VE_OK) << row.fLabel;
        EXPECT_EQ(Dump(guard).find("destination") != std::string::npos, row.fExpected != VE_OK) << row.fLabel;
    }
}

std::string sVanishingItem;

void RemoveVanishingItem(const VFolder&) {
    ::unlink(sVanishingItem.c_str());
}

class StListingHook {
public:
    explicit StListingHook(VFolder::ListingHook inHook) { VFolder::SetListingHookForTests(inHook); }
    ~StListingHook() { VFolder::SetListingHookForTests(nullptr); }
};

TEST_F(VFolderTest, CopyContentsGoesOnAfterAVanishedItemAndAnswersTheFirstError) {
    fTemp.WriteFile("src/a.txt", "a");
    fTemp.WriteFile("src/b.txt", "b");
    fTemp.WriteFile("src/c.txt", "c");
    fTemp.WriteFile("src/sub/d.txt", "d");
    sVanishingItem = fTemp / "src/b.txt";
    StListingHook hook(RemoveVanishingItem);
    StErrorContextInstaller guard;
    VError error = FolderAt(fTemp / "src")->CopyContentsTo(*FolderAt(fTemp / "copy"), kCopyContinueOnError);
    EXPECT_EQ(error, VE_FILE_NOT_FOUND) << Dump(guard);
    EXPECT_EQ(Codes(guard), (std::vector<VError>{kPosixENOENT, VE_FILE_NOT_FOUND})) << Dump(guard);
    EXPECT_EQ(TreeOf(fTemp / "copy"), (std::vector<std::string>{"/a.txt 420 file a", "/c.txt 420 file c",
                                                                "/sub 493 folder", "/sub/d.txt 420 file d"}));
}

TEST_F(VFolderTest, CopyContentsStopsAtTheFirstErrorWithoutContinueOnError) {
    fTemp.WriteFile("src/only.txt", "x");
    fTemp.WriteFile("src/sub/d.txt", "d");
    sVanishingItem = fTemp / "src/only.txt";
    StListingHook hook(RemoveVanishingItem);
    StErrorContextInstaller guard;
    EXPECT_EQ(FolderAt(fTemp / "src")->CopyContentsTo(*FolderAt(fTemp / "copy"), 0), VE_FILE_NOT_FOUND);
    EXPECT_TRUE(ItemExists(fTemp / "copy/sub/d.txt")) << "sub-folders come before the files";
}

TEST_F(VFolderTest, RenameOntoAnExistingNameFailsInsteadOfReplacing) {
    fTemp.WriteFile("a/file", "a");
    fTemp.WriteFile("b/file", "b");
    StErrorContextInstaller guard;
    VFolder* renamed = reinterpret_cast<VFolder*>(1);
    EXPECT_EQ(FolderAt(fTemp / "a")->Rename("b", &renamed), VE_FOLDER_CANNOT_RENAME);
    EXPECT_EQ(renamed, nullptr);
    EXPECT_EQ(Codes(guard), (std::vector<VError>{kPosixEEXIST, VE_FOLDER_CANNOT_RENAME})) << Dump(guard);
    EXPECT_EQ(LastParameter(guard, "newname"), "b");
    EXPECT_EQ(ReadFile(fTemp / "a/file"), "a");
    EXPECT_EQ(ReadFile(fTemp / "b/file"), "b");
}

TEST_F(VFolderTest, RenameGivesAFolderForTheNewName) {
    fTemp.WriteFile("a/file", "a");
    StErrorContextInstaller guard;
    VFolder* renamed = nullptr;
    ASSERT_EQ(FolderAt(fTemp / "a")->Rename("c", &renamed), VE_OK) << Dump(guard);
    VRefPtr<VFolder> owner = AdoptRef(renamed);
    EXPECT_TRUE(renamed->Exists());
    EXPECT_EQ(renamed->GetPath().GetPath().ToUTF8(), FolderAt(fTemp / "c")->GetPath().GetPath().ToUTF8());
    EXPECT_EQ(ReadFile(fTemp / "c/file"), "a");
}

TEST_F(VFolderTest, MoveGoesUnderTheDestinationWithoutReplacing) {
    fTemp.WriteFile("a/file", "a");
    fTemp.WriteFile("into/b/file", "b");
    fTemp.WriteFile("b/file", "other");
    StErrorContextInstaller guard;
    VFolder* moved = nullptr;
    ASSERT_EQ(FolderAt(fTemp / "a")->Move(*FolderAt(fTemp / "into"), &moved), VE_OK) << Dump(guard);
    VRefPtr<VFolder> owner = AdoptRef(moved);
    EXPECT_EQ(ReadFile(fTemp / "into/a/file"), "a");
    EXPECT_EQ(FolderAt(fTemp / "b")->Move(*FolderAt(fTemp / "into"), nullptr), VE_FOLDER_CANNOT_RENAME);
    EXPECT_EQ(ReadFile(fTemp / "into/b/file"), "b");
    EXPECT_EQ(ReadFile(fTemp / "b/file"), "other");
}

TEST_F(VFolderTest, MoveToTrashPlacesTheFolderInTheUserTrashWithItsRecord) {
    std::string sentinel = MakeSentinel();
    fTemp.WriteFile("Old.app/Contents/file", "x");
    ASSERT_EQ(::symlink(sentinel.c_str(), (fTemp / "Old.app/to-sentinel").c_str()), 0);
    StErrorContextInstaller guard;
    ASSERT_EQ(FolderAt(fTemp / "Old.app")->MoveToTrash(), VE_OK) << Dump(guard);
    std::string trash = std::string(std::getenv("XDG_DATA_HOME")) + "/Trash";
    EXPECT_FALSE(ItemExists(fTemp / "Old.app"));
    EXPECT_EQ(ReadFile(trash + "/files/Old.app/Contents/file"), "x");
    EXPECT_TRUE(IsLink(trash + "/files/Old.app/to-sentinel"));
    std::string record = ReadFile(trash + "/info/Old.app.trashinfo");
    EXPECT_NE(record.find("[Trash Info]"), std::string::npos) << record;
    EXPECT_NE(record.find("Path=" + fTemp / "Old.app"), std::string::npos) << record;
    ExpectSentinelIntact();
    EXPECT_EQ(FolderAt(fTemp / "Old.app")->MoveToTrash(), VE_OK) << "a missing folder is no error";
}

TEST_F(VFolderTest, DeleteForcedRemovesLockedAndReadOnlyItemsAndRestoresTheParent) {
    std::string sentinel = MakeSentinel();
    fTemp.WriteFile("parent/tree/locked", "x");
    fTemp.WriteFile("parent/tree/ro/file", "y");
    ASSERT_EQ(::symlink(sentinel.c_str(), (fTemp / "parent/tree/ro/to-sentinel").c_str()), 0);
    VRefPtr<VFile> locked = FileAt(fTemp / "parent/tree/locked");
    {
        StErrorContextInstaller quiet(false);
        if (locked->SetFileAttributes(kFileAttributeLocked) != VE_OK)
            GTEST_SKIP() << "the immutable attribute cannot be set here";
    }
    ::chmod((fTemp / "parent/tree/ro").c_str(), 0500);
    ::chmod((fTemp / "parent").c_str(), 0750);
    StErrorContextInstaller guard;
    EXPECT_EQ(FolderAt(fTemp / "parent/tree")->DeleteForced(), VE_OK) << Dump(guard);
    EXPECT_FALSE(ItemExists(fTemp / "parent/tree"));
    EXPECT_EQ(Mode(fTemp / "parent"), 0750u);
    ExpectSentinelIntact();
}

TEST_F(VFolderTest, PermissionsAreReadAndSetOnTheFolderItself) {
    fTemp.MakeFolder("dir");
    VRefPtr<VFolder> folder = FolderAt(fTemp / "dir");
    StErrorContextInstaller guard;
    EXPECT_EQ(folder->MAC_SetPermissions(0710), VE_OK) << Dump(guard);
    uint16_t mode = 0;
    EXPECT_EQ(folder->MAC_GetPermissions(&mode), VE_OK);
    EXPECT_EQ(mode, 0710);
    EXPECT_EQ(FolderAt(fTemp / "missing")->MAC_GetPermissions(&mode), VE_FILE_NOT_FOUND);
}

TEST_F(VFolderTest, IsSameFolderComparesNamesExactly) {
    VRefPtr<VFolder> folder = FolderAt(fTemp / "Dir");
    EXPECT_FALSE(folder->IsSameFolder(FolderAt(fTemp / "dir").Get()));
    EXPECT_FALSE(folder->IsSameFolder(FolderAt(fTemp / "other").Get()));
    EXPECT_FALSE(folder->IsSameFolder(nullptr));
}

TEST_F(VFolderTest, ItemsInsideAFileSystemRootKeepItAndNameThemselvesThroughIt) {
    VRefPtr<VFolder> root = FolderAt(fTemp / "res");
    VRefPtr<VFileSystem> fileSystem = AdoptRef(VFileSystem::Create("RES", root.Get(), 0, 0, 0));
    ASSERT_TRUE(fileSystem);
    VFolder inRoot(root->GetPath(), fileSystem.Get());
    VFolder inside(inRoot, "a/b", FilePathStyle::Posix);
    EXPECT_EQ(inside.GetFileSystem(), fileSystem.Get());
    VString text;
    inside.GetPathWithFileSystem(text);
    EXPECT_EQ(text.ToUTF8(), "/RES/a/b/");
    VFile file(inside, "c.txt", FilePathStyle::Posix);
    EXPECT_EQ(file.GetFileSystem(), fileSystem.Get());
    VFolder outside(inRoot, "../elsewhere", FilePathStyle::Posix);
    EXPECT_EQ(outside.GetFileSystem(), nullptr) << "a path leaving the root leaves the file system";
    outside.GetPathWithFileSystem(text);
    EXPECT_EQ(text.ToUTF8(), fTemp / "elsewhere/");
    EXPECT_EQ(inRoot.RetainParentFolder(true), nullptr) << "sandboxed: no parent above the root";
    VRefPtr<VFolder> parent = AdoptRef(inRoot.RetainParentFolder(false));
    ASSERT_TRUE(parent);
    EXPECT_EQ(parent->GetFileSystem(), nullptr);
    StErrorContextInstaller guard;
    VError error = VE_OK;
    EXPECT_EQ(VFileSystem::Create("a/b", root.Get(), 0, 0, 0, &error), nullptr);
    EXPECT_EQ(error, VE_FS_INVALID_NAME);
    EXPECT_EQ(LastParameter(guard, "name"), "a/b");
}

TEST_F(VFolderTest, SystemFoldersComeFromTheXdgSettings) {
    VRefPtr<VFolder> home = AdoptRef(VFolder::RetainSystemFolder(eFolderUserHome, false));
    ASSERT_TRUE(home);
    EXPECT_EQ(home->GetPath().GetPath(FilePathStyle::Posix).ToUTF8(), std::string(std::getenv("HOME")) + "/");
    VRefPtr<VFolder> support = AdoptRef(VFolder::RetainSystemFolder(eFolderUserApplicationSupport, true));
    ASSERT_TRUE(support);
    EXPECT_EQ(support->GetPath().GetPath(FilePathStyle::Posix).ToUTF8(),
              std::string(std::getenv("XDG_DATA_HOME")) + "/");
    VRefPtr<VFolder> executable = AdoptRef(VFolder::RetainSystemFolder(eFolderExecutable, false));
    ASSERT_TRUE(executable);
    EXPECT_TRUE(executable->Exists());
    EXPECT_EQ(VFolder::RetainSystemFolder(ESystemFolderKind(3), false), nullptr);
    EXPECT_EQ(VFolder::RetainSystemFolder(ESystemFolderKind(14), false), nullptr);
}

} // namespace

// Files and folders share their attribute code: each must still push its own kind's codes.
TEST_F(VFolderTest, AttributeFailuresPushTheCodesOfTheItemsKind) {
    ASSERT_EQ(::symlink("loop", (fTemp / "loop").c_str()), 0);
    StErrorContextInstaller guard;
    VRefPtr<VFile> file = FileAt(fTemp / "loop");
    VRefPtr<VFolder> folder = FolderAt(fTemp / "loop");

    EXPECT_EQ(file->GetTimeAttributes(), VE_FILE_CANNOT_GET_ATTRIBUTES);
    EXPECT_EQ(folder->GetTimeAttributes(), VE_FOLDER_CANNOT_GET_ATTRIBUTES);
    EXPECT_EQ(file->MAC_SetPermissions(0644), VE_FILE_CANNOT_SET_ATTRIBUTES);
    EXPECT_EQ(folder->MAC_SetPermissions(0755), VE_FOLDER_CANNOT_SET_ATTRIBUTES);
    uint16_t mode = 0777;
    EXPECT_NE(FileAt(fTemp / "absent")->MAC_GetPermissions(&mode), VE_OK);
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(LastParameter(guard, "path"), FileAt(fTemp / "absent")->GetPath().GetPath().ToUTF8());
}
