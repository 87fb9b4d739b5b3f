// Tests of the typed bag keys, with and without a default value.
#include "bags/StBagKeyWithDefault.h"
#include "bags/StBagKeyNoDefault.h"
#include "bags/VValueBag.h"
#include "text/VBoolean.h"
#include "text/VLong.h"
#include "text/VLong8.h"
#include "text/VUUID.h"

#include <gtest/gtest.h>

#include <cstdint>

using vkit::StBagKeyNoDefault;
using vkit::StBagKeyWithDefault;
using vkit::VBoolean;
using vkit::VLong;
using vkit::VLong8;
using vkit::VString;
using vkit::VUUID;
using vkit::VValueBag;

namespace {

// Declared as the process-wide keys are: constant-initialized.
constinit const StBagKeyWithDefault<int32_t, VLong> kLevel("level", 4);
constinit const StBagKeyNoDefault<uint64_t, VLong8> kErrorCode("error_code");
constinit const StBagKeyWithDefault<bool, VBoolean> kIsSSL("is_ssl", false);
const StBagKeyNoDefault<VString, VString> kMessage("message");
const StBagKeyWithDefault<VString, VString> kSource("source", VString("engine"));
const StBagKeyNoDefault<VUUID, VUUID> kContext("base_context_uuid");

} // namespace

TEST(StBagKeyWithDefaultTest, MissingAttributeReadsAsTheDefault) {
    VValueBag bag;
    EXPECT_EQ(kLevel.Get(bag), 4);
    int32_t level = 0;
    EXPECT_FALSE(kLevel.Get(bag, level));
    EXPECT_EQ(level, 4);
    EXPECT_EQ(kSource.Get(bag).ToUTF8(), "engine");
    EXPECT_FALSE(kIsSSL.Get(bag));
}

TEST(StBagKeyWithDefaultTest, WritingTheDefaultRemovesTheAttribute) {
    VValueBag bag;
    kLevel.Set(bag, 6);
    EXPECT_TRUE(kLevel.HasAttribute(bag));
    EXPECT_EQ(kLevel.Get(bag), 6);
    kLevel.Set(bag, 4);
    EXPECT_FALSE(kLevel.HasAttribute(bag));
    EXPECT_TRUE(bag.IsEmpty());
    kSource.Set(bag, VString("other"));
    EXPECT_EQ(kSource.Get(bag).ToUTF8(), "other");
    kSource.Set(bag, VString("engine"));
    EXPECT_FALSE(kSource.HasAttribute(bag));
    kIsSSL.Set(bag, true);
    EXPECT_TRUE(kIsSSL.Get(bag));
    kIsSSL.Set(bag, false);
    EXPECT_TRUE(bag.IsEmpty());
}

TEST(StBagKeyWithDefaultTest, ValueStoredAsAnotherClassIsConverted) {
    VValueBag bag;
    bag.SetString("level", VString("7"));
    EXPECT_EQ(kLevel.Get(bag), 7);
    bag.SetString("level", VString("not a number"));
    EXPECT_EQ(kLevel.Get(bag), 0);
}

TEST(StBagKeyWithDefaultTest, KeysWithoutDefaultStoreTheirClass) {
    VValueBag bag;
    uint64_t code = 0;
    EXPECT_FALSE(kErrorCode.Get(bag, code));
    const uint64_t big = 0x766B697400000064ULL; // "vkit" 100
    kErrorCode.Set(bag, big);
    EXPECT_TRUE(kErrorCode.Get(bag, code));
    EXPECT_EQ(code, big);
    EXPECT_EQ(bag.GetAttribute(kErrorCode)->GetValueKind(), vkit::ValueKind::Long8);

    kMessage.Set(bag, VString("hello"));
    VString message;
    EXPECT_TRUE(kMessage.Get(bag, message));
    EXPECT_EQ(message.ToUTF8(), "hello");

    VUUID uuid = VUUID::Generate();
    kContext.Set(bag, uuid);
    VUUID read;
    EXPECT_TRUE(kContext.Get(bag, read));
    EXPECT_TRUE(read == uuid);
    EXPECT_TRUE(kContext.Remove(bag));
    EXPECT_FALSE(kContext.HasAttribute(bag));
}
