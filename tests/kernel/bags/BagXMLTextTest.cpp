// Tests of the text of a bag document: the declaration and the bag's element.
#include "bags/BagXMLText.h"
#include "bags/VValueBag.h"

#include <gtest/gtest.h>

using vkit::VString;
using vkit::VValueBag;

TEST(BagXMLTextTest, DeclarationIsFollowedDirectlyByTheRootElement) {
    auto bag = vkit::AdoptRef(new VValueBag);
    bag->SetString("server_path", VString("10.0.0.1:19812"));
    auto child = vkit::AdoptRef(new VValueBag);
    bag->AddElement("cache", child.Get());
    VString text("left over");
    vkit::GetBagXMLText(*bag, VString("database_shortcut"), false, text);
    EXPECT_EQ(text.ToUTF8(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?><database_shortcut "
                             "server_path=\"10.0.0.1:19812\">\n<cache/></database_shortcut>");
    vkit::GetBagXMLText(*bag, VString("r"), true, text);
    EXPECT_EQ(text.ToUTF8(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r server_path=\"10.0.0.1:19812\">\n"
                             "\t<cache/>\n</r>");
}
