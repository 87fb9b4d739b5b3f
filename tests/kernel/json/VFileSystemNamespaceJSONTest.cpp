// Tests of the file-system definition files: entries with and without a parent, options, skipped
// elements, and the errors of a missing, broken or null file.
#include "JSONTestSupport.h"

#include "errors/StErrorContextInstaller.h"
#include "files/VFile.h"
#include "files/VFileSystem.h"
#include "files/VFileSystemNamespace.h"
#include "files/VFolder.h"
#include "support/VTestTempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vkit;
using namespace vkit::testing;

namespace {

VFilePath PosixPath(const std::string& inPosix) {
    return VFilePath(VString(inPosix.c_str()), FilePathStyle::Posix);
}

std::string PosixText(const VFilePath& inPath) {
    VString text;
    inPath.GetPosixPath(text);
    return text.ToUTF8();
}

/// A namespace (with an optional parent) and a temporary folder to write definition files into.
class FileSystemDefinitionsTest : public ::testing::Test {
protected:
    ~FileSystemDefinitionsTest() override {
        ReleaseRefCountable(&fNames);
        ReleaseRefCountable(&fParentNames);
    }

    /// Registers inName on the folder inRelative (created) of the temporary folder, in inNames.
    void RegisterRoot(VFileSystemNamespace& inNames, const char* inName, const std::string& inRelative) {
        VRefPtr<VFolder> root = AdoptRef(new VFolder(PosixPath(fFolder.MakeFolder(inRelative) + "/")));
        ASSERT_EQ(inNames.RegisterFileSystem(VString(inName), root.Get(), 0), VE_OK);
    }

    /// Loads a definition file with this content under an error context of its own; fErrors receives
    /// what was pushed.
    VError Load(const std::string& inContent) {
        VRefPtr<VFile> file =
            AdoptRef(new VFile(PosixPath(fFolder.WriteFile("fileSystems.json", inContent))));
        return LoadFile(file.Get());
    }
    VError LoadFile(VFile* inFile) {
        StErrorContextInstaller errors(false);
        VError result = fNames->LoadFromDefinitionFile(inFile);
        fErrors = ReportsOf(*errors.GetContext());
        return result;
    }

    /// The root of a registered name as a POSIX text, "<none>" when the name is not registered.
    std::string RootOf(const char* inName, FileSystemLookupFlags inFlags = 0) const {
        VRefPtr<VFileSystem> fileSystem = AdoptRef(fNames->RetainFileSystem(VString(inName), inFlags));
        return fileSystem ? PosixText(fileSystem->GetRoot()) : "<none>";
    }
    bool IsWritable(const char* inName) const {
        VRefPtr<VFileSystem> fileSystem = AdoptRef(fNames->RetainFileSystem(VString(inName), 0));
        return fileSystem && fileSystem->IsWritable();
    }
    size_t Count() const {
        VFileSystemNamespace::Map map;
        fNames->RetainMapOfFileSystems(map);
        return map.size();
    }
    std::vector<int32_t> ErrorNumbers() const {
        std::vector<int32_t> numbers;
        for (const ErrorReport& report : fErrors)
            numbers.push_back(NumberFromVError(report.fCode));
        return numbers;
    }

    VTestTempFolder fFolder;
    VFileSystemNamespace* fParentNames = new VFileSystemNamespace;
    VFileSystemNamespace* fNames = new VFileSystemNamespace(fParentNames);
    std::vector<ErrorReport> fErrors;
};

} // namespace

TEST_F(FileSystemDefinitionsTest, EntriesWithAndWithoutParent) {
    RegisterRoot(*fNames, "base", "base");
    std::string data = fFolder / "data";
    ASSERT_EQ(Load("[{\"name\": \"data\", \"path\": \"" + data +
                   "\"},"
                   " {\"name\": \"slashed\", \"path\": \"" +
                   data +
                   "/\", \"writable\": false},"
                   " {\"name\": \"sub\", \"path\": \"x/sub\", \"parent\": \"base\", \"writable\": true},"
                   " {\"name\": \"full\", \"path\": \"" +
                   data + "\", \"parent\": \"\"}]"),
              VE_OK);
    EXPECT_TRUE(fErrors.empty());
    EXPECT_EQ(RootOf("data"), data + "/");
    EXPECT_EQ(RootOf("slashed"), data + "/");
    EXPECT_EQ(RootOf("sub"), fFolder / "base/x/sub/");
    EXPECT_EQ(RootOf("full"), data + "/");
    EXPECT_FALSE(IsWritable("data"));
    EXPECT_FALSE(IsWritable("slashed"));
    EXPECT_TRUE(IsWritable("sub"));
    EXPECT_EQ(Count(), 5u);
}

TEST_F(FileSystemDefinitionsTest, ParentIsFoundInTheParentNamespace) {
    RegisterRoot(*fParentNames, "shared", "shared");
    ASSERT_EQ(Load(R"([{"name": "logs", "path": "logs/", "parent": "shared"}])"), VE_OK);
    EXPECT_EQ(RootOf("logs"), fFolder / "shared/logs/");
    // The new name lives in this namespace, not in the parent.
    VRefPtr<VFileSystem> inParent = AdoptRef(fParentNames->RetainFileSystem(VString("logs"), 0));
    EXPECT_FALSE(inParent);
}

