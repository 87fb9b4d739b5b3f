// Tests of the file-system namespace: names refused, "../" escapes refused, hidden roots, replacement,
// parent chains, and the files and folders named by "/name/relative" texts.
#include "VFileTestSupport.h"

#include "files/IFile.h"
#include "files/VFileErrorCodes.h"
#include "files/VFileSystem.h"
#include "files/VFileSystemNamespace.h"

#include <gtest/gtest.h>

#include <string>

using namespace vkit;
using namespace vkit::testing;

namespace {

const ::testing::Environment* const sEnvironment =
    ::testing::AddGlobalTestEnvironment(new FilesTestEnvironment);

std::string PosixOf(const IFileSystemObject* inItem) {
    return inItem == nullptr ? std::string("(null)")
                             : inItem->GetPath().GetPath(FilePathStyle::Posix).ToUTF8();
}

class VFileSystemNamespaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        fResources = FolderAt(fTemp.MakeFolder("Resources"));
        fNamespace = AdoptRef(new VFileSystemNamespace());
        ASSERT_EQ(fNamespace->RegisterFileSystem(VString(".PRODUCT_RESOURCES"), fResources.Get(), 0), VE_OK);
    }

    /// ParsePathWithFileSystem's relative text, or "(refused)".
    std::string Parse(const char* inText, FileSystemLookupFlags inFlags = 0) {
        VFileSystem* fileSystem = nullptr;
        VString relative;
        if (!fNamespace->ParsePathWithFileSystem(VString(inText), &fileSystem, relative, inFlags)) {
            EXPECT_EQ(fileSystem, nullptr);
            return "(refused)";
        }
        EXPECT_NE(fileSystem, nullptr);
        ReleaseRefCountable(&fileSystem);
        return relative.ToUTF8();
    }

    VTestTempFolder fTemp;
    VRefPtr<VFolder> fResources;
    VRefPtr<VFileSystemNamespace> fNamespace;
};

} // namespace

TEST_F(VFileSystemNamespaceTest, NameWithASlashOrEmptyIsRefusedAndNothingRegistered) {
    StErrorContextInstaller guard;
    VError error = VE_OK;

    VFileSystem* created = VFileSystem::Create(VString("a/b"), fResources.Get(), 0, 0, 0, &error);
    VError registered = fNamespace->RegisterFileSystem(VString("a/b"), fResources.Get(), 0);
    VError empty = fNamespace->RegisterFileSystem(VString(""), fResources.Get(), 0);

    EXPECT_EQ(created, nullptr);
    EXPECT_EQ(error, VE_FS_INVALID_NAME);
    EXPECT_EQ(registered, VE_FS_INVALID_NAME);
    EXPECT_EQ(empty, VE_FS_INVALID_NAME);
    EXPECT_EQ(Codes(guard),
              (std::vector<VError>{VE_FS_INVALID_NAME, VE_FS_INVALID_NAME, VE_FS_INVALID_NAME}));
    EXPECT_EQ(LastParameter(guard, "name"), "");
    VFileSystemNamespace::Map map;
    fNamespace->RetainMapOfFileSystems(map);
    EXPECT_EQ(map.size(), 1u);
    EXPECT_EQ(fNamespace->RetainFileSystem(VString("a/b"), 0), nullptr);
}

TEST_F(VFileSystemNamespaceTest, DotDotStepsResolveInsideTheRootButNeverOutOfIt) {
    EXPECT_EQ(Parse("/.PRODUCT_RESOURCES/x/../y.json"), "y.json");
    EXPECT_EQ(Parse("/.PRODUCT_RESOURCES/a/b/../../c/"), "c/");
    EXPECT_EQ(Parse("/.PRODUCT_RESOURCES/"), "");
    EXPECT_EQ(Parse("/.PRODUCT_RESOURCES/../z"), "(refused)");
    EXPECT_EQ(Parse("/.PRODUCT_RESOURCES/a/../../z"), "(refused)");
    EXPECT_EQ(Parse("/.PRODUCT_RESOURCES/.."), "(refused)") << "a final \"..\" is a step too";
    EXPECT_EQ(Parse("/.PRODUCT_RESOURCES/x/.."), "");
    EXPECT_EQ(Parse("/.PRODUCT_RESOURCES/x/."), "x/");
    EXPECT_EQ(Parse("/.PRODUCT_RESOURCES"), "(refused)") << "no second slash";
    EXPECT_EQ(Parse(".PRODUCT_RESOURCES/x"), "(refused)") << "no leading slash";
    EXPECT_EQ(Parse("/UNKNOWN/x"), "(refused)");
    EXPECT_EQ(Parse("//x"), "(refused)") << "empty name";
}

