// Tests of the value converters: booleans, integer texts and their limits, file paths and JSON values.
#include "cmdline/Argument.h"

#include "cmdline/VCommandLineParser.h"
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

template <class T>
std::string Show(const T& inValue) {
    VString text;
    if constexpr (std::is_same_v<T, VJSONValue>)
        return inValue.Stringify(text, 1) == VE_OK ? text.ToUTF8() : "?";
    else
        return std::to_string(inValue);
}

/// Converts the text for a target of the type: b bool (false before), B bool (true before), i int,
/// u unsigned int, l long long, p path, f file, d folder, j JSON value (the text is the JSON value before,
/// "|" and the text to convert). Answers the value or the path as text, or "fail" when the converter
/// refuses the text (leaving the value alone, or releasing the file or folder).
std::string Convert(char inType, const std::string& inText) {
    std::vector<VString> arguments{VString("prog")};
    VCommandLineParser parser(arguments);
    VString text(inText.substr(inText.find('|') + 1).c_str());
    auto convert = [&](auto inBefore) {
        auto value = inBefore;
        bool converted = Argument::Append(parser, value, text);
        return converted ? Show(value) : Show(value) == Show(inBefore) ? "fail" : "fail, changed";
    };
    auto item = [](auto*& ioItem, bool inConverted) {
        std::string path = inConverted         ? ioItem->GetPath().GetPath(FilePathStyle::Posix).ToUTF8()
                           : ioItem == nullptr ? "fail"
                                               : "fail, kept";
        ReleaseRefCountable(&ioItem);
        return path;
    };
    VFilePath path(VString("/stale"), FilePathStyle::Posix);
    VFile* file = inType == 'f' ? new VFile(path) : nullptr;
    VFolder* folder = inType == 'd' ? new VFolder(path.ToFolder()) : nullptr;
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
        return item(file, Argument::Append(file, text));
    case 'd':
        return item(folder, Argument::Append(parser, folder, text));
    default:
        if (inText[0] != '|')
            (void)json.ParseFromString(VString(inText.substr(0, inText.find('|')).c_str()));
        return convert(json);
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
        {'i', "fail", {"0x10", "08", "", "   ", "+-1", "4 2", "42abc", "1.5", "4-", "99999999999999999999"}},
        // 30 characters at most, once trimmed.
        {'l', "34", {"+00000000000000000000000000042", "  +00000000000000000000000000042  "}},
        {'l', "fail", {"0000000000000000000000000000001", "9223372036854775808", "-9223372036854775809"}},
        {'l', "-9223372036854775808", {"-9223372036854775808"}},
        {'u', "4294967295", {"4294967295"}},
        // Paths are resolved on the disk, folders end with "/"; a file or folder must exist and be of its
        // kind.
        {'p', "@/dir/", {"@/dir", "@/dir/../dir/"}},
        {'p', "/no/such/item.app", {"/no/such/item.app"}},
        {'p', "<none>", {""}},
        {'f', "@/dir/file.txt", {"@/link"}},
        {'f', "fail", {"@/dir", "@/missing.txt", ""}},
        {'d', "@/dir/", {"@/dir/../dir"}},
        {'d', "fail", {"@/dir/file.txt", "@/missing", ""}},
        // JSON values by the kind they hold before: undefined or an object is parsed.
        {'j', "true", {"false|On", "false|1", "true|TRUE"}},
        {'j', "false", {"true|off", "false|0"}},
        {'j', "fail", {"true|maybe", "3|4", "{}|{\"a\": "}},
        {'j', "\"{not json\"", {"\"old\"|{not json"}},
        {'j', "{\"a\":[1,2]}", {"|{\"a\": [1, 2]}"}},
        {'j', "[1]", {"{}|[1]"}},
    };
    VTestTempFolder folder;
    std::filesystem::create_symlink(folder.WriteFile("dir/file.txt", "x"), folder / "link");
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
