// Tests of the engine's trust check: the tampered bundles table through zq::CheckUpdateTrust, the installed
// bundle untouched, a rotated key trusted from then on, versions compared as numbers, the refusals' texts.
#include "VUpdateTrust.h"
#include "kernel/signing/SigningTestSupport.h"

#include "bags/VValueBag.h"

#include <fstream>
#include <sstream>

namespace vkit::testing {
namespace {

VError Check(const SignedBundles& inBundles, const std::string& inInstalled, const std::string& inStaged,
             bool inAllowDowngrade, std::string& outPath) {
    StErrorContextInstaller errors;
    VError error =
        zq::CheckUpdateTrust(SignedBundles::FolderPath(inInstalled), SignedBundles::FolderPath(inStaged),
                             SignedBundles::FolderPath(inBundles.B()), inAllowDowngrade);
    VString path;
    const VErrorBase* last = errors.GetContext()->GetLast();
    if (last != nullptr && last->GetBag().GetString("path", path))
        outPath = path.ToUTF8();
    return error;
}

TEST(UpdateTrustTest, TamperedBundlesAreRefusedAndTheInstalledOneStaysAsItWas) {
    SignedBundles bundles;
    for (const TamperCase& row : kTamperCases) {
        SCOPED_TRACE(row.fLabel);
        bundles.SetUp(row);
        ASSERT_EQ(RunShell(bundles.Expand("rm -rf {F}/before && cp -a {A} {F}/before")), 0);
        std::string path;
        VError error = Check(bundles, bundles.A(), bundles.B(), row.fAllowDowngrade, path);
        EXPECT_EQ(error,
                  row.fUpzq == 0 ? VE_OK : MakeVError(kComponentUpdater, static_cast<uint32_t>(row.fUpzq)));
        if (row.fUpzq != 0) {
            EXPECT_EQ(path, bundles.B() + "/");
        }
        EXPECT_EQ(CompareTrees(bundles.fFolder / "before", bundles.A()), "");
    }
}

TEST(UpdateTrustTest, AfterARotationOnlyTheNewKeyIsTrusted) {
    SignedBundles bundles;
    const TamperCase rotation{"rotation", "sed -i 's#<string>{K1}#<string>{K2}#' {B}/Contents/Info.plist",
                              Resign::kBundle, EBundleCheck::kAccepted, 0};
    bundles.SetUp(rotation);
    std::string path;
    ASSERT_EQ(Check(bundles, bundles.A(), bundles.B(), false, path), VE_OK);
    // B, now installed, declares K2: the next update signed with K1 is refused, with K2 accepted.
    ASSERT_EQ(RunShell(bundles.Expand("cp -a {F}/templates/B.app {F}/C.app")), 0);
    EXPECT_EQ(Check(bundles, bundles.B(), bundles.fFolder / "C.app", false, path), zq::VE_UPZQ_OTHER_KEY);
    bundles.Sign(bundles.fFolder / "C.app", bundles.fKey2);
    EXPECT_EQ(Check(bundles, bundles.B(), bundles.fFolder / "C.app", false, path), VE_OK);
}

TEST(UpdateTrustTest, VersionsCompareAsDottedNumbers) {
    struct VersionCase {
        const char* fA;
        const char* fB;
        bool fValid;
        int fOrder;
    };
    const VersionCase cases[] = {
        {"1.10", "1.9", true, 1},
        {"1.2", "1.2.0", true, 0},
        {"2", "10", true, -1},
        {"1.0.1", "1", true, 1},
        {"007", "7", true, 0},
        {"1.", "1", false, 0},
        {".1", "1", false, 0},
        {"1..2", "1", false, 0},
        {"1.0b", "1", false, 0},
        {"", "1", false, 0},
        {"1", "-1", false, 0},
        {"1234567890123456789", "1", false, 0},
        {"123456789012345678", "1", true, 1},
    };
    for (const VersionCase& row : cases) {
        SCOPED_TRACE(std::string(row.fA) + " vs " + row.fB);
        int order = 99;
        EXPECT_EQ(zq::CompareDottedVersions(row.fA, row.fB, order), row.fValid);
        if (row.fValid) {
            EXPECT_EQ(order, row.fOrder);
        }
    }
}

TEST(UpdateTrustTest, EveryRefusalHasAnEnglishAndAFrenchTextNamingTheBundle) {
    for (const char* language : {"en", "fr"}) {
        std::ifstream file(std::string(VKIT_ENGINE_RESOURCES) + "/" + language + ".lproj/Updater.xlf");
        std::stringstream text;
        text << file.rdbuf();
        for (int code = 220; code <= 237; ++code) {
            SCOPED_TRACE(std::string(language) + " " + std::to_string(code));
            std::string unit = "resname=\"ERR_UPZQ_" + std::to_string(code) + "\"";
            size_t start = text.str().find(unit);
            ASSERT_NE(start, std::string::npos);
            std::string target = text.str().substr(start, text.str().find("</trans-unit>", start) - start);
            target = target.substr(target.find("<target>"));
            EXPECT_NE(target.find("{path}"), std::string::npos) << target;
        }
    }
}

} // namespace
} // namespace vkit::testing
