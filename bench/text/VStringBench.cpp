// Benchmarks of VString, each beside a standard baseline doing the same work in the same program.
#include "text/VIntlMgr.h"
#include "text/VString.h"

#include <benchmark/benchmark.h>
#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

using namespace vkit;

namespace {

constexpr const char kShortLiteral[] = "config.json"; // 11 characters: within VString's inline buffer

/// About 1 KB of UTF-8, mostly ASCII with accented letters and a few four-byte characters.
std::string MakeUTF8Text() {
    std::string text;
    while (text.size() < 1024)
        text += "Les donn\xC3\xA9"
                "es du caf\xC3\xA9 sont copi\xC3\xA9"
                "es \xF0\x9F\x98\x80 vers le dossier. ";
    return text;
}

std::u16string Widen(const char* inASCII) {
    return std::u16string(inASCII, inASCII + std::strlen(inASCII));
}

// Construction from a short literal: VString decodes the 8-bit text; the baseline widens it.

void BM_Construct_VString(benchmark::State& state) {
    for (auto _ : state) {
        VString text(kShortLiteral);
        benchmark::DoNotOptimize(text.GetCPointer());
    }
}
BENCHMARK(BM_Construct_VString);

void BM_Construct_u16string(benchmark::State& state) {
    for (auto _ : state) {
        std::u16string text(kShortLiteral, kShortLiteral + sizeof(kShortLiteral) - 1);
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_Construct_u16string);

// Copy of a short text.

void BM_Copy_VString(benchmark::State& state) {
    VString source(kShortLiteral);
    for (auto _ : state) {
        VString copy(source);
        benchmark::DoNotOptimize(copy.GetCPointer());
    }
}
BENCHMARK(BM_Copy_VString);

void BM_Copy_u16string(benchmark::State& state) {
    std::u16string source = Widen(kShortLiteral);
    for (auto _ : state) {
        std::u16string copy(source);
        benchmark::DoNotOptimize(copy.data());
    }
}
BENCHMARK(BM_Copy_u16string);

// Append: sixteen short pieces onto an empty text (ends at 64 characters).

void BM_Append_VString(benchmark::State& state) {
    VString piece("abcd");
    for (auto _ : state) {
        VString text;
        for (int i = 0; i < 16; ++i)
            text.AppendString(piece);
        benchmark::DoNotOptimize(text.GetCPointer());
    }
}
BENCHMARK(BM_Append_VString);

void BM_Append_u16string(benchmark::State& state) {
    std::u16string piece = u"abcd";
    for (auto _ : state) {
        std::u16string text;
        for (int i = 0; i < 16; ++i)
            text += piece;
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_Append_u16string);

// UTF-8 to UTF-16 and back, 1 KB.

void BM_UTF8RoundTrip_VString(benchmark::State& state) {
    std::string source = MakeUTF8Text();
    std::string back;
    for (auto _ : state) {
        VString text(source.data(), source.size());
        text.ToUTF8(back);
        benchmark::DoNotOptimize(back.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source.size()));
}
BENCHMARK(BM_UTF8RoundTrip_VString);

void BM_UTF8RoundTrip_ICU(benchmark::State& state) {
    std::string source = MakeUTF8Text();
    std::string back;
    for (auto _ : state) {
        UErrorCode status = U_ZERO_ERROR;
        std::u16string text(source.size(), u'\0');
        int32_t length = 0;
        u_strFromUTF8(text.data(), static_cast<int32_t>(text.size()), &length, source.data(),
                      static_cast<int32_t>(source.size()), &status);
        text.resize(static_cast<size_t>(length));
        back.resize(text.size() * 3);
        int32_t bytes = 0;
        u_strToUTF8(back.data(), static_cast<int32_t>(back.size()), &bytes, text.data(),
                    static_cast<int32_t>(text.size()), &status);
        back.resize(static_cast<size_t>(bytes));
        benchmark::DoNotOptimize(back.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source.size()));
}
BENCHMARK(BM_UTF8RoundTrip_ICU);

// Equality ignoring accents and case.

const char kAccented[] = "Caf\xC3\xA9 R\xC3\xA9sum\xC3\xA9";
const char kPlain[] = "cafe resume";

void BM_EqualNotDiacritical_VString(benchmark::State& state) {
    VString a(kAccented);
    VString b(kPlain);
    for (auto _ : state)
        benchmark::DoNotOptimize(a.EqualToString(b, false));
}
BENCHMARK(BM_EqualNotDiacritical_VString);

void BM_EqualNotDiacritical_ucol(benchmark::State& state) {
    VString a(kAccented);
    VString b(kPlain);
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open("en_US", &status);
    ucol_setStrength(collator, UCOL_PRIMARY);
    ucol_setAttribute(collator, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    for (auto _ : state)
        benchmark::DoNotOptimize(ucol_strcoll(collator, a.GetCPointer(), a.GetLength(), b.GetCPointer(),
                                              b.GetLength()) == UCOL_EQUAL);
    ucol_close(collator);
}
BENCHMARK(BM_EqualNotDiacritical_ucol);

// Printf("%S %d") against snprintf("%s %d") followed by the UTF-8 decode of its output.

void BM_Printf_VString(benchmark::State& state) {
    VString name("donn\xC3\xA9"
                 "es");
    VString text;
    for (auto _ : state) {
        text.Printf("%S %d", &name, 42);
        benchmark::DoNotOptimize(text.GetCPointer());
    }
}
BENCHMARK(BM_Printf_VString);

// The same with the string on the heap, where the live-object check asks the kernel.
void BM_Printf_VString_HeapObject(benchmark::State& state) {
    auto name = std::make_unique<VString>("donn\xC3\xA9"
                                          "es");
    VString text;
    for (auto _ : state) {
        text.Printf("%S %d", name.get(), 42);
        benchmark::DoNotOptimize(text.GetCPointer());
    }
}
BENCHMARK(BM_Printf_VString_HeapObject);

void BM_Printf_snprintf(benchmark::State& state) {
    const char* name = "donn\xC3\xA9"
                       "es";
    std::u16string text;
    for (auto _ : state) {
        char buffer[1024];
        int length = std::snprintf(buffer, sizeof(buffer), "%s %d", name, 42);
        UErrorCode status = U_ZERO_ERROR;
        text.resize(static_cast<size_t>(length));
        int32_t units = 0;
        u_strFromUTF8(text.data(), length, &units, buffer, length, &status);
        text.resize(static_cast<size_t>(units));
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_Printf_snprintf);

} // namespace

BENCHMARK_MAIN();
