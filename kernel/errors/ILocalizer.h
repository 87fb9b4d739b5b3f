// ILocalizer: the source of localized texts: error texts of a component, texts by key, group bags.
#pragma once

#include "errors/VErrorCodes.h"

#include <cstdint>

namespace vkit {

class VString;
class VValueBag;

/// A localizer answers the texts of one language. The error layer asks it for the text of an error
/// code (one localizer per component signature); the process localizer also answers texts by key.
/// Every operation but LocalizeErrorMessage answers "nothing" unless the localizer overrides it.
class ILocalizer {
public:
    virtual ~ILocalizer() = default;
    /// The language of the texts: a dialect code (1033 for US English); 0 when unknown.
    virtual int32_t GetLocalizationLanguage() const { return 0; }
    /// Fills outMessage with the text for inError; false, outMessage unchanged, when it has none.
    virtual bool LocalizeErrorMessage(VError inError, VString& outMessage) = 0;
    /// Fills outText with the text of inKey; false, outText unchanged, when it has none.
    virtual bool LocalizeStringWithKey(const VString& inKey, VString& outText) { return false; }
    /// As LocalizeStringWithKey, for the keys of the dot-strings table.
    virtual bool LocalizeStringWithDotStringsKey(const VString& inKey, VString& outText) { return false; }
    /// The attribute bag of the resource group named inResourceName, retained for the caller; null
    /// when there is none.
    virtual VValueBag* RetainGroupBag(const VString& inResourceName) { return nullptr; }
};

} // namespace vkit
