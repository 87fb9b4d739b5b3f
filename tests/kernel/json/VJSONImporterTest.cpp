// Tests of the JSON parser: grammar, lenient and strict modes, numbers, escapes, error reports.
#include "JSONTestSupport.h"

#include "files/VFile.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "json/VJSONArray.h"
#include "json/VJSONErrorCodes.h"
#include "json/VJSONImporter.h"
#include "json/VJSONObject.h"
#include "json/VJSONWriter.h"

#include "support/VTestTempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace vkit;
using namespace vkit::testing;

namespace {

const char* const kExpectedValue = "\" 0-9 null true false { [";
const char* const kExpectedElement = "\" 0-9 null true false { [ ]";

constexpr uint32_t kStrict = VJSONImporter::kStrict;

/// The number of a property, NaN when it is not a number.
double NumberAt(const VJSONValue& inObject, const char* inName) {
    VJSONValue value = inObject.GetProperty(inName);
    return value.IsNumber() ? value.GetNumber() : NAN;
}

double ParseNumber(const std::string& inText) {
    ParseOutcome outcome = Parse(inText);
    EXPECT_EQ(outcome.fResult, VE_OK) << inText;
    EXPECT_TRUE(outcome.fValue.IsNumber()) << inText;
    return outcome.fValue.GetNumber();
}

/// Expects exactly one invalid-token report (and its 550) with these texts.
void ExpectInvalidToken(const ParseOutcome& inOutcome, const std::string& inFound,
                        const std::string& inExpected) {
    EXPECT_EQ(inOutcome.fResult, VE_JSON_MALFORMED);
    ASSERT_EQ(inOutcome.Codes(), (std::vector<int32_t>{551, 550}));
    EXPECT_EQ(inOutcome.fErrors[0].fFound, inFound);
    EXPECT_EQ(inOutcome.fErrors[0].fExpected, inExpected);
}

} // namespace

TEST(VJSONImporterTest, CommaBeforeClosingBraceFailsButKeepsTheObject) {
    ParseOutcome outcome = Parse("{\"a\":1,}");
    EXPECT_EQ(outcome.fResult, VE_JSON_MALFORMED);
    ASSERT_EQ(outcome.Codes(), (std::vector<int32_t>{553, 550}));
    EXPECT_EQ(outcome.fErrors[0].fToken, "}");
    EXPECT_EQ(outcome.fErrors[1].fLine, 1);
    EXPECT_EQ(outcome.fErrors[1].fPosition, 8);
    ASSERT_TRUE(outcome.fValue.IsObject());
    EXPECT_EQ(NumberAt(outcome.fValue, "a"), 1);

    ParseOutcome array = Parse("[1,2,]");
    ASSERT_EQ(array.Codes(), (std::vector<int32_t>{553, 550}));
    EXPECT_EQ(array.fErrors[0].fToken, "]");
    ASSERT_TRUE(array.fValue.IsArray());
    EXPECT_EQ(array.fValue.GetArray()->GetCount(), 2u);
}

TEST(VJSONImporterTest, EmptyContainersAreNoTrailingComma) {
    ParseOutcome outcome = Parse(" { \"a\" : [ ] , \"b\" : { } } ");
    ASSERT_EQ(outcome.fResult, VE_OK);
    EXPECT_TRUE(outcome.fValue.GetProperty("a").IsArray());
    EXPECT_TRUE(outcome.fValue.GetProperty("b").IsObject());
    EXPECT_TRUE(outcome.fErrors.empty());
}

TEST(VJSONImporterTest, UnquotedNamesAreLenientOnly) {
    ParseOutcome lenient = Parse("{a:1}");
    ASSERT_EQ(lenient.fResult, VE_OK);
    EXPECT_EQ(NumberAt(lenient.fValue, "a"), 1);

    ParseOutcome strict = Parse("{a:1}", kStrict);
    ExpectInvalidToken(strict, "a", "\"");
    // The object is the result even though its first name failed.
    ASSERT_TRUE(strict.fValue.IsObject());
    EXPECT_TRUE(strict.fValue.GetObject()->IsEmpty());
}

