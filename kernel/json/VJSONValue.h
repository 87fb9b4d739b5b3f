// VJSONValue: one JSON value (null, boolean, string, number, object, array, undefined or date).
#pragma once

#include "errors/VErrorCodes.h"
#include "text/VString.h"
#include "json/VJSONStringBuffer.h"

#include <atomic>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vkit {

class VJSONObject;
class VJSONArray;
class VTime;
class IFile;

/// The kinds of JSON values, with their stored numbers.
enum EJSONType : uint32_t {
    eJSONNull = 0,
    eJSONFalse = 1,
    eJSONTrue = 2,
    eJSONString = 3,
    eJSONNumber = 4,
    eJSONObject = 5,
    eJSONArray = 6,
    eJSONUndefined = 7,
    eJSONDate = 8
};

/// A small value type (16 bytes): a type, a stamp and a payload. A string shares its UTF-16 buffer
/// with every copy; an object or array is a retained container, so copies share the container.
/// A date holds the year (signed 16-bit) in the high half of a 32-bit word, the month in bits 8 to 15
/// and the day in bits 0 to 7. Values are not synchronised: one task at a time changes a value.
class VJSONValue {
public:
    /// The stamp counter: every construction, copy, assignment and Set... draws the next number. A
    /// plain increment (relaxed load and store, no locked instruction): values made at the same time
    /// on two tasks may draw the same stamp.
    static std::atomic<uint32_t> sStamp;

    /// Shared constants.
    static const VJSONValue sNull;
    static const VJSONValue sTrue;
    static const VJSONValue sFalse;
    static const VJSONValue sUndefined;
    /// Their texts, and the text of any object: "null", "true", "false", "[object Object]".
    static const VString sNullText;
    static const VString sTrueText;
    static const VString sFalseText;
    static const VString sObjectText;

    /// An undefined value.
    VJSONValue() noexcept : fType(eJSONUndefined), fStamp(_NextStamp()) { fPayload.fNumber = 0; }
    /// A string; a null string gives null.
    explicit VJSONValue(const VString& inText);
    explicit VJSONValue(double inNumber) noexcept : fType(eJSONNumber), fStamp(_NextStamp()) {
        fPayload.fNumber = inNumber;
    }
    /// The date of the time's UTC parts; a null time gives null.
    explicit VJSONValue(const VTime& inTime);
    /// The container, retained; a null pointer gives null.
    explicit VJSONValue(VJSONObject* inObject) noexcept;
    explicit VJSONValue(VJSONArray* inArray) noexcept;

    VJSONValue(const VJSONValue& inOther) noexcept
        : fType(inOther.fType), fStamp(_NextStamp()), fPayload(inOther.fPayload) {
        if (_IsShared())
            _RetainPayload();
    }
    VJSONValue(VJSONValue&& inOther) noexcept
        : fType(inOther.fType), fStamp(_NextStamp()), fPayload(inOther.fPayload) {
        inOther.fType = eJSONUndefined;
    }
    VJSONValue& operator=(const VJSONValue& inOther) noexcept;
    VJSONValue& operator=(VJSONValue&& inOther) noexcept;
    ~VJSONValue() {
        if (_IsShared())
            _ReleasePayload();
    }

    EJSONType GetType() const noexcept { return fType; }
    uint32_t GetStamp() const noexcept { return fStamp; }

    bool IsNull() const noexcept { return fType == eJSONNull; }
    bool IsUndefined() const noexcept { return fType == eJSONUndefined; }
    bool IsBool() const noexcept { return fType == eJSONFalse || fType == eJSONTrue; }
    bool IsString() const noexcept { return fType == eJSONString; }
    bool IsNumber() const noexcept { return fType == eJSONNumber; }
    bool IsObject() const noexcept { return fType == eJSONObject; }
    bool IsArray() const noexcept { return fType == eJSONArray; }
    bool IsDate() const noexcept { return fType == eJSONDate; }

    // Setting. Each releases the previous payload (container reference or string buffer).
    void SetNull() noexcept { _Set(eJSONNull); }
    void SetUndefined() noexcept { _Set(eJSONUndefined); }
    /// A null string makes the value null.
    void SetString(const VString& inText);
    /// Takes over the buffer as the string's text (null for the empty string).
    void SetStringBuffer(VJSONStringRef inBuffer) noexcept;
    void SetNumber(double inNumber) noexcept {
        _Set(eJSONNumber);
        fPayload.fNumber = inNumber;
    }
    void SetBool(bool inValue) noexcept { _Set(inValue ? eJSONTrue : eJSONFalse); }
    /// The container, retained; a null pointer gives null.
    void SetObject(VJSONObject* inObject) noexcept;
    void SetArray(VJSONArray* inArray) noexcept;
    /// A date; the parts are stored as given (year cut to 16 bits, month and day to 8).
    void SetDate(int32_t inYear, int32_t inMonth, int32_t inDay) noexcept;
    /// The date of the time's UTC parts (its time of day is dropped); a null time gives null.
    void SetTime(const VTime& inTime);

