// Parsing JSON documents of 10 MB and 2 KB with VJSONImporter and with nlohmann::json, same bytes.
#include "text/VString.h"
#include "json/VJSONImporter.h"
#include "json/VJSONValue.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <random>
#include <string>

using namespace vkit;

namespace {

/// A document of records with objects, arrays, integers, reals, booleans, null and strings with
/// escapes, as an array grown until it holds at least inSize bytes of UTF-8.
std::string MakeDocument(size_t inSize) {
    std::mt19937 random(20240506);
    std::uniform_int_distribution<int> small(0, 9999);
    std::uniform_real_distribution<double> real(-1000, 1000);
    std::string text = "[";
    char buffer[96];
    for (int id = 0; text.size() < inSize; ++id) {
        if (id > 0)
            text += ",\n";
        text += "{\"id\":" + std::to_string(id);
        text += ",\"name\":\"user_" + std::to_string(small(random)) + "\"";
        std::snprintf(buffer, sizeof(buffer), ",\"score\":%.6g,\"ratio\":%.3e", real(random),
                      real(random) / 1e5);
        text += buffer;
        text += ",\"active\":";
        text += (id % 3 == 0) ? "true" : "false";
        text += ",\"parent\":null";
        text += ",\"note\":\"line one\\nline \\\"two\\\" with \\u00e9t\\u00e9 and a tab\\there\"";
        text += ",\"path\":\"C:\\\\data\\\\" + std::to_string(small(random)) + "\\/x.json\"";
        text += ",\"tags\":[\"alpha\",\"beta\",\"gamma\"," + std::to_string(small(random)) + "]";
        text += ",\"position\":{\"x\":" + std::to_string(small(random)) + ",\"y\":-" +
                std::to_string(small(random)) + ".25,\"levels\":[1,2,3,[4,5]]}}";
    }
    text += "]";
    return text;
}

const std::string& Document(size_t inSize) {
    static const std::string sLarge = MakeDocument(10 * 1024 * 1024);
    static const std::string sSmall = MakeDocument(2 * 1024);
    return inSize > 4096 ? sLarge : sSmall;
}

void BM_VJSONImporter_FromUTF8(benchmark::State& ioState) {
    const std::string& bytes = Document(static_cast<size_t>(ioState.range(0)));
    for (auto _ : ioState) {
        VString text(bytes.data(), bytes.size());
        VJSONValue value;
        VError error = VJSONImporter::ParseString(text, value);
        benchmark::DoNotOptimize(error);
        benchmark::DoNotOptimize(value);
    }
    ioState.SetBytesProcessed(static_cast<int64_t>(ioState.iterations() * bytes.size()));
}

void BM_VJSONImporter_FromUTF16(benchmark::State& ioState) {
    const std::string& bytes = Document(static_cast<size_t>(ioState.range(0)));
    VString text(bytes.data(), bytes.size());
    for (auto _ : ioState) {
        VJSONValue value;
        VError error = VJSONImporter::ParseString(text, value);
        benchmark::DoNotOptimize(error);
        benchmark::DoNotOptimize(value);
    }
    ioState.SetBytesProcessed(static_cast<int64_t>(ioState.iterations() * bytes.size()));
}

void BM_NlohmannJSON(benchmark::State& ioState) {
    const std::string& bytes = Document(static_cast<size_t>(ioState.range(0)));
    for (auto _ : ioState) {
        nlohmann::json value = nlohmann::json::parse(bytes);
        benchmark::DoNotOptimize(value);
    }
    ioState.SetBytesProcessed(static_cast<int64_t>(ioState.iterations() * bytes.size()));
}

} // namespace

BENCHMARK(BM_VJSONImporter_FromUTF8)->Arg(10 << 20)->Arg(2 << 10)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_VJSONImporter_FromUTF16)->Arg(10 << 20)->Arg(2 << 10)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NlohmannJSON)->Arg(10 << 20)->Arg(2 << 10)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
