// Tests of the one-call tree copy: what it keeps, what it refuses, failures and kills leaving no trace.
#include "platform/posix/XPosixTreeCopy.h"
#include "platform/posix/XPosixForcedDelete.h"

#include "support/VTestTempFolder.h"
#include "support/VTestTrees.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace vkit;
using namespace vkit::testing;

namespace {

std::string Describe(const XPosixTreeError& inError) {
    if (!inError.IsError())
        return "no error";
    return std::string(inError.fOperation) + " '" + inError.fPath + "': " + std::strerror(inError.fErrno);
}

/// The temporaries of a copy to inDestination left in its parent folder.
std::vector<std::string> Temporaries(const std::string& inParent, const std::string& inName) {
    return ListNamesWithPrefix(inParent, "." + inName + ".copy-");
}

class XPosixTreeCopyTest : public ::testing::Test {
protected:
    std::string Source() const { return fTemp / "source"; }
    std::string Destination() const { return fTemp / "destination"; }

    VTestTempFolder fTemp;
};

class XPosixTreeCopyThreadsTest : public XPosixTreeCopyTest,
                                  public ::testing::WithParamInterface<unsigned> {};

} // namespace

TEST_P(XPosixTreeCopyThreadsTest, KeepsContentModesTimesLinksEmptyAndHiddenItems) {
    BuildSampleTree(Source());

    XPosixTreeError error = XPosixTreeCopy::Copy(Source(), Destination(), GetParam());

    ASSERT_FALSE(error.IsError()) << Describe(error);
    EXPECT_EQ(CompareTrees(Source(), Destination()), "");
    EXPECT_TRUE(Temporaries(fTemp.Path(), "destination").empty());
}

INSTANTIATE_TEST_SUITE_P(Threads, XPosixTreeCopyThreadsTest, ::testing::Values(0u, 1u, 4u));

