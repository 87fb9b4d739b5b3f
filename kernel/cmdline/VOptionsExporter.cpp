// VOptionsExporter: JSON description and manual-page section of the declared options.
#include "cmdline/VOptionsExporter.h"

#include "cmdline/StOptionsInfos.h"

#include <string_view>

namespace vkit {

namespace {

using VOptionBase = StOptionsInfos::VOptionBase;

/// Appends the text without its line feeds and tabs.
void AppendWithoutLineBreaksAndTabs(const VString& inText, VString& ioText) {
    std::u16string_view text = inText.View();
    for (size_t cut = text.find_first_of(u"\n\t"); cut != text.npos; cut = text.find_first_of(u"\n\t")) {
        ioText.AppendUniChars(text.data(), static_cast<VIndex>(cut));
        text.remove_prefix(cut + 1);
    }
    ioText.AppendUniChars(text.data(), static_cast<VIndex>(text.size()));
}

void AppendArgumentsJSON(const std::vector<VString>& inArguments, VString& ioText) {
    ioText.AppendCString("\t\"arguments\": {\n\t\t\"count\": ")
        .AppendLong8(static_cast<int64_t>(inArguments.size()));
    ioText.AppendCString(",\n\t\t\"values\": [\n");
    for (size_t i = 0; i < inArguments.size(); ++i) {
        ioText.AppendCString("\t\t\t\"");
        VOptionsExporter::AppendJSONStringContent(inArguments[i], ioText);
        ioText.AppendCString(i + 1 < inArguments.size() ? "\",\n" : "\"\n");
    }
    ioText.AppendCString("\t\t]\n\t},\n");
}

void AppendEntryJSON(const VOptionBase& inEntry, VString& ioText) {
    ioText.AppendCString("\t\t\t{\n");
    if (inEntry.HasShortName()) {
        ioText.AppendCString("\t\t\t\t\"shortName\": \"");
        VOptionsExporter::AppendJSONStringContent(VString(inEntry.GetShortName()), ioText);
        ioText.AppendCString("\",\n");
    }
    if (!inEntry.IsOption() && inEntry.GetShortName() == VOptionBase::kNoShortName) {
        ioText.AppendCString("\t\t\t\t\"paragraph\": \"");
        VOptionsExporter::AppendJSONStringContent(inEntry.GetDescription(), ioText);
        ioText.AppendCString("\"\n");
        return;
    }
    if (inEntry.HasLongName()) {
        ioText.AppendCString("\t\t\t\t\"longName\": \"");
        VOptionsExporter::AppendJSONStringContent(inEntry.GetLongName(), ioText);
        ioText.AppendCString("\",\n");
    }
    if (inEntry.RequiresValue())
        ioText.AppendCString("\t\t\t\t\"requiresValue\": true,\n");
    ioText.AppendCString("\t\t\t\t\"description\": \"");
    VOptionsExporter::AppendJSONStringContent(inEntry.GetDescription(), ioText);
    ioText.AppendCString("\"\n");
}

void AppendManPageOption(const VOptionBase& inOption, VString& ioText) {
    ioText.AppendCString(".TP\n.BR ");
    if (inOption.HasShortName()) {
        ioText.AppendCString("\\-").AppendUniChar(inOption.GetShortName());
        if (inOption.HasLongName())
            ioText.AppendCString(" \", \" ");
        else if (inOption.RequiresValue())
            ioText.AppendCString(" \\fIVALUE\\fR");
    }
    if (inOption.HasLongName()) {
        ioText.AppendCString("\\-\\-").AppendString(inOption.GetLongName());
        if (inOption.RequiresValue())
            ioText.AppendCString("=\\fIVALUE\\fR");
    }
    ioText.AppendUniChar(u'\n');
    AppendWithoutLineBreaksAndTabs(inOption.GetDescription(), ioText);
    ioText.AppendUniChar(u'\n');
}

} // namespace

void VOptionsExporter::AppendJSON(const StOptionsInfos& inOptions, VString& ioText) {
    ioText.AppendCString("{\n");
    AppendArgumentsJSON(inOptions.GetArguments(), ioText);
    const auto& entries = inOptions.GetEntries();
    ioText.AppendCString("\t\"options\": {\n\t\t\"count\": ")
        .AppendLong8(static_cast<int64_t>(entries.size()));
    ioText.AppendCString(",\n\t\t\"values\": [\n");
    for (size_t i = 0; i < entries.size(); ++i) {
        AppendEntryJSON(*entries[i], ioText);
        ioText.AppendCString(i + 1 < entries.size() ? "\t\t\t},\n" : "\t\t\t}\n");
    }
    ioText.AppendCString("\t\t]\n\t}\n}\n");
}

void VOptionsExporter::AppendManPage(const StOptionsInfos& inOptions, VString& ioText) {
    ioText.AppendCString(".SH OPTIONS\n");
    bool wroteEntry = false;
    for (const auto& entry : inOptions.GetEntries()) {
        if (entry->IsHidden())
            continue;
        if (entry->IsOption()) {
            AppendManPageOption(*entry, ioText);
            wroteEntry = true;
        } else if (wroteEntry) {
            VString text;
            AppendWithoutLineBreaksAndTabs(entry->GetDescription(), text);
            ioText.AppendCString(".SS \"");
            AppendJSONStringContent(text, ioText);
            ioText.AppendCString("\"\n");
        }
    }
}

void VOptionsExporter::AppendJSONStringContent(const VString& inText, VString& ioText) {
    static const char kHex[] = "0123456789ABCDEF";
    const UniChar* text = inText.GetCPointer();
    VIndex runStart = 0; // characters written as they are are appended a run at a time
    for (VIndex i = 0; i < inText.GetLength(); ++i) {
        UniChar c = text[i];
        if (c >= 0x20 && c != u'"' && c != u'\\' && c != 0x7F)
            continue;
        ioText.AppendUniChars(text + runStart, i - runStart);
        runStart = i + 1;
        switch (c) {
        case u'"':
            ioText.AppendCString("\\\"");
            break;
        case u'\\':
            ioText.AppendCString("\\\\");
            break;
        case u'\b':
            ioText.AppendCString("\\b");
            break;
        case u'\t':
            ioText.AppendCString("\\t");
            break;
        case u'\n':
            ioText.AppendCString("\\n");
            break;
        case u'\f':
            ioText.AppendCString("\\f");
            break;
        case u'\r':
            ioText.AppendCString("\\r");
            break;
        default: {
            char escape[7] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15], 0};
            ioText.AppendCString(escape);
        }
        }
    }
    ioText.AppendUniChars(text + runStart, inText.GetLength() - runStart);
}

} // namespace vkit