TEST(VJSONImporterTest, MissingSeparatorsNameWhatWasFoundAndExpected) {
    ParseOutcome array = Parse("[1 2]");
    ExpectInvalidToken(array, "2", "] ,");
    ASSERT_TRUE(array.fValue.IsArray());
    EXPECT_EQ(array.fValue.GetArray()->GetCount(), 1u);

    ExpectInvalidToken(Parse("{\"a\":1 \"b\":2}"), "b", "} ,");
    ExpectInvalidToken(Parse("{,}"), ",", "\" }");
    ExpectInvalidToken(Parse("{\"a\":1,,}"), ",", "\"");
    ExpectInvalidToken(Parse("[,1]"), ",", kExpectedElement);
    ExpectInvalidToken(Parse("[1,,]"), ",", kExpectedValue);
    ExpectInvalidToken(Parse("{\"a\":}"), "}", kExpectedValue);
    ExpectInvalidToken(Parse("]"), "]", kExpectedValue);
}

TEST(VJSONImporterTest, MissingColonShowsOnlyTheFirstCharacterThere) {
    ExpectInvalidToken(Parse("{\"a\" 123}"), "1", ":");
    ExpectInvalidToken(Parse("{\"a\"  \"long\"}"), "\"", ":");
    ParseOutcome atEnd = Parse("{\"a\"  ");
    ASSERT_EQ(atEnd.Codes(), (std::vector<int32_t>{554, 550}));
    EXPECT_TRUE(atEnd.fErrors[0].fHasFound);
    EXPECT_EQ(atEnd.fErrors[0].fFound, "");
    EXPECT_EQ(atEnd.fErrors[0].fExpected, ":");
}

TEST(VJSONImporterTest, BareWordsAreStringsInLenientModeOnly) {
    ParseOutcome hello = Parse("hello");
    ASSERT_EQ(hello.fResult, VE_OK);
    ASSERT_TRUE(hello.fValue.IsString());
    EXPECT_EQ(TextOf(hello.fValue), "hello");

    ParseOutcome words = Parse("[null, true, false, nullx, True, .5, +1, h\xC3\xA9llo]");
    ASSERT_EQ(words.fResult, VE_OK);
    const VJSONArray& array = *words.fValue.GetArray();
    ASSERT_EQ(array.GetCount(), 8u);
    EXPECT_TRUE(array[0].IsNull());
    EXPECT_EQ(array[1].GetType(), eJSONTrue);
    EXPECT_EQ(array[2].GetType(), eJSONFalse);
    EXPECT_EQ(TextOf(array[3]), "nullx");
    EXPECT_EQ(TextOf(array[4]), "True");
    EXPECT_EQ(TextOf(array[5]), ".5");
    EXPECT_EQ(TextOf(array[6]), "+1");
    EXPECT_EQ(TextOf(array[7]), "h\xC3\xA9llo");

    // A word ends at a delimiter, which starts the next token.
    ParseOutcome glued = Parse("{a:b,c:d}");
    ASSERT_EQ(glued.fResult, VE_OK);
    EXPECT_EQ(TextOf(glued.fValue.GetProperty("a")), "b");
    EXPECT_EQ(TextOf(glued.fValue.GetProperty("c")), "d");

    ExpectInvalidToken(Parse("hello", kStrict), "hello", kExpectedValue);
    ExpectInvalidToken(Parse("{\"a\":hello}", kStrict), "hello", kExpectedValue);
    // Inside arrays a bare word is reported with the array's expected text, even after a comma.
    ExpectInvalidToken(Parse("[hello]", kStrict), "hello", kExpectedElement);
    ExpectInvalidToken(Parse("[1, hello]", kStrict), "hello", kExpectedElement);
    EXPECT_EQ(Parse("[null,true,false]", kStrict).fResult, VE_OK);
}

TEST(VJSONImporterTest, NumbersFollowTheJSONGrammar) {
    EXPECT_EQ(ParseNumber("1.5e+3"), 1500);
    EXPECT_EQ(ParseNumber("-0.5E-2"), -0.005);
    EXPECT_EQ(ParseNumber("2e\xE2\x88\x92"
                          "2"),
              0.02); // Unicode minus in the exponent
    EXPECT_EQ(ParseNumber("0"), 0);
    EXPECT_TRUE(std::signbit(ParseNumber("-0")));
    EXPECT_EQ(ParseNumber("0.1"), 0.1);
    EXPECT_EQ(ParseNumber("123456789012345"), 123456789012345.0);
    EXPECT_EQ(ParseNumber("12345678901234567890"), 12345678901234567890.0);
    EXPECT_EQ(ParseNumber("-9007199254740993"), -9007199254740992.0); // rounded to nearest even
    EXPECT_EQ(ParseNumber("1e400"), INFINITY);
    EXPECT_EQ(ParseNumber("-1e400"), -INFINITY);
    EXPECT_EQ(ParseNumber("1e-400"), 0);
    EXPECT_EQ(ParseNumber("4.9406564584124654e-324"), 4.9406564584124654e-324);

    for (const char* bad : {"01", "1.", "-", "1e", "1e+", "1.e5", "-.5", "1x", "0x1F", "1-2", "--1", "1e5.5"})
        ExpectInvalidToken(Parse(bad), bad, "+- 0-9 eE");
    // Number words fail in lenient mode too, and inside containers with the same expected text.
    ExpectInvalidToken(Parse("[1, 01]"), "01", "+- 0-9 eE");
}

