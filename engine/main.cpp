// The updater's entry: builds the process object, initializes and runs it, and turns the outcome into
// the exit status (0 done, 1 initialization or command line failed, 2 update failed).
#include "VUpdateEngine.h"

#include "runtime/VProcess.h"
#include "runtime/VTask.h"
#include "text/VCppMemMgr.h"

int main(int argc, char** argv) {
    vkit::sProcessCommandLineArgc = argc;
    vkit::sProcessCommandLineArgv = argv;
    if (!vkit::VCppMemMgr::Init())
        return 1;
    int status = 0;
    {
        VUpdateEngine engine;
        if (!engine.Init(vkit::VProcess::kDefaultInitFlags))
            return engine.GetProposedExitStatus();
        engine.Run();
        status = VUpdateEngine::ExitStatusForError(vkit::VTask::GetLastError());
    }
    return status;
}
