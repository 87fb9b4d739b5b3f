// VErrorUserGenerated: an error whose text is given by whoever raises it.
#pragma once

#include "errors/VErrorBase.h"

namespace vkit {

/// An error carrying its own message, which is its description and its dump.
class VErrorUserGenerated : public VErrorBase {
public:
    VErrorUserGenerated(VError inCode, const VString& inMessage) : VErrorBase(inCode), fMessage(inMessage) {}

    void GetErrorDescription(VString& outText) const override { outText = fMessage; }
    void DumpToString(VString& outText) const override { outText = fMessage; }

private:
    VString fMessage;
};

} // namespace vkit
