// Tests of VString's printf-style formatting, its object conversions and the live-object check.
#include "text/VBoolean.h"
#include "text/VCppMemMgr.h"
#include "text/VLong.h"
#include "text/VReal.h"
#include "text/VString.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <thread>

using namespace vkit;

namespace {

/// A live library object that is neither a string nor a scalar value.
class PrintfProbe : public VObject {};

} // namespace

TEST(VStringPrintfTest, Conversions) {
    const VString name("n"), disk("disk"), accented("\xC3\xA9t\xC3\xA9"), fenced(";;;0x1;;;");
    const VLong number(42);
    const VReal real(0.1);
    const VBoolean flag(true);
    const PrintfProbe probe;
    alignas(16) unsigned char junk[64] = {1, 2, 3};
    auto* freed = new VString("gone");
    const void* stale = freed;
    delete freed;
    alignas(VString) unsigned char storage[sizeof(VString)];
    (new (storage) VString("old"))->~VString();
    std::unique_ptr<VString> fromThread;
    std::thread([&fromThread] { fromThread = std::make_unique<VString>("thread"); }).join();
    static const VString sStatic("static");
    const std::string x1015(1015, 'y'), x2000(2000, 'x'), a1020(1020, 'a');
    const VString big(x2000.c_str());
    // Each argument is walked by its type, so that the object conversions take their own: reals travel
    // apart from integers in the calling convention. An unknown conversion and "%n" count one argument
    // each; "%n" writes nothing. The output is cut at 1023 bytes, objects' texts added afterwards.
    const std::pair<std::function<void(VString&)>, std::string> kRows[] = {
        {[&](VString& s) { s.Printf("%S has %d files", &disk, 12); }, "disk has 12 files"},
        {[&](VString& s) { s.Printf("%s:%S/%S", "x", &disk, &accented); }, "x:disk/\xC3\xA9t\xC3\xA9"},
        {[&](VString& s) { s.Printf("100%% %d%%%%%S", 5, &name); }, "100% 5%%n"},
        {[&](VString& s) { s.Printf("%*d|%.*s|%S", 4, 7, 2, "abcdef", &name); }, "   7|ab|n"},
        {[&](VString& s) { s.Printf("%.1f %lld %c %S %g %S", 2.5, 1LL << 40, 'z', &name, 0.25, &name); },
         "2.5 1099511627776 z n 0.25 n"},
        {[&](VString& s) { s.Printf("%hhd %zu %p %.1Lf %S", 3, sizeof(int), nullptr, 1.5L, &name); },
         "3 4 (nil) 1.5 n"},
        {[&](VString& s) { s.AppendPrintf("plain text"); }, "kept:plain text"},
        {[&](VString& s) { s.AppendPrintf(nullptr); }, "kept:"},
        {[&](VString& s) { s.Printf("%A %A %A %A", &number, &real, &flag, &name); }, "42 0.1 true n"},
        {[&](VString& s) { s.Printf("[%V] [%V]", &name, &probe); },
         "[n] [(anonymous namespace)::PrintfProbe]"},
        {[&](VString& s) { s.Printf("%S|%A|%V", &number, &probe, junk); },
         "@@invalid VString@@|@@invalid VValueSingle@@|@@invalid VObject@@"},
        {[&](VString& s) { s.Printf("%S|%A|%V", nullptr, junk, reinterpret_cast<void*>(0x10)); },
         "@@invalid VObject@@|@@invalid VObject@@|@@invalid VObject@@"},
        {[&](VString& s) { s.Printf("%S %S", storage, stale); }, "@@invalid VObject@@ @@invalid VObject@@"},
        {[&](VString& s) {
             s.Printf("%S %S", &disk.GetCPointer()[1], reinterpret_cast<void*>(0x7FFFFFFFF000));
         },
         "@@invalid VObject@@ @@invalid VObject@@"},
        {[&](VString& s) { s.Printf("%S %S", fromThread.get(), &sStatic); }, "thread static"},
        {[&](VString& s) { s.Printf(";;;abcde;;; ;;;0xzz;;; %S", &name); }, ";;;abcde;;; ;;;0xzz;;; n"},
        {[&](VString& s) { s.Printf("%S %S", &fenced, &name); }, ";;;0x1;;; n"},
        {[&](VString& s) { s.Printf("a%nb %y %S %d %", nullptr, 7, &name, 4); }, "ab %y n 4 %"},
        {[&](VString& s) { errno = ENOENT, s.Printf("%m %S", &name); }, "No such file or directory n"},
        {[&](VString& s) { s.Printf("[%5S] [%-3S] %.1A", &name, &name, 1.0); }, "[n] [n] 0X1.0P+0"},
        {[&](VString& s) { s.AppendPrintf("-%S-%S", &s, &s); }, "kept:-kept:-kept:"},
        {[&](VString& s) { s.Printf("%s", x2000.c_str()); }, std::string(1023, 'x')},
        {[&](VString& s) { s.Printf("%s\xC3\xA9", (a1020 + "aa").c_str()); }, a1020 + "aa"},
        {[&](VString& s) { s.Printf("%s\xF0\x9F\x98\x80", a1020.c_str()); }, a1020},
        {[&](VString& s) { s.Printf("<%S>", &big); }, "<" + x2000 + ">"},
        {[&](VString& s) { s.Printf("%s%S", x1015.c_str(), &name); }, x1015},
        {[&](VString& s) { s.Printf(std::string(1500, 'f').c_str()); }, std::string(1023, 'f')},
        {[&](VString& s) { s.Printf((std::string(1022, 'g') + "%d").c_str(), 5); }, std::string(1022, 'g')},
        {[&](VString& s) { s.Printf((std::string(1021, 'g') + "%d").c_str(), 5); },
         std::string(1021, 'g') + "5"},
    };
    for (size_t i = 0; i < std::size(kRows); ++i) {
        VString text("kept:");
        kRows[i].first(text);
        EXPECT_EQ(text.ToUTF8(), kRows[i].second) << "row " << i;
    }
    EXPECT_TRUE(VCppMemMgr::CheckVObject(&name) == &name && VCppMemMgr::CheckVObject(junk) == nullptr);
}
