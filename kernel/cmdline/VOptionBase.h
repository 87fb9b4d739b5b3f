// VOptionBase: one declared command-line option or paragraph of help text, without a typed target.
#pragma once

#include "text/VString.h"

#include <cstdint>

namespace vkit {

class VCommandLineParser;

namespace Private::CommandLineParser {

/// One entry of a parser's declarations: an option (a short letter, a long name or both) or, with
/// neither name, a paragraph of help text. The base holds the names and texts; VArgOption adds the
/// typed variable that receives the values.
class VOptionBase {
public:
    /// The short name meaning "none" (0 means none too).
    static constexpr UniChar kNoShortName = u' ';

    VOptionBase(UniChar inShortName, VString inLongName, VString inDescription, bool inRequiresValue);
    virtual ~VOptionBase();
    VOptionBase(const VOptionBase&) = delete;
    VOptionBase& operator=(const VOptionBase&) = delete;

    /// Stores a value given on the command line. Returns 0 on success, non-zero on failure (after
    /// writing the invalid value message to standard error). The base accepts no value and returns 1.
    virtual int AppendArgument(VCommandLineParser& ioParser, const VString& inValue);
    /// Called when the option is given without a value. The base does nothing.
    virtual void SetFlag();

    /// Appends the full name ("-p, --pid", "-p" or "--pid") to ioText; false, nothing appended, for an
    /// entry without a name.
    bool AppendFullName(VString& ioText) const;
    /// Writes "invalid value for argument '<full name>' got <value> <expectation>" to standard error;
    /// values over 80 characters are cut.
    void PrintErrorWhenAppendingInvalidValue(const char* inExpectation, const VString& inValue) const;

    UniChar GetShortName() const noexcept { return fShortName; }
    const VString& GetLongName() const noexcept { return fLongName; }
    const VString& GetDescription() const noexcept { return fDescription; }
    bool RequiresValue() const noexcept { return fRequiresValue; }
    bool IsHidden() const noexcept { return fHidden; }
    /// Hidden entries stay out of the usage text and the manual page.
    void SetHidden(bool inHidden) noexcept { fHidden = inHidden; }

    /// True when the short name is a letter (neither 0 nor the space character).
    bool HasShortName() const noexcept { return fShortName != 0 && fShortName != kNoShortName; }
    bool HasLongName() const noexcept { return !fLongName.IsEmpty(); }
    /// An option has a name; an entry with neither name is a paragraph.
    bool IsOption() const noexcept { return HasShortName() || HasLongName(); }

private:
    UniChar fShortName;
    VString fLongName;
    VString fDescription;
    bool fRequiresValue;
    bool fHidden = false;
};

} // namespace Private::CommandLineParser
} // namespace vkit
