// VBoolean: text forms and conversions of the boolean value.
#include "text/VBoolean.h"

#include "text/VString.h"

namespace vkit {

VBoolean* VBoolean::Clone() const {
    return new VBoolean(*this);
}

void VBoolean::SetNull(bool inIsNull) {
    if (inIsNull)
        fValue = 0;
    SetNullFlag(inIsNull);
}

void VBoolean::GetString(VString& outText) const {
    if (IsNull())
        outText.Clear();
    else
        outText.FromBoolean(fValue != 0);
}

void VBoolean::FromString(const VString& inText) {
    fValue = inText.GetBoolean() ? 1 : 0;
    SetNullFlag(inText.IsNull());
}

bool VBoolean::FromXMLString(const VString& inText) {
    if (inText == "true" || inText == "1")
        Set(true);
    else if (inText == "false" || inText == "0")
        Set(false);
    else
        return false;
    return true;
}

void VBoolean::GetJSONString(VString& outText) const {
    if (IsNull())
        outText.FromCString("null");
    else
        outText.FromBoolean(fValue != 0);
}

void VBoolean::FromValue(const VValueSingle& inValue) {
    fValue = inValue.GetBoolean() ? 1 : 0;
    SetNullFlag(inValue.IsNull());
}

bool VBoolean::EqualToSameKind(const VValueSingle& inOther, bool) const {
    if (inOther.GetValueKind() != ValueKind::Boolean || inOther.IsNull() != IsNull())
        return false;
    return static_cast<const VBoolean&>(inOther).fValue == fValue;
}

} // namespace vkit
