// XPosixItemRelation: how the target of a copy or move stands to its source, judged on the items.
#pragma once

#include <string>

struct stat;

namespace vkit {

/// What a target path is to a source item.
enum class EItemRelation {
    /// Neither holds the other: an existing target may be replaced.
    kApart,
    /// The target is the source itself.
    kSame,
    /// The target lies inside the source folder.
    kTargetInsideSource,
    /// The target is a folder that holds the source.
    kTargetHoldsSource,
};

/// Tells whether removing or writing a target would destroy its source. The answer is judged on the
/// items themselves (device and inode numbers), every link resolved, never on the path texts, which a
/// linked parent ("/t/src/self" -> ".") or a hard link would fool.
class XPosixItemRelation {
public:
    XPosixItemRelation() = delete;

    /// How inTarget (existing or not) stands to inSource. The target is the source when it, or what it
    /// links to, is the source item or what the source links to (the same path, a hard link, a link
    /// either way, a path through a linked parent). A target lies inside a source folder when the folder
    /// it is, or would be made in, is the source or lies inside it, walking up by ".." from the nearest
    /// existing folder of its path. An existing target folder holds the source when the source, or what
    /// it links to, lies inside it. kApart when the source cannot be read: the operation then fails on
    /// its own.
    static EItemRelation Relate(const std::string& inSource, const std::string& inTarget);

    /// True when the open folder inFolder is the item inItem or lies inside it (walking up by "..").
    static bool IsSameOrInside(int inFolder, const struct stat& inItem);
};

} // namespace vkit
