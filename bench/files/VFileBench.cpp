// Benchmarks of the file operations the update relies on, each beside the standard library doing the
// same work: whole-file reads and writes, single-file copies, existence tests, folder listing and deletion.
#include "files/VFile.h"
#include "files/VFolder.h"
#include "files/VMemoryBuffer.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace vkit;
namespace fs = std::filesystem;

namespace {

/// A folder of its own under $TMPDIR (or /tmp), removed at exit.
const std::string& BenchFolder() {
    static const std::string sFolder = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/vkit-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        std::atexit([] { fs::remove_all(BenchFolder()); });
        return pattern;
    }();
    return sFolder;
}

std::string MakeFile(const std::string& inName, size_t inSize) {
    std::string path = BenchFolder() + "/" + inName;
    std::ofstream(path, std::ios::binary) << std::string(inSize, 'x');
    return path;
}

VFile FileAt(const std::string& inPath) {
    return VFile(VString(inPath), FilePathStyle::Posix);
}

void BM_ReadWholeFile_VFile(benchmark::State& state) {
    VFile file(VString(MakeFile("read-v", static_cast<size_t>(state.range(0)))), FilePathStyle::Posix);
    VMemoryBuffer content;
    for (auto _ : state) {
        if (file.GetContent(content) != VE_OK) {
            state.SkipWithError("GetContent failed");
            break;
        }
        benchmark::DoNotOptimize(content.GetDataPtr());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_ReadWholeFile_ifstream(benchmark::State& state) {
    std::string path = MakeFile("read-s", static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        std::ifstream stream(path, std::ios::binary);
        std::string content((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
        benchmark::DoNotOptimize(content.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_ReadWholeFile_VFile)->Arg(4 << 10)->Arg(1 << 20);
BENCHMARK(BM_ReadWholeFile_ifstream)->Arg(4 << 10)->Arg(1 << 20);

void BM_WriteWholeFile_VFile(benchmark::State& state) {
    VFile file(VString(BenchFolder() + "/write-v"), FilePathStyle::Posix);
    std::string data(static_cast<size_t>(state.range(0)), 'y');
    for (auto _ : state) {
        if (file.SetContent(data.data(), data.size()) != VE_OK) {
            state.SkipWithError("SetContent failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_WriteWholeFile_ofstream(benchmark::State& state) {
    std::string path = BenchFolder() + "/write-s";
    std::string data(static_cast<size_t>(state.range(0)), 'y');
    for (auto _ : state) {
        std::ofstream stream(path, std::ios::binary | std::ios::trunc);
        stream.write(data.data(), static_cast<std::streamsize>(data.size()));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_WriteWholeFile_VFile)->Arg(4 << 10);
BENCHMARK(BM_WriteWholeFile_ofstream)->Arg(4 << 10);

void BM_CopyFile_VFile(benchmark::State& state) {
    VFile source(VString(MakeFile("copy-v", static_cast<size_t>(state.range(0)))), FilePathStyle::Posix);
    VFile target(VString(BenchFolder() + "/copy-v-target"), FilePathStyle::Posix);
    for (auto _ : state) {
        if (source.CopyTo(target, kCopyOverwrite) != VE_OK) {
            state.SkipWithError("CopyTo failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_CopyFile_filesystem(benchmark::State& state) {
    std::string source = MakeFile("copy-s", static_cast<size_t>(state.range(0)));
    std::string target = BenchFolder() + "/copy-s-target";
    for (auto _ : state)
        fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_CopyFile_VFile)->Arg(64 << 10)->Arg(8 << 20);
BENCHMARK(BM_CopyFile_filesystem)->Arg(64 << 10)->Arg(8 << 20);

void BM_Exists_VFile(benchmark::State& state) {
    VFile file = FileAt(MakeFile("exists-v", 1));
    for (auto _ : state)
        benchmark::DoNotOptimize(file.Exists());
}

void BM_Exists_filesystem(benchmark::State& state) {
    fs::path path = MakeFile("exists-s", 1);
    for (auto _ : state) {
        fs::file_status status = fs::symlink_status(path);
        benchmark::DoNotOptimize(fs::is_regular_file(status) || fs::is_symlink(status));
    }
}

BENCHMARK(BM_Exists_VFile);
BENCHMARK(BM_Exists_filesystem);

/// A flat folder of 200 small files: listed, then deleted and made again.
std::string MakeFlatFolder(const std::string& inName) {
    std::string folder = BenchFolder() + "/" + inName;
    fs::create_directory(folder);
    for (int i = 0; i < 200; ++i)
        std::ofstream(folder + "/f" + std::to_string(i)) << "z";
    return folder;
}

void BM_DeleteFolder_VFolder(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::string folder = MakeFlatFolder("delete-v");
        VFolder target(VString(folder + "/"), FilePathStyle::Posix);
        state.ResumeTiming();
        if (target.Delete(true) != VE_OK) {
            state.SkipWithError("Delete failed");
            break;
        }
    }
}

void BM_DeleteFolder_remove_all(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::string folder = MakeFlatFolder("delete-s");
        state.ResumeTiming();
        fs::remove_all(folder);
    }
}

BENCHMARK(BM_DeleteFolder_VFolder);
BENCHMARK(BM_DeleteFolder_remove_all);

} // namespace

BENCHMARK_MAIN();
