// Tests of the XML form of bags: tags, attributes, indentation and character data.
#include "bags/VValueBag.h"
#include "text/VBoolean.h"
#include "text/VLong.h"

#include <gtest/gtest.h>

#include <string>

using vkit::VBoolean;
using vkit::VLong;
using vkit::VRefPtr;
using vkit::VString;
using vkit::VValueBag;

namespace {

std::string DumpXML(const VValueBag& inBag, const char* inName, bool inIndented) {
    VString text;
    inBag.DumpXML(text, VString(inName), inIndented);
    return text.ToUTF8();
}

/// The character data as written (as UTF-8), and whether the writer reported writing something.
std::string CData(const VString& inText, bool* outWrote = nullptr) {
    VString out;
    bool wrote = VValueBag::DumpXMLCData(out, inText);
    if (outWrote != nullptr)
        *outWrote = wrote;
    return out.ToUTF8();
}

/// Joins the CDATA sections and the text between them, as an XML reader does.
std::string ReadCharacterData(const std::string& inXML) {
    static const std::string kOpen = "<![CDATA[";
    std::string text;
    size_t position = 0;
    while (position < inXML.size()) {
        if (inXML.compare(position, kOpen.size(), kOpen) == 0) {
            size_t end = inXML.find("]]>", position + kOpen.size());
            if (end == std::string::npos)
                return "<unterminated CDATA section>";
            text.append(inXML, position + kOpen.size(), end - position - kOpen.size());
            position = end + 3;
        } else {
            text.push_back(inXML[position++]);
        }
    }
    return text;
}

VRefPtr<VValueBag> NewBag() {
    return vkit::AdoptRef(new VValueBag);
}

} // namespace

TEST(VValueBagXMLTest, BagWithOnlyAttributesIsOneSelfClosingElement) {
    VValueBag bag;
    EXPECT_EQ(DumpXML(bag, "empty", true), "<empty/>");
    bag.SetString("name", VString("ann"));
    bag.SetAttribute("count", VLong(3));
    bag.SetAttribute("on", VBoolean(true));
    EXPECT_EQ(DumpXML(bag, "root", true), "<root name=\"ann\" count=\"3\" on=\"true\"/>");
    EXPECT_EQ(DumpXML(bag, "root", false), "<root name=\"ann\" count=\"3\" on=\"true\"/>");
}

TEST(VValueBagXMLTest, AttributeValuesAreEscaped) {
    VValueBag bag;
    bag.SetString("q", VString("say \"a\" & b"));
    bag.SetString("all", VString("&<>\"'"));
    EXPECT_EQ(DumpXML(bag, "r", false),
              "<r q=\"say &quot;a&quot; &amp; b\" all=\"&amp;&lt;&gt;&quot;&apos;\"/>");
}

TEST(VValueBagXMLTest, NamesOutsideASCIIAndLongValuesAreWrittenWhole) {
    VValueBag bag;
    std::string longValue(300, 'v');
    longValue += "&end";
    bag.SetString("caf\xC3\xA9", VString("cr\xC3\xA8me"));
    bag.SetString("long", VString(longValue.c_str()));
    EXPECT_EQ(DumpXML(bag, "r\xC3\xA9", false),
              "<r\xC3\xA9 caf\xC3\xA9=\"cr\xC3\xA8me\" long=\"" + std::string(300, 'v') + "&amp;end\"/>");
}

TEST(VValueBagXMLTest, TextAndBookkeepingAttributesAreNotWrittenAsAttributes) {
    VValueBag bag;
    bag.SetString("____objectunic", VString("1"));
    bag.SetString("a", VString("x"));
    bag.SetString("____property_name_in_jsarray", VString("p"));
    EXPECT_EQ(DumpXML(bag, "r", false), "<r a=\"x\"/>");
    bag.SetCData(VString("t"));
    EXPECT_EQ(DumpXML(bag, "r", false), "<r a=\"x\">t</r>");
}

