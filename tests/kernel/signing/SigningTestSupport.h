// Shared by the signing tests and the trust tests of the engine: signed sample bundles, and the table of
// tampered bundles kept as data (a shell set-up on a copy, the expected refusal), so that the same table
// can run through the library, the engine's check and the whole updater.
#pragma once

#include "errors/StErrorContextInstaller.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorContext.h"
#include "files/VFilePath.h"
#include "runtime/VTaskMgr.h"
#include "signing/VBundleCheck.h"
#include "signing/VBundleManifest.h"
#include "signing/VBundleSignature.h"
#include "signing/VManifestSignature.h"
#include "signing/VSigningPrivateKey.h"
#include "support/VTestTempFolder.h"
#include "support/VTestTrees.h"

#include <gtest/gtest.h>

#include <string>

namespace vkit::testing {

/// The signing tests run on the main task of a task manager with the error layer up.
class SigningTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(VTaskMgr::Init());
        VErrorBase::Init();
    }
};

inline const ::testing::Environment* const sSigningEnvironment =
    ::testing::AddGlobalTestEnvironment(new SigningTestEnvironment);

/// What signs the up-to-date bundle after a case's set-up.
enum class Resign {
    kNo,           ///< the signature made before the set-up stays
    kBundle,       ///< the bundle signed again with the installed key K1
    kWithOtherKey, ///< the bundle signed again with K2, which the installed bundle does not declare, before
                   ///< the set-up
    kManifestText, ///< the manifest's text, as the set-up left it, signed with K1
};

/// One update of the installed bundle {A} by the up-to-date bundle {B}, both signed with K1 and
/// declaring K1, {A} at version 1.0 and {B} at 2.0, each with a sample tree in Contents/Resources/tree.
/// fSetUp is shell run before the check ({A}, {B}, {K1} and {K2}, the keys' texts, replaced); fOutcome
/// is the library's verdict on {B} with K1, fUpzq the engine's refusal (0: accepted).
struct TamperCase {
    const char* fLabel;
    const char* fSetUp;
    Resign fResign;
    EBundleCheck fOutcome;
    int fUpzq;
    const char* fItem = ""; // the item the refusal names, when it names one
    bool fAllowDowngrade = false;
};

// The plist is written one key and value a line, so that a set-up edits it with sed.
#define SIGNING_PLIST "{B}/Contents/Info.plist"
#define SIGNING_MANIFEST "{B}/Contents/_Signature/manifest"

