// Tests of VValueBag: attributes, element lists, ReplaceElement, paths, cloning and UnionClone.
#include "bags/VValueBag.h"
#include "bags/VBagArray.h"
#include "text/VBoolean.h"
#include "text/VLong.h"
#include "text/VLong8.h"
#include "text/VReal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using vkit::AdoptRef;
using vkit::VBagArray;
using vkit::VIndex;
using vkit::VLong;
using vkit::VRefPtr;
using vkit::VString;
using vkit::VValueBag;
using vkit::VValueSingle;

namespace {

VRefPtr<VValueBag> NewBag(const char* inId = nullptr) {
    auto bag = AdoptRef(new VValueBag);
    if (inId != nullptr)
        bag->SetString("id", VString(inId));
    return bag;
}

/// The names of the attributes in order.
std::vector<std::string> AttributeNames(const VValueBag& inBag) {
    std::vector<std::string> names;
    VString name;
    for (VIndex i = 1; i <= inBag.GetAttributesCount(); ++i) {
        inBag.GetNthAttribute(i, &name);
        names.push_back(name.ToUTF8());
    }
    return names;
}

std::string Id(const VValueBag* inBag) {
    VString id;
    if (inBag == nullptr || !inBag->GetString("id", id))
        return "<none>";
    return id.ToUTF8();
}

/// The ids of the bags of a list, in order.
std::vector<std::string> Ids(const VBagArray* inBags) {
    std::vector<std::string> ids;
    for (VIndex i = 1; inBags != nullptr && i <= inBags->GetCount(); ++i)
        ids.push_back(Id(inBags->GetNth(i)));
    return ids;
}

using Strings = std::vector<std::string>;

/// A bag that records its destruction.
class TrackedBag : public VValueBag {
public:
    explicit TrackedBag(bool* outDestroyed) : fDestroyed(outDestroyed) {}
    ~TrackedBag() override { *fDestroyed = true; }

private:
    bool* fDestroyed;
};

} // namespace

TEST(VValueBagTest, SetReplacesInPlaceAndAppendsNewNames) {
    VValueBag bag;
    bag.SetString("a", VString("1"));
    bag.SetString("b", VString("2"));
    bag.SetString("c", VString("3"));
    bag.SetAttribute("b", VLong(20));
    EXPECT_EQ(AttributeNames(bag), (Strings{"a", "b", "c"}));
    int32_t b = 0;
    EXPECT_TRUE(bag.GetLong("b", b));
    EXPECT_EQ(b, 20);
    EXPECT_TRUE(bag.RemoveAttribute("a"));
    EXPECT_FALSE(bag.RemoveAttribute("a"));
    bag.SetString("a", VString("again"));
    EXPECT_EQ(AttributeNames(bag), (Strings{"b", "c", "a"}));
}

TEST(VValueBagTest, GetConvertsToTheRequestedClassAndLeavesMissingUntouched) {
    VValueBag bag;
    bag.SetString("text", VString("12 345"));
    bag.SetLong8("big", 3000000000LL);
    bag.SetBool("flag", true);
    bag.SetReal("ratio", 2.5);
    int32_t number = -1;
    EXPECT_TRUE(bag.GetLong("text", number));
    EXPECT_EQ(number, 12345);
    // A 64-bit value that a 32-bit value cannot hold converts to 0.
    EXPECT_TRUE(bag.GetLong("big", number));
    EXPECT_EQ(number, 0);
    VString text;
    EXPECT_TRUE(bag.GetString("big", text));
    EXPECT_EQ(text.ToUTF8(), "3000000000");
    EXPECT_TRUE(bag.GetString("flag", text));
    EXPECT_EQ(text.ToUTF8(), "true");
    double ratio = 0;
    EXPECT_TRUE(bag.GetReal("ratio", ratio));
    EXPECT_EQ(ratio, 2.5);
    bool flag = false;
    EXPECT_TRUE(bag.GetBool("flag", flag));
    EXPECT_TRUE(flag);

    number = -1;
    text = "kept";
    EXPECT_FALSE(bag.GetLong("missing", number));
    EXPECT_FALSE(bag.GetString("missing", text));
    EXPECT_EQ(number, -1);
    EXPECT_EQ(text.ToUTF8(), "kept");
    EXPECT_EQ(bag.GetAttribute("missing"), nullptr);
}

TEST(VValueBagTest, NullValuesStayNull) {
    VValueBag bag;
    VString nullText;
    nullText.SetNull(true);
    bag.SetAttribute("s", nullText);
    VLong nullLong(5);
    nullLong.SetNull(true);
    bag.SetAttribute("n", nullLong);
    VString text("x");
    EXPECT_TRUE(bag.GetString("s", text));
    EXPECT_TRUE(text.IsNull());
    VLong value(9);
    EXPECT_TRUE(bag.GetAttribute("n", value));
    EXPECT_TRUE(value.IsNull());
    ASSERT_NE(bag.GetAttribute("n"), nullptr);
    EXPECT_TRUE(bag.GetAttribute("n")->IsNull());
    EXPECT_EQ(bag.GetAttribute("n")->GetValueKind(), vkit::ValueKind::Long);
}

