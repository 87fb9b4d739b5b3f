// Benchmarks of signing: the content digest beside SHA-256, the manifest's text beside its parse, in one
// program.
#include "signing/VBundleManifest.h"
#include "signing/VContentDigest.h"
#include "signing/VSodium.h"

#include <benchmark/benchmark.h>

#include <sodium.h>

#include <algorithm>
#include <string>

using namespace vkit;

namespace {

const std::string& Content() {
    static const std::string sContent = [] {
        std::string content(1 << 20, '\0');
        ::randombytes_buf(content.data(), content.size());
        return content;
    }();
    return sContent;
}

// The manifest's digest over 1 MiB.
void BM_Blake2b(benchmark::State& ioState) {
    VContentDigest digest;
    const std::string& content = Content();
    for (auto _ : ioState) {
        digest.Reset();
        digest.Update(reinterpret_cast<const unsigned char*>(content.data()), content.size());
        benchmark::DoNotOptimize(digest.Finish());
    }
    ioState.SetBytesProcessed(static_cast<int64_t>(ioState.iterations() * content.size()));
}
BENCHMARK(BM_Blake2b);

// Baseline: SHA-256 over the same bytes (libsodium's, as sha256sum's is, without processor extensions).
void BM_Sha256(benchmark::State& ioState) {
    (void)VSodium::Init(); // started as the digest's constructor does
    const std::string& content = Content();
    unsigned char out[crypto_hash_sha256_BYTES];
    for (auto _ : ioState) {
        ::crypto_hash_sha256(out, reinterpret_cast<const unsigned char*>(content.data()), content.size());
        benchmark::DoNotOptimize(out);
    }
    ioState.SetBytesProcessed(static_cast<int64_t>(ioState.iterations() * content.size()));
}
BENCHMARK(BM_Sha256);

/// A manifest of 5,000 files in 300 folders, as the benchmark tree has.
VBundleManifest SampleManifest() {
    VBundleManifest manifest;
    manifest.SetRootMode(0755);
    for (int folder = 0; folder < 300; ++folder) {
        std::string name = "Contents/Resources/group" + std::to_string(folder);
        manifest.GetEntries().push_back(VManifestEntry{name, EManifestKind::kFolder, 0755, 0, "", ""});
        for (int file = 0; file < 17; ++file)
            manifest.GetEntries().push_back(VManifestEntry{name + "/item" + std::to_string(file) + ".dat",
                                                           EManifestKind::kFile, 0644, 40000,
                                                           VContentDigest::Of(name), ""});
    }
    std::sort(manifest.GetEntries().begin(), manifest.GetEntries().end(),
              [](const VManifestEntry& inA, const VManifestEntry& inB) { return inA.fPath < inB.fPath; });
    manifest.GetEntries().insert(
        manifest.GetEntries().begin(),
        {VManifestEntry{"Contents", EManifestKind::kFolder, 0755, 0, "", ""},
         VManifestEntry{"Contents/Resources", EManifestKind::kFolder, 0755, 0, "", ""}});
    return manifest;
}

void BM_ManifestParse(benchmark::State& ioState) {
    std::string text = SampleManifest().Write();
    VBundleManifest manifest;
    VBundleManifest::ParseFailure failure;
    for (auto _ : ioState)
        benchmark::DoNotOptimize(manifest.Parse(text, failure));
    ioState.SetBytesProcessed(static_cast<int64_t>(ioState.iterations() * text.size()));
}
BENCHMARK(BM_ManifestParse);

// Baseline: splitting the same text into its lines and fields, without checking any.
void BM_SplitLines(benchmark::State& ioState) {
    std::string text = SampleManifest().Write();
    for (auto _ : ioState) {
        size_t fields = 0;
        for (char byte : text)
            fields += byte == ' ' || byte == '\n';
        benchmark::DoNotOptimize(fields);
    }
    ioState.SetBytesProcessed(static_cast<int64_t>(ioState.iterations() * text.size()));
}
BENCHMARK(BM_SplitLines);

} // namespace

BENCHMARK_MAIN();
