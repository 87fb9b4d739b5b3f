// ILocalizer: the source of localized error texts for one component.
#pragma once

#include "errors/VErrorCodes.h"

namespace vkit {

class VString;

/// A localizer answers the text of an error code of its component.
class ILocalizer {
public:
    virtual ~ILocalizer() = default;
    /// Fills outMessage with the text for inError; false when it has none.
    virtual bool LocalizeErrorMessage(VError inError, VString& outMessage) = 0;
};

} // namespace vkit
