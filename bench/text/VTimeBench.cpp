// Benchmarks of VTime and VDuration text forms, each beside the C library doing the same work.
#include "text/VDuration.h"
#include "text/VString.h"
#include "text/VTime.h"

#include <benchmark/benchmark.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

using namespace vkit;

namespace {

/// 1024 times spread over 1970 to 2037, as both a VTime and seconds since 1970.
struct Samples {
    Samples() {
        uint64_t state = 0x9E3779B97F4A7C15ULL;
        for (int i = 0; i < 1024; ++i) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            fSeconds[i] = static_cast<time_t>((state >> 33) % 2145916800ULL);
            fMilliseconds[i] = static_cast<int>((state >> 13) % 1000);
            tm parts{};
            gmtime_r(&fSeconds[i], &parts);
            fTimes[i].FromUTCTime(static_cast<int16_t>(parts.tm_year + 1900),
                                  static_cast<int16_t>(parts.tm_mon + 1), static_cast<int16_t>(parts.tm_mday),
                                  static_cast<int16_t>(parts.tm_hour), static_cast<int16_t>(parts.tm_min),
                                  static_cast<int16_t>(parts.tm_sec), static_cast<int16_t>(fMilliseconds[i]));
            fTimes[i].GetRfc3339String(fTexts[i], eRfc3339UTC);
            fUTF8[i] = fTexts[i].ToUTF8();
        }
    }
    time_t fSeconds[1024];
    int fMilliseconds[1024];
    VTime fTimes[1024];
    VString fTexts[1024];
    std::string fUTF8[1024];
};

const Samples& GetSamples() {
    static const Samples sSamples;
    return sSamples;
}

/// Sets TZ to a zone with daylight saving for the local forms.
void UseParisTime() {
    ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    ::tzset();
}

// UTC RFC 3339 text with milliseconds: VTime against gmtime_r and snprintf.

void BM_WriteUTC_VTime(benchmark::State& state) {
    const Samples& samples = GetSamples();
    VString text;
    size_t i = 0;
    for (auto _ : state) {
        samples.fTimes[i++ & 1023].GetRfc3339String(text, eRfc3339UTC);
        benchmark::DoNotOptimize(text.GetCPointer());
    }
}
BENCHMARK(BM_WriteUTC_VTime);

void BM_WriteUTC_gmtime_snprintf(benchmark::State& state) {
    const Samples& samples = GetSamples();
    char buffer[64];
    size_t i = 0;
    for (auto _ : state) {
        size_t k = i++ & 1023;
        tm parts{};
        gmtime_r(&samples.fSeconds[k], &parts);
        std::snprintf(buffer, sizeof(buffer), "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900,
                      parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                      samples.fMilliseconds[k]);
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK(BM_WriteUTC_gmtime_snprintf);

// Reading it back: VTime against sscanf and timegm.

void BM_ReadUTC_VTime(benchmark::State& state) {
    const Samples& samples = GetSamples();
    VTime time;
    size_t i = 0;
    for (auto _ : state) {
        time.FromRfc3339String(samples.fTexts[i++ & 1023]);
        benchmark::DoNotOptimize(time.GetStamp());
    }
}
BENCHMARK(BM_ReadUTC_VTime);

void BM_ReadUTC_sscanf_timegm(benchmark::State& state) {
    const Samples& samples = GetSamples();
    size_t i = 0;
    for (auto _ : state) {
        tm parts{};
        double seconds = 0;
        std::sscanf(samples.fUTF8[i++ & 1023].c_str(), "%4d-%2d-%2dT%2d:%2d:%lf", &parts.tm_year,
                    &parts.tm_mon, &parts.tm_mday, &parts.tm_hour, &parts.tm_min, &seconds);
        parts.tm_year -= 1900;
        parts.tm_mon -= 1;
        parts.tm_sec = static_cast<int>(seconds);
        time_t result = timegm(&parts);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_ReadUTC_sscanf_timegm);

// Local time with its offset: VTime against localtime_r and strftime.

void BM_WriteLocal_VTime(benchmark::State& state) {
    UseParisTime();
    const Samples& samples = GetSamples();
    VString text;
    size_t i = 0;
    for (auto _ : state) {
        samples.fTimes[i++ & 1023].GetRfc3339String(text, 0);
        benchmark::DoNotOptimize(text.GetCPointer());
    }
}
BENCHMARK(BM_WriteLocal_VTime);

void BM_WriteLocal_localtime_strftime(benchmark::State& state) {
    UseParisTime();
    const Samples& samples = GetSamples();
    char buffer[64];
    size_t i = 0;
    for (auto _ : state) {
        tm parts{};
        localtime_r(&samples.fSeconds[i++ & 1023], &parts);
        std::strftime(buffer, sizeof(buffer), "%Y-%m-%dT%H:%M:%S%z", &parts);
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK(BM_WriteLocal_localtime_strftime);

// The locale's medium format: VTime (ICU) against strftime's "%c".

void BM_FormatByOS_VTime(benchmark::State& state) {
    UseParisTime();
    const Samples& samples = GetSamples();
    VString text;
    size_t i = 0;
    for (auto _ : state) {
        samples.fTimes[i++ & 1023].FormatByOS(text);
        benchmark::DoNotOptimize(text.GetCPointer());
    }
}
BENCHMARK(BM_FormatByOS_VTime);

void BM_FormatByOS_strftime(benchmark::State& state) {
    UseParisTime();
    const Samples& samples = GetSamples();
    char buffer[128];
    size_t i = 0;
    for (auto _ : state) {
        tm parts{};
        localtime_r(&samples.fSeconds[i++ & 1023], &parts);
        std::strftime(buffer, sizeof(buffer), "%c", &parts);
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK(BM_FormatByOS_strftime);

// A span in ISO 8601 with milliseconds: VDuration against a split and snprintf.

void BM_DurationISO_VDuration(benchmark::State& state) {
    VString text;
    int64_t span = 90061001;
    for (auto _ : state) {
        VDuration(span++).GetXMLString(text, eDurationISO8601);
        benchmark::DoNotOptimize(text.GetCPointer());
    }
}
BENCHMARK(BM_DurationISO_VDuration);

void BM_DurationISO_snprintf(benchmark::State& state) {
    char buffer[128];
    int64_t span = 90061001;
    for (auto _ : state) {
        int64_t ms = span++;
        float seconds = static_cast<float>(ms / 1000 % 60) + static_cast<float>(ms % 1000) / 1000.0f;
        std::snprintf(buffer, sizeof(buffer), "P%" PRId64 "DT%dH%dM%.14fS", ms / 86400000,
                      static_cast<int>(ms / 3600000 % 24), static_cast<int>(ms / 60000 % 60),
                      static_cast<double>(seconds));
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK(BM_DurationISO_snprintf);

} // namespace

BENCHMARK_MAIN();
