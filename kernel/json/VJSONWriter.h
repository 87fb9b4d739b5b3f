// VJSONWriter: writes JSON values as text, with quoting, escaping, pretty printing and cycle checks.
#pragma once

#include "errors/VErrorCodes.h"
#include "text/VString.h"
#include "json/VJSONValue.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vkit {

class VJSONObject;
class VJSONArray;

/// Writes one value. Null and undefined are "null"; numbers as AppendNumber; strings and property
/// names escaped (and quoted with kQuoteStrings); dates as "YYYY-MM-DD"; objects with their
/// properties in insertion order. Containers are written recursively: the stack taken grows with the
/// nesting (parsed values are at most VJSONImporter::kMaxDepth deep). A writer lives for one output.
class VJSONWriter {
public:
    /// Strings and property names between double quotes. Without it they are written bare, which
    /// is a display form rather than JSON.
    static constexpr uint32_t kQuoteStrings = 0x01;
    /// Each element and property on its own line, indented with one tab per level; a blank after
    /// each colon.
    static constexpr uint32_t kPretty = 0x08;
    /// Also "&" and "'" as \u0026 and \u0027.
    static constexpr uint32_t kEscapeAmpersandApostrophe = 0x400;
    /// A container met again inside itself is written "\"[circular]\"" instead of failing.
    static constexpr uint32_t kCircularAsText = 0x2000;
    /// The output stops after 512 characters and ends with "...".
    static constexpr uint32_t kCutAt512 = 0x4000;

    /// Characters kept when kCutAt512 is given.
    static constexpr size_t kCutLength = 512;

    explicit VJSONWriter(uint32_t inOptions = 0) : fOptions(inOptions) {}
    VJSONWriter(const VJSONWriter&) = delete;
    VJSONWriter& operator=(const VJSONWriter&) = delete;

    /// Writes the value into outText. Returns 0, or vkit 900 (pushed) when a container holds itself
    /// and kCircularAsText is not given; outText is then empty.
    [[nodiscard]] VError StringifyValue(const VJSONValue& inValue, VString& outText);

    /// Appends a number: an integer within ±(2^53 - 1) in decimal, any other finite number as "%.14G"
    /// with "." as decimal point (whatever the locale), infinities and NaN as "null".
    static void AppendNumber(double inNumber, std::u16string& ioText);
    /// Appends a date word as "YYYY-MM-DD".
    static void AppendDate(uint32_t inDateWord, std::u16string& ioText);
    /// Appends a text with the escapes of JSON strings (no quotes).
    static void AppendEscaped(std::u16string_view inText, bool inEscapeAmpersandApostrophe,
                              std::u16string& ioText);

    /// Pushes vkit 900: a container met again inside itself.
    static void ThrowCircularReference();

private:
    /// Each returns false once the output must stop (a cycle error, or the cut reached).
    bool _WriteValue(const VJSONValue& inValue);
    bool _WriteObject(const VJSONObject& inObject);
    bool _WriteArray(const VJSONArray& inArray);
    void _WriteString(std::u16string_view inText);
    /// Handles a container already being written; false when the output must stop.
    bool _WriteCircular();
    void _NewLine();
    bool _Continue() const noexcept { return !fFailed && !_CutReached(); }
    bool _CutReached() const noexcept { return (fOptions & kCutAt512) != 0 && fOut.size() > kCutLength; }
    bool _IsOpen(const void* inContainer) const noexcept;

    uint32_t fOptions;
    int32_t fLevel = 0;
    bool fFailed = false;
    /// The line break and indentation of the current level (pretty printing).
    std::u16string fLineBreak = u"\n";
    /// The containers being written, outermost first.
    std::vector<const void*> fOpen;
    std::u16string fOut;
};

} // namespace vkit
