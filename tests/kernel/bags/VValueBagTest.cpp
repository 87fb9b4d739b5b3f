// Tests of VValueBag and its parts: attributes through plain and typed keys and their packed store,
// element lists, paths, cloning, UnionClone, and the bag lists that hold the elements.
#include "bags/VValueBag.h"
#include "bags/StBagKeyNoDefault.h"
#include "bags/StBagKeyWithDefault.h"
#include "bags/VBagArray.h"
#include "bags/VPackedValueDictionary.h"
#include "text/VByte.h"
#include "text/VDuration.h"
#include "text/VLong.h"
#include "text/VLong8.h"
#include "text/VUUID.h"
#include "text/VWord.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace vkit;

namespace {

VRefPtr<VValueBag> NewBag(const char* inId = nullptr) {
    auto bag = AdoptRef(new VValueBag);
    if (inId != nullptr)
        bag->SetString("id", VString(inId));
    return bag;
}

/// The whole content of a bag on one line: its XML form without line breaks.
std::string Dump(const VValueBag* inBag) {
    VString text;
    inBag->DumpXML(text, VString("b"), false);
    text.ExchangeAll(VString("\n"), VString());
    return text.ToUTF8();
}

std::string Text(const VPackedValueDictionary& inDictionary, const char* inKey) {
    VString text;
    return inDictionary.GetNthString(inDictionary.Find(inKey), text) ? text.ToUTF8() : "<missing>";
}

/// A bag that records its destruction.
class TrackedBag : public VValueBag {
public:
    explicit TrackedBag(bool* outDestroyed) : fDestroyed(outDestroyed) {}
    ~TrackedBag() override { *fDestroyed = true; }

private:
    bool* fDestroyed;
};

} // namespace

TEST(VValueBagTest, AttributesOfEveryKindKeepTheirPlaceAndConvertWhenRead) {
    VValueBag bag;
    VUUID uuid;
    uuid.FromString(VString("0123456789ABCDEF0123456789ABCDEF"));
    bag.SetString("a", VString("12 345"));
    bag.SetLong8("b", 3000000000LL);
    bag.SetBool("c", true);
    bag.SetReal("d", 0.1);
    bag.SetAttribute("e", VWord(-300));
    bag.SetAttribute("f", uuid);
    bag.SetAttribute("g", VDuration(1500)); // kept as an object, not packed
    bag.SetAttribute("b", VLong8(3000000001LL));
    EXPECT_TRUE(bag.RemoveAttribute("a") && !bag.RemoveAttribute("a"));
    bag.SetString("a", VString("12 345"));
    int32_t number = -1;
    int64_t wide = 0;
    bool flag = false;
    double real = 0;
    EXPECT_TRUE(bag.GetLong("a", number) && number == 12345 && bag.GetLong8("b", wide) &&
                wide == 3000000001LL);
    EXPECT_TRUE(bag.GetBool("c", flag) && flag && bag.GetReal("d", real) && real == 0.1);
    EXPECT_TRUE(bag.GetLong("b", number) && number == 0); // does not fit in 32 bits
    EXPECT_EQ(Dump(&bag),
              "<b b=\"3000000001\" c=\"true\" d=\"0.1\" e=\"-300\" f=\"0123456789ABCDEF0123456789ABCDEF\" "
              "g=\"PT0H0M1.50000000000000S\" a=\"12 345\"/>");
    VString text("kept");
    number = -1;
    EXPECT_FALSE(bag.GetString("missing", text) || bag.GetLong("missing", number));
    EXPECT_TRUE(text == "kept" && number == -1 && bag.GetAttribute("missing") == nullptr);
    // Null values stay null, whatever class reads them.
    VLong nullLong(5);
    nullLong.SetNull();
    bag.SetAttribute("n", nullLong);
    EXPECT_TRUE(bag.GetString("n", text) && text.IsNull() &&
                bag.GetAttribute("n")->GetValueKind() == ValueKind::Long);
    // Integers read straight from the store are those a VLong8 reads, whatever the kind.
    bag.SetLong("l", -7);
    bag.SetAttribute("y", VByte(-5));
    for (VIndex i = 1; i <= bag.GetAttributesCount(); ++i) {
        VLong8 through;
        int64_t straight = -1;
        ASSERT_TRUE(bag.GetNthAttributeValue(i, through) && bag.GetNthAttributeInteger(i, straight));
        EXPECT_EQ(straight, through.Get()) << bag.GetNthAttributeKey(i);
    }
    EXPECT_FALSE(bag.GetNthAttributeInteger(bag.GetAttributesCount() + 1, wide));
}