TEST_F(VFileSystemNamespaceTest, HiddenRootIsLeftOutOfRestrictedLookups) {
    VRefPtr<VFolder> home = FolderAt(fTemp.MakeFolder("Documents"));
    ASSERT_EQ(fNamespace->RegisterFileSystem(VString(".USER_HOME_DIRECTORY"), home.Get(),
                                             VFileSystem::kOptionHidden),
              VE_OK);
    fTemp.WriteFile("Documents/notes.txt", "n");

    VRefPtr<VFileSystem> open = AdoptRef(fNamespace->RetainFileSystem(VString(".USER_HOME_DIRECTORY"), 0));
    VRefPtr<VFileSystem> restricted =
        AdoptRef(fNamespace->RetainFileSystem(VString(".USER_HOME_DIRECTORY"), kLookupRestricted));
    VRefPtr<IFile> restrictedFile = AdoptRef(fNamespace->RetainFile(
        VString("/.USER_HOME_DIRECTORY/notes.txt"), nullptr, kLookupRestricted, false));
    VRefPtr<IFile> file =
        AdoptRef(fNamespace->RetainFile(VString("/.USER_HOME_DIRECTORY/notes.txt"), nullptr, 0, false));

    EXPECT_TRUE(open);
    EXPECT_FALSE(restricted);
    EXPECT_FALSE(restrictedFile);
    EXPECT_EQ(PosixOf(file.Get()), fTemp / "Documents/notes.txt");
    EXPECT_TRUE(AdoptRef(fNamespace->RetainFileSystem(VString(".PRODUCT_RESOURCES"), kLookupRestricted)));
}

TEST_F(VFileSystemNamespaceTest, RegisteringAnExistingNameReplacesIt) {
    VRefPtr<VFolder> other = FolderAt(fTemp.MakeFolder("Other"));
    VRefPtr<VFileSystem> first = AdoptRef(fNamespace->RetainFileSystem(VString(".PRODUCT_RESOURCES"), 0));
    ASSERT_TRUE(first);

    ASSERT_EQ(fNamespace->RegisterFileSystem(VString(".PRODUCT_RESOURCES"), other.Get(), 0), VE_OK);

    VRefPtr<IFolder> root =
        AdoptRef(fNamespace->RetainFileSystemRootFolder(VString(".PRODUCT_RESOURCES"), 0));
    EXPECT_EQ(PosixOf(root.Get()), fTemp / "Other/");
    VFileSystemNamespace::Map map;
    fNamespace->RetainMapOfFileSystems(map);
    ASSERT_EQ(map.size(), 1u);
    EXPECT_NE(map.begin()->second.Get(), first.Get());
    // The map held the only other reference to the first one.
    EXPECT_EQ(first->Retain(), 2);
    first->Release();
    fNamespace->UnregisterFileSystem(VString(".PRODUCT_RESOURCES"));
    EXPECT_FALSE(AdoptRef(fNamespace->RetainFileSystem(VString(".PRODUCT_RESOURCES"), 0)));
}

TEST_F(VFileSystemNamespaceTest, LookupsReachTheParentOnlyWhenAsked) {
    VRefPtr<VFileSystemNamespace> child = AdoptRef(new VFileSystemNamespace(fNamespace.Get()));

    EXPECT_FALSE(AdoptRef(child->RetainFileSystem(VString(".PRODUCT_RESOURCES"), 0)));
    EXPECT_TRUE(AdoptRef(child->RetainFileSystem(VString(".PRODUCT_RESOURCES"), kLookupInParents)));
    EXPECT_FALSE(AdoptRef(child->RetainFile(VString("/.PRODUCT_RESOURCES/x.json"), nullptr, 0, false)));
    VRefPtr<IFile> file =
        AdoptRef(child->RetainFile(VString("/.PRODUCT_RESOURCES/x.json"), nullptr, kLookupInParents, false));
    EXPECT_EQ(PosixOf(file.Get()), fTemp / "Resources/x.json");
}

