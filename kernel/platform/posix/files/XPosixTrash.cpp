// XPosixTrash: GIO loaded on the first move to the trash, g_file_trash and the translation of GIO errors
// into errno values.
#include "platform/posix/files/XPosixTrash.h"

#include "platform/posix/files/XPosixFileCalls.h"
#include "platform/posix/shared/XPosixLibrary.h"
#include "platform/posix/shared/XPosixPathText.h"

#include <gio/gio.h>

namespace vkit {

namespace {

/// The GIO functions the trash calls, from the library loaded by the first call; GIO and the libraries
/// it brings (GObject, libmount, SELinux, ...) are not loaded at the program's start.
struct GIOFunctions {
    decltype(&g_file_new_for_path) fNewForPath = nullptr;
    decltype(&g_file_trash) fTrash = nullptr;
    decltype(&g_object_unref) fUnref = nullptr;
    decltype(&g_io_error_quark) fIOErrorQuark = nullptr;
    std::string fMessage; // why GIO could not be loaded
};

GIOFunctions LoadGIO() {
    GIOFunctions gio;
    XPosixLibrary library;
    if (!library.Open("libgio-2.0.so.0", gio.fMessage))
        return gio;
    gio.fNewForPath = library.GetFunction<decltype(gio.fNewForPath)>("g_file_new_for_path", gio.fMessage);
    gio.fTrash = library.GetFunction<decltype(gio.fTrash)>("g_file_trash", gio.fMessage);
    gio.fUnref = library.GetFunction<decltype(gio.fUnref)>("g_object_unref", gio.fMessage);
    gio.fIOErrorQuark = library.GetFunction<decltype(gio.fIOErrorQuark)>("g_io_error_quark", gio.fMessage);
    if (gio.fNewForPath == nullptr || gio.fTrash == nullptr || gio.fUnref == nullptr ||
        gio.fIOErrorQuark == nullptr)
        gio.fNewForPath = nullptr;
    return gio;
}

/// GIO's functions, loaded once, whichever task asks first; null fNewForPath when GIO cannot be used.
const GIOFunctions& GetGIO() {
    static const GIOFunctions sGIO = LoadGIO();
    return sGIO;
}

int ErrnoFromGIOError(const GIOFunctions& inGIO, const GError* inError) {
    if (inError == nullptr || inError->domain != inGIO.fIOErrorQuark())
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
    const GIOFunctions& gio = GetGIO();
    if (gio.fNewForPath == nullptr) {
        outMessage = "GIO cannot be loaded: " + gio.fMessage;
        return MakeVErrorFromPosix(ENOTSUP);
    }
    std::string path(WithoutTrailingSlashes(inPath));
    GFile* file = gio.fNewForPath(path.c_str());
    GError* error = nullptr;
    gboolean done = gio.fTrash(file, nullptr, &error);
    gio.fUnref(file);
    if (done)
        return VE_OK;
    int number = ErrnoFromGIOError(gio, error);
    if (error != nullptr && error->message != nullptr)
        outMessage = error->message;
    g_clear_error(&error);
    return MakeVErrorFromPosix(number);
}

} // namespace vkit