TEST(VJSONImporterTest, StringEscapes) {
    ParseOutcome outcome = Parse(R"(["\u00e9\u00C9", "\x", "\"\\\/", "\b\f\n\r\t", "\uZZ12", "\u12"])");
    ASSERT_EQ(outcome.fResult, VE_OK);
    const VJSONArray& array = *outcome.fValue.GetArray();
    EXPECT_EQ(array[0].GetStringView(), u"\u00e9\u00c9");
    EXPECT_EQ(array[1].GetStringView(), u"x");
    EXPECT_EQ(array[2].GetStringView(), u"\"\\/");
    EXPECT_EQ(array[3].GetStringView(), u"\b\f\n\r\t");
    // A \u without four hex digits gives the "u" itself.
    EXPECT_EQ(array[4].GetStringView(), u"uZZ12");
    EXPECT_EQ(array[5].GetStringView(), u"u12");
}

TEST(VJSONImporterTest, NulCharactersAreDroppedAndOtherControlsKept) {
    const UniChar text[] = {u'"', u'a', 0, u'b', u'\t', u'c', 1, u'"'};
    ParseOutcome outcome = ParseText(VString(text, 8));
    ASSERT_EQ(outcome.fResult, VE_OK);
    EXPECT_EQ(outcome.fValue.GetStringView(), std::u16string_view(u"ab\tc\x01"));
}

TEST(VJSONImporterTest, ErrorLineAndPositionWithLineFeeds) {
    ParseOutcome outcome = Parse("[\n1,\n    x]", kStrict);
    ASSERT_EQ(outcome.Codes(), (std::vector<int32_t>{551, 550}));
    EXPECT_EQ(outcome.fErrors[1].fLine, 3);
    EXPECT_EQ(outcome.fErrors[1].fPosition, 5);
    EXPECT_EQ(outcome.fErrors[1].fSource, "");

    ParseOutcome first = Parse("  }");
    EXPECT_EQ(first.fErrors[1].fLine, 1);
    EXPECT_EQ(first.fErrors[1].fPosition, 3);
}

TEST(VJSONImporterTest, ErrorLineAndPositionWithCarriageReturns) {
    ParseOutcome crOnly = Parse("[\r1,\r    x]", kStrict);
    ASSERT_EQ(crOnly.Codes(), (std::vector<int32_t>{551, 550}));
    EXPECT_EQ(crOnly.fErrors[1].fLine, 3);
    EXPECT_EQ(crOnly.fErrors[1].fPosition, 5);

    // With CRLF both counts are equal, so the line starts after the last carriage return: its line
    // feed is counted in the position.
    ParseOutcome crlf = Parse("[\r\n1,\r\n    x]", kStrict);
    ASSERT_EQ(crlf.Codes(), (std::vector<int32_t>{551, 550}));
    EXPECT_EQ(crlf.fErrors[1].fLine, 3);
    EXPECT_EQ(crlf.fErrors[1].fPosition, 6);

    // Mixed ends: the larger count numbers the lines.
    ParseOutcome mixed = Parse("[\n\n\r1,\n  x]", kStrict);
    EXPECT_EQ(mixed.fErrors[1].fLine, 4);
    EXPECT_EQ(mixed.fErrors[1].fPosition, 3);
}

TEST(VJSONImporterTest, SourceNameIsFollowedByAComma) {
    ParseOutcome outcome = ParseText(VString("[1 2]"), 0, "/etc/client.json");
    ASSERT_EQ(outcome.fErrors.size(), 2u);
    EXPECT_EQ(outcome.fErrors[1].fSource, "/etc/client.json, ");
}

