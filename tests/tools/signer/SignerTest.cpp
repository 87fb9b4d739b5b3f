// Tests of zq-sign: its commands, their output and exit statuses, and its failures naming the path.
#include "support/VTestTempFolder.h"

#include <gtest/gtest.h>

#include <string>

namespace vkit::testing {
namespace {

// Each row runs in a folder of its own, {sign} being the tool; kBundle makes App.app, kSigned also a key
// "k" (its public key's text in the file "pub") and the bundle signed with it.
constexpr const char* kBundle = "mkdir -p App.app/Contents/MacOS && echo app > App.app/Contents/MacOS/app";
constexpr const char* kSigned =
    "mkdir -p App.app/Contents/MacOS && echo app > App.app/Contents/MacOS/app && "
    "{sign} generate-key --key k 2>/dev/null | sed -n 's#<string>\\(.*\\)</string>#\\1#p' > pub && "
    "{sign} sign --key k App.app >/dev/null";

struct CommandCase {
    const char* fLabel;
    std::string fSetUp;
    const char* fArguments;
    int fStatus;
    const char* fOut;        // a part of standard output
    const char* fErr;        // a part of standard error ({F}: the row's folder)
    const char* fAfter = ""; // shell that must succeed afterwards
};

const CommandCase kCommands[] = {
    {"generate-key", "", "generate-key --key k", 0, "<key>ZQPublicEDKey</key>\n<string>", "written to 'k'",
     "test \"$(stat -c %a k)\" = 600 && grep -q '^zq-private-key 1$' k"},
    {"generate-key into the default file", "", "generate-key", 0, "<string>", "", "test -s zq-sign.key"},
    {"generate-key never overwrites", "echo keep > k", "generate-key --key k", 3, "",
     "Cannot create the file \"{F}/k\": File exists", "test \"$(cat k)\" = keep"},
    {"sign", std::string(kBundle) + " && {sign} generate-key --key k >/dev/null 2>&1", "sign --key k App.app",
     0, "signed 'App.app' with key ", "", "test -s App.app/Contents/_Signature/manifest"},
    {"verify with the signing key", kSigned, "verify --public-key \"$(cat pub)\" App.app", 0,
     "matches its signed manifest: 4 items, signed with the key given", ""},
    {"verify with the key the signature names", kSigned, "verify App.app", 0,
     "(signed with the key the signature names", ""},
    {"verify with another key", kSigned,
     "verify --public-key 11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo= App.app", 1, "",
     "'App.app' is refused: signed with key "},
    {"verify a changed bundle", std::string(kSigned) + " && echo x >> App.app/Contents/MacOS/app",
     "verify App.app", 1, "", "Contents/MacOS/app does not match the manifest: expected 4 bytes"},
    {"verify an unsigned bundle", kBundle, "verify App.app", 1, "",
     "not signed: Contents/_Signature/signature is missing"},
    {"sign with a missing key", kBundle, "sign --key missing.key App.app", 3, "",
     "Cannot open the file \"{F}/missing.key\": No such file or directory (open)"},
    {"sign with a folder as key", std::string(kBundle) + " && mkdir k", "sign --key k App.app", 3, "",
     "\"{F}/k\": Invalid argument (not a regular file)"},
    {"sign with a file that is not a key", std::string(kBundle) + " && echo secret > k",
     "sign --key k App.app", 3, "", "'{F}/k' is not a private key of zq-sign"},
    {"sign a file", "{sign} generate-key --key k >/dev/null 2>&1 && touch App.app", "sign --key k App.app", 3,
     "", "'App.app' is not a folder"},
    {"sign a missing bundle", "{sign} generate-key --key k >/dev/null 2>&1", "sign --key k App.app", 3, "",
     "no bundle at 'App.app'"},
    {"sign a bundle that cannot be written",
     std::string(kSigned) + " && chattr +i App.app/Contents/_Signature", "sign --key k App.app", 3, "",
     "Operation not permitted (mkostemp \"{F}/App.app/Contents/_Signature/.manifest."},
    {"no command", "", "", 2, "", "no command given\nusage: zq-sign generate-key"},
    {"unknown command", "", "check App.app", 2, "", "unknown command 'check'"},
    {"sign without a key", kBundle, "sign App.app", 2, "", "sign needs --key FILE"},
    {"verify with a private key", kBundle, "verify --key k App.app", 2, "", "verify takes --public-key"},
    {"a public key that is not one", kBundle, "verify --public-key abc App.app", 2, "",
     "'abc' is not an Ed25519"},
    {"help", "", "--help", 0, "usage: zq-sign generate-key [--key FILE]", ""},
};

std::string Expand(std::string inText, const std::string& inFolder) {
    for (const auto& [name, value] :
         {std::pair<std::string, std::string>{"{sign}", VKIT_SIGNER_PATH}, {"{F}", inFolder}})
        for (size_t at = inText.find(name); at != std::string::npos;
             at = inText.find(name, at + value.size()))
            inText.replace(at, name.size(), value);
    return inText;
}

TEST(SignerTest, CommandsTheirOutputAndStatus) {
    VTestTempFolder folder;
    int index = 0;
    for (const CommandCase& row : kCommands) {
        SCOPED_TRACE(row.fLabel);
        std::string here = folder.MakeFolder("case" + std::to_string(index++));
        std::string cd = "cd '" + here + "' && ";
        ASSERT_EQ(RunShell(cd + Expand(row.fSetUp.empty() ? "true" : row.fSetUp, here)), 0);
        int status = RunShell(cd + Expand("{sign} ", here) + row.fArguments + " > out 2> err");
        EXPECT_EQ(status, row.fStatus);
        std::string out = ReadFile(here + "/out");
        std::string err = ReadFile(here + "/err");
        EXPECT_NE(out.find(Expand(row.fOut, here)), std::string::npos) << out;
        EXPECT_NE(err.find(Expand(row.fErr, here)), std::string::npos) << err;
        EXPECT_EQ(RunShell(cd + Expand(*row.fAfter ? row.fAfter : "true", here)), 0);
    }
}

} // namespace
} // namespace vkit::testing
