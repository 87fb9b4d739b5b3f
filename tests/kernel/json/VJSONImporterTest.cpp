// Tests of the JSON parser: grammar, lenient and strict modes, numbers, escapes, error reports.
#include "JSONTestSupport.h"

#include "files/VFile.h"
#include "support/VTestTempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace vkit;
using namespace vkit::testing;

namespace {

constexpr uint32_t kStrict = VJSONImporter::kStrict;
constexpr uint32_t kUndefined = VJSONImporter::kUndefinedOnError;
constexpr uint32_t kQuiet = VJSONImporter::kNoInvalidTokenError;

TEST(VJSONImporterTest, Table) {
    // Each outcome is the value written back, " !" when the parse failed, then the errors pushed.
    struct Case {
        std::string fText;
        uint32_t fOptions;
        std::string fOutcome;
    };
    const std::string value = R"('" 0-9 null true false { [')", element = R"('" 0-9 null true false { [ ]')";
    const Case cases[] = {
        {R"({"a":1,})", 0, R"({"a":1} ! 553 '}' 550 at 1:8)"},
        {R"({a:1})", 0, R"({"a":1})"},
        {R"({a:1})", kStrict, R"({} ! 551 'a' '"' 550 at 1:2)"},
        {R"([1 2])", 0, R"([1] ! 551 '2' '] ,' 550 at 1:4)"},
        {R"({"a":1 "b":2})", 0, R"({"a":1} ! 551 'b' '} ,' 550 at 1:8)"},
        {R"({,})", 0, R"({} ! 551 ',' '" }' 550 at 1:2)"},
        {R"([,1])", 0, "[] ! 551 ',' " + element + " 550 at 1:2"},
        {R"({"a":})", 0, "{} ! 551 '}' " + value + " 550 at 1:6"},
        // Where a colon is expected only the first character there is shown.
        {R"({"a" 123})", 0, R"({} ! 551 '1' ':' 550 at 1:6)"},
        {R"({"a"  )", 0, R"({} ! 554 '' ':' 550 at 1:7)"},
        // Bare words: strings in lenient mode, ending at a delimiter.
        {R"(hello)", 0, R"("hello")"},
        {"null", kStrict, "null"},
        {"[null, true, false, nullx, True, .5, +1, h\xC3\xA9llo]", 0,
         "[null,true,false,\"nullx\",\"True\",\".5\",\"+1\",\"h\xC3\xA9llo\"]"},
        {R"(hello)", kStrict, "undefined ! 551 'hello' " + value + " 550 at 1:1"},
        {R"([1, hello])", kStrict, "[1] ! 551 'hello' " + element + " 550 at 1:5"},
        {R"([null,true,false])", kStrict, R"([null,true,false])"},
        {R"([1, 01])", 0, R"([1] ! 551 '01' '+- 0-9 eE' 550 at 1:5)"},
        // Escapes; "\u" without four hexadecimal digits is the "u" itself; NUL is dropped.
        {R"(["\u00e9\u00C9", "\x", "\"\\\/", "\b\f\n\r\t", "\uZZ12", "\u12"])", 0,
         "[\"\xC3\xA9\xC3\x89\",\"x\",\"\\\"\\\\/\",\"\\b\\f\\n\\r\\t\",\"uZZ12\",\"u12\"]"},
        {std::string("\"a\0b\tc\x01\"", 8), 0, R"("ab\tc\u0001")"},
        // Lines count line feeds or carriage returns, whichever are more; positions the first non-blank.
        {"  }", 0, "undefined ! 551 '}' " + value + " 550 at 1:3"},
        {"[\r\n1,\r\n    x]", kStrict, "[1] ! 551 'x' " + element + " 550 at 3:6"},
        {"[\n\n\r1,\n  x]", kStrict, "[1] ! 551 'x' " + element + " 550 at 4:3"},
        // Unterminated strings.
        {"\"abc", 0, R"("abc")"},
        {R"("a\u00e9\)", 0, "\"a\xC3\xA9\""},
        {R"({"a":"xyz)", 0, R"({"a":"xyz"} ! 554 '' '} ,' 550 at 1:10)"},
        {"[1,\n  \"abc", kStrict, R"([1] ! 552 '"' 550 at 2:3)"},
        {"\"abc", kStrict, R"(undefined ! 552 '"' 550 at 1:1)"},
        // An empty text; the end of the text.
        {"", 0, "undefined ! 554 '' " + value + " 550 at 1:1"},
        {"[1,", 0, "[1] ! 554 '' " + value + " 550 at 1:4"},
        // Only the first value is read; a repeated name replaces the earlier value, in its place.
        {"1 2 garbage ]", 0, "1"},
        {R"({"a":1,"b":2,"a":3})", 0, R"({"a":3,"b":2})"},
        // After an error the outermost container holds its complete members only.
        {R"({"a":1,"b":[1,2,3],"c":[4,],"d":5})", 0, R"({"a":1,"b":[1,2,3]} ! 553 ']' 550 at 1:27)"},
        {"[1 2]", kUndefined, "undefined ! 551 '2' '] ,' 550 at 1:4"},
        {"[1]", kUndefined, "[1]"},
        {"[1 2]", kQuiet, "[1] !"},
        {"[1,]", kQuiet, "[1] ! 553 ']' 550 at 1:4"},
        {"\"a", kQuiet | kStrict, R"(undefined ! 552 '"' 550 at 1:1)"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fText);
        EXPECT_EQ(Parse(c.fText, c.fOptions), c.fOutcome);
    }
    EXPECT_EQ(Parse("[1 2]", 0, "/etc/client.json"), "[1] ! 551 '2' '] ,' 550 at /etc/client.json, 1:4");
}

TEST(VJSONImporterTest, Numbers) {
    const std::pair<const char*, double> cases[] = {
        {"1.5e+3", 1500},
        {"-0.5E-2", -0.005},
        {"2e\xE2\x88\x92"
         "2",
         0.02}, // Unicode minus
        {"-0", -0.0},
        {"12345678901234567890", 12345678901234567890.0},
        {"-9007199254740993", -9007199254740992.0}, // nearest even
        {"1e400", INFINITY},
        {"1e-400", 0},
        {"4.9406564584124654e-324", 4.9406564584124654e-324}};
    for (const auto& [text, number] : cases) {
        VJSONValue value;
        EXPECT_EQ(VJSONImporter::ParseString(VString(text), value), VE_OK) << text;
        EXPECT_EQ(value.GetNumber(), number) << text;
        EXPECT_EQ(std::signbit(value.GetNumber()), std::signbit(number)) << text;
    }
    for (const char* bad : {"01", "1.", "-", "1e", "1e+", "1.e5", "-.5", "1x", "0x1F", "1-2", "--1", "1e5.5"})
        EXPECT_EQ(Parse(bad), "undefined ! 551 '" + std::string(bad) + "' '+- 0-9 eE' 550 at 1:1");
}

TEST(VJSONImporterTest, NestingIsLimited) {
    const size_t limit = VJSONImporter::kMaxDepth;
    EXPECT_EQ(Parse(std::string(100000, '[')), "[] ! 555 550 at 1:" + std::to_string(limit + 1));
    std::string objects;
    for (int i = 0; i < 100000; ++i)
        objects += "{\"a\":";
    EXPECT_EQ(Parse(objects), "{} ! 555 550 at 1:" + std::to_string(limit * 5 + 1));
    // Values nested to the limit are read, written and destroyed recursively: that must fit the stack of
    // a task of the default size, not only the main thread's.
    std::string text = "1";
    for (size_t i = 0; i < limit / 2; ++i)
        text = "[{\"a\":" + text + "}]";
    std::string written;
    RunOnTask([&] { written = Parse(text); });
    EXPECT_EQ(written, text);
}

TEST(VJSONImporterTest, LongContainers) {
    // Long containers take their members in batches.
    std::string array = "[", object = "{";
    for (int i = 0; i < 3000; ++i) {
        array += (i ? "," : "") + std::to_string(i);
        object += std::string(i ? "," : "") + "\"p" + std::to_string(i) + "\":" + std::to_string(i);
    }
    EXPECT_EQ(Parse(array + "]"), array + "]");
    EXPECT_EQ(Parse(object + ",}"), object + "} ! 553 '}' 550 at 1:" + std::to_string(object.size() + 2));
}

TEST(VJSONImporterTest, DateStringsWithTheDateOptions) {
    const char* text = "[\"!!2024-05-06T07:08:09.010Z!!\", \"2024-05-06\", \"2024-05-06T23:30:00-02:00\", "
                       "\"2023-02-29\", \"!!x!!\", \"!!12:30:00!!\", \"2024-05-06 \"]";
    auto kinds = [](const VJSONValue& inArray) {
        std::string kinds;
        for (size_t i = 0; i < inArray.GetArray()->GetCount(); ++i) {
            const VJSONValue& element = (*inArray.GetArray())[i];
            kinds += (element.IsDate() ? TextOf(element) : "s") + " ";
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
    // Non-ambiguous dates: the valid date-only texts alone; names stay names.
    ASSERT_EQ(value.ParseFromString(text, true, true), VE_OK);
    EXPECT_EQ(kinds(value), "s 2024-05-06 s s s s s ");
    ASSERT_EQ(value.ParseFromString("{\"2024-05-06\":\"2024-05-06\"}", true, true), VE_OK);
    EXPECT_TRUE(value.GetProperty("2024-05-06").IsDate());
    // A failed parse replaces the value too.
    EXPECT_EQ(value.ParseFromString("{"), VE_JSON_MALFORMED);
    EXPECT_EQ(JSONOf(value), "{}");
}

TEST(VJSONImporterTest, FilesNameThemselvesAsTheSource) {
    VTestTempFolder folder;
    std::string path =
        folder.WriteFile("client.json", "\xEF\xBB\xBF{\r\n\"ServerPlatform\": \"mac\",\r\n  x}");
    VFile file(VString(path.c_str()), FilePathStyle::Posix);
    VJSONValue value;
    StErrorContextInstaller errors(false);
    EXPECT_EQ(VJSONImporter::ParseFile(&file, value, kStrict), VE_JSON_MALFORMED);
    EXPECT_EQ(JSONOf(value) + ErrorsOf(*errors.GetContext()),
              R"({"ServerPlatform":"mac"} 551 'x' '"' 550 at )" + path + ", 3:4");
    VString description;
    errors.GetContext()->GetLast()->GetErrorDescription(description);
    EXPECT_EQ(description.ToUTF8(), "Malformed JSON text (" + path + ", line 3, position 4)");
    errors.GetContext()->Flush();
    EXPECT_EQ(VJSONImporter::ParseFile(nullptr, value), VE_UNKNOWN_ERROR);
    EXPECT_TRUE(value.IsUndefined());
    EXPECT_EQ(errors.GetLastError(), VE_UNKNOWN_ERROR);

    // The content in another character set, its line ends made carriage returns.
    std::string utf16;
    for (char c : std::string("{\n\"a\": \"\xE9\",\n\"d\": \"2024-05-06\",\n\"b\":"))
        utf16 += std::string{c, '\0'};
    path = folder.WriteFile("content.json", utf16);
    VFile content(VString(path.c_str()), FilePathStyle::Posix);
    errors.GetContext()->Flush();
    EXPECT_EQ(content.GetContentAsJSON(value, eCharSetUTF16LittleEndian), VE_JSON_MALFORMED);
    EXPECT_EQ(JSONOf(value) + ErrorsOf(*errors.GetContext()),
              "{\"a\":\"\xC3\xA9\",\"d\":\"2024-05-06\"} 554 '' '\" 0-9 null true false { [' 550 at " + path +
                  ", 4:5");
}

} // namespace
