// VString::Format: fills the placeholders "{Name}" of a text with the attributes of a bag.
#include "bags/StPackedDictionaryKey.h"
#include "bags/VValueBag.h"
#include "text/VString.h"

#include <string>

namespace vkit {

namespace {

/// Reads the attribute named by inLength code units; false when the bag has none of that name.
bool GetAttributeText(const VValueBag& inBag, const UniChar* inName, VIndex inLength, VString& outText) {
    // Names are nearly always short ASCII: converted on the stack.
    char ascii[64];
    if (inLength <= static_cast<VIndex>(sizeof(ascii))) {
        VIndex i = 0;
        while (i < inLength && inName[i] < 0x80) {
            ascii[i] = static_cast<char>(inName[i]);
            ++i;
        }
        if (i == inLength)
            return inBag.GetString(StPackedDictionaryKey(ascii, static_cast<size_t>(inLength)), outText);
    }
    std::string utf8 = VString(inName, inLength).ToUTF8();
    return inBag.GetString(StPackedDictionaryKey(utf8.data(), utf8.size()), outText);
}

} // namespace

VString& VString::Format(const VValueBag* inBag, bool inRemoveMissing) {
    if (inBag == nullptr || inBag->IsEmpty() || GetLength() < 2)
        return *this;
    VString value;
    VIndex position = 1; // 1-based, where the scan goes on
    while (position <= GetLength()) {
        VIndex open = FindUniChar(u'{', position);
        if (open == 0)
            break;
        if (GetUniChar(open + 1) == u'{') {
            position = open + 2;
            continue;
        }
        VIndex close = FindUniChar(u'}', open + 1);
        if (close == 0)
            break;
        if (GetUniChar(close + 1) == u'}') {
            position = close + 2;
            continue;
        }
        const VIndex nameLength = close - open - 1;
        const std::u16string_view name =
            View().substr(static_cast<size_t>(open), static_cast<size_t>(nameLength));
        // An empty name or one with a space is not a placeholder.
        if (name.empty() || name.find(u' ') != std::u16string_view::npos) {
            position = close + 1;
            continue;
        }
        if (GetAttributeText(*inBag, name.data(), nameLength, value)) {
            // The inserted text is not scanned again.
            Replace(value, open, nameLength + 2);
            position = open + value.GetLength();
        } else if (inRemoveMissing) {
            Remove(open, nameLength + 2);
            position = open;
        } else {
            position = close + 1;
        }
    }
    return *this;
}

} // namespace vkit
