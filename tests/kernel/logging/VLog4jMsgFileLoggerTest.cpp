// Tests of the log file writer: the text form of records, file numbers, splitting, the line layout,
// and the writer's behaviour on a vanished folder and on awkward records.
#include "LoggingTestSupport.h"

#include "errors/VErrorContext.h"
#include "errors/VErrorTaskContext.h"
#include "logging/VAssertFile.h"
#include "logging/VLog4jMsgFileLogger.h"
#include "logging/VLogger.h"
#include "logging/VSplitableLogFile.h"
#include "runtime/VTask.h"
#include "support/VTestTempFolder.h"

#include <algorithm>
#include <cstdarg>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

using namespace vkit;
using namespace vkit::testing;

namespace {

[[maybe_unused]] ::testing::Environment* const sEnvironment =
    ::testing::AddGlobalTestEnvironment(new LoggingTestEnvironment);

VFilePath FolderPath(const std::string& inPosix) {
    return VFilePath(VString(inPosix + "/"), FilePathStyle::Posix);
}

std::vector<std::string> Lines(const std::string& inPath) {
    std::istringstream stream(ReadFile(inPath));
    std::vector<std::string> lines;
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

/// A process logger (debug records let through) for the writers of one test.
class VLog4jMsgFileLoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        fLogger = AdoptRef(new VLogger);
        fLogger->Start();
        fLogger->WithDebug(true);
        ILogger::SetProcessLogger(fLogger.Get());
    }
    void TearDown() override {
        ILogger::SetProcessLogger(nullptr);
        fLogger->Stop();
        VTask::FlushErrors();
    }
    void Log(const char* inMessage, EMessageLevel inLevel = EML_Information) {
        fLogger->LogMessage(inLevel, VString(inMessage), VString("Main"));
    }
    /// A record naming no source, as the engine makes them.
    void LogOf(OsType inComponent, const char* inMessage) { LogFormatted(inComponent, "%s", inMessage); }
    void LogFormatted(OsType inComponent, const char* inFormat, ...) {
        va_list args;
        va_start(args, inFormat);
        fLogger->LogVPrintf(EML_Error, inComponent, inFormat, args);
        va_end(args);
    }

    VTestTempFolder fFolder;
    VRefPtr<VLogger> fLogger;
};

struct TextFormCase {
    const char* label;
    std::vector<std::pair<const char*, const char*>> strings;
    uint64_t errorCode;
    const char* source;
    const char* message;
};

const TextFormCase kTextFormCases[] = {
    {"error of a component with a task",
     {{"source", "Main"}, {"message", "Done"}, {"task_id", "3"}},
     MakeVError(MakeOsType("UPZQ"), 7),
     "Main.UPZQ",
     "[7] Done (task=3)"},
    {"only hidden attributes", {{"message", "Done"}}, 0, "Main", "Done ()"},
    {"source missing and empty",
     {{"source", ""}, {"message", "x"}},
     MakeVError(MakeOsType("vkit"), 600),
     "vkit",
     "[600] x ()"},
    {"labels, names and line feeds",
     {{"message", "m"}, {"user_id", "u1"}, {"peer_addr", "h"}, {"custom", "a\nb"}},
     0,
     "Main",
     "m (UUID=u1, peerAddr=h, custom=a ; b)"},
};

} // namespace

TEST(VLog4jTextFormTest, Table) {
    for (const TextFormCase& row : kTextFormCases) {
        SCOPED_TRACE(row.label);
        VRefPtr<VValueBag> record = AdoptRef(new VValueBag);
        for (const auto& [key, value] : row.strings)
            record->SetString(StPackedDictionaryKey(key), VString(value));
        if (row.errorCode != 0)
            ILoggerBagKeys::error_code.Set(*record, row.errorCode);
        VString source;
        VString message;
        int32_t level = -1;
        VLog4jMsgFileLogger::GetLogInfosFromBag(*record, source, level, message);
        EXPECT_EQ(source.ToUTF8(), row.source);
        EXPECT_EQ(message.ToUTF8(), row.message);
        EXPECT_EQ(level, EML_Information);
    }
}

TEST_F(VLog4jMsgFileLoggerTest, StartWithoutNumberContinuesTheLastFile) {
    struct Case {
        const char* label;
        std::vector<int> existing;
        int continued;
    };
    const Case cases[] = {{"empty folder", {}, 1},
                          {"files 1 and 2", {1, 2}, 2},
                          {"gap after 1", {1, 3}, 1},
                          {"file 2 without file 1", {2}, 1}};
    for (const Case& row : cases) {
        SCOPED_TRACE(row.label);
        VTestTempFolder folder;
        for (int number : row.existing)
            folder.WriteFile("run_" + std::to_string(number) + ".txt", "old\n");
        VLog4jMsgFileLogger writer(FolderPath(folder.Path()), VString("run"));
        ASSERT_TRUE(writer.Start());
        Log("new");
        writer.Stop();
        std::vector<std::string> lines = Lines(folder / ("run_" + std::to_string(row.continued) + ".txt"));
        bool continued =
            std::find(row.existing.begin(), row.existing.end(), row.continued) != row.existing.end();
        ASSERT_EQ(lines.size(), continued ? 2u : 1u);
        EXPECT_EQ(lines.front(), continued ? "old" : lines.front());
        EXPECT_NE(lines.back().find("[Main] INFO - new ()"), std::string::npos);
    }
}

