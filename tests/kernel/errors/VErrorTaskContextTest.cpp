// Tests of the task's error contexts: pushing, filtering, guards, popping and the logger hand-off.
#include "ErrorsTestEnvironment.h"

#include "bags/VValueBag.h"
#include "errors/IErrorLogger.h"
#include "errors/StErrorContextInstaller.h"
#include "errors/VErrorContext.h"
#include "errors/VErrorTaskContext.h"
#include "errors/VErrorThrow.h"
#include "runtime/VTask.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <thread>
#include <vector>

using namespace vkit;

namespace {

const ::testing::Environment* const sEnvironment =
    ::testing::AddGlobalTestEnvironment(new vkit::testing::ErrorsTestEnvironment);

/// The errors of the scenarios: the letters A, B, C... are the numbers 1, 2, 3... of the engine.
VError Letter(char inLetter) {
    return MakeVError(MakeOsType("UPZQ"), inLetter - 'A' + 1);
}
const VError kErrorA = Letter('A'), kErrorB = Letter('B'), kErrorC = Letter('C');

char LetterOf(VError inCode) {
    return inCode == VE_MEMORY_FULL ? 'M' : static_cast<char>('A' + NumberFromVError(inCode) - 1);
}

std::string Letters(const VErrorContext& inContext) {
    std::string letters;
    for (const VErrorBase* error : inContext.GetErrors())
        letters += LetterOf(error->GetError());
    return letters;
}

/// Records the letters of the errors it is handed.
class RecordingLogger : public IErrorLogger {
public:
    void LogErrorIfNecessary(const VErrorBase* inError) override { fLogged += LetterOf(inError->GetError()); }
    std::string fLogged;
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

    /// Runs a scenario, one word at a time: a letter throws that error, M the memory error; "{" installs
    /// a guard, "{s" a silent one, "{d" one that drops its errors, "{B" or "{AB" one that filters those
    /// codes; "}" ends the innermost guard; "^" merges and flushes the top context silently; "wB" pushes
    /// B wrapped in A. Answers the errors left on the stack, bottom first, "|", and the errors logged.
    std::string Run(const std::string& inScenario) {
        std::vector<std::unique_ptr<StErrorContextInstaller>> guards;
        std::istringstream words(inScenario);
        for (std::string word; words >> word;) {
            if (word == "}")
                guards.pop_back();
            else if (word == "^")
                fTaskContext->MergeAndFlushLastContext(true);
            else if (word[0] == 'w')
                _PushRetainedError(new VErrorBase(Letter(word[1])), kErrorA);
            else if (word == "{" || word == "{s" || word == "{d")
                guards.push_back(std::make_unique<StErrorContextInstaller>(word != "{d", word == "{s"));
            else if (word.size() == 2 && word[0] == '{')
                guards.push_back(std::make_unique<StErrorContextInstaller>(Letter(word[1])));
            else if (word[0] == '{')
                guards.push_back(std::make_unique<StErrorContextInstaller>(Letter(word[1]), Letter(word[2])));
            else
                _ThrowError(word == "M" ? VE_MEMORY_FULL : Letter(word[0]));
        }
        EXPECT_TRUE(guards.empty());
        VErrorContext all;
        fTaskContext->GetErrors(all);
        for (const VErrorBase* error : all.GetErrors())
            EXPECT_EQ(error->GetRefCount(), 2) << "held by its context and by this list only";
        return Letters(all) + "|" + fLogger.fLogged;
    }

    VErrorTaskContext* fTaskContext = nullptr;
    RecordingLogger fLogger;
};

} // namespace

TEST_F(VErrorTaskContextTest, Scenarios) {
    const std::pair<const char*, const char*> cases[] = {
        {"A B", "AB|"},             // the first push creates the bottom context
        {"{ A B }", "AB|"},         // a guard passes its errors down
        {"{ A {d C } }", "A|"},     // a guard that keeps nothing drops its errors
        {"{ {AB C } }", "C|"},      // a code the guard does not filter leaves it loud
        {"{ {AB C A } }", "CA|CA"}, // a filtered code makes the guard silent: logged when it ends
        {"{s {s C } }", "C|C"},     // silent in silent: logged once, when the bottom is popped
        {"{s B }", "B|B"},          // the popped bottom context is replaced by a copy
        {"wB", "AB|"},              // the wrapper error comes first
        {"{B wB }", "B|B"},         // unless the wrapped code is filtered
        {"{ A ^ C }", "AC|AC"},     // merge and flush: errors handed down, the top left silent
        {"{ {A A } A }", "AA|A"},   // the filter of an ended guard is gone
        {"{ {d A ^ } }", "|"},      // merge and flush keeps nothing of a guard that drops its errors
    };
    for (const auto& [scenario, expected] : cases) {
        SCOPED_TRACE(scenario);
        fLogger.fLogged.clear();
        EXPECT_EQ(Run(scenario), expected);
        ClearStack();
    }
}

