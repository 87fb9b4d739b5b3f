// Fuzz target for JSON texts: lenient and strict parses, their error reports, and written round trips.
#include "bags/VValueBag.h"
#include "errors/StErrorContextInstaller.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorContext.h"
#include "fuzz/FuzzCheck.h"
#include "runtime/VTaskMgr.h"
#include "json/VJSONArray.h"
#include "json/VJSONErrorCodes.h"
#include "json/VJSONImporter.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "json/VJSONWriter.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace vkit;

namespace {

constexpr size_t kMaxLength = 64 * 1024;

using fuzzing::Check;

/// A failed parse ends its reports with 550, right after one of the reports it follows.
void CheckReports(const VErrorContext& inContext, VError inResult, uint32_t inOptions) {
    const std::vector<VErrorBase*>& errors = inContext.GetErrors();
    if (inResult == VE_OK) {
        Check(errors.empty());
        return;
    }
    Check(inResult == VE_JSON_MALFORMED);
    if (errors.empty()) {
        // Only an invalid token can go unreported.
        Check((inOptions & VJSONImporter::kNoInvalidTokenError) != 0);
        return;
    }
    Check(errors.size() == 2);
    Check(errors[1]->GetError() == VE_JSON_MALFORMED);
    VError cause = errors[0]->GetError();
    Check(cause >= VE_JSON_INVALID_TOKEN && cause <= VE_JSON_TOO_DEEP);
    int32_t line = 0;
    int32_t position = 0;
    Check(errors[1]->GetBag().GetLong("line", line) && line >= 1);
    Check(errors[1]->GetBag().GetLong("position", position) && position >= 1);
}

/// Whether a value read back from the writer's text is the value written: the same structure, the
/// same strings, numbers equal to the 14 digits written, non-finite numbers and undefined as null,
/// and dates as their text.
bool SameValue(const VJSONValue& inWritten, const VJSONValue& inRead) {
    if (inWritten.IsDate()) {
        VString text;
        inWritten.GetString(text);
        return inRead.IsString() && inRead.GetStringView() == text.View();
    }
    if (inWritten.IsUndefined() || (inWritten.IsNumber() && !std::isfinite(inWritten.GetNumber())))
        return inRead.IsNull();
    if (inWritten.GetType() != inRead.GetType())
        return false;
    if (inWritten.IsNumber()) {
        double a = inWritten.GetNumber();
        double b = inRead.GetNumber();
        return a == b || std::fabs(a - b) <= 1e-13 * std::max(std::fabs(a), std::fabs(b));
    }
    if (inWritten.IsString())
        return inWritten.GetStringView() == inRead.GetStringView();
    if (const VJSONArray* written = inWritten.GetArray()) {
        const VJSONArray& read = *inRead.GetArray();
        if (written->GetCount() != read.GetCount())
            return false;
        for (size_t i = 0; i < written->GetCount(); ++i)
            if (!SameValue((*written)[i], read[i]))
                return false;
        return true;
    }
    if (const VJSONObject* written = inWritten.GetObject()) {
        const VJSONObject& read = *inRead.GetObject();
        if (written->GetCountPropertiesByIndex() != read.GetCountPropertiesByIndex())
            return false;
        for (size_t i = 0; i < static_cast<size_t>(written->GetCountPropertiesByIndex()); ++i)
            if (written->GetNameAt(i) != read.GetNameAt(i) ||
                !SameValue(written->GetValueAt(i), read.GetValueAt(i)))
                return false;
        return true;
    }
    return true;
}

/// Writes the value and checks that the text reads back strictly as the same value, and that writing
/// what was read gives a text that no further round trip changes (numbers are written with 14 digits,
/// so the first text may differ from the second: 2111111111111111.5 is written 2.1111111111111E+15,
/// which reads back as an integer).
void CheckRoundTrip(const VJSONValue& inValue, uint32_t inWriterOptions) {
    VString written;
    Check(inValue.Stringify(written, inWriterOptions) == VE_OK);
    VJSONValue again;
    Check(VJSONImporter::ParseString(written, again, VJSONImporter::kStrict) == VE_OK);
    Check(SameValue(inValue, again));
    VString rewritten;
    Check(again.Stringify(rewritten, inWriterOptions) == VE_OK);
    VJSONValue third;
    Check(VJSONImporter::ParseString(rewritten, third, VJSONImporter::kStrict) == VE_OK);
    VString stable;
    Check(third.Stringify(stable, inWriterOptions) == VE_OK);
    Check(stable == rewritten);
}

void FuzzText(const VString& inText, uint32_t inOptions) {
    StErrorContextInstaller errors(false);
    VJSONValue value;
    VJSONImporter importer(inText, inOptions);
    importer.SetSourceName(VString("fuzz"));
    VError result = importer.Parse(value);
    CheckReports(*errors.GetContext(), result, inOptions);
    if (result != VE_OK && (inOptions & VJSONImporter::kUndefinedOnError) != 0)
        Check(value.IsUndefined());

    CheckRoundTrip(value, VJSONWriter::kQuoteStrings);
    CheckRoundTrip(value, VJSONWriter::kQuoteStrings | VJSONWriter::kPretty |
                              VJSONWriter::kEscapeAmpersandApostrophe);
    // The display forms only have to be made.
    VString text;
    Check(value.Stringify(text, VJSONWriter::kCutAt512) == VE_OK);
    Check(text.GetLength() <= static_cast<VIndex>(VJSONWriter::kCutLength + 3));
    value.GetString(text);
    (void)value.GetNumber();
    (void)value.GetBool();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Errors are recorded only on a task of a task manager with the error layer up.
    Check(VTaskMgr::Init());
    VErrorBase::Init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize) {
    if (inSize < 1 || inSize > kMaxLength)
        return 0;
    // The first byte picks the extra options; the rest is the text, read as UTF-8 and as UTF-16.
    uint8_t selector = inData[0];
    uint32_t extra = 0;
    if (selector & 1)
        extra |= VJSONImporter::kUndefinedOnError;
    if (selector & 2)
        extra |= VJSONImporter::kNoInvalidTokenError;
    if (selector & 4)
        extra |= VJSONImporter::kDates | VJSONImporter::kISODates;
    if (selector & 8)
        extra |= VJSONImporter::kDates | VJSONImporter::kNonAmbiguousDates;
    const char* bytes = reinterpret_cast<const char*>(inData + 1);
    size_t length = inSize - 1;

    VString utf8(bytes, length);
    std::vector<UniChar> units(length / 2);
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<UniChar>(static_cast<uint8_t>(bytes[2 * i]) |
                                        (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
    VString utf16(static_cast<const UniChar*>(units.data()), static_cast<VIndex>(units.size()));

    for (const VString* text : {&utf8, &utf16}) {
        FuzzText(*text, extra);
        FuzzText(*text, extra | VJSONImporter::kStrict);
    }
    return 0;
}
