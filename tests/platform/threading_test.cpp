#include "core/SerialQueue.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "support/LogCapture.h"
#include "support/ManualTime.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QThread>

#include <atomic>
#include <pthread.h>

using namespace flintly;

TEST(SerialQueue, RunsTasksInOrderOnOneNamedThread)
{
    SerialQueue queue("FileMonitor");
    std::vector<int> order;
    std::set<std::thread::id> threads;
    char name[16] = {};
    for (int i = 0; i < 200; ++i)
        queue.async([&, i] {
            order.push_back(i);
            threads.insert(std::this_thread::get_id());
        });
    queue.sync([&] { pthread_getname_np(pthread_self(), name, sizeof name); });
    ASSERT_EQ(order.size(), 200u);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_EQ(threads.size(), 1u);
    EXPECT_STREQ(name, "FileMonitor");
}

TEST(SerialQueue, SyncFromItsOwnThreadDoesNotDeadlockAndDestructionRunsQueuedWork)
{
    std::atomic<int> ran{0};
    {
        SerialQueue queue("q");
        queue.async([&] { queue.sync([&] { ++ran; }); });
        for (int i = 0; i < 10; ++i)
            queue.async([&] { ++ran; });
    }
    EXPECT_EQ(ran.load(), 11);
}

TEST(Debouncer, FiresOnceTheTriggersHaveStoppedForTheInterval)
{
    test::ManualTime time;
    int fired = 0;
    Debouncer d(
        100, [&] { ++fired; }, nullptr, &time);
    for (int i = 0; i < 5; ++i) {
        d.trigger();
        time.advance(40);
    }
    time.advance(59);
    EXPECT_EQ(fired, 0) << "each trigger starts the interval again";
    time.advance(1);
    EXPECT_EQ(fired, 1);
    time.advance(500);
    EXPECT_EQ(fired, 1);
    d.trigger();
    d.cancel();
    time.advance(500);
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(d.isPending());
}

TEST(MainThread, WorkQueuedFromAnotherThreadRunsOnTheContextThreadUnlessItIsGone)
{
    QObject alive;
    auto* doomed = new QObject;
    std::atomic<bool> ranOnMain{false}, ranDoomed{false};
    std::thread worker([&] {
        EXPECT_FALSE(isMainThread());
        runOn(&alive, [&] { ranOnMain = isMainThread(); });
        runOn(doomed, [&] { ranDoomed = true; });
    });
    worker.join();
    delete doomed;
    test::spin(50);
    EXPECT_TRUE(ranOnMain);
    EXPECT_FALSE(ranDoomed);
}

TEST(NotificationCenter, DeliversByNameToLiveObserversOnTheirThread)
{
    auto& center = NotificationCenter::defaultCenter();
    QObject receiver;
    QList<Notification> got;
    center.observe(QStringLiteral("flintlyDidPickFolder"), &receiver, [&](const Notification& n) {
        EXPECT_TRUE(isMainThread());
        got.append(n);
    });
    {
        QObject shortLived;
        center.observe(QStringLiteral("flintlyDidPickFolder"), &shortLived, [](const Notification&) { FAIL(); });
    }
    center.post(QStringLiteral("somethingElse"));
    center.post(QStringLiteral("flintlyDidPickFolder"), {}, {{QStringLiteral("k"), 1}});
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].userInfo.value(QStringLiteral("k")).toInt(), 1);

    std::thread poster([&] { center.post(QStringLiteral("flintlyDidPickFolder")); });
    poster.join();
    EXPECT_TRUE(test::waitUntil([&] { return got.size() == 2; }));
}

TEST(Log, JoinsItemsWithSingleSpaces)
{
    test::LogCapture logs;
    log("💾 save() start — current url:", QStringLiteral("nil"), " | saveFolder:", 3, true, 1.5);
    EXPECT_EQ(logs.lines().value(0), QStringLiteral("💾 save() start — current url: nil  | saveFolder: 3 true 1.5"));
}
