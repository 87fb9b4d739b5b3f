// XPosixPathText: the text work on POSIX paths that platform files share: trailing "/", the parent and
// the name of a path, "." and "..", invisible names. No disk access.
#pragma once

#include <string>
#include <string_view>

namespace vkit {

/// The path without its trailing "/" (the root "/" stays): a trailing "/" makes the system follow a
/// final symbolic link even where the call was asked not to.
constexpr std::string_view WithoutTrailingSlashes(std::string_view inPath) noexcept {
    while (inPath.size() > 1 && inPath.back() == '/')
        inPath.remove_suffix(1);
    return inPath;
}

/// A path cut at its last "/", trailing "/" ignored: "a/b" gives "a" and "b", "/b" gives "/" and "b",
/// "b" gives "." and "b", "/" gives "/" and "". Views into the text split.
struct XPosixPathParts {
    std::string_view fParent;
    std::string_view fName;
};

constexpr XPosixPathParts SplitPath(std::string_view inPath) noexcept {
    std::string_view path = WithoutTrailingSlashes(inPath);
    size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return {".", path};
    return {slash == 0 ? path.substr(0, 1) : path.substr(0, slash), path.substr(slash + 1)};
}

/// True for "." and "..": every listing holds them, no walk visits them.
constexpr bool IsDotOrDotDot(std::string_view inName) noexcept {
    return inName == "." || inName == "..";
}

/// True when the last name of a path names no item of its parent: "", "." or ".." ("d/." is d itself
/// and "a/b/.." is a, so that removing or creating that name would act on another item than the path
/// seems to name).
constexpr bool NamesNoItem(std::string_view inName) noexcept {
    return inName.empty() || IsDotOrDotDot(inName);
}

/// True for the name of an invisible item: Linux has no hidden flag, a name beginning with "." is it.
constexpr bool IsInvisibleName(std::string_view inName) noexcept {
    return !inName.empty() && inName[0] == '.';
}

/// inFolder + "/" + inName, without doubling the "/" of the root or of a folder path; inFolder itself
/// for an empty name, inName alone for an empty folder.
inline std::string JoinPath(std::string_view inFolder, std::string_view inName) {
    std::string path(inFolder);
    if (inName.empty())
        return path;
    if (!path.empty() && path.back() != '/')
        path.push_back('/');
    return path.append(inName);
}

} // namespace vkit
