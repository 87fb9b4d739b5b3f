// VUsageFormatter: lays out the usage text of the built-in help.
#include "cmdline/VUsageFormatter.h"

#include "cmdline/StOptionsInfos.h"

#include <algorithm>
#include <string_view>

namespace vkit {

namespace {

constexpr const char* kGreen = "\033[0;32m";
constexpr const char* kYellow = "\033[0;33m";
constexpr const char* kReset = "\033[0m";

bool IsBreakCharacter(UniChar inChar) {
    return inChar == u' ' || inChar == u'.' || inChar == u'\r' || inChar == u'\n' || inChar == u'\t';
}

void AppendSpaces(VIndex inCount, VString& ioText) {
    static constexpr std::u16string_view kSpaces = u"                                ";
    for (; inCount > 0; inCount -= std::min<VIndex>(inCount, kSpaces.size()))
        ioText.AppendUniChars(kSpaces.data(), std::min<VIndex>(inCount, kSpaces.size()));
}

/// The text without its tabs: inText itself when it holds none, else a copy without them in ioStorage.
const VString& WithoutTabs(const VString& inText, VString& ioStorage) {
    std::u16string_view text = inText.View();
    size_t tab = text.find(u'\t');
    if (tab == text.npos)
        return inText;
    ioStorage.Clear();
    for (; tab != text.npos; tab = text.find(u'\t')) {
        ioStorage.AppendUniChars(text.data(), static_cast<VIndex>(tab));
        text.remove_prefix(tab + 1);
    }
    ioStorage.AppendUniChars(text.data(), static_cast<VIndex>(text.size()));
    return ioStorage;
}

/// Whether the first entry that the usage text shows is an option (the built-in help entry counts).
bool FirstShownEntryIsOption(const StOptionsInfos& inOptions, bool inAddsHelp) {
    for (const auto& entry : inOptions.GetEntries()) {
        if (!entry->IsHidden())
            return entry->IsOption();
    }
    return inAddsHelp;
}

} // namespace

void VUsageFormatter::BuildUsage(const StOptionsInfos& inOptions, const VString& inProgramName,
                                 VString& ioText) const {
    ioText.AppendCString("Usage: ").AppendString(inProgramName).AppendCString(" [OPTION]...");
    if (inOptions.GetPositionalReceiver() != nullptr)
        ioText.AppendCString(" [FILE]...");
    ioText.AppendUniChar(u'\n');

    VString help("help");
    bool addsHelp = inOptions.FindLong(help.View()) == nullptr;
    if (FirstShownEntryIsOption(inOptions, addsHelp))
        ioText.AppendUniChar(u'\n');
    VString storage;
    for (const auto& entry : inOptions.GetEntries()) {
        if (entry->IsHidden())
            continue;
        const VString& description = WithoutTabs(entry->GetDescription(), storage);
        if (entry->IsOption())
            AppendOption(entry->GetShortName(), entry->GetLongName(), description, entry->RequiresValue(),
                         ioText);
        else
            AppendParagraph(description, ioText);
    }
    if (addsHelp) {
        UniChar shortName =
            inOptions.FindShort(u'h') == nullptr ? u'h' : StOptionsInfos::VOptionBase::kNoShortName;
        AppendOption(shortName, help, VString("Display the help and exit"), false, ioText);
    }
}

void VUsageFormatter::AppendOption(UniChar inShortName, const VString& inLongName,
                                   const VString& inDescription, bool inRequiresValue,
                                   VString& ioText) const {
    if (fColour)
        ioText.AppendCString(kGreen);
    bool hasShortName = inShortName != 0 && inShortName != StOptionsInfos::VOptionBase::kNoShortName;
    if (hasShortName) {
        ioText.AppendCString("  -").AppendUniChar(inShortName);
        if (!inLongName.IsEmpty()) {
            ioText.AppendCString(", ");
        } else {
            if (inRequiresValue)
                ioText.AppendCString(" VALUE");
            AppendSpaces(inRequiresValue ? 14 : 20, ioText);
        }
    } else {
        AppendSpaces(6, ioText);
    }
    if (!inLongName.IsEmpty()) {
        ioText.AppendCString("--").AppendString(inLongName);
        if (inRequiresValue)
            ioText.AppendCString("=VALUE");
        VIndex width = (inRequiresValue ? 15 : 9) + inLongName.GetLength();
        if (width >= 30) {
            ioText.AppendUniChar(u'\n');
            AppendSpaces(kDescriptionColumn, ioText);
        } else {
            AppendSpaces(30 - width, ioText);
        }
    }
    if (fColour)
        ioText.AppendCString(kReset);
    if (inDescription.GetLength() <= kDescriptionLimit + 1) {
        ioText.AppendString(inDescription).AppendUniChar(u'\n');
    } else {
        BreakLines(inDescription, kDescriptionLimit, kDescriptionColumn, ioText);
    }
}

void VUsageFormatter::AppendParagraph(const VString& inText, VString& ioText) const {
    if (inText.IsEmpty())
        return;
    if (fColour)
        ioText.AppendCString(kYellow);
    if (inText.GetLength() <= kParagraphLimit)
        ioText.AppendString(inText);
    else
        BreakLines(inText, kParagraphLimit, 0, ioText);
    if (fColour)
        ioText.AppendCString(kReset);
    ioText.AppendUniChar(u'\n');
}

void VUsageFormatter::BreakLines(const VString& inText, VIndex inLimit, VIndex inIndent, VString& ioText) {
    const UniChar* text = inText.GetCPointer();
    VIndex length = inText.GetLength();
    VIndex lineStart = 0;
    VIndex lastBreak = -1; // the last break character passed over on the current line
    VIndex scan = 0;
    for (;;) {
        while (scan < length && !IsBreakCharacter(text[scan]))
            ++scan;
        if (scan >= length) {
            ioText.AppendUniChars(text + lineStart, length - lineStart).AppendUniChar(u'\n');
            return;
        }
        VIndex lineEnd = -1;
        if (scan - lineStart > inLimit)
            lineEnd = lastBreak >= 0 ? lastBreak : scan;
        else if (text[scan] == u'\n')
            lineEnd = scan;
        if (lineEnd < 0) {
            lastBreak = scan++;
            continue;
        }
        ioText.AppendUniChars(text + lineStart, lineEnd - lineStart).AppendUniChar(u'\n');
        AppendSpaces(inIndent, ioText);
        lineStart = lineEnd + 1;
        lastBreak = -1;
        scan = lineStart;
    }
}

} // namespace vkit
