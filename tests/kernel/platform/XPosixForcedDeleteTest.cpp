// Tests of the forced delete: locked and read-only items, the parent's state, links never followed.
#include "platform/posix/XPosixForcedDelete.h"

#include "support/VTestTempFolder.h"
#include "support/VTestTrees.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vkit;
using namespace vkit::testing;

namespace {

constexpr uid_t kNobody = 65534;

std::string Describe(const XPosixTreeError& inError) {
    if (!inError.IsError())
        return "no error";
    return std::string(inError.fOperation) + " '" + inError.fPath + "': " + std::strerror(inError.fErrno);
}

bool HasInodeFlag(const std::string& inPath, int inFlag) {
    int fd = ::open(inPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    int flags = 0;
    bool has = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & inFlag) != 0;
    if (fd >= 0)
        ::close(fd);
    return has;
}

/// Gives a whole tree to another owner (links themselves, not their targets).
void ChangeOwner(const std::string& inRoot, uid_t inOwner) {
    EXPECT_EQ(RunShell("chown -R -h " + std::to_string(inOwner) + ":" + std::to_string(inOwner) + " '" +
                       inRoot + "'"),
              0);
}

class XPosixForcedDeleteTest : public ::testing::Test {
protected:
    void SetUp() override {
        fParent = fTemp.MakeFolder("parent");
        fTree = fParent + "/tree";
        BuildSampleTree(fTree);
    }

    /// Locks one file, one folder (holding a file) and makes one file append-only; false when the
    /// attributes cannot be set here.
    bool LockItems() {
        fTemp.WriteFile("parent/tree/locked/inside.txt", "inside a locked folder");
        return SetInodeFlag(fTree + "/plain.txt", FS_IMMUTABLE_FL, true) &&
               SetInodeFlag(fTree + "/Contents/Info.plist", FS_APPEND_FL, true) &&
               SetInodeFlag(fTree + "/locked", FS_IMMUTABLE_FL, true);
    }

    VTestTempFolder fTemp;
    std::string fParent;
    std::string fTree;
};

} // namespace

TEST_F(XPosixForcedDeleteTest, RemovesLockedAndReadOnlyItemsAndKeepsTheParentsMode) {
    if (!LockItems())
        GTEST_SKIP() << "setting the immutable attribute (chattr +i) is not permitted here";
    fTemp.WriteFile("parent/tree/unreadable/inside.txt", "x");
    ::chmod((fTree + "/unreadable").c_str(), 0);
    ::chmod(fParent.c_str(), 0751);

    XPosixTreeError restore;
    XPosixTreeError error = XPosixForcedDelete::Delete(fTree, &restore);

    ASSERT_FALSE(error.IsError()) << Describe(error);
    EXPECT_FALSE(restore.IsError()) << Describe(restore);
    EXPECT_FALSE(ItemExists(fTree));
    EXPECT_EQ(ModeOf(fParent), 0751);
}

TEST_F(XPosixForcedDeleteTest, LockedParentIsUnlockedForTheDurationOnly) {
    if (!SetInodeFlag(fParent, FS_IMMUTABLE_FL, true))
        GTEST_SKIP() << "setting the immutable attribute (chattr +i) is not permitted here";

    XPosixTreeError error = XPosixForcedDelete::Delete(fTree + "/");

    ASSERT_FALSE(error.IsError()) << Describe(error);
    EXPECT_FALSE(ItemExists(fTree));
    EXPECT_TRUE(HasInodeFlag(fParent, FS_IMMUTABLE_FL));
    SetInodeFlag(fParent, FS_IMMUTABLE_FL, false);
}

TEST_F(XPosixForcedDeleteTest, LinksToASentinelAreRemovedNotFollowed) {
    std::string sentinel = fTemp.MakeFolder("sentinel");
    fTemp.WriteFile("sentinel/guarded.txt", "guarded");
    ::chmod(sentinel.c_str(), 0555);
    ::symlink(sentinel.c_str(), (fTree + "/escape").c_str());
    ::symlink((sentinel + "/guarded.txt").c_str(), (fTree + "/Contents/escape-file").c_str());
    ::symlink("../../sentinel", (fTree + "/escape-relative").c_str());
    ::symlink(sentinel.c_str(), (fTemp / "root-link").c_str());

    XPosixTreeError tree = XPosixForcedDelete::Delete(fTree);
    XPosixTreeError rootLink = XPosixForcedDelete::Delete(fTemp / "root-link");

    ASSERT_FALSE(tree.IsError()) << Describe(tree);
    ASSERT_FALSE(rootLink.IsError()) << Describe(rootLink);
    EXPECT_FALSE(ItemExists(fTree));
    EXPECT_FALSE(ItemExists(fTemp / "root-link"));
    EXPECT_EQ(ListNamesWithPrefix(sentinel, ""), std::vector<std::string>{"guarded.txt"});
    EXPECT_EQ(ReadFile(sentinel + "/guarded.txt"), "guarded");
    EXPECT_EQ(ModeOf(sentinel), 0555);
}

