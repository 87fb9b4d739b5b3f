// Tests of the property-list reader: value kinds, structure errors, parser limits and file failures.
#include "platform/posix/XPosixPlistReader.h"
#include "support/VTestTempFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

using namespace vkit;
using vkit::testing::VTestTempFolder;

namespace {

struct Outcome {
    bool fRead = false;
    XPosixPlistReader::Entries fEntries;
    XPosixPlistReader::Failure fFailure;

    /// The value of a key as UTF-8, "<absent>" when missing.
    std::string Value(const char* inKey) const {
        for (const auto& [key, value] : fEntries) {
            if (key == inKey)
                return value.ToUTF8();
        }
        return "<absent>";
    }
};

Outcome Parse(const std::string& inText) {
    Outcome outcome;
    outcome.fRead =
        XPosixPlistReader::Parse(inText.data(), inText.size(), outcome.fEntries, outcome.fFailure);
    return outcome;
}

std::string InPlist(const std::string& inDictionaryBody) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + inDictionaryBody +
           "</dict></plist>";
}

} // namespace

TEST(XPosixPlistReaderTest, ScalarValuesAreKeptAsTextAndContainersAreSkipped) {
    Outcome outcome = Parse(InPlist("<key>Name</key><string>  Caf\xC3\xA9 &amp; Co </string>"
                                    "<key>Count</key><integer>42</integer>"
                                    "<key>List</key><array><string>x</string><dict><key>k</key>"
                                    "<string>v</string></dict></array>"
                                    "<key>Ratio</key><real>0.5</real>"
                                    "<key>Nested</key><dict><key>Inner</key><string>no</string></dict>"
                                    "<key>Yes</key><true/><key>No</key><false/>"
                                    "<key>Empty</key><string></string>"));
    ASSERT_TRUE(outcome.fRead) << outcome.fFailure.fMessage;
    EXPECT_EQ(outcome.Value("Name"), "  Caf\xC3\xA9 & Co ");
    EXPECT_EQ(outcome.Value("Count"), "42");
    EXPECT_EQ(outcome.Value("Ratio"), "0.5");
    EXPECT_EQ(outcome.Value("Yes"), "true");
    EXPECT_EQ(outcome.Value("No"), "false");
    EXPECT_EQ(outcome.Value("Empty"), "");
    EXPECT_EQ(outcome.Value("List"), "<absent>");
    EXPECT_EQ(outcome.Value("Nested"), "<absent>");
    EXPECT_EQ(outcome.Value("Inner"), "<absent>");
    EXPECT_EQ(outcome.Value("k"), "<absent>");
    ASSERT_EQ(outcome.fEntries.size(), 6u);
    EXPECT_EQ(outcome.fEntries.front().first, "Name");
    EXPECT_EQ(outcome.fEntries.back().first, "Empty");
}

TEST(XPosixPlistReaderTest, RepeatedKeyKeepsItsLastValueOnce) {
    Outcome outcome = Parse(InPlist("<key>A</key><string>1</string><key>B</key><string>2</string>"
                                    "<key>A</key><string>3</string>"));
    ASSERT_TRUE(outcome.fRead) << outcome.fFailure.fMessage;
    ASSERT_EQ(outcome.fEntries.size(), 2u);
    EXPECT_EQ(outcome.Value("A"), "3");
    EXPECT_EQ(outcome.fEntries[1].first, "B");
}

TEST(XPosixPlistReaderTest, EmptyDictionaryIsAValidList) {
    Outcome outcome = Parse(InPlist(""));
    EXPECT_TRUE(outcome.fRead) << outcome.fFailure.fMessage;
    EXPECT_TRUE(outcome.fEntries.empty());
}

TEST(XPosixPlistReaderTest, StructureErrorsAreRefusedWithTheirReason) {
    struct Case {
        std::string fText;
        std::string fReason;
    };
    const Case cases[] = {
        {"<dict><key>A</key><string>1</string></dict>", "the root element is 'dict', not 'plist'"},
        {"<plist version=\"1.0\"></plist>", "the property list holds no dictionary"},
        {"<plist><array/></plist>", "the property list holds 'array' where one dictionary is expected"},
        {"<plist><dict/><dict/></plist>", "the property list holds 'dict' where one dictionary is expected"},
        {InPlist("<key>A</key>"), "the key 'A' has no value"},
        {InPlist("<key>A</key><key>B</key><string>1</string>"), "the key 'A' has no value"},
        {InPlist("<string>orphan</string>"), "the value 'string' has no key"},
        {InPlist("<key>A</key><color>red</color>"), "'color' is not a property-list value"},
    };
    for (const Case& item : cases) {
        Outcome outcome = Parse(item.fText);
        EXPECT_FALSE(outcome.fRead) << item.fText;
        EXPECT_EQ(outcome.fFailure.fMessage, item.fReason) << item.fText;
        EXPECT_EQ(outcome.fFailure.fErrno, 0);
        EXPECT_TRUE(outcome.fEntries.empty()) << "a refused list must leave no entries: " << item.fText;
    }
}

