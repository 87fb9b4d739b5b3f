// Tests of VString's printf-style formatting and its object conversions.
#include "text/VBoolean.h"
#include "text/VLong.h"
#include "text/VReal.h"
#include "text/VString.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <new>
#include <string>

using namespace vkit;

namespace {

/// A live library object that is neither a string nor a scalar value.
class PrintfProbe : public VObject {};

std::string Printed(const VString& inText) {
    return inText.ToUTF8();
}

} // namespace

TEST(VStringPrintfTest, StringObjectsAndCArgumentsInOrder) {
    VString name("disk");
    VString text;
    text.Printf("%S has %d files", &name, 12);
    EXPECT_EQ(Printed(text), "disk has 12 files");

    VString other("\xC3\xA9t\xC3\xA9");
    text.Printf("%s:%S/%S", "x", &name, &other);
    EXPECT_EQ(Printed(text), "x:disk/\xC3\xA9t\xC3\xA9");
}

TEST(VStringPrintfTest, DoubledPercentTakesNoArgument) {
    VString name("copy");
    VString text;
    text.Printf("100%% %S", &name);
    EXPECT_EQ(Printed(text), "100% copy");
    text.Printf("%d%%%%%S", 5, &name);
    EXPECT_EQ(Printed(text), "5%%copy");
}

TEST(VStringPrintfTest, ArgumentsBeforeAnObjectAreWalkedByType) {
    VString name("n");
    VString text;
    text.Printf("%*d|%S", 4, 7, &name);
    EXPECT_EQ(Printed(text), "   7|n");
    text.Printf("%.*s|%S", 2, "abcdef", &name);
    EXPECT_EQ(Printed(text), "ab|n");
    // Reals travel apart from integers and pointers in the calling convention: a walk that counted
    // slots without types would hand %S the wrong argument.
    text.Printf("%.1f %lld %c %S %g %S", 2.5, 1LL << 40, 'z', &name, 0.25, &name);
    EXPECT_EQ(Printed(text), "2.5 1099511627776 z n 0.25 n");
    text.Printf("%hhd %zu %p %S", 3, sizeof(int), static_cast<void*>(nullptr), &name);
    EXPECT_EQ(Printed(text), "3 4 (nil) n");
}

TEST(VStringPrintfTest, TextWithoutConversionsIsUnchangedAndAppendKeepsText) {
    VString text("keep:");
    text.AppendPrintf("plain text");
    EXPECT_EQ(Printed(text), "keep:plain text");
    EXPECT_EQ(&text.AppendPrintf("%d", 1), &text);
    EXPECT_EQ(Printed(text), "keep:plain text1");
    text.Printf("fresh");
    EXPECT_EQ(Printed(text), "fresh");
}

TEST(VStringPrintfTest, ValueAndDebugConversions) {
    VLong number(42);
    VReal real(0.1);
    VBoolean flag(true);
    VString word("w");
    VString text;
    text.Printf("%A %A %A %A", &number, &real, &flag, &word);
    EXPECT_EQ(Printed(text), "42 0.1 true w");
    PrintfProbe probe;
    text.Printf("[%V] [%V]", &word, &probe);
    EXPECT_EQ(Printed(text).substr(0, 5), "[w] [");
    EXPECT_NE(Printed(text).find("PrintfProbe]"), std::string::npos) << Printed(text);
}

TEST(VStringPrintfTest, InvalidPointersUnderEachLetter) {
    VLong number(1);
    PrintfProbe probe;
    alignas(16) unsigned char junk[64] = {};
    VString text;
    text.Printf("%S|%A|%V", &number, &probe, junk);
    EXPECT_EQ(Printed(text), "@@invalid VString@@|@@invalid VValueSingle@@|@@invalid VObject@@");
    text.Printf("%S|%A|%V", nullptr, junk, reinterpret_cast<void*>(0x10));
    EXPECT_EQ(Printed(text), "@@invalid VObject@@|@@invalid VObject@@|@@invalid VObject@@");

    auto* gone = new VString("gone");
    void* stale = gone;
    delete gone;
    alignas(VString) unsigned char storage[sizeof(VString)];
    VString* destroyed = new (storage) VString("old");
    destroyed->~VString();
    text.Printf("%S %S", storage, stale);
    EXPECT_EQ(Printed(text), "@@invalid VObject@@ @@invalid VObject@@");
}