    // Reading with conversions.
    /// Null and undefined give a null string; false and true "false" and "true"; a string its text; a
    /// number the writer's form; an object "[object Object]"; an array its elements' texts joined with
    /// "," (an array met again inside its own text pushes vkit 900 and adds nothing); a date its JSON
    /// date text ("YYYY-MM-DD").
    void GetString(VString& outText) const;
    /// True 1; a string read as a number ("0x" or "0X" starts hexadecimal digits; otherwise the text's
    /// leading decimal number, 0 when there is none); a number itself; anything else 0.
    double GetNumber() const;
    /// True, objects and arrays are true; a string when it has a buffer (is not empty); a number when
    /// not 0; a date when its word is not 0; everything else false.
    bool GetBool() const noexcept;
    /// The date's parts; false with zeros unless the value is a date.
    bool GetDate(int32_t& outYear, int32_t& outMonth, int32_t& outDay) const noexcept;
    /// The date at midnight UTC; false with a null time unless the value is a date (a date whose parts
    /// are no valid date gives a null time too).
    bool GetTime(VTime& outTime) const;

    /// The string's code units (empty unless the value is a non-empty string).
    std::u16string_view GetStringView() const noexcept {
        return fType == eJSONString && fPayload.fString != nullptr ? fPayload.fString->View()
                                                                   : std::u16string_view();
    }
    /// The string's shared buffer (not retained), null for anything but a non-empty string.
    const VJSONStringBuffer* GetStringBuffer() const noexcept {
        return fType == eJSONString ? fPayload.fString : nullptr;
    }
    /// The container (not retained), null when the value holds none.
    VJSONObject* GetObject() const noexcept { return fType == eJSONObject ? fPayload.fObject : nullptr; }
    VJSONArray* GetArray() const noexcept { return fType == eJSONArray ? fPayload.fArray : nullptr; }

    /// The object's property; undefined when the value is no object or has no such property.
    VJSONValue GetProperty(const VString& inName) const;
    /// Sets the property on the object; does nothing when the value is no object.
    void SetProperty(const VString& inName, const VJSONValue& inValue);

    /// Parses the text into this value with the options 0, 0xC0 with dates, 0x240 with both flags
    /// (VJSONImporter). Returns 0, or vkit 550 after pushing the parse errors.
    [[nodiscard]] VError ParseFromString(const VString& inText, bool inDates = false,
                                         bool inNonAmbiguousDates = false);
    /// Parses the file (UTF-8, see VJSONImporter::ParseFile) with the options 0, or 0xC0 with dates.
    /// Returns 0, the file's error (pushed; the value is then unchanged) or vkit 550.
    [[nodiscard]] VError LoadFromFile(const IFile& inFile, bool inDates = false);
    /// Writes the value with a VJSONWriter of these options and stores the text in the file as UTF-8
    /// (no byte-order mark). Returns 0, vkit 900 for a cycle (nothing written) or the file's error.
    [[nodiscard]] VError SaveToFile(const IFile& inFile, uint32_t inWriterOptions = 0) const;
    /// Writes the value with a VJSONWriter of these options. Returns 0, or vkit 900 (pushed) for a
    /// cycle when the options do not ask for "[circular]"; the text is then empty.
    [[nodiscard]] VError Stringify(VString& outText, uint32_t inOptions = 0) const;

    /// The date word's parts.
    static int32_t DateYear(uint32_t inWord) noexcept { return static_cast<int16_t>(inWord >> 16); }
    static int32_t DateMonth(uint32_t inWord) noexcept { return (inWord >> 8) & 0xFF; }
    static int32_t DateDay(uint32_t inWord) noexcept { return inWord & 0xFF; }
    uint32_t GetDateWord() const noexcept { return fType == eJSONDate ? fPayload.fDate : 0; }

private:
    friend class VJSONWriter;

    union Payload {
        double fNumber;
        VJSONStringBuffer* fString;
        VJSONObject* fObject;
        VJSONArray* fArray;
        uint32_t fDate;
    };

    static uint32_t _NextStamp() noexcept {
        uint32_t stamp = sStamp.load(std::memory_order_relaxed) + 1;
        sStamp.store(stamp, std::memory_order_relaxed);
        return stamp;
    }
    bool _IsShared() const noexcept {
        return (fType == eJSONString && fPayload.fString != nullptr) || fType == eJSONObject ||
               fType == eJSONArray;
    }
    void _Set(EJSONType inType) noexcept {
        if (_IsShared())
            _ReleasePayload();
        fType = inType;
        fStamp = _NextStamp();
        fPayload.fNumber = 0;
    }
    void _RetainPayload() const noexcept;
    void _ReleasePayload() noexcept;
    /// GetString of an array, with the arrays whose text is being made.
    void _GetArrayString(VString& outText, std::vector<const VJSONArray*>& ioOpen) const;

    EJSONType fType;
    uint32_t fStamp;
    Payload fPayload;
};

static_assert(sizeof(VJSONValue) == 16);

} // namespace vkit
