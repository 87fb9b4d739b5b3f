// Tests of the copy cascade (which failures hand over to the next method and which are remembered, met
// alike by the copier, the single-file copy and the tree copy), and of the whole-tree operations: the
// one-call copy (what it keeps, what it refuses, failures and kills leaving no trace) and the forced delete
// (locked and read-only items, the parent's state, links never followed).
#include "platform/posix/files/XPosixFileCopier.h"
#include "platform/posix/files/XPosixForcedDelete.h"
#include "platform/posix/files/XPosixTreeCopy.h"

#include "support/VTestTempFolder.h"
#include "support/VTestTrees.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <fstream>
#include <linux/fs.h>
#include <sys/ioctl.h>
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

constexpr uid_t kNobody = 65534;

bool HasInodeFlag(const std::string& inPath, int inFlag) {
    int fd = ::open(inPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    int flags = 0;
    bool has = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & inFlag) != 0;
    if (fd >= 0)
        ::close(fd);
    return has;
}

/// Gives a whole tree to nobody (links themselves, not their targets).
void GiveToNobody(const std::string& inRoot) {
    EXPECT_EQ(RunShell("chown -R -h " + std::to_string(kNobody) + ":" + std::to_string(kNobody) + " '" +
                       inRoot + "'"),
              0);
}

/// Deletes inPath as nobody in a child: answers the errno of the failure, 101 when it names another item
/// than inFailing (when given).
int DeleteAsNobody(const std::string& inPath, const std::string& inFailing = "") {
    return RunInChild([&] {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            return 100;
        XPosixTreeError error = XPosixForcedDelete::Delete(inPath);
        if (error.IsError())
            std::fprintf(stderr, "%s\n", Describe(error).c_str());
        return !inFailing.empty() && error.fPath != inFailing ? 101 : error.fErrno;
    });
}

class XPosixForcedDeleteTest : public ::testing::Test {
protected:
    void SetUp() override {
        fParent = fTemp.MakeFolder("parent");
        fTree = fParent + "/tree";
        BuildSampleTree(fTree);
    }

    VTestTempFolder fTemp;
    std::string fParent;
    std::string fTree;
};

} // namespace

// Links, absolute or relative, into a folder outside the tree are copied as links and never followed. The
// destination's name is 127 two-byte characters: the temporary's prefix must be cut on a character boundary.
TEST_P(XPosixTreeCopyThreadsTest, KeepsContentModesTimesLinksEmptyAndHiddenItems) {
    BuildSampleTree(Source());
    std::string sentinel = fTemp.MakeFolder("sentinel");
    fTemp.WriteFile("sentinel/guarded.txt", "guarded");
    ::symlink(sentinel.c_str(), (Source() + "/escape").c_str());
    ::symlink((sentinel + "/guarded.txt").c_str(), (Source() + "/escape-file").c_str());
    ::symlink("../sentinel", (Source() + "/escape-relative").c_str());
    std::string name;
    for (int i = 0; i < 127; ++i)
        name += "\xC3\xA9";

    XPosixTreeError error = XPosixTreeCopy::Copy(Source(), fTemp / name, GetParam());

    ASSERT_FALSE(error.IsError()) << Describe(error);
    EXPECT_EQ(CompareTrees(Source(), fTemp / name), "");
    EXPECT_TRUE(ListNamesWithPrefix(fTemp.Path(), ".").empty()) << "no temporary is left";
    EXPECT_EQ(ListNamesWithPrefix(sentinel, ""), std::vector<std::string>{"guarded.txt"});
    EXPECT_EQ(ReadFile(sentinel + "/guarded.txt"), "guarded");
}

INSTANTIATE_TEST_SUITE_P(Threads, XPosixTreeCopyThreadsTest, ::testing::Values(0u, 1u, 4u));

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

// A copy refused before it starts: the error and the path it names ("" for none), nothing else changed.
struct RefusedCase {
    const char* fSource;
    const char* fDestination;
    int fErrno;
    const char* fPath;
};

// clang-format off
const RefusedCase kRefusedCases[] = {
    {"source", "destination", EEXIST, "destination"}, {"source", "dangling", EEXIST, "dangling"},
    {"absent", "copy", ENOENT, "absent"}, {"source", "absent/copy", ENOENT, "absent"},
    {"file", "copy", ENOTDIR, "file"}, {"source", "source/copy", EINVAL, ""},
    {"source/", "source/sub/deeper/copy/", EINVAL, ""}, {"source", "x/..", EINVAL, ""},
    {"source", ".", EINVAL, ""}, {"source", "", EINVAL, ""}, {"source", "/", EINVAL, ""},
};
// clang-format on