TEST(VJSONImporterTest, UnterminatedStrings) {
    ParseOutcome lenient = Parse("\"abc");
    ASSERT_EQ(lenient.fResult, VE_OK);
    EXPECT_EQ(lenient.fValue.GetStringView(), u"abc");
    ParseOutcome escaped = Parse("\"a\\u00e9\\");
    ASSERT_EQ(escaped.fResult, VE_OK);
    EXPECT_EQ(escaped.fValue.GetStringView(), u"a\u00e9");

    // Inside an object the string is the value, then the end of the text is the error.
    ParseOutcome inObject = Parse("{\"a\":\"xyz");
    ASSERT_EQ(inObject.Codes(), (std::vector<int32_t>{554, 550}));
    EXPECT_EQ(inObject.fErrors[0].fExpected, "} ,");
    EXPECT_EQ(TextOf(inObject.fValue.GetProperty("a")), "xyz");

    ParseOutcome strict = Parse("[1,\n  \"abc", kStrict);
    EXPECT_EQ(strict.fResult, VE_JSON_MALFORMED);
    ASSERT_EQ(strict.Codes(), (std::vector<int32_t>{552, 550}));
    EXPECT_EQ(strict.fErrors[0].fToken, "\"");
    EXPECT_EQ(strict.fErrors[1].fLine, 2);
    EXPECT_EQ(strict.fErrors[1].fPosition, 3);
    EXPECT_EQ(strict.fValue.GetArray()->GetCount(), 1u);

    // Where a colon is expected the tokenizer's report is the only one.
    EXPECT_EQ(Parse("{\"a\" \"b", kStrict).Codes(), (std::vector<int32_t>{552, 550}));
    EXPECT_TRUE(Parse("\"abc", kStrict).fValue.IsUndefined());
}

TEST(VJSONImporterTest, EmptyTextIsAnInvalidTokenAtTheEnd) {
    for (const char* text : {"", "  \t "}) {
        ParseOutcome outcome = Parse(text);
        EXPECT_EQ(outcome.fResult, VE_JSON_MALFORMED);
        ASSERT_EQ(outcome.Codes(), (std::vector<int32_t>{554, 550}));
        EXPECT_TRUE(outcome.fErrors[0].fHasFound);
        EXPECT_EQ(outcome.fErrors[0].fFound, "");
        EXPECT_EQ(outcome.fErrors[0].fExpected, kExpectedValue);
        EXPECT_TRUE(outcome.fValue.IsUndefined());
    }
    ParseOutcome blankLines = Parse("\n\n  ");
    EXPECT_EQ(blankLines.fErrors[1].fLine, 3);
    EXPECT_EQ(blankLines.fErrors[1].fPosition, 3);
    ParseOutcome unclosed = Parse("[1,");
    ASSERT_EQ(unclosed.Codes(), (std::vector<int32_t>{554, 550}));
    EXPECT_EQ(unclosed.fErrors[0].fExpected, kExpectedValue);
}

TEST(VJSONImporterTest, DeepNestingIsAnErrorNotACrash) {
    ParseOutcome deep = Parse(std::string(100000, '['));
    EXPECT_EQ(deep.fResult, VE_JSON_MALFORMED);
    ASSERT_EQ(deep.Codes(), (std::vector<int32_t>{555, 550}));
    EXPECT_EQ(deep.fErrors[1].fPosition, static_cast<int32_t>(VJSONImporter::kMaxDepth) + 1);
    EXPECT_TRUE(deep.fValue.IsArray());

    std::string objects;
    for (int i = 0; i < 100000; ++i)
        objects += "{\"a\":";
    EXPECT_EQ(Parse(objects).Codes(), (std::vector<int32_t>{555, 550}));

    size_t limit = VJSONImporter::kMaxDepth;
    ParseOutcome deepest = Parse(std::string(limit, '[') + std::string(limit, ']'));
    EXPECT_EQ(deepest.fResult, VE_OK);
    EXPECT_EQ(Parse(std::string(limit + 1, '[') + std::string(limit + 1, ']')).fResult, VE_JSON_MALFORMED);
}

TEST(VJSONImporterTest, OnlyTheFirstValueIsRead) {
    ParseOutcome outcome = Parse("1 2 garbage ]");
    ASSERT_EQ(outcome.fResult, VE_OK);
    EXPECT_EQ(outcome.fValue.GetNumber(), 1);
    EXPECT_EQ(Parse("{} {").fResult, VE_OK);
}