TEST_F(VErrorTaskContextTest, PushesAndLookups) {
    bool filtered = true;
    EXPECT_FALSE(fTaskContext->PushError(nullptr, &filtered) || filtered);
    VString path("/tmp/x");
    EXPECT_EQ(vThrowError(kErrorA, &path), kErrorA);
    // The texts given become the parameters p1, p2, p3.
    VString p1;
    EXPECT_TRUE(fTaskContext->GetLast()->GetBag().GetString(ErrorBagKeys::p1, p1));
    EXPECT_EQ(p1, "/tmp/x");
    EXPECT_FALSE(fTaskContext->GetLast()->GetBag().AttributeExists(ErrorBagKeys::p2));
    _ThrowError(kErrorB);
    StErrorContextInstaller guard;
    EXPECT_EQ(VTask::GetLastError(), VE_OK); // the top context only
    _ThrowError(kErrorC);
    EXPECT_EQ(guard.GetLastError(), kErrorC);
    EXPECT_EQ(fTaskContext->GetFirst()->GetError(), kErrorA);
    EXPECT_EQ(fTaskContext->GetLast()->GetError(), kErrorC);
    EXPECT_EQ(fTaskContext->Find(kErrorB)->GetError(), kErrorB);
    EXPECT_TRUE(guard.GetContext()->FindAny({kErrorB, kErrorC, 0}));
    EXPECT_FALSE(guard.GetContext()->FindAny({kErrorA, 0, kErrorC}));
    EXPECT_EQ(vThrowUserGeneratedError(kErrorC, VString("Disk is full")), kErrorC);
    EXPECT_EQ(fTaskContext->GetLast()->GetRefCount(), 1) << "held by its context only";
    VTask::FlushErrors();
    EXPECT_EQ(fTaskContext->GetLast()->GetError(), kErrorB);
}

TEST_F(VErrorTaskContextTest, EndedGuardContextIsReusedAfresh) {
    // A guard that ends at once, its context marked as failed for memory.
    VErrorContext* first = nullptr;
    (first = StErrorContextInstaller(false, true).GetContext())->SetFailedForMemory(true);
    StErrorContextInstaller next;
    EXPECT_EQ(next.GetContext(), first);
    EXPECT_FALSE(next.GetContext()->FailedForMemory());
    EXPECT_FALSE(next.GetContext()->IsSilent());
    EXPECT_TRUE(next.GetContext()->IsKeepingErrors());
}

TEST_F(VErrorTaskContextTest, TaskOperationsActOnTheTopContext) {
    StErrorContextInstaller guard;
    VErrorContext* context = guard.GetContext();
    EXPECT_EQ(context->GetParametersForPushedErrors(false), nullptr);
    context->GetParametersForPushedErrors(true)->SetString(StPackedDictionaryKey("file"), "a");
    EXPECT_EQ(context->GetParametersForPushedErrors(true), context->GetParametersForPushedErrors(false));
    EXPECT_FALSE(context->PushError(nullptr));
    _ThrowError(VE_MEMORY_FULL);
    EXPECT_TRUE(VTask::FailedForMemory());
    EXPECT_TRUE(fTaskContext->PushError(VRefPtr<VErrorBase>(AdoptRef(new VErrorBase(kErrorB))).Get()));
    VTask::PushErrors(context); // its own errors again, without losing its place
    context->PushErrors(context);
    EXPECT_EQ(Letters(*context), "MBMB");
    EXPECT_EQ(context->GetErrors()[1]->GetRefCount(), 2) << "once per push, the caller's released";
    VString file;
    EXPECT_TRUE(context->GetLast()->GetBag().GetString(StPackedDictionaryKey("file"), file));
    EXPECT_EQ(file, "a");
    VTask::FlushErrors();
    EXPECT_FALSE(VTask::FailedForMemory());
}

TEST_F(VErrorTaskContextTest, SavedErrorsLoadBackAndBuildTheErrorStack) {
    StErrorContextInstaller guard;
    _ThrowError(kErrorA);
    VErrorBase* described = new VErrorBase(kErrorC);
    described->GetBag().SetString(ErrorBagKeys::error_description, "Disk full");
    VTask::PushRetainedError(described);
    VValueBag* bag = new VValueBag;
    fTaskContext->BuildErrorStack(*bag);
    VString xml;
    bag->DumpXML(xml, VString("stack"), false);
    EXPECT_EQ(xml.ToUTF8(),
              "<stack>\n"
              "<__ERROR message=\"Error code: 1 (UPZQ)\" componentSignature=\"UPZQ\" errCode=\"1\"/>\n"
              "<__ERROR message=\"Disk full\" componentSignature=\"UPZQ\" errCode=\"3\"/></stack>");
    bag->Destroy();
    guard.GetContext()->SaveToBag(*bag);
    VErrorContext loaded;
    EXPECT_EQ(loaded.LoadFromBag(*bag), VE_OK);
    EXPECT_EQ(Letters(loaded), "AC");
    fTaskContext->PushErrorsFromBag(*bag);
    EXPECT_EQ(Letters(*guard.GetContext()), "ACAC");
    bag->Release();
}

TEST_F(VErrorTaskContextTest, ThreadThatIsNoTaskHasNoContext) {
    std::thread([] {
        EXPECT_EQ(VTask::GetErrorContext(true), nullptr);
        _ThrowError(kErrorA);
        EXPECT_EQ(VTask::GetLastError(), VE_OK);
        StErrorContextInstaller guard(false, true); // free-standing: must not crash
        EXPECT_TRUE(guard.GetContext()->IsSilent());
        EXPECT_FALSE(guard.GetContext()->IsKeepingErrors());
    }).join();
}
