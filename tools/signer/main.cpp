// zq-sign: makes a signing key, signs an application bundle with it, and verifies a signed bundle:
//   zq-sign generate-key [--key FILE] | sign --key FILE BUNDLE | verify [--public-key KEY] BUNDLE
#include "errors/StErrorContextInstaller.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorContext.h"
#include "files/VFileError.h"
#include "files/VFilePath.h"
#include "platform/posix/files/XPosixFileInfo.h"
#include "platform/posix/files/XPosixPath.h"
#include "platform/posix/signing/XPosixSigningFile.h"
#include "runtime/VTaskMgr.h"
#include "signing/VBundleSignature.h"
#include "signing/VSigningPrivateKey.h"

#include <cstdio>
#include <cstring>
#include <string>

using namespace vkit;

namespace {

/// The exit statuses, as the manual page lists them.
constexpr int kExitSuccess = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;
constexpr int kExitFileError = 3;

constexpr const char* kUsage = "usage: zq-sign generate-key [--key FILE]\n"
                               "       zq-sign sign --key FILE BUNDLE\n"
                               "       zq-sign verify [--public-key KEY] BUNDLE\n";
constexpr const char* kDefaultKeyFile = "zq-sign.key";

struct Arguments {
    std::string fCommand;
    std::string fKeyFile;
    std::string fPublicKey;
    std::string fBundle;
    bool fHasPublicKey = false;
};

int Fail(int inStatus, const std::string& inMessage) {
    std::fprintf(stderr, "zq-sign: %s\n", inMessage.c_str());
    if (inStatus == kExitUsage)
        std::fputs(kUsage, stderr);
    return inStatus;
}

/// Prints the last error the failed step left (the one that names the path, the step and the system's
/// message), its path as a POSIX path, and answers status 3.
int FailWithErrors(const StErrorContextInstaller& inErrors) {
    const std::vector<VErrorBase*>& errors = inErrors.GetContext()->GetErrors();
    VString description("failed");
    if (!errors.empty())
        errors.back()->GetErrorDescription(description);
    if (const auto* fileError = errors.empty() ? nullptr : dynamic_cast<const VFileError*>(errors.back())) {
        std::string posix = XPosixPath::GetPosixPath(fileError->GetFilePath());
        description.ExchangeAll(fileError->GetFilePath().GetPath(), VString(posix));
    }
    return Fail(kExitFileError, description.ToUTF8());
}

/// Reads the options and the bundle of a command; an empty text, or the problem.
std::string ParseArguments(int argc, char** argv, Arguments& outArguments) {
    outArguments.fCommand = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::string argument = argv[i];
        if ((argument == "--key" || argument == "--public-key") && i + 1 < argc) {
            (argument == "--key" ? outArguments.fKeyFile : outArguments.fPublicKey) = argv[++i];
            outArguments.fHasPublicKey |= argument == "--public-key";
        } else if (argument.starts_with("--") || !outArguments.fBundle.empty()) {
            return "unexpected argument '" + argument + "'";
        } else {
            outArguments.fBundle = argument;
        }
    }
    const Arguments& a = outArguments;
    bool generate = a.fCommand == "generate-key";
    bool sign = a.fCommand == "sign";
    bool verify = a.fCommand == "verify";
    if (!generate && !sign && !verify)
        return "unknown command '" + a.fCommand + "'";
    if (generate == !a.fBundle.empty() && !generate)
        return "no bundle given";
    if (generate && !a.fBundle.empty())
        return "generate-key takes no bundle";
    if (sign && a.fKeyFile.empty())
        return "sign needs --key FILE";
    if ((verify && !a.fKeyFile.empty()) || (!verify && a.fHasPublicKey))
        return verify ? "verify takes --public-key, not --key" : "--public-key is an option of verify only";
    return std::string();
}

VFilePath PathOf(const std::string& inPosixPath, bool inIsFolder) {
    VFilePath path;
    XPosixPath::GetFilePathFromPosixPath(XPosixSigningFile::Absolute(inPosixPath), inIsFolder, path);
    return path;
}

