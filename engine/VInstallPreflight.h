// The install's preflight: what would stop the install, found before anything changes on disk.
#pragma once

#include "errors/VErrorCodes.h"

namespace vkit {
class VFilePath;
}

namespace zq {

/// Checks, changing nothing, that the up-to-date bundle inUpToDate can be staged beside the installed
/// bundle inInstalled and swapped with it by this user: the file system holding inInstalled is not
/// mounted read-only (UPZQ 200 "path"); its folder lets this user rename it (UPZQ 201 folder not writable,
/// 202 sticky folder whose items this user does not own, 203 immutable or append-only item or folder;
/// "path", "folder"); the free space there holds the allocated blocks of inUpToDate's tree with a margin
/// of 5 %, at least 16 MiB (UPZQ 204 "path", "needed", "free", in MB). Logs the figures. Returns VE_OK or
/// the refusal's code, pushed after the file errors that caused it.
[[nodiscard]] vkit::VError CheckInstallPlace(const vkit::VFilePath& inInstalled,
                                             const vkit::VFilePath& inUpToDate);

} // namespace zq
