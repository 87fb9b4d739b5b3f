// VTimeTextScanner: reads the numbers and words of short date, time and duration texts.
#pragma once

#include <cstdint>

namespace vkit {

class VString;

/// A cursor over a short text (at most 255 code units) read the way the C library's sscanf reads
/// "%d" and "%lf" conversions, but with "." as decimal point whatever the process locale and without
/// overflow: the date, time and duration forms are defined by such conversions.
class VTimeTextScanner {
public:
    /// Longest text read, in code units.
    static constexpr int32_t kMaxLength = 255;

    /// Copies the text; code units beyond ASCII become '?', which no conversion accepts.
    explicit VTimeTextScanner(const VString& inText);

    /// False when the text was longer than kMaxLength (the scanner then holds an empty text).
    bool IsValid() const noexcept { return fValid; }
    int32_t GetLength() const noexcept { return fLength; }
    /// The character at a position counted from 1, 0 out of range.
    char At(int32_t inPosition) const noexcept {
        return inPosition >= 1 && inPosition <= fLength ? fText[inPosition - 1] : 0;
    }
    /// The position (from 1) of the first inChar at or after inStart, 0 when absent.
    int32_t Find(char inChar, int32_t inStart = 1) const noexcept;

    /// The position of the next character to read, counted from 1.
    int32_t GetPosition() const noexcept { return fPosition + 1; }
    void SetPosition(int32_t inPosition) noexcept;
    bool AtEnd() const noexcept { return fPosition >= fLength; }

    /// Reads as sscanf does: "%d" and "%Nd" store an int32_t (through int32_t*), "%lf" a double
    /// (through double*), white space matches any run of white space and any other character matches
    /// itself. Returns the number of conversions stored before the first mismatch.
    int Scan(const char* inFormat, ...) noexcept;

    /// "%Nd": skips white space, then reads an optional sign and decimal digits, at most inWidth
    /// characters in all (0: no limit). Values beyond 32 bits saturate. False (nothing consumed
    /// beyond the white space) when no digit follows.
    bool ReadInteger(int32_t& outValue, int32_t inWidth = 0) noexcept;
    /// "%lf": skips white space and reads a real with "." as decimal point. False when none follows.
    bool ReadReal(double& outValue) noexcept;
    /// Skips white space, then consumes inChar when it comes next; false otherwise.
    bool ReadChar(char inChar) noexcept;
    /// Skips white space, then reads a run of ASCII letters in lower case into outWord (cut at
    /// inCapacity - 1, 0-terminated). False when no letter follows.
    bool ReadWord(char* outWord, int32_t inCapacity) noexcept;
    void SkipSpaces() noexcept;

private:
    char fText[kMaxLength + 1];
    int32_t fLength = 0;
    int32_t fPosition = 0;
    bool fValid = true;
};

} // namespace vkit
