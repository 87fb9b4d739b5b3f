// XPosixSystemFolder: where the system folders of the library lie on Linux (XDG folders through GLib).
#pragma once

#include "errors/VErrorCodes.h"
#include "files/VFileOptions.h"

#include <string>

namespace vkit {

/// The Linux counterparts of the system folder kinds:
/// executable: the folder of /proc/self/exe; user documents and desktop: the XDG user folders (home
/// when not configured); temporary: GLib's temporary folder ($TMPDIR, else /tmp); application support:
/// the first XDG system data folder (local domain) and $XDG_DATA_HOME (user domain); applications:
/// /opt; caches: /var/cache and $XDG_CACHE_HOME; user library: $XDG_CONFIG_HOME; user home: $HOME;
/// user state: $XDG_STATE_HOME, else ~/.local/state (made with permissions 0700, its missing parents
/// too). GLib reads the XDG settings once per process.
class XPosixSystemFolder {
public:
    XPosixSystemFolder() = delete;

    /// The POSIX path, ending with "/", of a kind's folder; with inCreate the folder and its parents are
    /// made when missing. Answers 0, a POSX error of the lookup or creation, or ENOENT for kind 3, kinds
    /// above 14 and a folder the system does not name.
    [[nodiscard]] static VError GetPath(ESystemFolderKind inKind, bool inCreate, std::string& outPath);

private:
    [[nodiscard]] static VError _GetExecutableFolder(std::string& outPath);
    static std::string _GetPathOfKind(ESystemFolderKind inKind);
};

} // namespace vkit
