// Helpers of the tests that work on whole trees: sample trees, tree comparison, child processes.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vkit::testing {

/// Builds a tree that exercises what a copy must keep, under inRoot (created): files of several modes
/// (some beyond the creation mask), items of another owner (when run as root), an empty file, a 3 MB file,
/// hidden files and a hidden folder, an empty folder, a read-only folder holding a file, folders and files
/// with old nanosecond times, relative, absolute, dangling and folder links.
void BuildSampleTree(const std::string& inRoot);

/// Builds inFolders folders of inFilesPerFolder small files (1 to 16 KB each, distinct contents) and a
/// few links, under inRoot (created).
void BuildLargeTree(const std::string& inRoot, int inFolders, int inFilesPerFolder);

/// Compares two trees item by item without following links: kind, permission bits, owners (when run
/// as root), size, content, link targets, and the modification times of files, links and folders
/// (inCompareTimes). Returns an empty string when they are equal, else the first difference.
std::string CompareTrees(const std::string& inExpected, const std::string& inActual,
                         bool inCompareTimes = true);

/// The names in inFolder that begin with inPrefix.
std::vector<std::string> ListNamesWithPrefix(const std::string& inFolder, const std::string& inPrefix);

/// The text of the link at inPath; empty when it is no link.
std::string LinkTarget(const std::string& inPath);

/// Whether an item exists at inPath (a link itself counts).
bool ItemExists(const std::string& inPath);

/// Runs inBody in a forked child and returns its exit status (-1 when it did not exit normally).
int RunInChild(const std::function<int()>& inBody);

/// Sets FS_IMMUTABLE_FL or FS_APPEND_FL (inFlag) on inPath, or clears it; false when not permitted.
bool SetInodeFlag(const std::string& inPath, int inFlag, bool inSet);

/// The permission bits (07777) of inPath, not following a link; -1 when it cannot be read.
int ModeOf(const std::string& inPath);

} // namespace vkit::testing
