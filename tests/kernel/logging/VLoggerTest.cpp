// Tests of the process logger: level checks, the ring, listeners, error records, logging from tasks.
#include "LoggingTestSupport.h"

#include "logging/VLogger.h"
#include "runtime/VTask.h"

#include <string>
#include <thread>

using namespace vkit;
using namespace vkit::testing;

namespace {

[[maybe_unused]] ::testing::Environment* const sEnvironment =
    ::testing::AddGlobalTestEnvironment(new LoggingTestEnvironment);

VValueBag* MakeRecord(const std::string& inMessage, EMessageLevel inLevel = EML_Information) {
    VValueBag* record = new VValueBag;
    ILoggerBagKeys::message.Set(*record, VString(inMessage));
    ILoggerBagKeys::level.Set(*record, inLevel);
    return record;
}

void Log(ILogger& ioLogger, const std::string& inMessage, EMessageLevel inLevel = EML_Information) {
    VRefPtr<VValueBag> record = AdoptRef(MakeRecord(inMessage, inLevel));
    ioLogger.LogBag(record.Get());
}

/// The records waiting in the logger, taken over.
std::vector<VRefPtr<const VValueBag>> Take(VLogger& ioLogger) {
    std::vector<VRefPtr<const VValueBag>> records;
    for (const VValueBag* record : ioLogger.Read())
        records.push_back(AdoptRef(record));
    return records;
}

struct LevelCase {
    const char* label;
    bool flushDisabled;
    bool started;
    bool withDebug;
    EMessageLevel level;
    bool expected;
};

const LevelCase kLevelCases[] = {
    {"default mask drops debug", false, true, false, EML_Debug, false},
    {"default mask files info", false, true, false, EML_Information, true},
    {"default mask files fatal", false, true, false, EML_Fatal, true},
    {"debug bit set", false, true, true, EML_Debug, true},
    {"not started drops every level", false, false, true, EML_Fatal, false},
    {"flush disabled keeps every level", true, false, false, EML_Dump, true},
    {"flush disabled ignores the mask", true, true, false, EML_Trace, true},
};

} // namespace

TEST(VLoggerTest, ShouldLogFollowsFlushStartAndMask) {
    for (const LevelCase& row : kLevelCases) {
        SCOPED_TRACE(row.label);
        VRefPtr<VLogger> logger = AdoptRef(new VLogger);
        if (row.flushDisabled)
            logger->DisableFlush();
        if (row.started)
            logger->Start();
        EXPECT_FALSE(logger->WithDebug(row.withDebug));
        EXPECT_EQ(logger->ShouldLog(row.level), row.expected);
        Log(*logger, "record", row.level);
        EXPECT_EQ(Take(*logger).size() == 1, row.expected);
    }
}

TEST(VLoggerTest, FullRingKeepsTheLast1000InOrder) {
    VRefPtr<VLogger> logger = AdoptRef(new VLogger);
    logger->Start();
    VRefPtr<VValueBag> first = AdoptRef(MakeRecord("1"));
    logger->LogBag(first.Get());
    EXPECT_EQ(first->GetRefCount(), 2);
    for (int i = 2; i <= 1001; ++i)
        Log(*logger, std::to_string(i));
    EXPECT_EQ(first->GetRefCount(), 1) << "the oldest record is released unread";
    RecordingListener listener;
    logger->AddLogListener(&listener);
    logger->Flush();
    std::vector<std::string> messages = listener.Messages();
    ASSERT_EQ(messages.size(), 1000u);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(messages[i], std::to_string(i + 2));
    logger->RemoveLogListener(&listener);
}

