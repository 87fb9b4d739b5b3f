// Pushing and popping an error context, with and without an error raised inside, beside a baseline
// that does the same bookkeeping with a std::vector of std::shared_ptr.
#include "errors/StErrorContextInstaller.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorThrow.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using namespace vkit;

const VError kBenchError = MakeVError(MakeOsType("UPZQ"), 1);

void InitOnce() {
    static const bool sInited = [] {
        VTaskMgr::Init();
        VErrorBase::Init();
        return true;
    }();
    benchmark::DoNotOptimize(sInited);
}

void BM_ErrorContext_PushPop(benchmark::State& state) {
    InitOnce();
    for (auto _ : state) {
        StErrorContextInstaller guard(true, true);
        benchmark::DoNotOptimize(guard.GetContext());
    }
}

void BM_ErrorContext_PushThrowPop(benchmark::State& state) {
    InitOnce();
    // The guard keeps nothing, so the errors do not pile up below it.
    for (auto _ : state) {
        StErrorContextInstaller guard(false, true);
        benchmark::DoNotOptimize(vThrowError(kBenchError));
    }
}

// Baseline: a stack of contexts, each a vector of shared error records, pushed and popped.
struct BaselineError {
    uint64_t fCode;
    int32_t fTask;
};
using BaselineContext = std::vector<std::shared_ptr<BaselineError>>;

void BM_Baseline_PushPop(benchmark::State& state) {
    std::vector<BaselineContext> stack;
    stack.reserve(8);
    for (auto _ : state) {
        stack.emplace_back();
        benchmark::DoNotOptimize(stack.back());
        stack.pop_back();
    }
}

void BM_Baseline_PushThrowPop(benchmark::State& state) {
    std::vector<BaselineContext> stack;
    stack.reserve(8);
    for (auto _ : state) {
        stack.emplace_back();
        stack.back().push_back(std::make_shared<BaselineError>(BaselineError{kBenchError, 1}));
        stack.pop_back();
    }
}

} // namespace

BENCHMARK(BM_ErrorContext_PushPop);
BENCHMARK(BM_Baseline_PushPop);
BENCHMARK(BM_ErrorContext_PushThrowPop);
BENCHMARK(BM_Baseline_PushThrowPop);

BENCHMARK_MAIN();
