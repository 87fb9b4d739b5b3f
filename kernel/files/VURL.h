// VURL: conversions of path texts between the POSIX, native and Windows styles.
#pragma once

#include "text/VString.h"

namespace vkit {

/// The text style of a path handed to VURL::Convert.
enum class EURLPathStyle {
    /// "/"-separated text.
    Posix = 0,
    /// The native colon-separated volume form.
    Hfs = 1,
    /// "\"-separated text.
    Windows = 2,
};

/// Conversions of path texts between styles. They are pure text work and never touch the disk.
class VURL {
public:
    VURL() = delete;

    /// Converts ioText from one style to another: POSIX to native with POSIX_to_HFS, native to POSIX with
    /// HFS_to_POSIX (inRelative chooses the relative rule), POSIX to Windows by turning every "/" into
    /// "\" and back the other way. Any other pair leaves the text unchanged.
    static void Convert(VString& ioText, EURLPathStyle inFrom, EURLPathStyle inTo, bool inRelative);

    /// POSIX text to native text. A text beginning with "/" is a full path ("/home/ann/" gives
    /// "Root:home:ann:"). Any other text follows the relative rule: "./" steps are dropped, each "/" and
    /// each "../" step gives one ":" and a ":" inside a name becomes "/" ("a/b/" gives "a:b:", "../x"
    /// gives ":x", "a/../b" gives "a::b"); appended to a folder path, every extra ":" goes one level up.
    static void POSIX_to_HFS(VString& ioText);

    /// Native text to POSIX text. A full path ("Root:home:ann:" gives "/home/ann/"; another first
    /// component is taken as a top-level folder of "/"). With inRelative, a run of n ":" between or after
    /// names gives "/" followed by n-1 times "../", a leading run of n ":" gives n times "../" (":x" gives
    /// "../x"), a lone ":" gives nothing, and a "/" inside a name becomes ":".
    static void HFS_to_POSIX(VString& ioText, bool inRelative);
};

} // namespace vkit
