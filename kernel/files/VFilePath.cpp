// VFilePath: checking, resolving, walking and renaming native paths, and their POSIX forms.
#include "files/VFilePath.h"

#include "errors/VErrorThrow.h"
#include "files/VFolder.h"
#include "files/VURL.h"
#include "platform/posix/files/XPosixPath.h"
#include "text/VIntlMgr.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace vkit {

namespace {

using View = std::u16string_view;
constexpr size_t npos = View::npos;

/// Error number (component "vkit") of a name or extension that holds the separator.
constexpr int32_t kErrorInvalidName = 614;

/// The last component of a native text: [start, end), end excluding a folder's trailing ":".
/// hasSeparator tells whether a ":" comes before it.
struct LastComponent {
    size_t start = 0;
    size_t end = 0;
    bool hasSeparator = false;
    View In(View inText) const { return inText.substr(start, end - start); }
};

LastComponent FindLastComponent(View inText) {
    LastComponent component;
    component.end = inText.size();
    if (component.end > 0 && inText[component.end - 1] == u':')
        --component.end;
    size_t colon = component.end == 0 ? npos : inText.rfind(u':', component.end - 1);
    component.hasSeparator = colon != npos;
    component.start = component.hasSeparator ? colon + 1 : 0;
    return component;
}

/// Position of the last "." of a component, npos when it holds none.
size_t FindExtensionDot(View inComponent) {
    return inComponent.rfind(u'.');
}

/// The component without its extension (from the last "." on).
View WithoutExtension(View inComponent) {
    size_t dot = FindExtensionDot(inComponent);
    return dot == npos ? inComponent : inComponent.substr(0, dot);
}

/// The extension of a component; empty when it holds no "." or ends with it.
View ExtensionOf(View inComponent) {
    size_t dot = FindExtensionDot(inComponent);
    return dot == npos ? View() : inComponent.substr(dot + 1);
}

void Assign(VString& outText, View inText) {
    outText.FromUniChars(inText.data(), static_cast<VIndex>(inText.size()));
}

void Append(VString& ioText, View inText) {
    ioText.AppendUniChars(inText.data(), static_cast<VIndex>(inText.size()));
}

bool HoldsSeparator(const VString& inText) {
    return inText.View().find(VFilePath::kSeparator) != npos;
}

/// Resolves the "::" steps of a native text into outText: an empty component removes the component
/// before it ("Disk:a:b::c" gives "Disk:a:c"). Linear: each removal scans back over text it removes.
/// False when a step would remove the volume name.
bool ResolveNativeSteps(View inText, VString& outText) {
    outText.Clear();
    if (!outText.EnsureSize(static_cast<VIndex>(inText.size())))
        return false;
    UniChar* buffer = outText.GetCPointerForWrite();
    size_t length = 0;
    size_t components = 0;
    size_t position = 0;
    for (;;) {
        size_t colon = inText.find(u':', position);
        if (colon == npos) {
            std::copy(inText.begin() + position, inText.end(), buffer + length);
            length += inText.size() - position;
            break;
        }
        if (colon == position) {
            if (components < 2)
                return false;
            // buffer[length - 1] is the ":" closing the component to remove.
            length -= 1;
            while (length > 0 && buffer[length - 1] != u':')
                --length;
            --components;
        } else {
            std::copy(inText.begin() + position, inText.begin() + colon + 1, buffer + length);
            length += colon + 1 - position;
            ++components;
        }
        position = colon + 1;
    }
    outText.Validate(static_cast<VIndex>(length));
    return true;
}

/// Resolves "./" and "name/../" steps of a text separated by inSeparator (see ResolveRelativePosix).
bool ResolveSeparatedSteps(VString& ioText, UniChar inSeparator) {
    View text = ioText.View();
    const UniChar doubled[] = {inSeparator, inSeparator};
    if (text.find(View(doubled, 2)) != npos)
        return false;
    VString result;
    if (!result.EnsureSize(static_cast<VIndex>(text.size())))
        return false;
    UniChar* buffer = result.GetCPointerForWrite();
    size_t length = 0;
    size_t position = 0;
    if (!text.empty() && text[0] == inSeparator) {
        buffer[length++] = inSeparator;
        position = 1;
    }
    // Nothing before `floor` can be removed: the leading separator and the ".." steps kept after it.
    size_t floor = length;
    while (position < text.size()) {
        size_t end = std::min(text.find(inSeparator, position), text.size());
        View component = text.substr(position, end - position);
        bool hasSeparator = end < text.size();
        position = end + 1;
        if (component == u".")
            continue;
        if (component == u".." && length > floor) {
            // Back to just after the separator before the last component.
            for (--length; length > floor && buffer[length - 1] != inSeparator;)
                --length;
            continue;
        }
        std::copy(component.begin(), component.end(), buffer + length);
        length += component.size();
        if (hasSeparator)
            buffer[length++] = inSeparator;
        if (component == u"..")
            floor = length;
    }
    // A last component that was a step leaves the text ending with a separator, as a folder.
    result.Validate(static_cast<VIndex>(length));
    ioText = std::move(result);
    return true;
}

} // namespace

