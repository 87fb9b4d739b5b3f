// Tests of VString::Format: placeholders filled from the attributes of a bag.
#include "bags/VValueBag.h"
#include "text/VString.h"

#include <gtest/gtest.h>

#include <string>

using vkit::VString;
using vkit::VValueBag;

namespace {

std::string Format(const char* inText, const VValueBag* inBag, bool inRemoveMissing) {
    VString text(inText);
    return text.Format(inBag, inRemoveMissing).ToUTF8();
}

class VStringFormatTest : public ::testing::Test {
protected:
    void SetUp() override {
        fBag.SetString("a", VString("A"));
        fBag.SetString("b", VString("Bee"));
        fBag.SetLong("n", 42);
    }
    VValueBag fBag;
};

} // namespace

TEST_F(VStringFormatTest, FillsTheLogFileSentence) {
    VValueBag bag;
    const char* sentence = "More information is available in the log file '{LogFilePath}'";
    EXPECT_EQ(Format(sentence, &bag, true), sentence);
    EXPECT_EQ(Format(sentence, nullptr, true), sentence);
    bag.SetString("LogFilePath", VString("/var/log/zq/2024-01-02_03-04-05_log_1.txt"));
    EXPECT_EQ(Format(sentence, &bag, true),
              "More information is available in the log file '/var/log/zq/2024-01-02_03-04-05_log_1.txt'");
}

TEST_F(VStringFormatTest, ReturnsTheStringItself) {
    VString text("{a}");
    EXPECT_EQ(&text.Format(&fBag, false), &text);
    EXPECT_EQ(text, VString("A"));
}

TEST_F(VStringFormatTest, DoubledBracesAreLeftUnchanged) {
    EXPECT_EQ(Format("{{a}}", &fBag, true), "{{a}}");
    EXPECT_EQ(Format("x{{a}} {b}", &fBag, true), "x{{a}} Bee");
    EXPECT_EQ(Format("{a}} {b}", &fBag, true), "{a}} Bee");
}

TEST_F(VStringFormatTest, BracesEnclosingASpaceAreNotAPlaceholder) {
    EXPECT_EQ(Format("{a b} {b}", &fBag, true), "{a b} Bee");
    EXPECT_EQ(Format("{ a}", &fBag, true), "{ a}");
    EXPECT_EQ(Format("if (x) { y(); } {a}", &fBag, true), "if (x) { y(); } A");
}

TEST_F(VStringFormatTest, MissingNamesAreRemovedOrKept) {
    EXPECT_EQ(Format("x{missing}y", &fBag, true), "xy");
    EXPECT_EQ(Format("x{missing}y", &fBag, false), "x{missing}y");
    EXPECT_EQ(Format("{missing}{a}", &fBag, true), "A");
    EXPECT_EQ(Format("{missing}{a}", &fBag, false), "{missing}A");
    // Names are exact: no case folding.
    EXPECT_EQ(Format("{A}", &fBag, true), "");
}

TEST_F(VStringFormatTest, AdjacentPlaceholdersAreAllReplaced) {
    EXPECT_EQ(Format("{a}{b}{a}", &fBag, false), "ABeeA");
    EXPECT_EQ(Format("{n}%", &fBag, false), "42%");
}

TEST_F(VStringFormatTest, InsertedTextIsNotScannedAgain) {
    VValueBag bag;
    bag.SetString("self", VString("{self}"));
    bag.SetString("open", VString("{"));
    bag.SetString("b", VString("B"));
    EXPECT_EQ(Format("{self}{b}", &bag, true), "{self}B");
    // The opening brace inserted does not pair with the text that follows.
    EXPECT_EQ(Format("{open}b}", &bag, true), "{b}");
    EXPECT_EQ(Format("{open}{b}", &bag, true), "{B");
}

TEST_F(VStringFormatTest, UnclosedBraceEndsTheScan) {
    EXPECT_EQ(Format("{a} {b", &fBag, true), "A {b");
    EXPECT_EQ(Format("{", &fBag, true), "{");
    EXPECT_EQ(Format("", &fBag, true), "");
}

TEST_F(VStringFormatTest, EmptyBracesAreNotAPlaceholder) {
    VValueBag bag;
    bag.SetString("", VString("empty name"));
    EXPECT_EQ(Format("{}{a}", &fBag, true), "{}A");
    EXPECT_EQ(Format("{}", &bag, true), "{}");
}

TEST_F(VStringFormatTest, NamesOutsideASCIIAndLongNamesAreFound) {
    VValueBag bag;
    bag.SetString("caf\xC3\xA9", VString("coffee"));
    std::string longName(100, 'k');
    bag.SetString(vkit::StPackedDictionaryKey(longName.c_str()), VString("long"));
    EXPECT_EQ(Format("{caf\xC3\xA9} {cafe}", &bag, false), "coffee {cafe}");
    EXPECT_EQ(Format(("<{" + longName + "}>").c_str(), &bag, true), "<long>");
}

TEST_F(VStringFormatTest, BagWithOnlyElementsRemovesMissingNames) {
    VValueBag bag;
    auto child = vkit::AdoptRef(new VValueBag);
    bag.AddElement("child", child.Get());
    EXPECT_EQ(Format("x{child}", &bag, true), "x");
}
