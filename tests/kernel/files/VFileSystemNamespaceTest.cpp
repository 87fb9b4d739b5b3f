// Tests of the file-system namespace: the files and folders named by "/name/relative" texts, "../" escapes
// refused, hidden roots left out of restricted lookups, names refused.
#include "VFileTestSupport.h"

#include "files/IFile.h"
#include "files/VFileSystemNamespace.h"

using namespace vkit;
using namespace vkit::testing;

namespace {

// A lookup of a file ('f') or folder ('F'), from the "base" folder or none, full paths allowed or not:
// "(null)" when refused, else the POSIX path, relative to the test folder unless it starts with "/".
struct LookupCase {
    char fKind;
    const char* fText;
    bool fFromBase;
    FileSystemLookupFlags fFlags;
    bool fFullPaths;
    const char* fExpected;
};

// clang-format off
const LookupCase kLookupCases[] = {
    {'f', "/.PRODUCT_RESOURCES/x/../y.json", false, 0, false, "Resources/y.json"},
    {'F', "/.PRODUCT_RESOURCES/fr.lproj", false, 0, false, "Resources/fr.lproj/"},
    {'F', "/.PRODUCT_RESOURCES", false, 0, false, "Resources/"},
    {'F', "/.PRODUCT_RESOURCES/a/b/../../c/", false, 0, false, "Resources/c/"},
    {'F', "/.PRODUCT_RESOURCES/x/.", false, 0, false, "Resources/x/"},
    {'f', "/.PRODUCT_RESOURCES/a/../../z", false, 0, false, "(null)"},
    {'f', ".PRODUCT_RESOURCES/x", false, 0, false, "(null)"}, {'f', "/UNKNOWN/x", false, 0, false, "(null)"},
    {'f', "//x", false, 0, false, "(null)"}, {'f', "/.PRODUCT_RESOURCES/", false, 0, false, "(null)"},
    {'f', "/.PRODUCT_RESOURCES/fr.lproj/", false, 0, false, "(null)"},
    {'f', "/.PRODUCT_RESOURCES/../secret.txt", false, 0, false, "(null)"},
    {'F', "/.PRODUCT_RESOURCES/..", false, 0, false, "(null)"},
    {'f', "/.PRODUCT_RESOURCES/../secret.txt", true, 0, true, "(null)"},
    {'f', "/.PRODUCT_RESOURCES/../secret.txt", false, 0, true, "/secret.txt"},
    {'f', "", true, 0, true, "(null)"}, {'f', "a/b.txt", false, 0, false, "(null)"},
    {'f', "a/b.txt", true, 0, false, "base/a/b.txt"}, {'F', "a/c", true, 0, false, "base/a/c/"},
    {'F', "/tmp", false, 0, true, "/tmp/"},
    {'f', "/.USER_HOME_DIRECTORY/notes.txt", false, 0, false, "Documents/notes.txt"},
    {'f', "/.USER_HOME_DIRECTORY/notes.txt", false, kLookupRestricted, false, "(null)"},
};
// clang-format on

TEST(VFileSystemNamespaceTest, Table) {
    VTestTempFolder temp;
    VRefPtr<VFileSystemNamespace> names = AdoptRef(new VFileSystemNamespace());
    VRefPtr<VFolder> resources = FolderAt(temp.MakeFolder("Resources"));
    VRefPtr<VFolder> base = FolderAt(temp.MakeFolder("base"));
    ASSERT_EQ(names->RegisterFileSystem(VString(".PRODUCT_RESOURCES"), resources.Get(), 0), VE_OK);
    ASSERT_EQ(names->RegisterFileSystem(VString(".USER_HOME_DIRECTORY"), FolderAt(temp / "Documents").Get(),
                                        VFileSystem::kOptionHidden),
              VE_OK);
    for (const LookupCase& row : kLookupCases) {
        SCOPED_TRACE(row.fText);
        VFolder* from = row.fFromBase ? base.Get() : nullptr;
        VRefPtr<IFileSystemObject> item =
            AdoptRef(row.fKind == 'f' ? static_cast<IFileSystemObject*>(
                                            names->RetainFile(row.fText, from, row.fFlags, row.fFullPaths))
                                      : names->RetainFolder(row.fText, from, row.fFlags, row.fFullPaths));
        std::string expected = row.fExpected;
        EXPECT_EQ(item ? item->GetPath().GetPath(FilePathStyle::Posix).ToUTF8() : "(null)",
                  expected[0] == '(' || expected[0] == '/' ? expected : temp / expected);
        // Items named inside a root carry its file system, items outside none.
        if (item) {
            EXPECT_EQ(item->GetFileSystem() != nullptr, row.fText[0] == '/' && !row.fFullPaths);
        }
    }
    EXPECT_FALSE(AdoptRef(names->RetainFileSystem(VString(".USER_HOME_DIRECTORY"), kLookupRestricted)));
    EXPECT_TRUE(AdoptRef(names->RetainFileSystem(VString(".PRODUCT_RESOURCES"), kLookupRestricted)));
    StErrorContextInstaller guard;
    EXPECT_EQ(names->RegisterFileSystem(VString("a/b"), resources.Get(), 0), VE_FS_INVALID_NAME);
    EXPECT_EQ(Codes(guard), std::vector<VError>{VE_FS_INVALID_NAME});
    VRefPtr<VFileSystemNamespace> child = AdoptRef(new VFileSystemNamespace(names.Get()));
    EXPECT_FALSE(AdoptRef(child->RetainFile(VString("/.PRODUCT_RESOURCES/x.json"), nullptr, 0, false)));
    EXPECT_TRUE(
        AdoptRef(child->RetainFile(VString("/.PRODUCT_RESOURCES/x.json"), nullptr, kLookupInParents, false)));
}

} // namespace
