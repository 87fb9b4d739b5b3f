// What the logging tests share: the task manager and error layer, and a listener that records.
#pragma once

#include "bags/VValueBag.h"
#include "errors/VErrorBase.h"
#include "logging/ILogger.h"
#include "logging/ILoggerBagKeys.h"
#include "runtime/StLocker.h"
#include "runtime/VTaskMgr.h"

#include <gtest/gtest.h>

#include <vector>

namespace vkit::testing {

/// The tests run on the main task of a task manager, with the error layer up and "Main" as the
/// process's log source.
class LoggingTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(VTaskMgr::Init());
        VErrorBase::Init();
        ILogger::SetProcessLogSource(VString("Main"));
    }
    /// Joins the threads of the tasks that ended (reader tasks included).
    void TearDown() override { VTaskMgr::DeInit(); }
};

/// Keeps the messages of the records it receives, and counts the batches.
class RecordingListener : public ILogListener {
public:
    void Put(const std::vector<const VValueBag*>& inRecords) override {
        StLocker lock(fLock);
        ++fBatches;
        for (const VValueBag* record : inRecords)
            fMessages.push_back(ILoggerBagKeys::message.Get(*record, fText) ? fText.ToUTF8() : std::string());
    }
    std::vector<std::string> Messages() {
        StLocker lock(fLock);
        return fMessages;
    }
    int Batches() {
        StLocker lock(fLock);
        return fBatches;
    }

protected:
    void DoOnRefCountZero() override {} // lives on the test's stack

private:
    VCriticalSection fLock;
    std::vector<std::string> fMessages;
    VString fText;
    int fBatches = 0;
};

} // namespace vkit::testing
