// Tests of VFolder: existence, creation, deletion, copies, renaming, moving, the trash, system folders,
// and that no recursive operation follows a link out of its tree.
#include "VFileTestSupport.h"

#include "platform/posix/files/XPosixTreeCopy.h"

#include <dirent.h>
#include <dlfcn.h>
#include <linux/fs.h>
#include <sys/mount.h>

using namespace vkit;
using namespace vkit::testing;

// While sVanishingName or sUnreadableName is set, getdents64 here gives entries without their type (as
// file systems that do not record it do), so that the reader looks each up; the vanishing entry is
// removed just before it is given, the lookup of the unreadable one fails with EIO.
static std::string sVanishingName;
static std::string sUnreadableName;

extern "C" int fstatat(int inFolder, const char* inName, struct stat* outStatus, int inFlags) {
    static const auto sReal =
        reinterpret_cast<int (*)(int, const char*, struct stat*, int)>(::dlsym(RTLD_NEXT, "fstatat"));
    if (!sUnreadableName.empty() && sUnreadableName == inName) {
        errno = EIO;
        return -1;
    }
    return sReal(inFolder, inName, outStatus, inFlags);
}

extern "C" ssize_t getdents64(int inFolder, void* outEntries, size_t inSize) {
    static const auto sReal =
        reinterpret_cast<ssize_t (*)(int, void*, size_t)>(::dlsym(RTLD_NEXT, "getdents64"));
    ssize_t length = sReal(inFolder, outEntries, inSize);
    for (ssize_t offset = 0; offset < length && !(sVanishingName.empty() && sUnreadableName.empty());) {
        auto* entry = reinterpret_cast<struct dirent64*>(static_cast<char*>(outEntries) + offset);
        offset += entry->d_reclen;
        entry->d_type = DT_UNKNOWN;
        if (sVanishingName == entry->d_name)
            ::unlinkat(inFolder, entry->d_name, 0);
    }
    return length;
}

// While set, renameat2 with RENAME_EXCHANGE fails with sExchangeErrno, and the sNoReplaceFailing-th call
// with RENAME_NOREPLACE (counted in sNoReplaceCalls) with EIO.
static int sExchangeErrno = 0, sNoReplaceFailing = 0, sNoReplaceCalls = 0;

extern "C" int renameat2(int inFolder, const char* inName, int inOtherFolder, const char* inOtherName,
                         unsigned inFlags) {
    static const auto sReal = reinterpret_cast<int (*)(int, const char*, int, const char*, unsigned)>(
        ::dlsym(RTLD_NEXT, "renameat2"));
    bool exchange = (inFlags & RENAME_EXCHANGE) != 0;
    if ((exchange && sExchangeErrno != 0) || (!exchange && ++sNoReplaceCalls == sNoReplaceFailing))
        return errno = exchange ? sExchangeErrno : EIO, -1;
    return sReal(inFolder, inName, inOtherFolder, inOtherName, inFlags);
}

namespace {

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
        EXPECT_EQ(ModeOf(fTemp / "sentinel"), 0755);
    }
    /// Mounts a size-limited tmpfs on the folder "small" (fSmall) for the test; false where not permitted.
    bool MountSmall(const char* inSize) {
        fSmall = fTemp.MakeFolder("small");
        fMounted = ::mount("tmpfs", fSmall.c_str(), "tmpfs", 0, (std::string("size=") + inSize).c_str()) == 0;
        return fMounted;
    }
    void TearDown() override {
        if (fMounted)
            ::umount2(fSmall.c_str(), MNT_DETACH);
    }

    VTestTempFolder fTemp;
    std::string fSmall;
    bool fMounted = false;
};