TEST_F(XPosixTreeCopyTest, LinksAreCopiedAsLinksAndNeverFollowed) {
    std::string sentinel = fTemp.MakeFolder("sentinel");
    fTemp.WriteFile("sentinel/guarded.txt", "guarded");
    std::string before = CompareTrees(sentinel, sentinel);
    fTemp.MakeFolder("source");
    ::symlink(sentinel.c_str(), (Source() + "/escape").c_str());
    ::symlink((sentinel + "/guarded.txt").c_str(), (Source() + "/escape-file").c_str());
    ::symlink("../sentinel", (Source() + "/escape-relative").c_str());

    XPosixTreeError error = XPosixTreeCopy::Copy(Source(), Destination());

    ASSERT_FALSE(error.IsError()) << Describe(error);
    EXPECT_EQ(CompareTrees(Source(), Destination()), "");
    struct stat status;
    ASSERT_EQ(::lstat((Destination() + "/escape").c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    EXPECT_EQ(ListNamesWithPrefix(sentinel, ""), std::vector<std::string>{"guarded.txt"});
    EXPECT_EQ(ReadFile(sentinel + "/guarded.txt"), "guarded");
}

TEST_F(XPosixTreeCopyTest, SkipsFifosSocketsAndDevicesWithoutBlocking) {
    fTemp.WriteFile("source/kept.txt", "kept");
    ASSERT_EQ(::mkfifo((Source() + "/pipe").c_str(), 0644), 0);
    int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string socketPath = Source() + "/socket";
    ASSERT_LT(socketPath.size(), sizeof(address.sun_path));
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    bool haveDevice = ::mknod((Source() + "/null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;

    XPosixTreeError error = XPosixTreeCopy::Copy(Source(), Destination());
    ::close(sock);

    ASSERT_FALSE(error.IsError()) << Describe(error);
    EXPECT_EQ(ListNamesWithPrefix(Destination(), ""), std::vector<std::string>{"kept.txt"});
    if (!haveDevice)
        GTEST_SKIP() << "mknod of a device is not permitted here; FIFO and socket were checked";
}

TEST_F(XPosixTreeCopyTest, ExistingDestinationFailsAndLeavesBothUntouched) {
    BuildSampleTree(Source());
    fTemp.WriteFile("destination/old.txt", "old");
    fTemp.WriteFile("reference/old.txt", "old");
    ::symlink("nowhere", (fTemp / "dangling").c_str());

    XPosixTreeError ontoFolder = XPosixTreeCopy::Copy(Source(), Destination());
    XPosixTreeError ontoLink = XPosixTreeCopy::Copy(Source(), fTemp / "dangling");

    EXPECT_EQ(ontoFolder.fErrno, EEXIST) << Describe(ontoFolder);
    EXPECT_EQ(ontoFolder.fPath, Destination());
    EXPECT_EQ(ontoLink.fErrno, EEXIST) << Describe(ontoLink);
    EXPECT_EQ(CompareTrees(fTemp / "reference", Destination(), false), "");
    EXPECT_TRUE(ItemExists(fTemp / "dangling"));
    EXPECT_TRUE(ItemExists(Source() + "/big.bin"));
    EXPECT_TRUE(Temporaries(fTemp.Path(), "destination").empty());
    EXPECT_TRUE(Temporaries(fTemp.Path(), "dangling").empty());
}

TEST_F(XPosixTreeCopyTest, MissingSourceOrParentIsNamed) {
    fTemp.MakeFolder("source");

    XPosixTreeError noSource = XPosixTreeCopy::Copy(fTemp / "absent", Destination());
    XPosixTreeError noParent = XPosixTreeCopy::Copy(Source(), fTemp / "absent/destination");
    XPosixTreeError fileSource = XPosixTreeCopy::Copy(fTemp.WriteFile("file", "x"), Destination());

    EXPECT_EQ(noSource.fErrno, ENOENT);
    EXPECT_EQ(noSource.fPath, fTemp / "absent");
    EXPECT_EQ(noParent.fErrno, ENOENT);
    EXPECT_EQ(noParent.fPath, fTemp / "absent");
    EXPECT_EQ(fileSource.fErrno, ENOTDIR);
    EXPECT_FALSE(ItemExists(Destination()));
}

TEST_F(XPosixTreeCopyTest, DestinationInsideTheSourceIsRefused) {
    fTemp.WriteFile("source/sub/deeper/file.txt", "x");

    XPosixTreeError intoChild = XPosixTreeCopy::Copy(Source(), Source() + "/copy");
    XPosixTreeError intoDeeper = XPosixTreeCopy::Copy(Source() + "/", Source() + "/sub/deeper/copy/");

    EXPECT_EQ(intoChild.fErrno, EINVAL) << Describe(intoChild);
    EXPECT_EQ(intoDeeper.fErrno, EINVAL) << Describe(intoDeeper);
    EXPECT_EQ(ListNamesWithPrefix(Source(), ""), std::vector<std::string>{"sub"});
    EXPECT_EQ(ListNamesWithPrefix(Source() + "/sub/deeper", ""), std::vector<std::string>{"file.txt"});
}

TEST_F(XPosixTreeCopyTest, DestinationsNamingNoItemAreRefused) {
    fTemp.MakeFolder("source");

    EXPECT_EQ(XPosixTreeCopy::Copy(Source(), "").fErrno, EINVAL);
    EXPECT_EQ(XPosixTreeCopy::Copy(Source(), "/").fErrno, EINVAL);
    EXPECT_EQ(XPosixTreeCopy::Copy(Source(), fTemp / "x/..").fErrno, EINVAL);
    EXPECT_EQ(XPosixTreeCopy::Copy(Source(), fTemp / ".").fErrno, EINVAL);
}

TEST_F(XPosixTreeCopyTest, LongDestinationNameGetsAShortenedTemporary) {
    BuildSampleTree(Source());
    // 127 two-byte characters: the temporary's prefix must be cut on a character boundary.
    std::string name;
    for (int i = 0; i < 127; ++i)
        name += "\xC3\xA9";

    XPosixTreeError error = XPosixTreeCopy::Copy(Source(), fTemp / name);

    ASSERT_FALSE(error.IsError()) << Describe(error);
    EXPECT_EQ(CompareTrees(Source(), fTemp / name), "");
    EXPECT_EQ(ListNamesWithPrefix(fTemp.Path(), ".").size(), 0u);
}

// A write failure for root too: the file-size limit stops the copy of the big file with EFBIG.
TEST_F(XPosixTreeCopyTest, WriteFailureInTheMiddleLeavesNoTemporaryAndNoDestination) {
    BuildLargeTree(Source(), 4, 10);
    fTemp.WriteFile("source/folder2/huge.bin", std::string(2 * 1024 * 1024, 'h'));
    std::string reportPath = fTemp / "report";

    int status = RunInChild([&] {
        struct rlimit limit = {1024 * 1024, 1024 * 1024};
        ::signal(SIGXFSZ, SIG_IGN);
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 100;
        XPosixTreeError error = XPosixTreeCopy::Copy(Source(), Destination(), 2);
        limit = {RLIM_INFINITY, RLIM_INFINITY};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::ofstream(reportPath) << error.fPath;
        return error.fErrno;
    });

    EXPECT_EQ(status, EFBIG);
    EXPECT_EQ(ReadFile(reportPath), Destination() + "/folder2/huge.bin");
    EXPECT_FALSE(ItemExists(Destination()));
    EXPECT_TRUE(Temporaries(fTemp.Path(), "destination").empty());
}

TEST_F(XPosixTreeCopyTest, FullFileSystemLeavesNoTemporaryAndNoDestination) {
    std::string small = fTemp.MakeFolder("small");
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "mounting a small tmpfs is not permitted here: " << std::strerror(errno);
    BuildLargeTree(Source(), 8, 40);

    XPosixTreeError error = XPosixTreeCopy::Copy(Source(), small + "/destination");

    EXPECT_EQ(error.fErrno, ENOSPC) << Describe(error);
    EXPECT_EQ(error.fPath.rfind(small + "/destination/", 0), 0u) << error.fPath;
    EXPECT_EQ(ListNamesWithPrefix(small, ""), std::vector<std::string>{});
    ::umount2(small.c_str(), MNT_DETACH);
}

// Crash safety: a child copying a few thousand files is killed at several points; the destination is
// then either absent or complete, and the next copy removes the killed copies' temporaries.
TEST_F(XPosixTreeCopyTest, KilledCopyLeavesTheDestinationAbsentOrComplete) {
    BuildLargeTree(Source(), 40, 50);
    const std::string parent = fTemp.Path();
    // A delay in milliseconds before the kill; -1: as soon as the temporary holds a few folders.
    const int kKillPoints[] = {0, 5, 20, 50, 100, -1, -1};
    int absent = 0;
    int complete = 0;

    for (int killPoint : kKillPoints) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            ::_exit(XPosixTreeCopy::Copy(Source(), Destination()).fErrno);
        if (killPoint >= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(killPoint));
        } else {
            for (int poll = 0; poll < 20000; ++poll) {
                std::vector<std::string> temporaries = Temporaries(parent, "destination");
                bool started =
                    std::any_of(temporaries.begin(), temporaries.end(), [&](const std::string& name) {
                        return ListNamesWithPrefix(parent + "/" + name, "folder").size() >= 3;
                    });
                if (started || ItemExists(Destination()))
                    break;
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
        }
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);

        if (ItemExists(Destination())) {
            ++complete;
            EXPECT_EQ(CompareTrees(Source(), Destination()), "") << "kill point " << killPoint;
            XPosixTreeError removal = XPosixForcedDelete::Delete(Destination());
            ASSERT_FALSE(removal.IsError()) << Describe(removal);
        } else {
            ++absent;
        }
    }

    XPosixTreeError error = XPosixTreeCopy::Copy(Source(), Destination());
    ASSERT_FALSE(error.IsError()) << Describe(error);
    EXPECT_EQ(CompareTrees(Source(), Destination()), "");
    EXPECT_TRUE(Temporaries(parent, "destination").empty());
    // The kills that waited for the temporary to fill landed in the middle of a copy.
    EXPECT_GE(absent, 1) << complete << " kills came after the copy was complete";
}
