// VComponentManager: the choice of a component's localization language.
#pragma once

#include "text/VIntlMgr.h"

namespace vkit {

class VFolder;

/// The services of the component manager that localization needs.
class VComponentManager {
public:
    VComponentManager() = delete;

    /// The language in which a component is localized, as a dialect code; kDialectNone for a null or
    /// missing folder. With inIsBundle, inFolder is a bundle and its "Contents/Resources" is looked at.
    ///
    /// With inPreferredDialect 0: the first of the user's languages (LANGUAGE, LC_ALL, LC_MESSAGES,
    /// LANG) that one of the ".lproj" localizations serves (the same language and region first, then
    /// the language alone, then another region), else the bundle's development region, else English;
    /// converted as an English language name, else as an RFC 3066 code, else 1033. Without any
    /// localization, as with inPreferredDialect 1033.
    /// Otherwise: the localization, in name order, whose code is inPreferredDialect; else 1033 when an
    /// English (United States) one exists, else the last one recognised, else kDialectNone.
    static DialectCode GetLocalizationLanguage(const VFolder* inFolder, bool inIsBundle,
                                               DialectCode inPreferredDialect);
};

} // namespace vkit
