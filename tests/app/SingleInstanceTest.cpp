// One window program per user: a second launch hands its request to the first and leaves.
#include "app/SingleInstance.h"

#include <atomic>
#include <thread>

#include <QFile>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QUuid>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

QString uniqueName() {
    return QStringLiteral("kl-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// A later launch, as another process would make it: its own thread, blocking calls.
SingleInstance::Role launchAgain(const QString &name, const QByteArray &message) {
    SingleInstance::Role role = SingleInstance::Role::Failed;
    std::atomic<bool> done = false;
    std::thread later([&] {
        SingleInstance again(name);
        role = again.claim(message);
        done = true;
    });
    waitUntil([&] { return done.load(); }, std::chrono::seconds(10));
    later.join();
    return role;
}

} // namespace

TEST(SingleInstance, ALaterLaunchHandsItsRequestToTheFirstEvenPastAStaleSocketAndAHostileClient) {
    const QString name = uniqueName();
    // What a program that crashed leaves behind: a socket file nobody listens on.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    QFile stale(runtime + QLatin1Char('/') + name + QStringLiteral(".socket"));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();

    SingleInstance first(name);
    ASSERT_EQ(first.claim({}), SingleInstance::Role::Primary);
    QList<QByteArray> requests;
    QObject::connect(&first, &SingleInstance::activationRequested,
                     [&](const QByteArray &message) { requests << message; });

    // A client that sends an endless line without its end is dropped; the next launch still gets through.
    QLocalSocket hostile;
    hostile.connectToServer(stale.fileName());
    ASSERT_TRUE(hostile.waitForConnected(2000));
    hostile.write(QByteArray(8192, 'x'));
    hostile.flush();

    EXPECT_EQ(launchAgain(name, "token-1"), SingleInstance::Role::Secondary);
    EXPECT_TRUE(waitUntil([&] { return requests.size() == 1; }));
    EXPECT_EQ(requests.value(0), QByteArray("token-1"));
    EXPECT_TRUE(waitUntil([&] { return hostile.state() == QLocalSocket::UnconnectedState; }));
}