TEST(VStringPrintfTest, OutputIsCutAt1023Bytes) {
    std::string longText(2000, 'x');
    VString text;
    text.Printf("%s", longText.c_str());
    EXPECT_EQ(text.GetLength(), 1023);

    // The cut falls inside a two-byte character: the partial character is dropped, not decoded.
    std::string accented(1022, 'a');
    accented += "\xC3\xA9";
    text.Printf("%s", accented.c_str());
    EXPECT_EQ(text.GetLength(), 1022);
    EXPECT_EQ(text[1021], u'a');

    // The object's text is put in after the cut, so it is not limited.
    VString big(longText.c_str());
    text.Printf("<%S>", &big);
    EXPECT_EQ(text.GetLength(), 2002);

    // A cut through the fenced pointer leaves no trace of it.
    VString tail("t");
    text.Printf("%s%S", std::string(1015, 'y').c_str(), &tail);
    EXPECT_EQ(Printed(text), std::string(1015, 'y'));
}

TEST(VStringPrintfTest, FormatIsCutAt1023BytesWithoutHalfConversions) {
    std::string format(1500, 'f');
    VString text;
    text.Printf(format.c_str());
    EXPECT_EQ(text.GetLength(), 1023);

    std::string almost(1022, 'g');
    text.Printf((almost + "%d").c_str(), 5);
    EXPECT_EQ(Printed(text), almost);
    text.Printf((std::string(1021, 'g') + "%d").c_str(), 5);
    EXPECT_EQ(Printed(text), std::string(1021, 'g') + "5");
}

TEST(VStringPrintfTest, FencesInTheTextDoNotCatchObjects) {
    VString name("n");
    VString fenced(";;;0x1;;;");
    VString text;
    text.Printf(";;;a;;; %S", &name);
    EXPECT_EQ(Printed(text), ";;;a;;; n");
    text.Printf("%S %S", &fenced, &name);
    EXPECT_EQ(Printed(text), ";;;0x1;;; n");
}

TEST(VStringPrintfTest, OddConversions) {
    VString name("n");
    VString text;
    // An unknown conversion and "%n" count one argument each; "%n" writes nothing.
    text.Printf("%y %S %", 7, &name);
    EXPECT_EQ(Printed(text), "%y n %");
    text.Printf("a%nb %S %d", nullptr, &name, 4);
    EXPECT_EQ(Printed(text), "ab n 4");
    text.Printf("[%5S] [%-3S]", &name, &name);
    EXPECT_EQ(Printed(text), "[n] [n]");
    text.Printf("%.1A %S", 1.0, &name);
    EXPECT_EQ(Printed(text), "0X1.0P+0 n");
}

TEST(VStringPrintfTest, AppendingTheStringItself) {
    VString text("ab");
    text.AppendPrintf("-%S-%S", &text, &text);
    EXPECT_EQ(Printed(text), "ab-ab-ab");
    std::string longText(40, 'z');
    VString grown(longText.c_str());
    grown.AppendPrintf("%S", &grown);
    EXPECT_EQ(grown.GetLength(), 80);
}

TEST(VStringPrintfTest, ObjectConversionsBeyondTheFormatLimitAreDropped) {
    // Each "%S" becomes eight bytes of working format (127 fit in 1023 bytes) and prints its fenced
    // pointer: the output cut at 1023 bytes keeps the objects whose fences it holds whole.
    VString name("n");
    const VString* p = &name;
#define VKIT_TEN(x) x, x, x, x, x, x, x, x, x, x
    std::string format;
    for (int i = 0; i < 130; ++i)
        format += "%S";
    VString text;
    text.Printf(format.c_str(), VKIT_TEN(VKIT_TEN(p)), VKIT_TEN(p), VKIT_TEN(p), VKIT_TEN(p));
#undef VKIT_TEN
    char pointer[32];
    size_t fenced =
        static_cast<size_t>(std::snprintf(pointer, sizeof(pointer), ";;;%p;;;", static_cast<const void*>(p)));
    EXPECT_EQ(Printed(text), std::string(1023 / fenced, 'n'));
}
