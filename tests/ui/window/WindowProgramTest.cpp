// The program's own window in a real X server: started as a user starts it (with the simulated
// camera), it shows a moving picture, its shutter button files a photo and Quit ends it at once.
// A later launch with a sign-in callback hands it to the running program. The test looks at the screen
// and works the mouse and keyboard from outside (xdotool), as a user would, and reads the program's
// log; nothing inside the program is reached.
#include <chrono>
#include <csignal>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include "ScreenProbe.h"
#include "support/ChildProcess.h"
#include "support/ProgramRun.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;
using namespace ScreenProbe;

namespace {

double meanDifference(const QImage &a, const QImage &b) {
    if (a.size() != b.size()) return 255;
    double sum = 0;
    int n = 0;
    for (int y = 0; y < a.height(); y += 4)
        for (int x = 0; x < a.width(); x += 4, ++n)
            sum += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
    return n ? sum / n : 0;
}

// The shutter button's icon is the only solid light disc in the toolbar band above the picture (the
// texts there are as light, but thin): the centre of the light 9 x 9 squares found there.
QPoint shutterButtonIn(const QImage &window) {
    const auto light = [&](int x, int y) { return qGray(window.pixel(x, y)) >= 220; };
    const auto solid = [&](int x, int y) {
        for (int dy = -4; dy <= 4; ++dy)
            for (int dx = -4; dx <= 4; ++dx)
                if (!light(x + dx, y + dy)) return false;
        return true;
    };
    qint64 sx = 0, sy = 0, n = 0;
    for (int y = 4; y < std::min(window.height(), 100) - 4; ++y)
        for (int x = 4; x < window.width() - 4; ++x)
            if (solid(x, y)) sx += x, sy += y, ++n;
    return n == 0 ? QPoint(-1, -1) : QPoint(int(sx / n), int(sy / n));
}

} // namespace

class WindowProgramTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;
    QStringList environment_;
    ChildProcess program_;
    QString windowId_;
    // Where the browser ends a sign-in.
    const QString callback_ = QStringLiteral("en-orb://response?oauth_token=t&oauth_verifier=v");

    QImage shot() {
        return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(
            QImage::Format_RGB32);
    }
    // The window's area of the screen (there is no window manager: no frame, placed where it asks).
    QRect windowArea() { return geometryOf(windowId_); }
    // The window is there once xdotool finds it by its name.
    bool waitForWindow() {
        const auto found = [this] {
            const ChildResult r = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                           QStringLiteral("--name"), QStringLiteral("^Korva Lectern")});
            windowId_ = QString::fromLatin1(r.out.split('\n').value(0)).trimmed();
            return !windowId_.isEmpty();
        };
        return program_.readUntil(found, 30s * kSlowdown);
    }
    // How often the program's log says it was handed a sign-in callback.
    int callbacksLogged() const {
        const QDir folder(home_.path() + QStringLiteral("/data/Orb"));
        int count = 0;
        for (const QString &name : folder.entryList(QDir::Files)) {
            QFile log(folder.filePath(name));
            if (log.open(QIODevice::ReadOnly))
                count += int(log.readAll().count("Sign-in callback: en-orb://response"));
        }
        return count;
    }
    QStringList photos() const {
        return QDir(home_.path() + QStringLiteral("/Pictures/Korva Lectern"))
            .entryList({QStringLiteral("*.jpg")});
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(home_.isValid());
        if (runChild(QStringLiteral("xdotool"), {QStringLiteral("version")}).exitCode != 0)
            QSKIP("xdotool is missing");
        // A user of their own, on this test's display.
        environment_ = programEnvironment(home_.path());
        ChildProcess::setVariable(environment_, QStringLiteral("DISPLAY"), qEnvironmentVariable("DISPLAY"));
        QVERIFY(program_.start(QStringLiteral(KL_PROGRAM), {QStringLiteral("--demo")}, environment_));
        QVERIFY(waitForWindow());
    }

    void theWindowShowsAMovingPicture() {
        // The simulated camera's first picture comes after discovery's settle.
        QImage first, second;
        QTRY_VERIFY_WITH_TIMEOUT(coloursIn(first = shot().copy(windowArea())) > 50, 20000);
        QTest::qWait(1000);
        second = shot().copy(windowArea());
        QVERIFY2(coloursIn(second) > 50, "the second shot is blank");
        QVERIFY2(meanDifference(first, second) > 0.05, "the picture did not move in a second");
    }

    void theShutterButtonFilesAPhoto() {
        const QRect area = windowArea();
        const QPoint button = shutterButtonIn(shot().copy(area));
        QVERIFY2(button.x() >= 0, "no shutter button in the toolbar");
        const QStringList before = photos();
        QCOMPARE(
            xdotool({QStringLiteral("mousemove"), QString::number(area.x() + button.x()),
                     QString::number(area.y() + button.y()), QStringLiteral("click"), QStringLiteral("1")})
                .exitCode,
            0);
        QTRY_COMPARE_WITH_TIMEOUT(photos().size(), before.size() + 1, 10000);
    }

    // The desktop's browser ends a sign-in by starting the program with the callback address.
    void aLaterLaunchHandsItsCallbackToTheRunningProgram() {
        const ChildResult later =
            runChild(QStringLiteral(KL_PROGRAM), {callback_}, environment_, 10s * kSlowdown);
        QCOMPARE(later.exitCode, 0);
        QTRY_COMPARE_WITH_TIMEOUT(callbacksLogged(), 1, 5000);
        QVERIFY(program_.running());
    }

    void quitEndsTheProgramAtOnce() {
        // Typed as a user types it: to the window that has the keyboard.
        QCOMPARE(xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), windowId_,
                          QStringLiteral("key"), QStringLiteral("ctrl+q")})
                     .exitCode,
                 0);
        QVERIFY2(program_.waitForExit(2s * kSlowdown), "still running 2 s after Quit");
        QCOMPARE(program_.exitCode(), 0);
    }

    // With no program running, the launch with the callback is the window program itself.
    void aFirstLaunchWithACallbackOpensTheWindow() {
        QVERIFY(
            program_.start(QStringLiteral(KL_PROGRAM), {QStringLiteral("--demo"), callback_}, environment_));
        QVERIFY(waitForWindow());
        QTRY_COMPARE_WITH_TIMEOUT(callbacksLogged(), 2, 5000);
        program_.signal(SIGTERM);
        QVERIFY(program_.waitForExit(5s * kSlowdown));
        QCOMPARE(program_.exitCode(), 0);
    }
};

int main(int argc, char **argv) {
    QGuiApplication app(argc, argv);
    WindowProgramTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "WindowProgramTest.moc"