TEST_F(VFileSystemNamespaceTest, FilesAndFoldersNamedInsideARootCarryIt) {
    VRefPtr<VFileSystem> resources = AdoptRef(fNamespace->RetainFileSystem(VString(".PRODUCT_RESOURCES"), 0));

    VRefPtr<IFile> file =
        AdoptRef(fNamespace->RetainFile(VString("/.PRODUCT_RESOURCES/x/../y.json"), nullptr, 0, false));
    VRefPtr<IFolder> folder =
        AdoptRef(fNamespace->RetainFolder(VString("/.PRODUCT_RESOURCES/fr.lproj"), nullptr, 0, false));
    VRefPtr<IFolder> root =
        AdoptRef(fNamespace->RetainFolder(VString("/.PRODUCT_RESOURCES"), nullptr, 0, false));

    EXPECT_EQ(PosixOf(file.Get()), fTemp / "Resources/y.json");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->GetFileSystem(), resources.Get());
    EXPECT_EQ(PosixOf(folder.Get()), fTemp / "Resources/fr.lproj/");
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->GetFileSystem(), resources.Get());
    EXPECT_EQ(PosixOf(root.Get()), fTemp / "Resources/");
    // A folder text names no file, and a file needs a name.
    EXPECT_FALSE(
        AdoptRef(fNamespace->RetainFile(VString("/.PRODUCT_RESOURCES/fr.lproj/"), nullptr, 0, false)));
    EXPECT_FALSE(AdoptRef(fNamespace->RetainFile(VString("/.PRODUCT_RESOURCES/"), nullptr, 0, false)));
}

TEST_F(VFileSystemNamespaceTest, EscapesAndFullPathsNeedPermission) {
    VRefPtr<VFolder> base = FolderAt(fTemp.MakeFolder("base"));
    const VString escape("/.PRODUCT_RESOURCES/../secret.txt");

    EXPECT_FALSE(AdoptRef(fNamespace->RetainFile(escape, nullptr, 0, false)));
    EXPECT_FALSE(AdoptRef(fNamespace->RetainFile(VString("/.PRODUCT_RESOURCES/.."), nullptr, 0, false)));
    EXPECT_FALSE(AdoptRef(fNamespace->RetainFolder(VString("/.PRODUCT_RESOURCES/.."), nullptr, 0, false)));
    EXPECT_FALSE(AdoptRef(fNamespace->RetainFile(escape, base.Get(), 0, true)))
        << "a base forbids full paths";
    VRefPtr<IFile> full = AdoptRef(fNamespace->RetainFile(escape, nullptr, 0, true));
    EXPECT_EQ(PosixOf(full.Get()), "/secret.txt")
        << "taken as a full POSIX path, \"..\" at the top stays there";
    EXPECT_EQ(full ? full->GetFileSystem() : nullptr, nullptr);
    EXPECT_FALSE(AdoptRef(fNamespace->RetainFile(VString(""), base.Get(), 0, true)));
    EXPECT_FALSE(AdoptRef(fNamespace->RetainFile(VString("a/b.txt"), nullptr, 0, false)));

    VRefPtr<IFile> relative = AdoptRef(fNamespace->RetainFile(VString("a/b.txt"), base.Get(), 0, false));
    VRefPtr<IFolder> relativeFolder =
        AdoptRef(fNamespace->RetainFolder(VString("a/c"), base.Get(), 0, false));
    VRefPtr<IFolder> fullFolder = AdoptRef(fNamespace->RetainFolder(VString("/tmp"), nullptr, 0, true));

    EXPECT_EQ(PosixOf(relative.Get()), fTemp / "base/a/b.txt");
    EXPECT_EQ(PosixOf(relativeFolder.Get()), fTemp / "base/a/c/");
    EXPECT_EQ(PosixOf(fullFolder.Get()), "/tmp/");
}

TEST_F(VFileSystemNamespaceTest, QuotaCountersFollowRequestsAndReleases) {
    VRefPtr<VFileSystem> limited = AdoptRef(
        VFileSystem::Create(VString("limited"), fResources.Get(), VFileSystem::kOptionWritable, 100, 30));
    VRefPtr<VFileSystem> unlimited = AdoptRef(
        VFileSystem::Create(VString("unlimited"), fResources.Get(), VFileSystem::kOptionWritable, 0, 0));
    VRefPtr<VFileSystem> readOnly =
        AdoptRef(VFileSystem::Create(VString("readonly"), fResources.Get(), 0, 100, 0));
    ASSERT_TRUE(limited && unlimited && readOnly);

    EXPECT_EQ(limited->Request(71), VE_FS_QUOTA_EXCEEDED) << "100 minus the 30 in use leaves 70";
    EXPECT_EQ(limited->Request(70), VE_OK);
    EXPECT_EQ(limited->Request(1), VE_FS_QUOTA_EXCEEDED);
    EXPECT_EQ(limited->Relinquish(20), VE_OK);
    EXPECT_EQ(limited->Request(20), VE_OK);
    EXPECT_EQ(unlimited->Request(uint64_t{1} << 60), VE_OK);
    EXPECT_EQ(readOnly->Request(1), VE_FS_NOT_WRITABLE);
    EXPECT_EQ(readOnly->Relinquish(1), VE_FS_NOT_WRITABLE);
    EXPECT_TRUE(limited->IsAuthorized(fResources->GetPath()));
    EXPECT_FALSE(limited->IsAuthorized(FolderAt(fTemp.Path())->GetPath()));
}
