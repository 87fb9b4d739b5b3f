// Tests of bundles: the property-list reader (value kinds, structure errors, parser limits, file
// failures), opening a bundle folder, finding the bundle of an executable, and their failures.
#include "TestProcess.h"

#include "errors/VErrorBase.h"
#include "errors/VErrorTaskContext.h"
#include "platform/posix/application/XPosixPlistReader.h"
#include "runtime/VBundle.h"
#include "runtime/VTask.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

using namespace vkit;
using namespace vkit::testing;

namespace {

/// The entries read as "key=value;" each, or "!" and the reason of the failure.
std::string Parsed(const std::string& inText) {
    XPosixPlistReader::Entries entries;
    XPosixPlistReader::Failure failure;
    bool read = XPosixPlistReader::Parse(inText.data(), inText.size(), entries, failure);
    std::string text = read ? "" : "!" + failure.fMessage;
    for (const auto& [key, value] : entries)
        text += key + "=" + value + ";";
    return text;
}

std::string InPlist(const std::string& inDictionaryBody) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + inDictionaryBody +
           "</dict></plist>";
}

/// The text as UTF-16 little-endian with its byte-order mark.
std::string UTF16(const std::u16string& inText) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : inText)
        bytes += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return bytes;
}

struct PlistCase {
    const char* fLabel;
    std::string fText;
    std::string fParsed; // a failure, "!...", is matched by its beginning
};