TEST_F(VFolderTest, ExistsAndCreateReportWhatIsThere) {
    fTemp.MakeFolder("dir");
    fTemp.WriteFile("file", "x");
    ASSERT_EQ(::symlink((fTemp / "dir").c_str(), (fTemp / "link").c_str()), 0);
    // Links to folders are followed; a file, or a file path naming a directory, is no folder.
    EXPECT_TRUE(FolderAt(fTemp / "dir")->Exists() && FolderAt(fTemp / "link")->Exists());
    EXPECT_FALSE(FolderAt(fTemp / "file")->Exists() ||
                 VFolder(VString((fTemp / "dir").c_str()), FilePathStyle::Posix).Exists());

    StErrorContextInstaller guard;
    EXPECT_EQ(FolderAt(fTemp / "dir")->Create(), VE_OK);
    EXPECT_TRUE(Codes(guard).empty()) << Dump(guard);
    // ENOENT translates to 600.
    EXPECT_EQ(FolderAt(fTemp / "missing/dir")->Create(), VE_FILE_NOT_FOUND);
    EXPECT_EQ(Codes(guard), (std::vector<VError>{kPosixENOENT, VE_FILE_NOT_FOUND})) << Dump(guard);
    EXPECT_EQ(LastParameter(guard, "path") + " " + LastParameter(guard, "name"), fTemp / "missing/dir/ dir");
    VString description;
    guard.GetContext()->GetLast()->GetErrorDescription(description);
    EXPECT_NE(description.ToUTF8().find("No such file or directory"), std::string::npos)
        << description.ToUTF8();
    EXPECT_EQ(FolderAt(fTemp / "a/b/c")->CreateRecursive(true), VE_OK) << Dump(guard);
    EXPECT_EQ(ModeOf(fTemp / "a/b/c") & ModeOf(fTemp / "a/b") & 0222, 0222) << "made writable by all";
    EXPECT_EQ(ModeOf(fTemp.Path()) & 0022, 0) << "an existing level is left alone";
    EXPECT_EQ(FolderAt(fTemp / "d/e")->CreateRecursive(false), VE_OK);
    EXPECT_EQ(ModeOf(fTemp / "d/e"), 0755);
}

TEST_F(VFolderTest, DeleteRemovesTreesAndLinksButNeverFollowsThem) {
    std::string sentinel = MakeSentinel();
    fTemp.MakeFolder("empty");
    fTemp.WriteFile("hidden/.file", "x");
    fTemp.WriteFile("tree/a/b/.c", "1");
    ASSERT_EQ(::mkfifo((fTemp / "tree/a/fifo").c_str(), 0600), 0);
    ASSERT_EQ(::symlink(sentinel.c_str(), (fTemp / "tree/a/to-sentinel").c_str()), 0);
    ASSERT_EQ(::symlink((sentinel + "/keep.txt").c_str(), (fTemp / "tree/to-file").c_str()), 0);
    ASSERT_EQ(::symlink(sentinel.c_str(), (fTemp / "link").c_str()), 0);
    StErrorContextInstaller guard;
    EXPECT_EQ(FolderAt(fTemp / "hidden")->Delete(false), VE_FOLDER_NOT_EMPTY);
    EXPECT_EQ(Codes(guard), (std::vector<VError>{VE_FOLDER_NOT_EMPTY, VE_FOLDER_NOT_EMPTY})) << Dump(guard);
    EXPECT_TRUE(ItemExists(fTemp / "hidden/.file")) << "one invisible file makes a folder not empty";
    EXPECT_NE(FolderAt(fTemp / "link")->Delete(true), VE_OK) << "a link to a folder is no folder to empty";
    StErrorContextInstaller quiet;
    EXPECT_EQ(FolderAt(fTemp / "empty")->Delete(false), VE_OK) << Dump(quiet);
    EXPECT_EQ(FolderAt(fTemp / "tree")->Delete(true), VE_OK) << Dump(quiet);
    EXPECT_EQ(Disk(fTemp.Path(), {"empty", "tree", "link"}), "empty? tree? link->" + sentinel);
    ExpectSentinelIntact();
}

// Overwrites of a folder on a 4 MB file system, renameat2 failing as sExchangeErrno and sNoReplaceFailing
// say; "big" does not fit beside the folder it replaces. fErrno 0: the copy takes the folder's place.
struct OverwriteCase {
    const char *fLabel, *fSource;
    int fExchangeErrno, fNoReplaceFailing, fErrno;
    const char* fStep;
};

const OverwriteCase kOverwriteCases[] = {
    {"exchanged", "src", 0, 0, 0, "(none)"},
    {"exchange refused: renamed aside, then in", "src", EINVAL, 0, 0, "(none)"},
    {"no room: fails before anything moves", "big", 0, 0, ENOSPC, "write"},
    {"exchange fails", "src", EIO, 0, EIO, "renameat2 RENAME_EXCHANGE"},
    {"renamed aside, the rename in fails: put back", "src", EINVAL, 2, EIO, "renameat2"},
};

