// Tests of the file-system definition files: entries with and without a parent, options, skipped
// elements, and the errors of a missing, broken or null file.
#include "JSONTestSupport.h"

#include "files/VFile.h"
#include "files/VFileSystem.h"
#include "files/VFileSystemNamespace.h"
#include "files/VFolder.h"
#include "support/VTestTempFolder.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace vkit;
using namespace vkit::testing;

namespace {

/// Loads a definition file into a namespace that holds "base" (the folder @/base/) and whose parent holds
/// "shared" (@/shared/), "@" standing for a temporary folder. Answers the result, the names of the
/// namespace with their roots (" w" when writable), then "|" and the errors pushed.
std::string Load(const std::string& inContent, bool inWrite = true) {
    VTestTempFolder folder;
    auto replace = [](std::string ioText, const std::string& inFrom, const std::string& inTo) {
        for (size_t at = ioText.find(inFrom); at != std::string::npos;
             at = ioText.find(inFrom, at + inTo.size()))
            ioText.replace(at, inFrom.size(), inTo);
        return ioText;
    };
    VRefPtr<VFileSystemNamespace> parent = AdoptRef(new VFileSystemNamespace);
    VRefPtr<VFileSystemNamespace> names = AdoptRef(new VFileSystemNamespace(parent.Get()));
    for (auto [space, name] : {std::pair{names.Get(), "base"}, {parent.Get(), "shared"}}) {
        VRefPtr<VFolder> root = AdoptRef(
            new VFolder(VFilePath(VString((folder.MakeFolder(name) + "/").c_str()), FilePathStyle::Posix)));
        EXPECT_EQ(space->RegisterFileSystem(VString(name), root.Get(), 0), VE_OK);
    }
    std::string path = folder / "fileSystems.json";
    if (inWrite)
        folder.WriteFile("fileSystems.json", replace(inContent, "@", folder.Path()));
    StErrorContextInstaller errors(false);
    VRefPtr<VFile> file = AdoptRef(new VFile(VFilePath(VString(path.c_str()), FilePathStyle::Posix)));
    VError result = names->LoadFromDefinitionFile(file.Get());
    std::set<std::string> roots;
    VFileSystemNamespace::Map map;
    names->RetainMapOfFileSystems(map);
    for (const auto& [name, fileSystem] : map) {
        VString root;
        fileSystem->GetRoot().GetPosixPath(root);
        roots.insert(" " + name.ToUTF8() + "=" + root.ToUTF8() + (fileSystem->IsWritable() ? " w" : ""));
    }
    std::string outcome = std::to_string(NumberFromVError(result));
    for (const std::string& root : roots)
        outcome += root;
    outcome += " |" + ErrorsOf(*errors.GetContext());
    if (errors.GetLastError() == VE_FS_INVALID_DEFINITION_FILE) {
        VString description;
        errors.GetContext()->GetLast()->GetErrorDescription(description);
        outcome += " (" + description.ToUTF8() + ")";
    }
    return replace(outcome, folder.Path(), "@");
}

TEST(VFileSystemNamespaceJSONTest, DefinitionFiles) {
    const std::pair<std::string, std::string> cases[] = {
        {R"([{"name": "data", "path": "@/data"}, {"name": "slashed", "path": "@/data/", "writable": false},
             {"name": "sub", "path": "x/sub", "parent": "base", "writable": true},
             {"name": "full", "path": "@/data", "parent": ""}, {"name": "logs", "path": "logs/", "parent": "shared"}])",
         "0 base=@/base/ data=@/data/ full=@/data/ logs=@/shared/logs/ slashed=@/data/ sub=@/base/x/sub/ w "
         "|"},
        // Elements that are no objects, and objects without a usable path or parent, register nothing;
        // only a boolean makes a root writable.
        {R"([1, "text", null, true, [{"name": "nested", "path": "@/data"}], {"name": "orphan", "path": "x",
             "parent": "missing"}, {"name": "nopath"}, {"name": "numberpath", "path": 5},
             {"name": "yes", "path": "@/data", "writable": "yes"}])",
         "0 base=@/base/ yes=@/data/ |"},
        // An invalid name pushes 686 and the others are still read; a later entry replaces an earlier one.
        {R"([{"name": "a/b", "path": "@/data"}, {"path": "@/data"}, {"name": "ok", "path": "@/data"},
             {"name": "ok", "path": "@/two", "writable": true}])",
         "0 base=@/base/ ok=@/two/ w | 686 686"},
        {R"({"name": "n", "path": "/tmp"})", "0 base=@/base/ |"},
        // A file that cannot be parsed or read registers nothing and pushes 687 after its own errors.
        {R"([{"name": "n", "path": "/tmp"},])", "687 base=@/base/ | 553 ']' 550 at @/fileSystems.json, 1:32 "
                                                "687 (Cannot read the file-system definitions "
                                                "of \"@/fileSystems.json\")"},
        {"", "687 base=@/base/ | 554 '' '\" 0-9 null true false { [' 550 at @/fileSystems.json, 1:1 687 "
             "(Cannot read "
             "the file-system definitions of \"@/fileSystems.json\")"},
    };
    for (const auto& [content, expected] : cases)
        EXPECT_EQ(Load(content), expected) << content;
    EXPECT_NE(Load("", false).find(" 687 (Cannot read"), std::string::npos); // a missing file
}

} // namespace
