// Tests of the file and folder iterators: invisible items, links resolved or not, special files never
// listed, the times of the current item, and items kept inside the folder's file system.
#include "VFileTestSupport.h"

#include "files/VFileErrorCodes.h"
#include "files/VFileIterator.h"
#include "files/VFileSystem.h"
#include "files/VFolderIterator.h"
#include "text/VTime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

using namespace vkit;
using namespace vkit::testing;

namespace {

const ::testing::Environment* const sEnvironment =
    ::testing::AddGlobalTestEnvironment(new FilesTestEnvironment);

/// The POSIX paths an iterator reports, sorted, with its last position.
template <class Iterator>
std::vector<std::string> List(const VFolder& inFolder, FileIteratorOptions inOptions,
                              int32_t* outLast = nullptr) {
    std::vector<std::string> paths;
    Iterator it(&inFolder, inOptions);
    for (; it.IsValid(); ++it) {
        paths.push_back(it->GetPath().GetPath(FilePathStyle::Posix).ToUTF8());
        if (outLast != nullptr)
            *outLast = it.GetPos();
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::vector<std::string> Files(const VFolder& inFolder, FileIteratorOptions inOptions) {
    return List<VFileIterator>(inFolder, inOptions);
}

std::vector<std::string> Folders(const VFolder& inFolder, FileIteratorOptions inOptions) {
    return List<VFolderIterator>(inFolder, inOptions);
}

class VFileIteratorTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The iterators list real paths: the temporary folder's own path may hold a link.
        char* real = ::realpath(fTemp.Path().c_str(), nullptr);
        fRoot = real;
        std::free(real);
        fFolder = FolderAt(fRoot);
    }
    std::string At(const std::string& inRelative) const { return fRoot + "/" + inRelative; }

    VTestTempFolder fTemp;
    std::string fRoot;
    VRefPtr<VFolder> fFolder;
};

} // namespace

TEST_F(VFileIteratorTest, InvisibleItemsOnlyWithTheOption) {
    fTemp.WriteFile("visible.txt", "v");
    fTemp.WriteFile(".hidden", "h");
    fTemp.MakeFolder("dir");
    fTemp.MakeFolder(".hiddendir");

    EXPECT_EQ(Files(*fFolder, kIterateFiles), std::vector<std::string>{At("visible.txt")});
    EXPECT_EQ(Files(*fFolder, kIterateFiles | kIterateInvisible),
              (std::vector<std::string>{At(".hidden"), At("visible.txt")}));
    EXPECT_EQ(Folders(*fFolder, kIterateFolders), std::vector<std::string>{At("dir/")});
    EXPECT_EQ(Folders(*fFolder, kIterateFolders | kIterateInvisible),
              (std::vector<std::string>{At(".hiddendir/"), At("dir/")}));
}

TEST_F(VFileIteratorTest, EachIteratorKeepsToItsKind) {
    fTemp.WriteFile("file.txt", "f");
    fTemp.MakeFolder("dir");

    // Both kinds asked: each iterator drops the other's flag.
    EXPECT_EQ(Files(*fFolder, kIterateFiles | kIterateFolders), std::vector<std::string>{At("file.txt")});
    EXPECT_EQ(Folders(*fFolder, kIterateFiles | kIterateFolders), std::vector<std::string>{At("dir/")});
    EXPECT_TRUE(Files(*fFolder, kIterateFolders).empty());
}

TEST_F(VFileIteratorTest, LinkToAFolderIsAFileUnlessResolved) {
    fTemp.MakeFolder("target/inside");
    ASSERT_EQ(::symlink("target", At("link").c_str()), 0);

    EXPECT_EQ(Files(*fFolder, kIterateFiles), std::vector<std::string>{At("link")});
    EXPECT_EQ(Folders(*fFolder, kIterateFolders), std::vector<std::string>{At("target/")});
    // Resolved, the link is its target folder: listed twice by the folder iterator, not as a file.
    EXPECT_EQ(Folders(*fFolder, kIterateFolders | kIterateResolveLinks),
              (std::vector<std::string>{At("target/"), At("target/")}));
    EXPECT_TRUE(Files(*fFolder, kIterateFiles | kIterateResolveLinks).empty());
}