TEST_F(VFolderTest, OverwriteReplacesTheTargetInOneStepOrLeavesItAsItWas) {
    if (!MountSmall("4m"))
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    fTemp.WriteFile("src/App/Contents/MacOS/app", std::string(100000, 'n'));
    BuildSampleTree(fTemp.MakeFolder("big") + "/App");
    fTemp.WriteFile("big/App/more.bin", std::string(2 << 20, 'b'));
    BuildSampleTree(fTemp.MakeFolder("old") + "/App");
    for (const OverwriteCase& row : kOverwriteCases) {
        SCOPED_TRACE(row.fLabel);
        ASSERT_EQ(RunShell("cd '" + fTemp.Path() + "' && rm -rf small/App && cp -a old/App small/"), 0);
        struct stat before, after;
        ASSERT_EQ(::stat((fSmall + "/App").c_str(), &before), 0);
        std::tie(sExchangeErrno, sNoReplaceFailing, sNoReplaceCalls) =
            std::tuple(row.fExchangeErrno, row.fNoReplaceFailing, 0);
        StErrorContextInstaller guard;
        VError error =
            FolderAt(fTemp / row.fSource + "/App")->CopyTo(*FolderAt(fSmall), nullptr, kCopyOverwrite);
        sExchangeErrno = sNoReplaceFailing = 0;
        ASSERT_EQ(::stat((fSmall + "/App").c_str(), &after), 0) << "the target is never missing";
        // Replaced whole, or as it was byte for byte (never written into) with the first error alone, which
        // names the step; no temporary left.
        EXPECT_TRUE(ListNamesWithPrefix(fSmall, ".").empty());
        EXPECT_EQ(after.st_ino != before.st_ino, row.fErrno == 0);
        EXPECT_EQ(CompareTrees(fTemp / (row.fErrno == 0 ? row.fSource : "old") + "/App", fSmall + "/App"),
                  "");
        EXPECT_EQ(error, row.fErrno == 0 ? VE_OK : VE_FOLDER_CANNOT_COPY);
        EXPECT_EQ(Codes(guard), Pushed(row.fErrno, VE_FOLDER_CANNOT_COPY)) << Dump(guard);
        EXPECT_EQ(LastParameter(guard, "step"), row.fStep);
    }
}

TEST_F(VFolderTest, ExchangeSwapsTwoFoldersOrTellsAFileSystemThatCannot) {
    fTemp.WriteFile("a/x", "a");
    fTemp.MakeFolder("b");
    StErrorContextInstaller guard;
    bool refused = true;
    EXPECT_TRUE(FolderAt(fTemp / "a")->Exchange(*FolderAt(fTemp / "b"), &refused) == VE_OK && !refused);
    // A refusal is told, without an error, to a caller that falls back; otherwise pushed like any failure.
    sExchangeErrno = EINVAL;
    EXPECT_EQ(FolderAt(fTemp / "a")->Exchange(*FolderAt(fTemp / "b"), &refused), VE_FOLDER_CANNOT_EXCHANGE);
    EXPECT_TRUE(refused && Codes(guard).empty());
    EXPECT_EQ(FolderAt(fTemp / "a")->Exchange(*FolderAt(fTemp / "b")), VE_FOLDER_CANNOT_EXCHANGE);
    sExchangeErrno = EBUSY;
    EXPECT_EQ(FolderAt(fTemp / "a")->Exchange(*FolderAt(fTemp / "b"), &refused), VE_FOLDER_CANNOT_RENAME);
    sExchangeErrno = 0;
    EXPECT_EQ(Codes(guard), (std::vector<VError>{MakeVErrorFromPosix(EINVAL), VE_FOLDER_CANNOT_EXCHANGE,
                                                 MakeVErrorFromPosix(EBUSY), VE_FOLDER_CANNOT_RENAME}));
    EXPECT_EQ(LastParameter(guard, "item"), fTemp / "b") << "the error names both folders";
    EXPECT_EQ(Disk(fTemp.Path(), {"a/x", "b/x"}), "a/x? b/x=a");
}

