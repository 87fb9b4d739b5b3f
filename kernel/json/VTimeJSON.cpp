// VTime's JSON values: a JSON date or the JSON text of the time, and reading them back.
#include "text/VTime.h"

#include "json/VJSONValue.h"

namespace vkit {

void VTime::GetJSONValue(VJSONValue& outValue, uint32_t inOptions) const {
    if (inOptions & eJSONValueTimeAsDate) {
        outValue.SetTime(*this);
        return;
    }
    VString text;
    GetJSONString(text, 0);
    outValue.SetString(text);
}

bool VTime::FromJSONValue(const VJSONValue& inValue) {
    if (inValue.IsNull() || inValue.IsUndefined()) {
        SetNull();
        return true;
    }
    VString text;
    inValue.GetString(text);
    return FromXMLString(text);
}

} // namespace vkit
