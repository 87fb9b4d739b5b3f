// Tests of VMessageQueue: order of messages, events that are not lost, stopping.
#include "runtime/VMessageQueue.h"
#include "runtime/VSystem.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace vkit {
namespace {

TEST(VMessageQueueTest, MessagesRunInOrderOnTheExecutingThread) {
    VRefPtr<VMessageQueue> queue = AdoptRef(new VMessageQueue);
    std::vector<int> order;
    EXPECT_EQ(queue->ExecuteMessages(0), 0);
    queue->Post([&] { order.push_back(1); });
    queue->Post([&] {
        order.push_back(2);
        queue->Post([&] { order.push_back(3); }); // left for the next round
    });
    EXPECT_EQ(queue->ExecuteMessages(0), 2);
    EXPECT_EQ(queue->ExecuteMessages(0), 1);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(VMessageQueueTest, AnEventSetBeforeTheWaitEndsItAtOnce) {
    VRefPtr<VMessageQueue> queue = AdoptRef(new VMessageQueue);
    queue->SetEvent();
    uint32_t start = VSystem::GetCurrentTime();
    EXPECT_EQ(queue->ExecuteMessages(60000), 0);
    EXPECT_LT(VSystem::GetCurrentTime() - start, 60000U);
    EXPECT_EQ(queue->GetEventCount(), 1U);
    EXPECT_EQ(queue->ExecuteMessages(5), 0); // the event was consumed: this one times out
}

TEST(VMessageQueueTest, AMessageFromAnotherThreadEndsAnUnlimitedWait) {
    VRefPtr<VMessageQueue> queue = AdoptRef(new VMessageQueue);
    bool ran = false;
    std::thread poster([&] { queue->Post([&] { ran = true; }); });
    int32_t count = 0;
    while (count == 0)
        count = queue->ExecuteMessages(-1);
    poster.join();
    EXPECT_EQ(count, 1);
    EXPECT_TRUE(ran);
}

TEST(VMessageQueueTest, StopDropsQueuedMessagesAndRefusesNewOnes) {
    VRefPtr<VMessageQueue> queue = AdoptRef(new VMessageQueue);
    bool ran = false;
    EXPECT_TRUE(queue->Post([&] { ran = true; }));
    EXPECT_FALSE(queue->IsStopped());
    queue->Stop();
    EXPECT_TRUE(queue->IsStopped());
    EXPECT_FALSE(queue->Post([&] { ran = true; }));
    EXPECT_EQ(queue->ExecuteMessages(60000), 0); // a stopped queue does not wait
    EXPECT_FALSE(ran);
}

} // namespace
} // namespace vkit