TEST(VJSONImporterTest, RepeatedNamesReplaceTheEarlierValue) {
    ParseOutcome outcome = Parse("{\"a\":1,\"b\":2,\"a\":3}");
    ASSERT_EQ(outcome.fResult, VE_OK);
    const VJSONObject& object = *outcome.fValue.GetObject();
    ASSERT_EQ(object.GetCountPropertiesByIndex(), 2);
    EXPECT_EQ(object.GetNameAt(0), u"a");
    EXPECT_EQ(object.GetValueAt(0).GetNumber(), 3);
}

TEST(VJSONImporterTest, FailedMembersAreLeftOutOfThePartialResult) {
    ParseOutcome outcome = Parse("{\"a\":1,\"b\":[1,2,3],\"c\":[4,],\"d\":5}");
    ASSERT_EQ(outcome.Codes(), (std::vector<int32_t>{553, 550}));
    ASSERT_TRUE(outcome.fValue.IsObject());
    EXPECT_EQ(NumberAt(outcome.fValue, "a"), 1);
    EXPECT_EQ(outcome.fValue.GetProperty("b").GetArray()->GetCount(), 3u);
    EXPECT_FALSE(outcome.fValue.GetObject()->HasProperty("c"));
    EXPECT_FALSE(outcome.fValue.GetObject()->HasProperty("d"));

    ParseOutcome nested = Parse("[[1 2]]");
    ASSERT_TRUE(nested.fValue.IsArray());
    EXPECT_TRUE(nested.fValue.GetArray()->IsEmpty());
}

TEST(VJSONImporterTest, UndefinedOnErrorOption) {
    ParseOutcome outcome = Parse("[1 2]", VJSONImporter::kUndefinedOnError);
    EXPECT_EQ(outcome.fResult, VE_JSON_MALFORMED);
    EXPECT_TRUE(outcome.fValue.IsUndefined());
    EXPECT_EQ(outcome.Codes(), (std::vector<int32_t>{551, 550}));
    EXPECT_TRUE(Parse("[1]", VJSONImporter::kUndefinedOnError).fValue.IsArray());
}

TEST(VJSONImporterTest, QuietInvalidTokensStillFail) {
    ParseOutcome quiet = Parse("[1 2]", VJSONImporter::kNoInvalidTokenError);
    EXPECT_EQ(quiet.fResult, VE_JSON_MALFORMED);
    EXPECT_TRUE(quiet.fErrors.empty());
    EXPECT_TRUE(Parse("", VJSONImporter::kNoInvalidTokenError).fErrors.empty());
    EXPECT_TRUE(Parse("01", VJSONImporter::kNoInvalidTokenError).fErrors.empty());
    // Other reports are not invalid tokens.
    EXPECT_EQ(Parse("[1,]", VJSONImporter::kNoInvalidTokenError).Codes(), (std::vector<int32_t>{553, 550}));
    EXPECT_EQ(Parse("\"a", VJSONImporter::kNoInvalidTokenError | kStrict).Codes(),
              (std::vector<int32_t>{552, 550}));
}

TEST(VJSONImporterTest, ParseReplacesTheOutputValue) {
    VJSONValue value(42.0);
    StErrorContextInstaller errors(false);
    ASSERT_EQ(value.ParseFromString("[true]"), VE_OK);
    ASSERT_TRUE(value.IsArray());
    EXPECT_EQ(value.ParseFromString("{"), VE_JSON_MALFORMED);
    EXPECT_TRUE(value.IsObject());
}

TEST(VJSONImporterTest, DateStringsWithTheDateOptions) {
    const char* text = "[\"!!2024-05-06T07:08:09.010Z!!\", \"2024-05-06\", \"2024-05-06T23:30:00-02:00\", "
                       "\"2023-02-29\", \"!!x!!\", \"!!12:30:00!!\", \"2024-05-06 \"]";
    auto kinds = [](const VJSONValue& inArray) {
        std::string kinds;
        for (size_t i = 0; i < inArray.GetArray()->GetCount(); ++i) {
            const VJSONValue& element = (*inArray.GetArray())[i];
            kinds += element.IsDate() ? TextOf(element) : "s";
            kinds += " ";
        }
        return kinds;
    };
    StErrorContextInstaller errors(false);
    VJSONValue value;
    ASSERT_EQ(value.ParseFromString(text), VE_OK);
    EXPECT_EQ(kinds(value), "s s s s s s s ");
    // "!!" dates and ISO dates (the date of the UTC time).
    ASSERT_EQ(value.ParseFromString(text, true), VE_OK);
    EXPECT_EQ(kinds(value), "2024-05-06 2024-05-06 2024-05-07 s s s s ");
    // Non-ambiguous dates: the valid date-only texts alone.
    ASSERT_EQ(value.ParseFromString(text, true, true), VE_OK);
    EXPECT_EQ(kinds(value), "s 2024-05-06 s s s s s ");
    // Names stay names.
    ASSERT_EQ(value.ParseFromString("{\"2024-05-06\":\"2024-05-06\"}", true, true), VE_OK);
    EXPECT_TRUE(value.GetProperty("2024-05-06").IsDate());
}