TEST(VValueBagTest, IsEmptyCountsAttributesAndElementsNotTheElementDictionary) {
    VValueBag bag;
    EXPECT_TRUE(bag.IsEmpty());
    bag.AddElement("e", nullptr);
    EXPECT_TRUE(bag.IsEmpty());
    EXPECT_EQ(bag.GetElementNamesCount(), 0);
    bag.AddElement("e", NewBag().Get());
    EXPECT_FALSE(bag.IsEmpty());
    bag.RemoveElements("e");
    EXPECT_TRUE(bag.IsEmpty());
    bag.SetString("a", VString(""));
    EXPECT_FALSE(bag.IsEmpty());
}

TEST(VValueBagTest, ElementNamesKeepTheirFirstInsertionOrder) {
    VValueBag bag;
    bag.AddElement("x", NewBag("x1").Get());
    bag.AddElement("y", NewBag("y1").Get());
    bag.AddElement("x", NewBag("x2").Get());
    ASSERT_EQ(bag.GetElementNamesCount(), 2);
    VString name;
    EXPECT_EQ(Ids(bag.GetNthElementName(1, &name)), (Strings{"x1", "x2"}));
    EXPECT_EQ(name.ToUTF8(), "x");
    EXPECT_EQ(Ids(bag.GetNthElementName(2, &name)), (Strings{"y1"}));
    EXPECT_EQ(name.ToUTF8(), "y");
    EXPECT_EQ(bag.GetNthElementName(0, &name), nullptr);
    EXPECT_EQ(bag.GetNthElementName(3, nullptr), nullptr);
    EXPECT_EQ(Id(bag.GetUniqueElement("x")), "x1");
    EXPECT_EQ(bag.GetElements("z"), nullptr);
}

TEST(VValueBagTest, ReplaceElementWithTheOnlyBagChangesNothing) {
    VValueBag bag;
    auto only = NewBag("only");
    bag.AddElement("e", only.Get());
    const VBagArray* list = bag.GetElements("e");
    int32_t references = only->GetRefCount();
    bag.ReplaceElement("e", only.Get());
    EXPECT_EQ(bag.GetElements("e"), list);
    EXPECT_EQ(Ids(list), (Strings{"only"}));
    EXPECT_EQ(only->GetRefCount(), references);
}

TEST(VValueBagTest, ReplaceElementLeavesAListOfOne) {
    VValueBag bag;
    bag.AddElement("e", NewBag("1").Get());
    bag.AddElement("f", NewBag("f").Get());
    bag.AddElement("e", NewBag("2").Get());
    bag.ReplaceElement("e", NewBag("new").Get());
    EXPECT_EQ(Ids(bag.GetElements("e")), (Strings{"new"}));
    // The name keeps its place among the element names.
    VString name;
    bag.GetNthElementName(1, &name);
    EXPECT_EQ(name.ToUTF8(), "e");

    bag.ReplaceElement("g", NewBag("g").Get());
    EXPECT_EQ(Ids(bag.GetElements("g")), (Strings{"g"}));
    EXPECT_EQ(bag.GetElementNamesCount(), 3);
}

TEST(VValueBagTest, ReplaceElementWithABagTheListAloneHolds) {
    VValueBag bag;
    bool destroyed = false;
    {
        auto tracked = AdoptRef<VValueBag>(new TrackedBag(&destroyed));
        tracked->SetString("id", VString("second"));
        bag.AddElement("e", NewBag("first").Get());
        bag.AddElement("e", tracked.Get());
    }
    bag.ReplaceElement("e", bag.GetElements("e")->GetNth(2));
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(Ids(bag.GetElements("e")), (Strings{"second"}));
    bag.ReplaceElement("e", nullptr);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(bag.GetElements("e"), nullptr);
    EXPECT_EQ(bag.GetElementNamesCount(), 0);
}

TEST(VValueBagTest, CloneCopiesAttributesAndClonesElementsDeeply) {
    auto original = NewBag("root");
    auto child = NewBag("child");
    child->AddElement("leaf", NewBag("leaf").Get());
    original->AddElement("c", child.Get());
    original->SetLong("n", 1);

    VRefPtr<VValueBag> copy = AdoptRef(original->Clone());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->GetRefCount(), 1);
    VValueBag* copiedChild = copy->GetUniqueElement("c");
    ASSERT_NE(copiedChild, nullptr);
    EXPECT_NE(copiedChild, child.Get());
    EXPECT_NE(copiedChild->GetUniqueElement("leaf"), child->GetUniqueElement("leaf"));

    copiedChild->SetString("id", VString("changed"));
    copy->SetLong("n", 2);
    EXPECT_EQ(Id(child.Get()), "child");
    int32_t n = 0;
    original->GetLong("n", n);
    EXPECT_EQ(n, 1);

    VValueBag constructed(*original);
    VString xmlOriginal;
    VString xmlConstructed;
    original->DumpXML(xmlOriginal, VString("r"), true);
    constructed.DumpXML(xmlConstructed, VString("r"), true);
    EXPECT_EQ(xmlConstructed, xmlOriginal);
    EXPECT_EQ(constructed.GetRefCount(), 1);
}

