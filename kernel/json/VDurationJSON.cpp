// VDuration's JSON values: seconds, milliseconds or "h:mm:ss", and a number of seconds read back.
#include "text/VDuration.h"

#include "json/VJSONValue.h"

#include <cinttypes>
#include <cstdio>

namespace vkit {

void VDuration::GetJSONValue(VJSONValue& outValue, uint32_t inOptions) const {
    if (IsNull()) {
        outValue.SetNull();
    } else if (inOptions & eDurationJSONHoursMinutesSeconds) {
        uint64_t seconds = (fMilliseconds < 0 ? 0 - static_cast<uint64_t>(fMilliseconds)
                                              : static_cast<uint64_t>(fMilliseconds)) /
                           1000;
        char buffer[48];
        std::snprintf(buffer, sizeof(buffer), "%s%" PRIu64 ":%02u:%02u", fMilliseconds < 0 ? "-" : "",
                      seconds / 3600, static_cast<unsigned>(seconds / 60 % 60),
                      static_cast<unsigned>(seconds % 60));
        outValue.SetString(VString(buffer));
    } else if (inOptions & eDurationJSONMilliseconds) {
        outValue.SetNumber(static_cast<double>(fMilliseconds));
    } else {
        outValue.SetNumber(static_cast<double>(ConvertToSeconds()));
    }
}

bool VDuration::FromJSONValue(const VJSONValue& inValue) {
    if (inValue.IsNumber()) {
        FromReal(inValue.GetNumber() * 1000.0);
        return !IsNull();
    }
    SetNull();
    return inValue.IsNull() || inValue.IsUndefined();
}

} // namespace vkit
