// VFilePath: one full path in native colon-separated form with a validity flag, and its text operations.
#pragma once

#include "text/VObject.h"
#include "text/VString.h"

namespace vkit {

class VFolder;

/// The text style in which a path is given or wanted.
enum class FilePathStyle {
    /// The native colon-separated volume form ("Root:home:ann:"), used as it stands.
    Native = 0,
    /// POSIX text ("/home/ann/"), converted on the way in and out.
    Posix = 1,
};

/// A full path in native form: the volume name, then the components, each followed by ":" except the
/// last one of a file. "Root:home:ann:" names a folder, "Root:home:ann:x.txt" a file, "Root:" the root
/// of the volume. Whether a path is a folder or a file is decided by its last character alone, never by
/// the disk. On Linux the one volume is "/", named "Root" (XPosixPath::kRootVolumeName).
///
/// Every operation is pure text work; only GetPosixPath and the POSIX-style constructors convert, and
/// they never touch the disk. A value is used by one thread at a time.
class VFilePath : public VObject {
public:
    /// The separator of the native form; a folder path ends with it.
    static constexpr UniChar kSeparator = u':';

    /// An empty, invalid path.
    VFilePath() noexcept = default;
    VFilePath(const VFilePath& inOther) = default;
    VFilePath(VFilePath&& inOther) noexcept = default;
    VFilePath& operator=(const VFilePath& inOther) = default;
    VFilePath& operator=(VFilePath&& inOther) noexcept = default;
    ~VFilePath() override;

    /// A path from a full text; see FromFullPath.
    explicit VFilePath(const VString& inText, FilePathStyle inStyle = FilePathStyle::Native);
    /// A path from a base and a relative text; see FromRelativePath.
    VFilePath(const VFilePath& inBase, const VString& inRelative, FilePathStyle inStyle,
              bool inAlwaysRelative = false);

    /// Copies the text and validity of another path; returns this path.
    VFilePath& FromFilePath(const VFilePath& inOther);

    /// Sets the path from a full text. In POSIX style the text is converted first ("/home/ann/" gives
    /// "Root:home:ann:"; a text not beginning with "/" goes through the relative rule of
    /// VURL::POSIX_to_HFS). The path is invalid when the result is empty, holds a NUL code unit, begins
    /// with ":", or has more "::" steps than components to remove; otherwise the "::" steps are resolved
    /// ("Disk:a:b::c" gives "Disk:a:c"). A rejected text is kept as it was given (converted). Returns this
    /// path.
    VFilePath& FromFullPath(const VString& inText, FilePathStyle inStyle = FilePathStyle::Native);
    /// As FromFullPath in native style, taking over the text without copying it.
    VFilePath& FromNativeText(VString&& inText);

    /// Sets the path to a base path followed by a relative text.
    /// Native style: the base's text + inRelative, unconverted.
    /// POSIX style, inAlwaysRelative false: a text beginning with "/" is taken as a full POSIX path and the
    /// base is ignored; any other text is converted by the relative rule of VURL::POSIX_to_HFS ("../x"
    /// gives ":x", that is one level up) and appended to the base's text.
    /// POSIX style, inAlwaysRelative true: the base must be a valid folder path (else the path is emptied
    /// and invalid); the converted text is always appended to it.
    /// The result is then checked and resolved as in FromFullPath. Returns this path.
    VFilePath& FromRelativePath(const VFilePath& inBase, const VString& inRelative, FilePathStyle inStyle,
                                bool inAlwaysRelative = false);
    /// The same with the folder's path as the base.
    VFilePath& FromRelativePath(const VFolder& inBase, const VString& inRelative, FilePathStyle inStyle,
                                bool inAlwaysRelative = false);

    /// Empties the text and makes the path invalid.
    void Clear() noexcept;
    /// Removes white space at both ends of the text and around every ":", then checks the text again as
    /// FromFullPath does in native style.
    void RemoveBlanks();

    // Queries.

    bool IsValid() const noexcept { return fIsValid; }
    /// Valid and ends with ":".
    bool IsFolder() const noexcept { return fIsValid && fPath.GetLength() > 0 && _LastUnit() == kSeparator; }
    /// Valid and does not end with ":".
    bool IsFile() const noexcept { return fIsValid && fPath.GetLength() > 0 && _LastUnit() != kSeparator; }
    /// Valid and a ":" comes before the last code unit (a volume root has no parent).
    bool HasParent() const noexcept;

    /// The native text as it stands, also when invalid.
    const VString& GetPath() const noexcept { return fPath; }
    void GetPath(VString& outText) const { outText = fPath; }
    /// The native text for Native; for Posix the POSIX text, empty when the path is invalid.
    VString GetPath(FilePathStyle inStyle) const;
    /// The POSIX text ("/home/ann/" for "Root:home:ann:"); empty when the path is invalid.
    void GetPosixPath(VString& outText) const;

    /// The last component, with its extension and without a folder's trailing ":" ("Disk:a:b:" gives
    /// "b"); the whole text when it holds no ":". Empty when the path is invalid.
    void GetName(VString& outName) const;
    /// For a file path, its last component; without the extension, the text from the component's last
    /// "." on is dropped ("file.tar.gz" gives "file.tar"). Empty for a folder or an invalid path.
    void GetFileName(VString& outName, bool inWithExtension = true) const;
    /// For a folder path, its last component without the trailing ":", the extension handled as in
    /// GetFileName; for a volume root the whole text, trailing ":" included. Empty for a file or an
    /// invalid path.
    void GetFolderName(VString& outName, bool inWithExtension = true) const;
    /// The text after the last "." of the last component (a folder's ":" excluded); empty when the
    /// component holds no "." or ends with it. ".profile" has the extension "profile", "a." none.
    void GetExtension(VString& outExtension) const;
    /// True when the path ends with "." + inExtension (+ ":" for a folder), compared by the current
    /// international settings (accents and case ignored unless inDiacritical). False when invalid.
    bool MatchExtension(const VString& inExtension, bool inDiacritical = false) const;

