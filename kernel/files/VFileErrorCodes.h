// The error codes of files, folders and file descriptors (component "vkit").
#pragma once

#include "errors/VErrorCodes.h"

namespace vkit {

/// No matching item was found.
constexpr VError VE_FILE_NOT_FOUND = MakeVError(kComponentVkit, 600);
/// Renaming a file failed.
constexpr VError VE_FILE_CANNOT_RENAME = MakeVError(kComponentVkit, 601);
/// Opening a file failed.
constexpr VError VE_FILE_CANNOT_OPEN = MakeVError(kComponentVkit, 602);
/// Deleting a file or moving it to the trash failed; the file's path is invalid.
constexpr VError VE_FILE_CANNOT_DELETE = MakeVError(kComponentVkit, 604);
/// Copying a file failed; the source or destination path is invalid.
constexpr VError VE_FILE_CANNOT_COPY = MakeVError(kComponentVkit, 605);
/// Moving a file failed; the destination path is invalid.
constexpr VError VE_FILE_CANNOT_MOVE = MakeVError(kComponentVkit, 606);
/// Creating a file failed.
constexpr VError VE_FILE_CANNOT_CREATE = MakeVError(kComponentVkit, 607);
/// Reading a file's information failed.
constexpr VError VE_FILE_CANNOT_GET_ATTRIBUTES = MakeVError(kComponentVkit, 608);
/// Changing a file's information failed.
constexpr VError VE_FILE_CANNOT_SET_ATTRIBUTES = MakeVError(kComponentVkit, 609);
/// A name given to a path contains ":".
constexpr VError VE_FILE_BAD_NAME = MakeVError(kComponentVkit, 614);
/// A folder to delete without recursion is not empty.
constexpr VError VE_FOLDER_NOT_EMPTY = MakeVError(kComponentVkit, 651);
/// Creating a folder failed.
constexpr VError VE_FOLDER_CANNOT_CREATE = MakeVError(kComponentVkit, 652);
/// Deleting a folder failed.
constexpr VError VE_FOLDER_CANNOT_DELETE = MakeVError(kComponentVkit, 653);
/// Reading a folder's information failed.
constexpr VError VE_FOLDER_CANNOT_GET_ATTRIBUTES = MakeVError(kComponentVkit, 654);
/// Changing a folder's permissions or attributes failed; restoring the parent's state after a forced
/// delete failed.
constexpr VError VE_FOLDER_CANNOT_SET_ATTRIBUTES = MakeVError(kComponentVkit, 655);
/// Renaming or moving a folder failed.
constexpr VError VE_FOLDER_CANNOT_RENAME = MakeVError(kComponentVkit, 657);
/// Copying a folder failed; the destination is the source or lies inside it.
constexpr VError VE_FOLDER_CANNOT_COPY = MakeVError(kComponentVkit, 660);
/// Moving a folder to the trash failed.
constexpr VError VE_FOLDER_CANNOT_MOVE_TO_TRASH = MakeVError(kComponentVkit, 661);
/// The file system (or the kernel) cannot exchange two items in one step: the caller may exchange them
/// by renames instead (VFolder::Exchange).
constexpr VError VE_FOLDER_CANNOT_EXCHANGE = MakeVError(kComponentVkit, 662);

// Errors of the operations on an open file descriptor.

/// The end of the file was reached before all the data asked for was read.
constexpr VError VE_STREAM_EOF = MakeVError(kComponentVkit, 200);
/// Reading from a file descriptor failed.
constexpr VError VE_FILE_CANNOT_READ = MakeVError(kComponentVkit, 213);
/// Writing to a file descriptor failed.
constexpr VError VE_FILE_CANNOT_WRITE = MakeVError(kComponentVkit, 214);
/// Reading the position of a file descriptor failed.
constexpr VError VE_FILE_CANNOT_GET_POSITION = MakeVError(kComponentVkit, 215);
/// Moving the position of a file descriptor failed.
constexpr VError VE_FILE_CANNOT_SET_POSITION = MakeVError(kComponentVkit, 216);
/// Reading the size of an open file failed.
constexpr VError VE_FILE_CANNOT_GET_SIZE = MakeVError(kComponentVkit, 217);
/// Changing the size of an open file failed.
constexpr VError VE_FILE_CANNOT_SET_SIZE = MakeVError(kComponentVkit, 218);
/// Flushing an open file to its storage failed.
constexpr VError VE_FILE_CANNOT_FLUSH = MakeVError(kComponentVkit, 219);

/// True for a code that carries an operating-system error (POSX, MACH, CARB or COCO) rather than one of
/// the library's own.
constexpr bool IsNativeError(VError inError) {
    OsType component = ComponentFromVError(inError);
    return inError != VE_OK && (component == kComponentPosix || component == kComponentMach ||
                                component == kComponentCarbon || component == kComponentCocoa);
}

} // namespace vkit
