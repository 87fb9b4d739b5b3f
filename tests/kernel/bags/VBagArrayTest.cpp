// Tests of VBagArray: retained bags, out-of-range reads and destruction.
#include "bags/VBagArray.h"
#include "bags/VValueBag.h"

#include <gtest/gtest.h>

using vkit::AdoptRef;
using vkit::VBagArray;
using vkit::VRefPtr;
using vkit::VString;
using vkit::VValueBag;

TEST(VBagArrayTest, RetainNthOutOfRangeGivesANewEmptyBag) {
    auto bags = AdoptRef(new VBagArray);
    auto bag = AdoptRef(new VValueBag);
    bag->SetString("a", VString("1"));
    bags->AddTail(bag.Get());
    bags->AddTail(nullptr);
    EXPECT_EQ(bags->GetCount(), 1);
    EXPECT_EQ(bag->GetRefCount(), 2);

    VRefPtr<VValueBag> first = AdoptRef(bags->RetainNth(1));
    EXPECT_EQ(first.Get(), bag.Get());
    EXPECT_EQ(bag->GetRefCount(), 3);
    for (vkit::VIndex index : {0, 2, -1}) {
        VRefPtr<VValueBag> outside = AdoptRef(bags->RetainNth(index));
        ASSERT_TRUE(outside);
        EXPECT_NE(outside.Get(), bag.Get());
        EXPECT_TRUE(outside->IsEmpty());
        EXPECT_EQ(outside->GetRefCount(), 1);
    }
    EXPECT_EQ(bags->GetNth(2), nullptr);
}

TEST(VBagArrayTest, DestroyReleasesEveryBag) {
    auto bags = AdoptRef(new VBagArray);
    auto bag = AdoptRef(new VValueBag);
    bags->AddTail(bag.Get());
    bags->AddTail(bag.Get());
    EXPECT_EQ(bag->GetRefCount(), 3);
    bags->Destroy();
    EXPECT_EQ(bags->GetCount(), 0);
    EXPECT_EQ(bag->GetRefCount(), 1);
}

TEST(VBagArrayTest, CloneHoldsNewBags) {
    auto bags = AdoptRef(new VBagArray);
    auto bag = AdoptRef(new VValueBag);
    bag->SetString("a", VString("1"));
    bags->AddTail(bag.Get());
    VRefPtr<VBagArray> copy = AdoptRef(bags->Clone());
    ASSERT_EQ(copy->GetCount(), 1);
    EXPECT_NE(copy->GetNth(1), bag.Get());
    VString value;
    EXPECT_TRUE(copy->GetNth(1)->GetString("a", value));
    EXPECT_EQ(value.ToUTF8(), "1");
}