TEST_F(XPosixForcedDeleteTest, MissingNamelessOrDotEndedPathsFail) {
    XPosixTreeError missing = XPosixForcedDelete::Delete(fParent + "/absent");

    EXPECT_EQ(missing.fErrno, ENOENT);
    EXPECT_EQ(missing.fPath, fParent + "/absent");
    EXPECT_EQ(XPosixForcedDelete::Delete("/").fErrno, EINVAL);
    EXPECT_EQ(XPosixForcedDelete::Delete("").fErrno, EINVAL);
    // "tree/." names tree and "tree/Contents/.." names it too: nothing of it is removed.
    for (const char* step : {"/.", "/./", "/Contents/.."})
        EXPECT_EQ(XPosixForcedDelete::Delete(fTree + step).fErrno, EINVAL);
    EXPECT_TRUE(ItemExists(fTree + "/plain.txt"));
}

// Root skips every permission check: an owner that is not root shows that read-only and unsearchable
// folders are opened up, and that the read-only parent gets its mode back.
TEST_F(XPosixForcedDeleteTest, OwnerOpensUpReadOnlyFoldersAndRestoresTheParent) {
    fTemp.WriteFile("parent/tree/unreadable/inside.txt", "x");
    ::chmod((fTree + "/unreadable").c_str(), 0);
    ChangeOwner(fParent, kNobody);
    ::chmod(fParent.c_str(), 0555);
    ::chmod(fTemp.Path().c_str(), 0755);

    int status = RunInChild([&] {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            return 100;
        XPosixTreeError error = XPosixForcedDelete::Delete(fTree);
        if (error.IsError())
            std::fprintf(stderr, "%s\n", Describe(error).c_str());
        return error.fErrno;
    });

    EXPECT_EQ(status, 0) << std::strerror(status);
    EXPECT_FALSE(ItemExists(fTree));
    EXPECT_EQ(ModeOf(fParent), 0555);
}

TEST_F(XPosixForcedDeleteTest, FirstFailureStopsTheWalkAndNamesTheItem) {
    ChangeOwner(fParent, kNobody);
    // A folder of another owner: its items cannot be removed, nor it unlocked, by the tree's owner.
    std::string foreign = fTemp.WriteFile("parent/tree/foreign/owned-by-root.txt", "x");
    ::chmod(fTemp.Path().c_str(), 0755);

    int status = RunInChild([&] {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            return 100;
        XPosixTreeError error = XPosixForcedDelete::Delete(fTree);
        return error.fPath == foreign ? error.fErrno : 101;
    });

    EXPECT_EQ(status, EACCES);
    EXPECT_TRUE(ItemExists(foreign));
    EXPECT_EQ(ModeOf(fParent), 0755);
}

// Past a depth the walk goes on by path: both walks must meet, and a failure down there must name the
// item.
TEST_F(XPosixForcedDeleteTest, DeepTreesAreRemovedPastTheOpenFolderLimit) {
    std::string relative = "parent/tree";
    for (int level = 0; level < 150; ++level) {
        relative += "/d" + std::to_string(level);
        fTemp.WriteFile(relative + "/f.txt", "x");
    }
    ::symlink("../..", (fTemp / relative + "/up").c_str());
    std::string deepCopy = fParent + "/deep-copy";
    ASSERT_EQ(RunShell("cp -a '" + fTree + "' '" + deepCopy + "'"), 0);
    ChangeOwner(deepCopy, kNobody);
    std::string foreign =
        fTemp.WriteFile("parent/deep-copy" + relative.substr(11) + "/foreign/owned-by-root.txt", "x");
    ::chmod(fTemp.Path().c_str(), 0755);
    ::chmod(fParent.c_str(), 0777);

    XPosixTreeError error = XPosixForcedDelete::Delete(fTree);
    int status = RunInChild([&] {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            return 100;
        XPosixTreeError failure = XPosixForcedDelete::Delete(deepCopy);
        return failure.fPath == foreign ? failure.fErrno : 101;
    });

    ASSERT_FALSE(error.IsError()) << Describe(error);
    EXPECT_FALSE(ItemExists(fTree));
    EXPECT_TRUE(ItemExists(fParent));
    EXPECT_EQ(status, EACCES);
    EXPECT_TRUE(ItemExists(foreign));
}
