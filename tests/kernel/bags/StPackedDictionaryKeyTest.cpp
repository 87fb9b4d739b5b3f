// Tests of StPackedDictionaryKey: byte equality, owned copies and the UTF-8 form of texts.
#include "bags/StPackedDictionaryKey.h"
#include "text/VString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using vkit::StPackedDictionaryKey;
using vkit::VString;

TEST(StPackedDictionaryKeyTest, KeysAreEqualWhenTheirBytesAre) {
    constexpr StPackedDictionaryKey literal("level");
    static_assert(literal.GetKeyLength() == 5);
    std::string text = "level";
    StPackedDictionaryKey fromBuffer(text.data(), text.size());
    EXPECT_TRUE(literal == fromBuffer);
    EXPECT_EQ(literal.GetHashCode(), fromBuffer.GetHashCode());
    EXPECT_FALSE(literal == StPackedDictionaryKey("Level"));
    EXPECT_FALSE(literal == StPackedDictionaryKey("leve"));
    // A length shorter than the text takes only that many bytes.
    EXPECT_TRUE(StPackedDictionaryKey("level_x", 5) == literal);
    EXPECT_TRUE(StPackedDictionaryKey(nullptr).IsEmpty());
}

TEST(StPackedDictionaryKeyTest, OwnedCopySurvivesItsSourceAndIsCopiedDeeply) {
    char buffer[] = "name";
    StPackedDictionaryKey owned(buffer, 4, true);
    StPackedDictionaryKey borrowed(buffer, 4);
    std::memcpy(buffer, "xxxx", 4);
    EXPECT_EQ(owned.GetView(), "name");
    EXPECT_EQ(borrowed.GetView(), "xxxx");
    EXPECT_TRUE(owned.IsOwned());
    EXPECT_FALSE(borrowed.IsOwned());

    StPackedDictionaryKey copy(owned);
    EXPECT_NE(copy.GetKey(), owned.GetKey());
    EXPECT_TRUE(copy == owned);
    StPackedDictionaryKey assigned("other");
    assigned = copy;
    copy = StPackedDictionaryKey("gone");
    EXPECT_EQ(assigned.GetView(), "name");
    StPackedDictionaryKey moved(std::move(assigned));
    EXPECT_EQ(moved.GetView(), "name");
}

TEST(StPackedDictionaryKeyTest, KeyFromTextHoldsItsUtf8Form) {
    VString name(u"caf\u00E9");
    StPackedDictionaryKey key(name);
    EXPECT_EQ(key.GetView(), "caf\xC3\xA9");
    EXPECT_TRUE(key == StPackedDictionaryKey("caf\xC3\xA9"));
    VString back;
    key.GetName(back);
    EXPECT_EQ(back, name);
}
