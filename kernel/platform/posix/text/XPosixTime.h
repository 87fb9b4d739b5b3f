// XPosixTime: the C library's clock, local-time and time-zone calls behind VTime.
#pragma once

#include <cstdint>

namespace vkit {

/// Calls of the C library behind VTime's local time, zone offset and clock.
/// The local time zone is the one the TZ setting names (the system's zone when TZ is unset); a change
/// of TZ made with setenv is picked up by the next call on any thread.
class XPosixTime {
public:
    /// Calendar parts of a moment: the year in full, month 1 to 12, day 1 to 31, hour, minute, second.
    struct Parts {
        int32_t fYear = 0;
        int32_t fMonth = 0;
        int32_t fDay = 0;
        int32_t fHour = 0;
        int32_t fMinute = 0;
        int32_t fSecond = 0;
    };

    /// Converts seconds since 1970-01-01 00:00 UTC to the local parts of that moment (localtime_r);
    /// outOffset receives the seconds east of UTC then in effect. False when the C library cannot
    /// represent the moment.
    static bool UTCToLocal(int64_t inSeconds, Parts& outParts, int32_t& outOffset) noexcept;

    /// Converts local parts to seconds since 1970-01-01 00:00 UTC (mktime, the library deciding
    /// whether daylight saving time applies). False when the C library cannot represent the moment.
    static bool LocalToUTC(const Parts& inParts, int64_t& outSeconds) noexcept;

    /// The current UTC time (CLOCK_REALTIME) as seconds since 1970 and milliseconds.
    static void GetSystemUTCTime(int64_t& outSeconds, int32_t& outMilliseconds) noexcept;

    /// Seconds east of UTC of the local zone now; without daylight saving, one hour less while
    /// daylight saving time is in effect. The values are cached per thread until the next quarter
    /// hour (the boundaries on which zone transitions fall) or a change of TZ.
    static int32_t GetGMTOffset(bool inWithDaylightSaving) noexcept;
};

} // namespace vkit
