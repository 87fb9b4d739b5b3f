// FixFolderPathSpec: a folder given as text on the command line, made a folder path.
#pragma once

#include "files/VFilePath.h"
#include "text/VString.h"

/// Sets outPath to the folder named by inText read as a POSIX full path, adding the trailing "/" that
/// makes it a folder path when the text lacks it. An empty or null text clears the path (empty and
/// invalid). inStyle is ignored: the command line always gives POSIX text. Relative texts are not
/// resolved against the working folder here (VFilePath::FromFullPath decides what they give).
void FixFolderPathSpec(const vkit::VString& inText, vkit::FilePathStyle inStyle, vkit::VFilePath& outPath);
