// Tests of VFile::Open and VFileDesc: lock conflicts, truncation under a lock, reads, writes, positions.
#include "VFileTestSupport.h"

#include "files/VFileDesc.h"
#include "files/VFileErrorCodes.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <unistd.h>

using namespace vkit;
using namespace vkit::testing;

namespace {

const ::testing::Environment* const sEnvironment =
    ::testing::AddGlobalTestEnvironment(new FilesTestEnvironment);

class VFileDescTest : public ::testing::Test {
protected:
    std::unique_ptr<VFileDesc> Open(const VFile& inFile, FileAccess inAccess, FileOpenOptions inOptions = 0,
                                    VError* outError = nullptr) {
        VFileDesc* desc = nullptr;
        VError error = inFile.Open(inAccess, &desc, inOptions);
        if (outError != nullptr)
            *outError = error;
        return std::unique_ptr<VFileDesc>(desc);
    }

    VTestTempFolder fTemp;
};

TEST_F(VFileDescTest, AnExclusiveLockHeldElsewhereFailsAtOnceWithAccessDenied) {
    VRefPtr<VFile> file = FileAt(fTemp.WriteFile("locked", "data"));
    std::unique_ptr<VFileDesc> holder = Open(*file, eFileAccessReadWrite);
    ASSERT_TRUE(holder);
    StErrorContextInstaller guard;
    VError error = VE_OK;
    EXPECT_FALSE(Open(*file, eFileAccessReadWrite, kOpenTruncate, &error));
    // EACCES translates to the library's access-denied error.
    EXPECT_EQ(error, VE_ACCESS_DENIED);
    EXPECT_EQ(Codes(guard), (std::vector<VError>{MakeVErrorFromPosix(EACCES), VE_ACCESS_DENIED}))
        << Dump(guard);
    EXPECT_EQ(ReadFile(fTemp / "locked"), "data") << "no truncation without the lock";
    EXPECT_FALSE(Open(*file, eFileAccessShared));
    EXPECT_TRUE(Open(*file, eFileAccessRead)) << "reading takes no lock";
    holder.reset();
    EXPECT_TRUE(Open(*file, eFileAccessReadWrite)) << "closing releases the lock";
}

TEST_F(VFileDescTest, SharedLocksCoexistButExcludeWriters) {
    VRefPtr<VFile> file = FileAt(fTemp.WriteFile("shared", "data"));
    std::unique_ptr<VFileDesc> first = Open(*file, eFileAccessShared);
    StErrorContextInstaller guard;
    EXPECT_TRUE(Open(*file, eFileAccessShared)) << Dump(guard);
    EXPECT_FALSE(Open(*file, eFileAccessReadWrite));
}

TEST_F(VFileDescTest, BestAccessFallsBackToReadingWhenTheLockIsHeld) {
    VRefPtr<VFile> file = FileAt(fTemp.WriteFile("file", "data"));
    std::unique_ptr<VFileDesc> holder = Open(*file, eFileAccessReadWrite);
    StErrorContextInstaller guard;
    std::unique_ptr<VFileDesc> reader = Open(*file, eFileAccessBest);
    ASSERT_TRUE(reader) << Dump(guard);
    EXPECT_NE(reader->PutData("x", 1, 0), VE_OK) << "opened for reading only";
    EXPECT_EQ(ReadFile(fTemp / "file"), "data");
}

TEST_F(VFileDescTest, ReadsWritesPositionsAndSizes) {
    VRefPtr<VFile> file = FileAt(fTemp / "file");
    StErrorContextInstaller guard;
    std::unique_ptr<VFileDesc> desc = Open(*file, eFileAccessReadWrite, kOpenCreate);
    ASSERT_TRUE(desc) << Dump(guard);
    EXPECT_EQ(desc->PutData("hello", 5), VE_OK);
    int64_t position = 0;
    EXPECT_EQ(desc->GetPos(&position), VE_OK);
    EXPECT_EQ(position, 5);
    EXPECT_EQ(desc->PutData("J", 1, 0), VE_OK) << "a positioned write leaves the position";
    EXPECT_EQ(desc->SetSize(8), VE_OK);
    int64_t size = 0;
    EXPECT_EQ(desc->GetSize(&size), VE_OK);
    EXPECT_EQ(size, 8);
    char buffer[8] = {};
    EXPECT_EQ(desc->GetData(buffer, 8, 0), VE_OK);
    EXPECT_EQ(std::string(buffer, 8), std::string("Jello\0\0\0", 8));
    EXPECT_EQ(desc->SetPos(-2, true), VE_OK);
    size_t read = 0;
    EXPECT_EQ(desc->GetData(buffer, 4, -1, &read), VE_STREAM_EOF);
    EXPECT_EQ(read, 2u);
    EXPECT_EQ(guard.GetContext()->GetLastError(), VE_STREAM_EOF);
    EXPECT_EQ(LastParameter(guard, "name"), "file");
    EXPECT_EQ(desc->Flush(), VE_OK);
}

TEST_F(VFileDescTest, LinksAreFollowedOnlyWhenAsked) {
    fTemp.WriteFile("target", "data");
    ASSERT_EQ(::symlink("target", (fTemp / "link").c_str()), 0);
    VRefPtr<VFile> link = FileAt(fTemp / "link");
    StErrorContextInstaller guard;
    VError error = VE_OK;
    EXPECT_FALSE(Open(*link, eFileAccessRead, 0, &error));
    EXPECT_EQ(error, VE_FILE_CANNOT_OPEN);
    EXPECT_EQ(Codes(guard).front(), MakeVErrorFromPosix(ELOOP)) << Dump(guard);
    EXPECT_TRUE(Open(*link, eFileAccessRead, kOpenFollowLinks));
    EXPECT_FALSE(Open(*link, eFileAccessRead, kOpenResourceFork | kOpenFollowLinks)) << "no resource forks";
}

} // namespace
