// Tests of VPackedValueDictionary: packed values, replacement, compaction and values made on first read.
#include "bags/VPackedValueDictionary.h"
#include "text/VBoolean.h"
#include "text/VLong.h"
#include "text/VLong8.h"
#include "text/VReal.h"
#include "text/VUUID.h"
#include "text/VWord.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

using vkit::StPackedDictionaryKey;
using vkit::ValueKind;
using vkit::VIndex;
using vkit::VLong;
using vkit::VPackedValueDictionary;
using vkit::VString;
using vkit::VValueSingle;

namespace {

std::string Text(const VPackedValueDictionary& inDictionary, const char* inKey) {
    VString text;
    if (!inDictionary.GetNthString(inDictionary.Find(inKey), text))
        return "<missing>";
    return text.ToUTF8();
}

} // namespace

TEST(VPackedValueDictionaryTest, ManyReplacementsAndRemovalsKeepEveryValue) {
    // Replacing values by longer and shorter ones and removing entries wastes store bytes and
    // compacts the store from time to time; a model map checks every value after each change.
    VPackedValueDictionary dictionary;
    std::map<std::string, std::string> model;
    std::mt19937 random(1234);
    for (int step = 0; step < 3000; ++step) {
        std::string key = "key" + std::to_string(random() % 12);
        if (random() % 5 == 0) {
            EXPECT_EQ(dictionary.Remove(StPackedDictionaryKey(key.c_str())), model.erase(key) == 1);
        } else {
            std::string value(random() % 70, static_cast<char>('a' + step % 26));
            dictionary.SetString(StPackedDictionaryKey(key.c_str()), VString(value.c_str()));
            model[key] = value;
        }
        ASSERT_EQ(dictionary.GetCount(), static_cast<VIndex>(model.size()));
        if (step % 50 == 0) {
            for (const auto& [name, value] : model)
                ASSERT_EQ(Text(dictionary, name.c_str()), value) << "step " << step;
        }
    }
    for (const auto& [name, value] : model)
        EXPECT_EQ(Text(dictionary, name.c_str()), value);
}

TEST(VPackedValueDictionaryTest, EveryPackedKindReadsBackWithItsClass) {
    VPackedValueDictionary dictionary;
    dictionary.SetValue("bool", vkit::VBoolean(true));
    dictionary.SetValue("word", vkit::VWord(-300));
    dictionary.SetValue("long", VLong(-7));
    dictionary.SetValue("long8", vkit::VLong8(1LL << 40));
    dictionary.SetValue("real", vkit::VReal(0.1));
    vkit::VUUID uuid = vkit::VUUID::Generate();
    dictionary.SetValue("uuid", uuid);
    dictionary.SetValue("text", VString("t\xC3\xA9xt"));

    const VValueSingle* value = dictionary.GetNthValue(dictionary.Find("word"));
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->GetValueKind(), ValueKind::Word);
    EXPECT_EQ(value->GetLong(), -300);
    EXPECT_EQ(dictionary.GetNthValue(dictionary.Find("long8"))->GetLong8(), 1LL << 40);
    EXPECT_EQ(dictionary.GetNthValue(dictionary.Find("real"))->GetReal(), 0.1);
    EXPECT_TRUE(dictionary.GetNthValue(dictionary.Find("bool"))->GetBoolean());
    vkit::VUUID readUUID;
    EXPECT_TRUE(dictionary.GetNthValue(dictionary.Find("uuid"), readUUID));
    EXPECT_TRUE(readUUID == uuid);
    EXPECT_EQ(Text(dictionary, "long"), "-7");
    EXPECT_EQ(Text(dictionary, "text"), "t\xC3\xA9xt");
    EXPECT_EQ(dictionary.GetNthKind(dictionary.Find("uuid")), ValueKind::UUID);
    EXPECT_EQ(dictionary.GetNthKey(7), "text");
    EXPECT_EQ(dictionary.GetNthKey(8), "");
    EXPECT_EQ(dictionary.GetNthValue(8), nullptr);
}