TEST_F(VFileIteratorTest, LinkToAFileIsReportedAsItsTargetWhenResolved) {
    fTemp.WriteFile("sub/real.txt", "r");
    ASSERT_EQ(::symlink("sub/real.txt", At("alias").c_str()), 0);
    ASSERT_EQ(::symlink("sub/real.txt", At(".hidden-alias").c_str()), 0);
    ASSERT_EQ(::symlink(".hidden-target", At("to-hidden").c_str()), 0);
    fTemp.WriteFile(".hidden-target", "h");

    EXPECT_EQ(Files(*fFolder, kIterateFiles | kIterateResolveLinks),
              std::vector<std::string>{At("sub/real.txt")});
    EXPECT_EQ(Files(*fFolder, kIterateFiles | kIterateResolveLinks | kIterateInvisible),
              (std::vector<std::string>{At(".hidden-target"), At(".hidden-target"), At("sub/real.txt"),
                                        At("sub/real.txt")}));
}

TEST_F(VFileIteratorTest, DanglingLinkIsAFileOnlyWhenLinksAreNotResolved) {
    ASSERT_EQ(::symlink("nowhere", At("dangling").c_str()), 0);

    VFileIterator listed(fFolder.Get(), kIterateFiles);
    ASSERT_TRUE(listed.IsValid());
    EXPECT_TRUE(listed->Exists()) << "a dangling link is an existing file";
    EXPECT_TRUE(Files(*fFolder, kIterateFiles | kIterateResolveLinks).empty());
}

TEST_F(VFileIteratorTest, FifosAndSocketsAreNeverListed) {
    ASSERT_EQ(::mkfifo(At("pipe").c_str(), 0644), 0);
    int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string socketPath = At("socket");
    ASSERT_LT(socketPath.size(), sizeof(address.sun_path));
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::symlink("pipe", At("to-pipe").c_str()), 0);
    const FileIteratorOptions all = kIterateFiles | kIterateFolders | kIterateInvisible;

    EXPECT_EQ(Files(*fFolder, all), std::vector<std::string>{At("to-pipe")});
    EXPECT_TRUE(Files(*fFolder, all | kIterateResolveLinks).empty()) << "a link to a FIFO resolves to it";
    EXPECT_TRUE(Folders(*fFolder, all | kIterateResolveLinks).empty());
    ::close(sock);
}

TEST_F(VFileIteratorTest, EmptyOrMissingFolderIsOverAtOnceWithoutError) {
    fTemp.MakeFolder("empty");
    VRefPtr<VFolder> missing = FolderAt(At("missing"));
    StErrorContextInstaller guard;

    VFileIterator empty(FolderAt(At("empty")).Get(), kIterateFiles);
    VFolderIterator absent(missing.Get(), kIterateFolders);

    EXPECT_FALSE(empty.IsValid());
    EXPECT_EQ(empty.GetPos(), 0);
    EXPECT_EQ(empty.GetAttributeAccessor(), nullptr);
    EXPECT_FALSE(absent.IsValid());
    EXPECT_TRUE(Codes(guard).empty()) << Dump(guard);
}

TEST_F(VFileIteratorTest, PositionsCountFromOneAndItemsOutliveTheirTurn) {
    for (const char* name : {"a", "b", "c"})
        fTemp.WriteFile(name, name);
    int32_t last = 0;
    EXPECT_EQ(List<VFileIterator>(*fFolder, kIterateFiles, &last).size(), 3u);
    EXPECT_EQ(last, 3);

    VRefPtr<VFile> kept;
    {
        VFileIterator it(fFolder.Get(), kIterateFiles);
        kept = VRefPtr<VFile>(it.Current());
        ++it;
    }
    ASSERT_TRUE(kept);
    EXPECT_TRUE(kept->Exists());
}

