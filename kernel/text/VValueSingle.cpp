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

VString& VValueSingle::DebugDump(VString& ioDump) const {
    VString text;
    GetString(text);
    return ioDump.AppendString(text);
}

} // namespace vkit
