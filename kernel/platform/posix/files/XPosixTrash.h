// XPosixTrash: moving an item to the user's trash (the freedesktop.org trash, through GIO).
#pragma once

#include "errors/VErrorCodes.h"

#include <string>

namespace vkit {

class XPosixTrash {
public:
    XPosixTrash() = delete;

    /// Moves the item at inPath (a link itself, not its target) into the user's trash,
    /// $XDG_DATA_HOME/Trash for items on the home's file system, with its ".trashinfo" record. GIO is
    /// loaded by the first call of the process. Answers 0 or a POSX code for GIO's error (ENOTSUP when no
    /// trash can hold the item or GIO cannot be loaded); outMessage receives GIO's own text of the
    /// failure, or the dynamic loader's (empty on success).
    [[nodiscard]] static VError MoveToTrash(const std::string& inPath, std::string& outMessage);
};

} // namespace vkit
