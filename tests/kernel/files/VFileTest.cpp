// Tests of VFile and VFileDesc: existence, creation, deletion, renaming, moving, copying, content, text
// content, attributes and times, the error pushed for a name holding ":", and open files:
// lock conflicts, truncation under a lock, reads, writes, positions.
#include "VFileTestSupport.h"

#include "files/VFileDesc.h"
#include "files/VMemoryBuffer.h"

#include <dlfcn.h>

using namespace vkit;
using namespace vkit::testing;

// While sRecording, fsync notes itself in sEvents, and fails with EIO on a file (sFailing 'f') or a folder
// ('d').
static bool sRecording = false;
static char sFailing = 0;
static std::string sEvents;

extern "C" int fsync(int inDescriptor) {
    static const auto sReal = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
    struct stat info;
    char kind = ::fstat(inDescriptor, &info) == 0 && S_ISDIR(info.st_mode) ? 'd' : 'f';
    sEvents += !sRecording ? "" : kind == 'd' ? "fsync folder|" : "fsync file|";
    if (sRecording && kind == sFailing)
        return errno = EIO, -1;
    return sReal(inDescriptor);
}

namespace {

constexpr VError kPosixEEXIST = MakeVErrorFromPosix(EEXIST);

class VFileTest : public ::testing::Test {
protected:
    VTestTempFolder fTemp;
};

TEST_F(VFileTest, ExistsCreateAndDeleteConcernTheFileItselfNeverALinksTarget) {
    std::string target = fTemp.WriteFile("target", "keep");
    fTemp.MakeFolder("dir");
    for (const char* link : {"link", "link2"})
        ASSERT_EQ(::symlink(target.c_str(), (fTemp / link).c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", (fTemp / "dangling").c_str()), 0);
    // A dangling link is an existing file; a folder, or a folder path naming a file, is not.
    EXPECT_TRUE(FileAt(target)->Exists() && FileAt(fTemp / "dangling")->Exists());
    EXPECT_FALSE(FileAt(fTemp / "dir")->Exists() || FileAt(fTemp / "missing")->Exists() ||
                 VFile(VString((fTemp / "target/").c_str()), FilePathStyle::Posix).Exists());
    StErrorContextInstaller guard;
    EXPECT_EQ(FileAt(target)->Create(), VE_FILE_CANNOT_CREATE);
    EXPECT_EQ(Codes(guard), (std::vector<VError>{kPosixEEXIST, VE_FILE_CANNOT_CREATE})) << Dump(guard);
    EXPECT_EQ(FileAt(fTemp / "link")->Create(kCopyOverwrite), VE_OK);
    EXPECT_EQ(FileAt(fTemp / "link2")->Delete(), VE_OK);
    EXPECT_EQ(Disk(fTemp.Path(), {"target", "link", "link2"}), "target=keep link= link2?");
    EXPECT_EQ(ModeOf(fTemp / "link"), 0644);
    EXPECT_EQ(FileAt(target)->Create(kCopyOverwrite), VE_OK);
    EXPECT_EQ(ReadFile(target), "");
    StErrorContextInstaller quiet;
    EXPECT_EQ(FileAt(fTemp / "missing")->Delete(), VE_OK);
    EXPECT_EQ(FileAt(fTemp / "dir")->Delete(), VE_OK) << "a folder is no file";
    EXPECT_EQ(Disk(fTemp.Path(), {"dir"}), "dir/");
    EXPECT_TRUE(Codes(quiet).empty()) << Dump(quiet);
    EXPECT_EQ(VFile{VFilePath()}.Delete(), VE_FILE_CANNOT_DELETE);
}

TEST_F(VFileTest, RenameNeverReplacesAndNamesHoldingAColonRaise614) {
    fTemp.WriteFile("a", "a");
    fTemp.WriteFile("b", "b");
    StErrorContextInstaller guard;
    VFile* renamed = reinterpret_cast<VFile*>(1);
    EXPECT_EQ(FileAt(fTemp / "a")->Rename("b", &renamed), VE_FILE_CANNOT_RENAME);
    EXPECT_EQ(renamed, nullptr);
    EXPECT_EQ(Codes(guard), (std::vector<VError>{kPosixEEXIST, VE_FILE_CANNOT_RENAME})) << Dump(guard);
    EXPECT_EQ(LastParameter(guard, "newname"), "b");

    StErrorContextInstaller colon;
    EXPECT_EQ(FileAt(fTemp / "a")->Rename("x:y", nullptr), VE_FILE_CANNOT_RENAME);
    EXPECT_EQ(Codes(colon),
              (std::vector<VError>{VE_FILE_BAD_NAME, VE_FILE_CANNOT_RENAME, VE_FILE_CANNOT_RENAME}))
        << Dump(colon);
    VString name;
    EXPECT_TRUE(colon.GetContext()->GetFirst()->GetBag().GetString("p1", name));
    EXPECT_EQ(name.ToUTF8(), "x:y");
    EXPECT_EQ(Disk(fTemp.Path(), {"a", "b", "x"}), "a=a b=b x?");

    ASSERT_EQ(FileAt(fTemp / "a")->Rename("c", &renamed), VE_OK);
    VRefPtr<VFile> owner = AdoptRef(renamed);
    EXPECT_EQ(renamed->GetPath().GetPath().ToUTF8(), NativeOf(fTemp / "c"));
    EXPECT_EQ(Disk(fTemp.Path(), {"a", "c"}), "a? c=a");
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
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->GetPath().GetPath().ToUTF8(), NativeOf(fTemp / "b"));
    EXPECT_EQ(FileAt(fTemp / "c")->Move(*FolderAt(fTemp / "other"), &moved), VE_FILE_CANNOT_MOVE);
    EXPECT_EQ(moved, nullptr);
    EXPECT_EQ(Disk(fTemp.Path(), {"a", "b", "c", "other/c"}), "a? b=a c=c other/c=old");
    EXPECT_EQ(LastParameter(guard, "destination"), fTemp / "other/");
    EXPECT_EQ(FileAt(fTemp / "c")->Move(*FolderAt(fTemp / "other"), nullptr, kCopyOverwrite), VE_OK);
    EXPECT_EQ(Disk(fTemp.Path(), {"c", "other/c"}), "c? other/c=c");
}

TEST_F(VFileTest, CopyKeepsModeTimesAndLinksAndReplacesOnlyWithOverwrite) {
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
    EXPECT_EQ(ReadFile(fTemp / "dst/run"), std::string(300000, 'z'));
    EXPECT_EQ(ModeOf(fTemp / "dst/run"), 0751);
    struct stat info;
    ASSERT_EQ(::stat((fTemp / "dst/run").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, 1300000000);
    EXPECT_EQ(FileAt(fTemp / "src/link")->CopyTo(*FolderAt(fTemp / "dst"), nullptr), VE_OK) << Dump(guard);

    std::string target = fTemp.WriteFile("b", "old");
    EXPECT_EQ(FileAt(fTemp / "dst/link")->CopyTo(*FileAt(target)), VE_FILE_CANNOT_COPY);
    EXPECT_EQ(Codes(guard), (std::vector<VError>{kPosixEEXIST, VE_FILE_CANNOT_COPY})) << Dump(guard);
    EXPECT_EQ(LastParameter(guard, "destination"), target);
    EXPECT_EQ(Disk(fTemp.Path(), {"dst/link", "b"}), "dst/link->run b=old");
    EXPECT_EQ(FileAt(fTemp / "dst/link")->CopyTo(*FileAt(target), kCopyOverwrite), VE_OK);
    EXPECT_EQ(FileAt(target)->CopyFrom(*FileAt(fTemp / "missing"), kCopyOverwrite), VE_FILE_NOT_FOUND);
    EXPECT_EQ(Disk(fTemp.Path(), {"b"}), "b->run") << "a source that cannot be copied costs no target";
}

TEST_F(VFileTest, ContentRoundTripsAndAMissingFileIsNamed) {
    VRefPtr<VFile> file = FileAt(fTemp / "new/deeper/file.bin");
    std::string data("a\0b\xff", 4);
    StErrorContextInstaller guard;
    ASSERT_EQ(file->SetContent(data.data(), data.size()), VE_OK) << Dump(guard);
    EXPECT_EQ(ReadFile(fTemp / "new/deeper/file.bin"), data) << "the missing folders are made";
    ASSERT_EQ(file->SetContent("xy", 2), VE_OK) << "a shorter content truncates";
    ASSERT_EQ(file->AppendContent("z", 1), VE_OK);
    VMemoryBuffer content;
    ASSERT_EQ(file->GetContent(content), VE_OK);
    EXPECT_EQ(std::string(static_cast<const char*>(content.GetDataPtr()), content.GetDataSize()), "xyz");
    char range[4] = {};
    size_t read = 0;
    EXPECT_EQ(file->GetData(range, 4, 1, &read), VE_STREAM_EOF) << "only two bytes from position 1";
    EXPECT_EQ(std::string(range, read), "yz");
    StErrorContextInstaller missing;
    EXPECT_EQ(FileAt(fTemp / "missing")->GetContent(content), VE_FILE_NOT_FOUND);
    EXPECT_EQ(content.GetDataSize(), 0u) << "a failed read leaves no stale content";
    EXPECT_EQ(Codes(missing), (std::vector<VError>{MakeVErrorFromPosix(ENOENT), VE_FILE_NOT_FOUND}))
        << Dump(missing);
    EXPECT_EQ(LastParameter(missing, "name") + LastParameter(missing, "access"), "missing0");
}

// A durable write or removal of "journal", set up by fSetUp, fsync failing as sFailing says; fMode -1:
// no file. The flush of the file comes before the rename, that of the folder after it.
struct DurableCase {
    const char *fLabel, *fSetUp;
    char fFailing;
    bool fRemove;
    const char *fEvents, *fJournal;
    int fMode;
};

const char* const kOld = "printf old > journal && chmod 600 journal";
const char* const kFlushes = "fsync file|fsync folder|";
const DurableCase kDurableCases[] = {
    {"a new file", "true", 0, false, kFlushes, "journal=new", 0644},
    {"a file replaced keeps its mode", kOld, 0, false, kFlushes, "journal=new", 0600},
    {"a link is replaced, not followed", "ln -s target journal", 0, false, kFlushes, "journal=new", 0644},
    {"a failed flush of the file: the file as it was", kOld, 'f', false, "fsync file|", "journal=old", 0600},
    {"a failed flush of the folder: the file replaced", kOld, 'd', false, kFlushes, "journal=new", 0600},
    {"removed", kOld, 0, true, "fsync folder|", "journal?", -1},
};

TEST_F(VFileTest, DurableWritesReplaceWholeFilesAndFlushTheirFolder) {
    for (const DurableCase& row : kDurableCases) {
        SCOPED_TRACE(row.fLabel);
        ASSERT_EQ(
            RunShell("cd '" + fTemp.Path() + "' && rm -f journal && echo keep > target && " + row.fSetUp), 0);
        StErrorContextInstaller guard;
        std::tie(sEvents, sFailing, sRecording) = std::tuple("", row.fFailing, true);
        VRefPtr<VFile> journal = FileAt(fTemp / "journal");
        (void)(row.fRemove ? journal->DeleteDurably() : journal->SetContentDurably("new", 3)); // pushes tell
        sRecording = false;
        EXPECT_EQ(sEvents, row.fEvents);
        EXPECT_EQ(Disk(fTemp.Path(), {"journal", "target"}), std::string(row.fJournal) + " target=keep\n");
        EXPECT_EQ(ModeOf(fTemp / "journal"), row.fMode);
        EXPECT_TRUE(ListNamesWithPrefix(fTemp.Path(), ".").empty()) << "no temporary is left";
        EXPECT_EQ(Codes(guard), Pushed(row.fFailing == 0 ? 0 : EIO, VE_FILE_CANNOT_WRITE)) << Dump(guard);
        EXPECT_EQ(LastParameter(guard, "step"), row.fFailing == 0 ? "(none)" : "fsync");
    }
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

TEST_F(VFileTest, AttributesTimesAndPermissionsAreReadAndSet) {
    VRefPtr<VFile> file = FileAt(fTemp.WriteFile("locked", "x"));
    struct timespec times[2] = {{1234567890, 0}, {1234567890, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (fTemp / "locked").c_str(), times, 0), 0);
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
    struct stat info;
    ASSERT_EQ(::stat((fTemp / "locked").c_str(), &info), 0);
    EXPECT_EQ(info.st_atim.tv_sec, 1234567890) << "a time not given is left as it was";
    // Files and folders share their attribute code: each must still push its own kind's codes.
    ASSERT_EQ(::symlink("loop", (fTemp / "loop").c_str()), 0);
    EXPECT_EQ(std::vector<VError>({FileAt(fTemp / "loop")->GetTimeAttributes(),
                                   FolderAt(fTemp / "loop")->MAC_SetPermissions(0755)}),
              std::vector<VError>({VE_FILE_CANNOT_GET_ATTRIBUTES, VE_FOLDER_CANNOT_SET_ATTRIBUTES}));
    FileAttributes attributes = 0;
    EXPECT_EQ(FileAt(fTemp.WriteFile(".hidden", ""))->GetFileAttributes(&attributes), VE_OK);
    EXPECT_EQ(attributes, kFileAttributeInvisible);
    {
        StErrorContextInstaller quiet(false);
        if (file->SetFileAttributes(kFileAttributeLocked) != VE_OK)
            GTEST_SKIP() << "the immutable attribute cannot be set here";
    }
    EXPECT_EQ(file->GetFileAttributes(&attributes), VE_OK);
    EXPECT_EQ(attributes, kFileAttributeLocked);
    EXPECT_FALSE(file->IsWritable());
    StErrorContextInstaller locked;
    EXPECT_EQ(file->Delete(), VE_FILE_CANNOT_DELETE);
    EXPECT_EQ(Codes(locked), (std::vector<VError>{MakeVErrorFromPosix(EPERM), VE_FILE_CANNOT_DELETE}));
    EXPECT_EQ(file->SetFileAttributes(0), VE_OK);
    EXPECT_TRUE(file->IsWritable());
    EXPECT_EQ(file->Delete(), VE_OK);
}

std::unique_ptr<VFileDesc> Open(const VFile& inFile, FileAccess inAccess, FileOpenOptions inOptions = 0,
                                VError* outError = nullptr) {
    VFileDesc* desc = nullptr;
    VError error = inFile.Open(inAccess, &desc, inOptions);
    if (outError != nullptr)
        *outError = error;
    return std::unique_ptr<VFileDesc>(desc);
}

TEST_F(VFileTest, LocksExcludeWritersAtOnceAndTruncateNothingWithoutTheLock) {
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
    int32_t options = 0;
    EXPECT_TRUE(guard.GetContext()->GetLast()->GetBag().GetLong("options", options) &&
                options == kOpenTruncate);
    EXPECT_FALSE(Open(*file, eFileAccessShared));
    EXPECT_TRUE(Open(*file, eFileAccessRead)) << "reading takes no lock";
    // The best access falls back to reading while the lock is held.
    std::unique_ptr<VFileDesc> reader = Open(*file, eFileAccessBest);
    ASSERT_TRUE(reader) << Dump(guard);
    EXPECT_NE(reader->PutData("x", 1, 0), VE_OK) << "opened for reading only";
    holder.reset();
    std::unique_ptr<VFileDesc> shared = Open(*file, eFileAccessShared);
    // Closing releases the lock; shared locks coexist but exclude writers.
    EXPECT_TRUE(shared && Open(*file, eFileAccessShared) && !Open(*file, eFileAccessReadWrite));
    EXPECT_EQ(ReadFile(fTemp / "locked"), "data") << "no truncation without the lock";
}

TEST_F(VFileTest, DescriptorsReadWriteAndFollowLinksOnlyWhenAsked) {
    fTemp.WriteFile("target", "data");
    ASSERT_EQ(::symlink("target", (fTemp / "link").c_str()), 0);
    StErrorContextInstaller guard;
    std::unique_ptr<VFileDesc> desc = Open(*FileAt(fTemp / "file"), eFileAccessReadWrite, kOpenCreate);
    ASSERT_TRUE(desc) << Dump(guard);
    EXPECT_EQ(desc->PutData("hello", 5), VE_OK);
    EXPECT_EQ(desc->PutData("J", 1, 0), VE_OK) << "a positioned write leaves the position";
    EXPECT_EQ(desc->SetSize(8), VE_OK);
    EXPECT_EQ(ReadFile(fTemp / "file"), std::string("Jello\0\0\0", 8));
    EXPECT_FALSE(Open(*FileAt(fTemp / "link"), eFileAccessRead));
    EXPECT_TRUE(Open(*FileAt(fTemp / "link"), eFileAccessRead, kOpenFollowLinks));
    EXPECT_FALSE(Open(*FileAt(fTemp / "link"), eFileAccessRead, kOpenResourceFork | kOpenFollowLinks));
}

} // namespace