VFilePath::~VFilePath() = default;

VFilePath::VFilePath(const VString& inText, FilePathStyle inStyle) {
    FromFullPath(inText, inStyle);
}

VFilePath::VFilePath(const VFilePath& inBase, const VString& inRelative, FilePathStyle inStyle,
                     bool inAlwaysRelative) {
    FromRelativePath(inBase, inRelative, inStyle, inAlwaysRelative);
}

VFilePath& VFilePath::FromRelativePath(const VFolder& inBase, const VString& inRelative,
                                       FilePathStyle inStyle, bool inAlwaysRelative) {
    return FromRelativePath(inBase.GetPath(), inRelative, inStyle, inAlwaysRelative);
}

void VFilePath::_RaiseInvalidName(const VString& inName) {
    _ThrowError(MakeVError(kComponentVkit, kErrorInvalidName), &inName);
}

VFilePath& VFilePath::FromFilePath(const VFilePath& inOther) {
    if (&inOther != this) {
        fPath = inOther.fPath;
        fIsValid = inOther.fIsValid;
    }
    return *this;
}

VFilePath& VFilePath::FromFullPath(const VString& inText, FilePathStyle inStyle) {
    if (&inText == &fPath)
        return FromFullPath(VString(inText), inStyle);
    if (inStyle == FilePathStyle::Posix && inText.GetUniChar(1) == u'/') {
        // The common case, converted straight into the path's own text.
        XPosixPath::PosixToNative(inText.View(), false, fPath);
    } else {
        fPath = inText;
        if (inStyle == FilePathStyle::Posix)
            VURL::POSIX_to_HFS(fPath);
    }
    _Validate();
    return *this;
}

VFilePath& VFilePath::FromNativeText(VString&& inText) {
    fPath = std::move(inText);
    _Validate();
    return *this;
}

VFilePath& VFilePath::FromRelativePath(const VFilePath& inBase, const VString& inRelative,
                                       FilePathStyle inStyle, bool inAlwaysRelative) {
    if (inStyle == FilePathStyle::Posix && !inAlwaysRelative && inRelative.GetUniChar(1) == u'/')
        return FromFullPath(inRelative, FilePathStyle::Posix);
    if (inStyle == FilePathStyle::Posix && inAlwaysRelative && !inBase.IsFolder()) {
        Clear();
        return *this;
    }
    VString text(inBase.fPath);
    if (inStyle == FilePathStyle::Posix) {
        VString relative(inRelative);
        VURL::POSIX_to_HFS(relative);
        text.AppendString(relative);
    } else {
        text.AppendString(inRelative);
    }
    return FromNativeText(std::move(text));
}

void VFilePath::Clear() noexcept {
    fPath.Clear();
    fIsValid = false;
}

void VFilePath::RemoveBlanks() {
    View text = fPath.View();
    VString result;
    size_t position = 0;
    for (;;) {
        size_t colon = text.find(kSeparator, position);
        size_t end = colon == npos ? text.size() : colon;
        size_t first = position;
        size_t last = end;
        while (first < last && VIntlMgr::IsSpace(text[first]))
            ++first;
        while (last > first && VIntlMgr::IsSpace(text[last - 1]))
            --last;
        Append(result, text.substr(first, last - first));
        if (colon == npos)
            break;
        result.AppendUniChar(kSeparator);
        position = colon + 1;
    }
    FromNativeText(std::move(result));
}

void VFilePath::_Validate() {
    View text = fPath.View();
    fIsValid = false;
    if (text.empty() || text[0] == kSeparator)
        return;
    // One pass for both a NUL and a "::" step, without branches (this runs on every path read).
    bool hasNul = false;
    bool hasSteps = false;
    UniChar previous = 0;
    for (UniChar unit : text) {
        hasNul |= unit == 0;
        hasSteps |= (unit == kSeparator) & (previous == kSeparator);
        previous = unit;
    }
    if (hasNul)
        return;
    if (!hasSteps) {
        fIsValid = true;
        return;
    }
    VString resolved;
    if (!ResolveNativeSteps(text, resolved) || resolved.IsEmpty())
        return;
    fPath = std::move(resolved);
    fIsValid = true;
}

