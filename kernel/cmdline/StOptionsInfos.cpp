// StOptionsInfos: registration and lookup of declared options, and the usage text.
#include "cmdline/StOptionsInfos.h"

#include "cmdline/VUsageFormatter.h"
#include "platform/posix/cmdline/XPosixConsole.h"

namespace vkit {

StOptionsInfos::StOptionsInfos(const std::vector<VString>& inArguments)
    : fArguments(inArguments), fHasArguments(inArguments.size() > 1) {
    fShortIndex.max_load_factor(1.0f);
    fLongIndex.max_load_factor(1.0f);
}

StOptionsInfos::~StOptionsInfos() = default;

void StOptionsInfos::RegisterOption(bool inRequiresValue, VOptionBase* inOption) {
    std::unique_ptr<VOptionBase> option(inOption);
    if (option->HasShortName())
        fShortIndex[option->GetShortName()] = IndexEntry(option.get(), inRequiresValue);
    if (option->HasLongName())
        fLongIndex[option->GetLongName().View()] = IndexEntry(option.get(), inRequiresValue);
    fEntries.push_back(std::move(option));
}

void StOptionsInfos::AddParagraph(VString inText) {
    if (fParagraphsEnabled)
        fEntries.push_back(
            std::make_unique<VOptionBase>(VOptionBase::kNoShortName, VString(), std::move(inText), false));
}

void StOptionsInfos::SetPositionalReceiver(VOptionBase* inReceiver) {
    fPositional.reset(inReceiver);
}

void StOptionsInfos::Clear() {
    fShortIndex.clear();
    fLongIndex.clear();
    fEntries.clear();
    fPositional.reset();
}

const StOptionsInfos::IndexEntry* StOptionsInfos::FindShort(UniChar inName) const {
    auto found = fShortIndex.find(inName);
    return found != fShortIndex.end() ? &found->second : nullptr;
}

const StOptionsInfos::IndexEntry* StOptionsInfos::FindLong(std::u16string_view inName) const {
    auto found = fLongIndex.find(inName);
    return found != fLongIndex.end() ? &found->second : nullptr;
}

void StOptionsInfos::HelpUsage(const VString& inProgramName) const {
    VString text;
    VUsageFormatter(XPosixConsole::IsStandardOutputTerminal()).BuildUsage(*this, inProgramName, text);
    XPosixConsole::WriteStandardOutput(text.ToUTF8());
}

} // namespace vkit
