// VSystem: queries and services of the operating system (clock, delays, processors, processes, alerts,
// opening files).
#pragma once

#include "text/VString.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace vkit {

class VTime;

/// macOS releases named by the minimum-system checks; on Linux every one counts as satisfied.
enum SystemVersion : int32_t {
    eOSVersion_10_9 = 11,
    eOSVersion_10_10 = 12,
    eOSVersion_10_11 = 13,
    eOSVersion_10_12 = 14,
    eOSVersion_10_13 = 15,
    eOSVersion_10_14 = 16,
    eOSVersion_10_15 = 17,
    eOSVersion_11 = 18,
    eOSVersion_12 = 19,
    eOSVersion_13 = 20,
    eOSVersion_14 = 21,
    eOSVersion_15 = 22
};

/// The answer of an alert.
enum ENotificationResponse : int32_t {
    eNotificationOK = 1,
    eNotificationCancel = 2,
    eNotificationYes = 3,
    eNotificationNo = 4,
    eNotificationAbort = 5,
    eNotificationRetry = 6,
    eNotificationIgnore = 7,
    /// The alert was dismissed without a button.
    eNotificationDismissed = 8
};

/// Flags of DisplayNotification: the low four bits choose the buttons.
enum : uint32_t {
    eNotificationButtonsOK = 0,               // "OK"
    eNotificationButtonsOKCancel = 1,         // "Cancel", "OK"
    eNotificationButtonsYesNo = 2,            // "No", "Yes"
    eNotificationButtonsAbortRetryIgnore = 5, // "Retry", "Ignore", "Abort"
    eNotificationButtonsMask = 0x0F,
    /// The affirmative button comes first and is the default.
    eNotificationAffirmativeFirst = 0x10,
    /// The alert is raised to caution level.
    eNotificationCaution = 0x200,
    /// The alert reports a failure: error level, with the system's error icon (above caution).
    eNotificationError = 0x400
};

/// What an alert may say beyond its title, message and button set.
struct VNotificationOptions {
    /// Labels in place of the button set's own for the affirmative button ("OK", "Yes", "Abort") and the
    /// negative one ("Cancel", "No", "Retry"): buttons named by what they do, in the user's language.
    /// Empty keeps the button set's own.
    VString fAffirmativeLabel;
    VString fNegativeLabel;
};

/// How a wait for the end of a process ended (VSystem::WaitForProcessEnd).
enum EProcessWaitResult : int32_t {
    /// The process has ended, or no such process exists.
    eProcessEnded = 0,
    /// The process still runs at the end of the time given.
    eProcessWaitTimedOut = 1,
    /// The id names no single process (0 or less), or the wait itself failed.
    eProcessWaitFailed = 2,
};

/// Services of the operating system used across the library.
class VSystem {
public:
    /// Milliseconds of the monotonic clock, as an unsigned 32-bit value that wraps after about 49 days:
    /// subtract two readings (unsigned) to get an elapsed time.
    static uint32_t GetCurrentTime() noexcept;

    /// Blocks the calling thread for inMilliseconds (nothing for 0 or less), resuming after signals.
    static void Delay(int32_t inMilliseconds) noexcept;

    /// The number of logical processors the system has, at least 1.
    static uint32_t GetNumberOfLogicalProcessors() noexcept;

    /// Appends the id of every process of the system (the numeric entries of /proc, in their order).
    /// Appends nothing when the list cannot be read.
    static void GetProcessList(std::vector<int32_t>& ioProcessIDs);

    /// True when a null signal can be sent to inProcessID or fails for a reason other than "no such
    /// process" (a process of another user is running), whatever the id: 0 and negative ids name
    /// process groups, and -1 every process the caller may signal, as kill takes them.
    static bool IsProcessRunning(int32_t inProcessID) noexcept;

