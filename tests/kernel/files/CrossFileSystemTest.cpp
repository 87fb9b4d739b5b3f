// Moves and copies between two file systems (the test folder and a tmpfs): rename gives EXDEV there,
// so files and folders go by copy and removal, and the tree copy by read and write.
#include "VFileTestSupport.h"

#include <sys/mount.h>

using namespace vkit;
using namespace vkit::testing;

namespace {

constexpr const char* kOtherFileSystem = "/dev/shm";

class CrossFileSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        struct stat here;
        struct stat there;
        if (::stat(fTemp.Path().c_str(), &here) != 0 || ::stat(kOtherFileSystem, &there) != 0 ||
            here.st_dev == there.st_dev || ::access(kOtherFileSystem, W_OK) != 0)
            GTEST_SKIP() << kOtherFileSystem << " is missing, read-only or on the test folder's file system";
        std::string pattern = std::string(kOtherFileSystem) + "/vkit-test.XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        fOther = pattern;
    }
    void TearDown() override {
        if (!fMount.empty())
            ::umount2(fMount.c_str(), MNT_DETACH);
        if (!fOther.empty())
            VTestTempFolder::RemoveTree(fOther);
    }

    VTestTempFolder fTemp;
    std::string fOther;
    std::string fMount;
};

} // namespace

TEST_F(CrossFileSystemTest, MovesCarryFilesAndWholeTreesAndNeverReplace) {
    std::string source = fTemp.WriteFile("report.txt", "moved across");
    ::chmod(source.c_str(), 0640);
    struct timespec times[2] = {{1200000000, 0}, {1250000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
    BuildSampleTree(fTemp / "App.app");
    BuildSampleTree(fTemp / "Expected.app");
    fTemp.MakeFolder("Taken.app");
    ASSERT_EQ(RunShell("mkdir -p '" + fOther + "/Taken.app'"), 0);
    StErrorContextInstaller guard;
    VFile* moved = nullptr;
    ASSERT_EQ(FileAt(source)->Move(*FolderAt(fOther), &moved), VE_OK) << Dump(guard);
    VRefPtr<VFile> owner = AdoptRef(moved);
    EXPECT_TRUE(moved->Exists());
    EXPECT_NE(FolderAt(fTemp / "Taken.app")->Move(*FolderAt(fOther), nullptr), VE_OK);
    ASSERT_EQ(FolderAt(fTemp / "App.app")->Move(*FolderAt(fOther), nullptr), VE_OK) << Dump(guard);
    EXPECT_EQ(Disk(fTemp.Path(), {"report.txt", "Taken.app", "App.app"}), "report.txt? Taken.app/ App.app?");
    EXPECT_EQ(CompareTrees(fTemp / "Expected.app", fOther + "/App.app", false), "");
    EXPECT_EQ(ReadFile(fOther + "/report.txt"), "moved across");
    EXPECT_EQ(ModeOf(fOther + "/report.txt"), 0640);
    struct stat info;
    ASSERT_EQ(::stat((fOther + "/report.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, 1250000000);
}

TEST_F(CrossFileSystemTest, OneCallTreeCopyFallsBackToReadAndWrite) {
    BuildSampleTree(fOther + "/New.app");
    StErrorContextInstaller guard;
    // The item-by-item copy lists each folder through this hook: it must never be needed.
    static int sItemByItemListings;
    sItemByItemListings = 0;
    VFolder::SetListingHookForTests([](const VFolder&) { ++sItemByItemListings; });
    VError error = FolderAt(fOther + "/New.app")
                       ->CopyTo(*FolderAt(fTemp.Path()), VString("Installed.app"), nullptr, kCopyOverwrite);
    VFolder::SetListingHookForTests(nullptr);
    ASSERT_EQ(error, VE_OK) << Dump(guard);
    EXPECT_EQ(sItemByItemListings, 0) << "the one-call copy stopped: reflink and copy_file_range fail here";
    EXPECT_EQ(CompareTrees(fOther + "/New.app", fTemp / "Installed.app"), "");
}

TEST_F(CrossFileSystemTest, FolderMoveWhoseSourceRemovalStopsKeepsTheCompleteCopy) {
    BuildSampleTree(fTemp / "App.app");
    // A mount point inside the source: its removal stops there (EBUSY).
    fMount = fTemp / "App.app/emptyfolder";
    if (::mount("tmpfs", fMount.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    ASSERT_EQ(RunShell("cp -a '" + fTemp / "App.app' '" + fTemp / "Expected.app'"), 0);
    StErrorContextInstaller guard;
    EXPECT_EQ(FolderAt(fTemp / "App.app")->Move(*FolderAt(fOther), nullptr), VE_FOLDER_CANNOT_RENAME);
    EXPECT_TRUE(CompareTrees(fTemp / "Expected.app", fOther + "/App.app", false).empty() &&
                ItemExists(fMount));
    EXPECT_EQ(LastParameter(guard, "item"), fMount) << Dump(guard);
    EXPECT_EQ(LastParameter(guard, "step"), "rmdir");
}

TEST_F(CrossFileSystemTest, NamesThatAreNotUTF8SurviveByteForByte) {
    const std::string latin1 = "caf\xE9";
    fTemp.WriteFile("Bytes/" + latin1, "1");
    fTemp.WriteFile("Bytes/\xFF/na\xEFve", "2");
    StErrorContextInstaller guard;
    // Item by item to the other file system and in one call back; then each item, rebuilt from the path
    // its listing gives, moved across, deleted or trashed.
    EXPECT_EQ(FolderAt(fTemp / "Bytes")->CopyTo(*FolderAt(fOther), nullptr, 0), VE_OK) << Dump(guard);
    EXPECT_EQ(FolderAt(fOther + "/Bytes")
                  ->CopyTo(*FolderAt(fTemp.Path()), VString("Back"), nullptr, kCopyOverwrite),
              VE_OK);
    EXPECT_EQ(CompareTrees(fTemp / "Bytes", fOther + "/Bytes", false) +
                  CompareTrees(fTemp / "Bytes", fTemp / "Back", false),
              "");
    for (VFolderIterator it(FolderAt(fTemp / "Bytes").Get()); it.IsValid(); ++it)
        EXPECT_EQ(VFolder(it->GetPath()).Move(*FolderAt(fOther), nullptr), VE_OK) << Dump(guard);
    for (VFileIterator it(FolderAt(fTemp / "Bytes").Get()); it.IsValid(); ++it)
        EXPECT_EQ(VFile(it->GetPath()).Move(*FolderAt(fOther), nullptr), VE_OK) << Dump(guard);
    for (VFolderIterator it(FolderAt(fOther).Get()); it.IsValid(); ++it)
        EXPECT_EQ(VFolder(it->GetPath()).DeleteForced(), VE_OK) << Dump(guard);
    for (VFileIterator it(FolderAt(fTemp / "Back").Get()); it.IsValid(); ++it)
        EXPECT_EQ(VFile(it->GetPath()).MoveToTrash(), VE_OK) << Dump(guard);
    EXPECT_EQ(ReadFile(std::string(std::getenv("XDG_DATA_HOME")) + "/Trash/files/" + latin1), "1");
}