TEST_F(FileSystemDefinitionsTest, OtherElementsAndUnusableEntriesRegisterNothing) {
    std::string data = fFolder / "data";
    ASSERT_EQ(Load("[1, \"text\", null, true, [{\"name\": \"nested\", \"path\": \"" + data +
                   "\"}],"
                   " {\"name\": \"orphan\", \"path\": \"x\", \"parent\": \"missing\"},"
                   " {\"name\": \"nopath\"}, {\"name\": \"numberpath\", \"path\": 5},"
                   " {\"name\": \"yes\", \"path\": \"" +
                   data + "\", \"writable\": \"yes\"}]"),
              VE_OK);
    EXPECT_TRUE(fErrors.empty());
    EXPECT_EQ(RootOf("nested"), "<none>");
    EXPECT_EQ(RootOf("orphan"), "<none>");
    EXPECT_EQ(RootOf("nopath"), "<none>");
    EXPECT_EQ(RootOf("numberpath"), "<none>");
    // Only a boolean makes a root writable.
    EXPECT_EQ(RootOf("yes"), data + "/");
    EXPECT_FALSE(IsWritable("yes"));
    EXPECT_EQ(Count(), 1u);
}

TEST_F(FileSystemDefinitionsTest, InvalidNamePushes686AndTheOthersAreStillRead) {
    std::string data = fFolder / "data";
    ASSERT_EQ(Load("[{\"name\": \"a/b\", \"path\": \"" + data + "\"}, {\"path\": \"" + data +
                   "\"}, {\"name\": \"ok\", \"path\": \"" + data + "\"}]"),
              VE_OK);
    EXPECT_EQ(ErrorNumbers(), (std::vector<int32_t>{686, 686}));
    EXPECT_EQ(RootOf("ok"), data + "/");
    EXPECT_EQ(Count(), 1u);
}

TEST_F(FileSystemDefinitionsTest, LaterEntryOfTheSameNameReplacesTheFirst) {
    ASSERT_EQ(Load("[{\"name\": \"n\", \"path\": \"" + (fFolder / "one") +
                   "\"}, {\"name\": \"n\", \"path\": \"" + (fFolder / "two") + "\", \"writable\": true}]"),
              VE_OK);
    EXPECT_EQ(RootOf("n"), fFolder / "two/");
    EXPECT_TRUE(IsWritable("n"));
}

TEST_F(FileSystemDefinitionsTest, TopLevelObjectRegistersNothing) {
    ASSERT_EQ(Load("{\"name\": \"n\", \"path\": \"/tmp\"}"), VE_OK);
    EXPECT_TRUE(fErrors.empty());
    EXPECT_EQ(Count(), 0u);
}

TEST_F(FileSystemDefinitionsTest, ParseErrorPushes687WithThePathAndRegistersNothing) {
    // The lenient grammar keeps the element before the trailing comma, but nothing is registered.
    std::string data = fFolder / "data";
    EXPECT_EQ(Load("[{\"name\": \"n\", \"path\": \"" + data + "\"},]"), VE_FS_INVALID_DEFINITION_FILE);
    ASSERT_FALSE(fErrors.empty());
    EXPECT_EQ(ErrorNumbers().front(), 553); // the parser's own report comes first
    EXPECT_EQ(fErrors.back().fCode, VE_FS_INVALID_DEFINITION_FILE);
    EXPECT_EQ(Count(), 0u);

    StErrorContextInstaller errors(false);
    VRefPtr<VFile> file = AdoptRef(new VFile(PosixPath(fFolder / "fileSystems.json")));
    ASSERT_EQ(fNames->LoadFromDefinitionFile(file.Get()), VE_FS_INVALID_DEFINITION_FILE);
    const VErrorBase* last = errors.GetContext()->GetErrors().back();
    VString path;
    ASSERT_TRUE(last->GetBag().GetString("path", path));
    EXPECT_EQ(path.ToUTF8(), fFolder / "fileSystems.json");
    VString description;
    last->GetErrorDescription(description);
    EXPECT_NE(description.ToUTF8().find(fFolder / "fileSystems.json"), std::string::npos)
        << description.ToUTF8();
}

TEST_F(FileSystemDefinitionsTest, EmptyAndMissingFilesFailWith687) {
    EXPECT_EQ(Load(""), VE_FS_INVALID_DEFINITION_FILE);
    EXPECT_EQ(fErrors.back().fCode, VE_FS_INVALID_DEFINITION_FILE);
    VRefPtr<VFile> missing = AdoptRef(new VFile(PosixPath(fFolder / "absent.json")));
    EXPECT_EQ(LoadFile(missing.Get()), VE_FS_INVALID_DEFINITION_FILE);
    ASSERT_GE(fErrors.size(), 2u); // the file's own error, then 687
    EXPECT_EQ(fErrors.back().fCode, VE_FS_INVALID_DEFINITION_FILE);
}

TEST_F(FileSystemDefinitionsTest, NullFileRaisesError1) {
    EXPECT_EQ(LoadFile(nullptr), VE_UNKNOWN_ERROR);
    ASSERT_EQ(fErrors.size(), 1u);
    EXPECT_EQ(fErrors[0].fCode, VE_UNKNOWN_ERROR);
}