TEST(VValueBagXMLTest, NestedIndentedPutsChildrenAndEndTagsOnTheirOwnLines) {
    auto root = NewBag();
    root->SetString("v", VString("1"));
    auto first = NewBag();
    first->SetLong("id", 1);
    auto second = NewBag();
    second->SetLong("id", 2);
    second->AddElement("sub", NewBag().Get());
    root->AddElement("item", first.Get());
    root->AddElement("other", NewBag().Get());
    root->AddElement("item", second.Get()); // joins the list of "item", written before "other"
    EXPECT_EQ(DumpXML(*root, "root", true), "<root v=\"1\">\n"
                                            "\t<item id=\"1\"/>\n"
                                            "\t<item id=\"2\">\n"
                                            "\t\t<sub/>\n"
                                            "\t</item>\n"
                                            "\t<other/>\n"
                                            "</root>");
}

TEST(VValueBagXMLTest, NestedNotIndentedStartsChildrenOnNewLinesWithoutTabs) {
    auto root = NewBag();
    auto item = NewBag();
    item->AddElement("sub", NewBag().Get());
    root->AddElement("item", item.Get());
    root->AddElement("other", NewBag().Get());
    EXPECT_EQ(DumpXML(*root, "root", false), "<root>\n<item>\n<sub/></item>\n<other/></root>");
}

TEST(VValueBagXMLTest, TextIsFollowedDirectlyByTheEndTag) {
    VValueBag bag;
    bag.SetCData(VString("hello"));
    EXPECT_EQ(DumpXML(bag, "a", true), "<a>hello</a>");
    EXPECT_EQ(DumpXML(bag, "a", false), "<a>hello</a>");

    auto parent = NewBag();
    auto child = NewBag();
    child->SetCData(VString("hi"));
    parent->AddElement("b", child.Get());
    parent->AddElement("c", NewBag().Get());
    parent->SetCData(VString("tail"));
    EXPECT_EQ(DumpXML(*parent, "a", true), "<a>\n\t<b>hi</b>\n\t<c/>tail</a>");
}

TEST(VValueBagXMLTest, TextThatWritesNothingEndsLikeABagWithoutText) {
    VValueBag empty;
    empty.SetCData(VString(""));
    EXPECT_EQ(DumpXML(empty, "a", true), "<a>\n</a>");
    EXPECT_EQ(DumpXML(empty, "a", false), "<a></a>");

    // Only characters not allowed in XML: nothing is written.
    auto parent = NewBag();
    auto child = NewBag();
    child->SetCData(VString(u"\u0001\uFFFF"));
    parent->AddElement("b", child.Get());
    EXPECT_EQ(DumpXML(*parent, "a", true), "<a>\n\t<b>\n\t</b>\n</a>");
}

TEST(VValueBagXMLTest, TextAttributeOfAnotherKindIsWrittenAsItsText) {
    VValueBag bag;
    bag.SetAttribute(VValueBag::CDataAttributeName, VLong(7));
    EXPECT_EQ(DumpXML(bag, "n", true), "<n>7</n>");
}

TEST(VValueBagXMLTest, IndentationStopsGrowingAtOneHundredTabs) {
    auto root = NewBag();
    VValueBag* parent = root.Get();
    for (int level = 1; level <= 102; ++level) {
        auto child = NewBag();
        parent->AddElement("e", child.Get());
        parent = child.Get();
    }
    std::string xml = DumpXML(*root, "r", true);
    EXPECT_NE(xml.find("\n" + std::string(99, '\t') + "<e>\n"), std::string::npos);
    EXPECT_NE(xml.find("\n" + std::string(100, '\t') + "<e>\n"), std::string::npos);
    // Levels 101 and 102 are written with 100 tabs too: no line holds more.
    EXPECT_EQ(xml.find(std::string(101, '\t')), std::string::npos);
    EXPECT_NE(xml.find("\n" + std::string(100, '\t') + "<e/>\n" + std::string(100, '\t') + "</e>"),
              std::string::npos);
}

