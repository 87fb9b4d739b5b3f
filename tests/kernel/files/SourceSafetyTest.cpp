// Copies and moves whose target is their own source, lies inside it or holds it, by path or through
// links: each is refused before anything is removed, and the disk stays exactly as it was.
#include "VFileTestSupport.h"

#include "files/VFileErrorCodes.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <unistd.h>

using namespace vkit;
using namespace vkit::testing;

namespace {

const ::testing::Environment* const sEnvironment =
    ::testing::AddGlobalTestEnvironment(new FilesTestEnvironment);

struct RefusalCase {
    const char* fLabel;
    // Runs the operation in the test folder t.
    std::function<VError(const std::string& t)> fOperation;
    VError fExpected;
};

VError CopyFile(const std::string& inFrom, const std::string& inTo) {
    return FileAt(inFrom)->CopyTo(FileAt(inTo)->GetPath(), nullptr, kCopyOverwrite);
}

VError MoveFile(const std::string& inFrom, const std::string& inTo, FileCopyOptions inOptions) {
    return FileAt(inFrom)->Move(FileAt(inTo)->GetPath(), nullptr, inOptions);
}

VError CopyFolder(const std::string& inFrom, const std::string& inInto, const char* inName,
                  FileCopyOptions inOptions) {
    return FolderAt(inFrom)->CopyTo(*FolderAt(inInto), VString(inName), nullptr, inOptions);
}

VError MoveFolder(const std::string& inFrom, const std::string& inInto, const char* inName) {
    return FolderAt(inFrom)->Move(*FolderAt(inInto), VString(inName), nullptr);
}

// t holds src/a.txt, src/sub/b.txt, the links src/self -> ".", src/alias.txt -> "a.txt" and door -> src.
const RefusalCase kRefusals[] = {
    {"file onto itself", [](auto t) { return CopyFile(t + "/src/a.txt", t + "/src/a.txt"); },
     VE_FILE_CANNOT_COPY},
    {"file through a linked parent", [](auto t) { return CopyFile(t + "/src/a.txt", t + "/src/self/a.txt"); },
     VE_FILE_CANNOT_COPY},
    {"file onto the link naming it", [](auto t) { return CopyFile(t + "/src/a.txt", t + "/src/alias.txt"); },
     VE_FILE_CANNOT_COPY},
    {"link onto the file it names", [](auto t) { return CopyFile(t + "/src/alias.txt", t + "/src/a.txt"); },
     VE_FILE_CANNOT_COPY},
    {"file moved onto itself",
     [](auto t) { return MoveFile(t + "/src/a.txt", t + "/door/a.txt", kCopyOverwrite); },
     VE_FILE_CANNOT_MOVE},
    {"folder into its own parent under its own name",
     [](auto t) { return CopyFolder(t + "/src", t, "src", kCopyOverwrite); }, VE_FOLDER_CANNOT_COPY},
    {"folder into an ancestor under the name of the folder holding it",
     [](auto t) { return CopyFolder(t + "/src/sub", t, "src", kCopyOverwrite); }, VE_FOLDER_CANNOT_COPY},
    {"folder onto itself through a linked parent",
     [](auto t) { return CopyFolder(t + "/src/sub", t + "/src/self", "sub", kCopyOverwrite); },
     VE_FOLDER_CANNOT_COPY},
    {"folder into itself through a link",
     [](auto t) { return CopyFolder(t + "/src", t + "/door", "copy", 0); }, VE_FOLDER_CANNOT_COPY},
    {"folder contents into itself through a link",
     [](auto t) { return FolderAt(t + "/src")->CopyContentsTo(*FolderAt(t + "/door/new"), 0); },
     VE_FOLDER_CANNOT_COPY},
    {"folder moved into itself through a link",
     [](auto t) { return MoveFolder(t + "/src", t + "/door", "moved"); }, VE_FOLDER_CANNOT_RENAME},
    {"folder moved onto the folder holding it", [](auto t) { return MoveFolder(t + "/src/sub", t, "src"); },
     VE_FOLDER_CANNOT_RENAME},
};

TEST(SourceSafetyTest, TargetsThatAreOrHoldOrLieInTheSourceAreRefusedWithNothingChanged) {
    for (const RefusalCase& row : kRefusals) {
        SCOPED_TRACE(row.fLabel);
        VTestTempFolder temp;
        temp.WriteFile("src/a.txt", "a");
        temp.WriteFile("src/sub/b.txt", "b");
        ASSERT_EQ(::symlink(".", (temp / "src/self").c_str()), 0);
        ASSERT_EQ(::symlink("a.txt", (temp / "src/alias.txt").c_str()), 0);
        ASSERT_EQ(::symlink("src", (temp / "door").c_str()), 0);
        std::vector<std::string> before = TreeOf(temp.Path());
        StErrorContextInstaller guard;

        EXPECT_EQ(row.fOperation(temp.Path()), row.fExpected) << Dump(guard);
        // Only the file error, which names the item and the reason.
        EXPECT_EQ(Codes(guard), std::vector<VError>{row.fExpected}) << Dump(guard);
        EXPECT_NE(Dump(guard).find("the destination"), std::string::npos) << Dump(guard);
        EXPECT_EQ(TreeOf(temp.Path()), before);
    }
}

TEST(SourceSafetyTest, NamesThatDifferOnlyInCaseAreOtherFolders) {
    VTestTempFolder temp;
    temp.WriteFile("App/x", "x");
    temp.MakeFolder("app");
    StErrorContextInstaller guard;
    EXPECT_EQ(CopyFolder(temp / "App", temp / "app", "App", 0), VE_OK) << Dump(guard);
    EXPECT_EQ(ReadFile(temp / "app/App/x"), "x");
    EXPECT_EQ(MoveFolder(temp / "App", temp / "app", "Moved"), VE_OK) << Dump(guard);
    EXPECT_EQ(TreeOf(temp.Path()),
              (std::vector<std::string>{"/app 493 folder", "/app/App 493 folder", "/app/App/x 420 file x",
                                        "/app/Moved 493 folder", "/app/Moved/x 420 file x"}));
}

} // namespace