inline const TamperCase kTamperCases[] = {
    {"signed and matching", "", Resign::kNo, EBundleCheck::kAccepted, 0},
    {"one byte changed",
     "printf X | dd of={B}/Contents/Resources/data.bin bs=1 seek=100 conv=notrunc status=none", Resign::kNo,
     EBundleCheck::kContentChanged, 229, "Contents/Resources/data.bin"},
    {"a file added", "echo planted > {B}/Contents/MacOS/helper", Resign::kNo, EBundleCheck::kItemAdded, 226,
     "Contents/MacOS/helper"},
    {"a file removed", "rm {B}/Contents/Resources/folder/inner.txt", Resign::kNo, EBundleCheck::kItemMissing,
     225, "Contents/Resources/folder/inner.txt"},
    {"a mode changed", "chmod 4755 {B}/Contents/MacOS/sample", Resign::kNo, EBundleCheck::kModeChanged, 228,
     "Contents/MacOS/sample"},
    {"the bundle folder's mode changed", "chmod 0777 {B}", Resign::kNo, EBundleCheck::kModeChanged, 228, "."},
    {"a link retargeted", "ln -sfn folder/inner.txt {B}/Contents/Resources/link", Resign::kNo,
     EBundleCheck::kTargetChanged, 230, "Contents/Resources/link"},
    {"a link retargeted outside the bundle", "ln -sfn /etc/passwd {B}/Contents/Resources/link", Resign::kNo,
     EBundleCheck::kTargetChanged, 230, "Contents/Resources/link"},
    {"a folder turned into a file",
     "rm -r {B}/Contents/Resources/folder && echo x > {B}/Contents/Resources/folder", Resign::kNo,
     EBundleCheck::kKindChanged, 227, "Contents/Resources/folder"},
    {"a file turned into a link", "ln -sfn /bin/sh {B}/Contents/MacOS/sample", Resign::kNo,
     EBundleCheck::kKindChanged, 227, "Contents/MacOS/sample"},
    {"a file with a space in its name changed", "echo changed > '{B}/Contents/Resources/tree/read me.txt'",
     Resign::kNo, EBundleCheck::kContentChanged, 229, "Contents/Resources/tree/read%20me.txt"},
    {"the manifest edited", "sed -i 's/^f 0755/f 0777/' " SIGNING_MANIFEST, Resign::kNo,
     EBundleCheck::kBadSignature, 223, "Contents/_Signature/manifest"},
    {"the signature truncated", "truncate -s 100 {B}/Contents/_Signature/signature", Resign::kNo,
     EBundleCheck::kBadSignatureFile, 221, "Contents/_Signature/signature"},
    {"the signature of another key", "", Resign::kWithOtherKey, EBundleCheck::kOtherKey, 222,
     "Contents/_Signature/signature"},
    {"another key's signature naming the installed key",
     "sed -i 's#^key .*#key {K1}#' {B}/Contents/_Signature/signature", Resign::kWithOtherKey,
     EBundleCheck::kBadSignature, 223, "Contents/_Signature/manifest"},
    {"the signature a link to a valid one",
     "mv {B}/Contents/_Signature/signature {B}/s && ln -s ../../s {B}/Contents/_Signature/signature",
     Resign::kNo, EBundleCheck::kBadSignatureFile, 221, "Contents/_Signature/signature"},
    {"no signature when the installed bundle has a key", "rm -r {B}/Contents/_Signature", Resign::kNo,
     EBundleCheck::kNotSigned, 220, "Contents/_Signature/signature"},
    {"no manifest", "rm " SIGNING_MANIFEST, Resign::kNo, EBundleCheck::kNotSigned, 220,
     "Contents/_Signature/manifest"},
    {"a manifest listing a path with ..", "echo 'd 0755 Contents/../../Other.app' >> " SIGNING_MANIFEST,
     Resign::kManifestText, EBundleCheck::kBadManifest, 224, "Contents/_Signature/manifest"},
    {"a manifest listing an absolute path", "echo 'd 0755 /etc' >> " SIGNING_MANIFEST, Resign::kManifestText,
     EBundleCheck::kBadManifest, 224, "Contents/_Signature/manifest"},
    {"the key dropped", "sed -i '/ZQPublicEDKey/d' " SIGNING_PLIST, Resign::kBundle, EBundleCheck::kAccepted,
     231},
    {"a new key that is not a key", "sed -i 's#<string>{K1}#<string>AAAA#' " SIGNING_PLIST, Resign::kBundle,
     EBundleCheck::kAccepted, 232},
    {"a lower version", "sed -i 's#<string>2.0<#<string>0.9.9<#' " SIGNING_PLIST, Resign::kBundle,
     EBundleCheck::kAccepted, 233},
    {"a version that is not numbers", "sed -i 's#<string>2.0<#<string>2.0b1<#' " SIGNING_PLIST,
     Resign::kBundle, EBundleCheck::kAccepted, 234},
    {"a lower version with --allow-downgrade", "sed -i 's#<string>2.0<#<string>0.9<#' " SIGNING_PLIST,
     Resign::kBundle, EBundleCheck::kAccepted, 0, "", true},
    {"a higher version by number, not by text",
     "sed -i 's#<string>2.0<#<string>1.10<#;s#1.0<#1.9<#' " SIGNING_PLIST " {A}/Contents/Info.plist",
     Resign::kBundle, EBundleCheck::kAccepted, 0},
    {"a rotation to a new key signed by the installed key",
     "sed -i 's#<string>{K1}#<string>{K2}#' " SIGNING_PLIST, Resign::kBundle, EBundleCheck::kAccepted, 0},
    {"an installed bundle without a key, an unsigned update",
     "sed -i '/ZQPublicEDKey/d' {A}/Contents/Info.plist && rm -r {B}/Contents/_Signature", Resign::kNo,
     EBundleCheck::kNotSigned, 0, "Contents/_Signature/signature"},
};

#undef SIGNING_PLIST
#undef SIGNING_MANIFEST

inline void PrintTo(const TamperCase& inCase, std::ostream* outStream) {
    *outStream << inCase.fLabel;
}

