// VSpinLockSettingsFile: finding "spinlock.prm", parsing it and picking the settings of the right types.
#include "runtime/VSpinLockSettingsFile.h"

#include "errors/StErrorContextInstaller.h"
#include "files/VFile.h"
#include "files/VFilePath.h"
#include "platform/posix/cmdline/XPosixConsole.h"
#include "runtime/VProcess.h"
#include "json/VJSONImporter.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"

#include <string>

namespace vkit {

namespace {

void ReportUnreadableFile(const VFilePath& inPath) {
    VString path;
    inPath.GetPosixPath(path);
    std::string line("spinlock.prm: cannot read \"");
    path.AppendToUTF8(line);
    line += "\" as JSON; the spin-lock settings are unchanged\n";
    XPosixConsole::WriteStandardError(line);
}

} // namespace

bool VSpinLockSettingsFile::Read(const VFilePath& inFolder, SpinLock::Settings& outSettings) {
    VFilePath path(inFolder);
    if (!path.IsFolder() || !path.ToSubFile(VString("spinlock.prm")).IsFile())
        return false;
    VRefPtr<VFile> file = AdoptRef(new VFile(path));
    if (!file->Exists())
        return false;
    VJSONValue root;
    {
        // Whatever the parse pushes (when the error layer is up) stays here.
        StErrorContextInstaller errors(false);
        if (VJSONImporter::ParseFile(file.Get(), root) != VE_OK) {
            ReportUnreadableFile(path);
            return false;
        }
    }
    const VJSONObject* object = root.GetObject();
    if (object == nullptr)
        return false;
    if (const VJSONValue* mode = object->FindProperty(u"mode"); mode != nullptr && mode->IsString()) {
        VString text;
        mode->GetString(text);
        outSettings.fMode = std::move(text);
    }
    if (const VJSONValue* spins = object->FindProperty(u"maxSpins"); spins != nullptr && spins->IsNumber())
        outSettings.fMaxSpins = spins->GetNumber();
    if (const VJSONValue* yield = object->FindProperty(u"yieldAfterCheckEvent");
        yield != nullptr && yield->IsBool())
        outSettings.fYieldAfterCheckEvent = yield->GetBool();
    return true;
}

bool VSpinLockSettingsFile::ReadForProcess(SpinLock::Settings& outSettings) {
    const VProcess* process = VProcess::Get();
    VFilePath folder;
    return process != nullptr && process->GetFolderPath(VProcess::kFolderExecutable, folder) &&
           Read(folder, outSettings);
}

} // namespace vkit
