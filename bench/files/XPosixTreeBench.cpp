// Tree copy and forced delete: a command tool for scripts/bench-tree.sh, and in-process benchmarks
// beside std::filesystem doing the same work.
//
//   tree_bench generate <folder>        writes the benchmark tree (5,000 files, about 300 MB)
//   tree_bench copy <source> <dest>     XPosixTreeCopy::Copy onto a missing destination
//   tree_bench vcopy <source> <dest>    VFolder::CopyTo with kCopyOverwrite onto a missing destination
//   tree_bench delete <folder>          XPosixForcedDelete::Delete
//   tree_bench [--benchmark_...]        the Google Benchmark cases on a small tree under $TMPDIR
#include "errors/StErrorContextInstaller.h"
#include "errors/VErrorBase.h"
#include "files/VFileOptions.h"
#include "files/VFolder.h"
#include "platform/posix/files/XPosixForcedDelete.h"
#include "platform/posix/files/XPosixTreeCopy.h"
#include "runtime/VTaskMgr.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace vkit;
namespace fs = std::filesystem;

namespace {

constexpr int kTopFolders = 30;
constexpr int kSubFolders = 10;
constexpr int kFilesPerFolder = 16; // 300 folders x 16 = 4,800 small files
constexpr int kLargeFiles = 210;    // 768 KB each, spread over the top folders
constexpr int kLinks = 60;

/// Deterministic incompressible bytes.
void FillPattern(std::string& ioBuffer, size_t inSize, unsigned inSeed) {
    ioBuffer.resize(inSize);
    unsigned long long state = inSeed * 0x9E3779B97F4A7C15ull + 1;
    for (size_t i = 0; i < inSize; i += 8) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        std::memcpy(ioBuffer.data() + i, &state, std::min<size_t>(8, inSize - i));
    }
}

void WriteFile(const fs::path& inPath, const std::string& inContent) {
    std::ofstream(inPath, std::ios::binary)
        .write(inContent.data(), static_cast<std::streamsize>(inContent.size()));
}

/// The benchmark tree: 330 folders two levels deep, 4,800 files of 4 to 60 KB, 210 files of 768 KB, 60
/// links to files and folders: 5,010 files, about 310 MB. inScale divides the counts for in-process runs.
int Generate(const fs::path& inRoot, int inScale) {
    std::error_code error;
    fs::create_directories(inRoot, error);
    if (error) {
        std::fprintf(stderr, "generate '%s': %s\n", inRoot.c_str(), error.message().c_str());
        return 1;
    }
    std::string content;
    unsigned seed = 0;
    for (int top = 0; top < kTopFolders / inScale; ++top) {
        fs::path topFolder = inRoot / ("group" + std::to_string(top));
        for (int sub = 0; sub < kSubFolders; ++sub) {
            fs::path folder = topFolder / ("folder" + std::to_string(sub));
            fs::create_directories(folder, error);
            for (int file = 0; file < kFilesPerFolder; ++file, ++seed) {
                FillPattern(content, 4096 + (seed * 7919u) % (56 * 1024), seed);
                WriteFile(folder / ("item" + std::to_string(file) + ".dat"), content);
            }
        }
        for (int large = 0; large < kLargeFiles / kTopFolders; ++large, ++seed) {
            FillPattern(content, 768 * 1024, seed);
            WriteFile(topFolder / ("large" + std::to_string(large) + ".bin"), content);
        }
    }
    for (int link = 0; link < kLinks / inScale; ++link) {
        int top = link % (kTopFolders / inScale);
        fs::path folder = inRoot / ("group" + std::to_string(top));
        if (link % 2 == 0)
            fs::create_symlink("folder0/item" + std::to_string(link % kFilesPerFolder) + ".dat",
                               folder / ("link" + std::to_string(link)), error);
        else
            fs::create_directory_symlink("folder1", folder / ("folderlink" + std::to_string(link)), error);
    }
    return 0;
}