TEST(VValueBagTest, TypedKeysReadDefaultsAndDropThem) {
    static constinit const StBagKeyWithDefault<int32_t, VLong> kLevel("level", 4);
    static const StBagKeyNoDefault<VString, VString> kMessage("message");
    VValueBag bag;
    int32_t level = 0;
    VString message("kept");
    EXPECT_TRUE(!kLevel.Get(bag, level) && level == 4 && !kMessage.Get(bag, message) && message == "kept");
    kLevel.Set(bag, 6);
    EXPECT_EQ(kLevel.Get(bag), 6);
    kLevel.Set(bag, 4);
    EXPECT_TRUE(bag.IsEmpty());
    kMessage.Set(bag, VString("hello"));
    EXPECT_TRUE(kMessage.Get(bag, message) && message == "hello" && kMessage.Remove(bag) &&
                !kMessage.HasAttribute(bag));
    // Keys are equal when their bytes are; an owned copy outlives its source.
    char buffer[] = "name";
    StPackedDictionaryKey owned(buffer, 4, true), borrowed(buffer, 4), assigned("other"), copy("gone");
    assigned = StPackedDictionaryKey(owned);
    copy = assigned;
    std::memcpy(buffer, "xxxx", 4);
    EXPECT_EQ(std::string(copy.GetView()) + std::string(owned.GetView()) + std::string(borrowed.GetView()),
              "namenamexxxx");
    EXPECT_TRUE(StPackedDictionaryKey("level_x", 5) == kLevel && !(StPackedDictionaryKey("Level") == kLevel));
}

TEST(VValueBagTest, ElementListsByName) {
    VValueBag bag;
    bag.AddElement("e", nullptr);
    EXPECT_TRUE(bag.IsEmpty());
    bag.AddElement("x", NewBag("x1").Get());
    bag.AddElement("y", NewBag("y1").Get());
    bag.AddElement("x", NewBag("x2").Get());
    EXPECT_EQ(Dump(&bag), "<b><x id=\"x1\"/><x id=\"x2\"/><y id=\"y1\"/></b>");
    VString name;
    EXPECT_TRUE(bag.GetNthElementName(2, &name) == bag.GetElements("y") && name == "y");
    EXPECT_TRUE(bag.GetNthElementName(0, &name) == nullptr && bag.GetNthElementName(3, nullptr) == nullptr);
    // Replacing: a list that holds only this bag is left alone; otherwise a list of one, in its place.
    bag.ReplaceElement("x", NewBag("new").Get());
    bag.ReplaceElement("z", NewBag("z").Get());
    EXPECT_EQ(Dump(&bag), "<b><x id=\"new\"/><y id=\"y1\"/><z id=\"z\"/></b>");
    const VBagArray* list = bag.GetElements("x");
    VValueBag* only = bag.GetUniqueElement("x");
    int32_t references = only->GetRefCount();
    bag.ReplaceElement("x", only);
    EXPECT_TRUE(bag.GetElements("x") == list && only->GetRefCount() == references);
    // A bag that only the list holds survives its own replacement and goes with the list.
    bool destroyed = false;
    bag.AddElement("x", AdoptRef<VValueBag>(new TrackedBag(&destroyed)).Get());
    bag.ReplaceElement("x", bag.GetElements("x")->GetNth(2));
    EXPECT_FALSE(destroyed);
    bag.ReplaceElement("x", nullptr);
    EXPECT_TRUE(destroyed);
    bag.RemoveElements("y");
    bag.RemoveElements("z");
    EXPECT_TRUE(bag.IsEmpty());
}

TEST(VValueBagTest, PathsFollowTheFirstBagOfEachName) {
    VValueBag::StKeyPath path;
    VValueBag::GetKeysFromPath(VString("/a//b\xC3\xA9/c/"), path); // empty names are skipped
    VValueBag root;
    EXPECT_TRUE(root.GetUniqueElementByPath(path) == nullptr &&
                root.GetUniqueElementByPath(VValueBag::StKeyPath{}) == &root);
    VValueBag* created = root.GetElementByPathAndCreateIfDontExists(path);
    EXPECT_EQ(root.GetElementByPathAndCreateIfDontExists(path), created);
    root.AddElement("a", NewBag("second a").Get()); // not on the path
    EXPECT_EQ(root.GetUniqueElementByPath(VString("a/b\xC3\xA9/c")), created);
    EXPECT_TRUE(root.ReplaceElementByPath(path, NewBag("c").Get()));
    VValueBag::GetKeysFromPath(VString("x/y"), path);
    EXPECT_TRUE(root.ReplaceElementByPath(path, NewBag("y").Get()));
    EXPECT_FALSE(root.ReplaceElementByPath(VValueBag::StKeyPath{}, NewBag().Get()));
    EXPECT_EQ(Dump(&root),
              "<b><a><b\xC3\xA9><c id=\"c\"/></b\xC3\xA9></a><a id=\"second a\"/><x><y id=\"y\"/></x></b>");
}

