// VValueBag: the XML form of a bag (elements, attributes, indentation and character data).
#include "bags/VBagArray.h"
#include "bags/VValueBag.h"
#include "text/VValueSingle.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <string_view>

namespace vkit {

namespace {

constexpr int kMaxIndentation = 100;

/// True for the attributes the XML form leaves out: the text content and two bookkeeping attributes.
bool IsLeftOutAttribute(std::string_view inName) {
    if (inName.empty() || (inName[0] != '<' && inName[0] != '_'))
        return false;
    return inName == VValueBag::CDataAttributeName.GetView() || inName == "____objectunic" ||
           inName == "____property_name_in_jsarray";
}

constexpr auto kTabs = [] {
    std::array<UniChar, kMaxIndentation> tabs{};
    tabs.fill(u'\t');
    return tabs;
}();

void AppendIndentation(VString& ioText, int inLevel) {
    if (inLevel >= 1)
        ioText.AppendUniChars(kTabs.data(), std::min(inLevel, kMaxIndentation));
}

template <size_t N>
void AppendLiteral(VString& ioText, const char16_t (&inLiteral)[N]) {
    ioText.AppendUniChars(inLiteral, static_cast<VIndex>(N - 1));
}

/// The escapes of the characters XML text escapes, indexed by character (all lie below '?').
constexpr auto kXMLEscapes = [] {
    std::array<const char*, u'?'> escapes{};
    escapes[u'&'] = "&amp;";
    escapes[u'<'] = "&lt;";
    escapes[u'>'] = "&gt;";
    escapes[u'"'] = "&quot;";
    escapes[u'\''] = "&apos;";
    return escapes;
}();

/// The escape of a character in XML text, or null for a character written as it is.
inline const char* XMLEscape(UniChar inChar) {
    return inChar < kXMLEscapes.size() ? kXMLEscapes[inChar] : nullptr;
}

/// Appends ` name="value"`, the value escaped as VString::GetXMLString escapes it when inEscape is
/// true. Measured first, then written straight into the string's buffer with one reservation.
void AppendAttribute(VString& ioText, std::string_view inName, const VString& inValue, bool inEscape) {
    const UniChar* chars = inValue.GetCPointer();
    const VIndex length = inValue.GetLength();
    int64_t valueLength = length;
    if (inEscape) {
        for (VIndex i = 0; i < length; ++i) {
            if (const char* escape = XMLEscape(chars[i]))
                valueLength += static_cast<int64_t>(std::char_traits<char>::length(escape)) - 1;
        }
    }
    const bool asciiName = std::all_of(inName.begin(), inName.end(),
                                       [](char inByte) { return static_cast<unsigned char>(inByte) < 0x80; });
    if (!asciiName) {
        ioText.AppendUniChar(u' ');
        ioText.AppendUTF8(inName.data(), inName.size());
        inName = {};
    }
    const int64_t total =
        static_cast<int64_t>(ioText.GetLength()) + 4 + static_cast<int64_t>(inName.size()) + valueLength;
    if (total > VString::kMaxLength || !ioText.EnsureSize(static_cast<VIndex>(total)))
        return;
    UniChar* out = ioText.GetCPointerForWrite() + ioText.GetLength();
    if (asciiName) {
        *out++ = u' ';
        for (char byte : inName)
            *out++ = static_cast<UniChar>(byte);
    }
    *out++ = u'=';
    *out++ = u'"';
    for (VIndex i = 0; i < length; ++i) {
        const char* escape = inEscape ? XMLEscape(chars[i]) : nullptr;
        if (escape == nullptr) {
            *out++ = chars[i];
        } else {
            while (*escape != 0)
                *out++ = static_cast<UniChar>(*escape++);
        }
    }
    *out++ = u'"';
    ioText.Validate(static_cast<VIndex>(out - ioText.GetCPointerForWrite()));
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
        AppendLiteral(ioText, u"/>");
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
    AppendLiteral(ioText, u"</");
    ioText.AppendString(inElementName);
    ioText.AppendUniChar(u'>');
}

void VValueBag::_DumpXMLAttributes(VString& ioText) const {
    VString value;
    for (VIndex i = 1; i <= fAttributes.GetCount(); ++i) {
        std::string_view name = fAttributes.GetNthKey(i);
        if (IsLeftOutAttribute(name))
            continue;
        // Texts are read straight from the store and escaped here as their XML form escapes them;
        // other values give their XML form (made once and kept).
        if (fAttributes.GetNthKind(i) == ValueKind::String) {
            fAttributes.GetNthString(i, value);
            AppendAttribute(ioText, name, value, true);
        } else {
            fAttributes.GetNthValue(i)->GetXMLString(value);
            AppendAttribute(ioText, name, value, false);
        }
    }
}

bool VValueBag::DumpXMLCData(VString& ioText, const VString& inText) {
    if (!NeedsCDataSection(inText))
        return AppendAllowedInXML(ioText, inText.GetCPointer(), inText.GetLength()) > 0;

    // Filtered first, so that a "]]>" made by dropping a character is split too.
    VString allowed;
    AppendAllowedInXML(allowed, inText.GetCPointer(), inText.GetLength());
    static const VString sSectionEnd("]]>");
    AppendLiteral(ioText, u"<![CDATA[");
    VIndex start = 1;
    for (VIndex found = allowed.FindRawString(sSectionEnd, start); found > 0;
         found = allowed.FindRawString(sSectionEnd, start)) {
        // The piece with its "]]>" closes the section; "]]" then goes out as text and a new section
        // opens holding the ">".
        ioText.AppendUniChars(allowed.GetCPointer() + (start - 1), found + 3 - start);
        AppendLiteral(ioText, u"]]<![CDATA[>");
        start = found + 3;
    }
    ioText.AppendUniChars(allowed.GetCPointer() + (start - 1), allowed.GetLength() + 1 - start);
    AppendLiteral(ioText, u"]]>");
    return true;
}

} // namespace vkit
