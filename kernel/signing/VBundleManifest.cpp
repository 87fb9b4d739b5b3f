// VBundleManifest: the scan of a bundle into a manifest.
#include "signing/VBundleManifest.h"

#include "files/VFileError.h"
#include "platform/posix/files/XPosixPath.h"
#include "platform/posix/signing/XPosixBundleScan.h"
#include "signing/VContentDigest.h"

#include <algorithm>

namespace vkit {

VError VBundleManifest::Scan(const VFilePath& inBundle) {
    VContentDigest digest;
    XPosixTreeError failure =
        XPosixBundleScan::Scan(XPosixPath::GetPosixPath(inBundle), digest, fEntries, fRootMode);
    if (failure.IsError()) {
        fEntries.clear();
        return VFileError::Report(
            inBundle, failure.GetCode(), VE_FOLDER_CANNOT_GET_ATTRIBUTES,
            [&](VFileError& ioError) { ioError.SetFailedStep(failure.fOperation, failure.fPath); });
    }
    std::erase_if(fEntries, [](const VManifestEntry& inEntry) { return IsSignatureFile(inEntry.fPath); });
    std::sort(fEntries.begin(), fEntries.end(),
              [](const VManifestEntry& inA, const VManifestEntry& inB) { return inA.fPath < inB.fPath; });
    return VE_OK;
}

} // namespace vkit
