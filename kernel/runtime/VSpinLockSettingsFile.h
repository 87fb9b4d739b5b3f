// VSpinLockSettingsFile: the spin-lock tuning read from "spinlock.prm" beside the executable.
#pragma once

#include "runtime/SpinLock.h"

namespace vkit {

class VFilePath;

/// Reads the JSON settings file of the spin locks. The runtime library holds neither files nor JSON,
/// so the process object installs ReadForProcess with SpinLock::SetSettingsReader before it starts
/// the task manager, which applies the settings. Nothing here needs a task or the error layer.
class VSpinLockSettingsFile {
public:
    VSpinLockSettingsFile() = delete;

    /// Reads "spinlock.prm" (UTF-8 JSON) in inFolder. When its top level is an object, fills
    /// outSettings with "mode" when a string, "maxSpins" when a number and "yieldAfterCheckEvent"
    /// when a boolean, and returns true. False, outSettings untouched, when the file is missing, its
    /// top level is no object, or it cannot be read or parsed; the last two write one line naming
    /// the file on standard error (the error layer is not up yet at start-up). Pushes nothing.
    static bool Read(const VFilePath& inFolder, SpinLock::Settings& outSettings);

    /// The reader of SpinLock::SetSettingsReader: Read on the executable folder of the process object
    /// (VProcess::kFolderExecutable); false without a process object or an executable.
    static bool ReadForProcess(SpinLock::Settings& outSettings);
};

} // namespace vkit
