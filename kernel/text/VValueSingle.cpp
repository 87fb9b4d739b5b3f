// VValueSingle: default text forms of scalar values.
#include "text/VValueSingle.h"

#include "text/VString.h"

namespace vkit {

void VValueSingle::GetXMLString(VString& outText) const {
    GetString(outText);
}

bool VValueSingle::FromXMLString(const VString& inText) {
    FromString(inText);
    return true;
}

void VValueSingle::GetJSONString(VString& outText) const {
    GetString(outText);
}

} // namespace vkit