TEST(XPosixPlistReaderTest, Parse) {
    std::string bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE plist [<!ENTITY a0 \"lol\">";
    for (int level = 1; level <= 9; ++level) {
        bomb += "<!ENTITY a" + std::to_string(level) + " \"";
        for (int i = 0; i < 10; ++i)
            bomb += "&a" + std::to_string(level - 1) + ";";
        bomb += "\">";
    }
    bomb += "]>\n<plist><dict><key>A</key><string>&a9;</string></dict></plist>";
    const PlistCase cases[] = {
        {"scalars kept as text, containers skipped",
         InPlist(
             "<key>Name</key><string>  Caf\xC3\xA9 &amp; Co </string><key>Count</key><integer>42</integer>"
             "<key>List</key><array><string>x</string><dict><key>k</key><string>v</string></dict></array>"
             "<key>Ratio</key><real>0.5</real><key>Nested</key><dict><key>In</key><string>no</string></dict>"
             "<key>Yes</key><true/><key>No</key><false/><key>Empty</key><string></string>"),
         "Name=  Caf\xC3\xA9 & Co ;Count=42;Ratio=0.5;Yes=true;No=false;Empty=;"},
        {"repeated key keeps its last value once",
         InPlist(
             "<key>A</key><string>1</string><key>B</key><string>2</string><key>A</key><string>3</string>"),
         "A=3;B=2;"},
        {"text of inner elements", InPlist("<key>A</key><string>a<b>X</b>c</string>"), "A=ac;"},
        {"UTF-16 with a byte-order mark",
         UTF16(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><plist><dict><key>A</key><string>\u00E9</string>"
               u"</dict></plist>"),
         "A=\xC3\xA9;"},
        {"external document type is not fetched",
         "<?xml version=\"1.0\"?>\n<!DOCTYPE plist PUBLIC \"-//x//DTD PLIST 1.0//EN\" "
         "\"file:///nonexistent/vkit/PropertyList-1.0.dtd\">\n" +
             InPlist("<key>A</key><string>1</string>").substr(39),
         "A=1;"},
        {"root", "<dict><key>A</key><string>1</string></dict>", "!the root element is 'dict', not 'plist'"},
        {"no dictionary", "<plist version=\"1.0\"></plist>", "!the property list holds no dictionary"},
        {"array", "<plist><array/></plist>",
         "!the property list holds 'array' where one dictionary is expected"},
        {"two dictionaries", "<plist><dict/><dict/></plist>",
         "!the property list holds 'dict' where one dictionary is expected"},
        {"key at the end", InPlist("<key>A</key>"), "!the key 'A' has no value"},
        {"key after key", InPlist("<key>A</key><key>B</key><string>1</string>"), "!the key 'A' has no value"},
        {"value without key", InPlist("<string>orphan</string>"), "!the value 'string' has no key"},
        {"unknown value", InPlist("<key>A</key><color>red</color>"), "!'color' is not a property-list value"},
        {"malformed XML", "<plist>\n<dict>\n<key>A</key><string>1</strin>\n</dict></plist>",
         "!line 3, column "},
        {"not XML", "not xml at all", "!line 1, column "},
        {"entity expansion is limited", bomb, "!line "},
    };
    for (const PlistCase& row : cases) {
        SCOPED_TRACE(row.fLabel);
        std::string parsed = Parsed(row.fText);
        EXPECT_EQ(parsed.substr(0, row.fParsed[0] == '!' ? row.fParsed.size() : std::string::npos),
                  row.fParsed);
        EXPECT_EQ(parsed.find('='), row.fParsed.find('=')) << "a refused list leaves no entries";
    }
}

TEST(XPosixPlistReaderTest, ReadFile) {
    VTestTempFolder folder;
    std::string secret = folder.WriteFile("secret.txt", "top-secret-content");
    std::string leak =
        Parsed("<?xml version=\"1.0\"?>\n<!DOCTYPE plist [<!ENTITY leak SYSTEM \"file://" + secret +
               "\">]>\n<plist><dict><key>A</key><string>&leak;</string></dict></plist>");
    EXPECT_EQ(leak.find("top-secret"), std::string::npos) << leak;
    XPosixPlistReader::Entries entries;
    XPosixPlistReader::Failure failure;
    EXPECT_FALSE(XPosixPlistReader::ReadFile(folder / "missing.plist", entries, failure));
    EXPECT_EQ(failure.fErrno, ENOENT);
    EXPECT_EQ(failure.fMessage, "No such file or directory");
    // Longer than one read, so that the pieces must be joined.
    std::string path =
        folder.WriteFile("Info.plist", InPlist("<key>A</key>" + std::string(40000, ' ') +
                                               "<string>1</string><key>B</key><string>2</string>"));
    ASSERT_TRUE(XPosixPlistReader::ReadFile(path, entries, failure)) << failure.fMessage;
    EXPECT_EQ(entries.size(), 2U);
    EXPECT_EQ(entries.back().second, "2");
}

/// What a bundle opened from inPath shows: "<result> <is bundle> <has info> <executable> <name>", the path of
/// its Info.plist once opened, then the last error of the task, if any, by its code and description.
std::string Opened(const std::string& inPath, bool inForExecutable) {
    VBundle bundle;
    bool opened =
        inForExecutable ? bundle.OpenForExecutable(PosixPath(inPath)) : bundle.Open(PosixPath(inPath));
    VString name;
    std::string text = std::to_string(opened) + std::to_string(bundle.IsBundle()) +
                       std::to_string(bundle.HasInfo()) + " " +
                       (bundle.GetExecutablePath().IsValid() ? PosixText(bundle.GetExecutablePath()) : "-") +
                       " " + (bundle.GetInfoString(VBundle::kNameKey, name) ? name.ToUTF8() : "-");
    if (opened && bundle.IsBundle())
        text += " " + PosixText(bundle.GetInfoFilePath());
    if (VErrorBase* error = VTask::GetErrorContext(true)->GetLast()) {
        VString description;
        error->GetErrorDescription(description);
        VError code = error->GetError();
        text += code == VE_UNKNOWN_ERROR              ? " error: "
                : code == MakeVErrorFromPosix(ENOENT) ? " ENOENT: "
                                                      : " ?: ";
        text += description.ToUTF8();
        VTask::FlushErrors();
    }
    return text;
}

struct BundleCase {
    const char* fLabel;
    const char* fPath; // below the temporary folder, where "X.app" bundles were made
    bool fForExecutable;
    const char* fOpened; // with the temporary folder as "@"; a final "..." stands for any rest
};

TEST(VBundleTest, OpenAndOpenForExecutable) {
    // On a main task with the error layer up, so that pushed errors can be read back.
    StTaskMgrWithoutProcess taskMgr;
    ASSERT_TRUE(taskMgr.Started());
    VErrorBase::Init();
    VTestTempFolder folder;
    MakeSampleBundle(folder, "Sample.app",
                     MakeInfoPlist({{"CFBundleName", "Sample"}, {"CFBundleExecutable", "sample"}}));
    MakeSampleBundle(folder, "Bare.app", "");
    MakeSampleBundle(folder, "Broken.app", "<plist><dict><key>A</key></plist>");
    MakeSampleBundle(folder, "Colon.app", MakeInfoPlist({{"CFBundleExecutable", "a:b"}}));
    MakeSampleBundle(folder, "Up.app", MakeInfoPlist({{"CFBundleExecutable", "../../../bin/sh"}}));
    MakeSampleBundle(folder, "Slash.app", MakeInfoPlist({{"CFBundleExecutable", "a/b"}}));
    folder.MakeFolder("Lower.app/contents/MacOS");
    folder.WriteFile("Lower.app/contents/Info.plist", MakeInfoPlist({{"CFBundleName", "Lower"}}));
    const BundleCase cases[] = {
        {"bundle", "Sample.app/", false,
         "111 @/Sample.app/Contents/MacOS/sample Sample @/Sample.app/Contents/Info.plist"},
        {"executable above the bundle", "Up.app/", false, "111 - - @/Up.app/Contents/Info.plist"},
        {"executable in a subfolder", "Slash.app/", false, "111 - - @/Slash.app/Contents/Info.plist"},
        {"':' in the name", "Colon.app/", false,
         "111 @/Colon.app/Contents/MacOS/a:b - @/Colon.app/Contents/Info.plist"},
        {"no Info.plist", "Bare.app/", false,
         "010 - - ENOENT: read '@/Bare.app/Contents/Info.plist': No such file or directory"},
        {"broken Info.plist", "Broken.app/", false,
         "010 - - error: read '@/Broken.app/Contents/Info.plist': line 1, column ..."},
        {"a file path", "Sample.app", false, "000 - - error: open bundle '..."},
        {"executable of a bundle", "Sample.app/Contents/MacOS/tool", true,
         "111 @/Sample.app/Contents/MacOS/tool Sample @/Sample.app/Contents/Info.plist"},
        {"executable of a bundle without Info.plist", "Bare.app/Contents/MacOS/bare", true,
         "010 @/Bare.app/Contents/MacOS/bare -"},
        {"executable outside a bundle", "bin/tool", true, "000 @/bin/tool -"},
        {"'contents' is not the layout", "Lower.app/contents/MacOS/tool", true,
         "000 @/Lower.app/contents/MacOS/tool -"},
        {"a folder is no executable", "Sample.app/Contents/MacOS/", true, "000 - -"},
    };
    for (const BundleCase& row : cases) {
        SCOPED_TRACE(row.fLabel);
        std::string expected = row.fOpened;
        for (size_t at = expected.find('@'); at != std::string::npos; at = expected.find('@', at + 1))
            expected.replace(at, 1, folder.Path());
        bool prefix = expected.ends_with("...");
        expected.resize(expected.size() - (prefix ? 3 : 0));
        std::string opened = Opened(folder / row.fPath, row.fForExecutable);
        EXPECT_EQ(prefix ? opened.substr(0, expected.size()) : opened, expected);
    }
    VErrorBase::DeInit();
}

} // namespace
