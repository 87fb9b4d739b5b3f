// XPosixTrash: g_file_trash and the translation of GIO errors into errno values.
#include "platform/posix/files/XPosixTrash.h"

#include "platform/posix/files/XPosixFileCalls.h"
#include "platform/posix/shared/XPosixPathText.h"

#include <gio/gio.h>

namespace vkit {

namespace {

int ErrnoFromGIOError(const GError* inError) {
    if (inError == nullptr || inError->domain != G_IO_ERROR)
        return EIO;
    switch (inError->code) {
    case G_IO_ERROR_NOT_FOUND:
        return ENOENT;
    case G_IO_ERROR_EXISTS:
        return EEXIST;
    case G_IO_ERROR_IS_DIRECTORY:
        return EISDIR;
    case G_IO_ERROR_NOT_DIRECTORY:
        return ENOTDIR;
    case G_IO_ERROR_NOT_EMPTY:
        return ENOTEMPTY;
    case G_IO_ERROR_FILENAME_TOO_LONG:
        return ENAMETOOLONG;
    case G_IO_ERROR_INVALID_FILENAME:
        return EINVAL;
    case G_IO_ERROR_TOO_MANY_LINKS:
        return ELOOP;
    case G_IO_ERROR_NO_SPACE:
        return ENOSPC;
    case G_IO_ERROR_READ_ONLY:
        return EROFS;
    case G_IO_ERROR_PERMISSION_DENIED:
        return EACCES;
    case G_IO_ERROR_NOT_SUPPORTED:
        return ENOTSUP;
    case G_IO_ERROR_BUSY:
        return EBUSY;
    default:
        return EIO;
    }
}

} // namespace

VError XPosixTrash::MoveToTrash(const std::string& inPath, std::string& outMessage) {
    outMessage.clear();
    std::string path(WithoutTrailingSlashes(inPath));
    GFile* file = g_file_new_for_path(path.c_str());
    GError* error = nullptr;
    gboolean done = g_file_trash(file, nullptr, &error);
    g_object_unref(file);
    if (done)
        return VE_OK;
    int number = ErrnoFromGIOError(error);
    if (error != nullptr && error->message != nullptr)
        outMessage = error->message;
    g_clear_error(&error);
    return MakeVErrorFromPosix(number);
}

} // namespace vkit