TEST_F(VLog4jMsgFileLoggerTest, LinesFollowTheLayoutWithoutDebugPausedOrStoppedRecords) {
    VLog4jMsgFileLogger writer(FolderPath(fFolder.Path()), VString("log"));
    EXPECT_FALSE(VLog4jMsgFileLogger(FolderPath(fFolder / "missing"), VString("log")).Start(1));
    ASSERT_TRUE(writer.Start(1));
    Log("Done");
    Log("debug", EML_Debug);
    fLogger->Flush();
    // Each batch reaches the file when it is delivered: another reader sees it while the writer runs.
    EXPECT_EQ(Lines(fFolder / "log_1.txt").size(), 1u);
    writer.Pause();
    Log("paused");
    fLogger->Flush();
    writer.Resume();
    // Lines written by hand; no source or message is an empty one.
    writer.Log("Direct", EML_Warning, "by hand");
    writer.Log(nullptr, EML_Information, nullptr);
    writer.Log(VString("Wide"), EML_Fatal, VString("w"));
    Log("Failed", EML_Error);
    // Records naming no source take the process's, with their component; the source may change.
    LogOf(MakeOsType("ZQUP"), "a");
    LogOf(0, "b");
    fLogger->Flush();
    ILogger::SetProcessLogSource(VString("Other"));
    LogOf(MakeOsType("ZQUP"), "c");
    fLogger->Flush();
    ILogger::SetProcessLogSource(VString("Main"));
    writer.Stop();
    Log("stopped");
    fLogger->Flush();
    std::vector<std::string> lines = Lines(fFolder / "log_1.txt");
    ASSERT_EQ(lines.size(), 8u);
    const std::regex layout(R"(\d+ \d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3} \[Main\] (INFO|ERROR) - \w+ \(\))");
    EXPECT_TRUE(std::regex_match(lines[0], layout)) << lines[0];
    const char* const ends[] = {" [Direct] WARN - by hand",  " [] INFO - ",
                                " [Wide] FATAL - w",         " [Main] ERROR - Failed ()",
                                " [Main.ZQUP] ERROR - a ()", " [Main] ERROR - b ()",
                                " [Other.ZQUP] ERROR - c ()"};
    for (size_t i = 1; i < lines.size(); ++i)
        EXPECT_TRUE(lines[i].ends_with(ends[i - 1])) << lines[i];
    // A level out of the table is named as information.
    EXPECT_STREQ(VLog4jMsgFileLogger::GetMessageLevelName(99), "INFO");
    EXPECT_STREQ(VLog4jMsgFileLogger::GetMessageLevelName(-1), "INFO");
}

TEST_F(VLog4jMsgFileLoggerTest, SequenceNumbersAreSharedByEveryWriter) {
    VTestTempFolder other;
    VLog4jMsgFileLogger first(FolderPath(fFolder.Path()), VString("a"));
    VLog4jMsgFileLogger second(FolderPath(other.Path()), VString("b"));
    ASSERT_TRUE(first.Start(1) && second.Start(1));
    for (int i = 0; i < 20; ++i) {
        Log("x");
        if (i % 3 == 0)
            fLogger->Flush();
    }
    first.Stop();
    second.Stop();
    std::vector<uint64_t> numbers;
    for (const std::string& path : {fFolder / "a_1.txt", other / "b_1.txt"}) {
        for (const std::string& line : Lines(path))
            numbers.push_back(std::stoull(line));
        EXPECT_TRUE(std::is_sorted(numbers.end() - 20, numbers.end()));
    }
    ASSERT_EQ(numbers.size(), 40u);
    std::sort(numbers.begin(), numbers.end());
    EXPECT_EQ(numbers.back() - numbers.front(), 39u) << "one number per line written, none twice";
    EXPECT_EQ(std::adjacent_find(numbers.begin(), numbers.end()), numbers.end());
}

