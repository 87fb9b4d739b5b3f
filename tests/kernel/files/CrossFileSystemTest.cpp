// Moves and copies between two file systems (the test folder and a tmpfs): rename gives EXDEV there,
// so files and folders go by copy and removal, and the tree copy by read and write.
#include "VFileTestSupport.h"

#include "files/VFileErrorCodes.h"
#include "files/VFileIterator.h"
#include "files/VFileOptions.h"
#include "files/VFolderIterator.h"
#include "platform/posix/XPosixPath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>
#include <vector>

using namespace vkit;
using namespace vkit::testing;

namespace {

const ::testing::Environment* const sEnvironment =
    ::testing::AddGlobalTestEnvironment(new FilesTestEnvironment);

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
        for (auto mount = fMounts.rbegin(); mount != fMounts.rend(); ++mount)
            ::umount2(mount->c_str(), MNT_DETACH);
        if (!fOther.empty())
            VTestTempFolder::RemoveTree(fOther);
    }

    /// Mounts a tmpfs of inSize at the folder inPath (created); false when mounting is not permitted.
    bool MountSmallFileSystem(const std::string& inPath, const char* inSize) {
        RunShell("mkdir -p '" + inPath + "'");
        if (::mount("tmpfs", inPath.c_str(), "tmpfs", 0, (std::string("size=") + inSize).c_str()) != 0)
            return false;
        fMounts.push_back(inPath);
        return true;
    }

    /// A small bundle-like tree with a link, an executable, a private file and an empty folder.
    void MakeTree(const std::string& inRoot) {
        RunShell("mkdir -p '" + inRoot + "/Contents/MacOS' '" + inRoot + "/Contents/Resources/empty'");
        RunShell("printf 'run' > '" + inRoot + "/Contents/MacOS/app' && chmod 755 '" + inRoot +
                 "/Contents/MacOS/app'");
        RunShell("printf 'secret' > '" + inRoot + "/Contents/private' && chmod 600 '" + inRoot +
                 "/Contents/private'");
        RunShell("head -c 3000000 /dev/urandom > '" + inRoot + "/Contents/Resources/data.bin'");
        RunShell("ln -s MacOS/app '" + inRoot + "/Contents/current'");
    }

    VTestTempFolder fTemp;
    std::string fOther;
    std::vector<std::string> fMounts;
};

} // namespace

