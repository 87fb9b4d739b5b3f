// Tests of the process logger: level checks, the ring, listeners, error records, logging from tasks.
#include "LoggingTestSupport.h"

#include "logging/VLogger.h"
#include "runtime/VTask.h"

#include <cstdarg>
#include <set>
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

void LogFormatted(VLogger& ioLogger, EMessageLevel inLevel, const char* inFormat, ...) {
    va_list args;
    va_start(args, inFormat);
    ioLogger.LogVPrintf(inLevel, MakeOsType("ZQUP"), inFormat, args);
    va_end(args);
}

/// Each record it receives as "<its address>|<name>=<value>,...", and the first record, retained.
class AttributesListener : public ILogListener {
public:
    ~AttributesListener() override { ReleaseRefCountable(&fKept); }
    void Put(const std::vector<const VValueBag*>& inRecords) override {
        for (const VValueBag* record : inRecords) {
            std::string text = std::to_string(reinterpret_cast<uintptr_t>(record)) + "|";
            for (VIndex i = 1; i <= record->GetAttributesCount(); ++i) {
                VString value;
                record->GetNthAttributeValue(i, value);
                text += std::string(record->GetNthAttributeKey(i)) + "=" + value.ToUTF8() + ",";
            }
            fRecords.push_back(text);
            if (fKept == nullptr)
                fKept = RetainRefCountable(record);
        }
    }
    std::vector<std::string> fRecords;
    const VValueBag* fKept = nullptr;

protected:
    void DoOnRefCountZero() override {}
};

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
    // A formatted text that UTF-8 cannot hold unchanged (an unpaired surrogate) is kept as it is.
    const VString lone(u"file\xDC80");
    LogFormatted(*logger, EML_Information, "%S %d", &lone, 1);
    VString message;
    ASSERT_TRUE(ILoggerBagKeys::message.Get(*Take(*logger).at(0), message));
    EXPECT_EQ(std::u16string(message.View()), u"file\xDC80 1");
}

TEST(VLoggerTest, ReusedRecordsHoldOnlyTheirOwnAttributes) {
    VRefPtr<VLogger> logger = AdoptRef(new VLogger);
    logger->Start();
    AttributesListener listener;
    logger->AddLogListener(&listener);
    const std::string component = std::to_string(MakeOsType("ZQUP"));
    std::vector<std::string> expected;
    for (int round = 0; round < 3; ++round) {
        LogFormatted(*logger, EML_Error, "error %d", round);
        logger->LogMessage(EML_Information, VString("from " + std::to_string(round)), VString("Src"));
        LogFormatted(*logger, EML_Information, "info %s", "x");
        logger->Flush();
        expected.push_back("message=error " + std::to_string(round) +
                           ",level=6,component_signature=" + component + ",");
        expected.push_back("source=Src,message=from " + std::to_string(round) + ",");
        expected.push_back("message=info x,component_signature=" + component + ",");
    }
    logger->RemoveLogListener(&listener);
    std::set<std::string> addresses;
    ASSERT_EQ(listener.fRecords.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        size_t bar = listener.fRecords[i].find('|');
        addresses.insert(listener.fRecords[i].substr(0, bar));
        EXPECT_EQ(listener.fRecords[i].substr(bar + 1), expected[i]) << "record " << i;
    }
    EXPECT_LT(addresses.size(), expected.size()) << "delivered records are reused";
    // A record a listener still holds is not reused: it keeps what it was logged with.
    VString first;
    ILoggerBagKeys::message.Get(*listener.fKept, first);
    EXPECT_EQ(first.ToUTF8(), "error 0");
}

TEST(VLoggerTest, ReusedRecordsOverflowingTheRingKeepTheLast1000InOrder) {
    VRefPtr<VLogger> logger = AdoptRef(new VLogger);
    logger->Start();
    RecordingListener listener;
    logger->AddLogListener(&listener);
    logger->Stop(); // no reader task: nothing is taken before the round's flush
    // Rounds that wrap the ring, that do not, and that wrap it again, with the records of each round
    // reused from the rounds before.
    int next = 1;
    std::vector<std::string> expected;
    for (int count : {1500, 250, 1250, 1000}) {
        for (int i = 0; i < count; ++i, ++next) {
            LogFormatted(*logger, EML_Information, "%d", next);
            if (i >= count - 1000)
                expected.push_back(std::to_string(next));
        }
        logger->Flush();
    }
    logger->RemoveLogListener(&listener);
    EXPECT_EQ(listener.Messages(), expected);
}
