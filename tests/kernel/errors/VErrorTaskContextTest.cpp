// Tests of the task's error contexts: pushing, filtering, guards, popping and the logger hand-off.
#include "ErrorsTestEnvironment.h"

#include "bags/VValueBag.h"
#include "errors/IErrorLogger.h"
#include "errors/StErrorContextInstaller.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorContext.h"
#include "errors/VErrorTaskContext.h"
#include "errors/VErrorThrow.h"
#include "runtime/VTask.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace vkit;

namespace {

const ::testing::Environment* const sEnvironment =
    ::testing::AddGlobalTestEnvironment(new vkit::testing::ErrorsTestEnvironment);

const VError kErrorA = MakeVError(MakeOsType("UPZQ"), 1);
const VError kErrorB = MakeVError(MakeOsType("UPZQ"), 2);
const VError kErrorC = MakeVError(MakeOsType("UPZQ"), 3);

class RecordingLogger : public IErrorLogger {
public:
    void LogErrorIfNecessary(const VErrorBase* inError) override { fLogged.push_back(inError->GetError()); }
    std::vector<VError> fLogged;
};

/// Each test starts with an empty stack on the main task and a recording logger.
class VErrorTaskContextTest : public ::testing::Test {
protected:
    void SetUp() override {
        fTaskContext = VTask::GetErrorContext(true);
        ASSERT_NE(fTaskContext, nullptr);
        ClearStack();
        VErrorBase::SetProcessLogger(&fLogger);
    }
    void TearDown() override {
        VErrorBase::SetProcessLogger(nullptr);
        ClearStack();
    }

    /// Empties and removes every context (a bottom context that holds errors is never removed).
    void ClearStack() {
        while (fTaskContext->GetDepth() > 0) {
            fTaskContext->Flush();
            fTaskContext->PopContext();
        }
    }

    std::vector<VError> BottomCodes() const {
        std::vector<VError> codes;
        VErrorContext all;
        fTaskContext->GetErrors(all);
        for (const VErrorBase* error : all.GetErrors())
            codes.push_back(error->GetError());
        return codes;
    }

    VErrorTaskContext* fTaskContext = nullptr;
    RecordingLogger fLogger;
};

} // namespace

TEST_F(VErrorTaskContextTest, FirstPushCreatesTheBottomContext) {
    EXPECT_EQ(VTask::GetLastError(), VE_OK);
    _ThrowError(kErrorA);
    EXPECT_EQ(fTaskContext->GetDepth(), 1u);
    EXPECT_EQ(VTask::GetLastError(), kErrorA);
    VTask::FlushErrors();
    EXPECT_EQ(VTask::GetLastError(), VE_OK);
}

TEST_F(VErrorTaskContextTest, ThrowErrorStoresTheTextParameters) {
    VString path("/tmp/x");
    EXPECT_EQ(vThrowError(kErrorA, &path), kErrorA);
    VString p1;
    ASSERT_NE(fTaskContext->GetLast(), nullptr);
    EXPECT_TRUE(fTaskContext->GetLast()->GetBag().GetString(ErrorBagKeys::p1, p1));
    EXPECT_EQ(p1, "/tmp/x");
    EXPECT_FALSE(fTaskContext->GetLast()->GetBag().AttributeExists(ErrorBagKeys::p2));
}

TEST_F(VErrorTaskContextTest, GuardErrorsPassToTheContextBelow) {
    {
        StErrorContextInstaller guard;
        _ThrowError(kErrorA);
        _ThrowError(kErrorB);
        EXPECT_EQ(guard.GetLastError(), kErrorB);
    }
    EXPECT_EQ(BottomCodes(), (std::vector<VError>{kErrorA, kErrorB}));
    EXPECT_TRUE(fLogger.fLogged.empty());
}

TEST_F(VErrorTaskContextTest, GuardWithoutKeepingErrorsDropsThem) {
    {
        StErrorContextInstaller guard(false, false);
        _ThrowError(kErrorA);
        EXPECT_EQ(VTask::GetLastError(), kErrorA);
    }
    EXPECT_TRUE(BottomCodes().empty());
}

TEST_F(VErrorTaskContextTest, FilteredCodeMakesTheGuardSilentAndIsLoggedWhenLeaving) {
    bool filtered = false;
    {
        StErrorContextInstaller guard(kErrorA, kErrorB, 0);
        VErrorBase* error = new VErrorBase(kErrorA);
        EXPECT_TRUE(fTaskContext->PushError(error, &filtered));
        error->Release();
        EXPECT_TRUE(filtered);
        EXPECT_TRUE(guard.GetContext()->IsSilent());
    }
    // The filtered error still reaches the context below, and leaving the silent guard for a context
    // that is not silent hands it to the logger.
    EXPECT_EQ(BottomCodes(), (std::vector<VError>{kErrorA}));
    EXPECT_EQ(fLogger.fLogged, (std::vector<VError>{kErrorA}));
}

TEST_F(VErrorTaskContextTest, UnfilteredCodeInsideAFilteringGuardIsNotSilenced) {
    StErrorContextInstaller guard(kErrorA, kErrorB);
    VErrorBase* error = new VErrorBase(kErrorC);
    bool filtered = true;
    fTaskContext->PushError(error, &filtered);
    error->Release();
    EXPECT_FALSE(filtered);
    EXPECT_FALSE(guard.GetContext()->IsSilent());
}

