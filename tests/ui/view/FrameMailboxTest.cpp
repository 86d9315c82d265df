#include "ui/view/FrameMailbox.h"

#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "capture/Frame.h"

namespace {

FramePointer frameOfWidth(int width) {
    return Frame::fromJpeg(QByteArray("\xff\xd8\xff\xd9", 4), QSize(width, 8));
}

TEST(FrameMailbox, NewestWinsAndEveryPostCounts) {
    FrameMailbox mailbox;
    EXPECT_FALSE(mailbox.take());
    EXPECT_EQ(mailbox.post(nullptr), 0u) << "an empty answer is nothing to show";
    for (int width = 1; width <= 3; ++width)
        EXPECT_EQ(mailbox.post(frameOfWidth(width)), quint64(width));

    const FrameMailbox::Letter letter = mailbox.take();
    ASSERT_TRUE(letter);
    EXPECT_EQ(letter.frame->size().width(), 3);
    EXPECT_EQ(letter.generation, 3u);
    EXPECT_EQ(mailbox.dropped(), 2u);
    EXPECT_FALSE(mailbox.take()) << "a frame is handed out once";
    EXPECT_EQ(mailbox.newest(), letter.frame) << "but stays the newest image";
}

// Four delivery threads outrun a consumer that takes a frame every millisecond: each take finds only
// the newest frame, generations only grow, and nothing is left over once the posters stop.
TEST(FrameMailbox, SlowConsumerOfManyPostersSeesNoBacklog) {
    constexpr int kPosters = 4, kPerPoster = 400;
    FrameMailbox mailbox;
    std::vector<std::thread> posters;
    for (int p = 0; p < kPosters; ++p)
        posters.emplace_back([&mailbox, p] {
            for (int i = 0; i < kPerPoster; ++i)
                mailbox.post(frameOfWidth(1 + p));
        });
    quint64 last = 0;
    int taken = 0;
    for (int i = 0; i < 2000 && mailbox.generation() < kPosters * kPerPoster; ++i) {
        if (const FrameMailbox::Letter letter = mailbox.take()) {
            EXPECT_GT(letter.generation, last);
            last = letter.generation;
            ++taken;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (auto &poster : posters)
        poster.join();

    const FrameMailbox::Letter final = mailbox.take();
    const quint64 total = kPosters * kPerPoster;
    EXPECT_EQ(mailbox.generation(), total);
    if (final) {
        EXPECT_EQ(final.generation, total);
    }
    EXPECT_FALSE(mailbox.take());
    EXPECT_EQ(mailbox.dropped() + quint64(taken) + (final ? 1 : 0), total) << "every frame taken or dropped";
}

} // namespace