/// A folder {F} with two keys and the two signed templates the cases copy: {F}/templates/A.app and
/// {F}/templates/B.app.
class SignedBundles {
public:
    SignedBundles() {
        EXPECT_TRUE(fKey1.Generate() && fKey2.Generate());
        MakeBundle(fFolder / "templates/A.app", "1.0");
        MakeBundle(fFolder / "templates/B.app", "2.0");
    }

    /// Copies the templates to {F}/A.app and {F}/B.app (replacing earlier copies), runs the case's set-up
    /// and signs as it says.
    void SetUp(const TamperCase& inCase) {
        ASSERT_EQ(RunShell(Expand(
                      "rm -rf {A} {B} && cp -a {F}/templates/A.app {A} && cp -a {F}/templates/B.app {B}")),
                  0);
        if (inCase.fResign == Resign::kWithOtherKey)
            Sign(B(), fKey2);
        ASSERT_EQ(RunShell(Expand(inCase.fSetUp)), 0) << inCase.fSetUp;
        if (inCase.fResign == Resign::kBundle)
            Sign(B(), fKey1);
        if (inCase.fResign == Resign::kManifestText) {
            std::string text = ReadFile(B() + "/Contents/_Signature/manifest");
            fFolder.WriteFile("B.app/Contents/_Signature/signature",
                              VManifestSignature(fKey1.GetPublicKey(), fKey1.Sign(text)).Write());
        }
    }

    /// The text with {F}, {A}, {B}, {K1} and {K2} replaced.
    std::string Expand(std::string inText) const {
        const std::pair<std::string, std::string> names[] = {{"{F}", fFolder.Path()},
                                                             {"{A}", A()},
                                                             {"{B}", B()},
                                                             {"{K1}", fKey1.GetPublicKey().ToText()},
                                                             {"{K2}", fKey2.GetPublicKey().ToText()}};
        for (const auto& [name, value] : names)
            for (size_t at = inText.find(name); at != std::string::npos;
                 at = inText.find(name, at + value.size()))
                inText.replace(at, name.size(), value);
        return inText;
    }

    /// Writes a bundle declaring K1 at inVersion, with a program, data, a folder, a link and the sample
    /// tree, signed with K1.
    void MakeBundle(const std::string& inPath, const std::string& inVersion) const {
        std::string plist = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                            "<key>CFBundleExecutable</key><string>sample</string>\n"
                            "<key>CFBundleVersion</key><string>" +
                            inVersion + "</string>\n<key>ZQPublicEDKey</key><string>" +
                            fKey1.GetPublicKey().ToText() + "</string>\n</dict>\n</plist>\n";
        std::string relative = inPath.substr(fFolder.Path().size() + 1);
        fFolder.WriteFile(relative + "/Contents/Info.plist", plist);
        fFolder.WriteFile(relative + "/Contents/MacOS/sample", "#!/bin/sh\necho " + inVersion + "\n");
        fFolder.WriteFile(relative + "/Contents/Resources/data.bin",
                          std::string(4096, static_cast<char>(inVersion[0])));
        fFolder.WriteFile(relative + "/Contents/Resources/folder/inner.txt", inVersion);
        BuildSampleTree(inPath + "/Contents/Resources/tree");
        fFolder.WriteFile(relative + "/Contents/Resources/tree/read me.txt", "spaces");
        ASSERT_EQ(RunShell("chmod 0755 '" + inPath + "/Contents/MacOS/sample' && ln -s data.bin '" + inPath +
                           "/Contents/Resources/link'"),
                  0);
        Sign(inPath, fKey1);
    }

    void Sign(const std::string& inBundle, const VSigningPrivateKey& inKey) const {
        StErrorContextInstaller errors;
        ASSERT_EQ(VBundleSignature::Sign(FolderPath(inBundle), inKey), VE_OK) << inBundle;
    }

    static VFilePath FolderPath(const std::string& inPosixPath) {
        return VFilePath(VString(inPosixPath + "/"), FilePathStyle::Posix);
    }

    std::string A() const { return fFolder / "A.app"; }
    std::string B() const { return fFolder / "B.app"; }

    VTestTempFolder fFolder;
    VSigningPrivateKey fKey1;
    VSigningPrivateKey fKey2;
};

} // namespace vkit::testing
