// StTextSettings: the settings text and time tests change for a scope: the task's international
// manager and the time zone.
#pragma once

#include "support/StEnvironment.h"
#include "text/VIntlMgr.h"
#include "text/VString.h"

namespace vkit::testing {

/// Time zones as POSIX rules, so that no zone database is needed.
constexpr const char* kZoneParis = "CET-1CEST,M3.5.0,M10.5.0/3";
constexpr const char* kZoneNewYork = "EST5EDT,M3.2.0,M11.1.0";
constexpr const char* kZoneKolkata = "IST-5:30";
constexpr const char* kZoneStJohns = "NST3:30NDT,M3.2.0,M11.1.0";
constexpr const char* kZoneUTC = "UTC0";

/// Sets TZ for the scope without calling tzset: the library must notice the change by itself.
class StTimeZone : public StEnvironment {
public:
    explicit StTimeZone(const char* inRule) : StEnvironment("TZ", inRule) {}
};

/// Makes an international manager for a locale the calling task's current one for the scope.
class StIntlMgr {
public:
    explicit StIntlMgr(const char* inLocale) : fMgr(AdoptRef(VIntlMgr::Create(VString(inLocale)))) {
        VIntlMgr::SetCurrentMgr(fMgr.Get());
    }
    ~StIntlMgr() { VIntlMgr::SetCurrentMgr(nullptr); }
    StIntlMgr(const StIntlMgr&) = delete;
    StIntlMgr& operator=(const StIntlMgr&) = delete;
    VIntlMgr* Get() const { return fMgr.Get(); }

private:
    VRefPtr<VIntlMgr> fMgr;
};

} // namespace vkit::testing
