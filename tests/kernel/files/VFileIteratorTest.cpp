// Tests of the file and folder iterators: invisible items, links resolved or not, special files never
// listed, the times of the current item, and items kept inside the folder's file system.
#include "VFileTestSupport.h"

#include <sys/socket.h>
#include <sys/un.h>

using namespace vkit;
using namespace vkit::testing;

namespace {

/// The names an iterator reports, relative to inRoot, sorted.
template <class Iterator>
std::vector<std::string> List(const VFolder& inFolder, FileIteratorOptions inOptions,
                              const std::string& inRoot) {
    std::vector<std::string> names;
    for (Iterator it(&inFolder, inOptions); it.IsValid(); ++it)
        names.push_back(it->GetPath().GetPath(FilePathStyle::Posix).ToUTF8().substr(inRoot.size() + 1));
    std::sort(names.begin(), names.end());
    return names;
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

struct ListingCase {
    bool fFolders; // the folder iterator, else the file iterator
    FileIteratorOptions fOptions;
    std::vector<std::string> fExpected;
};

constexpr FileIteratorOptions kFiles = kIterateFiles, kFolders = kIterateFolders, kHidden = kIterateInvisible,
                              kResolve = kIterateResolveLinks;

const ListingCase kListingCases[] = {
    // Unresolved, every link is a file (to a folder, dangling, to a FIFO); FIFOs and sockets never are.
    {false, kFiles, {"alias", "dangling", "file.txt", "link", "to-hidden", "to-pipe"}},
    {false, kFiles | kFolders, {"alias", "dangling", "file.txt", "link", "to-hidden", "to-pipe"}},
    {false,
     kFiles | kHidden,
     {".hidden", ".hidden-alias", "alias", "dangling", "file.txt", "link", "to-hidden", "to-pipe"}},
    {false, kFolders, {}},
    // Resolved, a link is its target, listed when the target is of the kind and visible.
    {false, kFiles | kResolve, {"file.txt", "file.txt"}},
    {false, kFiles | kResolve | kHidden, {".hidden", ".hidden", "file.txt", "file.txt", "file.txt"}},
    {true, kFolders, {"dir/"}},
    {true, kFiles | kFolders, {"dir/"}},
    {true, kFolders | kHidden, {".hiddendir/", "dir/"}},
    {true, kFolders | kResolve, {"dir/", "dir/"}},
    {true, kFiles | kFolders | kHidden | kResolve, {".hiddendir/", "dir/", "dir/"}},
};

TEST_F(VFileIteratorTest, Table) {
    fTemp.WriteFile("file.txt", "f");
    fTemp.WriteFile(".hidden", "h");
    fTemp.MakeFolder("dir/inside");
    fTemp.MakeFolder(".hiddendir");
    const std::pair<const char*, const char*> links[] = {
        {"link", "dir"},          {"alias", "file.txt"},   {".hidden-alias", "file.txt"},
        {"to-hidden", ".hidden"}, {"dangling", "nowhere"}, {"to-pipe", "pipe"},
    };
    for (auto [name, target] : links)
        ASSERT_EQ(::symlink(target, At(name).c_str()), 0);
    ASSERT_EQ(::mkfifo(At("pipe").c_str(), 0644), 0);
    int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(At("socket").size(), sizeof(address.sun_path));
    std::strcpy(address.sun_path, At("socket").c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    for (const ListingCase& row : kListingCases) {
        SCOPED_TRACE(std::string(row.fFolders ? "folders " : "files ") + std::to_string(row.fOptions));
        EXPECT_EQ(row.fFolders ? List<VFolderIterator>(*fFolder, row.fOptions, fRoot)
                               : List<VFileIterator>(*fFolder, row.fOptions, fRoot),
                  row.fExpected);
    }
    ::close(sock);
    StErrorContextInstaller guard;
    EXPECT_FALSE(VFolderIterator(FolderAt(At("missing")).Get(), kIterateFolders).IsValid());
    EXPECT_TRUE(Codes(guard).empty()) << "a missing folder is over at once, without error";
}

TEST_F(VFileIteratorTest, AccessorGivesTheItemsOwnTimesOrReportsItVanished) {
    fTemp.WriteFile("file.txt", "f");
    ASSERT_EQ(::symlink("file.txt", At("link").c_str()), 0);
    const struct timespec fileTimes[2] = {{1600000000, 0}, {1500000000, 123000000}};
    const struct timespec linkTimes[2] = {{1600000000, 0}, {1400000000, 456000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, At("file.txt").c_str(), fileTimes, 0), 0);
    ASSERT_EQ(::utimensat(AT_FDCWD, At("link").c_str(), linkTimes, AT_SYMLINK_NOFOLLOW), 0);
    const int64_t epoch = VTime::ComputeJulianDay(1970, 1, 1) * VTime::kMillisecondsPerDay;
    // Unresolved, a link has its own times; resolved, its target's.
    std::vector<int64_t> times;
    for (FileIteratorOptions options : {kIterateFiles, kIterateFiles | kIterateResolveLinks}) {
        for (VFileIterator it(fFolder.Get(), options); it.IsValid(); ++it) {
            VTime modification, access;
            ASSERT_EQ(it.GetAttributeAccessor()->GetTime(&modification, nullptr, &access), VE_OK);
            times.push_back(modification.GetMilliseconds() - epoch);
            EXPECT_EQ(access.GetMilliseconds() - epoch, 1600000000000);
        }
    }
    std::sort(times.begin(), times.end());
    EXPECT_EQ(times, (std::vector<int64_t>{1400000000456, 1500000000123, 1500000000123, 1500000000123}));

    VFileIterator it(fFolder.Get(), kIterateFiles | kIterateResolveLinks);
    ::unlink(At("file.txt").c_str());
    StErrorContextInstaller guard;
    VTime modification;
    EXPECT_EQ(it.GetAttributeAccessor()->GetTime(&modification, nullptr, nullptr), VE_FILE_NOT_FOUND);
    EXPECT_EQ(Codes(guard).back(), VE_FILE_NOT_FOUND) << Dump(guard);
}

} // namespace