TEST(VLoggerTest, ListenersAreServedOnceAndFlushedOnRemoval) {
    VRefPtr<VLogger> logger = AdoptRef(new VLogger);
    logger->Start();
    RecordingListener listener;
    EXPECT_TRUE(logger->AddLogListener(&listener));
    EXPECT_FALSE(logger->AddLogListener(&listener));
    EXPECT_FALSE(logger->AddLogListener(nullptr));
    Log(*logger, "a");
    logger->Flush();
    Log(*logger, "b");
    EXPECT_TRUE(logger->RemoveLogListener(&listener));
    EXPECT_FALSE(logger->RemoveLogListener(&listener));
    Log(*logger, "c");
    logger->Flush();
    EXPECT_EQ(listener.Messages(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(listener.Batches(), 2);
    EXPECT_EQ(listener.GetRefCount(), 1) << "released when removed";
}

TEST(VLoggerTest, EnableFlushFiltersWhatWasKeptMeanwhile) {
    VRefPtr<VLogger> logger = AdoptRef(new VLogger);
    logger->DisableFlush();
    Log(*logger, "debug", EML_Debug);
    Log(*logger, "info");
    RecordingListener listener;
    logger->AddLogListener(&listener);
    logger->Flush(); // nothing while disabled
    logger->Start();
    logger->EnableFlush();
    logger->Flush();
    EXPECT_EQ(listener.Messages(), std::vector<std::string>{"info"});
    logger->RemoveLogListener(&listener);
}

TEST(VLoggerTest, TasksLoggingTogetherLoseAndRepeatNothing) {
    constexpr int kTasks = 4;
    constexpr int kRecordsPerTask = 240; // within the ring's capacity, whatever the reader's timing
    VRefPtr<VLogger> logger = AdoptRef(new VLogger);
    logger->Start();
    RecordingListener listener;
    logger->AddLogListener(&listener);
    std::vector<VTask*> tasks;
    for (int t = 0; t < kTasks; ++t) {
        tasks.push_back(new VTask(0, eTaskStylePreemptive, [&logger, t] {
            for (int i = 0; i < kRecordsPerTask; ++i)
                logger->LogMessage(EML_Information, VString(std::to_string(t * 1000 + i)), VString());
        }));
        ASSERT_TRUE(tasks.back()->Run());
    }
    for (VTask* task : tasks) {
        EXPECT_TRUE(task->WaitForDeath(10000));
        task->Release();
    }
    logger->RemoveLogListener(&listener);
    std::vector<int> next(kTasks, 0);
    std::vector<std::string> messages = listener.Messages();
    ASSERT_EQ(messages.size(), static_cast<size_t>(kTasks * kRecordsPerTask));
    for (const std::string& message : messages) {
        int value = std::stoi(message);
        ASSERT_EQ(value % 1000, next[value / 1000]++) << "records of one task arrive once, in order";
    }
}

TEST(VLoggerTest, RecordBuildersFillTheirAttributes) {
    VRefPtr<VLogger> logger = AdoptRef(new VLogger);
    logger->Start();
    logger->LogMessage(EML_Information, VString("info"), VString());
    logger->LogMessage(EML_Error, VString("error"), VString("Engine"));
    VRefPtr<VErrorBase> error = AdoptRef(new VErrorBase(MakeVError(MakeOsType("UPZQ"), 7)));
    error->GetBag().SetString(ErrorBagKeys::error_description, VString("Swap failed"));
    error->SetStackCrawl({VString("vkit::VFile::Open(vkit::VString const&) const"),
                          VString("non-virtual thunk to vkit::VTask::Run()"), VString("main")});
    logger->LogErrorIfNecessary(error.Get());
    logger->LogAssertIfNecessary(VString("dropped"), VString("a.cpp"), 12);
    logger->WithAssert(true);
    logger->LogAssertIfNecessary(VString("x > 0"), VString("a.cpp"), 12);
    const std::vector<std::string> expected = {
        "message=info source=Main",
        "message=error level=6 source=Engine",
        "message=Swap failed level=6 error_code=" + std::to_string(error->GetError()) +
            " component_signature=" + std::to_string(MakeOsType("UPZQ")) +
            " source=Main stack_crawl=VFile::Open <- VTask::Run <- main",
        "message=x > 0 level=2 file_name=a.cpp line_number=12",
    };
    std::vector<std::string> texts;
    for (const auto& record : Take(*logger)) {
        std::string text;
        for (const char* key : {"message", "level", "error_code", "component_signature", "source",
                                "stack_crawl", "file_name", "line_number"}) {
            VString value;
            if (record->GetString(StPackedDictionaryKey(key), value))
                text += std::string(text.empty() ? "" : " ") + key + "=" + value.ToUTF8();
        }
        texts.push_back(text);
    }
    EXPECT_EQ(texts, expected);
}
