// VUpdateTrust: the installed bundle's signing key decides whether the up-to-date bundle may replace it.
#pragma once

#include "VUpdateEngine.h"

#include "errors/VErrorCodes.h"

#include <string_view>

namespace vkit {
class VFilePath;
}

namespace zq {

/// The information key by which a bundle declares its public signing key (base64, 44 characters).
constexpr const char* kPublicKeyInfoKey = "ZQPublicEDKey";
/// The information key of a bundle's version, compared as dotted numbers.
constexpr const char* kVersionInfoKey = "CFBundleVersion";

/// The refusals of the trust check, pushed on the current error context with the parameters "path" (the
/// POSIX path of the bundle concerned), "item" (a path inside it, escaped as in the manifest), "expected"
/// and "found".
constexpr vkit::VError VE_UPZQ_NOT_SIGNED = vkit::MakeVError(kComponentUpdater, 220);         // item
constexpr vkit::VError VE_UPZQ_BAD_SIGNATURE_FILE = vkit::MakeVError(kComponentUpdater, 221); // item, found
constexpr vkit::VError VE_UPZQ_OTHER_KEY = vkit::MakeVError(kComponentUpdater, 222);     // expected, found
constexpr vkit::VError VE_UPZQ_BAD_SIGNATURE = vkit::MakeVError(kComponentUpdater, 223); // item
constexpr vkit::VError VE_UPZQ_BAD_MANIFEST = vkit::MakeVError(kComponentUpdater, 224);  // item, found
constexpr vkit::VError VE_UPZQ_ITEM_MISSING = vkit::MakeVError(kComponentUpdater, 225);  // item, expected
constexpr vkit::VError VE_UPZQ_ITEM_ADDED = vkit::MakeVError(kComponentUpdater, 226);    // item, found
constexpr vkit::VError VE_UPZQ_KIND_CHANGED =
    vkit::MakeVError(kComponentUpdater, 227); // item, expected, found
constexpr vkit::VError VE_UPZQ_MODE_CHANGED =
    vkit::MakeVError(kComponentUpdater, 228); // item, expected, found
constexpr vkit::VError VE_UPZQ_CONTENT_CHANGED =
    vkit::MakeVError(kComponentUpdater, 229); // item, expected, found
constexpr vkit::VError VE_UPZQ_TARGET_CHANGED =
    vkit::MakeVError(kComponentUpdater, 230); // item, expected, found
constexpr vkit::VError VE_UPZQ_KEY_DROPPED = vkit::MakeVError(kComponentUpdater, 231);     // expected
constexpr vkit::VError VE_UPZQ_NEW_KEY_INVALID = vkit::MakeVError(kComponentUpdater, 232); // found
constexpr vkit::VError VE_UPZQ_DOWNGRADE = vkit::MakeVError(kComponentUpdater, 233);       // expected, found
constexpr vkit::VError VE_UPZQ_BAD_VERSION = vkit::MakeVError(kComponentUpdater, 234);     // found
constexpr vkit::VError VE_UPZQ_INSTALLED_KEY_INVALID = vkit::MakeVError(kComponentUpdater, 235); // found
constexpr vkit::VError VE_UPZQ_INFO_UNREADABLE = vkit::MakeVError(kComponentUpdater, 236);
constexpr vkit::VError VE_UPZQ_CHECK_FAILED = vkit::MakeVError(kComponentUpdater, 237);

/// The trust rule, applied to the copy of the up-to-date bundle that is about to be installed.
///
/// When the installed bundle inInstalled declares no key (ZQPublicEDKey in its Info.plist), the update
/// goes on as an unsigned one: "Update not signed" is logged and VE_OK answered. When it declares one, the
/// bundle at inStaged must carry a manifest signed with that key, every item of inStaged must match the
/// manifest, inStaged must declare a valid key itself (the same or a new one: a signed update may rotate
/// the key, never drop it), and its CFBundleVersion, compared as dotted numbers, must not be lower than
/// the installed one's unless inAllowDowngrade. inStaged is read whole: call this on the flushed copy that
/// will be installed, so that what is checked is what is installed. Errors name inShown (the up-to-date
/// bundle as the caller gave it) instead of inStaged.
///
/// Returns VE_OK when the update may proceed, else the code of the refusal (UPZQ 220 to 237), pushed on
/// the current error context above any file error that caused it. Nothing is changed on disk.
[[nodiscard]] vkit::VError CheckUpdateTrust(const vkit::VFilePath& inInstalled,
                                            const vkit::VFilePath& inStaged, const vkit::VFilePath& inShown,
                                            bool inAllowDowngrade);

/// True when the bundle at inInstalled declares a public signing key (ZQPublicEDKey, whatever its value):
/// its update is then a signed one. False, nothing pushed, when it declares none or its Info.plist cannot
/// be read (CheckUpdateTrust then says why).
bool DeclaresSigningKey(const vkit::VFilePath& inInstalled);

/// Compares two versions made of decimal numbers separated by dots ("1.10.2"), a missing number counting
/// as 0 ("1.2" equals "1.2.0"). Returns false when either is not such a text (empty, another character,
/// an empty number, a number of more than 18 digits); else outOrder is negative, 0 or positive as inA is
/// lower than, equal to or higher than inB.
bool CompareDottedVersions(std::string_view inA, std::string_view inB, int& outOrder);

} // namespace zq
