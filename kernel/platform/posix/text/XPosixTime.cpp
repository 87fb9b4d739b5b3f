// XPosixTime: localtime_r, mktime and clock_gettime with the TZ setting honoured.
#include "platform/posix/text/XPosixTime.h"

#include <cstdlib>
#include <ctime>
#include <string>

namespace vkit {

namespace {

/// The TZ text this thread last handed to tzset, and a count of the changes it saw.
struct ZoneSeen {
    bool fKnown = false;
    bool fSet = false;
    std::string fValue;
    uint32_t fGeneration = 0;
};

thread_local ZoneSeen tZoneSeen;

/// localtime_r does not read TZ again by itself; tzset is called when TZ changed since this thread
/// last looked, which keeps the common path free of the extra lock tzset takes.
uint32_t SyncZone() noexcept {
    const char* tz = std::getenv("TZ");
    ZoneSeen& seen = tZoneSeen;
    bool same = seen.fKnown && (tz != nullptr) == seen.fSet && (tz == nullptr || seen.fValue == tz);
    if (!same) {
        tzset();
        seen.fKnown = true;
        seen.fSet = tz != nullptr;
        seen.fValue = tz != nullptr ? tz : "";
        ++seen.fGeneration;
    }
    return seen.fGeneration;
}

struct OffsetCache {
    bool fValid = false;
    uint32_t fGeneration = 0;
    int64_t fValidUntil = 0;
    int32_t fWithDaylight = 0;
    int32_t fWithoutDaylight = 0;
};

thread_local OffsetCache tOffsetCache;

constexpr int64_t kQuarterHour = 900;

} // namespace

bool XPosixTime::UTCToLocal(int64_t inSeconds, Parts& outParts, int32_t& outOffset) noexcept {
    SyncZone();
    time_t seconds = static_cast<time_t>(inSeconds);
    tm local{};
    if (localtime_r(&seconds, &local) == nullptr)
        return false;
    outParts.fYear = local.tm_year + 1900;
    outParts.fMonth = local.tm_mon + 1;
    outParts.fDay = local.tm_mday;
    outParts.fHour = local.tm_hour;
    outParts.fMinute = local.tm_min;
    outParts.fSecond = local.tm_sec;
    outOffset = static_cast<int32_t>(local.tm_gmtoff);
    return true;
}

bool XPosixTime::LocalToUTC(const Parts& inParts, int64_t& outSeconds) noexcept {
    SyncZone();
    tm local{};
    local.tm_year = inParts.fYear - 1900;
    local.tm_mon = inParts.fMonth - 1;
    local.tm_mday = inParts.fDay;
    local.tm_hour = inParts.fHour;
    local.tm_min = inParts.fMinute;
    local.tm_sec = inParts.fSecond;
    local.tm_isdst = -1;
    // mktime answers -1 both for an error and for 1969-12-31 23:59:59 UTC; only a success fills in
    // the week day.
    local.tm_wday = -1;
    time_t seconds = mktime(&local);
    if (seconds == static_cast<time_t>(-1) && local.tm_wday == -1)
        return false;
    outSeconds = static_cast<int64_t>(seconds);
    return true;
}

void XPosixTime::GetSystemUTCTime(int64_t& outSeconds, int32_t& outMilliseconds) noexcept {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    outSeconds = static_cast<int64_t>(now.tv_sec);
    outMilliseconds = static_cast<int32_t>(now.tv_nsec / 1000000L);
}

int32_t XPosixTime::GetGMTOffset(bool inWithDaylightSaving) noexcept {
    uint32_t generation = SyncZone();
    OffsetCache& cache = tOffsetCache;
    time_t now = time(nullptr);
    if (!cache.fValid || cache.fGeneration != generation || static_cast<int64_t>(now) >= cache.fValidUntil) {
        tm local{};
        if (localtime_r(&now, &local) == nullptr)
            return 0;
        cache.fWithDaylight = static_cast<int32_t>(local.tm_gmtoff);
        cache.fWithoutDaylight = cache.fWithDaylight - (local.tm_isdst > 0 ? 3600 : 0);
        cache.fValidUntil = (static_cast<int64_t>(now) / kQuarterHour + 1) * kQuarterHour;
        cache.fGeneration = generation;
        cache.fValid = true;
    }
    return inWithDaylightSaving ? cache.fWithDaylight : cache.fWithoutDaylight;
}

} // namespace vkit