/// Empty when inBundle is a folder, else why it cannot be signed or verified.
std::string BundleProblem(const std::string& inBundle) {
    if (XPosixFileInfo::IsDirectory(inBundle, true))
        return std::string();
    if (XPosixFileInfo::IsFileOrLink(inBundle))
        return "'" + inBundle + "' is not a folder: an application bundle is a folder";
    return "no bundle at '" + inBundle + "': No such file or directory";
}

int GenerateKey(const Arguments& inArguments) {
    std::string file = inArguments.fKeyFile.empty() ? kDefaultKeyFile : inArguments.fKeyFile;
    VSigningPrivateKey key;
    if (!key.Generate())
        return Fail(kExitFileError, "the system's random source cannot be read");
    StErrorContextInstaller errors;
    if (key.WriteNewFile(PathOf(file, false)) != VE_OK)
        return FailWithErrors(errors);
    std::fprintf(stderr, "zq-sign: private key written to '%s' (readable by you only); keep it secret\n",
                 file.c_str());
    std::printf("<key>ZQPublicEDKey</key>\n<string>%s</string>\n", key.GetPublicKey().ToText().c_str());
    return kExitSuccess;
}

int Sign(const Arguments& inArguments) {
    if (std::string problem = BundleProblem(inArguments.fBundle); !problem.empty())
        return Fail(kExitFileError, problem);
    StErrorContextInstaller errors;
    VSigningPrivateKey key;
    size_t items = 0;
    if (key.ReadFile(PathOf(inArguments.fKeyFile, false)) != VE_OK ||
        VBundleSignature::Sign(PathOf(inArguments.fBundle, true), key, &items) != VE_OK)
        return FailWithErrors(errors);
    std::printf("zq-sign: signed '%s' with key %s: %zu items listed\n", inArguments.fBundle.c_str(),
                key.GetPublicKey().ToText().c_str(), items);
    return kExitSuccess;
}

int Verify(const Arguments& inArguments) {
    VSigningPublicKey trusted;
    if (inArguments.fHasPublicKey && !trusted.FromText(inArguments.fPublicKey))
        return Fail(kExitUsage, "'" + inArguments.fPublicKey + "' is not an Ed25519 public key in base64");
    if (std::string problem = BundleProblem(inArguments.fBundle); !problem.empty())
        return Fail(kExitFileError, problem);
    StErrorContextInstaller errors;
    VBundleCheck check;
    if (VBundleSignature::Check(PathOf(inArguments.fBundle, true),
                                inArguments.fHasPublicKey ? &trusted : nullptr, check) != VE_OK)
        return FailWithErrors(errors);
    if (!check.IsAccepted())
        return Fail(kExitRefused, "'" + inArguments.fBundle + "' is refused: " + check.Describe());
    std::printf("zq-sign: '%s' matches its signed manifest: %zu items%s\n", inArguments.fBundle.c_str(),
                check.fItemCount,
                inArguments.fHasPublicKey ? ", signed with the key given"
                                          : " (signed with the key the signature names; give --public-key to "
                                            "check that it is the key you trust)");
    return kExitSuccess;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return kExitSuccess;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("zq-sign %s\n", VKIT_PROJECT_VERSION);
        return kExitSuccess;
    }
    if (argc < 2)
        return Fail(kExitUsage, "no command given");
    Arguments arguments;
    if (std::string problem = ParseArguments(argc, argv, arguments); !problem.empty())
        return Fail(kExitUsage, problem);
    // Errors are recorded on a task of the task manager, with the error layer up.
    if (!VTaskMgr::Init())
        return Fail(kExitFileError, "the task manager cannot start");
    VErrorBase::Init();
    if (arguments.fCommand == "generate-key")
        return GenerateKey(arguments);
    return arguments.fCommand == "sign" ? Sign(arguments) : Verify(arguments);
}
