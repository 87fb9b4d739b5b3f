// Tests of VSyncEvent: time-outs, a signal that stays until reset, a signal from another task.
#include "runtime/VSyncEvent.h"
#include "runtime/VTask.h"

#include <gtest/gtest.h>

namespace vkit {
namespace {

TEST(VSyncEventTest, WaitTimesOutUntilSignalledThenReturnsAtOnceUntilReset) {
    VRefPtr<VSyncEvent> event = AdoptRef(new VSyncEvent);
    EXPECT_FALSE(event->Wait(0));
    EXPECT_FALSE(event->Wait(5));
    event->Signal();
    EXPECT_TRUE(event->IsSignalled());
    EXPECT_TRUE(event->Wait(0));
    EXPECT_TRUE(event->Wait(-1)); // stays signalled
    event->Signal();
    EXPECT_EQ(event->GetSignalCount(), 2U);
    event->Reset();
    EXPECT_FALSE(event->IsSignalled());
    EXPECT_FALSE(event->Wait(0));
}

TEST(VSyncEventTest, SignalFromAnotherTaskEndsAnUnlimitedWait) {
    VRefPtr<VSyncEvent> event = AdoptRef(new VSyncEvent);
    VRefPtr<VTask> task = AdoptRef(new VTask(0, eTaskStylePreemptive, [event] { event->Signal(); }));
    ASSERT_TRUE(task->Run());
    EXPECT_TRUE(event->Wait(-1));
    ASSERT_TRUE(task->WaitForDeath(10000));
}

} // namespace
} // namespace vkit
