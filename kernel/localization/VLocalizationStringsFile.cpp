// VLocalizationManager: reading strings files ("key" = "text"; lines) into the key table.
#include "localization/VLocalizationManager.h"

#include "errors/StErrorContextInstaller.h"
#include "files/VFile.h"
#include "files/VFileTextCodec.h"
#include "files/VMemoryBuffer.h"
#include "runtime/StLocker.h"

namespace vkit {

namespace {

/// The character set of a text without byte-order mark, guessed from its first two bytes: a zero
/// byte beside an ASCII character is UTF-16.
CharSet GuessCharSet(const void* inBytes, size_t inSize) {
    const auto* bytes = static_cast<const unsigned char*>(inBytes);
    if (inSize >= 2) {
        if (bytes[0] == 0 && bytes[1] != 0)
            return eCharSetUTF16BigEndian;
        if (bytes[0] != 0 && bytes[1] == 0)
            return eCharSetUTF16LittleEndian;
    }
    return eCharSetUTF8;
}

/// A side of a "key" = "text" entry: trimmed, its surrounding double quotes removed.
VString Side(const VString& inEntry, VIndex inStart, VIndex inLength) {
    VString side;
    inEntry.GetSubString(inStart, inLength, side);
    side.TrimSpaces();
    if (side.GetUniChar(1) == u'"') {
        side.Remove(side.GetLength(), 1);
        side.Remove(1, 1);
    }
    return side;
}

} // namespace

void VLocalizationManager::_LoadStringsFile(const VFile& inFile) {
    VMemoryBuffer content;
    {
        StErrorContextInstaller silent(false, true);
        if (inFile.GetContent(content) != VE_OK)
            return;
    }
    if (!fParseOnFirstUse) {
        _ParseStringsData(content.GetDataPtr(), content.GetDataSize());
        return;
    }
    // Held back with the XLIFF texts, so that the tables take both in the order they were loaded.
    StLocker lock(fLock);
    fPendingTexts.push_back(
        {std::string(static_cast<const char*>(content.GetDataPtr()), content.GetDataSize()), VString(), false,
         true});
    fHasPendingTexts.store(true, std::memory_order_release);
}

void VLocalizationManager::_ParseStringsData(const void* inBytes, size_t inSize) {
    VString text;
    VFileTextCodec::FromBlockWithOptionalBOM(inBytes, inSize, GuessCharSet(inBytes, inSize), text);
    VIndex length = text.GetLength();
    VString entry;
    for (VIndex start = 1; start <= length;) {
        VIndex end = text.FindUniChar(u'\n', start);
        if (end == 0)
            end = length + 1;
        VIndex lineStart = start;
        VIndex lineLength = end - start;
        if (lineLength > 0 && text.GetUniChar(end - 1) == u'\r')
            --lineLength;
        start = end + 1;
        if (lineLength < 1)
            continue;
        // The last character is the ";" that ends the entry; an entry of exactly two parts is kept.
        text.GetSubString(lineStart, lineLength - 1, entry);
        VIndex equal = entry.FindUniChar(u'=');
        if (equal == 0 || entry.FindUniChar(u'=', equal + 1) != 0)
            continue;
        VString key = Side(entry, 1, equal - 1);
        VString value = Side(entry, equal + 1, entry.GetLength() - equal);
        if (!key.IsEmpty() && !value.IsEmpty())
            InsertKeyString(key, value, true);
    }
}

} // namespace vkit
