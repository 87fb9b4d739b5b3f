// VURL: the relative conversion rules between POSIX and native text, and the style dispatch.
#include "files/VURL.h"

#include "platform/posix/files/XPosixPath.h"

#include <string_view>

namespace vkit {

namespace {

using View = std::u16string_view;

void ExchangeUnit(VString& ioText, UniChar inFrom, UniChar inTo) {
    UniChar* text = ioText.GetCPointerForWrite();
    for (VIndex i = 0; i < ioText.GetLength(); ++i) {
        if (text[i] == inFrom)
            text[i] = inTo;
    }
}

void AppendRepeated(VString& ioText, View inUnit, size_t inCount) {
    for (size_t i = 0; i < inCount; ++i)
        ioText.AppendUniChars(inUnit.data(), static_cast<VIndex>(inUnit.size()));
}

/// The relative POSIX-to-native rule: scanning left to right, "./" and "../" steps at the start or right
/// after a "/" are skipped, "../" and "/" each add one pending separator, and every other code unit first
/// writes the pending separators as ":" ("/" for ":").
void PosixRelativeToNative(View inText, VString& outText) {
    outText.Clear();
    outText.EnsureSize(static_cast<VIndex>(inText.size()));
    size_t pending = 0;
    bool atStepStart = true;
    size_t i = 0;
    while (i < inText.size()) {
        if (atStepStart) {
            View rest = inText.substr(i);
            if (rest.starts_with(u"./")) {
                i += 2;
                continue;
            }
            if (rest.starts_with(u"../")) {
                ++pending;
                i += 3;
                continue;
            }
        }
        UniChar unit = inText[i++];
        if (unit == u'/') {
            ++pending;
            atStepStart = true;
            continue;
        }
        AppendRepeated(outText, u":", pending);
        pending = 0;
        outText.AppendUniChar(unit == u':' ? u'/' : unit);
        atStepStart = false;
    }
    AppendRepeated(outText, u":", pending);
}

/// The relative native-to-POSIX rule (see VURL::HFS_to_POSIX).
void NativeRelativeToPosix(View inText, VString& outText) {
    outText.Clear();
    if (inText == u":")
        return;
    outText.EnsureSize(static_cast<VIndex>(inText.size() * 3));
    size_t i = 0;
    while (i < inText.size() && inText[i] == u':')
        ++i;
    AppendRepeated(outText, u"../", i);
    while (i < inText.size()) {
        UniChar unit = inText[i];
        if (unit != u':') {
            outText.AppendUniChar(unit == u'/' ? u':' : unit);
            ++i;
            continue;
        }
        size_t run = 0;
        while (i < inText.size() && inText[i] == u':') {
            ++run;
            ++i;
        }
        outText.AppendUniChar(u'/');
        AppendRepeated(outText, u"../", run - 1);
    }
}

} // namespace

void VURL::Convert(VString& ioText, EURLPathStyle inFrom, EURLPathStyle inTo, bool inRelative) {
    if (inFrom == EURLPathStyle::Posix && inTo == EURLPathStyle::Hfs)
        POSIX_to_HFS(ioText);
    else if (inFrom == EURLPathStyle::Hfs && inTo == EURLPathStyle::Posix)
        HFS_to_POSIX(ioText, inRelative);
    else if (inFrom == EURLPathStyle::Posix && inTo == EURLPathStyle::Windows)
        ExchangeUnit(ioText, u'/', u'\\');
    else if (inFrom == EURLPathStyle::Windows && inTo == EURLPathStyle::Posix)
        ExchangeUnit(ioText, u'\\', u'/');
}

void VURL::POSIX_to_HFS(VString& ioText) {
    VString converted;
    if (ioText.GetUniChar(1) == u'/')
        XPosixPath::PosixToNative(ioText.View(), false, converted);
    else
        PosixRelativeToNative(ioText.View(), converted);
    ioText = std::move(converted);
}

void VURL::HFS_to_POSIX(VString& ioText, bool inRelative) {
    VString converted;
    if (inRelative)
        NativeRelativeToPosix(ioText.View(), converted);
    else
        XPosixPath::NativeToPosix(ioText.View(), converted);
    ioText = std::move(converted);
}

} // namespace vkit
