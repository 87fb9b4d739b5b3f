// Tests of SpinLock: the strategies Configure selects, its tuning values, and exclusion under each.
#include "runtime/SpinLock.h"
#include "runtime/StLocker.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace vkit {
namespace {

using EStrategy = SpinLock::EStrategy;

SpinLock::Settings ModeSettings(const char* inMode) {
    SpinLock::Settings settings;
    settings.fMode = VString(inMode);
    return settings;
}

/// Puts the defaults back after each test: the strategy is process-wide.
class SpinLockTest : public ::testing::Test {
protected:
    void SetUp() override { VTaskMgr::Get()->PurgeDeadTasks(); }
    void TearDown() override {
        SpinLock::Settings defaults = ModeSettings("maxSpinsThenLoopYields");
        defaults.fMaxSpins = 1;
        defaults.fYieldAfterCheckEvent = false;
        EXPECT_TRUE(SpinLock::Configure(defaults));
        SpinLock::SetSettingsReader(nullptr);
    }

    /// Several tasks increment a counter under a critical section and under a bare spin lock.
    static void ExpectNoLostUpdate() {
        constexpr int kTasks = 3;
        constexpr int kRounds = 5000;
        VCriticalSection section;
        SpinLock::Word word{0};
        int64_t sectionCounter = 0;
        int64_t spinCounter = 0;
        std::vector<VRefPtr<VTask>> tasks;
        for (int t = 0; t < kTasks; ++t) {
            tasks.push_back(AdoptRef(new VTask(0, eTaskStylePreemptive, [&] {
                for (int i = 0; i < kRounds; ++i) {
                    {
                        StLocker lock(section);
                        ++sectionCounter;
                    }
                    SpinLock::Lock(word);
                    ++spinCounter;
                    SpinLock::Unlock(word);
                }
            })));
            ASSERT_TRUE(tasks.back()->Run());
        }
        for (VRefPtr<VTask>& task : tasks)
            ASSERT_TRUE(task->WaitForDeath(60000));
        EXPECT_EQ(sectionCounter, int64_t{kTasks} * kRounds);
        EXPECT_EQ(spinCounter, int64_t{kTasks} * kRounds);
        EXPECT_EQ(word.load(), 0U);
        VTaskMgr::Get()->PurgeDeadTasks();
    }
};

TEST_F(SpinLockTest, WordBit31MeansLocked) {
    SpinLock::Word word{0};
    EXPECT_TRUE(SpinLock::TryLock(word));
    EXPECT_EQ(word.load(), SpinLock::kLockedBit);
    EXPECT_FALSE(SpinLock::TryLock(word));
    SpinLock::Unlock(word);
    EXPECT_EQ(word.load(), 0U);
    SpinLock::Lock(word);
    EXPECT_EQ(word.load(), SpinLock::kLockedBit);
    SpinLock::Unlock(word);
}

TEST_F(SpinLockTest, AlwaysSleepWithMaxSpins20SelectsSleepingAndKeepsTheSpins) {
    SpinLock::Settings settings = ModeSettings("alwaysSleep");
    settings.fMaxSpins = 20;
    ASSERT_TRUE(SpinLock::Configure(settings));
    EXPECT_EQ(SpinLock::GetStrategy(), EStrategy::AlwaysSleep);
    EXPECT_EQ(SpinLock::GetMaxSpins(), 20U);
    ExpectNoLostUpdate();
}

TEST_F(SpinLockTest, LoopMaxSpinsAndYieldsExcludes) {
    SpinLock::Settings settings = ModeSettings("loopMaxSpinsAndYields");
    settings.fMaxSpins = 50;
    ASSERT_TRUE(SpinLock::Configure(settings));
    EXPECT_EQ(SpinLock::GetStrategy(), EStrategy::LoopMaxSpinsAndYields);
    ExpectNoLostUpdate();
}

TEST_F(SpinLockTest, MaxSpinsThenLoopYieldsExcludesWithYieldAfterCheckEvent) {
    ASSERT_TRUE(SpinLock::Configure(ModeSettings("alwaysSleep")));
    SpinLock::Settings settings = ModeSettings("maxSpinsThenLoopYields");
    settings.fMaxSpins = 0;
    settings.fYieldAfterCheckEvent = true;
    ASSERT_TRUE(SpinLock::Configure(settings));
    EXPECT_EQ(SpinLock::GetStrategy(), EStrategy::MaxSpinsThenLoopYields);
    EXPECT_TRUE(SpinLock::GetYieldAfterCheckEvent());
    ExpectNoLostUpdate();
}

TEST_F(SpinLockTest, UnknownModeAndAbsentValuesChangeNothing) {
    ASSERT_TRUE(SpinLock::Configure(ModeSettings("loopMaxSpinsAndYields")));
    SpinLock::Settings unknown = ModeSettings("spinForever");
    ASSERT_TRUE(SpinLock::Configure(unknown));
    EXPECT_EQ(SpinLock::GetStrategy(), EStrategy::LoopMaxSpinsAndYields);
    EXPECT_EQ(SpinLock::GetMaxSpins(), 1U);
    EXPECT_FALSE(SpinLock::GetYieldAfterCheckEvent());
    ASSERT_TRUE(SpinLock::Configure(SpinLock::Settings{}));
    EXPECT_EQ(SpinLock::GetStrategy(), EStrategy::LoopMaxSpinsAndYields);
}

TEST_F(SpinLockTest, MaxSpinsIsTruncatedAndClamped) {
    struct Case {
        double fGiven;
        uint32_t fExpected;
    };
    const Case cases[] = {{3.9, 3}, {-2.5, 0}, {-0.5, 0}, {1e12, UINT32_MAX}, {7, 7}};
    for (const Case& c : cases) {
        SpinLock::Settings settings;
        settings.fMaxSpins = c.fGiven;
        ASSERT_TRUE(SpinLock::Configure(settings));
        EXPECT_EQ(SpinLock::GetMaxSpins(), c.fExpected) << c.fGiven;
    }
    SpinLock::Settings notANumber;
    notANumber.fMaxSpins = std::numeric_limits<double>::quiet_NaN();
    ASSERT_TRUE(SpinLock::Configure(notANumber));
    EXPECT_EQ(SpinLock::GetMaxSpins(), 7U);
}

TEST_F(SpinLockTest, ConfigureIsRefusedWhileAnotherTaskRuns) {
    VRefPtr<VSyncEvent> release = AdoptRef(new VSyncEvent);
    VRefPtr<VTask> task = AdoptRef(new VTask(0, eTaskStylePreemptive, [release] { release->Wait(); }));
    ASSERT_TRUE(task->Run());
    while (task->GetState() == eTaskStateStarting)
        VTask::Sleep(0);
    EXPECT_FALSE(SpinLock::Configure(ModeSettings("alwaysSleep")));
    EXPECT_EQ(SpinLock::GetStrategy(), EStrategy::MaxSpinsThenLoopYields);
    release->Signal();
    ASSERT_TRUE(task->WaitForDeath(10000));
}

TEST_F(SpinLockTest, ConfigureReadsThroughTheInstalledReader) {
    EXPECT_FALSE(SpinLock::Configure()); // no reader: nothing changes
    SpinLock::SetSettingsReader([](SpinLock::Settings& outSettings) {
        outSettings.fMode = VString("alwaysSleep");
        outSettings.fMaxSpins = 20;
        return true;
    });
    EXPECT_TRUE(SpinLock::Configure());
    EXPECT_EQ(SpinLock::GetStrategy(), EStrategy::AlwaysSleep);
    EXPECT_EQ(SpinLock::GetMaxSpins(), 20U);
    SpinLock::SetSettingsReader([](SpinLock::Settings&) { return false; }); // e.g. a missing file
    ASSERT_TRUE(SpinLock::Configure(ModeSettings("maxSpinsThenLoopYields")));
    EXPECT_FALSE(SpinLock::Configure());
    EXPECT_EQ(SpinLock::GetStrategy(), EStrategy::MaxSpinsThenLoopYields);
}

} // namespace
} // namespace vkit
