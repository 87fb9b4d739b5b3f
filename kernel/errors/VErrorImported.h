// VErrorImported: an error received from elsewhere, carrying its message.
#pragma once

#include "errors/VErrorBase.h"

namespace vkit {

/// An error imported with its message; located as "REST Imported Error".
class VErrorImported : public VErrorBase {
public:
    VErrorImported(VError inCode, const VString& inMessage) : VErrorBase(inCode), fMessage(inMessage) {}

    void GetErrorDescription(VString& outText) const override { outText = fMessage; }
    void DumpToString(VString& outText) const override { outText = fMessage; }
    void GetLocation(VString& outText) const override { outText = "REST Imported Error"; }

private:
    VString fMessage;
};

} // namespace vkit
