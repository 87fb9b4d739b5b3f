// VSystem: the portable side of the system queries, forwarding to the platform.
#include "runtime/VSystem.h"

#include "platform/posix/runtime/XPosixSystem.h"
#include "text/VString.h"
#include "text/VTime.h"

#include <mutex>

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
    return XPosixSystem::IsProcessRunning(inProcessID);
}

EProcessWaitResult VSystem::WaitForProcessEnd(int32_t inProcessID, int32_t inTimeoutMilliseconds) noexcept {
    if (inProcessID <= 0)
        return eProcessWaitFailed;
    return XPosixSystem::WaitForProcessEnd(inProcessID, inTimeoutMilliseconds);
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

namespace {

std::mutex sApplicationNameLock;
VString sApplicationName;

} // namespace

void VSystem::SetApplicationName(const VString& inName) {
    std::lock_guard<std::mutex> lock(sApplicationNameLock);
    sApplicationName = inName;
}

VString VSystem::GetApplicationName() {
    std::lock_guard<std::mutex> lock(sApplicationNameLock);
    return sApplicationName;
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

int32_t VSystem::GetGMTOffset(bool inWithDaylightSaving) noexcept {
    return VTime::GetGMTOffset(inWithDaylightSaving);
}

void VSystem::UTCToLocalTime(const VTime& inUTCTime, VTime& outLocalTime) noexcept {
    if (inUTCTime.IsNull() || inUTCTime.IsEmptyDate()) {
        outLocalTime = inUTCTime;
        return;
    }
    int16_t parts[7];
    inUTCTime.GetLocalTime(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]);
    outLocalTime.FromUTCTime(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]);
}

void VSystem::LocalToUTCTime(const VTime& inLocalTime, VTime& outUTCTime) noexcept {
    if (inLocalTime.IsNull()) {
        outUTCTime = inLocalTime;
        return;
    }
    int16_t parts[7];
    inLocalTime.GetUTCTime(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]);
    outUTCTime.FromLocalTime(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]);
}

} // namespace vkit
