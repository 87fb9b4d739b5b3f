// Tests of XPosixFileCopier: which failures of the copy cascade hand over to the next method and which
// are remembered, met alike by the copier, the single-file copy and the tree copy; what a copy keeps.
#include "platform/posix/XPosixFileCopier.h"
#include "platform/posix/XPosixTreeCopy.h"

#include "support/VTestTempFolder.h"
#include "support/VTestTrees.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vkit;
using namespace vkit::testing;

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
        sRangeCopied = 0;
        int error = copier.Copy(source, dest, "a", false, step);
        sRangeCopied = 0;
        if (error == 0)
            error = copier.Copy(source, dest, "b", false, step);
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

TEST(XPosixFileCopierTest, SingleFileCopyKeepsOwnerModeAndTimesAndRefusesSpecialFiles) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a copy another owner";
    VTestTempFolder temp;
    std::string source = temp.WriteFile("owned", "x");
    ASSERT_EQ(::chown(source.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(source.c_str(), 04750), 0);
    ASSERT_EQ(::mkfifo((temp / "fifo").c_str(), 0644), 0);

    ASSERT_EQ(XPosixFileCopier::CopyItem(source, temp / "copy", false), VE_OK);
    EXPECT_EQ(XPosixFileCopier::CopyItem(temp / "fifo", temp / "fifo-copy", false),
              MakeVErrorFromPosix(ENOTSUP));

    struct stat status;
    ASSERT_EQ(::stat((temp / "copy").c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, 65534u);
    EXPECT_EQ(status.st_mode & 07777, 04750u) << "the set-user-ID bit survives the change of owner";
    EXPECT_FALSE(ItemExists(temp / "fifo-copy"));
}

} // namespace
