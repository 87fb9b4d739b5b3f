// XPosixPath: the Linux conversions between native paths and the POSIX text of the system calls.
#pragma once

#include "text/VString.h"

#include <string>
#include <string_view>

namespace vkit {

class VFilePath;

/// Linux has no named volumes: the native form names its one volume, "/", kRootVolumeName, so that
/// "/home/ann/x.txt" is "Root:home:ann:x.txt" and "/home/ann/" is "Root:home:ann:". A native text whose
/// first component is another name is taken as a top-level folder of "/".
///
/// The conversions are pure text work in one pass: no disk access, no Unicode normalization (Linux file
/// names are bytes, passed to the system exactly as given), at most one allocation for the result.
/// Names need not be UTF-8: each byte of system text outside well-formed UTF-8 becomes the lone
/// surrogate U+DC00 + byte, which turns back into that byte on the way to the system, so that every
/// name survives byte for byte (VString::AppendUTF8KeepingBytes). A
/// ":" inside a POSIX name is a "/" inside a native name and the reverse. A POSIX full path converted to
/// native and back gives the same text when it holds no "//", "." or ".." steps; folders keep their
/// trailing separator.
class XPosixPath {
public:
    XPosixPath() = delete;

    /// The native name of the volume "/".
    static constexpr std::u16string_view kRootVolumeName = u"Root";

    /// Native full text to POSIX text (UTF-16); an empty text gives an empty text. inNative must not be
    /// a view of outPosix.
    static void NativeToPosix(std::u16string_view inNative, VString& outPosix);
    /// Native full text to the UTF-8 POSIX text handed to the system, replacing outPosix. A lone
    /// surrogate U+DC80 to U+DCFF becomes its byte, any other unpaired surrogate U+FFFD.
    static void NativeToPosixUTF8(std::u16string_view inNative, std::string& outPosix);

    /// POSIX full text (beginning with "/") to native text. Empty components and "." steps add nothing,
    /// ".." removes the component before it (and stays at "/" at the root); the result is a folder path
    /// when the text ends with "/" or a ".." step, or when inIsFolder. In a text holding a NUL, ".." is
    /// kept as a name, so that no step removes the NUL. Returns false, outNative emptied,
    /// when the text does not begin with "/". inPosix must not be a view of outNative.
    static bool PosixToNative(std::u16string_view inPosix, bool inIsFolder, VString& outNative);
    /// The same from text read from the system (bytes outside UTF-8 kept as surrogates).
    static bool PosixToNative(std::string_view inPosixUTF8, bool inIsFolder, VString& outNative);

    /// The UTF-8 POSIX text of a valid path into outPosix; false, outPosix emptied, when it is invalid.
    static bool GetPosixPath(const VFilePath& inPath, std::string& outPosix);
    /// The UTF-8 POSIX text of a valid path; empty when it is invalid.
    static std::string GetPosixPath(const VFilePath& inPath);
    /// A POSIX text as the bytes handed to the system (no normalization, kept bytes restored).
    static void GetPosixPathFromString(const VString& inPosix, std::string& outPosix);

    /// The path of a UTF-8 POSIX text read from the system; with inIsFolder the path is a folder path
    /// (as if the text ended with "/"). A text not beginning with "/" is read as FromFullPath reads POSIX
    /// text. A null text clears the path.
    static void GetFilePathFromPosixPath(const char* inText, bool inIsFolder, VFilePath& outPath);
    static void GetFilePathFromPosixPath(std::string_view inText, bool inIsFolder, VFilePath& outPath);
};

} // namespace vkit
