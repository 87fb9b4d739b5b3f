// VValueBag: the XML form of a bag (elements, attributes, indentation and character data).
#include "bags/VBagArray.h"
#include "bags/VValueBag.h"
#include "text/VValueSingle.h"

#include <algorithm>
#include <array>

namespace vkit {

namespace {

constexpr int kMaxIndentation = 100;

// Attributes the XML form leaves out: the text content and two bookkeeping attributes.
constexpr StPackedDictionaryKey kObjectUniqueAttributeName{"____objectunic"};
constexpr StPackedDictionaryKey kJSArrayPropertyAttributeName{"____property_name_in_jsarray"};

constexpr auto kTabs = [] {
    std::array<UniChar, kMaxIndentation> tabs{};
    tabs.fill(u'\t');
    return tabs;
}();

void AppendIndentation(VString& ioText, int inLevel) {
    if (inLevel >= 1)
        ioText.AppendUniChars(kTabs.data(), std::min(inLevel, kMaxIndentation));
}

bool IsHighSurrogate(UniChar inChar) {
    return inChar >= 0xD800 && inChar <= 0xDBFF;
}

bool IsLowSurrogate(UniChar inChar) {
    return inChar >= 0xDC00 && inChar <= 0xDFFF;
}

bool IsAllowedInXML(UniChar inChar) {
    return inChar == u'\t' || inChar == u'\n' || inChar == u'\r' || (inChar >= 0x20 && inChar <= 0xD7FF) ||
           (inChar >= 0xE000 && inChar <= 0xFFFD);
}

/// Appends the characters allowed in XML (surrogate pairs kept whole); answers how many code units
/// were appended.
VIndex AppendAllowedInXML(VString& ioText, const UniChar* inChars, VIndex inLength) {
    VIndex written = 0;
    VIndex runStart = 0;
    VIndex i = 0;
    while (i < inLength) {
        UniChar c = inChars[i];
        if (IsAllowedInXML(c)) {
            ++i;
        } else if (IsHighSurrogate(c) && i + 1 < inLength && IsLowSurrogate(inChars[i + 1])) {
            i += 2;
        } else {
            ioText.AppendUniChars(inChars + runStart, i - runStart);
            written += i - runStart;
            runStart = ++i;
        }
    }
    ioText.AppendUniChars(inChars + runStart, i - runStart);
    return written + (i - runStart);
}

/// True when the text must go in a CDATA section: it holds a markup character, or a line break or tab
/// together with something other than white space.
bool NeedsCDataSection(const VString& inText) {
    bool hasBreak = false;
    bool hasOther = false;
    for (UniChar c : inText.View()) {
        switch (c) {
        case u'<':
        case u'>':
        case u'&':
        case u'"':
        case u'\'':
            return true;
        case u'\t':
        case u'\n':
        case u'\r':
            hasBreak = true;
            break;
        case u' ':
            break;
        default:
            hasOther = true;
        }
    }
    return hasBreak && hasOther;
}

} // namespace

void VValueBag::DumpXML(VString& ioText, const VString& inElementName, bool inIndented) const {
    _DumpXML(ioText, inElementName, inIndented ? 0 : -1);
}

void VValueBag::_DumpXML(VString& ioText, const VString& inElementName, int inLevel) const {
    AppendIndentation(ioText, inLevel);
    ioText.AppendUniChar(u'<');
    ioText.AppendString(inElementName);
    _DumpXMLAttributes(ioText);

    VIndex textIndex = fAttributes.Find(CDataAttributeName);
    bool hasElements = false;
    if (fElements != nullptr) {
        hasElements = std::any_of(fElements->begin(), fElements->end(),
                                  [](const ElementEntry& inEntry) { return !inEntry.fBags->IsEmpty(); });
    }
    if (!hasElements && textIndex == 0) {
        ioText.AppendCString("/>");
        return;
    }
    ioText.AppendUniChar(u'>');

    if (hasElements) {
        int childLevel = inLevel < 0 ? -1 : inLevel + 1;
        VString childName;
        for (const ElementEntry& entry : *fElements) {
            entry.fKey.GetName(childName);
            for (VIndex i = 1; i <= entry.fBags->GetCount(); ++i) {
                ioText.AppendUniChar(u'\n');
                entry.fBags->GetNth(i)->_DumpXML(ioText, childName, childLevel);
            }
        }
    }

    bool wroteText = false;
    if (textIndex > 0) {
        VString text;
        fAttributes.GetNthString(textIndex, text);
        wroteText = DumpXMLCData(ioText, text);
    }
    if (inLevel >= 0 && !wroteText) {
        ioText.AppendUniChar(u'\n');
        AppendIndentation(ioText, inLevel);
    }
    ioText.AppendCString("</");
    ioText.AppendString(inElementName);
    ioText.AppendUniChar(u'>');
}

void VValueBag::_DumpXMLAttributes(VString& ioText) const {
    VString value;
    VString xml;
    for (VIndex i = 1; i <= fAttributes.GetCount(); ++i) {
        std::string_view name = fAttributes.GetNthKey(i);
        StPackedDictionaryKey key(name.data(), name.size());
        if (key == CDataAttributeName || key == kObjectUniqueAttributeName ||
            key == kJSArrayPropertyAttributeName)
            continue;
        // Texts are read straight from the store; other values are made once and kept.
        if (fAttributes.GetNthKind(i) == ValueKind::String) {
            fAttributes.GetNthString(i, value);
            value.GetXMLString(xml);
        } else {
            fAttributes.GetNthValue(i)->GetXMLString(xml);
        }
        ioText.AppendUniChar(u' ');
        ioText.AppendUTF8(name.data(), name.size());
        ioText.AppendCString("=\"");
        ioText.AppendString(xml);
        ioText.AppendUniChar(u'"');
    }
}

bool VValueBag::DumpXMLCData(VString& ioText, const VString& inText) {
    if (!NeedsCDataSection(inText))
        return AppendAllowedInXML(ioText, inText.GetCPointer(), inText.GetLength()) > 0;

    // Filtered first, so that a "]]>" made by dropping a character is split too.
    VString allowed;
    AppendAllowedInXML(allowed, inText.GetCPointer(), inText.GetLength());
    static const VString sSectionEnd("]]>");
    ioText.AppendCString("<![CDATA[");
    VIndex start = 1;
    for (VIndex found = allowed.FindRawString(sSectionEnd, start); found > 0;
         found = allowed.FindRawString(sSectionEnd, start)) {
        // The piece with its "]]>" closes the section; "]]" then goes out as text and a new section
        // opens holding the ">".
        ioText.AppendUniChars(allowed.GetCPointer() + (start - 1), found + 3 - start);
        ioText.AppendCString("]]<![CDATA[>");
        start = found + 3;
    }
    ioText.AppendUniChars(allowed.GetCPointer() + (start - 1), allowed.GetLength() + 1 - start);
    ioText.AppendCString("]]>");
    return true;
}

} // namespace vkit
