// VIntlMgr: the international settings of a language: its collator and number separators.
#pragma once

#include "text/IRefCountable.h"
#include "text/VObject.h"
#include "text/VString.h"

#include <memory>
#include <string>

struct UCollator;

namespace vkit {

/// International settings for one language: the ICU collators behind the library's international
/// string comparisons and the decimal separator. One manager is the process default (created by the
/// process start-up); a task may install its own as its current manager.
class VIntlMgr : public VObject, public IRefCountable {
public:
    /// A manager for an ICU locale name ("fr", "en_US"); an empty name takes the user's locale
    /// (UserLocaleName).
    /// Returns null when ICU cannot open a collator for it.
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
    /// The decimal separator of the locale's number format ("." or "," ...).
    UniChar GetDecimalSeparator() const { return fDecimalSeparator; }
    void SetDecimalSeparator(UniChar inSeparator) { fDecimalSeparator = inSeparator; }

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

    /// The ICU locale name of the user's settings: the first entry of LANGUAGE, else the locale of
    /// LC_ALL, LC_MESSAGES or LANG; "en_US" when none is set or they give the "C" or "POSIX" locale.
    static std::string UserLocaleName();

private:
    VIntlMgr() = default;
    const UCollator* _Collator(bool inDiacritical) const {
        return inDiacritical ? fCollatorTertiary : fCollatorPrimary;
    }

    VString fLocaleName;
    UniChar fDecimalSeparator = u'.';
    UCollator* fCollatorPrimary = nullptr;  // ignores accents and case
    UCollator* fCollatorTertiary = nullptr; // tells them apart
};

} // namespace vkit
