// VCommandLineParser: option declarations, the parse of the argument vector and its messages.
#include "cmdline/VCommandLineParser.h"

#include "cmdline/VOptionsExporter.h"
#include "platform/posix/cmdline/XPosixConsole.h"

#include <string>
#include <string_view>

namespace vkit {

/// What one parse keeps while it walks the arguments.
struct VCommandLineParser::ParseState {
    /// The argument being handled.
    size_t fIndex = 1;
    /// Where the search for the next option value starts; arguments before it were consumed as values.
    size_t fNextValue = 1;
    /// Set by "--" (met in the walk or in a value search): every later argument is positional.
    bool fEndOfOptions = false;
    bool fStandardInputRead = false;
    VString fStandardInput;
};

namespace {

/// Arguments that the operating system adds to the programs it starts; they and their value are ignored.
constexpr std::u16string_view kSystemArguments[] = {u"-ApplePersistenceIgnoreState",
                                                    u"-NSDocumentRevisionsDebugMode"};

bool IsOptionText(const VString& inArgument) {
    return !inArgument.IsEmpty() && inArgument[0] == u'-';
}

/// Writes "<inPrefix>`<inName>`" as an argument error; returns 1.
int PrintQuotedError(const char* inPrefix, std::u16string_view inName) {
    VString message(inPrefix);
    message.AppendUniChar(u'`').AppendUniChars(inName.data(), static_cast<VIndex>(inName.size()));
    message.AppendUniChar(u'`');
    return VCommandLineParser::PrintArgumentError(message);
}

} // namespace

VCommandLineParser::VCommandLineParser(const std::vector<VString>& inArguments) : fOptions(inArguments) {}

VCommandLineParser::~VCommandLineParser() = default;

void VCommandLineParser::SetPositionalArguments(std::vector<VString>* inValues) {
    if (fOptions.HasArguments()) {
        fOptions.SetPositionalReceiver(new Private::CommandLineParser::VArgOption<std::vector<VString>>(
            0, VString(), inValues, VString(), true));
    }
}

int VCommandLineParser::Parse() {
    const std::vector<VString>& arguments = fOptions.GetArguments();
    if (arguments.size() < 2)
        return kParseSuccess;
    ParseState state;
    for (state.fIndex = 1; state.fIndex < arguments.size(); ++state.fIndex) {
        const VString& argument = arguments[state.fIndex];
        int result;
        if (state.fEndOfOptions || !IsOptionText(argument)) {
            result = _ParsePositional(state, argument);
        } else if (argument.View() == u"--") {
            state.fEndOfOptions = true;
            continue;
        } else {
            if (state.fNextValue <= state.fIndex)
                state.fNextValue = state.fIndex + 1;
            result =
                argument[1] == u'-' ? _ParseLongOption(state, argument) : _ParseShortOptions(state, argument);
        }
        if (result != kParseSuccess)
            return result;
    }
    return kParseSuccess;
}

int VCommandLineParser::_ParseLongOption(ParseState& ioState, const VString& inArgument) {
    std::u16string_view text = inArgument.View().substr(2);
    size_t equal = text.find(u'=');
    if (equal != text.npos) {
        VString value(text.data() + equal + 1, static_cast<VIndex>(text.size() - equal - 1));
        return _ParseLongOptionWithValue(ioState, text.substr(0, equal), value);
    }
    const StOptionsInfos::IndexEntry* entry = fOptions.FindLong(text);
    if (entry == nullptr) {
        if (text == u"help") {
            fOptions.HelpUsage(fOptions.GetArguments()[0]);
            return kParseHelpShown;
        }
        return PrintQuotedError("error: unknown option ", text);
    }
    if (!entry->second) {
        entry->first->SetFlag();
        return kParseSuccess;
    }
    return _TakeValue(ioState, *entry->first, text);
}

int VCommandLineParser::_ParseLongOptionWithValue(ParseState& ioState, std::u16string_view inName,
                                                  const VString& inValue) {
    const StOptionsInfos::IndexEntry* entry = fOptions.FindLong(inName);
    if (entry == nullptr) {
        if (inName == u"help")
            return PrintQuotedError("error: invalid value for option  ", inName);
        return PrintQuotedError("error: unknown option ", inName);
    }
    if (!entry->second) {
        VString message("error: a value for option `");
        message.AppendUniChars(inName.data(), static_cast<VIndex>(inName.size()))
            .AppendCString("` is not required");
        return PrintArgumentError(message);
    }
    return _AppendValue(ioState, *entry->first, inName, inValue);
}

int VCommandLineParser::_ParseShortOptions(ParseState& ioState, const VString& inArgument) {
    for (std::u16string_view systemArgument : kSystemArguments) {
        if (inArgument.View() == systemArgument) {
            _FindValue(ioState);
            return kParseSuccess;
        }
    }
    if (inArgument.GetLength() == 1)
        return PrintQuotedError("error: missing short option ", u"-");
    for (VIndex k = 1; k < inArgument.GetLength(); ++k) {
        UniChar letter = inArgument[k];
        const StOptionsInfos::IndexEntry* entry = fOptions.FindShort(letter);
        if (entry == nullptr) {
            if (letter == u'h' || letter == u'?') {
                fOptions.HelpUsage(fOptions.GetArguments()[0]);
                return kParseHelpShown;
            }
            return PrintQuotedError("error: unknown option ", std::u16string_view(&letter, 1));
        }
        if (!entry->second) {
            entry->first->SetFlag();
            continue;
        }
        int result = _TakeValue(ioState, *entry->first, std::u16string_view(&letter, 1));
        if (result != kParseSuccess)
            return result;
    }
    return kParseSuccess;
}

int VCommandLineParser::_ParsePositional(ParseState& ioState, const VString& inArgument) {
    if (ioState.fIndex < ioState.fNextValue)
        return kParseSuccess; // consumed earlier as an option's value
    ioState.fNextValue = ioState.fIndex;
    VOptionBase* receiver = fOptions.GetPositionalReceiver();
    if (receiver == nullptr)
        return PrintQuotedError("error: unknown option ", inArgument.View());
    return _AppendValue(ioState, *receiver, std::u16string_view(), inArgument);
}

int VCommandLineParser::_TakeValue(ParseState& ioState, VOptionBase& ioOption, std::u16string_view inName) {
    const VString* value = _FindValue(ioState);
    if (value == nullptr) {
        VString message("error: missing value for option ");
        ioOption.AppendFullName(message);
        return PrintArgumentError(message);
    }
    return _AppendValue(ioState, ioOption, inName, *value);
}

const VString* VCommandLineParser::_FindValue(ParseState& ioState) const {
    const std::vector<VString>& arguments = fOptions.GetArguments();
    for (size_t j = ioState.fNextValue; j < arguments.size(); ++j) {
        const VString& argument = arguments[j];
        if (ioState.fEndOfOptions || !IsOptionText(argument)) {
            ioState.fNextValue = j + 1;
            return &argument;
        }
        // Options walked over are parsed later at their own index; a "--" walked over makes the
        // argument after it the value, whatever it looks like.
        if (argument.View() == u"--")
            ioState.fEndOfOptions = true;
    }
    if (ioState.fNextValue < arguments.size())
        ioState.fNextValue = arguments.size();
    return nullptr;
}

int VCommandLineParser::_AppendValue(ParseState& ioState, VOptionBase& ioOption, std::u16string_view inName,
                                     const VString& inValue) {
    const VString* value = &inValue;
    if (fOptions.ReadsStandardInput() && inValue.View() == u"-") {
        if (!ioState.fStandardInputRead) {
            std::string bytes;
            if (!XPosixConsole::ReadStandardInput(bytes))
                return PrintQuotedError("error: failed to read from stdin for option ", inName);
            ioState.fStandardInput.FromUTF8(bytes.data(), bytes.size());
            ioState.fStandardInputRead = true;
        }
        value = &ioState.fStandardInput;
    }
    return ioOption.AppendArgument(*this, *value) == 0 ? kParseSuccess : kParseError;
}

void VCommandLineParser::Print(const VString& inText) {
    std::string bytes = inText.ToUTF8();
    bytes.push_back('\n');
    XPosixConsole::WriteStandardOutput(bytes);
}

int VCommandLineParser::PrintArgumentError(const VString& inText) {
    std::string bytes = inText.ToUTF8();
    bytes.push_back('\n');
    XPosixConsole::WriteStandardError(bytes);
    return 1;
}

bool VCommandLineParser::ValidateLongOptionName(const VString& inName) {
    if (inName.IsEmpty())
        return true;
    if (inName.GetLength() == 1 || inName[0] == u'-' || inName[inName.GetLength() - 1] == u'-')
        return false;
    for (UniChar c : inName.View()) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || c == u'-'))
            return false;
    }
    return true;
}

bool VCommandLineParser::ValidateShortOptionName(UniChar inName) {
    return inName == 0 || inName == u' ' || (inName >= u'a' && inName <= u'z') ||
           (inName >= u'A' && inName <= u'Z') || (inName >= u'0' && inName <= u'9');
}

void VCommandLineParser::ExportAsJSON(VString& outText) const {
    outText.Clear();
    VOptionsExporter::AppendJSON(fOptions, outText);
}

void VCommandLineParser::PrintAllArguments(bool inToStandardError) const {
    VString text;
    VOptionsExporter::AppendJSON(fOptions, text);
    std::string bytes = text.ToUTF8();
    bytes.push_back('\n');
    if (inToStandardError)
        XPosixConsole::WriteStandardError(bytes);
    else
        XPosixConsole::WriteStandardOutput(bytes);
}

void VCommandLineParser::ExportAsManPage(VString& ioText) const {
    VOptionsExporter::AppendManPage(fOptions, ioText);
}

} // namespace vkit