TEST(VValueBagTest, UnionCloneReplacesAttributesAndAppendsElementClones) {
    auto target = NewBag("target");
    target->SetString("keep", VString("k"));
    target->AddElement("e", NewBag("t1").Get());
    auto other = NewBag("other");
    other->SetLong("added", 5);
    auto o1 = NewBag("o1");
    other->AddElement("e", o1.Get());
    other->AddElement("f", NewBag("f1").Get());
    other->AddElement("e", NewBag("o2").Get());

    EXPECT_TRUE(target->UnionClone(other.Get()));
    EXPECT_EQ(AttributeNames(*target), (Strings{"id", "keep", "added"}));
    EXPECT_EQ(Id(target.Get()), "other");
    EXPECT_EQ(Ids(target->GetElements("e")), (Strings{"t1", "o1", "o2"}));
    EXPECT_EQ(Ids(target->GetElements("f")), (Strings{"f1"}));
    EXPECT_NE(target->GetElements("e")->GetNth(2), o1.Get());
    // The other bag is unchanged.
    EXPECT_EQ(Ids(other->GetElements("e")), (Strings{"o1", "o2"}));
    EXPECT_TRUE(target->UnionClone(nullptr));
}

TEST(VValueBagTest, UnionCloneWithItselfDuplicatesTheElementsOnce) {
    auto bag = NewBag("self");
    bag->AddElement("e", NewBag("1").Get());
    bag->AddElement("e", NewBag("2").Get());
    EXPECT_TRUE(bag->UnionClone(bag.Get()));
    EXPECT_EQ(Ids(bag->GetElements("e")), (Strings{"1", "2", "1", "2"}));
    EXPECT_EQ(AttributeNames(*bag), (Strings{"id"}));
}

TEST(VValueBagTest, KeysFromPathSkipEmptyNames) {
    VValueBag::StKeyPath keys;
    VValueBag::GetKeysFromPath(VString("/a//b\xC3\xA9/c/"), keys);
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].GetView(), "a");
    EXPECT_EQ(keys[1].GetView(), "b\xC3\xA9");
    EXPECT_EQ(keys[2].GetView(), "c");
    VValueBag::GetKeysFromPath(VString(""), keys);
    EXPECT_TRUE(keys.empty());
}

TEST(VValueBagTest, PathOperationsFollowTheFirstBagOfEachName) {
    VValueBag root;
    VValueBag::StKeyPath path;
    VValueBag::GetKeysFromPath(VString("a/b/c"), path);
    EXPECT_EQ(root.GetUniqueElementByPath(path), nullptr);
    EXPECT_EQ(root.GetUniqueElementByPath(VValueBag::StKeyPath{}), &root);

    VValueBag* created = root.GetElementByPathAndCreateIfDontExists(path);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(root.GetUniqueElementByPath(VString("a/b/c")), created);
    EXPECT_EQ(root.GetElementByPathAndCreateIfDontExists(path), created);
    // A second bag under "a" is not on the path.
    root.AddElement("a", NewBag("second a").Get());
    EXPECT_EQ(root.GetUniqueElementByPath(VString("a/b/c")), created);

    EXPECT_TRUE(root.ReplaceElementByPath(path, NewBag("replaced").Get()));
    EXPECT_EQ(Id(root.GetUniqueElementByPath(VString("a/b/c"))), "replaced");
    VValueBag::StKeyPath other;
    VValueBag::GetKeysFromPath(VString("x/y"), other);
    EXPECT_TRUE(root.ReplaceElementByPath(other, NewBag("y").Get()));
    EXPECT_EQ(Id(root.GetUniqueElementByPath(VString("x/y"))), "y");
    EXPECT_FALSE(root.ReplaceElementByPath(VValueBag::StKeyPath{}, NewBag().Get()));
}

TEST(VValueBagTest, ReleasingTheBagReleasesItsElements) {
    bool destroyed = false;
    auto parent = NewBag();
    {
        auto child = AdoptRef<VValueBag>(new TrackedBag(&destroyed));
        parent->AddElement("c", child.Get());
    }
    EXPECT_FALSE(destroyed);
    parent = VRefPtr<VValueBag>();
    EXPECT_TRUE(destroyed);
}

TEST(VValueBagTest, CDataIsTheTextAttribute) {
    VValueBag bag;
    bag.SetCData(VString("body"));
    VString text;
    EXPECT_TRUE(bag.GetString(VValueBag::CDataAttributeName, text));
    EXPECT_EQ(text.ToUTF8(), "body");
    EXPECT_TRUE(bag.AttributeExists("<>"));
}