bool VFilePath::HasParent() const noexcept {
    if (!fIsValid || fPath.GetLength() < 2)
        return false;
    return fPath.View().rfind(kSeparator, static_cast<size_t>(fPath.GetLength()) - 2) != npos;
}

VString VFilePath::GetPath(FilePathStyle inStyle) const {
    if (inStyle == FilePathStyle::Native)
        return fPath;
    VString text;
    GetPosixPath(text);
    return text;
}

void VFilePath::GetPosixPath(VString& outText) const {
    if (fIsValid)
        XPosixPath::NativeToPosix(fPath.View(), outText);
    else
        outText.Clear();
}

void VFilePath::GetName(VString& outName) const {
    if (!fIsValid) {
        outName.Clear();
        return;
    }
    Assign(outName, FindLastComponent(fPath.View()).In(fPath.View()));
}

void VFilePath::GetFileName(VString& outName, bool inWithExtension) const {
    if (!IsFile()) {
        outName.Clear();
        return;
    }
    View component = FindLastComponent(fPath.View()).In(fPath.View());
    Assign(outName, inWithExtension ? component : WithoutExtension(component));
}

void VFilePath::GetFolderName(VString& outName, bool inWithExtension) const {
    if (!IsFolder()) {
        outName.Clear();
        return;
    }
    LastComponent last = FindLastComponent(fPath.View());
    if (!last.hasSeparator) {
        outName = fPath; // a volume root, named with its ":"
        return;
    }
    View component = last.In(fPath.View());
    Assign(outName, inWithExtension ? component : WithoutExtension(component));
}

void VFilePath::GetExtension(VString& outExtension) const {
    if (!fIsValid) {
        outExtension.Clear();
        return;
    }
    Assign(outExtension, ExtensionOf(FindLastComponent(fPath.View()).In(fPath.View())));
}

bool VFilePath::MatchExtension(const VString& inExtension, bool inDiacritical) const {
    if (!fIsValid)
        return false;
    VString suffix(u'.');
    suffix.AppendString(inExtension);
    if (IsFolder())
        suffix.AppendUniChar(kSeparator);
    return fPath.EndsWithRaw(suffix) || fPath.EndsWith(suffix, inDiacritical);
}

bool VFilePath::GetParent(VFilePath& outParent) const {
    outParent.FromFilePath(*this);
    return outParent.ToParent().IsValid();
}

bool VFilePath::GetFolder(VFilePath& outFolder) const {
    outFolder.FromFilePath(*this);
    return outFolder.ToFolder().IsValid();
}

bool VFilePath::IsChildOf(const VFilePath& inParent) const {
    return IsChildOfRawPath(inParent);
}

bool VFilePath::IsChildOfRawPath(const VFilePath& inParent) const noexcept {
    return fIsValid && inParent.IsFolder() && fPath.GetLength() > inParent.fPath.GetLength() &&
           fPath.BeginsWithRaw(inParent.fPath);
}

bool VFilePath::IsSameOrChildOf(const VFilePath& inParent) const {
    return fIsValid && inParent.IsFolder() && fPath.BeginsWithRaw(inParent.fPath);
}

VIndex VFilePath::GetDepth() const noexcept {
    if (!fIsValid)
        return 0;
    View text = fPath.View();
    auto separators = static_cast<VIndex>(std::count(text.begin(), text.end(), kSeparator));
    return IsFolder() ? separators : separators + 1;
}

bool VFilePath::GetRelativePath(const VFilePath& inBase, VString& outText) const {
    if (IsSameOrChildOf(inBase)) {
        Assign(outText, fPath.View().substr(static_cast<size_t>(inBase.fPath.GetLength())));
        return true;
    }
    outText = fPath;
    return false;
}

bool VFilePath::GetRelativePosixPath(const VFilePath& inBase, VString& outText) const {
    if (GetRelativePath(inBase, outText)) {
        VURL::HFS_to_POSIX(outText, true);
        return true;
    }
    GetPosixPath(outText);
    return false;
}

VString& VFilePath::DebugDump(VString& ioDump) const {
    return ioDump.AppendString(fPath);
}

void VFilePath::DebugDump(char* outBuffer, int& ioSize) const {
    if (outBuffer == nullptr || ioSize <= 0) {
        ioSize = 0;
        return;
    }
    std::string text = fPath.ToUTF8();
    size_t length = std::min(text.size(), static_cast<size_t>(ioSize) - 1);
    std::memcpy(outBuffer, text.data(), length);
    outBuffer[length] = 0;
    ioSize = static_cast<int>(length);
}

