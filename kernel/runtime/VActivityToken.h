// VActivityToken: the mark of an activity in progress that keeps the process counted as busy.
#pragma once

#include "text/VObject.h"
#include "text/VString.h"

namespace vkit {

/// Stands for one activity in progress (a transfer, a job). While a token is registered with the process
/// object (VProcess::RegisterActivityToken), the process answers that it has activity; the token
/// carries only a description of the activity, for debugging. The owner keeps the token alive while it
/// is registered and unregisters it before destroying it.
class VActivityToken : public VObject {
public:
    explicit VActivityToken(const VString& inDescription = VString()) : fDescription(inDescription) {}
    ~VActivityToken() override;

    const VString& GetDescription() const noexcept { return fDescription; }

    /// Appends the description.
    VString& DebugDump(VString& ioDump) const override;

private:
    VString fDescription;
};

} // namespace vkit