TEST(VValueBagXMLTest, CDataSectionIsSplitAtEachSectionEnd) {
    EXPECT_EQ(CData(VString("a]]>b")), "<![CDATA[a]]>]]<![CDATA[>b]]>");
    EXPECT_EQ(CData(VString("]]>]]>")), "<![CDATA[]]>]]<![CDATA[>]]>]]<![CDATA[>]]>");
    VValueBag bag;
    bag.SetCData(VString("a]]>b"));
    EXPECT_EQ(DumpXML(bag, "t", true), "<t><![CDATA[a]]>]]<![CDATA[>b]]></t>");
}

TEST(VValueBagXMLTest, CharacterDataReadsBackUnchanged) {
    for (const char* text : {"a]]>b", "]]>", "]]]>>", "x]]", "]]>]]>]]>", "<b>&amp;</b>", "line\nnext",
                             "]\n]>", "plain", "tab\tonly"}) {
        EXPECT_EQ(ReadCharacterData(CData(VString(text))), text) << text;
    }
}

TEST(VValueBagXMLTest, CDataSectionIsChosenForMarkupOrBreaksWithText) {
    bool wrote = false;
    EXPECT_EQ(CData(VString("\n\t"), &wrote), "\n\t");
    EXPECT_TRUE(wrote);
    EXPECT_EQ(CData(VString(" \r\n ")), " \r\n ");
    EXPECT_EQ(CData(VString("\nx")), "<![CDATA[\nx]]>");
    EXPECT_EQ(CData(VString("a\tb")), "<![CDATA[a\tb]]>");
    EXPECT_EQ(CData(VString("two words")), "two words");
    for (const char* markup : {"x<y", "x>y", "x&y", "say \"x\"", "it's"})
        EXPECT_EQ(CData(VString(markup)), std::string("<![CDATA[") + markup + "]]>") << markup;
    // A CDATA section is reported as written even when empty of allowed characters.
    EXPECT_EQ(CData(VString(u"\u0001\n"), &wrote), "<![CDATA[\n]]>");
    EXPECT_TRUE(wrote);
}

TEST(VValueBagXMLTest, CharactersNotAllowedInXMLAreDropped) {
    bool wrote = true;
    EXPECT_EQ(CData(VString(u"a\u0001b\u001Fc\uFFFEd\uFFFF"), &wrote), "abcd");
    EXPECT_TRUE(wrote);
    const char16_t controls[] = {0x0000, 0x0008};
    EXPECT_EQ(CData(VString(controls, 2), &wrote), "");
    EXPECT_FALSE(wrote);
    EXPECT_EQ(CData(VString(u"\uD7FF\uE000\uFFFD")), "\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBD");
    // Also inside a CDATA section.
    EXPECT_EQ(CData(VString(u"<\u0002>")), "<![CDATA[<>]]>");
}

TEST(VValueBagXMLTest, SurrogatePairsAreKeptAndLoneSurrogatesDropped) {
    const char16_t pair[] = {u'a', 0xD83D, 0xDE00, u'b', 0};
    EXPECT_EQ(CData(VString(pair)), "a\xF0\x9F\x98\x80"
                                    "b");
    const char16_t loneHigh[] = {u'a', 0xD83D, u'b', 0xD83D, 0};
    EXPECT_EQ(CData(VString(loneHigh)), "ab");
    const char16_t loneLow[] = {0xDE00, u'a', 0xDE00, 0xD83D, 0};
    EXPECT_EQ(CData(VString(loneLow)), "a");
    const char16_t reversed[] = {0xDE00, 0xD83D, 0xDE00, 0};
    VString out;
    VValueBag::DumpXMLCData(out, VString(reversed));
    ASSERT_EQ(out.GetLength(), 2);
    EXPECT_EQ(out[0], 0xD83D);
    EXPECT_EQ(out[1], 0xDE00);
    // A pair in a text that needs a CDATA section.
    const char16_t inSection[] = {u'<', 0xD83D, 0xDE00, 0xDE00, 0};
    EXPECT_EQ(CData(VString(inSection)), "<![CDATA[<\xF0\x9F\x98\x80]]>");
}

TEST(VValueBagXMLTest, SectionEndMadeByDroppingACharacterIsSplitToo) {
    EXPECT_EQ(CData(VString(u"]]\u0001>")), "<![CDATA[]]>]]<![CDATA[>]]>");
}
