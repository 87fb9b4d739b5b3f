// VUpdateEngine's wait for the caller: woken when the caller's process ends, for at most a minute.
#include "UpdaterErrors.h"
#include "UpdaterLog.h"
#include "VUpdateEngine.h"

#include "runtime/VSystem.h"
#include "runtime/VTask.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int32_t kPollInterval = 500;   // ms between two looks at the process table
constexpr uint32_t kMaximumWait = 60000; // ms
constexpr int32_t kSettlingDelay = 1000; // ms after the caller is gone, for its files to be released

/// True when inPid is in the process table; an empty table (one that cannot be read) counts as
/// holding it, so that it never ends the wait early.
bool IsInProcessTable(int32_t inPid) {
    std::vector<int32_t> processes;
    vkit::VSystem::GetProcessList(processes);
    return processes.empty() || std::find(processes.begin(), processes.end(), inPid) != processes.end();
}

} // namespace

bool VUpdateEngine::_WaitForPidToQuit() {
    if (fCallerPid < 0) {
        LogInfo("Skipping process wait (negative pid)");
        return true;
    }
    LogInfo("Waiting for process %d to quit", fCallerPid);
    const uint32_t start = vkit::VSystem::GetCurrentTime();
    uint32_t now = start;
    bool present = true;
    // Unsigned differences keep the wait's length when the millisecond clock wraps around.
    while (present && now - start < kMaximumWait) {
        // Woken as soon as the process ends; the poll interval bounds each wait.
        vkit::EProcessWaitResult result = vkit::VSystem::WaitForProcessEnd(fCallerPid, kPollInterval);
        if (result == vkit::eProcessEnded) {
            present = false;
        } else if (result == vkit::eProcessWaitFailed) {
            present = IsInProcessTable(fCallerPid);
            if (present)
                vkit::VTask::Sleep(kPollInterval);
        }
        now = vkit::VSystem::GetCurrentTime();
    }
    if (now - start < kMaximumWait || !present) {
        vkit::VTask::Sleep(kSettlingDelay);
        LogInfo("Process %d has quit. Proceeding.", fCallerPid);
        return true;
    }
    LogError("Process %d still exists after maximum wait time. Giving up.", fCallerPid);
    zq::PushUpdaterError(zq::VE_UPZQ_WAIT_FAILED);
    return false;
}