TEST(VJSONImporterTest, ParseFileNamesTheFileAsSource) {
    VTestTempFolder folder;
    std::string path =
        folder.WriteFile("client.json", "\xEF\xBB\xBF{\r\n\"ServerPlatform\": \"mac\",\r\n  x}");
    VFile file(VString(path.c_str()), FilePathStyle::Posix);
    VJSONValue value;
    StErrorContextInstaller errors(false);
    EXPECT_EQ(VJSONImporter::ParseFile(&file, value, kStrict), VE_JSON_MALFORMED);
    std::vector<ErrorReport> reports = ReportsOf(*errors.GetContext());
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].fSource, path + ", ");
    EXPECT_EQ(reports[1].fLine, 3);
    EXPECT_EQ(TextOf(value.GetProperty("ServerPlatform")), "mac");
    VString description;
    errors.GetContext()->GetLast()->GetErrorDescription(description);
    EXPECT_EQ(description.ToUTF8(), "Malformed JSON text (" + path + ", line 3, position 4)");

    errors.GetContext()->Flush();
    EXPECT_EQ(VJSONImporter::ParseFile(nullptr, value), VE_UNKNOWN_ERROR);
    EXPECT_TRUE(value.IsUndefined());
    EXPECT_EQ(errors.GetLastError(), VE_UNKNOWN_ERROR);
}

TEST(VJSONImporterTest, ParseFileContentReadsTheCharacterSet) {
    VTestTempFolder folder;
    // UTF-16 little endian without a byte-order mark, LF line ends (made CR before the parse).
    std::string utf16;
    for (char c : std::string("{\n\"a\": \"\xE9\",\n\"b\":"))
        utf16 += std::string{c, '\0'};
    std::string path = folder.WriteFile("content.json", utf16);
    VFile file(VString(path.c_str()), FilePathStyle::Posix);
    VJSONValue value;
    StErrorContextInstaller errors(false);
    EXPECT_EQ(VJSONImporter::ParseFileContent(file, value, eCharSetUTF16LittleEndian), VE_JSON_MALFORMED);
    std::vector<ErrorReport> reports = ReportsOf(*errors.GetContext());
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].fCode, VE_JSON_UNEXPECTED_END);
    EXPECT_EQ(reports[1].fLine, 3);
    EXPECT_EQ(value.GetProperty("a").GetStringView(), u"\u00e9");
    EXPECT_EQ(file.GetContentAsJSON(value, eCharSetUTF16LittleEndian), VE_JSON_MALFORMED);
    VFile good(VString(folder.WriteFile("good.json", "[1]").c_str()), FilePathStyle::Posix);
    EXPECT_EQ(good.GetContentAsJSON(value), VE_OK);
}

TEST(VJSONImporterTest, DeepestDocumentIsReadWrittenAndFreedOnATaskStack) {
    // Values nested to the limit are written and destroyed recursively: that must fit the stack of a
    // task of the default size, not only the main thread's.
    std::string text;
    for (size_t i = 0; i < VJSONImporter::kMaxDepth / 2; ++i)
        text += "[{\"a\":";
    text += "1";
    for (size_t i = 0; i < VJSONImporter::kMaxDepth / 2; ++i)
        text += "}]";
    VError result = VE_UNKNOWN_ERROR;
    VIndex writtenLength = 0;
    VTask* task = new VTask(0, eTaskStylePreemptive, [&] {
        VString source(text.data(), text.size());
        VJSONValue value;
        result = VJSONImporter::ParseString(source, value);
        VString written;
        if (value.Stringify(written, VJSONWriter::kQuoteStrings | VJSONWriter::kPretty) == VE_OK)
            writtenLength = written.GetLength();
        value.GetString(written);
    });
    ASSERT_TRUE(task->Run());
    ASSERT_TRUE(task->WaitForDeath(-1));
    task->Release();
    // The manager joins the finished thread.
    VTaskMgr::Get()->PurgeDeadTasks();
    EXPECT_EQ(result, VE_OK);
    EXPECT_GT(writtenLength, static_cast<VIndex>(text.size()));
}