TEST(XPosixPlistReaderTest, MalformedXMLTellsWhere) {
    Outcome outcome = Parse("<plist>\n<dict>\n<key>A</key><string>1</strin>\n</dict></plist>");
    EXPECT_FALSE(outcome.fRead);
    EXPECT_EQ(outcome.fFailure.fMessage.rfind("line 3, column ", 0), 0u) << outcome.fFailure.fMessage;
    EXPECT_TRUE(outcome.fEntries.empty());
    EXPECT_FALSE(Parse("").fRead);
    EXPECT_FALSE(Parse("not xml at all").fRead);
}

TEST(XPosixPlistReaderTest, ExternalDocumentTypeIsNotFetched) {
    // Property lists name a public DTD; reading one must not go to the network or the disk.
    Outcome outcome = Parse("<?xml version=\"1.0\"?>\n<!DOCTYPE plist PUBLIC \"-//x//DTD PLIST 1.0//EN\" "
                            "\"file:///nonexistent/vkit/PropertyList-1.0.dtd\">\n"
                            "<plist version=\"1.0\"><dict><key>A</key><string>1</string></dict></plist>");
    ASSERT_TRUE(outcome.fRead) << outcome.fFailure.fMessage;
    EXPECT_EQ(outcome.Value("A"), "1");
}

TEST(XPosixPlistReaderTest, ExternalEntitiesAreNotRead) {
    VTestTempFolder folder;
    std::string secret = folder.WriteFile("secret.txt", "top-secret-content");
    Outcome outcome =
        Parse("<?xml version=\"1.0\"?>\n<!DOCTYPE plist [<!ENTITY leak SYSTEM \"file://" + secret +
              "\">]>\n<plist><dict><key>A</key><string>&leak;</string></dict></plist>");
    if (outcome.fRead)
        EXPECT_EQ(outcome.Value("A").find("top-secret"), std::string::npos);
    else
        EXPECT_FALSE(outcome.fFailure.fMessage.empty());
}

TEST(XPosixPlistReaderTest, EntityExpansionIsLimited) {
    std::string text = "<?xml version=\"1.0\"?>\n<!DOCTYPE plist [<!ENTITY a0 \"lol\">";
    for (int level = 1; level <= 9; ++level) {
        text += "<!ENTITY a" + std::to_string(level) + " \"";
        for (int i = 0; i < 10; ++i)
            text += "&a" + std::to_string(level - 1) + ";";
        text += "\">";
    }
    text += "]>\n<plist><dict><key>A</key><string>&a9;</string></dict></plist>";
    Outcome outcome = Parse(text);
    EXPECT_FALSE(outcome.fRead);
    EXPECT_FALSE(outcome.fFailure.fMessage.empty());
}

TEST(XPosixPlistReaderTest, FileFailuresCarryTheSystemError) {
    VTestTempFolder folder;
    Outcome missing;
    EXPECT_FALSE(XPosixPlistReader::ReadFile(folder / "missing.plist", missing.fEntries, missing.fFailure));
    EXPECT_EQ(missing.fFailure.fErrno, ENOENT);
    EXPECT_EQ(missing.fFailure.fMessage, "No such file or directory");

    Outcome directory;
    EXPECT_FALSE(XPosixPlistReader::ReadFile(folder.Path(), directory.fEntries, directory.fFailure));
    EXPECT_EQ(directory.fFailure.fErrno, EISDIR);

    std::string big = folder.WriteFile("big.plist", std::string(XPosixPlistReader::kMaxFileSize + 1, ' '));
    Outcome tooBig;
    EXPECT_FALSE(XPosixPlistReader::ReadFile(big, tooBig.fEntries, tooBig.fFailure));
    EXPECT_EQ(tooBig.fFailure.fErrno, EFBIG);
}

TEST(XPosixPlistReaderTest, FileIsReadWhole) {
    VTestTempFolder folder;
    // Longer than one read, so that the pieces must be joined.
    std::string padding(40000, ' ');
    std::string path = folder.WriteFile("Info.plist", InPlist("<key>A</key>" + padding +
                                                              "<string>1</string>"
                                                              "<key>B</key><string>2</string>"));
    Outcome outcome;
    outcome.fRead = XPosixPlistReader::ReadFile(path, outcome.fEntries, outcome.fFailure);
    ASSERT_TRUE(outcome.fRead) << outcome.fFailure.fMessage;
    EXPECT_EQ(outcome.Value("A"), "1");
    EXPECT_EQ(outcome.Value("B"), "2");
}
