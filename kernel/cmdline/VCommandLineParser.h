// VCommandLineParser: declares a program's options, parses the argument vector into typed variables.
#pragma once

#include "cmdline/StOptionsInfos.h"
#include "cmdline/VArgOption.h"
#include "text/VNonCopyable.h"
#include "text/VObject.h"
#include "text/VString.h"

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace vkit {

/// Turns the argument vector of the process into typed values, in unix style: "-x" for short options
/// (letters may be bundled, "-xyz"), "--name" and "--name=value" for long ones, "--" ending the options.
/// A program declares its options (each bound to a variable of its own), paragraphs of help text and,
/// optionally, one receiver of the arguments that are not options, then calls Parse once.
///
/// Parse reports every failure itself, as one line on standard error, and prints the usage text on
/// standard output for "--help", "-h" and "-?" unless the program declared those names. Used by the task
/// that starts the process, before other tasks run: no locks.
class VCommandLineParser : public VObject, public VNonCopyable {
public:
    /// Results of Parse.
    static constexpr int kParseSuccess = 0;
    static constexpr int kParseError = 1;
    static constexpr int kParseHelpShown = 2;

    /// Keeps a reference to the argument vector (element 0 is the program's path); it must outlive the
    /// parser. A vector holding only the program's path makes the parser accept no option.
    explicit VCommandLineParser(const std::vector<VString>& inArguments);
    ~VCommandLineParser() override;

    /// Declares an option bound to *inValue (not owned; it must outlive the parse). inShortName is the
    /// letter after "-" (the space character or 0 for none), inLongName the word after "--" (empty for
    /// none). Flags are declared with inRequiresValue false. Does nothing when the argument vector holds
    /// only the program's path. T: bool, int, unsigned int, long long, unsigned long long, VString,
    /// std::vector<VString>, VFilePath, VFile* or VFolder* (holding a retained object or null after a
    /// value, which the caller releases) or VJSONValue (see Extension::CommandLineParser::Argument).
    template <class T>
    void AddOption(UniChar inShortName, VString inLongName, T* inValue, VString inDescription,
                   bool inRequiresValue) {
        if (fOptions.HasArguments()) {
            fOptions.RegisterOption(inRequiresValue, new Private::CommandLineParser::VArgOption<T>(
                                                         inShortName, std::move(inLongName), inValue,
                                                         std::move(inDescription), inRequiresValue));
        }
    }
    /// Declares a paragraph of help text, shown in declaration order among the options.
    void AddParagraph(VString inText) { fOptions.AddParagraph(std::move(inText)); }
    /// Makes the arguments that are not options go, in order, to the end of *inValues (not owned).
    /// Replaces an earlier receiver. Does nothing when the vector holds only the program's path.
    void SetPositionalArguments(std::vector<VString>* inValues);

    /// Walks the arguments once and stores each value through its option. Returns kParseSuccess,
    /// kParseError (the message was written to standard error; values stored before the failure stay)
    /// or kParseHelpShown (the usage text was written to standard output).
    int Parse();

    /// Writes the text as UTF-8 and a line feed to standard output, and flushes it.
    static void Print(const VString& inText);
    /// Writes the text as UTF-8 and a line feed to standard error, and flushes it. Returns 1 (an error
    /// status for the caller to return).
    static int PrintArgumentError(const VString& inText);

    /// A valid long name: empty (none), or two or more digits, lower-case ASCII letters and "-", not
    /// beginning or ending with "-".
    static bool ValidateLongOptionName(const VString& inName);
    /// A valid short name: 0 or the space character (none), an ASCII letter or a digit.
    static bool ValidateShortOptionName(UniChar inName);

    /// Deletes every declaration; the argument vector and the flags stay.
    void Clear() { fOptions.Clear(); }

    /// Replaces outText by the JSON description of the arguments and declarations.
    void ExportAsJSON(VString& outText) const;
    /// Writes the JSON description and a line feed to standard error (inToStandardError) or output.
    void PrintAllArguments(bool inToStandardError) const;
    /// Appends the troff options section of a manual page to ioText.
    void ExportAsManPage(VString& ioText) const;

    /// Whether a value "-" is replaced by the whole text of standard input (off by default).
    void SetReadsStandardInput(bool inReads) noexcept { fOptions.SetReadsStandardInput(inReads); }
    /// Whether AddParagraph declares anything (on by default).
    void SetParagraphsEnabled(bool inEnabled) noexcept { fOptions.SetParagraphsEnabled(inEnabled); }

    const StOptionsInfos& GetOptions() const noexcept { return fOptions; }

private:
    struct ParseState;
    using VOptionBase = Private::CommandLineParser::VOptionBase;

    int _ParseLongOption(ParseState& ioState, const VString& inArgument);
    int _ParseLongOptionWithValue(ParseState& ioState, std::u16string_view inName, const VString& inValue);
    int _ParseShortOptions(ParseState& ioState, const VString& inArgument);
    int _ParsePositional(ParseState& ioState, const VString& inArgument);
    /// Finds the value of the option at the current index and gives it to the option.
    int _TakeValue(ParseState& ioState, VOptionBase& ioOption, std::u16string_view inName);
    /// Finds the next value from the next-value index; null when none is left.
    const VString* _FindValue(ParseState& ioState) const;
    /// Stores the value through the option, reading standard input for "-" when asked to.
    int _AppendValue(ParseState& ioState, VOptionBase& ioOption, std::u16string_view inName,
                     const VString& inValue);

    StOptionsInfos fOptions;
};

} // namespace vkit
