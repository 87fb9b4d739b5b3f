// Tests of the XML form of bags: tags, attributes, indentation, character data and the document text.
#include "bags/BagXMLText.h"
#include "bags/VValueBag.h"
#include "text/VBoolean.h"
#include "text/VLong.h"

#include <gtest/gtest.h>

#include <string>

using namespace vkit;

namespace {

std::string DumpXML(const VValueBag& inBag, const char* inName, bool inIndented) {
    VString text("<kept>");
    inBag.DumpXML(text, VString(inName), inIndented);
    return text.ToUTF8().substr(6);
}

VRefPtr<VValueBag> NewBag(const char* inName = nullptr, const char* inValue = nullptr) {
    auto bag = AdoptRef(new VValueBag);
    if (inName != nullptr)
        bag->SetString(inName, VString(inValue));
    return bag;
}

} // namespace

TEST(VValueBagXMLTest, AttributesAndText) {
    VValueBag bag;
    EXPECT_EQ(DumpXML(bag, "empty", true), "<empty/>");
    bag.SetString("name", VString("ann"));
    bag.SetAttribute("count", VLong(3));
    bag.SetAttribute("on", VBoolean(true));
    bag.SetString("____objectunic", VString("1"));
    bag.SetString("q", VString("say \"a\" & b"));
    bag.SetString("all", VString("&<>\"'"));
    bag.SetString("____property_name_in_jsarray", VString("p"));
    bag.SetString("caf\xC3\xA9", VString(("cr\xC3\xA8me" + std::string(300, 'v')).c_str()));
    // Bookkeeping attributes are left out; names and long values outside ASCII are written whole.
    const std::string tag = " name=\"ann\" count=\"3\" on=\"true\" q=\"say &quot;a&quot; &amp; b\" "
                            "all=\"&amp;&lt;&gt;&quot;&apos;\" caf\xC3\xA9=\"cr\xC3\xA8me" +
                            std::string(300, 'v') + "\"";
    EXPECT_EQ(DumpXML(bag, "r\xC3\xA9", true), "<r\xC3\xA9" + tag + "/>");
    EXPECT_EQ(DumpXML(bag, "r", false), "<r" + tag + "/>");
    // Text follows the start tag and is followed directly by the end tag.
    bag.SetCData(VString("hello"));
    EXPECT_EQ(DumpXML(bag, "r", true), "<r" + tag + ">hello</r>");
    bag.SetAttribute(VValueBag::CDataAttributeName, VLong(7));
    EXPECT_EQ(DumpXML(bag, "r", true), "<r" + tag + ">7</r>");
    // Text that writes nothing ends as a bag without text does.
    bag.SetCData(VString(u"\u0001"));
    EXPECT_EQ(DumpXML(bag, "r", true), "<r" + tag + ">\n</r>");
    EXPECT_EQ(DumpXML(bag, "r", false), "<r" + tag + "></r>");
}

TEST(VValueBagXMLTest, ChildrenAndIndentation) {
    auto root = NewBag("v", "1");
    auto second = NewBag("id", "2");
    second->AddElement("sub", NewBag().Get());
    root->AddElement("item", NewBag("id", "1").Get());
    root->AddElement("other", NewBag().Get());
    root->AddElement("item", second.Get()); // joins the list of "item", written before "other"
    const std::string indented =
        "<root v=\"1\">\n\t<item id=\"1\"/>\n\t<item id=\"2\">\n\t\t<sub/>\n\t</item>\n\t<other/>\n</root>";
    EXPECT_EQ(DumpXML(*root, "root", true), indented);
    EXPECT_EQ(DumpXML(*root, "root", false),
              "<root v=\"1\">\n<item id=\"1\"/>\n<item id=\"2\">\n<sub/></item>\n<other/></root>");
    second->SetCData(VString("hi"));
    root->SetCData(VString("tail"));
    EXPECT_EQ(
        DumpXML(*root, "root", true),
        "<root v=\"1\">\n\t<item id=\"1\"/>\n\t<item id=\"2\">\n\t\t<sub/>hi</item>\n\t<other/>tail</root>");
    second->SetCData(VString("")); // writes nothing: ends as without text
    root->RemoveAttribute(VValueBag::CDataAttributeName);
    EXPECT_EQ(DumpXML(*root, "root", true), indented);
    VString document("left over");
    GetBagXMLText(*second, VString("r"), true, document);
    EXPECT_EQ(document, "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r id=\"2\">\n\t<sub/>\n</r>");
    // Indentation stops growing at one hundred tabs.
    VValueBag* parent = second.Get();
    for (int level = 2; level <= 102; ++level, parent = parent->GetUniqueElement("e"))
        parent->AddElement("e", NewBag().Get());
    std::string xml = DumpXML(*root, "r", true);
    EXPECT_EQ(xml.find(std::string(101, '\t')), std::string::npos);
    EXPECT_NE(xml.find("\n" + std::string(100, '\t') + "<e/>\n" + std::string(100, '\t') + "</e>\n" +
                       std::string(100, '\t') + "</e>\n" + std::string(99, '\t') + "</e>"),
              std::string::npos);
}

TEST(VValueBagXMLTest, CharacterData) {
    struct Row {
        std::u16string text;
        std::string xml; // nothing is written only when the text is empty of allowed characters
    };
    // A CDATA section for markup, or for breaks or tabs with other text; "]]>" ends a section and
    // opens another. Characters not allowed in XML are dropped; surrogates are kept only in pairs.
    const Row kRows[] = {
        {u"hello", "hello"},
        {u"\n\t", "\n\t"},
        {u"\nx", "<![CDATA[\nx]]>"},
        {u"a\tb", "<![CDATA[a\tb]]>"},
        {u"x<y", "<![CDATA[x<y]]>"},
        {u"say \"x\"", "<![CDATA[say \"x\"]]>"},
        {u"it's", "<![CDATA[it's]]>"},
        {u"a]]>b", "<![CDATA[a]]>]]<![CDATA[>b]]>"},
        {u"]]>]]>", "<![CDATA[]]>]]<![CDATA[>]]>]]<![CDATA[>]]>"},
        {u"]]\u0001>", "<![CDATA[]]>]]<![CDATA[>]]>"},
        {u"<\u0002>", "<![CDATA[<>]]>"},
        {u"a\u0001b\u001Fc\uFFFEd\uFFFF", "abcd"},
        {std::u16string(u"\0\u0008", 2), ""},
        {u"\uD7FF\uE000\uFFFD", "\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBD"},
        {u"a\U0001F600z\U0010FFFF", "a\xF0\x9F\x98\x80z\xF4\x8F\xBF\xBF"},
        {u"a\xD83Dz\xD83D", "az"},
        {u"\xDE00z\xDE00\xD83D", "z"},
        {u"\xDE00\U0001F600", "\xF0\x9F\x98\x80"},
        {u"<\U0001F600\xDE00", "<![CDATA[<\xF0\x9F\x98\x80]]>"},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.xml);
        VString out("<kept>");
        EXPECT_EQ(
            VValueBag::DumpXMLCData(out, VString(row.text.data(), static_cast<VIndex>(row.text.size()))),
            !row.xml.empty());
        EXPECT_EQ(out.ToUTF8(), "<kept>" + row.xml);
    }
}