TEST_F(VFileIteratorTest, AccessorGivesTheItemsOwnTimes) {
    fTemp.WriteFile("file.txt", "f");
    ASSERT_EQ(::symlink("file.txt", At("link").c_str()), 0);
    const struct timespec fileTimes[2] = {{1600000000, 0}, {1500000000, 123000000}};
    const struct timespec linkTimes[2] = {{1600000000, 0}, {1400000000, 456000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, At("file.txt").c_str(), fileTimes, 0), 0);
    ASSERT_EQ(::utimensat(AT_FDCWD, At("link").c_str(), linkTimes, AT_SYMLINK_NOFOLLOW), 0);
    const int64_t epoch = VTime::ComputeJulianDay(1970, 1, 1) * VTime::kMillisecondsPerDay;

    std::map<std::string, int64_t> plain;
    for (VFileIterator it(fFolder.Get(), kIterateFiles); it.IsValid(); ++it) {
        VTime modification;
        VTime access;
        ASSERT_EQ(it.GetAttributeAccessor()->GetTime(&modification, nullptr, &access), VE_OK);
        VString name;
        it->GetName(name);
        plain[name.ToUTF8()] = modification.GetMilliseconds() - epoch;
        EXPECT_EQ(access.GetMilliseconds() - epoch, 1600000000000);
    }
    VFileIterator resolved(fFolder.Get(), kIterateFiles | kIterateResolveLinks);
    VTime resolvedModification;
    ASSERT_TRUE(resolved.IsValid());
    ASSERT_EQ(resolved.GetAttributeAccessor()->GetTime(&resolvedModification, nullptr, nullptr), VE_OK);

    EXPECT_EQ(plain["file.txt"], 1500000000123);
    EXPECT_EQ(plain["link"], 1400000000456) << "a link that is not followed has its own times";
    EXPECT_EQ(resolvedModification.GetMilliseconds() - epoch, 1500000000123);
}

TEST_F(VFileIteratorTest, AccessorReportsAnItemThatVanished) {
    fTemp.WriteFile("gone.txt", "g");
    VFileIterator it(fFolder.Get(), kIterateFiles);
    ASSERT_TRUE(it.IsValid());
    ::unlink(At("gone.txt").c_str());
    StErrorContextInstaller guard;

    VTime modification;
    VError error = it.GetAttributeAccessor()->GetTime(&modification, nullptr, nullptr);

    EXPECT_EQ(error, VE_FILE_NOT_FOUND);
    EXPECT_EQ(Codes(guard).back(), VE_FILE_NOT_FOUND) << Dump(guard);
}

TEST_F(VFileIteratorTest, ItemsOfAFileSystemStayInsideItsRoot) {
    fTemp.WriteFile("root/inside.txt", "i");
    fTemp.WriteFile("outside.txt", "o");
    ASSERT_EQ(::symlink("../outside.txt", At("root/escape").c_str()), 0);
    VRefPtr<VFolder> root = FolderAt(At("root"));
    VRefPtr<VFileSystem> fileSystem = AdoptRef(VFileSystem::Create(VString("R"), root.Get(), 0, 0, 0));
    VFolder folder(root->GetPath(), fileSystem.Get());

    std::vector<std::string> resolved;
    for (VFileIterator it(&folder, kIterateFiles | kIterateResolveLinks); it.IsValid(); ++it) {
        EXPECT_EQ(it->GetFileSystem(), fileSystem.Get());
        resolved.push_back(it->GetPath().GetPath(FilePathStyle::Posix).ToUTF8());
    }

    EXPECT_EQ(resolved, std::vector<std::string>{At("root/inside.txt")});
    EXPECT_EQ(Files(folder, kIterateFiles).size(), 2u) << "unresolved, the link itself lies inside";
}
