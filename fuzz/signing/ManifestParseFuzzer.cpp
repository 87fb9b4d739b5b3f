// Fuzz target for the manifest and signature-file parsers: an accepted text is the one text its content
// writes, a refused one leaves nothing behind and says on which line.
#include "fuzz/FuzzCheck.h"
#include "signing/VBundleManifest.h"
#include "signing/VManifestSignature.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace vkit;
using fuzzing::Check;

namespace {

// Beyond this the parser's work only grows with the length: the limits are checked by the unit tests.
constexpr size_t kMaxLength = 256 * 1024;

/// No name of an accepted path may lead out of the bundle or be empty.
bool NamesStayInside(std::string_view inPath) {
    for (size_t start = 0;;) {
        size_t slash = inPath.find('/', start);
        std::string_view name = inPath.substr(start, slash == std::string_view::npos ? slash : slash - start);
        if (name.empty() || name == "." || name == "..")
            return false;
        if (slash == std::string_view::npos)
            return true;
        start = slash + 1;
    }
}

void CheckManifest(std::string_view inText) {
    VBundleManifest manifest;
    VBundleManifest::ParseFailure failure;
    if (!manifest.Parse(inText, failure)) {
        Check(manifest.GetEntries().empty() && !failure.fReason.empty());
        Check(failure.fLine <= static_cast<size_t>(std::count(inText.begin(), inText.end(), '\n')) + 1);
        return;
    }
    Check(failure.fReason.empty());
    Check(manifest.Write() == inText);
    std::string reason;
    Check(manifest.FindUnwritable(reason) == nullptr);
    for (const VManifestEntry& entry : manifest.GetEntries()) {
        Check(!VBundleManifest::IsSignatureFile(entry.fPath));
        Check(NamesStayInside(entry.fPath));
    }
}

void CheckSignature(std::string_view inText) {
    VManifestSignature signature;
    std::string reason;
    if (signature.Parse(inText, reason))
        Check(signature.Write() == inText);
    else
        Check(!reason.empty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize) {
    if (inSize > kMaxLength)
        return 0;
    std::string_view text(reinterpret_cast<const char*>(inData), inSize);
    // A signature file begins so; anything else is tried as a manifest.
    if (text.starts_with("zq-signature"))
        CheckSignature(text);
    else
        CheckManifest(text);
    return 0;
}
