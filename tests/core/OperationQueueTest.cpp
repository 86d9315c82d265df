#include "core/OperationQueue.h"

#include <atomic>
#include <vector>

#include <gtest/gtest.h>

TEST(OperationQueue, SerialQueueRunsInOrderAndADestructorFinishesQueuedWork) {
    std::vector<int> order;
    std::atomic<int> running{0}, done{0};
    std::atomic<bool> overlapped{false}, onQueue{false};
    {
        OperationQueue serial("test-serial");
        for (int i = 0; i < 100; ++i)
            serial.addOperation([&, i] {
                if (++running > 1) overlapped = true;
                order.push_back(i);
                --running;
            });
        serial.waitUntilAllOperationsAreFinished();
        EXPECT_EQ(order.size(), 100u);

        OperationQueue pool("test-drain", 2);
        EXPECT_FALSE(pool.isCurrent());
        pool.addOperation([&] { onQueue = pool.isCurrent(); });
        for (int i = 0; i < 50; ++i)
            pool.addOperation([&] { ++done; });
    }
    EXPECT_FALSE(overlapped.load());
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[static_cast<size_t>(i)], i);
    EXPECT_EQ(done.load(), 50);
    EXPECT_TRUE(onQueue.load());
}
