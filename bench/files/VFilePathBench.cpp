// Benchmarks of the path conversions run on every system call, beside std::filesystem::path.
#include "files/VFilePath.h"
#include "platform/posix/files/XPosixPath.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

using namespace vkit;

namespace {

// A typical path: 80 bytes, seven components, a few accented letters.
constexpr const char kPosixPath[] = "/home/ann/Documents/Projets/Donn\xC3\xA9"
                                    "es 2024/Caf\xC3\xA9 r\xC3\xA9sum\xC3\xA9/report-final.v2.txt";

VFilePath MakePath() {
    return VFilePath(VString(kPosixPath), FilePathStyle::Posix);
}

// Native path to the UTF-8 text handed to the system. The baseline converts the same text, already in
// POSIX form, from UTF-16 to the system's UTF-8.

void BM_ToSystem_VFilePath(benchmark::State& state) {
    VFilePath path = MakePath();
    std::string text;
    for (auto _ : state) {
        XPosixPath::GetPosixPath(path, text);
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_ToSystem_VFilePath);

void BM_ToSystem_VFilePathNewString(benchmark::State& state) {
    VFilePath path = MakePath();
    for (auto _ : state) {
        std::string text = XPosixPath::GetPosixPath(path);
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_ToSystem_VFilePathNewString);

void BM_ToSystem_filesystem(benchmark::State& state) {
    std::u16string source(VString(kPosixPath).View());
    for (auto _ : state) {
        std::filesystem::path path(source);
        benchmark::DoNotOptimize(path.native().data());
    }
}
BENCHMARK(BM_ToSystem_filesystem);

// UTF-8 text read from the system to a path value.

void BM_FromSystem_VFilePath(benchmark::State& state) {
    std::string_view source(kPosixPath);
    VFilePath path;
    for (auto _ : state) {
        XPosixPath::GetFilePathFromPosixPath(source, false, path);
        benchmark::DoNotOptimize(path.GetPath().GetCPointer());
    }
}
BENCHMARK(BM_FromSystem_VFilePath);

void BM_FromSystem_filesystem(benchmark::State& state) {
    std::string source(kPosixPath);
    for (auto _ : state) {
        std::filesystem::path path(source);
        std::u16string text = path.u16string();
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_FromSystem_filesystem);

// The name and extension of the last component.

void BM_NameAndExtension_VFilePath(benchmark::State& state) {
    VFilePath path = MakePath();
    VString name;
    VString extension;
    for (auto _ : state) {
        path.GetFileName(name, false);
        path.GetExtension(extension);
        benchmark::DoNotOptimize(name.GetCPointer());
        benchmark::DoNotOptimize(extension.GetCPointer());
    }
}
BENCHMARK(BM_NameAndExtension_VFilePath);

void BM_NameAndExtension_filesystem(benchmark::State& state) {
    std::filesystem::path path(kPosixPath);
    for (auto _ : state) {
        std::filesystem::path name = path.stem();
        std::filesystem::path extension = path.extension();
        benchmark::DoNotOptimize(name.native().data());
        benchmark::DoNotOptimize(extension.native().data());
    }
}
BENCHMARK(BM_NameAndExtension_filesystem);

} // namespace

BENCHMARK_MAIN();
