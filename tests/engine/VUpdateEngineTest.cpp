// Tests of the update engine object in-process: its exit statuses and its run with no stage to run.
#include "VUpdateEngine.h"

#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

#include <gtest/gtest.h>

using namespace vkit;

TEST(VUpdateEngineTest, ExitStatusFollowsTheLastError) {
    EXPECT_EQ(VUpdateEngine::ExitStatusForError(VE_OK), 0);
    EXPECT_EQ(VUpdateEngine::ExitStatusForError(VE_APPLICATION_INIT_FAILED), 1);
    EXPECT_EQ(VUpdateEngine::ExitStatusForError(VE_UPZQ_OUTDATED_APP_MISSING), 2);
    EXPECT_EQ(VUpdateEngine::ExitStatusForError(MakeVError(kComponentVkit, 5)), 2);
    EXPECT_EQ(VUpdateEngine::ExitStatusForError(MakeVError(kComponentUpdater, 4)), 2);
}

TEST(VUpdateEngineTest, ErrorCodesCarryTheUpdaterSignature) {
    EXPECT_EQ(ComponentFromVError(VE_UPZQ_UP_TO_DATE_APP_MISSING), MakeOsType("UPZQ"));
    EXPECT_EQ(NumberFromVError(VE_UPZQ_UP_TO_DATE_APP_MISSING), 2);
    EXPECT_EQ(NumberFromVError(VE_UPZQ_OUTDATED_APP_MISSING), 3);
    EXPECT_EQ(NumberFromVError(VE_UPZQ_RESTART_FAILED), 120);
}

TEST(VUpdateEngineTest, RunOnMissingBundlesEndsWithTheLastCheckAndEndsTheMainTask) {
    // The command line names the two bundles; without them the command-line stage stops the start-up.
    char program[] = "updater";
    char silent[] = "--silent";
    char outdated[] = "/nonexistent/A.app";
    char upToDate[] = "/nonexistent/B.app";
    char* argv[] = {program, silent, outdated, upToDate, nullptr};
    sProcessCommandLineArgc = 4;
    sProcessCommandLineArgv = argv;
    {
        VUpdateEngine engine;
        ASSERT_TRUE(engine.Init(VProcess::kDefaultInitFlags));
        EXPECT_EQ(engine.GetProposedExitStatus(), 0);
        engine.Run();
        EXPECT_EQ(VTask::GetLastError(), VE_UPZQ_UP_TO_DATE_APP_MISSING);
        EXPECT_FALSE(engine.IsRunning());
    }
    EXPECT_EQ(VTaskMgr::Get(), nullptr);
    sProcessCommandLineArgc = 0;
    sProcessCommandLineArgv = nullptr;
}