TEST(VValueBagTest, CloneAndUnionCloneCopyDeeply) {
    auto original = NewBag("root");
    auto child = NewBag("child");
    child->AddElement("leaf", NewBag("leaf").Get());
    original->AddElement("c", child.Get());
    VRefPtr<VValueBag> copy = AdoptRef(original->Clone());
    VValueBag constructed(*original);
    for (VValueBag* clone : {copy.Get(), &constructed}) {
        EXPECT_EQ(clone->GetRefCount(), 1);
        EXPECT_EQ(Dump(clone), Dump(original.Get()));
        clone->GetUniqueElement("c")->GetUniqueElement("leaf")->SetString("id", VString("changed"));
    }
    EXPECT_EQ(Dump(original.Get()), "<b id=\"root\"><c id=\"child\"><leaf id=\"leaf\"/></c></b>");
    // Union: the other bag's attributes replace or join these; clones of its elements are appended.
    auto target = NewBag("target");
    target->SetString("keep", VString("k"));
    target->AddElement("e", NewBag("t1").Get());
    auto other = NewBag("other");
    other->SetLong("added", 5);
    other->AddElement("e", NewBag("o1").Get());
    other->AddElement("f", NewBag("f1").Get());
    other->AddElement("e", NewBag("o2").Get());
    EXPECT_TRUE(target->UnionClone(other.Get()) && target->UnionClone(nullptr));
    EXPECT_EQ(Dump(target.Get()), "<b id=\"other\" keep=\"k\" added=\"5\"><e id=\"t1\"/><e id=\"o1\"/><e "
                                  "id=\"o2\"/><f id=\"f1\"/></b>");
    target->GetElements("e")->GetNth(2)->SetString("id", VString("changed"));
    // With itself, the elements are cloned once.
    EXPECT_TRUE(other->UnionClone(other.Get()));
    EXPECT_EQ(Dump(other.Get()),
              "<b id=\"other\" added=\"5\"><e id=\"o1\"/><e id=\"o2\"/><e id=\"o1\"/><e id=\"o2\"/>"
              "<f id=\"f1\"/><f id=\"f1\"/></b>");
}

TEST(VValueBagTest, BagListsRetainTheirBags) {
    auto bags = AdoptRef(new VBagArray);
    auto bag = NewBag("1");
    bags->AddTail(bag.Get());
    bags->AddTail(nullptr);
    bags->AddTail(bag.Get());
    EXPECT_EQ(bags->GetCount() * 10 + bag->GetRefCount(), 23);
    VRefPtr<VValueBag> first = AdoptRef(bags->RetainNth(1));
    EXPECT_TRUE(first.Get() == bag.Get() && bag->GetRefCount() == 4);
    for (VIndex index : {0, 3, -1}) {
        VRefPtr<VValueBag> outside = AdoptRef(bags->RetainNth(index));
        EXPECT_TRUE(outside->IsEmpty() && outside->GetRefCount() == 1 && !bags->GetNth(index)) << index;
    }
    VRefPtr<VBagArray> copy = AdoptRef(bags->Clone());
    EXPECT_TRUE(copy->GetCount() == 2 && copy->GetNth(2) != bag.Get() &&
                Dump(copy->GetNth(2)) == Dump(bag.Get()));
    bags->Destroy();
    EXPECT_EQ(bags->GetCount() * 10 + bag->GetRefCount(), 2);
}

