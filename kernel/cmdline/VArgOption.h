// VArgOption: a declared option bound to a variable of the caller, filled through the value converters.
#pragma once

#include "cmdline/Argument.h"
#include "cmdline/VOptionBase.h"

#include <type_traits>
#include <utility>
#include <vector>

namespace vkit {
class VFile;
class VFolder;
class VJSONValue;
} // namespace vkit

namespace vkit::Private::CommandLineParser {

/// The text that ends the invalid value message of an option over T; null for types whose conversion
/// cannot fail.
template <class T>
constexpr const char* ExpectationText() {
    if constexpr (std::is_same_v<T, bool>)
        return "expected 0, 1, true or false";
    else if constexpr (std::is_same_v<T, int> || std::is_same_v<T, long long>)
        return "expected a signed integral";
    else if constexpr (std::is_same_v<T, unsigned int> || std::is_same_v<T, unsigned long long>)
        return "expected an unsigned integral";
    else if constexpr (std::is_same_v<T, VFile*>)
        return "expected an existing file";
    else if constexpr (std::is_same_v<T, VFolder*>)
        return "expected an existing folder";
    else if constexpr (std::is_same_v<T, VJSONValue>)
        return "expected a JSON value of the option's kind";
    else
        return nullptr;
}

/// An option whose values are stored in the caller's variable of type T (not owned; it must outlive the
/// parse). T is one of the types Extension::CommandLineParser::Argument converts to.
template <class T>
class VArgOption : public VOptionBase {
public:
    VArgOption(UniChar inShortName, VString inLongName, T* inValue, VString inDescription,
               bool inRequiresValue)
        : VOptionBase(inShortName, std::move(inLongName), std::move(inDescription), inRequiresValue),
          fValue(inValue) {}

    /// Converts and stores the value. Returns 0, or 1 after writing the invalid value message.
    int AppendArgument(VCommandLineParser& ioParser, const VString& inValue) override {
        using Extension::CommandLineParser::Argument;
        bool converted;
        if constexpr (requires { Argument::Append(ioParser, *fValue, inValue); })
            converted = Argument::Append(ioParser, *fValue, inValue);
        else
            converted = Argument::Append(*fValue, inValue);
        if (converted)
            return 0;
        const char* expectation = ExpectationText<T>();
        PrintErrorWhenAppendingInvalidValue(expectation != nullptr ? expectation : "", inValue);
        return 1;
    }

    /// The option given without a value: true for a boolean, 1 for an integer, the text "1", a list
    /// holding exactly one empty text; other types keep their value.
    void SetFlag() override {
        if constexpr (std::is_same_v<T, bool>)
            *fValue = true;
        else if constexpr (std::is_integral_v<T>)
            *fValue = 1;
        else if constexpr (std::is_same_v<T, VString>)
            *fValue = "1";
        else if constexpr (std::is_same_v<T, std::vector<VString>>)
            fValue->assign(1, VString());
    }

private:
    T* fValue;
};

} // namespace vkit::Private::CommandLineParser
