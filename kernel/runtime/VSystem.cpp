// VSystem: the portable side of the system queries, forwarding to the platform.
#include "runtime/VSystem.h"

#include "platform/posix/XPosixSystem.h"

namespace vkit {

uint32_t VSystem::GetCurrentTime() noexcept {
    return static_cast<uint32_t>(XPosixSystem::GetMonotonicNanoseconds() / 1000000ULL);
}

void VSystem::Delay(int32_t inMilliseconds) noexcept {
    if (inMilliseconds > 0)
        XPosixSystem::Sleep(static_cast<uint32_t>(inMilliseconds));
}

uint32_t VSystem::GetNumberOfLogicalProcessors() noexcept {
    uint32_t count = XPosixSystem::GetNumberOfLogicalProcessors();
    return count > 0 ? count : 1;
}

void VSystem::GetProcessList(std::vector<int32_t>& ioProcessIDs) {
    XPosixSystem::GetProcessList(ioProcessIDs);
}

bool VSystem::IsProcessRunning(int32_t inProcessID) noexcept {
    if (inProcessID < 1)
        return false;
    return XPosixSystem::IsProcessRunning(inProcessID);
}

bool VSystem::IsSystemVersionOrAbove(SystemVersion inVersion) noexcept {
    if (inVersion < eOSVersion_10_9 || inVersion > eOSVersion_15)
        return true;
    return XPosixSystem::IsSystemVersionOrAbove(inVersion);
}

bool VSystem::WriteToStandardOutput(std::string_view inBytes) noexcept {
    return XPosixSystem::WriteToStandardOutput(inBytes.data(), inBytes.size());
}

void VSystem::CloseStandardStreams() noexcept {
    XPosixSystem::CloseStandardStreams();
}

ENotificationResponse VSystem::GetDefaultResponse(uint32_t inFlags) noexcept {
    bool affirmativeFirst = (inFlags & eNotificationAffirmativeFirst) != 0;
    switch (inFlags & eNotificationButtonsMask) {
    case eNotificationButtonsOKCancel:
        return affirmativeFirst ? eNotificationOK : eNotificationCancel;
    case eNotificationButtonsYesNo:
        return affirmativeFirst ? eNotificationYes : eNotificationNo;
    case eNotificationButtonsAbortRetryIgnore:
        return affirmativeFirst ? eNotificationAbort : eNotificationRetry;
    default:
        return eNotificationOK;
    }
}

} // namespace vkit
