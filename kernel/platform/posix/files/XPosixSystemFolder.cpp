// XPosixSystemFolder: GLib's XDG lookups, /proc/self/exe, and the creation of a missing folder.
#include "platform/posix/files/XPosixSystemFolder.h"

#include "platform/posix/files/XPosixFileCalls.h"
#include "platform/posix/shared/XPosixCalls.h"
#include "platform/posix/shared/XPosixPathText.h"

#include <glib.h>
#include <glib/gstdio.h>

namespace vkit {

namespace {

std::string UserSpecialDir(GUserDirectory inDirectory) {
    const char* path = g_get_user_special_dir(inDirectory);
    return path != nullptr ? std::string(path) : std::string(g_get_home_dir());
}

std::string FirstSystemDataDir() {
    const char* const* dirs = g_get_system_data_dirs();
    return dirs != nullptr && dirs[0] != nullptr ? std::string(dirs[0]) : std::string("/usr/local/share");
}

} // namespace

std::string XPosixSystemFolder::_GetPathOfKind(ESystemFolderKind inKind) {
    switch (inKind) {
    case eFolderUserDocuments:
        return UserSpecialDir(G_USER_DIRECTORY_DOCUMENTS);
    case eFolderTemporary:
        return g_get_tmp_dir();
    case eFolderApplicationSupport:
    case eFolderApplicationSupport2:
        return FirstSystemDataDir();
    case eFolderUserApplicationSupport:
    case eFolderUserApplicationSupport2:
        return g_get_user_data_dir();
    case eFolderUserDesktop:
        return UserSpecialDir(G_USER_DIRECTORY_DESKTOP);
    case eFolderApplications:
        return "/opt";
    case eFolderCaches:
        return "/var/cache";
    case eFolderUserCaches:
        return g_get_user_cache_dir();
    case eFolderUserLibrary:
        return g_get_user_config_dir();
    case eFolderUserHome:
        return g_get_home_dir();
    default:
        return std::string();
    }
}

VError XPosixSystemFolder::_GetExecutableFolder(std::string& outPath) {
    if (int error = ReadLinkText(AT_FDCWD, "/proc/self/exe", outPath); error != 0)
        return MakeVErrorFromPosix(error);
    outPath = std::string(SplitPath(outPath).fParent);
    return VE_OK;
}

VError XPosixSystemFolder::GetPath(ESystemFolderKind inKind, bool inCreate, std::string& outPath) {
    outPath.clear();
    if (inKind == eFolderExecutable) {
        VError error = _GetExecutableFolder(outPath);
        if (error != VE_OK)
            return error;
    } else {
        outPath = _GetPathOfKind(inKind);
    }
    if (outPath.empty() || outPath[0] != '/')
        return MakeVErrorFromPosix(ENOENT);
    if (inCreate && g_mkdir_with_parents(outPath.c_str(), 0755) != 0)
        return LastPosixError();
    if (outPath.back() != '/')
        outPath.push_back('/');
    return VE_OK;
}

} // namespace vkit