TEST_F(VFolderTest, VolumeQueriesTellTheSpaceThisUserMayTakeAndReadOnlyMounts) {
    if (!MountSmall("8m"))
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    fTemp.WriteFile("small/App/one-megabyte", std::string(1 << 20, 'x'));
    // Apparent sizes would count the sparse file whole, and the folders, links and hard link wrongly.
    BuildSampleTree(fTemp.MakeFolder("tree") + "/App");
    ASSERT_EQ(::link((fTemp / "tree/App/big.bin").c_str(), (fTemp / "tree/big-again.bin").c_str()), 0);
    ASSERT_EQ(RunShell("cd '" + fTemp.Path() +
                       "' && truncate -s 50M tree/sparse && echo x >> tree/sparse && "
                       "du -s -B1 tree | cut -f1 | tr -d '\\n' > du.txt"),
              0);
    StErrorContextInstaller guard;
    VVolumeInfo info;
    uint64_t bytes = 0;
    EXPECT_EQ(FolderAt(fSmall)->GetVolumeInfo(info), VE_OK) << Dump(guard);
    EXPECT_TRUE(info.fTotalBytes == 8u << 20 && info.fAvailableBytes == 7u << 20 && !info.fReadOnly);
    EXPECT_EQ(FolderAt(fTemp / "tree")->GetAllocatedSize(bytes), VE_OK) << Dump(guard);
    EXPECT_EQ(std::to_string(bytes), ReadFile(fTemp / "du.txt"));
    ASSERT_EQ(::mount(nullptr, fSmall.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    EXPECT_TRUE(FolderAt(fSmall)->GetVolumeInfo(info) == VE_OK && info.fReadOnly);
    ERenameAccess access = ERenameAccess::kAllowed;
    EXPECT_TRUE(FolderAt(fSmall + "/App")->GetRenameAccess(access) == VE_OK &&
                access == ERenameAccess::kReadOnlyFileSystem);
}

constexpr uid_t kNobody = 65534;

// What stops a rename of the folder "f/App", asked as root or as nobody: f's mode and owner, App's owner,
// an inode attribute (FS_..._FL) set on fFlagged.
struct RenameAccessCase {
    const char* fLabel;
    mode_t fFolderMode;
    uid_t fFolderOwner, fItemOwner;
    const char* fFlagged;
    int fFlag;
    bool fAsNobody;
    ERenameAccess fExpected;
};

using enum ERenameAccess;
const RenameAccessCase kRenameAccessCases[] = {
    {"a writable folder", 0755, 0, 0, "", 0, false, kAllowed},
    {"an immutable item", 0755, 0, 0, "f/App", FS_IMMUTABLE_FL, false, kLocked},
    {"an immutable folder", 0755, 0, 0, "f", FS_IMMUTABLE_FL, false, kLocked},
    {"an append-only folder", 0755, 0, 0, "f", FS_APPEND_FL, false, kLocked},
    {"a folder of another user", 0755, 0, kNobody, "", 0, true, kFolderNotWritable},
    {"sticky, neither item nor folder owned", 01777, 0, 0, "", 0, true, kStickyFolder},
    {"sticky, the item owned", 01777, 0, kNobody, "", 0, true, kAllowed},
    {"sticky, the folder owned", 01777, kNobody, 0, "", 0, true, kAllowed},
    {"sticky, as root: any owner", 01777, 0, kNobody, "", 0, false, kAllowed},
};

TEST_F(VFolderTest, RenameAccessTellsWhatWouldStopARename) {
    ASSERT_EQ(::chmod(fTemp.Path().c_str(), 0755), 0);
    const std::string folder = fTemp / "f";
    for (const RenameAccessCase& row : kRenameAccessCases) {
        SCOPED_TRACE(row.fLabel);
        VTestTempFolder::RemoveTree(folder); // attributes lifted
        fTemp.MakeFolder("f/App");
        ASSERT_TRUE(::chmod(folder.c_str(), row.fFolderMode) == 0 &&
                    ::chown(folder.c_str(), row.fFolderOwner, 0) == 0 &&
                    ::chown((folder + "/App").c_str(), row.fItemOwner, 0) == 0);
        if (row.fFlag != 0 && !SetInodeFlag(fTemp / row.fFlagged, row.fFlag, true))
            GTEST_SKIP() << "setting inode attributes (chattr) is not permitted here";
        int answer = RunInChild([&] {
            ERenameAccess access = kAllowed;
            if (row.fAsNobody && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
                return 100;
            return FolderAt(folder + "/App")->GetRenameAccess(access) != VE_OK ? 101
                                                                               : static_cast<int>(access);
        });
        EXPECT_EQ(answer, static_cast<int>(row.fExpected));
    }
}

TEST_F(VFolderTest, ItemByItemCopyKeepsModesTimesLinksAndHiddenItemsOrSkipsThem) {
    std::string source = fTemp.MakeFolder("src") + "/App";
    BuildSampleTree(source);
    ::symlink(MakeSentinel().c_str(), (source + "/to-sentinel").c_str());
    ASSERT_EQ(::chmod(source.c_str(), 0750), 0);
    StErrorContextInstaller guard;
    // The copy does not keep owners: the items of another owner (made as root) are given back to root.
    RunShell("cd '" + source + "' && chown -h 0:0 nobodys.txt emptyfolder folder-link 2>/dev/null");
    EXPECT_EQ(FolderAt(source)->CopyContentsTo(*FolderAt(fTemp / "copy"), 0), VE_OK) << Dump(guard);
    EXPECT_EQ(CompareTrees(source, fTemp / "copy", false), "")
        << "a destination the copy made takes the source's mode";
    struct stat info;
    ASSERT_EQ(::stat((fTemp / "copy/Contents").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, 1200000002);
    ExpectSentinelIntact();
    EXPECT_EQ(FolderAt(source)->CopyContentsTo(*FolderAt(fTemp / "copy2"), kCopySkipInvisible), VE_OK);
    EXPECT_TRUE(ListNamesWithPrefix(fTemp / "copy2", ".").empty());
    EXPECT_TRUE(ItemExists(fTemp / "copy2/Contents/Info.plist"));
}

TEST_F(VFolderTest, ListingsSkipAnEntryThatVanishesAndStopAtOneThatCannotBeRead) {
    StErrorContextInstaller guard;
    // Elements, item-by-item copy, contents deletion, forced deletion, one-call copy.
    for (std::string fault : {"vanishes", "unreadable"}) {
        for (char step : {'e', 'c', 'd', 'f', 'o'}) {
            fTemp.WriteFile("src/gone", "g");
            fTemp.WriteFile("src/sub/kept", "k");
            (fault == "vanishes" ? sVanishingName : sUnreadableName) = "gone";
            VRefPtr<VFolder> src = FolderAt(fTemp / "src");
            std::vector<VRefPtr<IFileSystemObject>> elements;
            VError error = step == 'e'   ? src->GetElements(elements, kIterateFiles | kIterateFolders)
                           : step == 'c' ? src->CopyContentsTo(*FolderAt(fTemp / ("copy-" + fault)), 0)
                           : step == 'd' ? src->DeleteContents(true)
                           : step == 'f'
                               ? src->DeleteForced()
                               : XPosixTreeCopy::Copy(fTemp / "src", fTemp / ("one-" + fault)).GetCode();
            sVanishingName.clear();
            sUnreadableName.clear();
            EXPECT_EQ(error == VE_OK, fault == "vanishes") << fault << " " << step << Dump(guard);
            if (step == 'e' && error == VE_OK) {
                EXPECT_EQ(elements.size(), 1u) << "the sub-folder alone";
            }
        }
    }
    EXPECT_EQ(CompareTrees(fTemp / "one-vanishes", fTemp / "copy-vanishes", false), "");
    std::vector<VRefPtr<IFileSystemObject>> elements;
    EXPECT_EQ(FolderAt(fTemp / "missing")->GetElements(elements, kIterateFiles), VE_FILE_NOT_FOUND);
}

// In a folder holding src/a, src/src/b, App/x, app/ and the links src/self -> ".", into-src -> src/src and
// to-a -> src/a. Operations: 'f' file copy and 'm' file move onto fTo, 'F' folder copy into fTo under its own
// name, 'C' contents copy into fTo.
struct TargetCase {
    const char* fLabel;
    char fOperation;
    const char* fFrom;
    const char* fTo;
    FileCopyOptions fOptions;
    VError fExpected;
};

const TargetCase kTargetCases[] = {
    {"file onto itself", 'f', "src/a", "src/a", kCopyOverwrite, VE_FILE_CANNOT_COPY},
    {"file through a linked parent", 'f', "src/a", "src/self/a", kCopyOverwrite, VE_FILE_CANNOT_COPY},
    {"file moved onto itself", 'm', "src/a", "src/self/a", kCopyOverwrite, VE_FILE_CANNOT_MOVE},
    {"file moved onto itself, no overwrite", 'm', "src/a", "src/self/a", 0, VE_FILE_CANNOT_MOVE},
    {"folder into its own parent", 'F', "src", ".", kCopyOverwrite, VE_FOLDER_CANNOT_COPY},
    {"folder into an ancestor, onto the folder holding it", 'F', "src/src", ".", kCopyOverwrite,
     VE_FOLDER_CANNOT_COPY},
    {"folder onto itself through a linked parent", 'F', "src/src", "src/self", kCopyOverwrite,
     VE_FOLDER_CANNOT_COPY},
    {"folder into its own sub-folder", 'F', "src", "src/src", 0, VE_FOLDER_CANNOT_COPY},
    {"folder into its own sub-folder, overwriting", 'F', "src", "src/src", kCopyOverwrite,
     VE_FOLDER_CANNOT_COPY},
    {"folder into itself", 'F', "src", "src", 0, VE_FOLDER_CANNOT_COPY},
    {"contents into a new sub-folder", 'C', "src", "src/new", 0, VE_FOLDER_CANNOT_COPY},
    {"folder into a link to its own sub-folder", 'F', "src", "into-src", 0, VE_FOLDER_CANNOT_COPY},
    {"file onto a link to itself", 'f', "src/a", "to-a", kCopyOverwrite, VE_FILE_CANNOT_COPY},
    {"folder into one whose name differs only in case", 'F', "App", "app", kCopyOverwrite, VE_OK},
};

TEST_F(VFolderTest, TargetsThatAreOrHoldOrLieInTheSourceAreRefusedWithNothingChanged) {
    fTemp.WriteFile("src/a", "a");
    fTemp.WriteFile("src/src/b", "b");
    fTemp.WriteFile("App/x", "x");
    fTemp.MakeFolder("app");
    ASSERT_EQ(::symlink(".", (fTemp / "src/self").c_str()), 0);
    ASSERT_EQ(::symlink("src/src", (fTemp / "into-src").c_str()), 0);
    ASSERT_EQ(::symlink("src/a", (fTemp / "to-a").c_str()), 0);
    VTestTempFolder before;
    ASSERT_EQ(RunShell("cp -a '" + fTemp.Path() + "/.' '" + before.Path() + "'"), 0);
    for (const TargetCase& row : kTargetCases) {
        SCOPED_TRACE(row.fLabel);
        StErrorContextInstaller guard;
        const std::string from = fTemp / row.fFrom, to = fTemp / row.fTo;
        VFolder* copy = reinterpret_cast<VFolder*>(1);
        VError error = row.fOperation == 'F'   ? FolderAt(from)->CopyTo(*FolderAt(to), &copy, row.fOptions)
                       : row.fOperation == 'C' ? FolderAt(from)->CopyContentsTo(*FolderAt(to), row.fOptions)
                       : row.fOperation == 'f'
                           ? FileAt(from)->CopyTo(FileAt(to)->GetPath(), nullptr, row.fOptions)
                           : FileAt(from)->Move(FileAt(to)->GetPath(), nullptr, row.fOptions);
        VRefPtr<VFolder> owner = AdoptRef(copy != reinterpret_cast<VFolder*>(1) ? copy : nullptr);
        EXPECT_EQ(error, row.fExpected) << Dump(guard);
        // Refused with a file error that says why, the disk as it was.
        EXPECT_EQ(CompareTrees(before.Path(), fTemp.Path(), false).empty(), row.fExpected != VE_OK);
        EXPECT_EQ(Dump(guard).find("destination") != std::string::npos, row.fExpected != VE_OK)
            << Dump(guard);
        if (row.fOperation == 'F') {
            EXPECT_EQ(copy == nullptr, row.fExpected != VE_OK);
        }
    }
    StErrorContextInstaller guard;
    for (FileCopyOptions options : {FileCopyOptions(0), kCopyOverwrite}) {
        EXPECT_EQ(FolderAt(fTemp / "missing")->CopyTo(*FolderAt(fTemp / "app"), nullptr, options),
                  VE_FILE_NOT_FOUND);
        EXPECT_FALSE(ItemExists(fTemp / "app/missing"));
    }
}

std::string sVanishingItem;

void RemoveVanishingItem(const VFolder&) {
    ::unlink(sVanishingItem.c_str());
}

TEST_F(VFolderTest, CopyContentsGoesOnAfterAVanishedItemOnlyWhenAsked) {
    fTemp.WriteFile("src/a.txt", "a");
    fTemp.WriteFile("src/b.txt", "b");
    fTemp.WriteFile("src/c.txt", "c");
    fTemp.WriteFile("src/sub/d.txt", "d");
    VFolder::SetListingHookForTests(RemoveVanishingItem);
    StErrorContextInstaller guard;
    sVanishingItem = fTemp / "src/b.txt";
    VError goesOn = FolderAt(fTemp / "src")->CopyContentsTo(*FolderAt(fTemp / "copy"), kCopyContinueOnError);
    std::vector<VError> codes = Codes(guard);
    sVanishingItem = fTemp / "src/a.txt";
    VError stops = FolderAt(fTemp / "src")->CopyContentsTo(*FolderAt(fTemp / "stopped"), 0);
    VFolder::SetListingHookForTests(nullptr);
    EXPECT_EQ(goesOn, VE_FILE_NOT_FOUND) << Dump(guard);
    EXPECT_EQ(codes, (std::vector<VError>{kPosixENOENT, VE_FILE_NOT_FOUND}));
    EXPECT_EQ(Disk(fTemp / "copy", {"a.txt", "b.txt", "c.txt", "sub/d.txt"}),
              "a.txt=a b.txt? c.txt=c sub/d.txt=d");
    EXPECT_EQ(stops, VE_FILE_NOT_FOUND);
    EXPECT_TRUE(ItemExists(fTemp / "stopped/sub/d.txt")) << "sub-folders come before the files";
}

TEST_F(VFolderTest, RenameAndMoveNeverReplace) {
    fTemp.WriteFile("a/file", "a");
    fTemp.WriteFile("b/file", "b");
    fTemp.WriteFile("into/b/file", "into");
    StErrorContextInstaller guard;
    VFolder* result = reinterpret_cast<VFolder*>(1);
    EXPECT_EQ(FolderAt(fTemp / "a")->Rename("b", &result), VE_FOLDER_CANNOT_RENAME);
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(Codes(guard), (std::vector<VError>{kPosixEEXIST, VE_FOLDER_CANNOT_RENAME})) << Dump(guard);
    EXPECT_EQ(LastParameter(guard, "newname"), "b");
    EXPECT_EQ(FolderAt(fTemp / "b")->Move(*FolderAt(fTemp / "into"), nullptr), VE_FOLDER_CANNOT_RENAME);
    ASSERT_EQ(FolderAt(fTemp / "a")->Rename("c", &result), VE_OK) << Dump(guard);
    VRefPtr<VFolder> renamed = AdoptRef(result);
    EXPECT_EQ(renamed->GetPath().GetPath().ToUTF8(), NativeOf(fTemp / "c", true));
    ASSERT_EQ(FolderAt(fTemp / "c")->Move(*FolderAt(fTemp / "into"), &result), VE_OK) << Dump(guard);
    VRefPtr<VFolder> moved = AdoptRef(result);
    EXPECT_EQ(moved->GetPath().GetPath().ToUTF8(), NativeOf(fTemp / "into/c", true));
    EXPECT_EQ(Disk(fTemp.Path(), {"a", "b/file", "c", "into/b/file", "into/c/file"}),
              "a? b/file=b c? into/b/file=into into/c/file=a");
}

TEST_F(VFolderTest, MoveToTrashPlacesTheFolderInTheUserTrashWithItsRecord) {
    std::string sentinel = MakeSentinel();
    fTemp.WriteFile("Old.app/Contents/file", "x");
    ASSERT_EQ(::symlink(sentinel.c_str(), (fTemp / "Old.app/to-sentinel").c_str()), 0);
    StErrorContextInstaller guard;
    ASSERT_EQ(FolderAt(fTemp / "Old.app")->MoveToTrash(), VE_OK) << Dump(guard);
    std::string trash = std::string(std::getenv("XDG_DATA_HOME")) + "/Trash";
    EXPECT_FALSE(ItemExists(fTemp / "Old.app"));
    EXPECT_EQ(Disk(trash + "/files/Old.app", {"Contents/file", "to-sentinel"}),
              "Contents/file=x to-sentinel->" + sentinel);
    std::string record = ReadFile(trash + "/info/Old.app.trashinfo");
    EXPECT_NE(record.find("[Trash Info]"), std::string::npos) << record;
    EXPECT_NE(record.find("Path=" + fTemp / "Old.app"), std::string::npos) << record;
    ExpectSentinelIntact();
    EXPECT_EQ(FolderAt(fTemp / "Old.app")->MoveToTrash(), VE_OK) << "a missing folder is no error";
    // A file's failure keeps the trash's own text beside the system error it maps to.
    EXPECT_NE(FileAt(fTemp / "Old.app")->MoveToTrash(), VE_OK);
    EXPECT_NE(LastParameter(guard, "system_message").find(fTemp / "Old.app"), std::string::npos)
        << Dump(guard);
}

TEST_F(VFolderTest, ItemsInsideAFileSystemRootKeepItAndNameThemselvesThroughIt) {
    VRefPtr<VFolder> root = FolderAt(fTemp / "res");
    VRefPtr<VFileSystem> fileSystem = AdoptRef(VFileSystem::Create("RES", root.Get(), 0, 0, 0));
    ASSERT_TRUE(fileSystem);
    VFolder inRoot(root->GetPath(), fileSystem.Get());
    VString text;
    VFolder(inRoot, "a/b", FilePathStyle::Posix).GetPathWithFileSystem(text);
    EXPECT_EQ(text.ToUTF8(), "/RES/a/b/");
    EXPECT_EQ(VFile(inRoot, "a/c.txt", FilePathStyle::Posix).GetFileSystem(), fileSystem.Get());
    VFolder outside(inRoot, "../elsewhere", FilePathStyle::Posix);
    EXPECT_EQ(outside.GetFileSystem(), nullptr) << "a path leaving the root leaves the file system";
    // A full text is read inside a file system's root, and as itself outside one.
    EXPECT_EQ(VFolder(inRoot, "/x", FilePathStyle::Posix).GetFileSystem(), fileSystem.Get());
    EXPECT_EQ(VFolder(*root, "/x", FilePathStyle::Posix).GetPath().GetPath(FilePathStyle::Posix).ToUTF8(),
              "/x/");
    EXPECT_EQ(inRoot.RetainParentFolder(true), nullptr) << "sandboxed: no parent above the root";
}

TEST_F(VFolderTest, SystemFoldersComeFromTheXdgSettings) {
    auto env = [](const char* inName) { return std::string(std::getenv(inName)) + "/"; };
    const std::pair<ESystemFolderKind, std::string> kinds[] = {
        {eFolderUserHome, env("HOME")},
        {eFolderUserApplicationSupport, env("XDG_DATA_HOME")},
        {eFolderUserCaches, env("XDG_CACHE_HOME")},
        {eFolderUserLibrary, env("XDG_CONFIG_HOME")},
        {eFolderUserDocuments, env("HOME")},
        {eFolderUserDesktop, env("HOME") + "Desktop/"},
        {eFolderApplications, "/opt/"},
        {ESystemFolderKind(3), "(none)"},
        {eFolderUserState, env("XDG_STATE_HOME")},
        {ESystemFolderKind(15), "(none)"},
    };
    for (const auto& [kind, expected] : kinds) {
        VRefPtr<VFolder> folder = AdoptRef(VFolder::RetainSystemFolder(kind, false));
        EXPECT_EQ(folder ? folder->GetPath().GetPath(FilePathStyle::Posix).ToUTF8() : "(none)", expected)
            << kind;
    }
    EXPECT_FALSE(ItemExists(env("HOME") + "Desktop")) << "a folder asked for without creation is not made";
    VRefPtr<VFolder> state = AdoptRef(VFolder::RetainSystemFolder(eFolderUserState, true));
    EXPECT_EQ(ModeOf(env("XDG_STATE_HOME")), 0700) << "made for this user alone";
    VRefPtr<VFolder> executable = AdoptRef(VFolder::RetainSystemFolder(eFolderExecutable, false));
    ASSERT_TRUE(executable);
    EXPECT_TRUE(executable->Exists());
}

} // namespace
