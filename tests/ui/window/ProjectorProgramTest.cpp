// The program on a display with a second screen, as a teacher's projector: with that screen chosen
// ("Present on", kept from an earlier run), F11 puts the live picture full screen there, filling it,
// and Escape brings the main window back. Worked from outside (xdotool) as the window test does.
#include <chrono>

#include <QDir>
#include <QFile>
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

// The visible windows of process `pid` on X screen `screen`.
QStringList windowsOn(int screen, qint64 pid) {
    const ChildResult r =
        xdotool({QStringLiteral("search"), QStringLiteral("--screen"), QString::number(screen),
                 QStringLiteral("--onlyvisible"), QStringLiteral("--pid"), QString::number(pid)});
    return QString::fromLatin1(r.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class ProjectorProgramTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;
    ChildProcess program_;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(home_.isValid());
        if (runChild(QStringLiteral("xdotool"), {QStringLiteral("version")}).exitCode != 0)
            QSKIP("xdotool is missing");
        // Two X screens of one display are both called "screen": the projector is the second.
        QCOMPARE(QGuiApplication::screens().size(), 2);
        QStringList env = programEnvironment(home_.path());
        ChildProcess::setVariable(env, QStringLiteral("DISPLAY"), qEnvironmentVariable("DISPLAY"));
        QVERIFY(QDir().mkpath(home_.path() + QStringLiteral("/config/korva-lectern")));
        QFile settings(home_.path() + QStringLiteral("/config/korva-lectern/korva-lectern.conf"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[FullScreen]\nscreen=screen #2\n");
        settings.close();
        QVERIFY(program_.start(QStringLiteral(KL_PROGRAM), {QStringLiteral("--demo")}, env));
        QVERIFY(
            program_.readUntil([this] { return !windowsOn(0, program_.pid()).isEmpty(); }, 30s * kSlowdown));
    }

    void fullScreenFillsTheChosenScreen() {
        const QStringList before = windowsOn(0, program_.pid());
        QCOMPARE(xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), before.value(0),
                          QStringLiteral("key"), QStringLiteral("F11")})
                     .exitCode,
                 0);
        QScreen *projector = QGuiApplication::screens().at(1);
        QTRY_VERIFY_WITH_TIMEOUT(!windowsOn(1, program_.pid()).isEmpty(), 10000);
        const QString full = windowsOn(1, program_.pid()).value(0);
        QTRY_COMPARE_WITH_TIMEOUT(geometryOf(full), QRect(QPoint(0, 0), projector->size()), 10000);
        // The live picture is on the projector.
        QTRY_VERIFY_WITH_TIMEOUT(coloursIn(projector->grabWindow(0).toImage()) > 50, 20000);
    }

    void escapeBringsTheWindowBackAndQuitEndsTheProgram() {
        const QString full = windowsOn(1, program_.pid()).value(0);
        QCOMPARE(xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), full,
                          QStringLiteral("key"), QStringLiteral("Escape")})
                     .exitCode,
                 0);
        QTRY_VERIFY_WITH_TIMEOUT(windowsOn(1, program_.pid()).isEmpty(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!windowsOn(0, program_.pid()).isEmpty(), 10000);
        const QString window = windowsOn(0, program_.pid()).value(0);
        QCOMPARE(xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window,
                          QStringLiteral("key"), QStringLiteral("ctrl+q")})
                     .exitCode,
                 0);
        QVERIFY2(program_.waitForExit(2s * kSlowdown), "still running 2 s after Quit");
        QCOMPARE(program_.exitCode(), 0);
    }
};

int main(int argc, char **argv) {
    QGuiApplication app(argc, argv);
    ProjectorProgramTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "ProjectorProgramTest.moc"
