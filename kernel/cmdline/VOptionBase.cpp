// VOptionBase: names, full name and the invalid value message of a declared option.
#include "cmdline/VOptionBase.h"

#include "cmdline/VCommandLineParser.h"

#include <utility>

namespace vkit::Private::CommandLineParser {

namespace {

/// Longest part of a rejected value repeated in the message.
constexpr VIndex kMaxShownValueLength = 80;

} // namespace

VOptionBase::VOptionBase(UniChar inShortName, VString inLongName, VString inDescription, bool inRequiresValue)
    : fShortName(inShortName), fLongName(std::move(inLongName)), fDescription(std::move(inDescription)),
      fRequiresValue(inRequiresValue) {}

VOptionBase::~VOptionBase() = default;

int VOptionBase::AppendArgument(VCommandLineParser&, const VString&) {
    return 1;
}

void VOptionBase::SetFlag() {}

bool VOptionBase::AppendFullName(VString& ioText) const {
    if (HasShortName()) {
        ioText.AppendUniChar(u'-').AppendUniChar(fShortName);
        if (HasLongName())
            ioText.AppendCString(", --").AppendString(fLongName);
        return true;
    }
    if (HasLongName()) {
        ioText.AppendCString("--").AppendString(fLongName);
        return true;
    }
    return false;
}

void VOptionBase::PrintErrorWhenAppendingInvalidValue(const char* inExpectation,
                                                      const VString& inValue) const {
    VString message("invalid value for argument '");
    if (!AppendFullName(message))
        message.AppendCString("<anonymous>");
    message.AppendCString("' got ");
    if (inValue.IsEmpty()) {
        message.AppendCString("empty value ");
    } else if (inValue.GetLength() > kMaxShownValueLength) {
        message.AppendUniChar(u'"').AppendUniChars(inValue.GetCPointer(), kMaxShownValueLength);
        message.AppendCString("...\" ");
    } else {
        message.AppendUniChar(u'"').AppendString(inValue).AppendCString("\" ");
    }
    message.AppendCString(inExpectation);
    VCommandLineParser::PrintArgumentError(message);
}

} // namespace vkit::Private::CommandLineParser