VFilePath& VFilePath::ToFolder() {
    if (!fIsValid)
        return *this;
    size_t colon = fPath.View().rfind(kSeparator);
    fPath.Truncate(colon == npos ? 0 : static_cast<VIndex>(colon) + 1);
    fIsValid = !fPath.IsEmpty();
    return *this;
}

VFilePath& VFilePath::ToParent() {
    if (HasParent()) {
        size_t colon = fPath.View().rfind(kSeparator, static_cast<size_t>(fPath.GetLength()) - 2);
        fPath.Truncate(static_cast<VIndex>(colon) + 1);
    } else {
        Clear();
    }
    return *this;
}

VFilePath& VFilePath::ToSubFolder(const VString& inName) {
    if (IsFolder())
        fPath.AppendString(inName).AppendUniChar(kSeparator);
    return *this;
}

VFilePath& VFilePath::ToSubFile(const VString& inName) {
    if (IsFolder())
        fPath.AppendString(inName);
    return *this;
}

bool VFilePath::_ReplaceLastComponent(const VString& inName, bool inKeepExtension, bool inAsFolder) {
    View text = fPath.View();
    LastComponent last = FindLastComponent(text);
    if (!last.hasSeparator) {
        Clear();
        return false;
    }
    View extension = inKeepExtension ? ExtensionOf(last.In(text)) : View();
    if (inName.IsEmpty() && extension.empty())
        return false;
    VString result;
    result.EnsureSize(static_cast<VIndex>(last.start + inName.GetLength() + extension.size() + 2));
    Append(result, text.substr(0, last.start));
    result.AppendString(inName);
    if (!extension.empty()) {
        result.AppendUniChar(u'.');
        Append(result, extension);
    }
    if (inAsFolder)
        result.AppendUniChar(kSeparator);
    fPath = std::move(result);
    return true;
}

bool VFilePath::SetName(const VString& inName) {
    if (!fIsValid || inName.IsEmpty())
        return false;
    if (HoldsSeparator(inName)) {
        _RaiseInvalidName(inName);
        return false;
    }
    return _ReplaceLastComponent(inName, false, IsFolder());
}

bool VFilePath::SetFileName(const VString& inName, bool inWithExtension) {
    if (!fIsValid)
        return false;
    if (HoldsSeparator(inName)) {
        _RaiseInvalidName(inName);
        return false;
    }
    if (IsFolder()) {
        if (inName.IsEmpty())
            return false;
        fPath.AppendString(inName);
        return true;
    }
    return _ReplaceLastComponent(inName, !inWithExtension, false);
}

bool VFilePath::SetFolderName(const VString& inName, bool inWithExtension) {
    if (!IsFolder())
        return false;
    if (HoldsSeparator(inName)) {
        _RaiseInvalidName(inName);
        return false;
    }
    return _ReplaceLastComponent(inName, !inWithExtension, true);
}

bool VFilePath::SetExtension(const VString& inExtension) {
    return IsFolder() ? SetFolderExtension(inExtension) : SetFileExtension(inExtension);
}

bool VFilePath::SetFileExtension(const VString& inExtension) {
    return IsFile() && _SetExtensionInLastComponent(inExtension);
}

bool VFilePath::SetFolderExtension(const VString& inExtension) {
    return IsFolder() && _SetExtensionInLastComponent(inExtension);
}

bool VFilePath::_SetExtensionInLastComponent(const VString& inExtension) {
    if (HoldsSeparator(inExtension)) {
        _RaiseInvalidName(inExtension);
        return false;
    }
    View text = fPath.View();
    LastComponent last = FindLastComponent(text);
    size_t dot = FindExtensionDot(last.In(text));
    // The extension's "." and text are [cut, last.end); they are replaced by "." + inExtension.
    size_t cut = dot == npos ? last.end : last.start + dot;
    if (cut == last.start && inExtension.IsEmpty())
        return false; // the name would be empty
    VString result;
    result.EnsureSize(fPath.GetLength() + inExtension.GetLength() + 1);
    Append(result, text.substr(0, cut));
    if (!inExtension.IsEmpty()) {
        result.AppendUniChar(u'.');
        result.AppendString(inExtension);
    }
    Append(result, text.substr(last.end));
    fPath = std::move(result);
    return true;
}

bool VFilePath::ResolveRelativePosix(VString& ioText) {
    return ResolveSeparatedSteps(ioText, u'/');
}

} // namespace vkit