int Report(const XPosixTreeError& inError) {
    if (!inError.IsError())
        return 0;
    std::fprintf(stderr, "%s '%s': %s\n", inError.fOperation, inError.fPath.c_str(),
                 std::strerror(inError.fErrno));
    return 1;
}

/// The copy the update engine makes: VFolder::CopyTo with kCopyOverwrite onto a missing destination.
int CopyThroughFolder(const std::string& inSource, const std::string& inDestination) {
    if (!VTaskMgr::Init())
        return 1;
    VErrorBase::Init();
    fs::path destination = fs::absolute(inDestination).lexically_normal();
    VFolder source(VString(fs::absolute(inSource).native() + "/"), FilePathStyle::Posix);
    VFolder parent(VString(destination.parent_path().native() + "/"), FilePathStyle::Posix);
    StErrorContextInstaller errors;
    VError error = source.CopyTo(parent, VString(destination.filename().native()), nullptr, kCopyOverwrite);
    if (error != VE_OK)
        std::fprintf(stderr, "VFolder::CopyTo failed: error %llx\n", static_cast<unsigned long long>(error));
    return error == VE_OK ? 0 : 1;
}

/// A small tree under $TMPDIR for the in-process cases, removed at exit.
class SmallTree {
public:
    SmallTree() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/tree-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) {
            fFolder = pattern;
            Generate(fFolder / "source", kTopFolders);
        }
    }
    ~SmallTree() {
        std::error_code error;
        fs::remove_all(fFolder, error);
    }
    fs::path Source() const { return fFolder / "source"; }
    fs::path Destination() const { return fFolder / "destination"; }

private:
    fs::path fFolder;
};

SmallTree& Tree() {
    static SmallTree sTree;
    return sTree;
}

void BM_Copy_XPosixTreeCopy(benchmark::State& state) {
    for (auto _ : state) {
        if (XPosixTreeCopy::Copy(Tree().Source().native(), Tree().Destination().native()).IsError())
            state.SkipWithError("copy failed");
        state.PauseTiming();
        fs::remove_all(Tree().Destination());
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Copy_XPosixTreeCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

// The baseline copies the same tree item by item, links as links, without keeping times and without
// flushing the file system.
void BM_Copy_filesystem(benchmark::State& state) {
    for (auto _ : state) {
        std::error_code error;
        fs::copy(Tree().Source(), Tree().Destination(),
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
        if (error)
            state.SkipWithError("copy failed");
        state.PauseTiming();
        fs::remove_all(Tree().Destination());
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Copy_filesystem)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Delete_XPosixForcedDelete(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        fs::copy(Tree().Source(), Tree().Destination(),
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        state.ResumeTiming();
        if (XPosixForcedDelete::Delete(Tree().Destination().native()).IsError())
            state.SkipWithError("delete failed");
    }
}
BENCHMARK(BM_Delete_XPosixForcedDelete)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Delete_filesystem(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        fs::copy(Tree().Source(), Tree().Destination(),
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        state.ResumeTiming();
        fs::remove_all(Tree().Destination());
    }
}
BENCHMARK(BM_Delete_filesystem)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && argv[1][0] != '-') {
        std::string command = argv[1];
        if (command == "generate" && argc == 3)
            return Generate(argv[2], 1);
        if (command == "copy" && (argc == 4 || argc == 5))
            return Report(XPosixTreeCopy::Copy(argv[2], argv[3], argc == 5 ? std::atoi(argv[4]) : 0));
        if (command == "vcopy" && argc == 4)
            return CopyThroughFolder(argv[2], argv[3]);
        if (command == "delete" && argc == 3)
            return Report(XPosixForcedDelete::Delete(argv[2]));
        std::fprintf(stderr,
                     "usage: %s generate <folder> | copy <source> <dest> [threads] | vcopy <source> <dest> | "
                     "delete <folder>\n",
                     argv[0]);
        return 2;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
