// VIntlMgr: the international settings of a language: its collator and number separators.
#pragma once

#include "text/IRefCountable.h"
#include "text/VObject.h"
#include "text/VString.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct UCollator;

namespace vkit {

/// A language and region as a Windows language identifier: 1033 for English (United States), 1036
/// for French (France). 0 is no language; kDialectNone answers a search that found none.
using DialectCode = int32_t;
constexpr DialectCode kDialectEnglishUS = 1033;
constexpr DialectCode kDialectNone = -2;

/// International settings for one language: the ICU collators behind the library's international
/// string comparisons and the decimal separator. One manager is the process default (created by the
/// process start-up); a task may install its own as its current manager. The collators are opened by
/// the first comparison and the number format read by the first use of the separator: many runs of a
/// program compare nothing, and opening them takes longer than the rest of the process start-up.
class VIntlMgr : public VObject, public IRefCountable {
public:
    /// A manager for an ICU locale name ("fr", "en_US"); an empty name takes the user's locale
    /// (UserLocaleName). Comparisons whose collator ICU cannot open fall back to code-unit order.
    static VIntlMgr* Create(const VString& inLocaleName);
    ~VIntlMgr() override;

    /// The current task's manager: the one installed with SetCurrentMgr on this thread, else the
    /// process default, else a manager for the default locale created on first use. Never null.
    static VIntlMgr* GetDefaultMgr();
    /// Sets the process default (retained); null removes it. The manager it replaces stays alive,
    /// since other tasks may still be reading it, until ReleaseDefaultMgrs.
    static void SetDefaultMgr(VIntlMgr* inMgr);
    /// Removes the process default and releases it and every manager it replaced: for the end of the
    /// process, once no task can be reading them.
    static void ReleaseDefaultMgrs();
    /// Installs a manager for the calling thread only (not retained); null removes it.
    static void SetCurrentMgr(VIntlMgr* inMgr);

    /// The ICU locale name the manager was made for.
    const VString& GetLocaleName() const { return fLocaleName; }
    /// The decimal separator of the locale's number format ("." or "," ...), unless one was set.
    UniChar GetDecimalSeparator() const;
    void SetDecimalSeparator(UniChar inSeparator);

    /// Equality under the collator: with inDiacritical false, accents and case are ignored.
    bool EqualString(const VString& inA, const VString& inB, bool inDiacritical) const;
    /// -1, 0 or 1 under the collator.
    int CompareString(const VString& inA, const VString& inB, bool inDiacritical) const;
    /// Position (1-based) of the first collation match of inPattern in inText from inStart, 0 when
    /// absent; outMatchLength receives the matched length in code units.
    VIndex FindString(const VString& inText, const VString& inPattern, VIndex inStart, bool inDiacritical,
                      VIndex* outMatchLength = nullptr) const;
    bool BeginsWith(const VString& inText, const VString& inPrefix, bool inDiacritical) const;
    bool EndsWith(const VString& inText, const VString& inSuffix, bool inDiacritical) const;

    /// White space as these settings define it (Unicode white space).
    static bool IsSpace(UniChar inChar);

    /// The ICU locale name of the user's first language (XPosixUserLanguages: LANGUAGE, LC_ALL,
    /// LC_MESSAGES, LANG, in that order, "C" and "POSIX" left out); "en_US" when there is none.
    static std::string UserLocaleName();

    // Languages (ICU's tables of locales, language identifiers and English display names).
    /// The dialect of an RFC 3066 code ("fr-CA", "fr_CA", or "fr" for its most likely region, French
    /// (France)); 0 when the text is not such a code or names no dialect.
    static DialectCode GetDialectCodeFromRFC3066(const VString& inCode);
    /// The dialect of an English language name, in any case ("French": French (France)); 0 when unknown.
    static DialectCode GetDialectCodeFromLanguageName(const VString& inName);
    /// The RFC 3066 code of a dialect, language and region joined by inSeparator ("fr-CA"); false,
    /// outCode emptied, for an unknown dialect.
    static bool GetRFC3066CodeFromDialectCode(DialectCode inDialect, VString& outCode,
                                              UniChar inSeparator = u'-');
    /// The ISO 639 language code ("fr") and region code ("CA") of a dialect; false for an unknown one.
    static bool GetLanguageAndRegionCodes(DialectCode inDialect, VString& outLanguage, VString& outRegion);
    /// The English name of a dialect's language, first letter in upper case ("French"); false when
    /// unknown.
    static bool GetEnglishLanguageName(DialectCode inDialect, VString& outName);
    /// Compares two RFC 3066 codes, case ignored: 4 equal; 3 when only inFirst has a region and the
    /// languages are equal; 2 the reverse; 1 same language with different regions; 0 different
    /// languages; -1 when either is not a code.
    static int32_t Compare2RFC3066LanguageCodes(const VString& inFirst, const VString& inSecond);
    /// The names of the localization folders of a dialect, in the order they are looked for, without
    /// repetition: "<RFC 3066 code with '-'>.lproj", the same with "_", "<language>.lproj",
    /// "<language>_<region>.lproj", "<English name>.lproj" (en-US.lproj, en_US.lproj, en.lproj,
    /// English.lproj).
    static void GetLocalizationFolderNames(DialectCode inDialect, std::vector<VString>& outNames);

private:
    VIntlMgr() = default;
    /// The collator of a strength, opened with its sibling by the first call; null when ICU cannot.
    const UCollator* _Collator(bool inDiacritical) const;

    VString fLocaleName;
    mutable std::once_flag fSeparatorOnce;
    mutable UniChar fDecimalSeparator = u'.';
    mutable std::once_flag fCollatorsOnce;
    mutable UCollator* fCollatorPrimary = nullptr;  // ignores accents and case
    mutable UCollator* fCollatorTertiary = nullptr; // tells them apart
};

} // namespace vkit
