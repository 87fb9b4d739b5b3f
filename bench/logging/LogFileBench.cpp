// Log lines written per second: the engine's kind of record through the process logger to a
// VLog4jMsgFileLogger (flushed by the reader task "Logger"), beside spdlog's basic_file_sink_mt
// writing the same messages; and the time one such record takes on the task that logs it. Run with
// --benchmark_enable_random_interleaving=true to alternate them. The throughput figures' CPU column is
// the whole process's, reader task included.
#include "bags/VValueBag.h"
#include "errors/VErrorBase.h"
#include "logging/VLog4jMsgFileLogger.h"
#include "logging/VLogger.h"
#include "runtime/VTaskMgr.h"
#include "text/VCppMemMgr.h"

#include <benchmark/benchmark.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>

using namespace vkit;

namespace {

/// Records per iteration, logged in chunks; before a chunk the benchmark waits until at most kWindow
/// records wait in the ring, so that it (1000) never overflows and nothing is lost, while the reader
/// task writes what it took before.
constexpr int kBatch = 1000;
constexpr int kChunk = 250;
constexpr size_t kWindow = 750;
constexpr OsType kEngineComponent = MakeOsType("ZQUP");

/// Counts the records that the reader task takes from the ring: registered after the writer, it is
/// served first. The reader takes the next records only once the writer has written these, so the
/// count follows the lines written, one batch ahead.
class CountingListener : public ILogListener {
public:
    void Put(const std::vector<const VValueBag*>& inRecords) override {
        {
            std::lock_guard lock(fMutex);
            fCount += inRecords.size();
        }
        // Notified once the mutex is free: the waiting task is not woken only to wait for it.
        fChanged.notify_one();
    }
    /// Blocks (without taking the processor from the writer) until inCount records were taken.
    void WaitFor(size_t inCount) {
        std::unique_lock lock(fMutex);
        fChanged.wait(lock, [&] { return fCount >= inCount; });
    }

protected:
    void DoOnRefCountZero() override {}

private:
    std::mutex fMutex;
    std::condition_variable fChanged;
    size_t fCount = 0;
};

/// The process, its logger, and a folder for the log files (removed at exit).
struct LogSetup {
    LogSetup() {
        // As the entry point does.
        if (!VCppMemMgr::Init())
            std::abort();
        VTaskMgr::Init();
        VErrorBase::Init();
        ILogger::SetProcessLogSource(VString("ZQ Updater"));
        fLogger = new VLogger;
        fLogger->Start();
        ILogger::SetProcessLogger(fLogger);
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/logbench-XXXXXX";
        fFolder = mkdtemp(pattern.data());
    }
    ~LogSetup() { std::filesystem::remove_all(fFolder); }
    static LogSetup& Get() {
        static LogSetup sSetup;
        return sSetup;
    }
    VLogger* fLogger;
    std::string fFolder;
};

/// What the engine's LogInfo does: a printf-formatted message at the information level (no level
/// attribute), its component.
void LogInfoLike(VLogger& ioLogger, const char* inFormat, ...) {
    va_list args;
    va_start(args, inFormat);
    ioLogger.LogVPrintf(EML_Information, kEngineComponent, inFormat, args);
    va_end(args);
}

void LogInfoLike(VLogger& ioLogger, int32_t inPid, int inIndex) {
    LogInfoLike(ioLogger, "Process %d has quit. Proceeding with step %d.", inPid, inIndex);
}

/// Records logged between two flushes in the latency benchmark: a burst of the engine's steps.
constexpr int kLatencyBurst = 20;

void BM_VLog4jMsgFileLogger(benchmark::State& ioState) {
    LogSetup& setup = LogSetup::Get();
    VFilePath folder(VString(setup.fFolder + "/"), FilePathStyle::Posix);
    VLog4jMsgFileLogger writer(folder, VString("vkit"));
    writer.Start(1);
    CountingListener counter;
    setup.fLogger->AddLogListener(&counter);
    size_t logged = 0;
    for (auto _ : ioState) {
        for (int chunk = 0; chunk < kBatch; chunk += kChunk) {
            counter.WaitFor(logged + kChunk > kWindow ? logged + kChunk - kWindow : 0);
            for (int i = chunk; i < chunk + kChunk; ++i)
                LogInfoLike(*setup.fLogger, 812, i);
            logged += kChunk;
        }
    }
    // The last batch (under 0.5% of the lines of a run) is written after the timed loop; stopping the
    // writer waits for it.
    counter.WaitFor(logged);
    writer.Stop();
    setup.fLogger->RemoveLogListener(&counter);
    ioState.SetItemsProcessed(static_cast<int64_t>(logged));
}

void BM_SpdlogBasicFileSink(benchmark::State& ioState) {
    LogSetup& setup = LogSetup::Get();
    auto sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(setup.fFolder + "/spdlog.txt", true);
    spdlog::logger logger("ZQ Updater.ZQUP", sink);
    // The same line: time with milliseconds, source, level, message and the record's empty extra fields.
    logger.set_pattern("%Y-%m-%dT%H:%M:%S.%e [%n] %l - %v ()");
    for (auto _ : ioState) {
        for (int i = 0; i < kBatch; ++i)
            logger.info("Process {} has quit. Proceeding with step {}.", 812, i);
        logger.flush();
    }
    ioState.SetItemsProcessed(static_cast<int64_t>(ioState.iterations()) * kBatch);
}

/// The time one record takes on the task that logs it, the writer attached. Every kLatencyBurst
/// records this task flushes (untimed), so that the records are written and nothing overflows.
void BM_LogInfoLatency(benchmark::State& ioState) {
    LogSetup& setup = LogSetup::Get();
    VFilePath folder(VString(setup.fFolder + "/"), FilePathStyle::Posix);
    VLog4jMsgFileLogger writer(folder, VString("latency"));
    writer.Start(1);
    int index = 0;
    for (auto _ : ioState) {
        auto start = std::chrono::steady_clock::now();
        LogInfoLike(*setup.fLogger, 812, index);
        auto end = std::chrono::steady_clock::now();
        ioState.SetIterationTime(std::chrono::duration<double>(end - start).count());
        if (++index % kLatencyBurst == 0)
            setup.fLogger->Flush();
    }
    writer.Stop();
}

} // namespace

BENCHMARK(BM_VLog4jMsgFileLogger)->Unit(benchmark::kMicrosecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_SpdlogBasicFileSink)->Unit(benchmark::kMicrosecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_LogInfoLatency)->Unit(benchmark::kNanosecond)->UseManualTime();

BENCHMARK_MAIN();
