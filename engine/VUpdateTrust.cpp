// VUpdateTrust: the trust rule between the installed bundle and the copy of the up-to-date one.
#include "VUpdateTrust.h"

#include "UpdaterLog.h"

#include "bags/StPackedDictionaryKey.h"
#include "bags/VValueBag.h"
#include "errors/StErrorContextInstaller.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorThrow.h"
#include "files/VFilePath.h"
#include "platform/posix/files/XPosixPath.h"
#include "runtime/VBundle.h"
#include "signing/VBundleSignature.h"
#include "signing/VSigningPublicKey.h"

#include <string>

using vkit::EBundleCheck;
using vkit::VError;
using vkit::VFilePath;
using vkit::VString;

namespace zq {

namespace {

constexpr size_t kMaxVersionDigits = 18;
constexpr const char* kInfoItem = "Contents/Info.plist";

const vkit::StPackedDictionaryKey kPathKey("path");
const vkit::StPackedDictionaryKey kItemKey("item");
const vkit::StPackedDictionaryKey kExpectedKey("expected");
const vkit::StPackedDictionaryKey kFoundKey("found");

/// The keys of a bundle's Info.plist the rule reads; an empty text for a key that is absent.
struct TrustInfo {
    std::string fKey;
    std::string fVersion;
};

/// Pushes the refusal inCode naming the bundle at inBundle (its POSIX path) and answers inCode.
VError Refuse(VError inCode, const VFilePath& inBundle, const std::string& inItem = std::string(),
              const std::string& inExpected = std::string(), const std::string& inFound = std::string()) {
    auto* error = new vkit::VErrorBase(inCode);
    vkit::VValueBag& bag = error->GetBag();
    bag.SetString(kPathKey, VString(vkit::XPosixPath::GetPosixPath(inBundle)));
    bag.SetString(kItemKey, VString(inItem));
    bag.SetString(kExpectedKey, VString(inExpected));
    bag.SetString(kFoundKey, VString(inFound));
    vkit::_PushRetainedError(error);
    return inCode;
}

/// Reads the signing key and the version of the bundle at inBundle; false, with the reading's error and
/// UPZQ 236 (naming inShown) pushed, when its Info.plist cannot be read.
bool ReadTrustInfo(const VFilePath& inBundle, const VFilePath& inShown, TrustInfo& outInfo) {
    vkit::VBundle bundle;
    if (!bundle.Open(inBundle)) {
        (void)Refuse(VE_UPZQ_INFO_UNREADABLE, inShown, kInfoItem); // told by the false result
        return false;
    }
    VString value;
    if (bundle.GetInfoString(VString(kPublicKeyInfoKey), value))
        outInfo.fKey = value.ToUTF8();
    if (bundle.GetInfoString(VString(kVersionInfoKey), value))
        outInfo.fVersion = value.ToUTF8();
    return true;
}

VError CodeOf(EBundleCheck inOutcome) {
    switch (inOutcome) {
    case EBundleCheck::kAccepted:
        return vkit::VE_OK;
    case EBundleCheck::kNotSigned:
        return VE_UPZQ_NOT_SIGNED;
    case EBundleCheck::kBadSignatureFile:
        return VE_UPZQ_BAD_SIGNATURE_FILE;
    case EBundleCheck::kOtherKey:
        return VE_UPZQ_OTHER_KEY;
    case EBundleCheck::kBadSignature:
        return VE_UPZQ_BAD_SIGNATURE;
    case EBundleCheck::kBadManifest:
        return VE_UPZQ_BAD_MANIFEST;
    case EBundleCheck::kItemMissing:
        return VE_UPZQ_ITEM_MISSING;
    case EBundleCheck::kItemAdded:
        return VE_UPZQ_ITEM_ADDED;
    case EBundleCheck::kKindChanged:
        return VE_UPZQ_KIND_CHANGED;
    case EBundleCheck::kModeChanged:
        return VE_UPZQ_MODE_CHANGED;
    case EBundleCheck::kContentChanged:
        return VE_UPZQ_CONTENT_CHANGED;
    case EBundleCheck::kTargetChanged:
        return VE_UPZQ_TARGET_CHANGED;
    }
    return VE_UPZQ_CHECK_FAILED;
}

/// The up-to-date bundle's own key: present (a signed update may change it, never drop it) and valid (a
/// key no one can sign for would refuse every later update).
VError CheckNewKey(const vkit::VSigningPublicKey& inInstalledKey, const TrustInfo& inStaged,
                   const VFilePath& inShown) {
    if (inStaged.fKey.empty())
        return Refuse(VE_UPZQ_KEY_DROPPED, inShown, kInfoItem, inInstalledKey.ToText(), "no key");
    vkit::VSigningPublicKey key;
    if (!key.FromText(inStaged.fKey))
        return Refuse(VE_UPZQ_NEW_KEY_INVALID, inShown, kInfoItem, "", inStaged.fKey);
    if (!(key == inInstalledKey)) {
        VString installed(inInstalledKey.ToText());
        VString staged(key.ToText());
        LogInfo("Signing key changes from %S to %S (accepted: the update is signed with the installed key)",
                &installed, &staged);
    }
    return vkit::VE_OK;
}

/// The version may not go down unless inAllowDowngrade; an installed bundle without a version has none
/// to keep.
VError CheckVersion(const TrustInfo& inInstalled, const TrustInfo& inStaged, const VFilePath& inInstalledPath,
                    const VFilePath& inShown, bool inAllowDowngrade) {
    if (inAllowDowngrade || inInstalled.fVersion.empty())
        return vkit::VE_OK;
    int order = 0;
    if (CompareDottedVersions(inStaged.fVersion, inInstalled.fVersion, order))
        return order < 0
                   ? Refuse(VE_UPZQ_DOWNGRADE, inShown, kInfoItem, inInstalled.fVersion, inStaged.fVersion)
                   : vkit::VE_OK;
    bool installedValid = CompareDottedVersions(inInstalled.fVersion, inInstalled.fVersion, order);
    const TrustInfo& wrong = installedValid ? inStaged : inInstalled;
    return Refuse(VE_UPZQ_BAD_VERSION, installedValid ? inShown : inInstalledPath, kInfoItem, "",
                  wrong.fVersion.empty() ? "none" : wrong.fVersion);
}

} // namespace

bool CompareDottedVersions(std::string_view inA, std::string_view inB, int& outOrder) {
    auto next = [](std::string_view& ioText, uint64_t& outNumber) {
        size_t dot = ioText.find('.');
        std::string_view digits = ioText.substr(0, dot);
        ioText = dot == std::string_view::npos ? std::string_view() : ioText.substr(dot + 1);
        outNumber = 0;
        if (digits.empty() || digits.size() > kMaxVersionDigits ||
            (dot != std::string_view::npos && ioText.empty()))
            return false;
        for (char digit : digits) {
            if (digit < '0' || digit > '9')
                return false;
            outNumber = outNumber * 10 + static_cast<uint64_t>(digit - '0');
        }
        return true;
    };
    outOrder = 0;
    bool valid = !inA.empty() && !inB.empty();
    while (valid && (!inA.empty() || !inB.empty())) {
        uint64_t a = 0;
        uint64_t b = 0;
        valid = (inA.empty() || next(inA, a)) && (inB.empty() || next(inB, b));
        if (valid && outOrder == 0 && a != b)
            outOrder = a < b ? -1 : 1;
    }
    return valid;
}

bool DeclaresSigningKey(const VFilePath& inInstalled) {
    vkit::StErrorContextInstaller quiet(false, true);
    vkit::VBundle bundle;
    VString key;
    return bundle.Open(inInstalled) && bundle.GetInfoString(VString(kPublicKeyInfoKey), key);
}

VError CheckUpdateTrust(const VFilePath& inInstalled, const VFilePath& inStaged, const VFilePath& inShown,
                        bool inAllowDowngrade) {
    TrustInfo installed;
    if (!ReadTrustInfo(inInstalled, inInstalled, installed))
        return VE_UPZQ_INFO_UNREADABLE;
    VString installedPath(vkit::XPosixPath::GetPosixPath(inInstalled));
    if (installed.fKey.empty()) {
        LogInfo("Update not signed: the installed application %S declares no signing key (%s)",
                &installedPath, kPublicKeyInfoKey);
        return vkit::VE_OK;
    }
    vkit::VSigningPublicKey key;
    if (!key.FromText(installed.fKey))
        return Refuse(VE_UPZQ_INSTALLED_KEY_INVALID, inInstalled, kInfoItem, "", installed.fKey);
    vkit::VBundleCheck check;
    if (vkit::VBundleSignature::Check(inStaged, &key, check) != vkit::VE_OK)
        return Refuse(VE_UPZQ_CHECK_FAILED, inShown);
    if (!check.IsAccepted())
        return Refuse(CodeOf(check.fOutcome), inShown, check.fItem, check.fExpected, check.fFound);
    TrustInfo staged;
    if (!ReadTrustInfo(inStaged, inShown, staged))
        return VE_UPZQ_INFO_UNREADABLE;
    if (VError error = CheckNewKey(key, staged, inShown); error != vkit::VE_OK)
        return error;
    if (VError error = CheckVersion(installed, staged, inInstalled, inShown, inAllowDowngrade);
        error != vkit::VE_OK)
        return error;
    VString keyText(key.ToText());
    LogInfo("Up-to-date application signature verified: %d items match the manifest signed with key %S",
            static_cast<int>(check.fItemCount), &keyText);
    return vkit::VE_OK;
}

} // namespace zq
