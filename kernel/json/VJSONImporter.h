// VJSONImporter: the JSON parser, its lenient and strict grammars and its error reports.
#pragma once

#include "errors/VErrorCodes.h"
#include "files/VFileTextCodec.h"
#include "text/VString.h"
#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VJSONStringBuffer.h"
#include "json/VJSONValue.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vkit {

class IFile;

/// Parses one JSON value from UTF-16 text. The default grammar is lenient: a quoted string may run to
/// the end of the text, and bare words that are no number, null, true or false are strings (also as
/// property names). Only the first value of the text is read.
///
/// Failures push, on the current task's error context, an error of vkit 551 (invalid token: "found",
/// "expected"), 554 (the text ended where a token was needed: "found" empty, "expected"), 552
/// (unterminated string in strict mode: "token"), 553 (a comma before "}" or "]": "token") or 555
/// (objects and arrays nested deeper than kMaxDepth: "depth"), each followed by vkit 550 with
/// "source" (the source name and ", ", or empty), "line" and "position" of the token at fault; the
/// parse then returns vkit 550. The result keeps what was built before the error (the outermost
/// object or array holding its complete members) unless kUndefinedOnError is given.
///
/// Nesting is followed with an explicit stack, so deep documents never consume the call stack; the
/// depth limit keeps the values it builds within what the writer, which recurses once per level,
/// takes on a task's stack.
/// An importer lives for one parse.
class VJSONImporter {
public:
    /// On any error the result is undefined.
    static constexpr uint32_t kUndefinedOnError = 0x01;
    /// Unterminated strings, bare words and unquoted property names are errors.
    static constexpr uint32_t kStrict = 0x02;
    /// Invalid tokens (551, 554 and their 550) are not pushed; the parse still returns vkit 550.
    static constexpr uint32_t kNoInvalidTokenError = 0x04;
    /// Recording the line of each property path: accepted and ignored (no caller needs it).
    static constexpr uint32_t kPropertyPathLines = 0x08;
    /// Quoted strings that are dates become date values: "!!"-marked XML dates, or with
    /// kNonAmbiguousDates the date-only form "YYYY-MM-DD".
    static constexpr uint32_t kDates = 0x40;
    /// With kDates, ISO dates ("YYYY-MM-DD" optionally followed by a time) become dates too.
    static constexpr uint32_t kISODates = 0x80;
    /// Shared storage locks on the objects: accepted and ignored (objects are not synchronised).
    static constexpr uint32_t kStorageLock = 0x100;
    /// With kDates, date-only texts rather than "!!"-marked ones are dates.
    static constexpr uint32_t kNonAmbiguousDates = 0x200;

    /// Deepest nesting of objects and arrays accepted.
    static constexpr size_t kMaxDepth = 512;

    /// An importer over the text, which must outlive it (a temporary cannot be given).
    VJSONImporter(const VString& inText, uint32_t inOptions = 0) noexcept;
    VJSONImporter(VString&&, uint32_t = 0) = delete;
    VJSONImporter(const VJSONImporter&) = delete;
    VJSONImporter& operator=(const VJSONImporter&) = delete;
    ~VJSONImporter();

    /// The name given as "source" in error reports (a file's path).
    void SetSourceName(const VString& inName) { fSourceName = inName; }

    /// Parses the text into outValue. Returns 0, or vkit 550 after pushing the errors described above.
    [[nodiscard]] VError Parse(VJSONValue& outValue);

