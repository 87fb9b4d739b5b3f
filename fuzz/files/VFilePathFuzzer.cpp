// Fuzz target for path texts: POSIX and native texts through every conversion, with round-trip checks.
#include "files/VFilePath.h"
#include "files/VURL.h"
#include "fuzz/FuzzCheck.h"
#include "platform/posix/files/XPosixPath.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace vkit;

namespace {

constexpr size_t kMaxLength = 4096;

using fuzzing::Check;

bool HasStepComponent(std::u16string_view inText) {
    size_t start = 0;
    for (;;) {
        size_t end = inText.find(u':', start);
        std::u16string_view component = inText.substr(start, end == inText.npos ? inText.npos : end - start);
        if (component == u"." || component == u"..")
            return true;
        if (end == inText.npos)
            return false;
        start = end + 1;
    }
}

/// A full POSIX text read from the system: both entry points agree on UTF-8, NUL alone makes it invalid, and
/// the system text of the path reads back as the same path.
void FuzzPosixFullPath(std::string_view inBytes) {
    std::string posix = "/";
    posix.append(inBytes);
    VFilePath path;
    XPosixPath::GetFilePathFromPosixPath(std::string_view(posix), false, path);
    VString native;
    Check(XPosixPath::PosixToNative(VString(posix).View(), false, native));
    // Bytes that are not UTF-8 keep their value only through the byte entry point (as U+DC00 + byte);
    // the text entry point is given the decoded text, so the two agree on UTF-8 alone.
    if (VString(posix).ToUTF8() == posix)
        Check(native == path.GetPath());
    Check(path.IsValid() == (posix.find('\0') == std::string::npos));
    if (!path.IsValid())
        return;
    if (posix.back() == '/')
        Check(path.IsFolder());
    std::string system = XPosixPath::GetPosixPath(path);
    Check(system.find("//") == std::string::npos);
    VFilePath again;
    XPosixPath::GetFilePathFromPosixPath(std::string_view(system), false, again);
    Check(again == path);
}

/// A native text: a valid path keeps the invariants, walks up to its volume root in GetDepth steps,
/// renames to its own name unchanged, and goes through POSIX and back when it lies on "Root".
void FuzzNativeText(std::string_view inBytes) {
    VFilePath path{VString(inBytes)};
    if (!path.IsValid())
        return;
    std::u16string_view text = path.GetPath().View();
    Check(!text.empty() && text[0] != u':');
    Check(text.find(u"::") == text.npos && text.find(u'\0') == text.npos);

    VFilePath walk(path);
    for (VIndex level = 1; level < path.GetDepth(); ++level) {
        Check(walk.ToParent().IsFolder());
        Check(path.IsChildOfRawPath(walk));
    }
    Check(!walk.ToParent().IsValid());

    VString name;
    path.GetName(name);
    if (path.HasParent() && !name.IsEmpty()) {
        VFilePath renamed(path);
        Check(renamed.SetName(name));
        Check(renamed == path);
    }

    if (text.starts_with(u"Root:") && !HasStepComponent(text)) {
        VString posix;
        path.GetPosixPath(posix);
        Check(VFilePath(posix, FilePathStyle::Posix) == path);
    }
}

/// A relative POSIX text: the relative rules and step resolution hold their shape.
void FuzzRelativeText(std::string_view inBytes) {
    VString text(inBytes);
    VString native(text);
    VURL::POSIX_to_HFS(native);
    VString posix(native);
    VURL::HFS_to_POSIX(posix, true);

    VString resolved(text);
    if (VFilePath::ResolveRelativePosix(resolved)) {
        VString again(resolved);
        Check(VFilePath::ResolveRelativePosix(again));
        Check(again == resolved);
    } else {
        Check(resolved == text);
    }

    VFilePath base(VString("Root:base:"));
    VFilePath inside(base, text, FilePathStyle::Posix, true);
    VString relative;
    if (inside.GetRelativePosixPath(base, relative))
        Check(inside.IsSameOrChildOf(base));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize) {
    if (inSize == 0 || inSize > kMaxLength)
        return 0;
    std::string_view bytes(reinterpret_cast<const char*>(inData) + 1, inSize - 1);
    switch (inData[0] % 3) {
    case 0:
        FuzzPosixFullPath(bytes);
        break;
    case 1:
        FuzzNativeText(bytes);
        break;
    default:
        FuzzRelativeText(bytes);
        break;
    }
    return 0;
}
