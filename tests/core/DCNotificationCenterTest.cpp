#include "core/DCNotificationCenter.h"

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/DCVocabulary.h"

TEST(DCNotificationCenter, DeliversSynchronouslyOnThePostingThreadWithPayload) {
    DCNotificationCenter center;
    std::thread::id seenOn;
    DCNotification seen;
    center.addObserver(DCNote::DCFileDidCreateNotification, [&](const DCNotification &n) {
        seenOn = std::this_thread::get_id();
        seen = n;
    });
    std::thread poster([&] {
        const QVariantMap dict{{DCKey::FileURL, QStringLiteral("file:///tmp/a.jpg")}};
        center.postNotificationName(DCNote::DCFileDidCreateNotification, dict);
        // Delivered before the post returned.
        EXPECT_EQ(seen.name, DCNote::DCFileDidCreateNotification);
        EXPECT_EQ(seenOn, std::this_thread::get_id());
    });
    poster.join();
    // The dictionary travels as the object; the user info is empty.
    EXPECT_EQ(seen.object.toMap().value(DCKey::FileURL).toString(), QStringLiteral("file:///tmp/a.jpg"));
    EXPECT_TRUE(seen.userInfo.isEmpty());
}

TEST(DCNotificationCenter, OnlyMatchingNamesUnlessObservingAllAndObserverSetsRemoveTheirs) {
    DCNotificationCenter center;
    int named = 0, all = 0, inSet = 0;
    center.addObserver(DCNote::DCCameraDidAdd, [&](const DCNotification &) { ++named; });
    center.addObserver(QString(), [&](const DCNotification &) { ++all; });
    {
        DCObserverSet observers(center);
        observers.add(DCNote::DCCameraDidRemove, [&](const DCNotification &) { ++inSet; });
        center.postNotificationName(DCNote::DCCameraDidAdd);
        center.postNotificationName(DCNote::DCCameraDidRemove);
    }
    center.postNotificationName(DCNote::DCCameraDidRemove); // the set has gone with its observer
    EXPECT_EQ(named, 1);
    EXPECT_EQ(all, 3);
    EXPECT_EQ(inSet, 1);
}

TEST(DCNotificationCenter, ObserversAddedOrRemovedDuringAPostAreSafe) {
    DCNotificationCenter center;
    const QString name = QStringLiteral("n");
    int second = 0, added = 0;
    DCNotificationCenter::Token secondToken = 0;
    center.addObserver(name, [&](const DCNotification &) {
        center.removeObserver(secondToken); // removed before its turn: must not be called
        center.addObserver(name, [&](const DCNotification &) { ++added; });
    });
    secondToken = center.addObserver(name, [&](const DCNotification &) { ++second; });
    DCNotificationCenter::Token self = 0;
    self = center.addObserver(name, [&](const DCNotification &) { center.removeObserver(self); });

    center.postNotificationName(name);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(added, 0); // observers added during a post see the next one
    center.postNotificationName(name);
    EXPECT_EQ(added, 1);
}

TEST(DCNotificationCenter, RemoveObserverWaitsForCallsOnOtherThreads) {
    DCNotificationCenter center;
    std::atomic<bool> inside{false}, release{false}, finished{false};
    const auto token = center.addObserver(QStringLiteral("slow"), [&](const DCNotification &) {
        inside = true;
        while (!release)
            std::this_thread::yield();
        finished = true;
    });
    std::thread poster([&] { center.postNotificationName(QStringLiteral("slow")); });
    while (!inside)
        std::this_thread::yield();
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        release = true;
    });
    center.removeObserver(token);
    EXPECT_TRUE(finished); // the running call ended before removeObserver returned
    poster.join();
    releaser.join();
}

TEST(DCNotificationCenter, ConcurrentPostsAndObserverChurnAreClean) {
    DCNotificationCenter center;
    std::atomic<int> calls{0};
    center.addObserver(QStringLiteral("tick"), [&](const DCNotification &n) {
        calls += n.userInfo.value(QStringLiteral("v")).toInt();
    });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i)
                center.postNotificationName(QStringLiteral("tick"), {}, {{QStringLiteral("v"), 1}});
        });
    threads.emplace_back([&] {
        for (int i = 0; i < 200; ++i) {
            const auto token = center.addObserver(QStringLiteral("tick"), [](const DCNotification &) {});
            center.removeObserver(token);
        }
    });
    for (auto &t : threads)
        t.join();
    EXPECT_EQ(calls.load(), 4 * 500);
}
