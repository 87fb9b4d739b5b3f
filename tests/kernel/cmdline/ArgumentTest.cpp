// Tests of the value converters: booleans, integer texts and their limits, file paths and JSON values.
#include "cmdline/Argument.h"

#include "CommandLineTestSupport.h"
#include "errors/StErrorContextInstaller.h"
#include "files/VFile.h"
#include "files/VFolder.h"
#include "kernel/errors/ErrorsTestEnvironment.h"
#include "support/VTestTempFolder.h"
#include "json/VJSONValue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace vkit;
using namespace vkit::testing;
using Extension::CommandLineParser::Argument;

namespace {

// The file and JSON converters run on the main task with the error layer up, as in a process.
const ::testing::Environment* const sEnvironment =
    ::testing::AddGlobalTestEnvironment(new ErrorsTestEnvironment);

std::string TextOf(const VJSONValue& inValue) {
    VString text;
    return inValue.Stringify(text, 1) == VE_OK ? text.ToUTF8() : "?";
}

/// Converts the text for a target of the type: b bool (false before), B bool (true before), i int,
/// u unsigned int, l long long, p path, f file, d folder, j JSON value (the text is the JSON value before,
/// "|" and the text to convert). Answers the value or the path as text, or "fail" when the converter
/// refuses the text (leaving the value alone, or releasing the file or folder).
std::string Convert(char inType, const std::string& inText) {
    std::vector<VString> arguments = Arguments({"x"});
    VCommandLineParser parser(arguments);
    VString text(inText.substr(inText.find('|') + 1).c_str());
    auto convert = [&](auto inBefore) {
        auto value = inBefore;
        bool converted = Argument::Append(parser, value, text);
        return converted ? std::to_string(value) : value == inBefore ? "fail" : "fail, changed";
    };
    auto convertItem = [&](auto* inBefore) {
        auto* item = RetainRefCountable(inBefore);
        bool converted;
        if constexpr (std::is_same_v<decltype(item), VFile*>)
            converted = Argument::Append(item, text);
        else
            converted = Argument::Append(parser, item, text);
        bool released = item == nullptr && inBefore->GetRefCount() == 1;
        std::string path = converted ? item->GetPath().GetPath(FilePathStyle::Posix).ToUTF8() : "fail";
        ReleaseRefCountable(&item);
        inBefore->Release();
        return converted || released ? path : "fail, kept";
    };
    VFilePath path(VString("/stale"), FilePathStyle::Posix);
    VJSONValue json;
    switch (inType) {
    case 'b':
    case 'B':
        return convert(inType == 'B');
    case 'i':
        return convert(99);
    case 'u':
        return convert(99u);
    case 'l':
        return convert(99LL);
    case 'p':
        EXPECT_TRUE(Argument::Append(path, text));
        return path.IsValid() ? path.GetPath(FilePathStyle::Posix).ToUTF8() : "<none>";
    case 'f':
        return convertItem(new VFile(path));
    case 'd':
        return convertItem(new VFolder(path.ToFolder()));
    default:
        if (inText[0] != '|')
            (void)json.ParseFromString(VString(inText.substr(0, inText.find('|')).c_str()));
        std::string before = TextOf(json);
        bool converted = Argument::Append(parser, json, text);
        return converted ? TextOf(json) : TextOf(json) == before ? "fail" : "fail, changed";
    }
}

TEST(ArgumentTest, Converters) {
    struct Case {
        char fType;
        const char* fExpected; // "@" stands for the test's temporary folder
        std::vector<const char*> fTexts;
    };
    const Case cases[] = {
        {'b', "1", {"1", "true", "TRUE", "True"}},
        {'B', "0", {"0", "false", "FALSE"}},
        {'B', "fail", {"", "2", "yes", "on", " 1", "truee", "01"}},
        {'i', "42", {" 42 ", "\t\n+42\v\f\r", "052"}}, // trimmed, read in automatic base
        {'i', "-12", {"-12"}},
        {'i', "fail", {"0x10", "08", "", "   ", "-", "+-1", "4 2", "42abc", "1.5", "1e3", "4-"}},
        {'i', "fail", {"99999999999999999999"}},
        // 30 characters at most, once trimmed.
        {'l', "34", {"+00000000000000000000000000042", "  +00000000000000000000000000042  "}},
        {'l', "fail", {"0000000000000000000000000000001", "9223372036854775808", "-9223372036854775809"}},
        {'l', "-9223372036854775808", {"-9223372036854775808"}},
        {'u', "4294967295", {"4294967295"}},
        // Paths are resolved on the disk, folders end with "/"; a file or folder must exist and be of its
        // kind.
        {'p', "@/dir/", {"@/dir", "@/dir/../dir/"}},
        {'p', "@/dir/file.txt", {"@/link"}},
        {'p', "/no/such/item.app", {"/no/such/item.app"}},
        {'p', "<none>", {""}},
        {'f', "@/dir/file.txt", {"@/link"}},
        {'f', "fail", {"@/dir", "@/missing.txt", ""}},
        {'d', "@/dir/", {"@/dir/../dir"}},
        {'d', "fail", {"@/dir/file.txt", "@/missing", ""}},
        // JSON values by the kind they hold before: undefined or an object is parsed.
        {'j', "true", {"false|On", "false|1", "true|TRUE"}},
        {'j', "false", {"true|off", "false|0"}},
        {'j', "fail", {"true|maybe", "3|4"}},
        {'j', "\"{not json\"", {"\"old\"|{not json"}},
        {'j', "{\"a\":[1,2]}", {"|{\"a\": [1, 2]}"}},
        {'j', "[1]", {"{}|[1]"}},
        {'j', "fail", {"{}|{\"a\": "}},
    };
    VTestTempFolder folder;
    std::string file = folder.WriteFile("dir/file.txt", "x");
    std::filesystem::create_symlink(file, folder / "link");
    auto place = [&folder](std::string ioText) {
        return ioText[0] == '@' ? ioText.replace(0, 1, folder.Path()) : ioText;
    };
    StErrorContextInstaller errors;
    for (const Case& c : cases) {
        for (const char* text : c.fTexts) {
            SCOPED_TRACE(std::string(1, c.fType) + " '" + text + "'");
            EXPECT_EQ(Convert(c.fType, place(text)), place(c.fExpected));
        }
    }
    EXPECT_EQ(errors.GetLastError(), VE_OK) << "a failed JSON parse leaves no error behind";
}

} // namespace
