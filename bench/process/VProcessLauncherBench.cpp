// ExecuteCommandLine beside a bare posix_spawn with two pipes read to the end and waitpid: the start and
// wait of /bin/true, and a child writing 10 MB on each of its two streams.
#include "files/VMemoryBuffer.h"
#include "process/VProcessLauncher.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace vkit;

namespace {

constexpr size_t kStreamSize = 10 << 20;
constexpr const char* kChildVariable = "VKIT_BENCH_CHILD=write";

// Child mode: this program, started with VKIT_BENCH_CHILD=write, writes kStreamSize bytes on each of its
// standard output and error, 64 KB at a time, turn about, and ends before any benchmark runs.
[[maybe_unused]] const bool sChildMode = [] {
    const char* mode = std::getenv("VKIT_BENCH_CHILD");
    if (mode == nullptr || std::strcmp(mode, "write") != 0)
        return false;
    static char chunk[65536];
    std::memset(chunk, 'x', sizeof(chunk));
    for (size_t written = 0; written < kStreamSize; written += sizeof(chunk)) {
        for (int descriptor : {1, 2}) {
            for (size_t done = 0; done < sizeof(chunk);) {
                ssize_t count = write(descriptor, chunk + done, sizeof(chunk) - done);
                if (count <= 0)
                    _exit(1);
                done += static_cast<size_t>(count);
            }
        }
    }
    _exit(0);
}();

/// The bare way: two pipes, posix_spawn, both pipes read to their end with poll, waitpid.
size_t BareRun(const char* inProgram, char* const* inEnvironment) {
    int output[2], error[2];
    if (pipe2(output, O_CLOEXEC) != 0 || pipe2(error, O_CLOEXEC) != 0)
        std::abort();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_adddup2(&actions, error[1], 2);
    char* arguments[] = {const_cast<char*>(inProgram), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, inProgram, &actions, nullptr, arguments, inEnvironment) != 0)
        std::abort();
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    close(error[1]);
    std::string texts[2];
    pollfd entries[2] = {{output[0], POLLIN, 0}, {error[0], POLLIN, 0}};
    static char buffer[65536];
    for (int open = 2; open > 0;) {
        poll(entries, 2, -1);
        for (int stream = 0; stream < 2; ++stream) {
            if (entries[stream].fd < 0 || entries[stream].revents == 0)
                continue;
            ssize_t count = read(entries[stream].fd, buffer, sizeof(buffer));
            if (count > 0) {
                texts[stream].append(buffer, static_cast<size_t>(count));
            } else {
                close(entries[stream].fd);
                entries[stream].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return texts[0].size() + texts[1].size();
}

size_t LauncherRun(const char* inProgram, const VEnvironmentVariables* inEnvironment) {
    VMemoryBuffer output, error;
    int32_t status = 0;
    if (VProcessLauncher::ExecuteCommandLine(VString(inProgram), 0, nullptr, &output, &error, inEnvironment,
                                             nullptr, &status) != 0)
        std::abort();
    return output.GetDataSize() + error.GetDataSize();
}

void BM_StartAndWait_ExecuteCommandLine(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(LauncherRun("/bin/true", nullptr));
}

void BM_StartAndWait_BareSpawn(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(BareRun("/bin/true", environ));
}

void BM_Read10MBEach_ExecuteCommandLine(benchmark::State& state) {
    VEnvironmentVariables environment{{VString("VKIT_BENCH_CHILD"), VString("write")}};
    for (auto _ : state) {
        if (LauncherRun("/proc/self/exe", &environment) != 2 * kStreamSize)
            std::abort();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * 2 * kStreamSize));
}

void BM_Read10MBEach_BareSpawn(benchmark::State& state) {
    char* environment[] = {const_cast<char*>(kChildVariable), nullptr};
    for (auto _ : state) {
        if (BareRun("/proc/self/exe", environment) != 2 * kStreamSize)
            std::abort();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * 2 * kStreamSize));
}

// The time goes by in the child: wall-clock time is what counts.
BENCHMARK(BM_StartAndWait_ExecuteCommandLine)->UseRealTime();
BENCHMARK(BM_StartAndWait_BareSpawn)->UseRealTime();
BENCHMARK(BM_Read10MBEach_ExecuteCommandLine)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read10MBEach_BareSpawn)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