TEST_F(VErrorTaskContextTest, SilentInsideSilentIsNotLoggedTwice) {
    {
        StErrorContextInstaller outer(true, true);
        {
            StErrorContextInstaller inner(true, true);
            _ThrowError(kErrorC);
        }
        EXPECT_TRUE(fLogger.fLogged.empty());
    }
    EXPECT_EQ(fLogger.fLogged, (std::vector<VError>{kErrorC}));
}

TEST_F(VErrorTaskContextTest, LastErrorLooksAtTheTopContextOnly) {
    _ThrowError(kErrorA);
    StErrorContextInstaller guard;
    EXPECT_EQ(VTask::GetLastError(), VE_OK);
    EXPECT_EQ(fTaskContext->GetLast()->GetError(), kErrorA);
    EXPECT_EQ(fTaskContext->Find(kErrorA)->GetError(), kErrorA);
}

TEST_F(VErrorTaskContextTest, PoppingTheBottomContextReplacesItByACopy) {
    VErrorContext* bottom = fTaskContext->PushNewContext(true, true);
    VErrorBase* error = new VErrorBase(kErrorB);
    fTaskContext->PushError(error);
    error->Release();
    bottom->Retain();
    fTaskContext->PopContext();
    ASSERT_EQ(fTaskContext->GetDepth(), 1u);
    EXPECT_NE(fTaskContext->GetTop(), bottom);
    EXPECT_EQ(fTaskContext->GetLastError(), kErrorB);
    EXPECT_EQ(fLogger.fLogged, (std::vector<VError>{kErrorB}));
    bottom->Release();
}

TEST_F(VErrorTaskContextTest, TaskOperationsActOnTheTopContext) {
    StErrorContextInstaller guard(kErrorB); // one code: it is filtered
    _ThrowError(VE_MEMORY_FULL);
    EXPECT_TRUE(VTask::FailedForMemory());
    VTask::PushRetainedError(new VErrorBase(kErrorB));
    VTask::PushErrors(guard.GetContext()); // its own errors again, without losing its place
    EXPECT_TRUE(guard.GetContext()->IsSilent());
    ASSERT_EQ(guard.GetContext()->GetErrors().size(), 4u);
    EXPECT_EQ(guard.GetContext()->GetErrors()[1]->GetRefCount(), 2) << "once per push, the caller's released";
    VTask::FlushErrors();
    EXPECT_FALSE(VTask::FailedForMemory());
}

TEST_F(VErrorTaskContextTest, ParametersForPushedErrorsAreMerged) {
    StErrorContextInstaller guard;
    guard.GetContext()->GetParametersForPushedErrors(true)->SetString(StPackedDictionaryKey("file"), "a");
    _ThrowError(kErrorA);
    VString file;
    EXPECT_TRUE(guard.GetContext()->GetLast()->GetBag().GetString(StPackedDictionaryKey("file"), file));
    EXPECT_EQ(file, "a");
}

TEST_F(VErrorTaskContextTest, WrapperErrorIsPushedFirstUnlessFiltered) {
    _PushRetainedError(new VErrorBase(kErrorB), kErrorA);
    EXPECT_EQ(BottomCodes(), (std::vector<VError>{kErrorA, kErrorB}));
    VTask::FlushErrors();
    {
        StErrorContextInstaller guard(kErrorB, 0);
        _PushRetainedError(new VErrorBase(kErrorB), kErrorA);
        EXPECT_EQ(guard.GetContext()->GetErrors().size(), 1u);
    }
}

TEST_F(VErrorTaskContextTest, MergeAndFlushHandsErrorsDownAndEmptiesTheTop) {
    StErrorContextInstaller guard;
    _ThrowError(kErrorA);
    fTaskContext->MergeAndFlushLastContext(true);
    EXPECT_TRUE(guard.GetContext()->IsEmpty());
    EXPECT_TRUE(guard.GetContext()->IsSilent());
    EXPECT_EQ(fLogger.fLogged, (std::vector<VError>{kErrorA}));
    EXPECT_EQ(fTaskContext->GetFirst()->GetError(), kErrorA);
}

TEST_F(VErrorTaskContextTest, SavedContextLoadsBack) {
    StErrorContextInstaller guard;
    _ThrowError(kErrorA);
    _ThrowError(kErrorC);
    VValueBag* bag = new VValueBag;
    guard.GetContext()->SaveToBag(*bag);
    VErrorContext loaded;
    EXPECT_EQ(loaded.LoadFromBag(*bag), VE_OK);
    ASSERT_EQ(loaded.GetErrors().size(), 2u);
    EXPECT_EQ(loaded.GetLastError(), kErrorC);
    bag->Release();
}

TEST_F(VErrorTaskContextTest, ThreadThatIsNoTaskHasNoContext) {
    VErrorTaskContext* context = fTaskContext;
    std::thread([&context] {
        context = VTask::GetErrorContext(true);
        _ThrowError(kErrorA);
        EXPECT_EQ(VTask::GetLastError(), VE_OK);
        StErrorContextInstaller guard; // free-standing: must not crash
    }).join();
    EXPECT_EQ(context, nullptr);
}