TEST(VPackedValueDictionaryTest, ManyReplacementsAndRemovalsKeepEveryValue) {
    // Longer and shorter values, set as UTF-16 or as UTF-8, and removals waste store bytes and
    // compact the store from time to time; a model map checks every value after each change.
    VPackedValueDictionary dictionary;
    std::map<std::string, std::string> model;
    std::mt19937 random(1234);
    VString scratch;
    for (int step = 0; step < 3000; ++step) {
        std::string key = "key" + std::to_string(random() % 12);
        if (random() % 5 == 0) {
            EXPECT_EQ(dictionary.Remove(StPackedDictionaryKey(key.c_str())), model.erase(key) == 1);
        } else {
            std::string value(random() % 70, static_cast<char>('a' + step % 26));
            if (random() % 3 == 0)
                value += "\xC3\xA9";
            if (random() % 2 == 0)
                dictionary.SetStringUTF8(StPackedDictionaryKey(key.c_str()), value);
            else
                dictionary.SetString(StPackedDictionaryKey(key.c_str()), VString(value.c_str()));
            model[key] = value;
        }
        ASSERT_EQ(dictionary.GetCount(), static_cast<VIndex>(model.size()));
        for (const auto& [name, value] : model) {
            std::string utf8;
            dictionary.AppendNthUTF8(dictionary.Find(StPackedDictionaryKey(name.c_str())), utf8, scratch);
            ASSERT_EQ(Text(dictionary, name.c_str()) + "|" + utf8, value + "|" + value) << "step " << step;
        }
    }
}

TEST(VPackedValueDictionaryTest, TextsSetAsUTF8ReadAsTheirStrings) {
    VPackedValueDictionary dictionary;
    dictionary.SetStringUTF8("ok", "caf\xC3\xA9 \xF0\x9F\x98\x80");
    dictionary.SetStringUTF8("bad", "a\xC3\x28");
    dictionary.SetInteger("n", ValueKind::Long, -5);
    VPackedValueDictionary copy(dictionary);
    copy.SetFrom("again", dictionary, 1);
    std::string text;
    VString scratch;
    for (VIndex i = 1; i <= 5; ++i) {
        if (!copy.AppendNthUTF8(i, text, scratch))
            text += "<none>";
        text += "|";
    }
    EXPECT_EQ(text, "caf\xC3\xA9 \xF0\x9F\x98\x80|a\xEF\xBF\xBD(|-5|caf\xC3\xA9 \xF0\x9F\x98\x80|<none>|");
    EXPECT_EQ(Text(copy, "again"), "caf\xC3\xA9 \xF0\x9F\x98\x80");
    EXPECT_EQ(copy.GetNthValue(1)->GetValueKind(), ValueKind::String);
}

TEST(VPackedValueDictionaryTest, ValuesMadeOnReadAdoptedValuesAndCopies) {
    VPackedValueDictionary dictionary;
    auto* value = new VLong(11);
    dictionary.SetValueAdopted("obj", value);
    dictionary.SetReal("r", 1.5);
    dictionary.SetString("text", VString("a text longer than the inline buffer"));
    EXPECT_EQ(dictionary.GetNthValue(1), value);
    // A value made on first read is kept until the entry changes, and may be set from itself.
    const VValueSingle* made = dictionary.GetNthValue(2);
    EXPECT_EQ(dictionary.GetNthValue(2), made);
    dictionary.SetReal("r", 2.5);
    EXPECT_EQ(dictionary.GetNthValue(2)->GetReal(), 2.5);
    dictionary.SetString("text", *static_cast<const VString*>(dictionary.GetNthValue(3)));
    EXPECT_EQ(Text(dictionary, "text"), "a text longer than the inline buffer");
    VPackedValueDictionary copy;
    copy = dictionary;
    EXPECT_TRUE(copy.GetNthValue(1) != value && copy.GetNthValue(1)->GetLong() == 11);
    dictionary.SetString("obj", VString("now text"));
    EXPECT_EQ(Text(dictionary, "obj") + Text(copy, "obj"), "now text11");
    // Entries of any dictionary, even this one while its store grows.
    copy.SetFrom("copied", copy, 2);
    copy.SetFrom("object", copy, 1);
    copy.SetFrom("none", dictionary, 4);
    EXPECT_TRUE(copy.GetNthValue(4)->GetReal() + copy.GetNthValue(5)->GetLong() == 13.5 &&
                !copy.Find("none"));
}

TEST(VPackedValueDictionaryTest, TasksReadingTogetherShareOneValueObject) {
    VPackedValueDictionary dictionary;
    const VValueSingle* seen[2][32];
    for (int i = 0; i < 32; ++i)
        dictionary.SetString(StPackedDictionaryKey(("k" + std::to_string(i)).c_str()), VString("value"));
    auto read = [&dictionary, &seen](int inReader) {
        for (int i = 0; i < 32; ++i)
            seen[inReader][i] = dictionary.GetNthValue(i + 1);
    };
    std::thread other(read, 1);
    read(0);
    other.join();
    EXPECT_TRUE(std::equal(seen[0], seen[0] + 32, seen[1]));
}