    /// Waits for the process inProcessID to end, at most inTimeoutMilliseconds (negative: without limit;
    /// 0: one look), and wakes as soon as it ends rather than at the next poll: a caller that must look
    /// at fixed intervals passes the interval as the time. A child of this process that has ended counts
    /// as ended although it is not reaped (reaping is left to its owner). Signals do not cut the wait.
    /// On Linux the process is watched through a pidfd (pidfd_open: any process this one can see, child
    /// or not), which is readable once it has ended; where the kernel has no pidfd (ENOSYS) or refuses
    /// one, the process is looked at instead, at most 50 ms apart (a null signal, and waitid without
    /// reaping for a child).
    static EProcessWaitResult WaitForProcessEnd(int32_t inProcessID, int32_t inTimeoutMilliseconds) noexcept;

    /// Writes the bytes to standard output and flushes it; false when that fails (a closed stream).
    static bool WriteToStandardOutput(std::string_view inBytes) noexcept;
    /// Closes standard input, output and error, in that order, after flushing what is pending: a reader
    /// at the other end of a pipe sees the end of the stream. Descriptors 0, 1 and 2 then lead to
    /// /dev/null, so that a file opened later never takes their numbers.
    static void CloseStandardStreams() noexcept;

    /// True when the system is at least the given macOS release; values outside 11 to 22 are always
    /// satisfied, and on Linux so is every value.
    static bool IsSystemVersionOrAbove(SystemVersion inVersion) noexcept;

    /// Shows an alert of the application (SetApplicationName) with inTitle as header and inMessage as
    /// body (an empty title makes the message the header); inFlags choose the buttons, the default one
    /// and the level (see above), inOptions the buttons' labels. With outResponse the call waits for the
    /// answer and stores it (eNotificationDismissed for an alert closed without a button); without it the
    /// alert is started and the call returns at once. Returns true when the alert could be shown.
    /// outDialogFailures, when given, receives a line for each dialog program that was found but could
    /// not show the alert (the program, its exit status and what it wrote on standard error).
    /// On Linux the alert is a zenity dialog, else a kdialog one, in a graphical session (DISPLAY or
    /// WAYLAND_DISPLAY set) where the program is found on PATH: the window has the application's name as
    /// title, the text is the header, an empty line and the body, and the dialog runs in a UTF-8 locale;
    /// kdialog cannot tell a dialog closed without a button from the negative button. Otherwise the text
    /// is written to standard error, when it is open, as "application: title", a line feed and the
    /// message (without a title, "application: message"; without a name, the name and ": " are left
    /// out), and the answer is the default button.
    static bool DisplayNotification(const VString& inTitle, const VString& inMessage, uint32_t inFlags,
                                    ENotificationResponse* outResponse = nullptr,
                                    const VNotificationOptions* inOptions = nullptr,
                                    std::vector<VString>* outDialogFailures = nullptr);

    /// The name under which the process's alerts are shown; the process object sets it to its
    /// product name at start-up. Empty until then.
    static void SetApplicationName(const VString& inName);
    static VString GetApplicationName();

    /// Opens the file at inPosixPath in the user's default application for it (xdg-open), without
    /// waiting for it. Returns false when the path is empty or the opener cannot be started.
    static bool OpenWithDefaultApplication(const VString& inPosixPath);

    /// The answer of the default (first) button for the button choice in inFlags.
    static ENotificationResponse GetDefaultResponse(uint32_t inFlags) noexcept;

    /// Seconds east of UTC of the local time zone now (the TZ setting honoured); without daylight
    /// saving, one hour less while daylight saving time is in effect (VTime::GetGMTOffset).
    static int32_t GetGMTOffset(bool inWithDaylightSaving) noexcept;
    /// outLocalTime receives the date and time of inUTCTime's moment on the local clock, its parts set
    /// as they read there (milliseconds kept). The empty date (a time of day alone) is copied; a null
    /// time gives a null time.
    static void UTCToLocalTime(const VTime& inUTCTime, VTime& outLocalTime) noexcept;
    /// The reverse: inLocalTime's parts read on the local clock, converted to UTC (the system decides
    /// whether daylight saving time applies). Null parts, or parts the system cannot convert, give a
    /// null time; the empty date is copied.
    static void LocalToUTCTime(const VTime& inLocalTime, VTime& outUTCTime) noexcept;
};

} // namespace vkit