TEST_F(CrossFileSystemTest, FileMoveCopiesThenRemovesKeepingModeAndTime) {
    std::string source = fTemp.WriteFile("report.txt", "moved across");
    ::chmod(source.c_str(), 0640);
    struct timespec times[2] = {{1200000000, 0}, {1250000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
    StErrorContextInstaller guard;

    VFile* moved = nullptr;
    VError error = FileAt(source)->Move(*FolderAt(fOther), &moved);
    VRefPtr<VFile> owner = AdoptRef(moved);

    ASSERT_EQ(error, VE_OK) << Dump(guard);
    EXPECT_FALSE(ItemExists(source));
    EXPECT_EQ(ReadFile(fOther + "/report.txt"), "moved across");
    EXPECT_EQ(Mode(fOther + "/report.txt"), 0640u);
    struct stat info;
    ASSERT_EQ(::stat((fOther + "/report.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, 1250000000);
    ASSERT_NE(moved, nullptr);
    EXPECT_TRUE(moved->Exists());
}

TEST_F(CrossFileSystemTest, FolderMoveCarriesTheWholeTreeAndNeverReplaces) {
    MakeTree(fTemp / "App.app");
    std::vector<std::string> before = TreeOf(fTemp / "App.app");
    fTemp.MakeFolder("Taken.app");
    RunShell("mkdir -p '" + fOther + "/Taken.app'");
    StErrorContextInstaller guard;

    VError refused = FolderAt(fTemp / "Taken.app")->Move(*FolderAt(fOther), nullptr);
    VFolder* moved = nullptr;
    VError error = FolderAt(fTemp / "App.app")->Move(*FolderAt(fOther), &moved);
    VRefPtr<VFolder> owner = AdoptRef(moved);

    EXPECT_NE(refused, VE_OK);
    EXPECT_TRUE(ItemExists(fTemp / "Taken.app"));
    ASSERT_EQ(error, VE_OK) << Dump(guard);
    EXPECT_FALSE(ItemExists(fTemp / "App.app"));
    EXPECT_EQ(TreeOf(fOther + "/App.app"), before);
    EXPECT_TRUE(IsLink(fOther + "/App.app/Contents/current"));
}

TEST_F(CrossFileSystemTest, OneCallTreeCopyFallsBackToReadAndWrite) {
    MakeTree(fOther + "/New.app");
    std::vector<std::string> before = TreeOf(fOther + "/New.app");
    StErrorContextInstaller guard;

    VFolder* copy = nullptr;
    VError error = FolderAt(fOther + "/New.app")
                       ->CopyTo(*FolderAt(fTemp.Path()), VString("Installed.app"), &copy, kCopyOverwrite);
    VRefPtr<VFolder> owner = AdoptRef(copy);

    ASSERT_EQ(error, VE_OK) << Dump(guard);
    EXPECT_EQ(TreeOf(fTemp / "Installed.app"), before);
    EXPECT_EQ(TreeOf(fOther + "/New.app"), before);
    EXPECT_EQ(RunShell("cmp -s '" + fOther + "/New.app/Contents/Resources/data.bin' '" + fTemp.Path() +
                       "/Installed.app/Contents/Resources/data.bin'"),
              0);
}

TEST_F(CrossFileSystemTest, FolderMoveEndsWithOneCompleteTree) {
    MakeTree(fTemp / "App.app");
    std::vector<std::string> before = TreeOf(fTemp / "App.app");
    // The copy cannot complete (a 1 MB file system for 3 MB): the source stays whole, no partial copy.
    if (!MountSmallFileSystem(fTemp / "small", "1m"))
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    StErrorContextInstaller guard;
    EXPECT_EQ(FolderAt(fTemp / "App.app")->Move(*FolderAt(fTemp / "small"), nullptr),
              VE_FOLDER_CANNOT_RENAME);
    EXPECT_TRUE(TreeOf(fTemp / "App.app") == before);
    EXPECT_TRUE(TreeOf(fTemp / "small").empty());

    // The removal of the source stops at a mount point inside it (EBUSY): the complete copy stays, and
    // what remains of the source is as it was.
    ASSERT_TRUE(MountSmallFileSystem(fTemp / "App.app/Contents/Resources/empty", "1m"));
    before = TreeOf(fTemp / "App.app");
    VFolder* moved = reinterpret_cast<VFolder*>(1);
    EXPECT_EQ(FolderAt(fTemp / "App.app")->Move(*FolderAt(fOther), &moved), VE_FOLDER_CANNOT_RENAME);
    EXPECT_EQ(moved, nullptr);
    EXPECT_TRUE(TreeOf(fOther + "/App.app") == before);
    std::vector<std::string> remains = TreeOf(fTemp / "App.app");
    EXPECT_TRUE(ItemExists(fTemp / "App.app/Contents/Resources/empty"));
    EXPECT_TRUE(std::includes(before.begin(), before.end(), remains.begin(), remains.end()));
    EXPECT_NE(Dump(guard).find("copied whole to"), std::string::npos) << Dump(guard);
    EXPECT_EQ(LastParameter(guard, "item"), fTemp / "App.app/Contents/Resources/empty");
}

/// The folder or file at a POSIX path read as the system gives it (bytes, not UTF-8 text).
template <class Item>
VRefPtr<Item> ItemFromSystem(const std::string& inPath) {
    VFilePath path;
    XPosixPath::GetFilePathFromPosixPath(inPath, std::is_same_v<Item, VFolder>, path);
    return AdoptRef(new Item(path));
}

TEST_F(CrossFileSystemTest, NamesThatAreNotUTF8SurviveByteForByte) {
    const std::string latin1 = "caf\xE9";
    const std::string lone = "\xFF";
    fTemp.WriteFile("Bytes/" + latin1, "latin-1");
    fTemp.WriteFile("Bytes/" + lone + "/na\xEFve", "inner");
    const std::vector<std::string> tree = TreeOf(fTemp / "Bytes");
    StErrorContextInstaller guard;

    // Item by item to the other file system, then in one call back.
    ASSERT_EQ(FolderAt(fTemp / "Bytes")->CopyTo(*FolderAt(fOther), nullptr, 0), VE_OK) << Dump(guard);
    EXPECT_EQ(TreeOf(fOther + "/Bytes"), tree);
    ASSERT_EQ(FolderAt(fOther + "/Bytes")
                  ->CopyTo(*FolderAt(fTemp.Path()), VString("Back"), nullptr, kCopyOverwrite),
              VE_OK)
        << Dump(guard);
    EXPECT_EQ(TreeOf(fTemp / "Back"), tree);

    // Moved across by their own names; each listed item is found again from its path.
    ASSERT_EQ(ItemFromSystem<VFolder>(fTemp / "Bytes/" + lone)->Move(*FolderAt(fOther), nullptr), VE_OK)
        << Dump(guard);
    ASSERT_EQ(ItemFromSystem<VFile>(fTemp / "Bytes/" + latin1)->Move(*FolderAt(fOther), nullptr), VE_OK)
        << Dump(guard);
    EXPECT_EQ(ReadFile(fOther + "/" + lone + "/na\xEFve"), "inner");
    EXPECT_EQ(ReadFile(fOther + "/" + latin1), "latin-1");
    int listed = 0;
    for (VFolderIterator it(FolderAt(fOther).Get(), kIterateFolders); it.IsValid(); ++it, ++listed)
        EXPECT_TRUE(VFolder(it->GetPath()).Exists());
    for (VFileIterator it(FolderAt(fOther).Get(), kIterateFiles); it.IsValid(); ++it, ++listed)
        EXPECT_TRUE(VFile(it->GetPath()).Exists());
    EXPECT_EQ(listed, 3);

    // Deleted and trashed by their own names.
    EXPECT_EQ(ItemFromSystem<VFolder>(fOther + "/" + lone)->Delete(true), VE_OK) << Dump(guard);
    EXPECT_EQ(ItemFromSystem<VFolder>(fOther + "/Bytes")->DeleteForced(), VE_OK) << Dump(guard);
    EXPECT_EQ(ItemFromSystem<VFile>(fTemp / "Back/" + latin1)->MoveToTrash(), VE_OK) << Dump(guard);
    EXPECT_EQ(ReadFile(std::string(std::getenv("XDG_DATA_HOME")) + "/Trash/files/" + latin1), "latin-1");
    EXPECT_EQ(TreeOf(fOther), std::vector<std::string>{"/" + latin1 + " 420 file latin-1"});
}