TEST(VPackedValueDictionaryTest, ValueMadeOnFirstReadIsKeptUntilTheEntryChanges) {
    VPackedValueDictionary dictionary;
    dictionary.SetInteger("n", ValueKind::Long, 1);
    const VValueSingle* first = dictionary.GetNthValue(1);
    EXPECT_EQ(dictionary.GetNthValue(1), first);
    dictionary.SetInteger("n", ValueKind::Long, 2);
    EXPECT_EQ(dictionary.GetNthValue(1)->GetLong(), 2);
    // A value can be set from the dictionary's own value object.
    dictionary.SetString("s", VString("a text longer than the inline buffer"));
    const auto* made = static_cast<const VString*>(dictionary.GetNthValue(2));
    dictionary.SetString("s", *made);
    EXPECT_EQ(Text(dictionary, "s"), "a text longer than the inline buffer");
}

TEST(VPackedValueDictionaryTest, AdoptedValueIsKeptAsAnObjectAndCopied) {
    VPackedValueDictionary dictionary;
    auto* value = new VLong(11);
    dictionary.SetValueAdopted("obj", value);
    dictionary.SetString("s", VString("x"));
    EXPECT_EQ(dictionary.GetNthValue(1), value);
    VPackedValueDictionary copy(dictionary);
    ASSERT_NE(copy.GetNthValue(1), nullptr);
    EXPECT_NE(copy.GetNthValue(1), value);
    EXPECT_EQ(copy.GetNthValue(1)->GetLong(), 11);
    // Replacing the adopted value by a packed one.
    dictionary.SetString("obj", VString("now text"));
    EXPECT_EQ(Text(dictionary, "obj"), "now text");
    EXPECT_EQ(copy.GetNthValue(1)->GetLong(), 11);
}

TEST(VPackedValueDictionaryTest, CopiesAreIndependent) {
    VPackedValueDictionary original;
    original.SetString("a", VString("1"));
    original.GetNthValue(1);
    VPackedValueDictionary copy(original);
    copy.SetString("a", VString("2"));
    copy.SetString("b", VString("3"));
    EXPECT_EQ(Text(original, "a"), "1");
    EXPECT_EQ(original.Find("b"), 0);
    VPackedValueDictionary assigned;
    assigned = copy;
    EXPECT_EQ(Text(assigned, "b"), "3");
    VPackedValueDictionary moved(std::move(assigned));
    EXPECT_EQ(Text(moved, "a"), "2");
}

TEST(VPackedValueDictionaryTest, SetFromCopiesAnEntryOfAnyDictionary) {
    VPackedValueDictionary source;
    source.SetReal("r", 1.5);
    source.SetString("s", VString("text"));
    VPackedValueDictionary target;
    target.SetFrom("copied", source, 1);
    target.SetFrom("none", source, 3);
    EXPECT_EQ(target.GetNthValue(1)->GetReal(), 1.5);
    EXPECT_EQ(target.Find("none"), 0);
    // From itself, while the store grows.
    target.SetFrom("self", target, 1);
    EXPECT_EQ(target.GetNthValue(2)->GetReal(), 1.5);
}

TEST(VPackedValueDictionaryTest, TasksReadingTogetherShareOneValueObject) {
    VPackedValueDictionary dictionary;
    for (int i = 0; i < 32; ++i)
        dictionary.SetString(StPackedDictionaryKey(("k" + std::to_string(i)).c_str()), VString("value"));
    std::vector<std::vector<const VValueSingle*>> seen(4);
    std::vector<std::thread> readers;
    for (auto& values : seen) {
        readers.emplace_back([&dictionary, &values] {
            for (VIndex i = 1; i <= dictionary.GetCount(); ++i)
                values.push_back(dictionary.GetNthValue(i));
        });
    }
    for (std::thread& reader : readers)
        reader.join();
    for (const auto& values : seen)
        EXPECT_EQ(values, seen[0]);
}
