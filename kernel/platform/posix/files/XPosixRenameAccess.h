// XPosixRenameAccess: whether this process may rename an item inside its folder, asked without trying.
#pragma once

#include "errors/VErrorCodes.h"
#include "files/VFileOptions.h"

#include <string>

namespace vkit {

/// The kernel's rules for renaming an item within its folder, asked beforehand so that a caller can
/// refuse with a precise message before it changes anything. The folder must be writable and
/// searchable (asked of the kernel with faccessat(AT_EACCESS), see Check); in a sticky folder this user
/// must also own the item or the folder, or hold CAP_FOWNER; neither the item nor the folder may be
/// immutable or append-only; the file system must be writable.
class XPosixRenameAccess {
public:
    XPosixRenameAccess() = delete;

    /// Tells what stops the rename of the item inPath (a link itself, not its target) inside its folder,
    /// or ERenameAccess::kAllowed. Answers 0, or the POSX error of a lookup of the item or its folder
    /// (ENOENT when either is missing).
    ///
    /// The folder's rights come from faccessat(W_OK | X_OK) with AT_EACCESS: the kernel answers with
    /// the effective ids (those a rename is checked against, unlike access(2), which uses the real ids
    /// and so answers another question in a set-user-ID program), and its answer includes access lists,
    /// capabilities, read-only mounts (EROFS) and immutable folders (EPERM), which a reading of the mode
    /// bits would miss. The sticky rule concerns the item rather than the folder, so no access call
    /// tells it: it is applied here from the owners and the effective capabilities. Attributes that
    /// cannot be read count as absent.
    [[nodiscard]] static VError Check(const std::string& inPath, ERenameAccess& outAccess);

private:
    /// True when the process has CAP_FOWNER in its effective set.
    static bool _MayActAsAnyOwner() noexcept;
};

} // namespace vkit
