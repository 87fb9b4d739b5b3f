// VBundleSignature: the steps of signing and of checking a bundle.
#include "signing/VBundleSignature.h"

#include "errors/VErrorThrow.h"
#include "files/VFileError.h"
#include "platform/posix/files/XPosixPath.h"
#include "platform/posix/shared/XPosixPathText.h"
#include "platform/posix/signing/XPosixSigningFile.h"
#include "signing/VBundleManifest.h"
#include "signing/VManifestSignature.h"
#include "signing/VSigningErrorCodes.h"
#include "signing/VSigningPrivateKey.h"

#include <cerrno>

namespace vkit {

namespace {

VError ReportFailure(const VFilePath& inBundle, const XPosixTreeError& inFailure, VError inOperation) {
    return VFileError::Report(inBundle, inFailure.GetCode(), inOperation, [&](VFileError& ioError) {
        ioError.SetFailedStep(inFailure.fOperation, inFailure.fPath);
    });
}

/// Reads one of the signature files of the bundle at inRoot. A file that is missing, or that is not a
/// plain file within inLimit, is a refusal (outCheck set, answers VE_OK and false through outRead);
/// another failure is a file error, pushed and answered.
VError ReadSignatureFile(const VFilePath& inBundle, const std::string& inRoot, std::string_view inPath,
                         size_t inLimit, EBundleCheck inBadOutcome, std::string& outContent,
                         VBundleCheck& outCheck) {
    XPosixTreeError failure = XPosixSigningFile::Read(JoinPath(inRoot, inPath), inLimit, outContent);
    if (!failure.IsError())
        return VE_OK;
    if (failure.fErrno == ENOENT || failure.fErrno == ENOTDIR) {
        outCheck = VBundleCheck{EBundleCheck::kNotSigned, std::string(inPath), "", ""};
    } else if (failure.fErrno == ELOOP || failure.fErrno == EINVAL || failure.fErrno == EFBIG) {
        outCheck = VBundleCheck{inBadOutcome, std::string(inPath), "",
                                failure.fErrno == EFBIG ? "it is larger than a valid one may be"
                                                        : "it is not a plain file"};
    } else {
        failure.fPath = JoinPath(inRoot, inPath);
        return ReportFailure(inBundle, failure, VE_FILE_CANNOT_OPEN);
    }
    return VE_OK;
}

/// The signature's checks: the trusted key signed the manifest's bytes.
VBundleCheck CheckSignature(std::string_view inSignatureText, std::string_view inManifestText,
                            const VSigningPublicKey* inTrustedKey) {
    VManifestSignature signature;
    std::string reason;
    if (!signature.Parse(inSignatureText, reason))
        return VBundleCheck{EBundleCheck::kBadSignatureFile, std::string(VBundleManifest::kSignaturePath), "",
                            reason};
    const VSigningPublicKey& key = inTrustedKey != nullptr ? *inTrustedKey : signature.GetKey();
    if (!(signature.GetKey() == key))
        return VBundleCheck{EBundleCheck::kOtherKey, std::string(VBundleManifest::kSignaturePath),
                            key.ToText(), signature.GetKey().ToText()};
    if (!key.Verify(inManifestText, signature.GetSignature()))
        return VBundleCheck{EBundleCheck::kBadSignature, std::string(VBundleManifest::kManifestPath), "", ""};
    return VBundleCheck();
}

} // namespace

VError VBundleSignature::Sign(const VFilePath& inBundle, const VSigningPrivateKey& inKey,
                              size_t* outItemCount) {
    std::string root = XPosixPath::GetPosixPath(inBundle);
    std::string folder = JoinPath(root, VBundleManifest::kFolderPath);
    if (XPosixTreeError failure = XPosixSigningFile::MakeFolder(folder, 0755); failure.IsError()) {
        failure.fPath = folder;
        return ReportFailure(inBundle, failure, VE_FOLDER_CANNOT_CREATE);
    }
    VBundleManifest manifest;
    if (VError error = manifest.Scan(inBundle); error != VE_OK)
        return error;
    std::string reason;
    if (const VManifestEntry* entry = manifest.FindUnwritable(reason)) {
        VError code =
            entry->fKind == EManifestKind::kOther ? VE_SIGNING_UNSUPPORTED_ITEM : VE_SIGNING_BUNDLE_TOO_LARGE;
        return vThrowUserGeneratedError(
            code, VString("cannot sign '" + JoinPath(root, entry->fPath) + "': " + reason));
    }
    std::string text = manifest.Write();
    VManifestSignature signature(inKey.GetPublicKey(), inKey.Sign(text));
    XPosixTreeError failure = XPosixSigningFile::Replace(folder, "manifest", text, 0644);
    if (!failure.IsError())
        failure = XPosixSigningFile::Replace(folder, "signature", signature.Write(), 0644);
    if (failure.IsError())
        return ReportFailure(inBundle, failure, VE_FILE_CANNOT_WRITE);
    if (outItemCount != nullptr)
        *outItemCount = manifest.GetEntries().size();
    return VE_OK;
}

VError VBundleSignature::Check(const VFilePath& inBundle, const VSigningPublicKey* inTrustedKey,
                               VBundleCheck& outCheck) {
    outCheck = VBundleCheck();
    std::string root = XPosixPath::GetPosixPath(inBundle);
    std::string signatureText;
    std::string manifestText;
    VError error =
        ReadSignatureFile(inBundle, root, VBundleManifest::kSignaturePath, VManifestSignature::kMaxTextSize,
                          EBundleCheck::kBadSignatureFile, signatureText, outCheck);
    if (error == VE_OK && outCheck.IsAccepted())
        error =
            ReadSignatureFile(inBundle, root, VBundleManifest::kManifestPath, VBundleManifest::kMaxTextSize,
                              EBundleCheck::kBadManifest, manifestText, outCheck);
    if (error != VE_OK || !outCheck.IsAccepted())
        return error;
    // The signature first: the manifest is parsed only once it is known to come from the key's holder.
    outCheck = CheckSignature(signatureText, manifestText, inTrustedKey);
    if (!outCheck.IsAccepted())
        return VE_OK;
    VBundleManifest expected;
    VBundleManifest::ParseFailure parseFailure;
    if (!expected.Parse(manifestText, parseFailure)) {
        outCheck = VBundleCheck{EBundleCheck::kBadManifest, std::string(VBundleManifest::kManifestPath), "",
                                "line " + std::to_string(parseFailure.fLine) + ": " + parseFailure.fReason};
        return VE_OK;
    }
    VBundleManifest found;
    if (VError scanError = found.Scan(inBundle); scanError != VE_OK)
        return scanError;
    outCheck = VBundleCheck::Compare(expected, found);
    return VE_OK;
}

} // namespace vkit
