// Tests of VFile: existence, creation, deletion, renaming, moving, copying, content, text content,
// attributes and times, the bag writer, and the error pushed for a name holding ":".
#include "VFileTestSupport.h"

#include "bags/VValueBag.h"
#include "files/VBagFileWriter.h"
#include "files/VFileErrorCodes.h"
#include "files/VMemoryBuffer.h"
#include "text/VTime.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace vkit;
using namespace vkit::testing;

namespace {

const ::testing::Environment* const sEnvironment =
    ::testing::AddGlobalTestEnvironment(new FilesTestEnvironment);

constexpr VError kPosixEEXIST = MakeVErrorFromPosix(EEXIST);
constexpr VError kPosixENOENT = MakeVErrorFromPosix(ENOENT);

class VFileTest : public ::testing::Test {
protected:
    VTestTempFolder fTemp;
};

TEST_F(VFileTest, ExistsForFilesAndLinksButNotFolders) {
    fTemp.WriteFile("file", "x");
    fTemp.MakeFolder("dir");
    ASSERT_EQ(::symlink("nowhere", (fTemp / "dangling").c_str()), 0);
    EXPECT_TRUE(FileAt(fTemp / "file")->Exists());
    EXPECT_TRUE(FileAt(fTemp / "dangling")->Exists()) << "a dangling link is an existing file";
    EXPECT_FALSE(FileAt(fTemp / "dir")->Exists());
    EXPECT_FALSE(FileAt(fTemp / "missing")->Exists());
    // A folder path naming a file is not a file.
    VFile folderPathFile(VString((fTemp / "file/").c_str()), FilePathStyle::Posix);
    EXPECT_FALSE(folderPathFile.Exists());
}

TEST_F(VFileTest, CreateIsExclusiveUnlessOverwriting) {
    std::string path = fTemp.WriteFile("file", "old");
    VRefPtr<VFile> file = FileAt(path);
    StErrorContextInstaller guard;
    EXPECT_EQ(file->Create(), VE_FILE_CANNOT_CREATE);
    EXPECT_EQ(Codes(guard), (std::vector<VError>{kPosixEEXIST, VE_FILE_CANNOT_CREATE})) << Dump(guard);
    EXPECT_EQ(ReadFile(path), "old");
    int32_t options = -1;
    guard.GetContext()->GetLast()->GetBag().GetLong("options", options);
    EXPECT_EQ(options, 0);
    EXPECT_EQ(file->Create(kCopyOverwrite), VE_OK);
    EXPECT_EQ(ReadFile(path), "");
    EXPECT_EQ(Mode(path), 0644u);
}

TEST_F(VFileTest, CreateOverwritingALinkReplacesTheLinkNotItsTarget) {
    std::string target = fTemp.WriteFile("target", "keep");
    ASSERT_EQ(::symlink(target.c_str(), (fTemp / "link").c_str()), 0);
    EXPECT_EQ(FileAt(fTemp / "link")->Create(kCopyOverwrite), VE_OK);
    EXPECT_FALSE(IsLink(fTemp / "link"));
    EXPECT_EQ(ReadFile(target), "keep");
}

TEST_F(VFileTest, DeleteOfAMissingFileSucceedsAndOfAnInvalidPathFails) {
    StErrorContextInstaller guard;
    EXPECT_EQ(FileAt(fTemp / "missing")->Delete(), VE_OK);
    EXPECT_TRUE(Codes(guard).empty()) << Dump(guard);
    fTemp.MakeFolder("dir");
    EXPECT_EQ(FileAt(fTemp / "dir")->Delete(), VE_OK) << "a folder is no file";
    EXPECT_TRUE(ItemExists(fTemp / "dir"));
    EXPECT_TRUE(Codes(guard).empty()) << Dump(guard);
    VFile invalid{VFilePath()};
    EXPECT_EQ(invalid.Delete(), VE_FILE_CANNOT_DELETE);
    EXPECT_EQ(Codes(guard), (std::vector<VError>{VE_FILE_CANNOT_DELETE, VE_FILE_CANNOT_DELETE}));
}

TEST_F(VFileTest, DeleteRemovesALinkNotItsTarget) {
    std::string target = fTemp.WriteFile("target", "keep");
    ASSERT_EQ(::symlink(target.c_str(), (fTemp / "link").c_str()), 0);
    EXPECT_EQ(FileAt(fTemp / "link")->Delete(), VE_OK);
    EXPECT_FALSE(ItemExists(fTemp / "link"));
    EXPECT_EQ(ReadFile(target), "keep");
}

TEST_F(VFileTest, RenameOntoAnExistingNameFailsInsteadOfReplacing) {
    fTemp.WriteFile("a", "a");
    fTemp.WriteFile("b", "b");
    StErrorContextInstaller guard;
    VFile* renamed = reinterpret_cast<VFile*>(1);
    EXPECT_EQ(FileAt(fTemp / "a")->Rename("b", &renamed), VE_FILE_CANNOT_RENAME);
    EXPECT_EQ(renamed, nullptr);
    EXPECT_EQ(Codes(guard), (std::vector<VError>{kPosixEEXIST, VE_FILE_CANNOT_RENAME})) << Dump(guard);
    EXPECT_EQ(LastParameter(guard, "newname"), "b");
    EXPECT_EQ(ReadFile(fTemp / "a"), "a");
    EXPECT_EQ(ReadFile(fTemp / "b"), "b");
}

TEST_F(VFileTest, RenameToANameHoldingAColonRaises614AndIsRefused) {
    fTemp.WriteFile("a", "a");
    StErrorContextInstaller guard;
    EXPECT_EQ(FileAt(fTemp / "a")->Rename("x:y", nullptr), VE_FILE_CANNOT_RENAME);
    std::vector<VError> codes = Codes(guard);
    EXPECT_EQ(codes, (std::vector<VError>{VE_FILE_BAD_NAME, VE_FILE_CANNOT_RENAME, VE_FILE_CANNOT_RENAME}))
        << Dump(guard);
    VString name;
    EXPECT_TRUE(guard.GetContext()->GetFirst()->GetBag().GetString("p1", name));
    EXPECT_EQ(name.ToUTF8(), "x:y");
    EXPECT_EQ(LastParameter(guard, "newname"), "x:y");
    EXPECT_EQ(ReadFile(fTemp / "a"), "a");
    EXPECT_FALSE(ItemExists(fTemp / "x/y"));
}

TEST_F(VFileTest, PathNamesHoldingAColonRaise614) {
    StErrorContextInstaller guard;
    VFilePath path = FileAt(fTemp / "a.txt")->GetPath();
    EXPECT_FALSE(path.SetName("b:c"));
    EXPECT_FALSE(path.SetFileName("b:c"));
    EXPECT_FALSE(path.SetExtension("b:c"));
    EXPECT_EQ(path.GetPath().ToUTF8(), FileAt(fTemp / "a.txt")->GetPath().GetPath().ToUTF8());
    EXPECT_EQ(Codes(guard), (std::vector<VError>{VE_FILE_BAD_NAME, VE_FILE_BAD_NAME, VE_FILE_BAD_NAME}))
        << Dump(guard);
}

TEST_F(VFileTest, MoveInsideAFolderReplacesButElsewhereOnlyWithOverwrite) {
    fTemp.WriteFile("a", "a");
    fTemp.WriteFile("b", "b");
    fTemp.WriteFile("c", "c");
    fTemp.WriteFile("other/c", "old");
    StErrorContextInstaller guard;
    VFile* moved = nullptr;
    EXPECT_EQ(FileAt(fTemp / "a")->Move(FileAt(fTemp / "b")->GetPath(), &moved), VE_OK) << Dump(guard);
    VRefPtr<VFile> owner = AdoptRef(moved);
    EXPECT_EQ(ReadFile(fTemp / "b"), "a");
    EXPECT_EQ(FileAt(fTemp / "c")->Move(*FolderAt(fTemp / "other"), nullptr), VE_FILE_CANNOT_MOVE);
    EXPECT_EQ(ReadFile(fTemp / "other/c"), "old");
    EXPECT_EQ(LastParameter(guard, "destination"), FolderAt(fTemp / "other")->GetPath().GetPath().ToUTF8());
    EXPECT_EQ(FileAt(fTemp / "c")->Move(*FolderAt(fTemp / "other"), nullptr, kCopyOverwrite), VE_OK);
    EXPECT_EQ(ReadFile(fTemp / "other/c"), "c");
    EXPECT_FALSE(ItemExists(fTemp / "c"));
}

TEST_F(VFileTest, CopyKeepsModeAndTimesAndCopiesLinksAsLinks) {
    std::string source = fTemp.WriteFile("src/run", std::string(300000, 'z'));
    ::chmod(source.c_str(), 0751);
    struct timespec times[2] = {{1100000000, 0}, {1300000000, 500000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
    ASSERT_EQ(::symlink("run", (fTemp / "src/link").c_str()), 0);
    fTemp.MakeFolder("dst");
    StErrorContextInstaller guard;
    VFile* copy = nullptr;
    EXPECT_EQ(FileAt(source)->CopyTo(*FolderAt(fTemp / "dst"), &copy), VE_OK) << Dump(guard);
    VRefPtr<VFile> owner = AdoptRef(copy);
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->Exists());
    EXPECT_EQ(ReadFile(fTemp / "dst/run"), std::string(300000, 'z'));
    EXPECT_EQ(Mode(fTemp / "dst/run"), 0751u);
    struct stat info;
    ASSERT_EQ(::stat((fTemp / "dst/run").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, 1300000000);
    EXPECT_EQ(FileAt(fTemp / "src/link")->CopyTo(*FolderAt(fTemp / "dst"), nullptr), VE_OK) << Dump(guard);
    EXPECT_EQ(LinkText(fTemp / "dst/link"), "run");
}

TEST_F(VFileTest, CopyOntoAnExistingFileNeedsOverwrite) {
    std::string source = fTemp.WriteFile("a", "new");
    std::string target = fTemp.WriteFile("b", "old");
    StErrorContextInstaller guard;
    EXPECT_EQ(FileAt(source)->CopyTo(*FileAt(target)), VE_FILE_CANNOT_COPY);
    EXPECT_EQ(Codes(guard), (std::vector<VError>{kPosixEEXIST, VE_FILE_CANNOT_COPY})) << Dump(guard);
    EXPECT_EQ(LastParameter(guard, "destination"), FileAt(target)->GetPath().GetPath().ToUTF8());
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(FileAt(source)->CopyTo(*FileAt(target), kCopyOverwrite), VE_OK);
    EXPECT_EQ(ReadFile(target), "new");
    EXPECT_EQ(FileAt(target)->CopyFrom(*FileAt(fTemp / "missing"), kCopyOverwrite), VE_FILE_NOT_FOUND);
}

TEST_F(VFileTest, ContentRoundTripsAndSetContentMakesTheFolders) {
    VRefPtr<VFile> file = FileAt(fTemp / "new/deeper/file.bin");
    std::string data("a\0b\xff", 4);
    StErrorContextInstaller guard;
    ASSERT_EQ(file->SetContent(data.data(), data.size()), VE_OK) << Dump(guard);
    ASSERT_EQ(file->SetContent("xy", 2), VE_OK) << "a shorter content truncates";
    ASSERT_EQ(file->AppendContent("z", 1), VE_OK);
    VMemoryBuffer content;
    ASSERT_EQ(file->GetContent(content), VE_OK);
    EXPECT_EQ(std::string(static_cast<const char*>(content.GetDataPtr()), content.GetDataSize()), "xyz");
    char range[4] = {};
    size_t read = 0;
    EXPECT_EQ(file->GetData(range, 4, 1, &read), VE_STREAM_EOF) << "only two bytes from position 1";
    EXPECT_EQ(std::string(range, read), "yz");
    int64_t size = 0;
    EXPECT_EQ(file->GetSize(&size), VE_OK);
    EXPECT_EQ(size, 3);
}

TEST_F(VFileTest, GetContentOfAMissingFileNamesIt) {
    VRefPtr<VFile> file = FileAt(fTemp / "missing");
    StErrorContextInstaller guard;
    VMemoryBuffer content;
    EXPECT_EQ(file->GetContent(content), VE_FILE_NOT_FOUND);
    EXPECT_EQ(Codes(guard), (std::vector<VError>{kPosixENOENT, VE_FILE_NOT_FOUND})) << Dump(guard);
    EXPECT_EQ(LastParameter(guard, "name"), "missing");
    EXPECT_EQ(LastParameter(guard, "access"), "0");
}

TEST_F(VFileTest, TextContentHonoursByteOrderMarksAndLineEnds) {
    VRefPtr<VFile> file = FileAt(fTemp / "text.txt");
    StErrorContextInstaller guard;
    VString text(u"\u00e9t\u00e9\r\nline\rlast\n");
    ASSERT_EQ(file->SetContentAsString(text, eCharSetUTF16BigEndian, eCRM_LF, true), VE_OK) << Dump(guard);
    EXPECT_EQ(ReadFile(fTemp / "text.txt").substr(0, 4), std::string("\xfe\xff\x00\xe9", 4));
    VString read;
    // The byte-order mark wins over the character set asked for.
    ASSERT_EQ(file->GetContentAsString(read, eCharSetUTF8, eCRM_CRLF), VE_OK);
    EXPECT_EQ(read, VString(u"\u00e9t\u00e9\r\nline\r\nlast\r\n"));
    ASSERT_EQ(file->SetContentAsString(VString(), eCharSetUTF8, eCRM_None, true), VE_OK);
    EXPECT_EQ(ReadFile(fTemp / "text.txt"), "") << "no byte-order mark for an empty text";
    ASSERT_EQ(file->SetContentAsString(VString("caf\xc3\xa9"), eCharSetLatin1, eCRM_None, false), VE_OK);
    EXPECT_EQ(ReadFile(fTemp / "text.txt"), "caf\xe9");
    ASSERT_EQ(file->GetContentAsString(read, eCharSetLatin1, eCRM_None), VE_OK);
    EXPECT_EQ(read, VString("caf\xc3\xa9"));
    read = "stale";
    EXPECT_EQ(FileAt(fTemp / "missing")->GetContentAsString(read, eCharSetUTF8, eCRM_None),
              VE_FILE_NOT_FOUND);
    EXPECT_TRUE(read.IsEmpty());
}

TEST_F(VFileTest, LockedFilesCannotBeChangedUntilUnlocked) {
    VRefPtr<VFile> file = FileAt(fTemp.WriteFile("locked", "x"));
    {
        StErrorContextInstaller quiet(false);
        if (file->SetFileAttributes(kFileAttributeLocked) != VE_OK)
            GTEST_SKIP() << "the immutable attribute cannot be set here";
    }
    FileAttributes attributes = 0;
    EXPECT_EQ(file->GetFileAttributes(&attributes), VE_OK);
    EXPECT_EQ(attributes, kFileAttributeLocked);
    EXPECT_FALSE(file->IsWritable());
    StErrorContextInstaller guard;
    EXPECT_EQ(file->Delete(), VE_FILE_CANNOT_DELETE);
    EXPECT_EQ(Codes(guard), (std::vector<VError>{MakeVErrorFromPosix(EPERM), VE_FILE_CANNOT_DELETE}));
    EXPECT_EQ(file->SetFileAttributes(0), VE_OK);
    EXPECT_TRUE(file->IsWritable());
    EXPECT_EQ(file->Delete(), VE_OK);
    EXPECT_EQ(FileAt(fTemp.WriteFile(".hidden", ""))->GetFileAttributes(&attributes), VE_OK);
    EXPECT_EQ(attributes, kFileAttributeInvisible);
}

TEST_F(VFileTest, PermissionsAndTimesAreReadAndSet) {
    VRefPtr<VFile> file = FileAt(fTemp.WriteFile("file", "x"));
    StErrorContextInstaller guard;
    EXPECT_EQ(file->MAC_SetPermissions(0600), VE_OK) << Dump(guard);
    EXPECT_EQ(file->MAC_MakeWritableByAll(), VE_OK);
    uint16_t mode = 0;
    EXPECT_EQ(file->MAC_GetPermissions(&mode), VE_OK);
    EXPECT_EQ(mode, 0666);
    VTime modification;
    modification.FromUTCTime(2001, 2, 3, 4, 5, 6, 789);
    EXPECT_EQ(file->SetTimeAttributes(&modification), VE_OK) << Dump(guard);
    VTime read;
    VTime creation;
    EXPECT_EQ(file->GetTimeAttributes(&read, &creation), VE_OK);
    EXPECT_EQ(read.GetStamp(), modification.GetStamp());
    EXPECT_FALSE(creation.IsNull());
}

TEST_F(VFileTest, BagsAreWrittenAsAnXmlDocument) {
    VValueBag* bag = new VValueBag;
    bag->SetString("address", VString("10.0.0.1"));
    VRefPtr<VFile> file = FileAt(fTemp / "EnginedServer.ZQlink");
    StErrorContextInstaller guard;
    EXPECT_EQ(WriteBagToFileInXML(*bag, "database_shortcut", file.Get(), false), VE_OK) << Dump(guard);
    std::string text = ReadFile(fTemp / "EnginedServer.ZQlink");
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?><database_shortcut", 0), 0u) << text;
    EXPECT_NE(text.find("10.0.0.1"), std::string::npos);
    EXPECT_EQ(WriteBagToFileInXML(*bag, "x", nullptr, false), VE_OK);
    bag->Release();
}

} // namespace
