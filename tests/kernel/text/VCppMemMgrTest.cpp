// Tests of the live-object check behind the formatter.
#include "text/VCppMemMgr.h"
#include "text/VString.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <thread>

using vkit::VCppMemMgr;
using vkit::VString;

TEST(VCppMemMgrTest, TellsLiveObjectsFromOtherPointers) {
    VString onStack("x");
    auto onHeap = std::make_unique<VString>("y");
    EXPECT_EQ(VCppMemMgr::CheckVObject(&onStack), &onStack);
    EXPECT_EQ(VCppMemMgr::CheckVObject(onHeap.get()), onHeap.get());

    alignas(16) unsigned char junk[64] = {1, 2, 3};
    EXPECT_EQ(VCppMemMgr::CheckVObject(junk), nullptr);
    EXPECT_EQ(VCppMemMgr::CheckVObject(nullptr), nullptr);
    EXPECT_EQ(VCppMemMgr::CheckVObject(reinterpret_cast<void*>(uintptr_t{0x10})), nullptr);
    EXPECT_EQ(VCppMemMgr::CheckVObject(reinterpret_cast<char*>(&onStack) + 1), nullptr);
}

TEST(VCppMemMgrTest, DestroyedObjectIsNotLive) {
    alignas(VString) unsigned char storage[sizeof(VString)];
    VString* text = new (storage) VString("gone");
    EXPECT_NE(VCppMemMgr::CheckVObject(text), nullptr);
    text->~VString();
    EXPECT_EQ(VCppMemMgr::CheckVObject(storage), nullptr);
}

TEST(VCppMemMgrTest, ObjectsMadeByAnotherThreadAreLive) {
    // Other threads allocate from their own arenas, outside the program break's heap.
    std::unique_ptr<VString> fromThread;
    std::thread maker([&] { fromThread = std::make_unique<VString>("elsewhere"); });
    maker.join();
    EXPECT_EQ(VCppMemMgr::CheckVObject(fromThread.get()), fromThread.get());
    static VString sStatic("static");
    EXPECT_EQ(VCppMemMgr::CheckVObject(&sStatic), &sStatic);
    EXPECT_EQ(VCppMemMgr::CheckVObject(reinterpret_cast<void*>(uintptr_t{0x7FFFFFFFF000})), nullptr);
}
