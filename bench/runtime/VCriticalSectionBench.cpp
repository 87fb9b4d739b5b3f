// Lock and unlock of VCriticalSection beside std::recursive_mutex, alone and with two threads.
#include "runtime/VCriticalSection.h"
#include "runtime/VTaskMgr.h"

#include <benchmark/benchmark.h>

#include <mutex>

namespace {

using vkit::VCriticalSection;

// Shared by the threads of the contended runs; each benchmark has its own.
VCriticalSection sContendedSection;
std::recursive_mutex sContendedMutex;
int64_t sContendedCounter = 0;

void BM_VCriticalSection_Uncontended(benchmark::State& state) {
    VCriticalSection section;
    int64_t counter = 0;
    for (auto _ : state) {
        section.Lock();
        benchmark::DoNotOptimize(++counter);
        section.Unlock();
    }
}

void BM_RecursiveMutex_Uncontended(benchmark::State& state) {
    std::recursive_mutex mutex;
    int64_t counter = 0;
    for (auto _ : state) {
        mutex.lock();
        benchmark::DoNotOptimize(++counter);
        mutex.unlock();
    }
}

void BM_VCriticalSection_Nested(benchmark::State& state) {
    VCriticalSection section;
    int64_t counter = 0;
    for (auto _ : state) {
        section.Lock();
        section.Lock();
        benchmark::DoNotOptimize(++counter);
        section.Unlock();
        section.Unlock();
    }
}

void BM_RecursiveMutex_Nested(benchmark::State& state) {
    std::recursive_mutex mutex;
    int64_t counter = 0;
    for (auto _ : state) {
        mutex.lock();
        mutex.lock();
        benchmark::DoNotOptimize(++counter);
        mutex.unlock();
        mutex.unlock();
    }
}

void BM_VCriticalSection_Contended(benchmark::State& state) {
    for (auto _ : state) {
        sContendedSection.Lock();
        benchmark::DoNotOptimize(++sContendedCounter);
        sContendedSection.Unlock();
    }
}

void BM_RecursiveMutex_Contended(benchmark::State& state) {
    for (auto _ : state) {
        sContendedMutex.lock();
        benchmark::DoNotOptimize(++sContendedCounter);
        sContendedMutex.unlock();
    }
}

BENCHMARK(BM_VCriticalSection_Uncontended);
BENCHMARK(BM_RecursiveMutex_Uncontended);
BENCHMARK(BM_VCriticalSection_Nested);
BENCHMARK(BM_RecursiveMutex_Nested);
BENCHMARK(BM_VCriticalSection_Contended)->Threads(2)->UseRealTime();
BENCHMARK(BM_RecursiveMutex_Contended)->Threads(2)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    // The main thread is a task, as in the library's programs; the benchmark threads are not.
    vkit::VTaskMgr::Init();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    vkit::VTaskMgr::DeInit();
    return 0;
}
