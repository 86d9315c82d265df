#include <atomic>
#include <mutex>
#include <vector>

#include <gtest/gtest.h>

#include "core/OperationQueue.h"

TEST(OperationQueue, SerialQueueRunsOneAtATimeInOrder)
{
    std::vector<int> order;
    std::atomic<int> running{0};
    bool overlapped = false;
    {
        OperationQueue queue("test-serial");
        for (int i = 0; i < 100; ++i)
            queue.addOperation([&, i] {
                if (++running > 1) overlapped = true;
                order.push_back(i);
                --running;
            });
        queue.waitUntilAllOperationsAreFinished();
        EXPECT_EQ(order.size(), 100u);
    }
    EXPECT_FALSE(overlapped);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(order[static_cast<size_t>(i)], i);
}

TEST(OperationQueue, DestructorFinishesQueuedWorkAndKnowsItsThreads)
{
    std::atomic<int> done{0};
    std::atomic<bool> onQueue{false};
    {
        OperationQueue queue("test-drain", 2);
        EXPECT_FALSE(queue.isCurrent());
        queue.addOperation([&] { onQueue = queue.isCurrent(); });
        for (int i = 0; i < 50; ++i) queue.addOperation([&] { ++done; });
    }
    EXPECT_EQ(done.load(), 50);
    EXPECT_TRUE(onQueue.load());
}