TEST_F(VLog4jMsgFileLoggerTest, FilesSplitBeyond10MiBKeepingTheNewest) {
    struct Case {
        const char* label;
        int64_t size;
        int maxToKeep;
        int entries; // each after making the current file inSize bytes
        std::vector<int> remaining;
    };
    const Case cases[] = {
        {"exactly 10 MiB is not split", 10485760, 50, 1, {1}},
        {"one byte more is split", 10485761, 50, 1, {1, 2}},
        {"three kept over splits 1 to 5", 10485761, 3, 4, {3, 4, 5}},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.label);
        VTestTempFolder folder;
        VSplitableLogFile file(FolderPath(folder.Path()), VString("s"), 1, false);
        file.SetMaxNumberToKeep(row.maxToKeep);
        for (int entry = 0; entry < row.entries; ++entry) {
            std::filesystem::resize_file(
                folder.WriteFile("s_" + std::to_string(file.GetFileNumber()) + ".txt", ""),
                static_cast<uintmax_t>(row.size));
            ASSERT_TRUE(file.Open(file.GetFileNumber(), false));
            file.AppendString("entry\n");
            file.Close();
        }
        std::vector<int> remaining;
        for (int number = 1; number <= 6; ++number)
            if (std::filesystem::exists(folder / ("s_" + std::to_string(number) + ".txt")))
                remaining.push_back(number);
        EXPECT_EQ(remaining, row.remaining);
    }
}

TEST_F(VLog4jMsgFileLoggerTest, ABatchIsSplitBetweenTheLinesThatCrossTheLimit) {
    // File 1 a few bytes short of the limit: its first new line takes it past, the next one opens file 2.
    std::filesystem::resize_file(fFolder.WriteFile("log_1.txt", ""), VSplitableLogFile::kMaxLogSize - 10);
    VLog4jMsgFileLogger writer(FolderPath(fFolder.Path()), VString("log"));
    ASSERT_TRUE(writer.Start(1));
    fLogger->Stop(); // no reader task: the three lines are one batch
    for (const char* message : {"first", "second", "third"})
        Log(message);
    fLogger->Flush();
    writer.Stop();
    std::vector<std::string> lines = Lines(fFolder / "log_2.txt");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("second"), std::string::npos);
    EXPECT_NE(lines[1].find("third"), std::string::npos);
    std::string first = ReadFile(fFolder / "log_1.txt");
    EXPECT_NE(first.find("first ()\n", VSplitableLogFile::kMaxLogSize - 10), std::string::npos);
    EXPECT_EQ(first.find("second"), std::string::npos);
}

TEST_F(VLog4jMsgFileLoggerTest, AVanishedFolderCostsAnErrorAndLoggingGoesOn) {
    std::string folder = fFolder.MakeFolder("logs");
    VLog4jMsgFileLogger writer(FolderPath(folder), VString("log"));
    ASSERT_TRUE(writer.Start(1));
    fLogger->Stop(); // no reader task: this task writes, and the error lands on its context
    Log("before");
    fLogger->Flush();
    VTestTempFolder::RemoveTree(folder);
    Log("lost");
    fLogger->Flush();
    Log("after");
    writer.Stop();
    VErrorBase* error = VTask::GetErrorContext(true)->GetLast();
    ASSERT_NE(error, nullptr);
    VString description;
    error->GetErrorDescription(description);
    EXPECT_NE(description.ToUTF8().find("/logs/log_1.txt\": No such file"), std::string::npos)
        << description.ToUTF8();
    std::vector<std::string> lines = Lines(folder + "/log_1.txt");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find("after"), std::string::npos);
}

TEST_F(VLog4jMsgFileLoggerTest, HugeAndBrokenTextsAreWrittenWholeAsUTF8) {
    VLog4jMsgFileLogger writer(FolderPath(fFolder.Path()), VString("log"));
    ASSERT_TRUE(writer.Start(1));
    const UniChar broken[] = {u'a', 0xD800, u'b', 0xDC00};
    VString huge;
    for (int i = 0; i < 1024 * 1024 / 8; ++i)
        huge.AppendCString("\xC3\xA9t\xC3\xA9-xyz");
    for (const VString& message : {VString(broken, 4), huge})
        fLogger->LogMessage(EML_Information, message, VString());
    writer.Stop();
    std::vector<std::string> lines = Lines(fFolder / "log_1.txt");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("a\xEF\xBF\xBD"
                            "b\xEF\xBF\xBD ()"),
              std::string::npos);
    EXPECT_NE(lines[1].find(huge.ToUTF8() + " ()"), std::string::npos);
}

TEST(VAssertFileTest, WritesOnlyOnceEnabledWithItsBanner) {
    VTestTempFolder folder;
    VAssertFile::Write(VString("ignored"), false);
    VAssertFile::Enable(FolderPath(folder / "Sample.app"));
    EXPECT_EQ(VAssertFile::GetPosixPath(), folder / "Sample_asserts.txt");
    VAssertFile::Write(VString("first"), false);
    VAssertFile::Write(VString("second"), true);
    VAssertFile::Disable();
    VAssertFile::Write(VString("ignored"), false);
    std::string content = ReadFile(folder / "Sample_asserts.txt");
    EXPECT_EQ(content.rfind("ZQ log file opened on ", 0), 0u) << content;
    EXPECT_NE(content.find("\n\nfirst\n"), std::string::npos) << content;
    EXPECT_EQ(content.substr(content.size() - 7), "\nsecond");
    EXPECT_EQ(content.find("ignored"), std::string::npos);
}