    /// Parses a text with these options.
    [[nodiscard]] static VError ParseString(const VString& inText, VJSONValue& outValue,
                                            uint32_t inOptions = 0);
    /// Reads the file as UTF-8 text (a byte-order mark taking precedence) and parses it with these
    /// options, its POSIX path as the source name. A file that cannot be read leaves the value
    /// unchanged and returns the file's error (pushed); no file (null) makes the value undefined and
    /// pushes and returns vkit 1.
    [[nodiscard]] static VError ParseFile(const IFile* inFile, VJSONValue& outValue, uint32_t inOptions = 0);
    /// What a file's content as JSON is: the whole file read as text in inCharSet (a byte-order mark
    /// taking precedence), its line ends made CR, parsed with the option 0x200. The errors are those of
    /// ParseFile.
    [[nodiscard]] static VError ParseFileContent(const IFile& inFile, VJSONValue& outValue,
                                                 CharSet inCharSet);

private:
    enum class Token : uint8_t {
        ObjectStart,
        ObjectEnd,
        ArrayStart,
        ArrayEnd,
        Comma,
        Colon,
        String,
        Word,
        End,
        Failed // an unterminated string in strict mode, already reported
    };
    /// What the parse loop does next.
    enum class Step : uint8_t {
        Value,  // a value is complete
        Opened, // a container was opened: read its first member
        Next,   // a comma was read: read the container's next member
        Failed  // an error was reported
    };
    /// An object or array being read: its members so far are fMembers from fFirstMember on, and fName
    /// names the property whose value is being read.
    struct Frame {
        VJSONValue fContainer;
        VJSONObject* fObject;
        VJSONArray* fArray;
        size_t fFirstMember;
        VJSONStringRef fName;
        uint32_t fNameHash;
    };
    /// A complete member waiting for its container to close (the name is null for array elements).
    struct Member {
        VJSONStringRef fName;
        uint32_t fNameHash;
        VJSONValue fValue;
    };
    /// A property name recently made, shared by the objects of a document that repeat it.
    struct CachedName {
        VJSONStringRef fName;
        uint32_t fHash = 0;
    };
    static constexpr size_t kNameCacheSize = 256;
    /// Members a container keeps pending before they are moved into it.
    static constexpr size_t kMaxPendingMembers = 1024;

    [[nodiscard]] VError _ParseDocument(VJSONValue& ioResult);
    Step _BeginValue(Token inToken, const char* inExpected, const char* inExpectedWord, VJSONValue& outValue);
    Step _ReadMember(bool inFirst, VJSONValue& outValue);
    Step _ReadObjectMember(bool inFirst, VJSONValue& outValue);
    Step _ReadArrayElement(bool inFirst, VJSONValue& outValue);
    Step _AddToContainer(VJSONValue&& ioValue, VJSONValue& outValue);
    Step _Open(bool inObject);
    Step _Close(VJSONValue& outValue);
    /// Moves the frame's pending members, up to inEnd, into its container.
    void _Fill(Frame& ioFrame, size_t inEnd);
    /// Whether the frame's container has a member, pending or moved in.
    bool _HasMembers(const Frame& inFrame) const noexcept {
        return fMembers.size() > inFrame.fFirstMember ||
               (inFrame.fObject != nullptr ? !inFrame.fObject->IsEmpty() : !inFrame.fArray->IsEmpty());
    }
    /// The buffer of a property name (null for the empty name), shared with its last use when the
    /// cache still holds it.
    VJSONStringRef _MakeName(std::u16string_view inName, uint32_t& outHash);

    Token _NextToken();
    Token _ReadString();
    Token _ReadEscapedString(const UniChar* inFrom);
    Token _Unterminated();

    /// Turns a bare word into null, true, false, a number or a string.
    bool _StringToValue(std::u16string_view inWord, const char* inExpected, VJSONValue& outValue);
    /// The string token's value: a date when the options recognise one, else a string.
    void _MakeString(VJSONValue& outValue);
    /// Parses a file's text with its path as the source name.
    [[nodiscard]] static VError _ParseFileText(const IFile& inFile, const VString& inText,
                                               VJSONValue& outValue, uint32_t inOptions);

    std::u16string_view _TokenText(Token inToken) const noexcept;
    Step _Invalid(Token inToken, const char* inExpected);
    void _ThrowInvalidToken(bool inAtEnd, std::u16string_view inFound, const char* inExpected);
    void _ThrowTokenError(VError inError, const char* inToken);
    /// The "line" and "position" of the current token (see the class comment of the error reports).
    void _GetTokenLocation(int32_t& outLine, int32_t& outPosition) const noexcept;
    void _ThrowMalformed();

    const UniChar* fText;
    const UniChar* fEnd;
    const UniChar* fPos;
    const UniChar* fTokenStart;
    uint32_t fOptions;
    VString fSourceName;
    /// The text of the last string or word token: a part of the text, or of fScratch when it had escapes.
    std::u16string_view fToken;
    std::u16string fScratch;
    std::vector<Frame> fStack;
    /// Complete members of the open containers, innermost last: each container is built with its
    /// exact size when it closes.
    std::vector<Member> fMembers;
    std::vector<CachedName> fNameCache;
};

} // namespace vkit