TEST_F(XPosixTreeCopyTest, RefusedCopiesChangeNothing) {
    BuildSampleTree(Source());
    fTemp.WriteFile("source/sub/deeper/file.txt", "x");
    fTemp.WriteFile("destination/old.txt", "old");
    fTemp.WriteFile("file", "x");
    ::symlink("nowhere", (fTemp / "dangling").c_str());
    fTemp.MakeFolder("x");
    ASSERT_EQ(RunShell("cp -a '" + fTemp.Path() + "' '" + fTemp.Path() + ".reference'"), 0);
    for (const RefusedCase& row : kRefusedCases) {
        SCOPED_TRACE(row.fDestination);
        std::string destination = row.fDestination[0] == '/' || row.fDestination[0] == 0
                                      ? std::string(row.fDestination)
                                      : fTemp / row.fDestination;
        XPosixTreeError error = XPosixTreeCopy::Copy(fTemp / row.fSource, destination);
        EXPECT_EQ(error.fErrno, row.fErrno) << Describe(error);
        if (row.fPath[0] != 0) {
            EXPECT_EQ(error.fPath, fTemp / row.fPath);
        }
    }
    EXPECT_EQ(CompareTrees(fTemp.Path() + ".reference", fTemp.Path(), false), "");
    VTestTempFolder::RemoveTree(fTemp.Path() + ".reference");
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
        if (killPoint >= 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(killPoint));
        else
            Eventually([&] {
                for (const std::string& name : Temporaries(parent, "destination"))
                    if (ListNamesWithPrefix(parent + "/" + name, "folder").size() >= 3)
                        return true;
                return ItemExists(Destination());
            });
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

TEST_F(XPosixForcedDeleteTest, RemovesLockedAndReadOnlyItemsAndLeavesTheParentAsItWas) {
    fTemp.WriteFile("parent/tree/locked/inside.txt", "inside a locked folder");
    fTemp.WriteFile("parent/tree/unreadable/inside.txt", "x");
    ::chmod((fTree + "/unreadable").c_str(), 0);
    ::chmod(fParent.c_str(), 0751);
    if (!SetInodeFlag(fTree + "/plain.txt", FS_IMMUTABLE_FL, true) ||
        !SetInodeFlag(fTree + "/Contents/Info.plist", FS_APPEND_FL, true) ||
        !SetInodeFlag(fTree + "/locked", FS_IMMUTABLE_FL, true) ||
        !SetInodeFlag(fParent, FS_IMMUTABLE_FL, true))
        GTEST_SKIP() << "setting the immutable attribute (chattr +i) is not permitted here";

    XPosixTreeError restore;
    XPosixTreeError error = XPosixForcedDelete::Delete(fTree + "/", &restore);

    ASSERT_FALSE(error.IsError()) << Describe(error);
    EXPECT_FALSE(restore.IsError()) << Describe(restore);
    EXPECT_FALSE(ItemExists(fTree));
    EXPECT_EQ(ModeOf(fParent), 0751);
    EXPECT_TRUE(HasInodeFlag(fParent, FS_IMMUTABLE_FL))
        << "the locked parent is unlocked for the removal only";
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

    ASSERT_FALSE(tree.IsError() || rootLink.IsError()) << Describe(tree) << Describe(rootLink);
    EXPECT_FALSE(ItemExists(fTree) || ItemExists(fTemp / "root-link"));
    EXPECT_EQ(ListNamesWithPrefix(sentinel, ""), std::vector<std::string>{"guarded.txt"});
    EXPECT_EQ(ReadFile(sentinel + "/guarded.txt"), "guarded");
    EXPECT_EQ(ModeOf(sentinel), 0555);
}

TEST_F(XPosixForcedDeleteTest, MissingNamelessOrDotEndedPathsFail) {
    XPosixTreeError missing = XPosixForcedDelete::Delete(fParent + "/absent");
    EXPECT_EQ(missing.fErrno, ENOENT);
    EXPECT_EQ(missing.fPath, fParent + "/absent");
    // "tree/." names tree and "tree/Contents/.." names it too: nothing of it is removed.
    for (std::string path :
         {std::string("/"), std::string(""), fTree + "/.", fTree + "/./", fTree + "/Contents/.."})
        EXPECT_EQ(XPosixForcedDelete::Delete(path).fErrno, EINVAL) << path;
    EXPECT_TRUE(ItemExists(fTree + "/plain.txt"));
}

// Root skips every permission check: an owner that is not root shows that read-only and unsearchable
// folders are opened up, that the read-only parent gets its mode back, and that the first item that cannot
// be removed stops the walk and is named.
TEST_F(XPosixForcedDeleteTest, OwnerOpensUpReadOnlyFoldersAndStopsAtTheFirstForeignItem) {
    fTemp.WriteFile("parent/tree/unreadable/inside.txt", "x");
    ::chmod((fTree + "/unreadable").c_str(), 0);
    ASSERT_EQ(RunShell("cp -a '" + fTree + "' '" + fParent + "/other'"), 0);
    GiveToNobody(fParent);
    // A folder of another owner: its items cannot be removed, nor it unlocked, by the tree's owner.
    std::string foreign = fTemp.WriteFile("parent/other/foreign/owned-by-root.txt", "x");
    ::chmod(fParent.c_str(), 0555);
    ::chmod(fTemp.Path().c_str(), 0755);

    int status = DeleteAsNobody(fTree);
    int failure = DeleteAsNobody(fParent + "/other", foreign);

    EXPECT_EQ(status, 0) << std::strerror(status);
    EXPECT_FALSE(ItemExists(fTree));
    EXPECT_EQ(ModeOf(fParent), 0555);
    EXPECT_EQ(failure, EACCES);
    EXPECT_TRUE(ItemExists(foreign));
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
    GiveToNobody(deepCopy);
    std::string foreign =
        fTemp.WriteFile("parent/deep-copy" + relative.substr(11) + "/foreign/owned-by-root.txt", "x");
    ::chmod(fTemp.Path().c_str(), 0755);
    ::chmod(fParent.c_str(), 0777);

    XPosixTreeError error = XPosixForcedDelete::Delete(fTree);
    int status = DeleteAsNobody(deepCopy, foreign);

    ASSERT_FALSE(error.IsError()) << Describe(error);
    EXPECT_FALSE(ItemExists(fTree));
    EXPECT_TRUE(ItemExists(fParent));
    EXPECT_EQ(status, EACCES);
    EXPECT_TRUE(ItemExists(foreign));
}

namespace {

// While set, a reflink fails with sCloneErrno, and copy_file_range with sRangeErrno once it has copied
// sRangeBytes bytes.
int sCloneErrno = 0;
int sRangeErrno = 0;
size_t sRangeBytes = 0;
std::atomic<size_t> sRangeCopied{0}; // the tree copy's workers add to it

} // namespace

extern "C" int ioctl(int inDescriptor, unsigned long inRequest, ...) {
    static const auto sReal = reinterpret_cast<int (*)(int, unsigned long, ...)>(::dlsym(RTLD_NEXT, "ioctl"));
    va_list arguments;
    va_start(arguments, inRequest);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    if (inRequest == FICLONE && sCloneErrno != 0) {
        errno = sCloneErrno;
        return -1;
    }
    return sReal(inDescriptor, inRequest, argument);
}

extern "C" ssize_t copy_file_range(int inFrom, loff_t* ioFromOffset, int inTo, loff_t* ioToOffset,
                                   size_t inLength, unsigned inFlags) {
    static const auto sReal = reinterpret_cast<ssize_t (*)(int, loff_t*, int, loff_t*, size_t, unsigned)>(
        ::dlsym(RTLD_NEXT, "copy_file_range"));
    if (sRangeErrno != 0 && sRangeCopied >= sRangeBytes) {
        errno = sRangeErrno;
        return -1;
    }
    if (sRangeErrno != 0)
        inLength = std::min(inLength, sRangeBytes - sRangeCopied);
    ssize_t count = sReal(inFrom, ioFromOffset, inTo, ioToOffset, inLength, inFlags);
    sRangeCopied += count > 0 ? static_cast<size_t>(count) : 0;
    return count;
}

namespace {

struct CascadeCase {
    const char* fLabel;
    int fCloneErrno;
    int fRangeErrno;
    size_t fRangeBytes;
    int fExpectedErrno; // 0: the copy succeeds
    XPosixFileCopier::EMethod fMethodAfter;
};

const CascadeCase kCascadeCases[] = {
    {"reflink refused by the file system: remembered", EOPNOTSUPP, 0, 0, 0, XPosixFileCopier::eCopyRange},
    {"reflink refused for this file only", EINVAL, 0, 0, 0, XPosixFileCopier::eClone},
    {"reflink of a file in use as swap", ETXTBSY, 0, 0, 0, XPosixFileCopier::eClone},
    {"reflink failing otherwise", EIO, 0, 0, EIO, XPosixFileCopier::eClone},
    {"copy_file_range across file systems: remembered", EOPNOTSUPP, EXDEV, 0, 0,
     XPosixFileCopier::eReadWrite},
    {"copy_file_range refused part-way: read and write finish", EOPNOTSUPP, EINVAL, 65536, 0,
     XPosixFileCopier::eCopyRange},
    {"copy_file_range out of space", EOPNOTSUPP, ENOSPC, 65536, ENOSPC, XPosixFileCopier::eCopyRange},
};

TEST(XPosixFileCopierTest, CascadeHandsOverOrFailsAlikeInEveryCopy) {
    VTestTempFolder temp;
    std::string content(300000, 'c');
    for (size_t i = 0; i < content.size(); i += 7)
        content[i] = static_cast<char>('a' + i % 23);
    temp.WriteFile("source/a", content);
    temp.WriteFile("source/b", content);
    for (const CascadeCase& row : kCascadeCases) {
        SCOPED_TRACE(row.fLabel);
        std::string copies = temp.MakeFolder(row.fLabel);
        temp.MakeFolder(std::string(row.fLabel) + "/copier");
        sCloneErrno = row.fCloneErrno;
        sRangeErrno = row.fRangeErrno;
        sRangeBytes = row.fRangeBytes;

        // The copier itself, over two files: what it remembers from the first serves the second.
        XPosixFileCopier copier(true);
        int source = ::open((temp / "source").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        int dest = ::open((copies + "/copier").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        XPosixCopyStep step;
        int error = 0;
        for (const char* name : {"a", "b"})
            error = error != 0 ? error : (sRangeCopied = 0, copier.Copy(source, dest, name, false, step));
        ::close(source);
        ::close(dest);
        EXPECT_EQ(error, row.fExpectedErrno) << step.fOperation;
        EXPECT_EQ(copier.GetMethod(), row.fMethodAfter);
        // The single-file copy and the tree copy meet the same failures the same way.
        sRangeCopied = 0;
        VError single = XPosixFileCopier::CopyItem(temp / "source/a", copies + "/single", false);
        EXPECT_EQ(single, row.fExpectedErrno == 0 ? VE_OK : MakeVErrorFromPosix(row.fExpectedErrno));
        sRangeCopied = 0;
        XPosixTreeError tree = XPosixTreeCopy::Copy(temp / "source", copies + "/tree", 1);
        EXPECT_EQ(tree.fErrno, row.fExpectedErrno) << tree.fOperation << " " << tree.fPath;
        sCloneErrno = sRangeErrno = 0;
        if (row.fExpectedErrno == 0) {
            EXPECT_TRUE(ReadFile(copies + "/copier/b") == content &&
                        ReadFile(copies + "/single") == content && ReadFile(copies + "/tree/a") == content);
        } else {
            EXPECT_FALSE(ItemExists(copies + "/copier/a") || ItemExists(copies + "/single") ||
                         ItemExists(copies + "/tree"))
                << "a failed copy leaves nothing behind";
        }
    }
}

TEST(XPosixFileCopierTest, SingleFileCopyKeepsOwnerAndModeAndRefusesSpecialFiles) {
    VTestTempFolder temp;
    std::string source = temp.WriteFile("owned", "x");
    ASSERT_EQ(::chown(source.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(source.c_str(), 04750), 0);
    ASSERT_EQ(::mkfifo((temp / "fifo").c_str(), 0644), 0);
    ASSERT_EQ(XPosixFileCopier::CopyItem(source, temp / "copy", false), VE_OK);
    EXPECT_EQ(XPosixFileCopier::CopyItem(temp / "fifo", temp / "fifo-copy", false),
              MakeVErrorFromPosix(ENOTSUP));
    EXPECT_EQ(CompareTrees(source, temp / "copy"), "") << "the set-user-ID bit survives the change of owner";
    EXPECT_FALSE(ItemExists(temp / "fifo-copy"));
}

} // namespace