    /// outParent receives the parent folder (as ToParent); returns whether it is valid.
    bool GetParent(VFilePath& outParent) const;
    /// outFolder receives the path as ToFolder leaves it; returns whether it is valid.
    bool GetFolder(VFilePath& outFolder) const;

    /// Both valid, inParent a folder path, and this path's text begins with the parent's without being
    /// equal to it. Names are compared exactly, code unit by code unit: on Linux two names are the same
    /// item only when their bytes are ("App" and "app" are two folders), and the native text has its
    /// "." and ".." steps resolved. False for a path and itself.
    bool IsChildOf(const VFilePath& inParent) const;
    /// The same as IsChildOf.
    bool IsChildOfRawPath(const VFilePath& inParent) const noexcept;
    /// As IsChildOf, equality allowed.
    bool IsSameOrChildOf(const VFilePath& inParent) const;

    /// The number of components (a volume root counts 1); 0 when invalid.
    VIndex GetDepth() const noexcept;

    /// When inBase is a valid folder path and this path is it or lies inside it (IsSameOrChildOf), outText
    /// receives the rest of the native text and the result is true.
    /// Otherwise outText receives the full native text and the result is false.
    bool GetRelativePath(const VFilePath& inBase, VString& outText) const;
    /// As GetRelativePath, the rest converted to relative POSIX text ("a:b:" gives "a/b/"). On failure
    /// outText receives the full POSIX text (empty when invalid) and the result is false.
    bool GetRelativePosixPath(const VFilePath& inBase, VString& outText) const;

    /// Exact comparison of the text and validity.
    bool operator==(const VFilePath& inOther) const noexcept {
        return fIsValid == inOther.fIsValid && fPath == inOther.fPath;
    }

    /// Appends the native text.
    VString& DebugDump(VString& ioDump) const override;
    /// Writes the native text as UTF-8 into outBuffer of ioSize bytes, truncated and NUL-terminated;
    /// ioSize receives the number of bytes written before the NUL.
    void DebugDump(char* outBuffer, int& ioSize) const;

    // Modifiers. On an invalid path they do nothing, except ToParent which empties it.

    /// Cuts everything after the last ":" (a folder stays as it is; a text without ":" becomes empty and
    /// invalid). Returns this path.
    VFilePath& ToFolder();
    /// Goes to the parent folder: the parent of a file is its folder, that of a folder the folder above.
    /// A volume root has no parent: the path becomes empty and invalid. Returns this path.
    VFilePath& ToParent();
    /// On a valid folder path, appends inName and ":"; otherwise nothing. Returns this path.
    VFilePath& ToSubFolder(const VString& inName);
    /// On a valid folder path, appends inName; otherwise nothing. Returns this path.
    VFilePath& ToSubFile(const VString& inName);

    /// Replaces the last component by inName, keeping the kind (a folder stays a folder). A volume root
    /// or a text without ":" becomes empty and invalid. A name holding ":" is refused with the error
    /// "vkit" 614 and the path left unchanged, as is an empty name. Returns whether the name was set and
    /// the path is valid.
    bool SetName(const VString& inName);
    /// On a folder path, appends inName (the path becomes that file in the folder). On a file path,
    /// replaces the last component by inName, keeping the old extension when inWithExtension is false
    /// ("Disk:a:file.tar.gz" with "x" gives "Disk:a:x.gz"). Refuses names as SetName does. Returns
    /// whether the name was set and the path is valid.
    bool SetFileName(const VString& inName, bool inWithExtension = true);
    /// On a folder path only: replaces the last component by inName (keeping the old extension when
    /// inWithExtension is false) and ends with ":". Refuses names as SetName does. Returns whether the
    /// name was set and the path is valid.
    bool SetFolderName(const VString& inName, bool inWithExtension = true);
    /// SetFileExtension on a file path, SetFolderExtension on a folder path.
    bool SetExtension(const VString& inExtension);
    /// On a file path: replaces the text after the last "." of the last component by inExtension, or
    /// adds "." + inExtension when there is none; an empty inExtension removes the "." and the old
    /// extension. An extension holding ":", or a change that would leave an empty name, is refused as in
    /// SetName. Returns whether the extension was set.
    bool SetFileExtension(const VString& inExtension);
    /// The same inside the last component of a folder path, before its trailing ":".
    bool SetFolderExtension(const VString& inExtension);

    /// Resolves a relative or full POSIX text in place: removes "./" steps and "name/../" pairs ("a/./b"
    /// gives "a/b", "a/b/../c" gives "a/c"); ".." steps with nothing before them to remove stay. Returns
    /// false, the text unchanged, when it holds a doubled "/".
    static bool ResolveRelativePosix(VString& ioText);

private:
    // The platform part converts system text straight into fPath, reusing its buffer.
    friend class XPosixPath;

    /// Reports a name or extension holding ":" ("vkit" 614).
    static void _RaiseInvalidName(const VString& inName);
    UniChar _LastUnit() const noexcept { return fPath[fPath.GetLength() - 1]; }
    /// Checks fPath and resolves its "::" steps; sets fIsValid.
    void _Validate();
    /// Replaces the last component by the given text; inKeepExtension adds the old extension back.
    bool _ReplaceLastComponent(const VString& inName, bool inKeepExtension, bool inAsFolder);
    bool _SetExtensionInLastComponent(const VString& inExtension);

    VString fPath;
    bool fIsValid = false;
};

} // namespace vkit
